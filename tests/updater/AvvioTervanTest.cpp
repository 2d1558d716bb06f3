// Tervan started as a real process from a program folder of its own: one
// instance at a time, and a crashed run never blocks the next start.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "common/ChiaveRegistro.h"
#include "platform/Registro.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "updater/basTervan.h"

namespace tervan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvane::ChiaveRegistro;
using orvane::test::Processo;

// Generous: the machine may be busy with other builds.
constexpr auto kAttesaMassima = 60s;

// Whether process `pid` holds an flock on `file`, as the kernel lists it.
// The test never takes the lock itself: that would make a starting Tervan
// believe another instance runs.
bool TieneBlocco(pid_t pid, const fs::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return false;
  std::ifstream blocchi("/proc/locks");
  std::string riga;
  while (std::getline(blocchi, riga)) {
    std::istringstream campi(riga);
    std::string numero, tipo, modo, accesso, dispositivo;
    long proprietario = 0;
    if (!(campi >> numero >> tipo >> modo >> accesso >> proprietario >> dispositivo)) continue;
    const auto duePunti = dispositivo.rfind(':');
    if (tipo != "FLOCK" || accesso != "WRITE" || proprietario != pid ||
        duePunti == std::string::npos) {
      continue;
    }
    if (std::stoull(dispositivo.substr(duePunti + 1)) == info.st_ino) return true;
  }
  return false;
}

std::optional<std::string> LeggiClassi(const std::string& chiave) {
  ChiaveRegistro aperta;
  if (ChiaveRegistro::Apri(platform::HKEY_CLASSES_ROOT, chiave, platform::KEY_READ, aperta) !=
      platform::ERROR_SUCCESS) {
    return std::nullopt;
  }
  return aperta.LeggiTesto("");
}

class AvvioTervan : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(programma_);
    for (const char* nome : {"Tervan", "Quomaro.so", "brisko.so", "Tervan.mdb"}) {
      fs::copy_file(fs::path(ORVANE_PROGRAM_DIR) / nome, programma_ / nome);
    }
    // The management program is installed, with its customer identifier,
    // so the window has a program to look after and stays.
    fs::create_directories(macchina_.Dati() / "orvane" / "drive_c" / "ORVANE" / "TARVIK");
    ChiaveRegistro licenza;
    ASSERT_EQ(
        ChiaveRegistro::Crea(platform::HKEY_CURRENT_USER,
                             "Software\\VB and VBA Program Settings\\TARVIKX\\Licenza", licenza),
        platform::ERROR_SUCCESS);
    ASSERT_EQ(licenza.ScriviTesto("codcli", "C00042"), platform::ERROR_SUCCESS);
  }

  std::unique_ptr<Processo> Avvia() {
    const fs::path uscite = macchina_.Percorso() / ("uscite" + std::to_string(++avvii_));
    fs::create_directories(uscite);
    return std::make_unique<Processo>(programma_ / "Tervan", std::vector<std::string>{},
                                      std::map<std::string, std::string>{
                                          {"QT_QPA_PLATFORM", "offscreen"},
                                          {"ORVANE_UPDATE_SERVER", "http://127.0.0.1:9"},
                                          {"ORVANE_WEB_SITE", "http://127.0.0.1:9"},
                                      },
                                      uscite);
  }

  // Waits until `tervan` holds the instance lock; false when it ended or
  // never took it.
  bool AttendiBlocco(Processo& tervan) {
    const auto limite = std::chrono::steady_clock::now() + kAttesaMassima;
    while (std::chrono::steady_clock::now() < limite) {
      if (!tervan.InEsecuzione()) return false;
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

  // The second start registers the components again (from this program
  // folder) before it finds the first one running.
  const fs::path registro = macchina_.FileRadice("HKEY_CLASSES_ROOT");
  fs::remove(registro);
  auto secondo = Avvia();
  EXPECT_EQ(secondo->Attendi(kAttesaMassima), 0);
  EXPECT_EQ(orvane::test::LeggiFile(macchina_.Percorso() / "uscite2" / "stdout"), "");

  EXPECT_TRUE(primo->InEsecuzione());
  EXPECT_TRUE(TieneBlocco(primo->Pid(), FileBlocco()));
  const std::string cartella = fs::canonical(programma_).string();
  const auto quomaro = LeggiClassi("Quomaro.clsCA\\CLSID");
  ASSERT_TRUE(quomaro);
  EXPECT_EQ(LeggiClassi("CLSID\\" + *quomaro + "\\InprocServer32"), cartella + "/Quomaro.so");
  const auto brisko = LeggiClassi("Brisko.xpVantelTab\\CLSID");
  ASSERT_TRUE(brisko);
  EXPECT_EQ(LeggiClassi("CLSID\\" + *brisko + "\\InprocServer32"), cartella + "/brisko.so");
}

TEST_F(AvvioTervan, TheLockFileOfAKilledRunDoesNotPreventTheNextStart) {
  auto primo = Avvia();
  ASSERT_TRUE(AttendiBlocco(*primo));
  primo->Termina(SIGKILL);
  ASSERT_TRUE(fs::exists(FileBlocco()));

  auto secondo = Avvia();
  EXPECT_TRUE(AttendiBlocco(*secondo));
  EXPECT_TRUE(secondo->InEsecuzione());
}

}  // namespace
}  // namespace tervan
