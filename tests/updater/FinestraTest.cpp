// Tervan's window: keys and mouse, the tray and its balloons, how the program
// ends; then the whole window against the reference service.
#include <gmock/gmock.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "BancoFinestra.h"
#include "platform/Browser.h"
#include "platform/Cartelle.h"
#include "platform/Messaggi.h"
#include "platform/Percorsi.h"
#include "platform/PompaMessaggi.h"
#include "platform/RigaDiComando.h"
#include "quomaro/Host.h"
#include "quomaro/Recordset.h"
#include "tests/support/BusNotifiche.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/MessaggiRegistrati.h"
#include "tests/support/SchermoX.h"
#include "tests/support/ServerX.h"
#include "tests/support/ServizioFiglio.h"
#include "tests/support/TervanFiglio.h"
#include "updater/PorteQt.h"
#include "updater/frmTervan.h"

namespace tervan {
namespace {

using Elenco = ElencoAggiornamenti;
using ::testing::ElementsAre;
using ::testing::FieldsAre;
using ::testing::IsEmpty;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

void Tasto(QWidget* w, Qt::Key k) {
  QTest::keyClick(w, k);
  QApplication::processEvents();  // the bounce off a note row is queued
}

class FinestraTest : public ::testing::Test {
 protected:
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
  void Premi(Qt::Key tasto) { Tasto(griglia_, tasto); }
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

TEST_F(FinestraTest, EnterAndDoubleClickToggleDataRowsTheSelectionSkipsNotesEscNeedsItsButton) {
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
  // Enter presses the button that has the focus.
  Tasto(finestra_.findChild<QAbstractButton*>("Command_F8"), Qt::Key_Return);
  EXPECT_EQ(Segno(1) + Segno(3) + Segno(5), "OkOkOk");
  Premi(Qt::Key_F5);
  EXPECT_EQ(Segno(1) + Segno(3) + Segno(5), "");

  // The selection rests on data rows whichever way it moves.
  griglia_->setCurrentCell(0, 1);
  Premi(Qt::Key_Down);  // over the first note row
  EXPECT_EQ(griglia_->currentRow() + 1, 3);
  Premi(Qt::Key_Up);  // back over it, upwards
  EXPECT_EQ(griglia_->currentRow() + 1, 1);
  griglia_->setCurrentCell(4, 1);
  Premi(Qt::Key_Down);  // the last note row sends it back
  EXPECT_EQ(griglia_->currentRow() + 1, 5);
  EXPECT_EQ(finestra_.Elenco().UltimoTasto, 38);

  // Esc sends the window to the tray only while its button is enabled, and
  // not when it closes the open interval list.
  auto* esc = finestra_.findChild<QAbstractButton*>("Command_Esc");
  finestra_.findChild<QAbstractButton*>("Check1")->setChecked(true);
  auto* intervallo = finestra_.findChild<QComboBox*>("Combo1");
  intervallo->showPopup();
  Tasto(intervallo->view(), Qt::Key_Escape);
  EXPECT_FALSE(intervallo->view()->isVisible());
  EXPECT_TRUE(finestra_.isVisible());
  esc->setEnabled(false);
  Premi(Qt::Key_Escape);
  EXPECT_TRUE(finestra_.isVisible());
  esc->setEnabled(true);
  Premi(Qt::Key_Escape);
  EXPECT_FALSE(finestra_.isVisible());
}

TEST_F(FinestraTest, TheWindowHasItsIconWidthAndFieldNamesAndTheTrayBringsItBackAndStopsTheChecks) {
  // The drawing rendered at build time, in a desktop's smallest and largest sizes.
  for (const int lato : {16, 256})
    EXPECT_TRUE(finestra_.windowIcon().availableSizes().contains(QSize(lato, lato))) << lato;
  // A long progress line keeps its text but not the window's width.
  finestra_.show();
  QApplication::processEvents();
  const int larghezza = finestra_.width();
  auto* riga = finestra_.findChild<QLabel*>("Label1");
  riga->setVisible(true);
  const std::string testo =
      "Download aggiornamento 1 di 1 - " + std::string(300, 'x') + " in corso...";
  ControlliFinestra::Scrivi(*riga, testo);
  QApplication::processEvents();
  EXPECT_EQ(finestra_.width(), larghezza);
  EXPECT_EQ(riga->text().toStdString(), testo);

  finestra_.tmrRicerca().start();
  finestra_.Stato().stato = StatoVassoio::Nascosto;
  finestra_.showMinimized();
  finestra_.hide();
  emit finestra_.Tray().Icona().activated(QSystemTrayIcon::Trigger);
  EXPECT_TRUE(finestra_.isVisible());
  EXPECT_FALSE(finestra_.isMinimized());
  EXPECT_EQ(finestra_.Stato().stato, StatoVassoio::Riaperto);
  EXPECT_FALSE(finestra_.tmrRicerca().isActive());

  // A screen reader hears the fields by their labels and the tab strip's tab.
  const auto nome = [&](const char* controllo, int figlio = -1) {
    QAccessibleInterface* i =
        QAccessible::queryAccessibleInterface(finestra_.findChild<QWidget*>(controllo));
    if (i != nullptr && figlio >= 0) i = i->child(figlio);
    return i == nullptr ? QString() : i->text(QAccessible::Name);
  };
  EXPECT_EQ(nome("Combo1"), "Aggiorna ogni");
  EXPECT_EQ(nome("Text1"), "Data ultimo aggiornamento");
  EXPECT_EQ(nome("xpVantelTab1", 0), "Principale");
}

TEST(PosizioneRitornoTest, TheWindowComesBackWhereItWasMovedTheLeastToBeOnTheScreen) {
  // The frame when hidden, the screen's free area now, where the frame goes.
  const struct {
    QRect cornice, area;
    QPoint attesa;
  } casi[] = {
      {{1000, 400, 822, 539}, {0, 0, 1920, 1080}, {1000, 400}},  // still on the screen
      {{1000, 400, 822, 539}, {0, 0, 1280, 1024}, {458, 400}},   // the screen shrank
      {{-300, -50, 822, 539}, {0, 24, 1024, 744}, {0, 24}},      // past the top left
      {{100, 100, 822, 539}, {1920, 0, 800, 500}, {1920, 0}},    // larger than the screen
  };
  for (const auto& c : casi)
    EXPECT_EQ(frmTervan::PosizioneRitorno(c.cornice, c.area), c.attesa) << c.cornice.x();
}

TEST_F(FinestraTest, HiddenInTheTrayTheProgramOutlivesABoxEndsOnlyThroughEsciOrTheSessionsEnd) {
  InstallaPorteQt();
  finestra_.hide();
  // A box closed while the window is hidden does not end the program.
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

  // At the session's end nobody answers a message box: one a download run (Esc
  // disabled) or a routine (Esc enabled) waits on is answered, and the close
  // comes only once that run has let go and the routine has gone on with the
  // store and returned.
  fs::copy_file(ORVANE_TERVAN_MDB, macchina_.Percorso() / "Tervan.mdb");
  for (const bool scaricamento : {true, false}) {
    SCOPED_TRACE(scaricamento);
    frmTervan finestra;
    finestra.Stato().Archivio = std::make_unique<envAggior>(macchina_.Percorso());
    auto* esc = finestra.findChild<QAbstractButton*>("Command_Esc");
    esc->setEnabled(!scaricamento);
    int risposta = 0;
    bool archivio = false;
    QTimer::singleShot(0, [&] {
      risposta = platform::MsgBox("Download non riuscito", platform::vbCritical, "Errore");
      archivio = static_cast<bool>(finestra.Stato().Archivio);
      esc->setEnabled(true);
    });
    QTimer::singleShot(100, [&] { finestra.FineSessione(); });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(7); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_EQ(risposta, platform::vbOK);
    EXPECT_TRUE(archivio);
    EXPECT_FALSE(finestra.Stato().Archivio);
  }
}

TEST_F(FinestraTest, AHalfTypedDateIsCheckedOnlyWhenTheFocusMovesWithinTheWindow) {
  finestra_.show();
  finestra_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&finestra_));
  auto* data = finestra_.findChild<QLineEdit*>("Text1");
  data->setFocus(Qt::MouseFocusReason);
  QTest::keyClicks(data, "12/0");
  QWidget altra;
  altra.show();
  altra.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&altra));
  EXPECT_EQ(data->text(), QStringLiteral("12/0"));
  finestra_.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&finestra_));
  EXPECT_EQ(QApplication::focusWidget(), data);
  EXPECT_EQ(data->text(), QStringLiteral("12/0"));
  // Moving on to the list checks it.
  griglia_->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(data->text(), QString());
}

