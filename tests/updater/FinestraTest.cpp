// Tervan's window on the offscreen platform: its controls, the keys and the
// mouse on the list, the tray icon, and the one way the program ends.
#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <string>
#include <vector>

#include "BancoFinestra.h"
#include "platform/Browser.h"
#include "platform/Messaggi.h"
#include "platform/PompaMessaggi.h"
#include "quomaro/Host.h"
#include "quomaro/Recordset.h"
#include "tests/support/MacchinaFinta.h"
#include "updater/PorteQt.h"
#include "updater/frmTervan.h"

namespace tervan {
namespace {

using Elenco = ElencoAggiornamenti;

class FinestraTest : public ::testing::Test {
 protected:
  // The ports a test may have pointed at the window's own dialogs and pump.
  void TearDown() override {
    platform::ImpostaPortaMessaggi({});
    platform::ImpostaPompaMessaggi({});
    platform::ImpostaPortaBrowser({});
    quomaro::ImpostaPortaMessaggi({});
    quomaro::ImpostaPompaMessaggi({});
  }
  // Three packages of TARVIK in the list, none marked, the first row selected.
  void Riempi() {
    quomaro::Recordset rs = test::ElencoFileVuoto();
    for (const char* codice : {"1", "2", "3"})
      rs.AggiungiRiga({"2008-01-01T00:00:00", codice, "TARVIK", "T", "Pacchetto", "10", "nota"});
    finestra_.Elenco().ImpostaGriglia();
    finestra_.Elenco().AggiungiPacchetti(rs, "TARVIK");
    finestra_.show();
    griglia_->setFocus();
    griglia_->setCurrentCell(0, 1);
    QApplication::processEvents();
  }
  [[nodiscard]] std::string Segno(int riga) {
    return finestra_.Elenco().Testo(riga, Elenco::kEsegui);
  }
  void Premi(Qt::Key tasto) {
    QTest::keyClick(griglia_, tasto);
    QApplication::processEvents();  // the bounce off a note row is queued
  }
  void DoppioClic(int riga) {
    const QPoint punto = griglia_->visualRect(griglia_->model()->index(riga - 1, 1)).center();
    QTest::mouseClick(griglia_->viewport(), Qt::LeftButton, {}, punto);
    QTest::mouseDClick(griglia_->viewport(), Qt::LeftButton, {}, punto);
    QApplication::processEvents();
  }

