// Two real users of one PC run Tervan at log-on at the same time from one
// program folder that root owns and they may only read, against a server
// named only in the site settings file.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>

#include "platform/Collocazione.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "tests/support/ServizioFiglio.h"
#include "tests/support/TervanFiglio.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvane::test::LeggiFile;
using ::testing::HasSubstr;

// A real Unix user, made once and kept for later runs.
struct Utente {
  uid_t uid = 0;
  gid_t gid = 0;
};

Utente UtenteDiProva(const std::string& nome) {
  if (::getpwnam(nome.c_str()) == nullptr) {
    (void)orvane::test::Esegui(
        "useradd", {"--system", "--no-create-home", "--shell", "/usr/sbin/nologin", nome});
  }
  const passwd* pw = ::getpwnam(nome.c_str());
  if (pw == nullptr) return {};
  return {pw->pw_uid, pw->pw_gid};
}

void Cedi(const fs::path& radice, const Utente& u) {
  if (::chown(radice.c_str(), u.uid, u.gid) != 0) throw std::runtime_error(radice.string());
  for (const auto& voce : fs::recursive_directory_iterator(radice)) {
    if (::lchown(voce.path().c_str(), u.uid, u.gid) != 0)
      throw std::runtime_error(voce.path().string());
  }
}

std::set<std::string> Contenuto(const fs::path& cartella) {
  const auto nomi = orvane::test::NomiInCartella(cartella);
  return {nomi.begin(), nomi.end()};
}

// One user's session: their own home with registry, drive and XDG folders,
// the three programs installed for `cliente`.
class Sessione {
 public:
  Sessione(orvane::test::MacchinaFinta& macchina, const std::string& nome, const Utente& utente,
           const std::string& cliente)
      : casa_(macchina.Percorso() / nome), utente_(utente) {
    fs::create_directories(casa_ / "run");
    fs::permissions(casa_ / "run", fs::perms::owner_all);
    macchina.Imposta("ORVANE_REGISTRY", (casa_ / "registro").string());
    macchina.Imposta("XDG_DATA_HOME", (casa_ / "dati").string());
    dati_ = orvane::test::InstallaProgrammi(cliente);
    Cedi(casa_, utente_);
  }

