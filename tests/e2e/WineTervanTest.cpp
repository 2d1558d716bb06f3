// The maker's programs installed in a real Wine prefix, their settings
// written by Wine's own "reg", and nothing configured for Tervan: Tervan
// started at log-on finds them, checks them against the reference service
// and puts their packages where the Windows programs, started by Wine, will
// look. Without Wine the test reports itself skipped.
#include <gmock/gmock.h>
#include <signal.h>

#include <QTest>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "tests/support/ServizioFiglio.h"
#include "tests/support/TervanFiglio.h"

namespace orvane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

TEST(TervanSottoWine, FindsTheProgramsOfAPrefixAndDeliversTheirPackagesWhereTheyLook) {
  if (!NelPath("wine")) {
    GTEST_SKIP() << "wine is not installed (Debian packages wine and wine64): Tervan is not "
                    "tested against a real Wine prefix";
  }
  MacchinaFinta macchina;
  const std::map<std::string, std::string> ambiente{
      {"WINEPREFIX", macchina.Wine().string()},
      {"WINEDEBUG", "-all"},
      {"LC_ALL", "C.UTF-8"},
      // No display, no installers of optional parts, no menu entries.
      {"DISPLAY", ""},
      {"WAYLAND_DISPLAY", ""},
      {"WINEDLLOVERRIDES", "mscoree,mshtml,winemenubuilder.exe=d"}};
  const auto wine = [&](const std::vector<std::string>& argomenti,
                        std::chrono::milliseconds limite = std::chrono::minutes(1)) {
    const Esito e = Esegui("wine", argomenti, ambiente, limite);
    ASSERT_EQ(e.codice, 0) << testing::PrintToString(argomenti) << e.out << e.err;
  };
  wine({"wineboot", "--init"}, std::chrono::minutes(3));
  const std::string impostazioni = R"(HKCU\Software\VB and VBA Program Settings\)";
  const std::vector<std::vector<std::string>> valori{
      {R"(TARVIKX\Utente)", "PercXx", R"(D:\Dati\Contabilità)"},
      {R"(TARVIKX\Utente)", "Server", R"(UFFICIO\SQLEXPRESS)"},
      {R"(TARVIKX\Licenza)", "codcli", "ROSSI"},
      {R"(Orvane\Kovra)", "DRIVE_ARCH", R"(C:\Archivi)"},
      {R"(Orvane\Kovra)", "codcli", "ROSSI"},
      {R"(Vuldra\Vestrum)", "nomexx", "ROSSI"},
      {R"(Vuldra\Vestrum)", "datixx", R"(C:\Selvor\Dati)"},
      {R"(Vuldra\Vestrum)", "Server", "Agenzia è qui"},
  };
  for (const auto& v : valori)
    wine({"reg", "add", impostazioni + v[0], "/v", v[1], "/d", v[2], "/f"});
  // The programs as their installers leave them, and drive D: on a folder
  // outside the prefix.
  const fs::path c = macchina.Wine() / "drive_c";
  const fs::path d = macchina.Percorso() / "disco d";
  for (const fs::path& cartella :
       {c / "Orvane" / "Tarvik", c / "Orvane" / "Morlen", c / "Orvane" / "Selvor",
        c / "Archivi" / "morlen", c / "Selvor" / "Dati", d / "Dati" / "Contabilità"})
    fs::create_directories(cartella);
  fs::create_directory_symlink(d, macchina.Wine() / "dosdevices" / "d:");
  // Wine's files on disk, as Wine leaves them when its last program ends.
  ASSERT_EQ(Esegui("wineserver", {"-w"}, ambiente).codice, 0);
  const std::string utente = LeggiFile(macchina.Wine() / "user.reg");
  const std::string sistema = LeggiFile(macchina.Wine() / "system.reg");

  ServizioFiglio servizio;
  TervanFiglio tervan(macchina.Percorso() / "programma");
  auto processo = tervan.Avvia({"VERIFICA"}, {{"ORVANE_UPDATE_SERVER", servizio.Server()},
                                              {"ORVANE_WEB_SITE", "http://127.0.0.1:9"},
                                              {"TERVAN_INTERVALLO_RICERCA_MS", "200"}});
  for (auto fine = std::chrono::steady_clock::now() + 60s;
       servizio.Registrati().size() < 3 && std::chrono::steady_clock::now() < fine;)
    QTest::qWait(50);
  EXPECT_EQ(processo->Termina(SIGTERM), 0) << tervan.Errori(1);
  EXPECT_EQ(servizio.Registrati().size(), 3U) << tervan.Errori(1);

  EXPECT_THAT(NomiInCartella(d / "Dati" / "Contabilità" / "Aggiornamenti"),
              UnorderedElementsAre("ORVANE-2008-01-10-09-00-00-C-7.zip",
                                   "TARVIK-2008-03-05-14-30-00-C-42.zip"));
  EXPECT_THAT(NomiInCartella(c / "Archivi" / "morlen" / "Aggiornamenti"),
              ElementsAre("MORLEN-2009-01-01-00-00-00-C-99.zip"));
  // The store's rows as "softxx|PercXx|Server|userid", by program code.
  EXPECT_THAT(
      RigheSql(tervan.Cartella() / "Tervan.mdb",
               "select softxx || '|' || ifnull(PercXx, '') || '|' || "
               "ifnull(Server, '') || '|' || ifnull(userid, '') from AGGIOR "
               "order by softxx"),
      ElementsAre(R"(PANELAA|C:\Archivi\morlen||ROSSI)", R"(PANELAB|C:\Archivi\morlen||ROSSI)",
                  R"(PANELAC|C:\Archivi\morlen||ROSSI)", R"(PANELAD|C:\Archivi\morlen||ROSSI)",
                  R"(PANELAE|C:\Archivi\morlen||ROSSI)",
                  R"(SELVOR|C:\Selvor\Dati|Agenzia è qui|ROSSI)",
                  R"(TARVIK|D:\Dati\Contabilità|UFFICIO\SQLEXPRESS|ROSSI)"));
  // The prefix was only read.
  EXPECT_EQ(LeggiFile(macchina.Wine() / "user.reg"), utente);
  EXPECT_EQ(LeggiFile(macchina.Wine() / "system.reg"), sistema);
  (void)Esegui("wineserver", {"-k"}, ambiente);
}

}  // namespace
}  // namespace orvane::test
