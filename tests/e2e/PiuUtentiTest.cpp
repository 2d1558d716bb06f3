// Two real users of one PC run Tervan at log-on at the same time from one
// program folder that root owns and they may only read, against a server
// named only in the site settings file.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "tests/support/ServizioFiglio.h"
#include "tests/support/TervanFiglio.h"

namespace orvane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::HasSubstr;

// One user's session: a real Unix user (made once, with a group of the same
// name, and kept for later runs), their own home with registry, drive and
// XDG folders, and the three programs installed for `cliente`.
class Sessione {
 public:
  Sessione(MacchinaFinta& macchina, const std::string& utente, const std::string& cliente)
      : casa_(macchina.Percorso() / cliente), utente_(utente) {
    if (::getpwnam(utente.c_str()) == nullptr) {
      (void)Esegui("useradd",
                   {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", utente});
    }
    fs::create_directories(casa_ / "run");
    fs::permissions(casa_ / "run", fs::perms::owner_all);
    macchina.Imposta("ORVANE_REGISTRY", (casa_ / "registro").string());
    macchina.Imposta("XDG_DATA_HOME", (casa_ / "dati").string());
    dati_ = InstallaProgrammi(cliente);
    EXPECT_EQ(Esegui("chown", {"-R", utente + ":" + utente, casa_.string()}).codice, 0);
  }

  std::unique_ptr<Processo> Avvia(const fs::path& tervan, const fs::path& impostazioni,
                                  const std::string& argomento = "VERIFICA") const {
    return std::make_unique<Processo>(
        "setpriv",
        std::vector<std::string>{"--reuid=" + utente_, "--regid=" + utente_, "--clear-groups", "--",
                                 tervan.string(), argomento},
        std::map<std::string, std::string>{{"HOME", casa_.string()},
                                           {"XDG_CONFIG_HOME", (casa_ / "config").string()},
                                           {"XDG_CONFIG_DIRS", impostazioni.string()},
                                           {"XDG_STATE_HOME", (casa_ / "stato").string()},
                                           {"XDG_DATA_HOME", (casa_ / "dati").string()},
                                           {"XDG_RUNTIME_DIR", (casa_ / "run").string()},
                                           {"ORVANE_REGISTRY", (casa_ / "registro").string()},
                                           {"QT_QPA_PLATFORM", "offscreen"},
                                           {"TERVAN_INTERVALLO_RICERCA_MS", "100"}},
        casa_);
  }

  [[nodiscard]] const CartelleDati& Dati() const { return dati_; }
  [[nodiscard]] std::string Stato(const char* file) const {
    return LeggiFile(casa_ / "stato/orvane/Tervan" / file);
  }
  [[nodiscard]] std::string Errori() const { return LeggiFile(casa_ / "stderr"); }
  [[nodiscard]] const fs::path& Casa() const { return casa_; }

 private:
  fs::path casa_;
  std::string utente_;
  CartelleDati dati_;
};

TEST(PiuUtenti, TwoUsersRunTheirOwnTervanAtOnceFromARootOwnedFolderAndKeepTheirSettingsTheirOwn) {
  if (::geteuid() != 0) GTEST_SKIP() << "real users need root";
  MacchinaFinta macchina;
  macchina.Imposta("ORVANE_UPDATE_SERVER", std::nullopt);
  macchina.Imposta("ORVANE_WEB_SITE", std::nullopt);
  ASSERT_EQ(::chmod(macchina.Percorso().c_str(), 0755), 0);
  const ServizioFiglio servizio;

  // The program folder as a system install leaves it: root's, mode 755.
  const TervanFiglio tervan(macchina.Percorso() / "programma");
  ASSERT_EQ(::chmod(tervan.Cartella().c_str(), 0755), 0);
  const auto installato = NomiInCartella(tervan.Cartella());
  const std::string vuoto = LeggiFile(tervan.Cartella() / "Tervan.mdb");

  // The server is named only in the site settings file.
  const fs::path impostazioni = macchina.Percorso() / "xdg";
  ScriviFile(impostazioni / "orvane/tervan.conf",
             "# sito di prova\nserver = " + servizio.Server() + "\n");

  const Sessione rossi(macchina, "orvane-prova1", "ROSSI");
  const Sessione bianchi(macchina, "orvane-prova2", "BIANCHI");
  // Bianchi's agency program keeps its data in a folder Rossi owns and
  // Bianchi may only read.
  const fs::path condivisa = bianchi.Dati().selvor;
  ASSERT_EQ(Esegui("chown", {"orvane-prova1", condivisa.string()}).codice, 0);
  ASSERT_EQ(::chmod(condivisa.c_str(), 0755), 0);

  auto tervanRossi = rossi.Avvia(tervan.Cartella() / "Tervan", impostazioni);
  auto tervanBianchi = bianchi.Avvia(tervan.Cartella() / "Tervan", impostazioni);

  // Rossi: 42 and the shared 7 for the management program, 99 for Morlen.
  // Bianchi: 7; the agency package 5 is refused by Rossi's folder.
  const auto registrati = [&](const std::string& utente) {
    return std::ranges::count_if(servizio.Registrati(),
                                 [&](const auto& r) { return r.starts_with(utente + "|"); });
  };
  for (int i = 0; i < 1500 && (registrati("ROSSI") < 3 || registrati("BIANCHI") < 1 ||
                               bianchi.Stato("Tarvik.Log").empty());
       ++i) {
    // Both run side by side: neither is taken for the other's second start.
    ASSERT_TRUE(tervanRossi->InEsecuzione()) << rossi.Errori();
    ASSERT_TRUE(tervanBianchi->InEsecuzione()) << bianchi.Errori();
    std::this_thread::sleep_for(40ms);
  }
  EXPECT_EQ(tervanRossi->Termina(SIGTERM), 0);
  EXPECT_EQ(tervanBianchi->Termina(SIGTERM), 0);

  EXPECT_EQ(registrati("ROSSI"), 3);
  EXPECT_EQ(registrati("BIANCHI"), 1);
  EXPECT_EQ(NomiInCartella(rossi.Dati().tarvik / "Aggiornamenti").size(), 2U);
  EXPECT_EQ(NomiInCartella(rossi.Dati().morlen / "Aggiornamenti").size(), 1U);
  EXPECT_EQ(NomiInCartella(bianchi.Dati().tarvik / "Aggiornamenti").size(), 1U);
  EXPECT_FALSE(fs::exists(condivisa / "Aggiornamenti"));
  EXPECT_EQ(RecordNelLog(bianchi.Stato("Tarvik.Log")), 1U);
  EXPECT_THAT(bianchi.Stato("Tarvik.Log"), HasSubstr(" Descrizione     : Autorizzazione negata"));
  EXPECT_EQ(rossi.Stato("Tarvik.Log"), "");

  // Each has a state of their own, and nothing was written in the program
  // folder.
  for (const Sessione* s : {&rossi, &bianchi}) {
    EXPECT_NE(s->Stato("SOAP.xml"), "");
    EXPECT_NE(s->Stato("Tervan.mdb"), vuoto);
  }
  EXPECT_EQ(NomiInCartella(tervan.Cartella()), installato);
  EXPECT_EQ(LeggiFile(tervan.Cartella() / "Tervan.mdb"), vuoto);

  // A user's settings file their group may write (a umask of 002) is theirs
  // alone only while nobody else has that group, as a listed member or as
  // their own primary group, which the group itself lists nowhere.
  const fs::path file = rossi.Casa() / "config/orvane/tervan.conf";
  ScriviFile(file, "server = http://127.0.0.1:9\n");
  ASSERT_EQ(
      Esegui("chown", {"-R", "orvane-prova1:orvane-prova1", (rossi.Casa() / "config").string()})
          .codice,
      0);
  ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
  const auto configurazione = [&] {
    return rossi.Avvia(tervan.Cartella() / "Tervan", impostazioni, "--configurazione")
        ->Attendi(60s);
  };
  EXPECT_EQ(configurazione(), 0) << rossi.Errori();
  if (::getpwnam("orvane-prova3") == nullptr) {
    (void)Esegui("useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", "-g",
                             "orvane-prova1", "orvane-prova3"});
  }
  EXPECT_EQ(configurazione(), 1);
  EXPECT_THAT(rossi.Errori(), HasSubstr("scrivibile dal gruppo"));
  (void)Esegui("userdel", {"orvane-prova3"});
  ASSERT_EQ(Esegui("gpasswd", {"-a", "orvane-prova2", "orvane-prova1"}).codice, 0);
  EXPECT_EQ(configurazione(), 1);
  (void)Esegui("gpasswd", {"-d", "orvane-prova2", "orvane-prova1"});
}

}  // namespace
}  // namespace orvane::test