TEST_F(FinestraTest, MessageBoxesAndQtsOwnTextsSpeakItalianWhateverTheLocale) {
  InstallaPorteQt();
  // The sorted texts of a box's buttons; the last one is pressed.
  Qt::TextFormat formato = Qt::AutoText;
  const auto pulsanti = [&formato](int stile, const std::string& testo =
                                                  "Effettuare il download degli aggiornamenti "
                                                  "selezionati?") {
    QStringList testi;
    QTimer attesa;
    QObject::connect(&attesa, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      attesa.stop();
      formato = box->textFormat();
      for (QAbstractButton* b : box->buttons())
        testi << b->text();
      box->buttons().last()->click();
    });
    attesa.start(10);
    (void)platform::MsgBox(testo, stile, "Avviso");
    testi.sort();
    return testi;
  };
  EXPECT_EQ(pulsanti(platform::vbYesNo | platform::vbQuestion),
            (QStringList{QStringLiteral("No"), QStringLiteral("Sì")}));
  EXPECT_EQ(pulsanti(platform::vbOKOnly), QStringList{QStringLiteral("OK")});
  EXPECT_EQ(pulsanti(platform::vbOKCancel), (QStringList{QStringLiteral("Annulla"), "OK"}));
  // A customer code from the registry that looks like markup shows as the
  // text it is: no bold, no picture, no link to click.
  (void)pulsanti(platform::vbExclamation,
                 "Accesso non consentito per l'utente <b>X</b><a href='http://x'>y</a>");
  EXPECT_EQ(formato, Qt::PlainText);

  // Qt's own texts, such as an entry field's context menu.
  ASSERT_TRUE(CaricaTraduzioneQt(*QCoreApplication::instance()));
  EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("&Copia"));
  for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(t);
    delete t;
  }
}

