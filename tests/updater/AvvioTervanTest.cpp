// Tervan as a real process: its options, a second start, the components it
// registers and components that fail as real ones may.
#include <gmock/gmock.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <QLocalSocket>
#include <QTest>
#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "BancoFinestra.h"
#include "common/CreaOggetto.h"
#include "common/FabbricaClassi.h"
#include "platform/BloccoIstanza.h"
#include "platform/Cartelle.h"
#include "platform/Descrittore.h"
#include "platform/Messaggi.h"
#include "platform/Percorsi.h"
#include "platform/RigaDiComando.h"
#include "platform/TestoUtf8.h"
#include "quomaro/Registrazione.h"
#include "quomaro/clsCA.h"
#include "quomaro/clsDownload.h"
#include "quomaro/clsSOAP.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "tests/support/ServizioFiglio.h"
#include "tests/support/TervanFiglio.h"
#include "updater/CanaleIstanza.h"
#include "updater/basRegSvr.h"
#include "updater/basTervan.h"
#include "updater/frmTervan.h"

namespace tervan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvane::test::CartellaTemporanea;
using orvane::test::MacchinaFinta;
using orvane::test::Precarica;
using orvane::test::ScriviFile;
using ::testing::AllOf;
using ::testing::HasSubstr;

constexpr auto kAttesaMassima = 60s;

