// The whole window on the offscreen platform against the reference service,
// on a fake machine with the management program installed: the load, the
// search, the download with F10, the two settings and the close rules.
#include <gmock/gmock.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BancoFinestra.h"
#include "platform/Browser.h"
#include "platform/Cartelle.h"
#include "platform/Percorsi.h"
#include "platform/PompaMessaggi.h"
#include "platform/RigaDiComando.h"
#include "quomaro/Host.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/MessaggiRegistrati.h"
#include "tests/support/ServizioFiglio.h"
#include "updater/frmTervan.h"

namespace tervan {
namespace {

using ::testing::ElementsAre;
using ::testing::FieldsAre;
using ::testing::IsEmpty;
namespace fs = std::filesystem;

constexpr const char* kImpostazioni = R"(Software\VB and VBA Program Settings\)";
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
  static void InstallaTarvik() {
    fs::create_directories(platform::PercorsoLocale(R"(C:\ORVANE\TARVIK\DATI)"));
    orvane::test::ScriviTesto(platform::HKEY_CURRENT_USER,
                              std::string(kImpostazioni) + R"(TARVIKX\Utente)", "PercXx",
                              R"(C:\ORVANE\TARVIK\DATI)");
    orvane::test::ScriviTesto(platform::HKEY_CURRENT_USER,
                              std::string(kImpostazioni) + R"(TARVIKX\Licenza)", "codcli", "ROSSI");
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
  static void Tasto(QWidget* w, Qt::Key k) {
    QTest::keyClick(w, k);
    QApplication::processEvents();
  }

  orvane::test::MacchinaFinta macchina_;
  orvane::test::ServizioFiglio servizio_;
  fs::path programma_ = macchina_.Percorso() / "programma";
  std::vector<std::string> aperti_;
};

TEST_F(FinestraScaricamento, F4ListsEnterMarksOneAndF10YesDownloadsExactlyThatOne) {
  InstallaTarvik();
  orvane::test::MessaggiRegistrati messaggi;
  messaggi.Rispondi(platform::vbYes);
  frmTervan finestra;
  finestra.Form_Load();
  ASSERT_TRUE(finestra.isVisible());
  auto* griglia = finestra.findChild<QTableWidget*>("grdAggior");
  griglia->setFocus();
  Tasto(griglia, Qt::Key_F4);
  ASSERT_EQ(finestra.Elenco().Righe(), 4);
  Tasto(griglia, Qt::Key_F5);
  griglia->setCurrentCell(2, 1);
  Tasto(griglia, Qt::Key_Return);
  EXPECT_EQ(finestra.Elenco().Testo(1, ElencoAggiornamenti::kEsegui), "");
  EXPECT_EQ(finestra.Elenco().Testo(3, ElencoAggiornamenti::kEsegui), "Ok");
  const std::string sessione = finestra.Stato().IdSessione;
  Tasto(griglia, Qt::Key_F10);

  const fs::path cartella = platform::PercorsoLocale(R"(C:\ORVANE\TARVIK\DATI\Aggiornamenti)");
  EXPECT_THAT(test::Contenuto(cartella), ElementsAre("TARVIK-2008-03-05-14-30-00-C-42.zip"));
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
}

TEST_F(FinestraScaricamento, ARunTakesExactlyTheRowsMarkedWhenItStartedWhateverHappensMeanwhile) {
  InstallaTarvik();
  struct Caso {
    const char* nome;
    std::vector<int> segnate;  // data rows marked before F10
    std::function<void(frmTervan&)> durante;
    std::vector<std::string> scaricati;
  };
  const auto tick = [](frmTervan& f) { QMetaObject::invokeMethod(&f.tmrRicerca(), "timeout"); };
  const std::vector<Caso> casi{
      {"F4 and F8",
       {1},
       [](frmTervan& f) {
         Tasto(f.findChild<QTableWidget*>("grdAggior"), Qt::Key_F4);
         Tasto(f.findChild<QTableWidget*>("grdAggior"), Qt::Key_F8);
       },
       {"7"}},
      {"Nascondi and a tick",
       {1, 3},
       [&](frmTervan& f) {
         f.findChild<QPushButton*>("Command_Nas")->click();
         tick(f);
       },
       {"7", "42"}},
  };
  for (const Caso& c : casi) {
    orvane::test::ServizioFiglio servizio;
    macchina_.Imposta("ORVANE_UPDATE_SERVER", servizio.Server());
    orvane::test::MessaggiRegistrati messaggi;
    messaggi.Rispondi(platform::vbYes);
    frmTervan finestra;
    finestra.Form_Load();
    finestra.Command_F4_Click();
    ASSERT_EQ(finestra.Elenco().Righe(), 4) << c.nome;
    finestra.Command_F5_Click();
    for (const int riga : c.segnate)
      finestra.findChild<QTableWidget*>("grdAggior")->item(riga - 1, 0)->setText("Ok");
    // The user acts while the first package arrives, as the window's pump
    // lets them.
    bool fatto = false;
    const auto pompa = [&] {
      if (!fatto && finestra.Scaricamento().InCorso()) {
        fatto = true;
        c.durante(finestra);
      }
      QCoreApplication::processEvents();
    };
    platform::ImpostaPompaMessaggi(pompa);
    quomaro::ImpostaPompaMessaggi(pompa);
    finestra.Command_F10_Click();
    platform::ImpostaPompaMessaggi({});
    quomaro::ImpostaPompaMessaggi({});
    EXPECT_TRUE(fatto) << c.nome;
    EXPECT_EQ(servizio.CodiciRegistrati(), c.scaricati) << c.nome;
  }
}

TEST_F(FinestraScaricamento, TheKeysGoToTheListAfterTheLoadAndAfterASearchAndTabLeavesIt) {
  InstallaTarvik();
  frmTervan finestra;
  finestra.Form_Load();
  auto* griglia = finestra.findChild<QTableWidget*>("grdAggior");
  auto* check = finestra.findChild<QCheckBox*>("Check1");
  ASSERT_EQ(finestra.focusWidget(), griglia);
  // Space where the focus is does not untick the autostart box.
  Tasto(finestra.focusWidget(), Qt::Key_Space);
  EXPECT_TRUE(check->isChecked());

  // F4 pressed with the focus on the box: the focus ends on the first package.
  check->setFocus();
  Tasto(check, Qt::Key_F4);
  ASSERT_EQ(finestra.Elenco().Righe(), 4);
  EXPECT_EQ(finestra.focusWidget(), griglia);
  EXPECT_EQ(griglia->currentRow(), 0);
  Tasto(griglia, Qt::Key_Return);
  EXPECT_EQ(finestra.Elenco().Testo(1, ElencoAggiornamenti::kEsegui), "");
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
}

TEST_F(FinestraScaricamento, LiveModeSearchesAtOnceAndAfterADownloadOpensTheHistoryAndEnds) {
  InstallaTarvik();
  orvane::test::ScriviFile(programma_ / "Live.txt", "");
  orvane::test::MessaggiRegistrati messaggi;
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
  EXPECT_FALSE(finestra.Stato().Archivio);  // the close was granted
}

TEST_F(FinestraScaricamento, WithoutAnInstalledProgramTheLoadEndsSilentlyOrInLiveModeSaysSo) {
  orvane::test::MessaggiRegistrati messaggi;
  {
    frmTervan finestra;
    finestra.Form_Load();
    EXPECT_TRUE(finestra.CaricamentoTerminato());
    EXPECT_FALSE(finestra.isVisible());
  }
  EXPECT_THAT(messaggi.Messaggi(), IsEmpty());
  platform::SostituisciRigaDiComando("LIVE");
  frmTervan finestra;
  finestra.Form_Load();
  EXPECT_TRUE(finestra.CaricamentoTerminato());
  EXPECT_THAT(messaggi.Messaggi(),
              ElementsAre(FieldsAre("Nessun software Orvane è installato su questo computer.",
                                    platform::vbExclamation, "Avviso")));
}

TEST_F(FinestraScaricamento, TheAutostartBoxAndTheIntervalListWriteTheirSettings) {
  InstallaTarvik();
  const std::string comando =
      platform::RigaWindows({platform::PercorsoEseguibile().string(), "VERIFICA"});
  {
    frmTervan finestra;
    finestra.Form_Load();
    auto* check = finestra.findChild<QCheckBox*>("Check1");
    auto* combo = finestra.findChild<QComboBox*>("Combo1");
    EXPECT_TRUE(check->isChecked());
    EXPECT_EQ(Avvio(), comando);
    EXPECT_EQ(combo->currentText(), QStringLiteral("30 minuti"));  // the discovery's interval
    check->click();
    EXPECT_EQ(Avvio(), std::nullopt);
    for (const auto& [voce, testo] : std::vector<std::pair<int, std::string>>{
             {0, "00:00:15"}, {2, "00:01:00"}, {1, "00:00:30"}}) {
      combo->setCurrentIndex(voce);
      emit combo->activated(voce);
      EXPECT_THAT(Frequenze(programma_), ElementsAre(testo)) << voce;
    }
  }
  // The next start ticks the box again and writes the entry again.
  frmTervan finestra;
  finestra.Form_Load();
  EXPECT_EQ(Avvio(), comando);
}

TEST_F(FinestraScaricamento, CloseRequestsFollowTheFourRules) {
  InstallaTarvik();
  struct Caso {
    bool escAbilitato;
    std::string riga;
    bool consentita;
    bool concessa;
    bool consentitaDopo;
  };
  const std::vector<Caso> casi{
      {false, "", true, false, true},       {true, "VERIFICA", false, false, false},
      {true, "VERIFICA", true, true, true}, {true, "", true, true, true},
      {true, "", false, false, true},
  };
  for (const Caso& c : casi) {
    platform::SostituisciRigaDiComando(c.riga);
    frmTervan finestra;
    finestra.Form_Load();
    finestra.findChild<QPushButton*>("Command_Esc")->setEnabled(c.escAbilitato);
    finestra.Stato().ChiusuraConsentita = c.consentita;
    bool annulla = false;
    finestra.Form_QueryUnload(annulla);
    EXPECT_EQ(!annulla, c.concessa) << c.riga << c.escAbilitato << c.consentita;
    EXPECT_EQ(finestra.Stato().ChiusuraConsentita, c.consentitaDopo)
        << c.riga << c.escAbilitato << c.consentita;
    EXPECT_EQ(static_cast<bool>(finestra.Stato().Archivio), !c.concessa)
        << c.riga << c.escAbilitato << c.consentita;
  }
}

}  // namespace
}  // namespace tervan
