// Tervan started as a real process from a program folder of its own: one
// instance at a time, and a crashed run never blocks the next start.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "updater/basTervan.h"

namespace tervan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvane::test::Processo;

// Generous: the machine may be busy with other builds.
constexpr auto kAttesaMassima = 60s;

// Whether process `pid` holds an flock on `file`, as the kernel lists it.
// The test never takes the lock itself: a Tervan starting at that moment
// would believe another instance runs.
bool TieneBlocco(pid_t pid, const fs::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return false;
  std::ifstream blocchi("/proc/locks");
  std::string riga;
  while (std::getline(blocchi, riga)) {
    std::istringstream campi(riga);
    std::string numero, tipo, modo, accesso, dispositivo;
    long proprietario = 0;
    campi >> numero >> tipo >> modo >> accesso >> proprietario >> dispositivo;
    const auto inode = dispositivo.substr(dispositivo.rfind(':') + 1);
    if (tipo == "FLOCK" && proprietario == pid && inode == std::to_string(info.st_ino)) {
      return true;
    }
  }
  return false;
}

class AvvioTervan : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(programma_);
    for (const char* nome : {"Tervan", "Quomaro.so", "brisko.so"}) {
      fs::copy_file(fs::path(ORVANE_PROGRAM_DIR) / nome, programma_ / nome);
    }
    fs::copy_file(ORVANE_TERVAN_MDB, programma_ / "Tervan.mdb");
    // The management program is installed, with its customer identifier,
    // so the window has a program to look after and stays.
    fs::create_directories(macchina_.Dati() / "orvane/drive_c/ORVANE/TARVIK");
    orvane::test::ScriviTesto(platform::HKEY_CURRENT_USER,
                              "Software\\VB and VBA Program Settings\\TARVIKX\\Licenza", "codcli",
                              "C00042");
  }

  std::unique_ptr<Processo> Avvia() {
    const fs::path uscite = macchina_.Percorso() / ("uscite" + std::to_string(++avvii_));
    fs::create_directories(uscite);
    return std::make_unique<Processo>(
        programma_ / "Tervan", std::vector<std::string>{},
        std::map<std::string, std::string>{{"QT_QPA_PLATFORM", "offscreen"},
                                           {"ORVANE_UPDATE_SERVER", "http://127.0.0.1:9"},
                                           {"ORVANE_WEB_SITE", "http://127.0.0.1:9"}},
        uscite);
  }

  // Waits until `tervan` holds the instance lock; false when it ended first.
  bool AttendiBlocco(Processo& tervan) {
    for (auto limite = std::chrono::steady_clock::now() + kAttesaMassima;
         std::chrono::steady_clock::now() < limite && tervan.InEsecuzione();) {
      if (TieneBlocco(tervan.Pid(), FileBlocco())) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }

  [[nodiscard]] fs::path FileBlocco() const { return programma_ / kFileBloccoIstanza; }

  orvane::test::MacchinaFinta macchina_;
  fs::path programma_ = macchina_.Percorso() / "programma";
  int avvii_ = 0;
};

TEST_F(AvvioTervan, ASecondStartRegistersTheComponentsAndEndsSilentlyWhileTheFirstRuns) {
  auto primo = Avvia();
  ASSERT_TRUE(AttendiBlocco(*primo));

  // The second start registers the components again, from its own folder.
  fs::remove(macchina_.FileRadice("HKEY_CLASSES_ROOT"));
  auto secondo = Avvia();
  EXPECT_EQ(secondo->Attendi(kAttesaMassima), 0);
  EXPECT_EQ(orvane::test::LeggiFile(macchina_.Percorso() / "uscite2" / "stdout"), "");
  EXPECT_TRUE(primo->InEsecuzione());
  EXPECT_TRUE(TieneBlocco(primo->Pid(), FileBlocco()));

  const std::string cartella = fs::canonical(programma_).string();
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
  ASSERT_TRUE(AttendiBlocco(*primo));
  primo->Termina(SIGKILL);
  ASSERT_TRUE(fs::exists(FileBlocco()));

  auto secondo = Avvia();
  EXPECT_TRUE(AttendiBlocco(*secondo));
}

}  // namespace
}  // namespace tervan