// The history page opens through the launcher that resets what Tervan set
// for itself (the signal it ignores; its descriptors, as BrowserUrlTest
// checks), without waiting for it.
TEST_F(FinestraTest, TheHistoryPageOpensThroughALauncherThatInheritsNothingOfTervans) {
  InstallaPorteQt();
  const orvane::test::CartellaTemporanea bin;
  macchina_.Imposta("PATH", bin.Percorso().string());
  const fs::path rapporto = bin / "rapporto";
  // The launcher reports its address and ignored signals, and ends as the
  // desktop's handler does: 0, or 3 when it finds no browser.
  const auto lanciatore = [&](int esito) {
    orvane::test::ScriviFile(bin / "xdg-open",
                             "#!/bin/sh\n{ echo \"$1\"; while read k v; do [ \"$k\" = SigIgn: ] && "
                             "echo $v; done < /proc/$$/status; } > '" +
                                 rapporto.string() + "'\nexit " + std::to_string(esito) + "\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
  };
  lanciatore(0);
  const auto xfszPrima = std::signal(SIGXFSZ, SIG_IGN);
  const bool aperta = platform::ApriNelBrowser("http://127.0.0.1:9/cronologia.aspx?session=A1");
  std::signal(SIGXFSZ, xfszPrima);
  ASSERT_TRUE(aperta);
  std::ifstream letto(rapporto);
  std::string indirizzo;
  unsigned long long ignorati = 0;
  letto >> indirizzo >> std::hex >> ignorati;
  EXPECT_EQ(indirizzo, "http://127.0.0.1:9/cronologia.aspx?session=A1");
  EXPECT_EQ(ignorati >> (SIGXFSZ - 1) & 1U, 0U);
  // A desktop with no browser: not opened, so that the user is told.
  lanciatore(3);
  EXPECT_FALSE(platform::ApriNelBrowser("http://127.0.0.1:9/cronologia.aspx?session=A1"));
}

// Balloons on a desktop without a notification area go to the desktop's
// notification service: a stand-in on a private session bus receives them.
TEST(NotificaDesktop, BalloonsAreNotificationsAndLinesOfStandardErrorARepeatedTextReplacesItsOwn) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // offscreen: no tray
  orvane::test::BusNotifiche bus;
  orvane::test::MacchinaFinta macchina;  // puts the session bus's address back
  macchina.Imposta("DBUS_SESSION_BUS_ADDRESS", bus.Indirizzo());

  NotifyIconCtrl tray{QIcon()};
  tray.Mostra();
  // Each balloon once the previous one was answered, as a check cycle's
  // waits for the service let the answers in.
  const auto fumetto = [&](const std::string& testo, int durata) {
    const std::size_t ricevute = bus.Ricevute().size();
    tray.MostraFumetto(testo, "Aggiornamenti Orvane Software", durata);
    for (int i = 0; i < 200 && bus.Ricevute().size() == ricevute; ++i)
      QTest::qWait(10);
    QTest::qWait(50);
  };
  const std::string guasto = "Impossibile connettersi al server Orvane Software";
  fumetto("L'aggiornamento verrà installato", 14500);
  for (int i = 0; i < 3; ++i)
    fumetto(guasto, 3000);
  // The failure told for every program shows once, replaced in place.
  const auto notifica = [](const std::string& testo, int durata, unsigned sostituisce) {
    return FieldsAre("Tervan", "Aggiornamenti Orvane Software", testo, durata, sostituisce,
                     "orvane-tervan", "orvane-tervan");
  };
  // An answer of megabytes is not laid out in a balloon.
  fumetto(std::string(999, 'r') + std::string(1 << 20, 's'), 3000);
  // Without a notification area each balloon is also one line of standard
  // error, whatever the service's text in it holds.
  const std::string righe =
      "Connessione col server chiusa inaspettatamente\nNo\r\nTervan: [Falso] \x1b[2Jfalso\r";
  ::testing::internal::CaptureStderr();
  fumetto(righe, 3000);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Tervan: [Aggiornamenti Orvane Software] Connessione col server chiusa "
            "inaspettatamente No Tervan: [Falso] \\x1b[2Jfalso \n");
  EXPECT_THAT(
      bus.Ricevute(),
      ElementsAre(notifica("L'aggiornamento verrà installato", 14500, 0), notifica(guasto, 3000, 0),
                  notifica(guasto, 3000, 2), notifica(guasto, 3000, 2),
                  notifica(std::string(999, 'r') + "s... (1049575 byte)", 3000, 0),
                  notifica(righe, 3000, 0)));
  QDBusConnection::disconnectFromBus(QStringLiteral("tervan-notifiche"));
}

