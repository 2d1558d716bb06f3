// Tervan started as a real process from a program folder of its own: one
// instance at a time, its own options answered without a window, and what a
// second start asks of the running one.
#include <gmock/gmock.h>

#include <QLocalSocket>
#include <QTest>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/BloccoIstanza.h"
#include "platform/Cartelle.h"
#include "platform/Percorsi.h"
#include "platform/PompaMessaggi.h"
#include "platform/RigaDiComando.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "tests/support/ServerDiProva.h"
#include "tests/support/ServizioFiglio.h"
#include "tests/support/TervanFiglio.h"
#include "updater/CanaleIstanza.h"
#include "updater/basTervan.h"
#include "updater/frmTervan.h"

namespace tervan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvane::test::Processo;

// Generous: the machine may be busy with other builds.
constexpr auto kAttesaMassima = 60s;

class AvvioTervan : public ::testing::Test {
 protected:
  void SetUp() override {
    // The management program is installed, with its customer identifier,
    // so the window has a program to look after and stays.
    fs::create_directories(macchina_.Dati() / "orvane/drive_c/ORVANE/TARVIK");
    orvane::test::ScriviTesto(platform::HKEY_CURRENT_USER,
                              "Software\\VB and VBA Program Settings\\TARVIKX\\Licenza", "codcli",
                              "C00042");
  }

  std::unique_ptr<Processo> Avvia() {
    return tervan_.Avvia({}, {{"ORVANE_UPDATE_SERVER", "http://127.0.0.1:9"},
                              {"ORVANE_WEB_SITE", "http://127.0.0.1:9"}});
  }

  orvane::test::MacchinaFinta macchina_;
  orvane::test::TervanFiglio tervan_{macchina_.Percorso() / "programma"};
};

TEST_F(AvvioTervan, ASecondStartRegistersTheComponentsAndEndsSilentlyWhileTheFirstRuns) {
  auto primo = Avvia();
  ASSERT_TRUE(tervan_.AttendiBlocco(*primo));

  // The second start registers the components again, from its own folder.
  fs::remove(macchina_.FileRadice("HKEY_CLASSES_ROOT"));
  auto secondo = Avvia();
  EXPECT_EQ(secondo->Attendi(kAttesaMassima), 0);
  EXPECT_EQ(tervan_.Uscita(2), "");
  EXPECT_TRUE(primo->InEsecuzione());
  EXPECT_TRUE(tervan_.TieneBlocco(primo->Pid()));

  const std::string cartella = fs::canonical(tervan_.Cartella()).string();
  for (const auto& [clsid, file] :
       {std::pair{"{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}", "Quomaro.so"},
        std::pair{"{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}", "brisko.so"}}) {
    EXPECT_EQ(orvane::test::LeggiTesto(platform::HKEY_CLASSES_ROOT,
                                       std::string("CLSID\\") + clsid + "\\InprocServer32"),
              cartella + "/" + file);
  }
}

TEST_F(AvvioTervan, OwnOptionsAnswerWithoutAWindowARegistrationOrALogOnEntry) {
  const auto settings = macchina_.Configurazione() / "orvane/tervan.conf";
  orvane::test::ScriviFile(settings, "server = http://dal-file:8081\n");
  const auto esegui = [&](const std::string& opzione) {
    auto p = tervan_.Avvia({opzione}, {{"ORVANE_WEB_SITE", "http://sito:9"}});
    return p->Attendi(kAttesaMassima);
  };
  EXPECT_EQ(esegui("--help"), 0);
  EXPECT_THAT(tervan_.Uscita(1), ::testing::HasSubstr("Uso: Tervan [VERIFICA | LIVE | DEBUG]"));
  EXPECT_THAT(tervan_.Uscita(1), ::testing::HasSubstr("ORVANE_UPDATE_SERVER"));
  EXPECT_EQ(esegui("--version"), 0);
  EXPECT_EQ(tervan_.Uscita(2), "Tervan 2.0.44\n");
  EXPECT_EQ(esegui("--configurazione"), 0);
  EXPECT_THAT(tervan_.Uscita(3), ::testing::HasSubstr("server = http://dal-file:8081  (" +
                                                      settings.string() + ", riga 1)\n"));
  EXPECT_THAT(tervan_.Uscita(3),
              ::testing::HasSubstr("sito = http://sito:9  (variabile ORVANE_WEB_SITE)\n"));
  EXPECT_THAT(tervan_.Uscita(3), ::testing::HasSubstr("\nprefisso Wine = "));
  EXPECT_FALSE(fs::exists(macchina_.Autostart()));
  EXPECT_FALSE(fs::exists(macchina_.FileRadice("HKEY_CLASSES_ROOT")));

  // A broken settings file is named with its line, by the option and by a
  // start (under DEBUG: logged, no message box), which then ends instead of
  // using another server.
  orvane::test::ScriviFile(settings, "server = http://dal-file:8081\nserver http://altro\n");
  EXPECT_EQ(esegui("--configurazione"), 1);
  const std::string errore = settings.string() + ", riga 2: attesa una riga chiave = valore";
  EXPECT_THAT(tervan_.Errori(4), ::testing::HasSubstr(errore));
  auto avvio = tervan_.Avvia({"DEBUG"});
  EXPECT_EQ(avvio->Attendi(kAttesaMassima), 1);
  EXPECT_THAT(orvane::test::LeggiFile(tervan_.Cartella() / "Tarvik.Log"),
              ::testing::HasSubstr("File di impostazioni non valido: " + errore));
  EXPECT_FALSE(fs::exists(macchina_.Autostart()));

  // Every program of the folder answers --version.
  for (const char* programma : {"quomaro", "orvane-reg", "orvane-service", "brisko-designer"}) {
    const auto esito = orvane::test::Esegui(fs::path(ORVANE_PROGRAM_DIR) / programma, {"--version"},
                                            {{"QT_QPA_PLATFORM", "offscreen"}});
    EXPECT_EQ(esito.codice, 0) << programma << esito.err;
    EXPECT_EQ(esito.out, std::string(programma) + " 2.0.44\n");
  }
}

