// The property page "Tabs" and its file dialog, driven through its own
// controls as a developer would.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QToolButton>

#include "ProvaSchede.h"
#include "brisko/ErroreControllo.h"
#include "brisko/Tabs.h"
#include "brisko/mCommonDialog.h"
#include "tests/support/CartellaTemporanea.h"

namespace brisko {
namespace {

using orvane::test::CartellaTemporanea;
using orvane::test::ScriviFile;

// The page with its controls by name, and a dialog that answers `scelta`.
struct Pagina {
  Tabs pagina;
  QScrollBar* hsb = pagina.findChild<QScrollBar*>("hsb");
  QLineEdit* txtIndex = pagina.findChild<QLineEdit*>("txtIndex");
  QLineEdit* testo = pagina.findChild<QLineEdit*>("txt(0)");
  QLineEdit* larghezza = pagina.findChild<QLineEdit*>("txt(1)");
  QString scelta;
  QStringList richieste;
  mCommonDialog::Finestra precedente = mCommonDialog::ImpostaFinestra(
      [this](QWidget*, const QString& titolo, const QString& filtro, const QString& suffisso) {
        richieste << titolo << filtro << suffisso;
        return scelta;
      });
  ~Pagina() { mCommonDialog::ImpostaFinestra(precedente); }

  void Clic(const char* nome) { pagina.findChild<QAbstractButton*>(nome)->click(); }
  static void Scrivi(QLineEdit* box, const QString& valore) {
    box->setText(valore);
    emit box->textEdited(valore);
  }
};

std::unique_ptr<xpVantelTab> TreSchede() {
  auto tab = test::StrisciaTervan();
  tab->AddTab(80, "Aggiornamenti");
  tab->AddTab(90, "Dati");
  return tab;
}

TEST(Tabs, ShowsTab1AndWritesPendingEditsBeforeMovingOn) {
  auto tab = TreSchede();
  Pagina p;
  QSignalSpy cambi(&p.pagina, &Tabs::ChangedChanged);
  p.pagina.SelectionChanged(tab.get());
  EXPECT_EQ(p.hsb->minimum(), 1);
  EXPECT_EQ(p.hsb->maximum(), 3);
  EXPECT_EQ(p.txtIndex->text(), "1");
  EXPECT_EQ(p.testo->text(), "Principale");
  EXPECT_EQ(p.larghezza->text(), "75");
  EXPECT_FALSE(p.pagina.Changed());

  p.Scrivi(p.testo, "Generale");
  EXPECT_TRUE(p.pagina.Changed());
  p.hsb->setValue(2);
  EXPECT_EQ(tab->TabCaption(1), "Generale");
  EXPECT_EQ(p.testo->text(), "Aggiornamenti");
  EXPECT_EQ(p.txtIndex->text(), "2");
  EXPECT_EQ(cambi.count(), 2);

  // An empty width applies 60; a width that is not a number fails with 13
  // after the caption is written, and moving on keeps the edits shown.
  p.Scrivi(p.larghezza, "");
  p.pagina.ApplyChanges();
  EXPECT_EQ(tab->TabWidth(2), 60);
  EXPECT_EQ(p.larghezza->text(), "60");
  p.Scrivi(p.testo, "Nuovo");
  p.Scrivi(p.larghezza, "largo");
  try {
    p.pagina.ApplyChanges();
    ADD_FAILURE() << "applied a width that is not a number";
  } catch (const ErroreControllo& e) {
    EXPECT_EQ(e.Numero(), 13);
  }
  EXPECT_EQ(tab->TabCaption(2), "Nuovo");
  EXPECT_EQ(tab->TabWidth(2), 60);
  QSignalSpy errori(&p.pagina, &Tabs::Errore);
  p.hsb->setValue(3);
  EXPECT_EQ(errori.count(), 1);
  EXPECT_EQ(p.hsb->value(), 2);
  EXPECT_EQ(p.larghezza->text(), "largo");
  p.Scrivi(p.larghezza, " 70.5 ");
  p.pagina.ApplyChanges();
  EXPECT_EQ(tab->TabWidth(2), 70);
}

TEST(Tabs, AddTabAppliesTheShownValuesToTheNewTabAndDeleteDropsEditsOfTheTabThatWent) {
  auto tab = TreSchede();
  tab->SetTabPicture(1, test::Figura(16, 16, qRgb(1, 2, 3), qRgb(4, 5, 6)));
  Pagina p;
  p.pagina.SelectionChanged(tab.get());
  p.Clic("cmdAddTab");
  EXPECT_EQ(tab->NumberOfTabs(), 4);
  EXPECT_EQ(p.hsb->maximum(), 4);
  EXPECT_EQ(p.hsb->value(), 1);
  EXPECT_TRUE(p.pagina.Changed());
  p.pagina.ApplyChanges();
  EXPECT_EQ(tab->TabCaption(4), "Principale");
  EXPECT_EQ(tab->TabWidth(4), 75);
  EXPECT_EQ(tab->TabPicture(4), nullptr);
  EXPECT_NE(tab->TabPicture(1), nullptr);

  // The page edits tab 4, which Delete removes: its edits go with it.
  p.Scrivi(p.testo, "Perso");
  p.Clic("cmdDelete");
  EXPECT_EQ(tab->NumberOfTabs(), 3);
  EXPECT_EQ(p.pagina.IndiceCorrente(), 1);
  p.pagina.ApplyChanges();
  EXPECT_EQ(tab->TabCaption(1), "Principale");
  EXPECT_EQ(tab->TabCaption(3), "Dati");
}

TEST(Tabs, LoadsPicturesThroughTheDialogAndKeepsThePictureOnABadFile) {
  CartellaTemporanea cartella;
  QImage bmp(16, 16, QImage::Format_RGB32);
  bmp.fill(qRgb(200, 10, 10));
  for (const char* nome : {"a.bmp", "a.ico"}) {
    ASSERT_TRUE(bmp.save(QString::fromStdString((cartella / nome).string()))) << nome;
  }
  // Qt writes no GIF: one red pixel, by hand.
  ScriviFile(cartella / "a.gif",
             std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xc8\x0a\x0a\x00\x00\x00"
                         ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                         35));
  const std::string intero = orvane::test::LeggiFile(cartella / "a.bmp");
  ScriviFile(cartella / "tronca.bmp", intero.substr(0, 40));
  ScriviFile(cartella / "testo.gif", "non un'immagine");
  // A BMP header that claims 60000 by 60000 pixels over a few bytes.
  std::string enorme = intero.substr(0, 54);
  for (const std::size_t posizione : {18U, 22U}) {
    enorme[posizione] = '\x60';
    enorme[posizione + 1] = '\xEA';
  }
  ScriviFile(cartella / "enorme.bmp", enorme + std::string(64, '\0'));

