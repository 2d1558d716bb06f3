#include "platform/Percorsi.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/MacchinaFinta.h"

namespace platform {
namespace {

using orvane::test::MacchinaFinta;
namespace fs = std::filesystem;

class PercorsiTest : public ::testing::Test {
 protected:
  [[nodiscard]] fs::path DriveC() const { return macchina_.Dati() / "orvane" / "drive_c"; }
  MacchinaFinta macchina_;
};

TEST_F(PercorsiTest, DrivePathsFindExistingFoldersWhateverTheirCase) {
  fs::create_directories(DriveC() / "Orvane" / "Tarvik" / "Aggiornamenti");
  fs::create_directories(DriveC() / "programmi" / "MORLEN");

  EXPECT_EQ(PercorsoLocale("C:\\ORVANE\\TARVIK"), DriveC() / "Orvane" / "Tarvik");
  EXPECT_EQ(PercorsoLocale("c:/orvane/tarvik/aggiornamenti/"),
            DriveC() / "Orvane" / "Tarvik" / "Aggiornamenti");
  EXPECT_EQ(PercorsoLocale("C:\\PROGRAMMI\\Morlen"), DriveC() / "programmi" / "MORLEN");
  EXPECT_TRUE(fs::is_directory(PercorsoLocale("C:\\ORVANE\\TARVIK")));
  // Names that do not exist yet keep their spelling, below as well.
  EXPECT_EQ(PercorsoLocale("C:\\ORVANE\\SELVOR\\Dati"), DriveC() / "Orvane" / "SELVOR" / "Dati");
  EXPECT_EQ(PercorsoLocale("C:\\"), DriveC());
  EXPECT_EQ(PercorsoLocale("C:"), DriveC());
}

TEST_F(PercorsiTest, ExactSpellingWinsDotDotStaysInTheDriveAndDrivelessPathsPassThrough) {
  fs::create_directories(DriveC() / "Dati");
  fs::create_directories(DriveC() / "DATI");
  EXPECT_EQ(PercorsoLocale("C:\\Dati"), DriveC() / "Dati");
  EXPECT_EQ(PercorsoLocale("C:\\DATI"), DriveC() / "DATI");
  // No exact match: the first in name order, every time.
  EXPECT_EQ(PercorsoLocale("C:\\dati"), DriveC() / "DATI");

  EXPECT_EQ(PercorsoLocale("C:\\..\\..\\etc\\passwd"), DriveC() / "etc" / "passwd");
  EXPECT_EQ(PercorsoLocale("C:\\ORVANE\\.\\TARVIK\\..\\..\\..\\SELVOR"), DriveC() / "SELVOR");

  for (const char* invariato : {"/home/utente/File.TXT", "relativo\\nome", "", "1:\\x"})
    EXPECT_EQ(PercorsoLocale(invariato), fs::path(invariato)) << invariato;
}

TEST_F(PercorsiTest, EachDriveHasItsOwnFolderAndTheEnvironmentChoosesIt) {
  EXPECT_EQ(PercorsoLocale("d:\\Archivi"), macchina_.Dati() / "orvane" / "drive_d" / "Archivi");
  macchina_.Imposta("ORVANE_DRIVE_C", (macchina_.Percorso() / "c").string());
  macchina_.Imposta("ORVANE_DRIVE_D", (macchina_.Percorso() / "d").string());
  EXPECT_EQ(PercorsoLocale("C:\\ORVANE"), macchina_.Percorso() / "c" / "ORVANE");
  EXPECT_EQ(PercorsoLocale("D:\\Archivi"), macchina_.Percorso() / "d" / "Archivi");
  macchina_.Imposta("XDG_DATA_HOME", std::nullopt);
  macchina_.Imposta("HOME", macchina_.Percorso().string());
  EXPECT_EQ(CartellaUnita('e'), macchina_.Percorso() / ".local/share/orvane/drive_e");
}

}  // namespace
}  // namespace platform