// A second start on a desktop without a notification area (the offscreen
// platform has none): a real second process asks the running window, here
// in the test process and holding the program folder's lock, to show itself.
class CanaleIstanzaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    macchina_.Imposta("ORVANE_UPDATE_SERVER", servizio_.Server());
    macchina_.Imposta("ORVANE_WEB_SITE", "http://127.0.0.1:9");
    (void)orvane::test::InstallaProgrammi("ROSSI");
    platform::ImpostaCartellaProgramma(tervan_.Cartella());
    blocco_ = platform::BloccoIstanza::Acquisisci(tervan_.FileBlocco());
    ASSERT_TRUE(blocco_);
  }
  void TearDown() override {
    platform::ImpostaCartellaProgramma(std::nullopt);
    platform::SostituisciRigaDiComando("DEBUG");
  }

  // Starts a second Tervan and keeps the window's events running until it ends.
  std::optional<int> SecondoAvvio(const std::vector<std::string>& argomenti) {
    auto secondo = tervan_.Avvia(argomenti);
    for (auto fine = std::chrono::steady_clock::now() + 60s;
         secondo->InEsecuzione() && std::chrono::steady_clock::now() < fine;)
      QTest::qWait(20);
    return secondo->Attendi(0ms);
  }

  orvane::test::MacchinaFinta macchina_;
  orvane::test::ServizioFiglio servizio_;
  orvane::test::TervanFiglio tervan_{macchina_.Percorso() / "programma"};
  std::optional<platform::BloccoIstanza> blocco_;
};

TEST_F(CanaleIstanzaTest, APlainSecondStartShowsTheHiddenWindowWhileVerificaAndStrangersDoNothing) {
  const QString nome = CanaleIstanza::Nome(tervan_.Cartella());
  platform::SostituisciRigaDiComando("VERIFICA");
  frmTervan finestra;
  finestra.Form_Load();
  const CanaleIstanza canale(tervan_.Cartella(), [&] { return finestra.MostraDaAltroAvvio(); });
  ASSERT_TRUE(canale.Attivo());
  ASSERT_FALSE(finestra.isVisible());
  ASSERT_TRUE(finestra.tmrRicerca().isActive());

  // Another start at log-on asks nothing.
  EXPECT_EQ(SecondoAvvio({"VERIFICA"}), 0);
  EXPECT_FALSE(finestra.isVisible());

  // Peers that are not Tervan: one says nothing, one sends something else,
  // one a request that never ends. None shows the window or blocks the next.
  QLocalSocket muto, estraneo, lungo;
  for (QLocalSocket* s : {&muto, &estraneo, &lungo}) {
    s->connectToServer(nome);
    ASSERT_TRUE(s->waitForConnected(5000));
  }
  estraneo.write("MOSTRAMI\n");
  lungo.write(QByteArray(200, 'M'));
  for (int i = 0; i < 100 && estraneo.state() != QLocalSocket::UnconnectedState; ++i)
    QTest::qWait(20);
  EXPECT_EQ(estraneo.state(), QLocalSocket::UnconnectedState);
  EXPECT_EQ(lungo.state(), QLocalSocket::UnconnectedState);
  EXPECT_TRUE(estraneo.readAll().isEmpty());
  EXPECT_FALSE(finestra.isVisible());

  EXPECT_EQ(SecondoAvvio({}), 0);
  EXPECT_EQ(tervan_.Uscita(2), "");
  EXPECT_TRUE(finestra.isVisible());
  EXPECT_EQ(finestra.Stato().stato, StatoVassoio::Riaperto);
  EXPECT_FALSE(finestra.tmrRicerca().isActive());
  // The silent peer is dropped after its time.
  for (int i = 0; i < 200 && muto.state() != QLocalSocket::UnconnectedState; ++i)
    QTest::qWait(20);
  EXPECT_EQ(muto.state(), QLocalSocket::UnconnectedState);
}