TEST(AvvioTervan, OwnOptionsAnswerWithoutAWindowARegistrationOrALogOnEntry) {
  MacchinaFinta macchina;
  orvane::test::TervanFiglio tervan(macchina.Percorso() / "programma");
  const auto settings = macchina.Configurazione() / "orvane/tervan.conf";
  ScriviFile(settings, "server = http://dal-file:8081\n");
  // Runs Tervan to its end: its exit code.
  const auto esegui = [&](const std::vector<std::string>& argomenti,
                          const std::map<std::string, std::string>& ambiente = {}) {
    return tervan.Avvia(argomenti, ambiente)->Attendi(kAttesaMassima);
  };
  const auto log = [&] { return orvane::test::LeggiFile(tervan.Cartella() / "Tarvik.Log"); };
  EXPECT_EQ(esegui({"--help"}), 0);
  EXPECT_THAT(tervan.Uscita(1), HasSubstr("Uso: Tervan [VERIFICA | LIVE | DEBUG]"));
  EXPECT_EQ(esegui({"--configurazione"}, {{"ORVANE_WEB_SITE", "http://sito:9"}}), 0);
  EXPECT_THAT(tervan.Uscita(2),
              HasSubstr("server = http://dal-file:8081  (" + settings.string() + ", riga 1)\n"));
  EXPECT_THAT(tervan.Uscita(2), HasSubstr("sito = http://sito:9  (variabile ORVANE_WEB_SITE)\n"));
  EXPECT_THAT(tervan.Uscita(2), HasSubstr("\nprefisso Wine = "));
  EXPECT_FALSE(fs::exists(macchina.Autostart()));
  EXPECT_FALSE(fs::exists(macchina.FileRadice("HKEY_CLASSES_ROOT")));

  // A broken settings file is named with its line, by the option and by a
  // start (under DEBUG: logged, no message box), which then ends instead of
  // using another server.
  ScriviFile(settings, "server = http://dal-file:8081\nserver http://altro\n");
  EXPECT_EQ(esegui({"--configurazione"}), 1);
  const std::string errore = settings.string() + ", riga 2: attesa una riga chiave = valore";
  EXPECT_THAT(tervan.Errori(3), HasSubstr(errore));
  EXPECT_EQ(esegui({"DEBUG"}), 1);
  EXPECT_THAT(log(), HasSubstr("Impostazioni non valide: " + errore));
  EXPECT_FALSE(fs::exists(macchina.Autostart()));

  // No screen to reach at a start: said, not aborted on.
  EXPECT_EQ(esegui({"VERIFICA"}, {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ""}}), 1);
  EXPECT_THAT(tervan.Errori(5), HasSubstr("nessuno schermo raggiungibile"));

  // A Wine prefix named but unusable is said by the option and logged by a
  // start; a relative folder variable then ends the start.
  fs::remove(settings);
  EXPECT_EQ(esegui({"--configurazione"}, {{"ORVANE_WINEPREFIX", "relativo"}}), 0);
  const std::string prefisso =
      "variabile ORVANE_WINEPREFIX: prefisso Wine \"relativo\" non utilizzabile: non è un "
      "percorso assoluto";
  EXPECT_THAT(tervan.Uscita(6), HasSubstr("\nprefisso Wine = nessuno  (" + prefisso + ")\n"));
  EXPECT_EQ(esegui({"DEBUG"}, {{"ORVANE_WINEPREFIX", "relativo"}, {"ORVANE_DRIVE_C", "relativo"}}),
            1);
  EXPECT_THAT(log(),
              AllOf(HasSubstr(prefisso),
                    HasSubstr("variabile ORVANE_DRIVE_C: cartella non valida: \"relativo\"")));

  // Every library a program of the folder loads is looked for in absolute
  // folders only: a relative one is the folder the program started in.
  const std::regex relativo(R"(trying file=[^/])");
  for (const char* programma :
       {"Tervan", "quomaro", "orvane-reg", "orvane-service", "brisko-designer"}) {
    const auto esito =
        orvane::test::Esegui(fs::path(ORVANE_PROGRAM_DIR) / programma, {"--version"},
                             {{"QT_QPA_PLATFORM", "offscreen"}, {"LD_DEBUG", "libs"}});
    EXPECT_EQ(esito.codice, 0) << programma << esito.err;
    EXPECT_EQ(esito.out, std::string(programma) + " " ORVANE_VERSIONE "\n");
    EXPECT_FALSE(std::regex_search(esito.err, relativo)) << programma << esito.err;
  }

  // Under a locale whose character set is not UTF-8 (a machine still set up
  // in Latin-1), a system reason in a record, such as a settings file that
  // is a folder, reaches the log in the session's language and in UTF-8 as
  // the rest of the record.
  const fs::path locali = macchina.Percorso() / "locali";
  fs::create_directory(locali);
  if (!fs::exists("/usr/share/locale/it/LC_MESSAGES/libc.mo") ||
      !orvane::test::NelPath("localedef") ||
      orvane::test::Esegui(
          "localedef", {"-i", "it_IT", "-f", "ISO-8859-1", (locali / "it_IT.ISO-8859-1").string()})
              .codice != 0)
    GTEST_SKIP() << "no Italian system messages (libc-l10n) or no it_IT.ISO-8859-1 locale";
  fs::create_directories(settings);
  EXPECT_EQ(esegui({"DEBUG"}, {{"LOCPATH", locali.string()}, {"LC_ALL", "it_IT.ISO-8859-1"}}), 1);
  EXPECT_THAT(log(), HasSubstr("Impostazioni non valide: " + settings.string() +
                               ": impossibile leggere il file: È una directory"));
  EXPECT_TRUE(platform::Utf8Valido(log())) << log();
}

