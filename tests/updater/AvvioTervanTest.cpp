// Tervan started as a real process from a program folder of its own: one
// instance at a time, and a crashed run never blocks the next start.
#include <signal.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "tests/support/TervanFiglio.h"

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

TEST_F(AvvioTervan, TheLockFileOfAKilledRunDoesNotPreventTheNextStart) {
  auto primo = Avvia();
  ASSERT_TRUE(tervan_.AttendiBlocco(*primo));
  primo->Termina(SIGKILL);
  ASSERT_TRUE(fs::exists(tervan_.FileBlocco()));

  auto secondo = Avvia();
  EXPECT_TRUE(tervan_.AttendiBlocco(*secondo));
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

}  // namespace
}  // namespace tervan