TEST_F(CanaleIstanzaTest, ASecondStartDuringADownloadEndsSilentlyAndTheRunCompletes) {
  // The window's own pump, as the program installs it.
  platform::ImpostaPompaMessaggi([] { QCoreApplication::processEvents(); });
  frmTervan finestra;
  finestra.Form_Load();
  finestra.Command_F4_Click();
  ASSERT_EQ(finestra.Elenco().Righe(), 6);  // TARVIK 7 and 42, SELVOR none new, PANELAA 99
  finestra.Command_Nas_Click();             // hidden, checking: every package is taken
  finestra.tmrRicerca().stop();
  ASSERT_EQ(finestra.Stato().stato, StatoVassoio::Nascosto);
  const CanaleIstanza canale(tervan_.Cartella(), [&] { return finestra.MostraDaAltroAvvio(); });

  // The packages arrive a byte at a time while the second start runs; the
  // last byte of each waits for its end.
  std::unique_ptr<Processo> secondo;
  std::atomic<bool> avviato = false;
  orvane::test::ServerGrezzo lento([&](int s) {
    const std::string richiesta = orvane::test::ServerGrezzo::LeggiRichiesta(s);
    const auto inizio = richiesta.find("Aggiornamento");
    // The download records are taken: a package counts once recorded.
    if (richiesta.starts_with("POST ")) {
      orvane::test::ServerGrezzo::Scrivi(s,
                                         "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n"
                                         "Content-Length: 17\r\n\r\n<return>S</return>");
      return true;
    }
    if (!richiesta.starts_with("GET ") || inizio == std::string::npos) return true;
    const std::string corpo = orvane::test::LeggiFile(
        servizio_.FilePacchetto(richiesta.substr(inizio, richiesta.find(' ', inizio) - inizio)));
    orvane::test::ServerGrezzo::Scrivi(
        s, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(corpo.size()) + "\r\n\r\n");
    std::size_t inviati = 0;
    const auto fine = std::chrono::steady_clock::now() + 30s;
    while (avviato && secondo->InEsecuzione() && std::chrono::steady_clock::now() < fine) {
      if (inviati + 1 < corpo.size())
        orvane::test::ServerGrezzo::Scrivi(s, corpo.substr(inviati++, 1));
      std::this_thread::sleep_for(20ms);
    }
    orvane::test::ServerGrezzo::Scrivi(s, corpo.substr(inviati));
    return true;
  });
  macchina_.Imposta("ORVANE_UPDATE_SERVER", lento.Url(""));
  secondo = tervan_.Avvia();
  avviato = true;
  finestra.Ciclo().ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);

  ASSERT_EQ(secondo->Attendi(0ms), 0);
  EXPECT_FALSE(finestra.isVisible());
  EXPECT_EQ(finestra.Stato().stato, StatoVassoio::Nascosto);
  const fs::path tarvik = platform::PercorsoLocale(R"(C:\ORVANE\TARVIK\DATI\Aggiornamenti)");
  EXPECT_EQ(orvane::test::LeggiFile(tarvik / "TARVIK-2008-03-05-14-30-00-C-42.zip"),
            orvane::test::LeggiFile(servizio_.FilePacchetto("Aggiornamento00042.zip")));
  EXPECT_EQ(orvane::test::LeggiFile(tarvik / "ORVANE-2008-01-10-09-00-00-C-7.zip"),
            orvane::test::LeggiFile(servizio_.FilePacchetto("Aggiornamento00007.zip")));
  platform::ImpostaPompaMessaggi({});
}

}  // namespace
}  // namespace tervan