std::optional<std::string> Leggi(const std::string& chiave, std::string_view nome = "") {
  return orvane::test::LeggiTesto(platform::HKEY_CLASSES_ROOT, chiave, nome);
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

TEST_F(CanaleIstanzaTest,
       APlainSecondStartRegistersAndShowsTheWindowWhileVerificaAndStrangersDoNot) {
  const QString nome = CanaleIstanza::Nome(tervan_.Cartella());
  platform::SostituisciRigaDiComando("VERIFICA");
  frmTervan finestra;
  // A start that asks while a box of the load is open (here a discovery
  // that fails at its last program) leaves the window as the load then
  // decides: hidden, checking.
  const fs::path selvor = platform::PercorsoLocale(R"(C:\ORVANE\SELVOR)");
  fs::rename(selvor, selvor.string() + ".vero");
  fs::create_directory_symlink(selvor, selvor);
  int box = 0;
  platform::ImpostaPortaMessaggi([&](const platform::Messaggio&) {
    ++box;
    EXPECT_FALSE(finestra.MostraDaAltroAvvio());
    return platform::vbOK;
  });
  finestra.Form_Load();
  platform::ImpostaPortaMessaggi({});
  fs::remove(selvor);
  fs::rename(selvor.string() + ".vero", selvor);
  EXPECT_EQ(box, 1);
  ScriviFile(nome.toStdString(), "");  // what a killed Tervan left is replaced
  const CanaleIstanza canale(tervan_.Cartella(), [&] { return finestra.MostraDaAltroAvvio(); });
  ASSERT_TRUE(canale.Attivo());
  ASSERT_FALSE(finestra.isVisible());
  ASSERT_TRUE(finestra.tmrRicerca().isActive());

  // Another start at log-on asks nothing.
  EXPECT_EQ(SecondoAvvio({"VERIFICA"}), 0);
  EXPECT_FALSE(finestra.isVisible());

  // Peers that are not Tervan: silent, foreign, endless. None shows the
  // window or blocks the next.
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

  // A plain one shows it, having registered the components from its own folder.
  fs::remove(macchina_.FileRadice("HKEY_CLASSES_ROOT"));
  EXPECT_EQ(SecondoAvvio({}), 0);
  EXPECT_EQ(tervan_.Uscita(2), "");
  const std::string cartella = fs::canonical(tervan_.Cartella()).string();
  EXPECT_EQ(Leggi(R"(CLSID\{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}\InprocServer32)"),
            cartella + "/Quomaro.so");
  EXPECT_EQ(Leggi(R"(CLSID\{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}\InprocServer32)"),
            cartella + "/brisko.so");
  EXPECT_TRUE(finestra.isVisible());  // as the tray icon brings it back
  // The silent peer is dropped after its time.
  for (int i = 0; i < 200 && muto.state() != QLocalSocket::UnconnectedState; ++i)
    QTest::qWait(20);
  EXPECT_EQ(muto.state(), QLocalSocket::UnconnectedState);
}

TEST_F(CanaleIstanzaTest, ASecondStartDuringADownloadEndsSilentlyAndTheRunCompletes) {
  frmTervan finestra;
  finestra.Form_Load();
  finestra.Command_F4_Click();
  ASSERT_EQ(finestra.Elenco().Righe(), 6);  // TARVIK 7 and 42, SELVOR none new, PANELAA 99
  finestra.Command_Nas_Click();             // hidden, checking: every package is taken
  finestra.tmrRicerca().stop();
  ASSERT_EQ(finestra.Stato().stato, StatoVassoio::Nascosto);
  const CanaleIstanza canale(tervan_.Cartella(), [&] { return finestra.MostraDaAltroAvvio(); });

  // The second start runs while the first package arrives.
  bool avviato = false;
  std::optional<int> secondo;
  const auto pompa = [&] {
    if (!avviato && finestra.Scaricamento().InCorso()) {
      avviato = true;
      secondo = SecondoAvvio({});
    }
    QCoreApplication::processEvents();
  };
  test::ConPompa(
      pompa, [&] { finestra.Ciclo().ConnessioneAggiornamenti("", ModoConnessione::Scaricamento); });

  EXPECT_EQ(secondo, 0);
  EXPECT_FALSE(finestra.isVisible());
  EXPECT_EQ(finestra.Stato().stato, StatoVassoio::Nascosto);
  // A package is recorded only once placed whole.
  EXPECT_THAT(servizio_.CodiciRegistrati(), ::testing::UnorderedElementsAre("7", "42", "99"));
}

std::string NelProgramma(const char* nome) {
  return (fs::path(ORVANE_PROGRAM_DIR) / nome).string();
}

// A class as a library must register it: program identifier, identity,
// default interface and its identity.
struct Classe {
  std::string progId, clsid, iid, interfaccia;
};

void ControllaClasse(const Classe& c, const std::string& file, const std::string& libreria) {
  const std::string chiave = "CLSID\\" + c.clsid;
  if (!c.progId.empty()) {
    EXPECT_EQ(Leggi(c.progId + "\\CLSID"), c.clsid);
  }
  EXPECT_EQ(Leggi(chiave), c.progId.empty() ? "Tabs" : c.progId);
  EXPECT_EQ(Leggi(chiave + "\\InprocServer32"), file);
  EXPECT_EQ(Leggi(chiave + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Leggi(chiave + "\\TypeLib"), libreria);
  EXPECT_EQ(Leggi("Interface\\" + c.iid), c.interfaccia);
  EXPECT_EQ(Leggi("Interface\\" + c.iid + "\\TypeLib"), libreria);
}

// Both libraries registered: each class with the keys a Windows program looks
// for, objects made by name through them, nothing left once unregistered.
TEST(RegistrazioneComponenti, QuomaroAndBriskoRegisterMakeObjectsByNameAndUnregisterWithoutTrace) {
  MacchinaFinta macchina;
  const std::string prima = orvane::test::EsportaReg(platform::HKEY_CLASSES_ROOT);
  struct Libreria {
    const char *windows, *so, *tipi;
    std::vector<Classe> classi;
    std::vector<std::pair<std::string, std::string>> altre;  // further keys and their values
  };
  const std::string quomaro = "{23127B7B-8F16-4018-9700-8BFA4C2A5448}";
  const std::string brisko = "{1659F14B-03E6-4545-9494-128C88EFBEF6}";
  const std::vector<Libreria> librerie{
      {"Quomaro.dll",
       "Quomaro.so",
       quomaro.c_str(),
       {{"Quomaro.clsCA", "{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}",
         "{9A62869B-509A-4143-BAEC-3ACF42A10305}", "_clsCA"},
        {"Quomaro.clsSOAP", "{B2FD9FE5-969C-481D-BC2B-E66077729525}",
         "{A401A6B8-E524-4EB1-A1AA-447214B1D7E5}", "_clsSOAP"},
        {"Quomaro.clsDownload", "{5526E976-64D9-442E-8529-73DA73842748}",
         "{239508CB-E41E-4AF1-9248-98712BE9C876}", "_clsDownload"}},
       {{"Interface\\{C810A26C-CB5C-403D-8315-FE398DA78FA4}", "__clsDownload"},
        {"TypeLib\\" + quomaro + "\\2.0", "Quomaro"}}},
      {"brisko.ocx",
       "brisko.so",
       brisko.c_str(),
       {{"Brisko.xpVantelTab", "{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}",
         "{44F65BAF-3762-4A7F-8C03-DBA233935F9D}", "_xpVantelTab"},
        {"", "{DC8137BC-F82D-4488-A952-5CAD7E2574EE}", "{B7BB340F-D8E1-4C73-9222-E26927F066E7}",
         "_Tabs"}},
       {{"CLSID\\{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}\\MiscStatus\\1", "131473"},
        {"Interface\\{3C318479-C788-4040-83C0-8BA8DD1C37D9}", "__xpVantelTab"},
        {"TypeLib\\" + brisko + "\\1.0", "Brisko"}}}};
  for (const Libreria& l : librerie) {
    ASSERT_TRUE(RegServer(NelProgramma(l.windows), true));
    const std::string file = fs::canonical(NelProgramma(l.so)).string();
    for (const Classe& c : l.classi)
      ControllaClasse(c, file, l.tipi);
    for (const auto& [chiave, valore] : l.altre)
      EXPECT_EQ(Leggi(chiave), valore);
  }

  auto download = orvane::CreateObject<quomaro::clsDownload>("Quomaro.clsDownload");
  ASSERT_NE(download, nullptr);
  auto ca = orvane::CreateObject<quomaro::clsCA>("{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}");
  ASSERT_NE(ca, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), orvane::S_FALSE);
  download.reset();
  ca.reset();
  EXPECT_EQ(DllCanUnloadNow(), orvane::S_OK);
  try {
    (void)orvane::CreateObject<quomaro::clsSOAP>("Quomaro.clsDownload");
    ADD_FAILURE() << "a clsDownload taken for a clsSOAP";
  } catch (const orvane::Errore& e) {
    EXPECT_EQ(e.Numero(), 13);
  }
  // Made on the GUI thread: a widget of the control's type.
  {
    const orvane::OggettoCreato controllo = orvane::CreaOggetto("Brisko.xpVantelTab");
    EXPECT_NE(controllo.oggetto, nullptr);
    EXPECT_NE(controllo.tipo.find("xpVantelTab"), std::string::npos);
  }

  for (const Libreria& l : librerie)
    ASSERT_TRUE(RegServer(NelProgramma(l.windows), false));
  EXPECT_EQ(orvane::test::EsportaReg(platform::HKEY_CLASSES_ROOT), prima);
}

TEST(RegServer, AnErrorCodeCountsAsRegisteredAThrowATimeoutOrNoLibraryAsAFailure) {
  EXPECT_TRUE(RegServer(COMPONENTE_ERRORE, true));
  EXPECT_TRUE(RegServer(COMPONENTE_ERRORE, false));
  EXPECT_FALSE(RegServer(COMPONENTE_CHE_LANCIA, true));
  // A Windows component name finds the library in any case.
  CartellaTemporanea cartella;
  fs::copy_file(COMPONENTE_ERRORE, cartella / "Brisko.so");
  EXPECT_TRUE(RegServer((cartella / "brisko.ocx").string(), true));
  EXPECT_TRUE(RegServer((cartella / "BRISKO.DLL").string(), true));

  // What is no registrable library fails at once.
  ScriviFile(cartella / "testo.so", "solo testo, non una libreria");
  ScriviFile(cartella / "vuoto.so", "");
  fs::create_directory(cartella / "cartella.so");
  auto inizio = std::chrono::steady_clock::now();
  for (const fs::path& file : {cartella / "manca.dll", cartella / "testo.so", cartella / "vuoto.so",
                               cartella / "cartella.so", fs::path(SENZA_INGRESSO)})
    EXPECT_FALSE(RegServer(file.string(), true)) << file;
  EXPECT_LT(std::chrono::steady_clock::now() - inizio, 1000ms);

  // A slow entry point fails when the limit strikes, without blocking the
  // caller; the abandoned registration finishes later in a library that
  // stayed loaded.
  inizio = std::chrono::steady_clock::now();
  EXPECT_FALSE(RegServer(COMPONENTE_LENTO, true, 300ms));
  const auto durata = std::chrono::steady_clock::now() - inizio;
  EXPECT_GE(durata, 300ms);
  EXPECT_LT(durata, 2500ms);
}

TEST(ModalitaLive, MarkerFileOrExactlyLiveOnTheCommandLine) {
  CartellaTemporanea programma;
  platform::ImpostaCartellaProgramma(programma.Percorso());
  for (const auto& [riga, live] : std::initializer_list<std::pair<const char*, bool>>{
           {"LIVE", true}, {" LIVE", false}, {"live", false}, {"LIVE ", false}, {"", false}}) {
    platform::SostituisciRigaDiComando(riga);
    EXPECT_EQ(ModalitaLive(), live) << "'" << riga << "'";
  }
  platform::SostituisciRigaDiComando("VERIFICA");
  // The marker is found as Windows finds a file: in any case.
  for (const char* nome : {"Live.txt", "LIVE.TXT", "live.txt"}) {
    ScriviFile(programma / nome, "");
    EXPECT_TRUE(ModalitaLive()) << nome;
    fs::remove(programma / nome);
    EXPECT_FALSE(ModalitaLive()) << nome;
  }
  fs::create_directory(programma / "LIVE.txt");
  EXPECT_FALSE(ModalitaLive());
  platform::SostituisciRigaDiComando(std::nullopt);
  platform::ImpostaCartellaProgramma(std::nullopt);
}

// A log-on run where the machine or the session gets in the way. The machine
// stops the run: libcurl or libzip cannot be loaded (a file that is no
// library stands first on the library path), or the package outgrows the
// file size limit (ulimit -f); the run logs the failure, places and records
// nothing, and Tervan keeps running. The session need not: the user is at
// the limit of their processes (ulimit -u), so no thread can start; or the
// session bus takes connections and never answers (a hung bus daemon), from
// the start or from after it; the run places and records the packages.
// SIGTERM ends it. Where Tervan's look at the bus is fooled, the bus holds
// it all the same, as a wait nobody foresaw would: SIGTERM still ends it, by
// SIGALRM.
TEST(AmbienteGuasto, TheRunAtLogOnStopsOnlyForTheMachinesFaultsAndSigtermEndsIt) {
  const orvane::test::CartellaTemporanea cartella;
  // A socket that takes connections and never accepts, nor answers, them.
  const auto presa = [&](const std::string& nome) {
    platform::Descrittore muto(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un indirizzo{};
    indirizzo.sun_family = AF_UNIX;
    (cartella / nome).string().copy(indirizzo.sun_path, sizeof indirizzo.sun_path - 1);
    EXPECT_EQ(::bind(muto.Fd(), reinterpret_cast<const sockaddr*>(&indirizzo), sizeof indirizzo),
              0);
    EXPECT_EQ(::listen(muto.Fd(), 8), 0);
    return muto;
  };
  // Its address as D-Bus reads one: bytes other than [A-Za-z0-9/_.-]
  // escaped, for a temporary folder whose path holds a blank.
  const auto indirizzo = [&](const std::string& nome) {
    std::string a = "unix:path=";
    for (const char c : (cartella / nome).string()) {
      if (std::isalnum(static_cast<unsigned char>(c)) != 0 ||
          std::string_view("/-_.").find(c) != std::string_view::npos) {
        a += c;
      } else {
        std::array<char, 4> esc{};
        (void)std::snprintf(esc.data(), esc.size(), "%%%02X", static_cast<unsigned char>(c));
        a += esc.data();
      }
    }
    return a;
  };
  const platform::Descrittore muto = presa("bus");
  const std::string bus = indirizzo("bus");
  // One whose first connection, the start's look, ends at once: a bus that
  // answered then, and hung later.
  const platform::Descrittore poiMuto = presa("bus-poi-muto");
  const std::jthread primaRisposta([&](const std::stop_token& fine) {
    pollfd attesa{poiMuto.Fd(), POLLIN, 0};
    while (!fine.stop_requested()) {
      if (::poll(&attesa, 1, 100) != 1) continue;
      ::close(::accept(poiMuto.Fd(), nullptr, nullptr));
      return;
    }
  });
  const std::string busPoiMuto = indirizzo("bus-poi-muto");
  // A library path whose first library, named as Tervan loads it, is none.
  const auto guasta = [&](const std::string& libreria) {
    ScriviFile(cartella / libreria / libreria, "non è una libreria");
    return std::map<std::string, std::string>{{"LD_LIBRARY_PATH", (cartella / libreria).string()}};
  };
  std::map<std::string, std::string> senzaThread;
  std::map<std::string, std::string> sondaCieca{{"DBUS_SESSION_BUS_ADDRESS", bus}};
  Precarica(senzaThread, SENZA_THREAD);
  Precarica(sondaCieca, SONDA_CIECA);
  const std::string grande = R"({
    "clienti": [ { "userid": "ROSSI", "abilitato": "S" } ],
    "pacchetti": [ { "codice": 42, "dataxx": "2008-03-05", "progra": "TARVIK", "TipoXx": "TARVIK",
      "Filexx": "Archivi", "contenuto": { "dati.bin": { "casuali": 300000 } },
      "clienti": ["ROSSI"] } ] })";
  const std::string fatto = "Download aggiornamento eseguito";
  struct Caso {
    std::map<std::string, std::string> ambiente;
    // A stopped run's failure, in the log; else the run's balloon, on
    // standard error before it goes to the bus.
    std::string atteso;
    bool posati;
    int esito;  // the exit code, or minus the signal that ended it
    rlim_t limiteFile = RLIM_INFINITY;
    std::string catalogo = orvane::test::kCatalogoProva;
  };
  const std::vector<Caso> casi{
      {guasta(ORVANE_LIBCURL), std::string("Impossibile caricare ") + ORVANE_LIBCURL + ": ", false,
       0},
      {guasta(ORVANE_LIBZIP), std::string("Impossibile caricare ") + ORVANE_LIBZIP + ": ", false,
       0},
      {{}, "CopiaAggiornamentiInServer", false, 0, 100000, grande},
      {senzaThread, fatto, true, 0},
      {{{"DBUS_SESSION_BUS_ADDRESS", bus}}, fatto, true, 0},
      {{{"DBUS_SESSION_BUS_ADDRESS", busPoiMuto}}, fatto, true, 0},
      {sondaCieca, fatto, true, -SIGALRM}};
  for (const Caso& caso : casi) {
    std::string traccia = caso.atteso;
    for (const auto& [variabile, valore] : caso.ambiente)
      traccia += " " + variabile + "=" + valore;
    SCOPED_TRACE(traccia);
    MacchinaFinta macchina;
    orvane::test::ServizioFiglio servizio(caso.catalogo);
    macchina.Imposta("ORVANE_UPDATE_SERVER", servizio.Server());
    macchina.Imposta("ORVANE_WEB_SITE", "http://127.0.0.1:9");
    const orvane::test::CartelleDati dati = orvane::test::InstallaProgrammi("ROSSI");
    orvane::test::TervanFiglio tervan(macchina.Percorso() / "programma");

    // The limit is inherited by the child alone.
    rlimit prima{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &prima), 0);
    rlimit limite = prima;
    limite.rlim_cur = std::min(caso.limiteFile, prima.rlim_max);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limite), 0);
    auto variabili = caso.ambiente;
    variabili["TERVAN_INTERVALLO_RICERCA_MS"] = "200";
    auto avvio = tervan.Avvia({"VERIFICA"}, variabili);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &prima), 0);
    const fs::path log = tervan.Cartella() / "Tarvik.Log";
    const auto detto = [&] {
      if (caso.posati) return tervan.Errori(1);
      return fs::exists(log) ? orvane::test::LeggiFile(log) : std::string();
    };
    for (auto fine = std::chrono::steady_clock::now() + kAttesaMassima;
         detto().find(caso.atteso) == std::string::npos && avvio->InEsecuzione() &&
         std::chrono::steady_clock::now() < fine;)
      std::this_thread::sleep_for(50ms);
    EXPECT_THAT(detto(), HasSubstr(caso.atteso)) << tervan.Errori(1);
    ASSERT_EQ(::kill(avvio->Pid(), SIGTERM), 0);
    EXPECT_EQ(avvio->Attendi(kAttesaMassima), caso.esito) << tervan.Errori(1);
    EXPECT_EQ(servizio.Registrati().empty(), !caso.posati);
    std::size_t posati = 0;
    for (const fs::path& programma : {dati.tarvik, dati.morlen, dati.selvor})
      posati += orvane::test::NomiInCartella(programma / "Aggiornamenti").size();
    EXPECT_EQ(posati == 0, !caso.posati);
  }
}

}  // namespace
}  // namespace tervan