  std::unique_ptr<orvane::test::Processo> Avvia(const fs::path& tervan,
                                                const fs::path& impostazioni) const {
    return std::make_unique<orvane::test::Processo>(
        "setpriv",
        std::vector<std::string>{"--reuid=" + std::to_string(utente_.uid),
                                 "--regid=" + std::to_string(utente_.gid), "--clear-groups", "--",
                                 tervan.string(), "VERIFICA"},
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

  [[nodiscard]] const orvane::test::CartelleDati& Dati() const { return dati_; }
  [[nodiscard]] fs::path Stato() const { return casa_ / "stato/orvane/Tervan"; }
  [[nodiscard]] std::string Errori() const { return LeggiFile(casa_ / "stderr"); }

 private:
  fs::path casa_;
  Utente utente_;
  orvane::test::CartelleDati dati_;
};

TEST(PiuUtenti, TwoUsersRunTheirOwnTervanAtOnceFromARootOwnedReadOnlyProgramFolder) {
  if (::geteuid() != 0) GTEST_SKIP() << "real users need root";
  const Utente primo = UtenteDiProva("orvane-prova1");
  const Utente secondo = UtenteDiProva("orvane-prova2");
  ASSERT_NE(primo.uid, 0U);
  ASSERT_NE(secondo.uid, 0U);

  orvane::test::MacchinaFinta macchina;
  macchina.Imposta("ORVANE_UPDATE_SERVER", std::nullopt);
  macchina.Imposta("ORVANE_WEB_SITE", std::nullopt);
  ASSERT_EQ(::chmod(macchina.Percorso().c_str(), 0755), 0);
  const orvane::test::ServizioFiglio servizio;

  // The program folder as a system install leaves it: root's, mode 755.
  const orvane::test::TervanFiglio tervan(macchina.Percorso() / "programma");
  ASSERT_EQ(::chmod(tervan.Cartella().c_str(), 0755), 0);
  const std::set<std::string> installato = Contenuto(tervan.Cartella());
  const std::string vuoto = LeggiFile(tervan.Cartella() / "Tervan.mdb");

  // The server is named only in the site settings file.
  const fs::path impostazioni = macchina.Percorso() / "xdg";
  orvane::test::ScriviFile(impostazioni / "orvane/tervan.conf",
                           "# sito di prova\nserver = " + servizio.Server() + "\n");

  const Sessione rossi(macchina, "rossi", primo, "ROSSI");
  const Sessione bianchi(macchina, "bianchi", secondo, "BIANCHI");
  // Bianchi's agency program keeps its data in a folder Rossi owns and
  // Bianchi may only read.
  const fs::path condivisa = bianchi.Dati().selvor;
  ASSERT_EQ(::chown(condivisa.c_str(), primo.uid, primo.gid), 0);
  ASSERT_EQ(::chmod(condivisa.c_str(), 0755), 0);

  auto tervanRossi = rossi.Avvia(tervan.Cartella() / "Tervan", impostazioni);
  auto tervanBianchi = bianchi.Avvia(tervan.Cartella() / "Tervan", impostazioni);

  // Rossi: 42 and the shared 7 for the management program, 99 for Morlen.
  // Bianchi: 7; the agency package 5 is refused by Rossi's folder.
  const auto registrati = [&](const std::string& utente) {
    std::size_t n = 0;
    for (const auto& r : servizio.Registrati())
      n += r.starts_with(utente + "|") ? 1U : 0U;
    return n;
  };
  for (int i = 0; i < 1500 && (registrati("ROSSI") < 3 || registrati("BIANCHI") < 1 ||
                               LeggiFile(bianchi.Stato() / "Tarvik.Log").empty());
       ++i) {
    ASSERT_TRUE(tervanRossi->InEsecuzione()) << rossi.Errori();
    ASSERT_TRUE(tervanBianchi->InEsecuzione()) << bianchi.Errori();
    std::this_thread::sleep_for(40ms);
  }
  // Both ran side by side: neither was taken for the other's second start.
  EXPECT_TRUE(tervanRossi->InEsecuzione());
  EXPECT_TRUE(tervanBianchi->InEsecuzione());
  EXPECT_EQ(tervanRossi->Termina(SIGTERM), 0);
  EXPECT_EQ(tervanBianchi->Termina(SIGTERM), 0);

  EXPECT_EQ(registrati("ROSSI"), 3U);
  EXPECT_EQ(registrati("BIANCHI"), 1U);
  EXPECT_EQ(Contenuto(rossi.Dati().tarvik / "Aggiornamenti").size(), 2U);
  EXPECT_EQ(Contenuto(rossi.Dati().morlen / "Aggiornamenti").size(), 1U);
  EXPECT_EQ(Contenuto(bianchi.Dati().tarvik / "Aggiornamenti").size(), 1U);
  EXPECT_FALSE(fs::exists(condivisa / "Aggiornamenti"));
  const std::string logBianchi = LeggiFile(bianchi.Stato() / "Tarvik.Log");
  EXPECT_EQ(orvane::test::RecordNelLog(logBianchi), 1U) << logBianchi;
  EXPECT_THAT(logBianchi, HasSubstr(" Descrizione     : Autorizzazione negata\r\n"));
  EXPECT_THAT(logBianchi, HasSubstr(" Routine         : CopiaAggiornamentiInServer\r\n"));
  EXPECT_EQ(LeggiFile(rossi.Stato() / "Tarvik.Log"), "");

  // Each has a state of their own, and nothing was written in the program
  // folder.
  for (const Sessione* s : {&rossi, &bianchi}) {
    EXPECT_TRUE(fs::exists(s->Stato() / "SOAP.xml"));
    EXPECT_NE(LeggiFile(s->Stato() / "Tervan.mdb"), vuoto);
  }
  EXPECT_EQ(Contenuto(tervan.Cartella()), installato);
  EXPECT_EQ(LeggiFile(tervan.Cartella() / "Tervan.mdb"), vuoto);
}

}  // namespace