  auto tab = TreSchede();
  Pagina p;
  p.pagina.SelectionChanged(tab.get());
  p.Clic("cmdOpenDlg");  // cancelled
  EXPECT_EQ(p.richieste,
            QStringList({"Load Picture", "All Picture Files (*.bmp *.ico *.gif)", ""}));
  EXPECT_FALSE(p.pagina.Changed());
  EXPECT_EQ(p.pagina.Figura(), nullptr);

  for (const char* nome : {"a.bmp", "a.ico", "a.gif"}) {
    p.scelta = QString::fromStdString((cartella / nome).string());
    p.Clic("cmdOpenDlg");
    ASSERT_NE(p.pagina.Figura(), nullptr) << nome;
    EXPECT_EQ(p.pagina.Figura()->Pixel().pixel(0, 0) & 0xFFFFFFU, 0xC80A0AU) << nome;
  }
  EXPECT_EQ(p.pagina.Figura()->Type(), TipoImmagine::Bitmap);
  const auto tenuta = p.pagina.Figura();
  QSignalSpy errori(&p.pagina, &Tabs::Errore);
  for (const char* nome : {"tronca.bmp", "testo.gif", "manca.bmp", "enorme.bmp"}) {
    p.scelta = QString::fromStdString((cartella / nome).string());
    p.Clic("cmdOpenDlg");
    EXPECT_EQ(p.pagina.Figura(), tenuta) << nome;
  }
  ASSERT_EQ(errori.count(), 4);
  EXPECT_TRUE(errori[0][0].toString().contains("tronca.bmp"));
  p.pagina.ApplyChanges();
  EXPECT_EQ(tab->TabPicture(1), tenuta);
  p.Clic("cmdDel");
  p.pagina.ApplyChanges();
  EXPECT_EQ(tab->TabPicture(1), nullptr);
}

TEST(Tabs, WithoutTabsOffersOnlyAddTabWhichThenShowsTheFirstTab) {
  xpVantelTab vuoto;
  vuoto.resize(300, 100);
  Pagina p;
  auto* aggiungi = p.pagina.findChild<QPushButton*>("cmdAddTab");
  EXPECT_FALSE(aggiungi->isEnabled());  // no control at all
  p.pagina.SelectionChanged(&vuoto);
  EXPECT_EQ(p.pagina.IndiceCorrente(), 0);
  EXPECT_FALSE(p.testo->isEnabled());
  try {
    p.pagina.ApplyChanges();
    ADD_FAILURE() << "applied to no tab";
  } catch (const ErroreControllo& e) {
    EXPECT_EQ(e.Numero(), 9);
  }

  ASSERT_TRUE(aggiungi->isEnabled());
  p.Clic("cmdAddTab");
  ASSERT_EQ(vuoto.NumberOfTabs(), 1);
  EXPECT_EQ(p.pagina.IndiceCorrente(), 1);
  EXPECT_TRUE(p.testo->isEnabled());
  EXPECT_EQ(p.testo->text(), "Tab1");
  EXPECT_EQ(p.larghezza->text(), "60");
  p.Scrivi(p.testo, "Principale");
  p.pagina.ApplyChanges();
  EXPECT_EQ(vuoto.TabCaption(1), "Principale");
  EXPECT_EQ(vuoto.TabWidth(1), 60);
  EXPECT_EQ(mCommonDialog::FiltroQt("Immagini|*.bmp; *.ico|Tutti|*.*"),
            "Immagini (*.bmp *.ico);;Tutti (*.*)");
}

}  // namespace
}  // namespace brisko
