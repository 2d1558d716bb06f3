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

class VerificaTervan : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!x_.Avviato()) GTEST_SKIP() << "Xvfb non disponibile";
    dati_ = InstallaProgrammi("ROSSI");
  }

  std::unique_ptr<Processo> Avvia(const std::vector<std::string>& argomenti,
                                  const std::string& server, const std::string& intervallo = "") {
    std::map<std::string, std::string> ambiente{{"QT_QPA_PLATFORM", "xcb"},
                                                {"DISPLAY", x_.Display()},
                                                {"DBUS_SESSION_BUS_ADDRESS", bus_.Indirizzo()},
                                                {"ORVANE_UPDATE_SERVER", server},
                                                {"ORVANE_WEB_SITE", "http://127.0.0.1:9"}};
    if (!intervallo.empty()) ambiente["TERVAN_INTERVALLO_RICERCA_MS"] = intervallo;
    return tervan_.Avvia(argomenti, ambiente);
  }

  // Keeps the stand-in services answering until `fatto` or `limite`.
  template <typename F>
  bool Attendi(F fatto, std::chrono::milliseconds limite = 60s) {
    for (auto fine = std::chrono::steady_clock::now() + limite;
         std::chrono::steady_clock::now() < fine;) {
      if (fatto()) return true;
      QTest::qWait(25);
    }
    return fatto();
  }

  ServerX x_{"640x480x24"};
  MacchinaFinta macchina_;
  ServizioFiglio servizio_;
  BusNotifiche bus_;
  TervanFiglio tervan_{macchina_.Percorso() / "programma"};
  CartelleDati dati_;
};

TEST_F(VerificaTervan, DownloadsEveryPackageOnceUnseenAnnouncesItEndsOnSigtermAndStartsAgain) {
  // The maker's key beside the installed program: each package is checked
  // against its signature, prehashed or not, made by the real minisign.
  const ChiaviMinisign maker;
  fs::copy_file(maker.Pubblica(), tervan_.Cartella() / "aggiornamenti.pub");
  maker.Firma(servizio_.FilePacchetto("Aggiornamento00007.zip"));
  maker.Firma(servizio_.FilePacchetto("Aggiornamento00042.zip"), true);
  maker.Firma(servizio_.FilePacchetto("Aggiornamento00099.zip"));
  auto tervan = Avvia({"VERIFICA"}, servizio_.Server(), "200");
  const auto annunciato = [&] {
    return std::ranges::any_of(bus_.Ricevute(), [](const auto& n) {
      return n.titolo == "Aggiornamenti Orvane Software - Download aggiornamento eseguito";
    });
  };
  ASSERT_TRUE(Attendi([&] { return servizio_.Registrati().size() >= 3 && annunciato(); }))
      << tervan_.Errori(1);

  // Each package in the folder of the program it belongs to, under its own
  // name; the common package went with the first program that listed it.
  // Records without a session, as no search was made.
  EXPECT_THAT(NomiInCartella(dati_.tarvik / "Aggiornamenti"),
              UnorderedElementsAre("ORVANE-2008-01-10-09-00-00-C-7.zip",
                                   "TARVIK-2008-03-05-14-30-00-C-42.zip"));
  EXPECT_THAT(NomiInCartella(dati_.morlen / "Aggiornamenti"),
              ElementsAre("MORLEN-2009-01-01-00-00-00-C-99.zip"));
  EXPECT_THAT(NomiInCartella(dati_.selvor / "Aggiornamenti"), IsEmpty());
  EXPECT_EQ(LeggiFile(dati_.morlen / "Aggiornamenti/MORLEN-2009-01-01-00-00-00-C-99.zip"),
            LeggiFile(servizio_.FilePacchetto("Aggiornamento00099.zip")));
  const auto registrati = servizio_.Registrati();
  EXPECT_THAT(registrati,
              UnorderedElementsAre("ROSSI|7|Motore comune|", "ROSSI|42|Stampe & <fatture>|",
                                   "ROSSI|99|Schede però nuove|"));

  // Two more checks of every program download, record and announce nothing
  // more: once the second has asked, the run the first would have started
  // is over.
  const auto cartelle = [&] {
    std::map<fs::path, fs::file_time_type> file;
    for (const auto& voce : fs::recursive_directory_iterator(macchina_.Dati()))
      if (voce.path().extension() == ".zip") file[voce.path()] = voce.last_write_time();
    return file;
  };
  const auto prima = cartelle();
  const auto avvisi = bus_.Ricevute().size();
  const fs::path archivio = tervan_.Cartella() / "Tervan.mdb";
  for (int giro = 0; giro < 2; ++giro) {
    ASSERT_GT(InAttesa(archivio, true), 0);
    ASSERT_TRUE(Attendi([&] { return InAttesa(archivio, false) == 0; })) << tervan_.Errori(1);
  }
  EXPECT_EQ(servizio_.Registrati(), registrati);
  EXPECT_EQ(cartelle(), prima);
  EXPECT_EQ(bus_.Ricevute().size(), avvisi);
  EXPECT_TRUE(tervan->InEsecuzione());

  EXPECT_EQ(tervan->Termina(SIGTERM), 0) << tervan_.Errori(1);
  EXPECT_THAT(Socket(macchina_.Esecuzione() / "orvane"), IsEmpty());
  EXPECT_FALSE(fs::exists(tervan_.Cartella() / "Tarvik.Log"));

  // The lock went with it: the next start takes it (nothing is due within
  // the test: its first check is a minute away). Killed, it leaves its
  // socket; a plain start after the one that follows still brings up the
  // window.
  auto ucciso = Avvia({"VERIFICA"}, servizio_.Server());
  ASSERT_TRUE(tervan_.AttendiBlocco(*ucciso));
  ASSERT_TRUE(Attendi([&] { return !Socket(macchina_.Esecuzione() / "orvane").empty(); }));
  ucciso->Termina(SIGKILL);
  ASSERT_EQ(Socket(macchina_.Esecuzione() / "orvane").size(), 1U);
  auto dopo = Avvia({"VERIFICA"}, servizio_.Server());
  ASSERT_TRUE(tervan_.AttendiBlocco(*dopo));
  SchermoX schermo(x_.Display());
  ASSERT_TRUE(schermo.Connesso());
  EXPECT_FALSE(schermo.Finestra(kTitoloFinestra, 500ms));
  auto secondo = Avvia({}, servizio_.Server());
  EXPECT_EQ(secondo->Attendi(60s), 0);
  EXPECT_EQ(tervan_.Uscita(4), "");
  EXPECT_TRUE(schermo.Finestra(kTitoloFinestra, 30s)) << tervan_.Errori(3);
  EXPECT_TRUE(dopo->InEsecuzione());
}

}  // namespace
}  // namespace orvane::test