// A service that says it shows plain text gets the text as it is; one that
// has not said so may read markup, as one that shows links or pictures does,
// and gets the service's text escaped.
TEST(NotificaDesktop, TheTextIsEscapedForAServiceThatShowsLinksOrPicturesOrHasNotSaid) {
  const std::string testo = "<a href=\"x\">y</a>&";
  const std::string escapato = "&lt;a href=&quot;x&quot;&gt;y&lt;/a&gt;&amp;";
  for (const auto& [capacita, atteso] :
       std::vector<std::pair<std::optional<QStringList>, std::string>>{
           {QStringList{"body"}, testo},
           {QStringList{"body", "body-hyperlinks"}, escapato},
           {QStringList{"body", "body-images"}, escapato},
           {std::nullopt, escapato}}) {
    SCOPED_TRACE(capacita ? capacita->join(' ').toStdString() : "(non dette)");
    orvane::test::BusNotifiche bus(capacita);
    orvane::test::MacchinaFinta macchina;
    macchina.Imposta("DBUS_SESSION_BUS_ADDRESS", bus.Indirizzo());
    NotifyIconCtrl tray{QIcon()};
    tray.Mostra();
    tray.MostraFumetto(testo, "Aggiornamenti Orvane Software", 3000);
    for (int i = 0; i < 200 && bus.Ricevute().empty(); ++i)
      QTest::qWait(10);
    ASSERT_EQ(bus.Ricevute().size(), 1U);
    EXPECT_EQ(bus.Ricevute()[0].testo, atteso);
    QDBusConnection::disconnectFromBus(QStringLiteral("tervan-notifiche"));
  }
}

