// The property page "Tabs" and its file dialog, driven through its own
// controls as a developer would.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTextDocument>

#include "ProvaSchede.h"
#include "brisko/Tabs.h"
#include "brisko/mCommonDialog.h"
#include "tests/support/CartellaTemporanea.h"

namespace brisko {
namespace {

using orvane::test::ScriviFile;
using test::NumeroErrore;

// The page showing a strip of three tabs, its controls by name, and a
// dialog that answers `scelta`.
struct Pagina {
  std::unique_ptr<xpVantelTab> tab = test::StrisciaTervan();
  Tabs pagina;
  QScrollBar* hsb = pagina.findChild<QScrollBar*>("hsb");
  QLineEdit* testo = pagina.findChild<QLineEdit*>("txt(0)");
  QLineEdit* larghezza = pagina.findChild<QLineEdit*>("txt(1)");
  QString scelta;
  QStringList richieste;
  mCommonDialog::Finestra precedente = mCommonDialog::ImpostaFinestra(
      [this](QWidget*, const QString& titolo, const QString& filtro, const QString& suffisso) {
        richieste << titolo << filtro << suffisso;
        return scelta;
      });
  Pagina() {
    tab->AddTab(80, "Aggiornamenti");
    tab->AddTab(90, "Dati");
    pagina.SelectionChanged(tab.get());
  }
  ~Pagina() { mCommonDialog::ImpostaFinestra(precedente); }

  void Clic(const char* nome) { pagina.findChild<QAbstractButton*>(nome)->click(); }
  static void Scrivi(QLineEdit* box, const QString& valore) {
    box->setText(valore);
    emit box->textEdited(valore);
  }
};

TEST(Tabs, WritesPendingEditsBeforeMovingOnAndKeepsThemWhenTheyFail) {
  Pagina p;
  p.Scrivi(p.testo, "Generale");
  p.hsb->setValue(2);
  EXPECT_EQ(p.tab->TabCaption(1), "Generale");
  EXPECT_EQ(p.testo->text(), "Aggiornamenti");

  // An empty width applies 60; a width that is not a number fails with 13
  // after the caption is written, and moving on keeps the edits shown.
  p.Scrivi(p.larghezza, "");
  p.pagina.ApplyChanges();
  EXPECT_EQ(p.tab->TabWidth(2), 60);
  p.Scrivi(p.testo, "Nuovo");
  p.Scrivi(p.larghezza, "largo");
  EXPECT_EQ(NumeroErrore([&] { p.pagina.ApplyChanges(); }), 13);
  EXPECT_EQ(p.tab->TabCaption(2), "Nuovo");
  QSignalSpy errori(&p.pagina, &Tabs::Errore);
  p.hsb->setValue(3);
  EXPECT_EQ(errori.count(), 1);
  EXPECT_EQ(p.hsb->value(), 2);
  EXPECT_EQ(p.larghezza->text(), "largo");
  p.Scrivi(p.larghezza, " 70.5 ");
  p.pagina.ApplyChanges();
  EXPECT_EQ(p.tab->TabWidth(2), 70);

  // A width the control cannot paint is refused and not kept; a repaint
  // that fails after Delete is reported, and the tab is gone all the same.
  p.Scrivi(p.larghezza, "2147483647");
  EXPECT_EQ(NumeroErrore([&] { p.pagina.ApplyChanges(); }), 6);
  EXPECT_EQ(p.tab->TabWidth(2), 70);
  EXPECT_EQ(NumeroErrore([&] { p.tab->SetTabWidth(1, 2147483647); }), 6);
  errori.clear();
  p.Clic("cmdDelete");
  EXPECT_EQ(errori.count(), 1);
  EXPECT_EQ(p.tab->NumberOfTabs(), 2);
  EXPECT_EQ(p.hsb->maximum(), 2);
}

TEST(Tabs, AddTabAppliesTheShownValuesToTheNewTabAndDeleteDropsEditsOfTheTabThatWent) {
  Pagina p;
  p.tab->SetTabPicture(1, test::Figura(16, 16, qRgb(1, 2, 3), qRgb(4, 5, 6)));
  p.pagina.SelectionChanged(p.tab.get());
  // A pending edit goes first to the tab shown.
  p.Scrivi(p.larghezza, "70");
  p.Clic("cmdAddTab");
  EXPECT_EQ(p.tab->TabWidth(1), 70);
  EXPECT_EQ(p.hsb->maximum(), 4);
  EXPECT_EQ(p.hsb->value(), 1);
  p.pagina.ApplyChanges();
  EXPECT_EQ(p.tab->TabCaption(4), "Principale");
  EXPECT_EQ(p.tab->TabWidth(4), 70);
  EXPECT_EQ(p.tab->TabPicture(4), nullptr);
  EXPECT_NE(p.tab->TabPicture(1), nullptr);

  // The page edits tab 4, which Delete removes: its edits go with it.
  p.Scrivi(p.testo, "Perso");
  p.Clic("cmdDelete");
  EXPECT_EQ(p.pagina.IndiceCorrente(), 1);
  p.pagina.ApplyChanges();
  EXPECT_EQ(p.tab->TabCaption(1), "Principale");
  EXPECT_EQ(p.tab->TabCaption(3), "Dati");
}

TEST(Tabs, LoadsPicturesThroughTheDialogAndKeepsThePictureOnABadFile) {
  orvane::test::CartellaTemporanea cartella;
  const auto file = [&](const char* nome) { return cartella / nome; };
  QImage bmp(16, 16, QImage::Format_RGB32);
  bmp.fill(qRgb(200, 10, 10));
  ASSERT_TRUE(bmp.save(QString::fromStdString(file("a.bmp").string())));
  ASSERT_TRUE(bmp.save(QString::fromStdString(file("a.ico").string())));
  // Qt writes no GIF: one red pixel, by hand.
  ScriviFile(file("a.gif"),
             std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xc8\x0a\x0a\x00\x00\x00"
                         ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                         35));
  const std::string intero = orvane::test::LeggiFile(file("a.bmp"));
  ScriviFile(file("tronca.bmp"), intero.substr(0, 40));
  // The header whole, the last rows of pixels missing.
  ScriviFile(file("corta.bmp"), intero.substr(0, intero.size() - 100));
  ScriviFile(file("testo.gif"), "non un'immagine");
  // A BMP header that claims 60000 by 60000 pixels over a few bytes.
  std::string enorme = intero.substr(0, 54) + std::string(64, '\0');
  enorme.replace(18, 2, "\x60\xEA").replace(22, 2, "\x60\xEA");
  ScriviFile(file("enorme.bmp"), enorme);

