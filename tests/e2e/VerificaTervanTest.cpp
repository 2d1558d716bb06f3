// Tervan started at log-on ("VERIFICA") as a real process on an X server of
// its own without a notification area, against the reference service, on a
// fake machine with the maker's three programs installed; the desktop's
// notification service is a stand-in on a private session bus.
#include <gmock/gmock.h>
#include <signal.h>

#include <QTest>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/BusNotifiche.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Minisign.h"
#include "tests/support/SchermoX.h"
#include "tests/support/ServerX.h"
#include "tests/support/ServizioFiglio.h"
#include "tests/support/TervanFiglio.h"

namespace orvane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

constexpr const char* kTitoloFinestra = "Aggiornamenti automatici - Orvane Software";

// The user's sockets in the runtime folder.
std::vector<std::string> Socket(const fs::path& cartella) {
  std::vector<std::string> nomi;
  for (const std::string& n : NomiInCartella(cartella))
    if (fs::is_socket(cartella / n)) nomi.push_back(n);
  return nomi;
}

// How many programs of Tervan's store wait for a check (no `ultima`), read
// while it runs; with `azzera`, every program is first set to wait.
int InAttesa(const fs::path& archivio, bool azzera) {
  if (azzera) (void)RigheSql(archivio, "UPDATE AGGIOR SET ultima = ''");
  const auto n = RigheSql(archivio, "SELECT count(*) FROM AGGIOR WHERE ifnull(ultima, '') = ''");
  return n.empty() ? -1 : std::stoi(n[0]);
}