// On a real X server a plain start shows the window; F4 typed into it fills the list, and
// the balloon goes to the notification service although a notification area is there too.
TEST(FinestraXvfb, StartedPlainlyTheWindowShowsAndAfterF4TheBalloonIsANotification) {
  orvane::test::ServerX server("1024x768x24");
  if (!server.Avviato()) GTEST_SKIP() << "Xvfb non disponibile";
  orvane::test::MacchinaFinta macchina;
  orvane::test::ServizioFiglio servizio;
  test::InstallaTarvik();
  orvane::test::TervanFiglio tervan(macchina.Percorso() / "programma");

  // An XEmbed notification area and a notification service, as a desktop has.
  orvane::test::SchermoX schermo(server.Display());
  ASSERT_TRUE(schermo.Connesso());
  ASSERT_TRUE(schermo.OccupaAreaNotifica());
  orvane::test::BusNotifiche bus;
  const auto avvio = tervan.Avvia({}, {{"DISPLAY", server.Display()},
                                       {"DBUS_SESSION_BUS_ADDRESS", bus.Indirizzo()},
                                       {"QT_QPA_PLATFORM", "xcb"},
                                       {"ORVANE_UPDATE_SERVER", servizio.Server()},
                                       {"ORVANE_WEB_SITE", servizio.Server()}});
  const auto finestra = schermo.Finestra("Aggiornamenti automatici - Orvane Software", 60s);
  ASSERT_TRUE(finestra) << tervan.Errori(1);

  ASSERT_TRUE(schermo.Premi(*finestra, "F4"));
  const auto annunciato = [&] {
    for (const auto& n : bus.Ricevute())
      if (n.titolo == "Orvane Software - Aggiornamenti") return true;
    return false;
  };
  for (int i = 0; i < 600 && !annunciato(); ++i)
    QTest::qWait(100);  // the notification stand-in answers meanwhile
  EXPECT_TRUE(annunciato());
  EXPECT_TRUE(avvio->InEsecuzione());
}

constexpr const char* kRun = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Run)";

class FinestraScaricamento : public ::testing::Test {
 protected:
  void SetUp() override {
    macchina_.Imposta("ORVANE_UPDATE_SERVER", servizio_.Server());
    macchina_.Imposta("ORVANE_WEB_SITE", "http://127.0.0.1:9");
    fs::create_directories(programma_);
    fs::copy_file(ORVANE_TERVAN_MDB, programma_ / "Tervan.mdb");
    platform::ImpostaCartellaProgramma(programma_);
    platform::ImpostaPortaBrowser([this](const std::string& url) {
      aperti_.push_back(url);
      return true;
    });
  }
  void TearDown() override {
    platform::ImpostaPortaBrowser({});
    platform::ImpostaCartellaProgramma(std::nullopt);
    platform::SostituisciRigaDiComando("DEBUG");
  }
  static std::optional<std::string> Avvio() {
    return orvane::test::LeggiTesto(platform::HKEY_LOCAL_MACHINE, kRun, frmTervan::kValoreAvvio);
  }
  static std::vector<std::string> Frequenze(const fs::path& programma) {
    envAggior archivio(programma);
    RecordsetLocale& rs = *archivio.rsAGGIOR();
    std::vector<std::string> f;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
      f.push_back(rs.Campo("FreQue"));
    return f;
  }

  orvane::test::MacchinaFinta macchina_;
  orvane::test::ServizioFiglio servizio_;
  fs::path programma_ = macchina_.Percorso() / "programma";
  std::vector<std::string> aperti_;
};