  Pagina p;
  p.Clic("cmdOpenDlg");  // cancelled
  EXPECT_EQ(p.richieste,
            QStringList({"Load Picture", "All Picture Files (*.bmp *.ico *.gif)", ""}));
  EXPECT_FALSE(p.pagina.Changed());
  EXPECT_EQ(mCommonDialog::FiltroQt("Immagini|*.bmp; *.ico|Tutti|*.*"),
            "Immagini (*.bmp *.ico);;Tutti (*.*)");
  for (const char* nome : {"a.bmp", "a.ico", "a.gif"}) {
    p.scelta = QString::fromStdString(file(nome).string());
    p.Clic("cmdOpenDlg");
    ASSERT_NE(p.pagina.Figura(), nullptr) << nome;
    EXPECT_EQ(p.pagina.Figura()->Pixel().pixel(0, 0) & 0xFFFFFFU, 0xC80A0AU) << nome;
  }
  const auto tenuta = p.pagina.Figura();
  QSignalSpy errori(&p.pagina, &Tabs::Errore);
  for (const char* nome : {"tronca.bmp", "corta.bmp", "testo.gif", "manca.bmp", "enorme.bmp"}) {
    p.scelta = QString::fromStdString(file(nome).string());
    p.Clic("cmdOpenDlg");
    EXPECT_EQ(p.pagina.Figura(), tenuta) << nome;
  }
  ASSERT_EQ(errori.count(), 5);
  EXPECT_TRUE(errori[0][0].toString().contains("tronca.bmp"));
  p.pagina.ApplyChanges();
  EXPECT_EQ(p.tab->TabPicture(1), tenuta);
  p.Clic("cmdDel");
  p.pagina.ApplyChanges();
  EXPECT_EQ(p.tab->TabPicture(1), nullptr);

  // A picture the state names but that could not be loaded: its tooltip
  // reads the file's name as it is, even one that looks like markup.
  p.tab->SetTabPicture(1, std::make_shared<Immagine>(QImage(), TipoImmagine::Nessuna,
                                                     "/stati/<b>x</b><img src=a.png>.bmp"));
  p.pagina.SelectionChanged(p.tab.get());
  const QString suggerimento = p.pagina.findChild<QLabel*>("picTab")->toolTip();
  QTextDocument letto;
  if (Qt::mightBeRichText(suggerimento)) {
    letto.setHtml(suggerimento);
  } else {
    letto.setPlainText(suggerimento);
  }
  EXPECT_EQ(letto.toPlainText().toStdString(),
            "Immagine non caricata: /stati/<b>x</b><img src=a.png>.bmp");
}

TEST(Tabs, WithoutTabsOffersOnlyAddTabWhichThenShowsTheFirstTabInFieldsNamedByTheirLabels) {
  Pagina p;
  p.pagina.SelectionChanged(nullptr);
  auto* aggiungi = p.pagina.findChild<QPushButton*>("cmdAddTab");
  EXPECT_FALSE(aggiungi->isEnabled());  // no control at all
  xpVantelTab vuoto;
  vuoto.resize(300, 100);
  p.pagina.SelectionChanged(&vuoto);
  EXPECT_FALSE(p.testo->isEnabled());
  EXPECT_EQ(NumeroErrore([&] { p.pagina.ApplyChanges(); }), 9);

  p.Clic("cmdAddTab");
  ASSERT_EQ(vuoto.NumberOfTabs(), 1);
  EXPECT_EQ(p.pagina.IndiceCorrente(), 1);
  EXPECT_TRUE(p.testo->isEnabled());
  EXPECT_EQ(p.testo->text(), "Tab1");
  p.Scrivi(p.testo, "Principale");
  p.pagina.ApplyChanges();
  EXPECT_EQ(vuoto.TabCaption(1), "Principale");

  // Each field is named by its label for a screen reader.
  const std::pair<QWidget*, const char*> campi[] = {
      {p.pagina.findChild<QLineEdit*>("txtIndex"), "Index :"},
      {p.testo, "Tab Text :"},
      {p.larghezza, "Tab Width :"}};
  for (const auto& [campo, nome] : campi)
    EXPECT_EQ(QAccessible::queryAccessibleInterface(campo)->text(QAccessible::Name), nome);
}

}  // namespace
}  // namespace brisko