TEST(VerificaTervan, DownloadsEveryPackageOnceUnseenAnnouncesItEndsOnSigtermAndStartsAgain) {
  ServerX x("640x480x24");
  if (!x.Avviato()) GTEST_SKIP() << "Xvfb non disponibile";
  MacchinaFinta macchina;
  ServizioFiglio servizio;
  BusNotifiche bus;
  TervanFiglio tervan(macchina.Percorso() / "programma");
  const CartelleDati dati = InstallaProgrammi("ROSSI");
  const auto avvia = [&](const std::vector<std::string>& argomenti,
                         const std::string& intervallo = "") {
    std::map<std::string, std::string> ambiente{{"QT_QPA_PLATFORM", "xcb"},
                                                {"DISPLAY", x.Display()},
                                                {"DBUS_SESSION_BUS_ADDRESS", bus.Indirizzo()},
                                                {"ORVANE_UPDATE_SERVER", servizio.Server()},
                                                {"ORVANE_WEB_SITE", "http://127.0.0.1:9"}};
    if (!intervallo.empty()) ambiente["TERVAN_INTERVALLO_RICERCA_MS"] = intervallo;
    return tervan.Avvia(argomenti, ambiente);
  };
  // Keeps the stand-in services answering until `fatto`, for a minute at most.
  const auto attendi = [](const std::function<bool()>& fatto) {
    for (auto fine = std::chrono::steady_clock::now() + 60s;
         std::chrono::steady_clock::now() < fine;) {
      if (fatto()) return true;
      QTest::qWait(25);
    }
    return fatto();
  };

  // The maker's key beside the installed program: each package is checked
  // against its signature, prehashed or not, made by the real minisign.
  const ChiaviMinisign maker;
  fs::copy_file(maker.Pubblica(), tervan.Cartella() / "aggiornamenti.pub");
  maker.Firma(servizio.FilePacchetto("Aggiornamento00007.zip"));
  maker.Firma(servizio.FilePacchetto("Aggiornamento00042.zip"), true);
  maker.Firma(servizio.FilePacchetto("Aggiornamento00099.zip"));
  auto processo = avvia({"VERIFICA"}, "200");
  const auto annunciato = [&] {
    return std::ranges::any_of(bus.Ricevute(), [](const auto& n) {
      return n.titolo == "Aggiornamenti Orvane Software - Download aggiornamento eseguito";
    });
  };
  ASSERT_TRUE(attendi([&] { return servizio.Registrati().size() >= 3 && annunciato(); }))
      << tervan.Errori(1);

  // Each package in the folder of the program it belongs to, under its own
  // name; the common package went with the first program that listed it.
  // Records without a session, as no search was made.
  EXPECT_THAT(NomiInCartella(dati.tarvik / "Aggiornamenti"),
              UnorderedElementsAre("ORVANE-2008-01-10-09-00-00-C-7.zip",
                                   "TARVIK-2008-03-05-14-30-00-C-42.zip"));
  EXPECT_THAT(NomiInCartella(dati.morlen / "Aggiornamenti"),
              ElementsAre("MORLEN-2009-01-01-00-00-00-C-99.zip"));
  EXPECT_THAT(NomiInCartella(dati.selvor / "Aggiornamenti"), IsEmpty());
  EXPECT_EQ(LeggiFile(dati.morlen / "Aggiornamenti/MORLEN-2009-01-01-00-00-00-C-99.zip"),
            LeggiFile(servizio.FilePacchetto("Aggiornamento00099.zip")));
  const auto registrati = servizio.Registrati();
  EXPECT_THAT(registrati,
              UnorderedElementsAre("ROSSI|7|Motore comune|", "ROSSI|42|Stampe & <fatture>|",
                                   "ROSSI|99|Schede però nuove|"));

  // Two more checks of every program download, record and announce nothing
  // more: once the second has asked, the run the first would have started
  // is over.
  const auto cartelle = [&] {
    std::map<fs::path, fs::file_time_type> file;
    for (const auto& voce : fs::recursive_directory_iterator(macchina.Dati()))
      if (voce.path().extension() == ".zip") file[voce.path()] = voce.last_write_time();
    return file;
  };
  const auto prima = cartelle();
  const auto avvisi = bus.Ricevute().size();
  const fs::path archivio = tervan.Cartella() / "Tervan.mdb";
  for (int giro = 0; giro < 2; ++giro) {
    ASSERT_GT(InAttesa(archivio, true), 0);
    ASSERT_TRUE(attendi([&] { return InAttesa(archivio, false) == 0; })) << tervan.Errori(1);
  }
  EXPECT_EQ(servizio.Registrati(), registrati);
  EXPECT_EQ(cartelle(), prima);
  EXPECT_EQ(bus.Ricevute().size(), avvisi);
  EXPECT_TRUE(processo->InEsecuzione());

  EXPECT_EQ(processo->Termina(SIGTERM), 0) << tervan.Errori(1);
  EXPECT_THAT(Socket(macchina.Esecuzione() / "orvane"), IsEmpty());
  EXPECT_FALSE(fs::exists(tervan.Cartella() / "Tarvik.Log"));

  // The lock went with it: the next start takes it (nothing is due within
  // the test: its first check is a minute away). Killed, it leaves its
  // socket; a plain start after the one that follows still brings up the
  // window.
  auto ucciso = avvia({"VERIFICA"});
  ASSERT_TRUE(tervan.AttendiBlocco(*ucciso));
  ASSERT_TRUE(attendi([&] { return !Socket(macchina.Esecuzione() / "orvane").empty(); }));
  ucciso->Termina(SIGKILL);
  ASSERT_EQ(Socket(macchina.Esecuzione() / "orvane").size(), 1U);
  auto dopo = avvia({"VERIFICA"});
  ASSERT_TRUE(tervan.AttendiBlocco(*dopo));
  SchermoX schermo(x.Display());
  ASSERT_TRUE(schermo.Connesso());
  EXPECT_FALSE(schermo.Finestra(kTitoloFinestra, 500ms));
  auto secondo = avvia({});
  EXPECT_EQ(secondo->Attendi(60s), 0);
  EXPECT_EQ(tervan.Uscita(4), "");
  EXPECT_TRUE(schermo.Finestra(kTitoloFinestra, 30s)) << tervan.Errori(3);
  EXPECT_TRUE(dopo->InEsecuzione());
}

}  // namespace
}  // namespace orvane::test