  orvane::test::MacchinaFinta macchina_;
  frmTervan finestra_;
  QTableWidget* griglia_ = finestra_.findChild<QTableWidget*>("grdAggior");
};

TEST_F(FinestraTest, EveryControlCarriesItsNameAndFixedText) {
  EXPECT_EQ(finestra_.windowTitle(), QStringLiteral("Aggiornamenti automatici - Orvane Software"));
  // The program icon, from the drawing rendered at build time, in the
  // smallest and largest sizes a desktop asks for.
  for (const int lato : {16, 256})
    EXPECT_TRUE(finestra_.windowIcon().availableSizes().contains(QSize(lato, lato))) << lato;
  const std::vector<std::pair<const char*, const char*>> testi{
      {"Check1", "Esegui il controllo all'avvio del sistema operativo"},
      {"Label3", "Aggiorna ogni"},
      {"Label5", "Data ultimo aggiornamento"},
      {"Label2", "Premere F4 per verificare la presenza di aggiornamenti."},
      {"Command_F1", "F1-Guida"},
      {"Command_F4", "F4-Ricerca"},
      {"Command_F5", "F5-Pulisci"},
      {"Command_F8", "F8-Tutti"},
      {"Command_F10", "F10-Download"},
      {"Command_Nas", "Nascondi"},
      {"Command_Esc", "Esc-Uscita"}};
  for (const auto& [nome, testo] : testi) {
    const QWidget* w = finestra_.findChild<QWidget*>(nome);
    ASSERT_NE(w, nullptr) << nome;
    const auto* b = qobject_cast<const QAbstractButton*>(w);
    const auto* l = qobject_cast<const QLabel*>(w);
    EXPECT_EQ(b != nullptr ? b->text() : l->text(), QString::fromUtf8(testo)) << nome;
  }
  for (const char* nome :
       {"Combo1", "Text1", "Label1", "Label4", "Label6", "grdAggior", "vbalProg", "navdat"}) {
    EXPECT_NE(finestra_.findChild<QWidget*>(nome), nullptr) << nome;
  }
  ASSERT_EQ(finestra_.mnuVestrum().actions().size(), 1);
  EXPECT_EQ(finestra_.mnuVestrum().actions()[0]->text(), QStringLiteral("Esci"));
  EXPECT_EQ(finestra_.tmrRicerca().interval(), 60000);
  EXPECT_FALSE(finestra_.tmrRicerca().isActive());
}

TEST(IntervalloRicercaTest, OnlyAShorterValidIntervalOverridesTheDefault) {
  orvane::test::MacchinaFinta macchina;
  const std::vector<std::pair<const char*, int>> casi{
      {"250", 250},  {"100", 100},  {"99", 60000}, {"60001", 60000},
      {"-5", 60000}, {"5s", 60000}, {"", 60000},   {"60000", 60000}};
  for (const auto& [valore, atteso] : casi) {
    macchina.Imposta(frmTervan::kVariabileIntervallo, std::string(valore));
    EXPECT_EQ(frmTervan::IntervalloRicerca(), atteso) << valore;
  }
}

TEST_F(FinestraTest, EnterAndDoubleClickToggleOnlyDataRowsFunctionKeysMarkAllAndEscNeedsItsButton) {
  Riempi();
  Premi(Qt::Key_Return);
  EXPECT_EQ(Segno(1), "Ok");
  Premi(Qt::Key_Return);
  EXPECT_EQ(Segno(1), "");
  DoppioClic(3);
  EXPECT_EQ(Segno(3), "Ok");
  DoppioClic(4);  // a note row: the click lands, and bounces, but nothing toggles
  EXPECT_EQ(Segno(3), "Ok");
  EXPECT_EQ(Segno(5), "");
  Premi(Qt::Key_F8);
  EXPECT_EQ(Segno(1) + Segno(3) + Segno(5), "OkOkOk");
  Premi(Qt::Key_F5);
  EXPECT_EQ(Segno(1) + Segno(3) + Segno(5), "");

  // Esc sends the window to the tray only while its button is enabled.
  auto* esc = finestra_.findChild<QAbstractButton*>("Command_Esc");
  finestra_.findChild<QAbstractButton*>("Check1")->setChecked(true);
  esc->setEnabled(false);
  Premi(Qt::Key_Escape);
  EXPECT_TRUE(finestra_.isVisible());
  esc->setEnabled(true);
  Premi(Qt::Key_Escape);
  EXPECT_FALSE(finestra_.isVisible());
}

TEST_F(FinestraTest, TheSelectionRestsOnDataRowsWhicheverWayItMoves) {
  Riempi();
  Premi(Qt::Key_Down);  // over the first note row
  EXPECT_EQ(griglia_->currentRow() + 1, 3);
  Premi(Qt::Key_Up);  // back over it, upwards
  EXPECT_EQ(griglia_->currentRow() + 1, 1);
  griglia_->setCurrentCell(4, 1);
  Premi(Qt::Key_Down);  // the last note row sends it back
  EXPECT_EQ(griglia_->currentRow() + 1, 5);
  EXPECT_EQ(finestra_.Elenco().UltimoTasto, 38);
}

TEST_F(FinestraTest, TheTrayBringsTheWindowBackAndStopsTheChecks) {
  finestra_.tmrRicerca().start();
  finestra_.Stato().stato = StatoVassoio::Nascosto;
  emit finestra_.Tray().Icona().activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(finestra_.isVisible());
  EXPECT_EQ(finestra_.Stato().stato, StatoVassoio::Riaperto);
  EXPECT_FALSE(finestra_.tmrRicerca().isActive());
  finestra_.MostraFumetto("testo", "titolo", 3000);
  EXPECT_EQ(finestra_.Tray().UltimiFumetti().back(), (Fumetto{"testo", "titolo", 3000}));
}

TEST_F(FinestraTest, HiddenInTheTrayTheProgramOutlivesAMessageBoxAndEndsOnlyThroughEsci) {
  InstallaPorteQt();
  finestra_.hide();
  // A failure told while the window is hidden: the box is closed by the user.
  QTimer::singleShot(
      0, [] { (void)platform::MsgBox("Avviso di prova", platform::vbOKOnly, "Avviso"); });
  QTimer::singleShot(300, [] {
    if (QWidget* box = QApplication::activeModalWidget()) box->close();
  });
  QTimer::singleShot(900, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QApplication::exec(), 7);

  // A refused request keeps it running too; the tray's "Esci" ends it.
  finestra_.findChild<QPushButton*>("Command_Esc")->setEnabled(false);
  QTimer::singleShot(0, [this] { finestra_.Escixx_Click(); });
  QTimer::singleShot(300, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QApplication::exec(), 7);
  finestra_.findChild<QPushButton*>("Command_Esc")->setEnabled(true);
  QTimer::singleShot(0, [this] { finestra_.mnuVestrum().actions()[0]->trigger(); });
  QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QApplication::exec(), 0);
}

TEST_F(FinestraTest, AHalfTypedDateIsCheckedOnlyWhenTheFocusMovesWithinTheWindow) {
  finestra_.show();
  finestra_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&finestra_));
  auto* data = finestra_.findChild<QLineEdit*>("Text1");
  data->setFocus(Qt::MouseFocusReason);
  QTest::keyClicks(data, "12/0");
  // Another window takes the focus, and gives it back.
  QWidget altra;
  altra.show();
  altra.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&altra));
  EXPECT_EQ(data->text(), QStringLiteral("12/0"));
  finestra_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&finestra_));
  EXPECT_EQ(QApplication::focusWidget(), data);
  EXPECT_EQ(data->text(), QStringLiteral("12/0"));
  // Moving on to the list checks it: not a date, so it is cleared.
  griglia_->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(data->text(), QString());
}