TEST_F(FinestraScaricamento,
       TheKeysGoToTheListWhereF4ListsEnterTogglesF10YesDownloadsAndTheSettingsAreWritten) {
  test::InstallaTarvik();
  const std::string comando =
      platform::RigaWindows({platform::PercorsoEseguibile().string(), "VERIFICA"});
  {
    orvane::test::MessaggiRegistrati messaggi;
    messaggi.Rispondi(platform::vbYes);
    frmTervan finestra;
    finestra.Form_Load();
    ASSERT_TRUE(finestra.isVisible());
    auto* griglia = finestra.findChild<QTableWidget*>("grdAggior");
    auto* check = finestra.findChild<QCheckBox*>("Check1");
    auto* combo = finestra.findChild<QComboBox*>("Combo1");
    ASSERT_EQ(finestra.focusWidget(), griglia);
    // The load ticks the autostart box, writing the log-on entry, and shows the
    // discovery's interval; Space where the focus is does not untick the box.
    EXPECT_EQ(Avvio(), comando);
    EXPECT_EQ(combo->currentText(), QStringLiteral("30 minuti"));
    Tasto(finestra.focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(check->isChecked());

    // F4 pressed with the focus on the box: the focus ends on the first
    // package, which Enter unmarks.
    check->setFocus();
    Tasto(check, Qt::Key_F4);
    ASSERT_EQ(finestra.Elenco().Righe(), 4);
    EXPECT_EQ(finestra.focusWidget(), griglia);
    EXPECT_EQ(griglia->currentRow(), 0);
    Tasto(griglia, Qt::Key_Return);
    EXPECT_EQ(finestra.Elenco().Testo(1, ElencoAggiornamenti::kEsegui), "");
    EXPECT_EQ(finestra.Elenco().Testo(3, ElencoAggiornamenti::kEsegui), "Ok");
    EXPECT_TRUE(check->isChecked());

    // Tab goes through the buttons and comes back round to the list.
    std::vector<QString> giro;
    for (int i = 0; i < 20 && (giro.empty() || finestra.focusWidget() != griglia); ++i) {
      Tasto(finestra.focusWidget(), Qt::Key_Tab);
      giro.push_back(finestra.focusWidget()->objectName());
    }
    EXPECT_EQ(giro.front(), QStringLiteral("Command_F1"));
    EXPECT_EQ(giro.back(), QStringLiteral("grdAggior"));
    EXPECT_THAT(giro, ::testing::Contains(QStringLiteral("Check1")));

    // F10 and Yes take the marked package (what lands is the download run's tests').
    const std::string sessione = finestra.Stato().IdSessione;
    Tasto(griglia, Qt::Key_F10);
    EXPECT_THAT(servizio_.Registrati(), ElementsAre("ROSSI|42|Stampe & <fatture>|" + sessione));
    const auto box = messaggi.Messaggi();
    ASSERT_GE(box.size(), 1U);
    EXPECT_THAT(box[0], FieldsAre("Effettuare il download degli aggiornamenti selezionati?",
                                  platform::vbYesNo | platform::vbQuestion, "Avviso"));
    // Outside live mode the list is built again, without the package just
    // taken, and the window stays.
    EXPECT_TRUE(finestra.isVisible());
    EXPECT_EQ(finestra.Elenco().Righe(), 2);
    EXPECT_EQ(finestra.Elenco().Testo(1, ElencoAggiornamenti::kCodice), "7");
    EXPECT_THAT(aperti_, IsEmpty());

    // Answering No downloads nothing; nor does F10 while an exchange runs.
    messaggi.Rispondi(platform::vbNo);
    Tasto(griglia, Qt::Key_F10);
    finestra.findChild<QPushButton*>("Command_Esc")->setEnabled(false);
    messaggi.Rispondi(platform::vbYes);
    Tasto(griglia, Qt::Key_F10);
    finestra.findChild<QPushButton*>("Command_Esc")->setEnabled(true);
    EXPECT_EQ(servizio_.Registrati().size(), 1U);
    EXPECT_EQ(messaggi.Messaggi().size(), box.size() + 1);

    // Unticked, the box takes the entry away; each interval chosen is written.
    check->click();
    EXPECT_EQ(Avvio(), std::nullopt);
    for (const auto& [voce, testo] : std::vector<std::pair<int, std::string>>{
             {0, "00:00:15"}, {1, "00:00:30"}, {2, "00:01:00"}}) {
      combo->setCurrentIndex(voce);
      emit combo->activated(voce);
      EXPECT_THAT(Frequenze(programma_), ElementsAre(testo)) << voce;
    }
  }
  // The next start ticks the box again and writes the entry again, and
  // keeps the interval chosen, though its discovery pass wrote the first;
  // so does the pass a tick repeats while a program lacks its customer.
  fs::create_directories(platform::PercorsoLocale(R"(C:\ORVANE\SELVOR)"));
  frmTervan finestra;
  finestra.Form_Load();
  EXPECT_EQ(Avvio(), comando);
  EXPECT_EQ(finestra.findChild<QComboBox*>("Combo1")->currentText(), QStringLiteral("1 ora"));
  EXPECT_THAT(Frequenze(programma_), ElementsAre("00:01:00"));
  finestra.tmrRicerca_Timer();
  EXPECT_FALSE(finestra.Stato().VerificaCompleta);
  EXPECT_THAT(Frequenze(programma_), ElementsAre("00:01:00"));
}

TEST_F(FinestraScaricamento, ARunTakesExactlyTheRowsMarkedWhenItStartedWhateverHappensMeanwhile) {
  test::InstallaTarvik();
  // A run over the data rows `segnate` (F10), or unattended over all (the
  // tick of a start at log-on); while the first package arrives the user
  // does `durante`, as the window's pump lets them: what is recorded. The
  // checks go on after it only where the window is left hidden with them.
  const auto esegui = [&](const std::vector<int>& segnate,
                          const std::function<void(frmTervan&)>& durante, const char* riga = "") {
    orvane::test::ServizioFiglio servizio;
    macchina_.Imposta("ORVANE_UPDATE_SERVER", servizio.Server());
    orvane::test::MessaggiRegistrati messaggi;
    messaggi.Rispondi(platform::vbYes);
    platform::SostituisciRigaDiComando(riga);
    frmTervan finestra;
    finestra.Form_Load();
    std::function<void()> avvia = [&] { finestra.tmrRicerca_Timer(); };
    if (std::string_view(riga).empty()) {
      finestra.Command_F4_Click();
      EXPECT_EQ(finestra.Elenco().Righe(), 4);
      finestra.Command_F5_Click();
      for (const int r : segnate)
        finestra.findChild<QTableWidget*>("grdAggior")->item(r - 1, 0)->setText("Ok");
      avvia = [&] { finestra.Command_F10_Click(); };
    }
    bool fatto = false;
    const auto pompa = [&] {
      if (!fatto && finestra.Scaricamento().InCorso()) {
        fatto = true;
        durante(finestra);
      }
      QCoreApplication::processEvents();
    };
    test::ConPompa(pompa, avvia);
    EXPECT_TRUE(fatto);
    EXPECT_EQ(finestra.tmrRicerca().isActive(),
              finestra.Stato().stato == StatoVassoio::Nascosto && finestra.isHidden());
    return servizio.CodiciRegistrati();
  };
  EXPECT_THAT(
      esegui(
          {}, [](frmTervan& f) { emit f.Tray().Icona().activated(QSystemTrayIcon::Trigger); },
          "VERIFICA"),
      ElementsAre("7", "42"));
  EXPECT_THAT(esegui({1},
                     [](frmTervan& f) {
                       Tasto(f.findChild<QTableWidget*>("grdAggior"), Qt::Key_F4);
                       Tasto(f.findChild<QTableWidget*>("grdAggior"), Qt::Key_F8);
                     }),
              ElementsAre("7"));
  EXPECT_THAT(esegui({1, 3},
                     [](frmTervan& f) {
                       f.findChild<QPushButton*>("Command_Nas")->click();
                       QMetaObject::invokeMethod(&f.tmrRicerca(), "timeout");
                     }),
              ElementsAre("7", "42"));
}

TEST_F(FinestraScaricamento, EsciChosenFromABoxATickShowsWaitsUntilTheTickHasLetGoOfTheStore) {
  test::InstallaTarvik();
  platform::SostituisciRigaDiComando("VERIFICA");
  frmTervan finestra;
  finestra.Form_Load();
  // The tick's discovery pass fails (a folder that cannot be examined) and
  // shows its record; the user picks "Esci" while the box is open.
  const fs::path tarvik = platform::PercorsoLocale(R"(C:\ORVANE\TARVIK)");
  fs::remove_all(tarvik);
  fs::create_directory_symlink(tarvik, tarvik);
  finestra.Stato().VerificaCompleta = false;
  int box = 0;
  platform::ImpostaPortaMessaggi([&](const platform::Messaggio&) {
    ++box;
    finestra.Escixx_Click();
    return platform::vbOK;
  });
  finestra.tmrRicerca_Timer();
  platform::ImpostaPortaMessaggi({});
  EXPECT_EQ(box, 1);
  EXPECT_TRUE(finestra.Stato().Archivio);
  finestra.Escixx_Click();
  EXPECT_FALSE(finestra.Stato().Archivio);
}

TEST_F(FinestraScaricamento,
       TheLoadEndsWithoutProgramsKeepsTheTrayOnABadStoreAndLiveModeSearchesDownloadsAndEnds) {
  orvane::test::MessaggiRegistrati messaggi;
  {
    frmTervan finestra;  // not live: the load ends silently
    finestra.Form_Load();
    EXPECT_TRUE(finestra.CaricamentoTerminato());
    EXPECT_FALSE(finestra.isVisible());
  }
  EXPECT_THAT(messaggi.Messaggi(), IsEmpty());
  {
    // A store that cannot be opened fails the load, and the program stays:
    // with the tray icon, its only way to the window and to "Esci".
    fs::rename(programma_ / "Tervan.mdb", programma_ / "Tervan.sano");
    orvane::test::ScriviFile(programma_ / "Tervan.mdb", "non è un archivio");
    frmTervan finestra;
    finestra.Form_Load();
    EXPECT_FALSE(finestra.CaricamentoTerminato());
    EXPECT_FALSE(finestra.isVisible());
    EXPECT_TRUE(finestra.Tray().Icona().isVisible());
    fs::rename(programma_ / "Tervan.sano", programma_ / "Tervan.mdb");
  }
  orvane::test::ScriviFile(programma_ / "Live.txt", "");
  {
    frmTervan finestra;
    finestra.Form_Load();
    EXPECT_TRUE(finestra.CaricamentoTerminato());
    EXPECT_THAT(messaggi.Messaggi(),
                ElementsAre(FieldsAre("Nessun software Orvane è installato su questo computer.",
                                      platform::vbExclamation, "Avviso")));
  }
  // Installed, the list is there at once; after a download the history opens
  // and the close is granted.
  test::InstallaTarvik();
  messaggi.Rispondi(platform::vbYes);
  frmTervan finestra;
  finestra.Form_Load();
  ASSERT_TRUE(finestra.isVisible());
  ASSERT_EQ(finestra.Elenco().Righe(), 4);
  finestra.Command_F10_Click();
  EXPECT_EQ(servizio_.Registrati().size(), 2U);
  EXPECT_THAT(aperti_, ElementsAre("http://127.0.0.1:9/cronologia.aspx?session=" +
                                   finestra.Stato().IdSessione));
  EXPECT_FALSE(finestra.isVisible());
  EXPECT_FALSE(finestra.Stato().Archivio);
}

// Only VERIFICA, blanks around it allowed, starts hidden, and a shown window fits
// the screen, also with a font half as large again; then the close rules.
TEST_F(FinestraScaricamento,
       TheLoadHidesTheWindowOnlyForVerificaFitsItToTheScreenAndCloseRequestsFollowFourRules) {
  test::InstallaTarvik();
  struct Caso {
    bool escAbilitato;
    std::string riga;
    bool consentita;
    bool concessa;
    bool consentitaDopo;
    bool visibile;
    double scalaCarattere = 1;
  };
  const std::vector<Caso> casi{{false, "", true, false, true, true},
                               {true, "", true, true, true, true, 1.5},
                               {true, "VERIFICA", false, false, false, false},
                               {true, "VERIFICA", true, true, true, false},
                               {true, "", false, false, true, true},
                               {true, "  VERIFICA  ", false, false, false, false},
                               {true, "verifica", false, false, true, true},
                               {true, "VERIFICA LIVE", false, false, true, true}};
  for (const Caso& c : casi) {
    SCOPED_TRACE("'" + c.riga + "'" + (c.escAbilitato ? " esc" : "") +
                 (c.consentita ? " consentita" : "") + " carattere x" +
                 std::to_string(c.scalaCarattere));
    platform::SostituisciRigaDiComando(c.riga);
    const QFont carattere = QApplication::font();
    QFont grande = carattere;
    grande.setPointSizeF(carattere.pointSizeF() * c.scalaCarattere);
    QApplication::setFont(grande);
    const auto ripristina = qScopeGuard([&] { QApplication::setFont(carattere); });
    frmTervan finestra;
    finestra.Form_Load();
    EXPECT_EQ(finestra.isVisible(), c.visibile);
    // Shown, the window fits the screen (offscreen, 800 by 600 pixels).
    const QRect area = finestra.screen()->availableGeometry();
    if (c.visibile) {
      EXPECT_TRUE(area.contains(QRect(area.topLeft(), finestra.size())));
      // So it stays with the status and count lines a search writes.
      const std::string_view pronto = ElencoAggiornamenti::kPronto;
      finestra.findChild<QLabel*>("Label2")->setText(
          QString::fromUtf8(pronto.data(), static_cast<qsizetype>(pronto.size())));
      finestra.findChild<QLabel*>("Label4")->setText(QStringLiteral("11 aggiornamenti in elenco"));
      finestra.layout()->activate();
      EXPECT_TRUE(area.contains(QRect(area.topLeft(), finestra.size())));
    }
    EXPECT_TRUE(finestra.Stato().VerificaCompleta);
    finestra.findChild<QPushButton*>("Command_Esc")->setEnabled(c.escAbilitato);
    finestra.Stato().ChiusuraConsentita = c.consentita;
    bool annulla = false;
    finestra.Form_QueryUnload(annulla);
    EXPECT_EQ(!annulla, c.concessa);
    EXPECT_EQ(finestra.Stato().ChiusuraConsentita, c.consentitaDopo);
    EXPECT_EQ(static_cast<bool>(finestra.Stato().Archivio), !c.concessa);
  }
}

}  // namespace
}  // namespace tervan
