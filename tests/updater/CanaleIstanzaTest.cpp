// A second start of Tervan on a desktop without a notification area (the
// offscreen platform has none): a real second process asks the running
// window, here in the test process and holding the program folder's lock,
// to show itself.
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