TEST_F(FinestraTest, MessageBoxesAndQtsOwnTextsSpeakItalianWhateverTheLocale) {
  InstallaPorteQt();
  // Each box as the user sees it: its buttons' texts; the last one is pressed.
  const auto pulsanti = [](int stile) {
    QStringList testi;
    QTimer attesa;
    QObject::connect(&attesa, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      attesa.stop();
      for (QAbstractButton* b : box->buttons())
        testi << b->text();
      box->buttons().last()->click();
    });
    attesa.start(10);
    (void)platform::MsgBox("Effettuare il download degli aggiornamenti selezionati?", stile,
                           "Avviso");
    testi.sort();
    return testi;
  };
  EXPECT_EQ(pulsanti(platform::vbYesNo | platform::vbQuestion),
            (QStringList{QStringLiteral("No"), QStringLiteral("Sì")}));
  EXPECT_EQ(pulsanti(platform::vbOKOnly), QStringList{QStringLiteral("OK")});
  EXPECT_EQ(pulsanti(platform::vbOKCancel), (QStringList{QStringLiteral("Annulla"), "OK"}));

  // Qt's own texts, such as an entry field's context menu, once the
  // program loaded its translation.
  ASSERT_TRUE(CaricaTraduzioneQt(*QCoreApplication::instance()));
  EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("&Copia"));
  for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(t);
    delete t;
  }
}

TEST_F(FinestraTest, TheSessionEndingAnswersAMessageBoxThatARunIsWaitingOn) {
  InstallaPorteQt();
  finestra_.hide();
  // A download run (Esc disabled) stopped on a failure box when the
  // session ends: the box goes, the run lets go, the close is granted.
  auto* esc = finestra_.findChild<QAbstractButton*>("Command_Esc");
  esc->setEnabled(false);
  int risposta = 0;
  QTimer::singleShot(0, [&] {
    risposta = platform::MsgBox("Download non riuscito", platform::vbCritical, "Errore");
    esc->setEnabled(true);
  });
  QTimer::singleShot(100, [this] { finestra_.FineSessione(); });
  QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QApplication::exec(), 0);
  EXPECT_EQ(risposta, platform::vbOK);
  EXPECT_FALSE(finestra_.Stato().Archivio);
}

}  // namespace
}  // namespace tervan
