#include "common/basFunzioniRegistro.h"

#include <gmock/gmock.h>

#include <string>

#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using test::LeggiFile;
using test::MacchinaFinta;
using test::RecordNelLog;

constexpr const char* kKovra =
    "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Orvane\\Kovra";

class basFunzioniRegistroTest : public ::testing::Test {
 protected:
  // A key with a value of each type, as another program would leave it.
  void SetUp() override {
    test::ImportaReg(
        "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Orvane\\Kovra]\n"
        "\"DRIVE_ARCH\"=\"D:\\\\Archivi\"\n"
        "\"Espandibile\"=hex(2):44,00,3a,00,00,00\n"
        "\"Numero\"=dword:00000007\n"
        "\"ConZero\"=hex(1):61,00,00,00,62,00,00,00\n");
  }
  MacchinaFinta macchina_;
};

TEST_F(basFunzioniRegistroTest, TrovaBaseSplitsOffAnyKnownRootWhateverItsCase) {
  std::uint32_t i = 0;
  for (const std::string radice :
       {"HKEY_CLASSES_ROOT", "hkey_current_user", "Hkey_Local_Machine", "HKEY_USERS",
        "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA", "HKLM", ""}) {
    std::string chiave = radice + "\\Software\\Orvane\\";
    EXPECT_EQ(TrovaBase(chiave), i < 7 ? 0x80000000U + i : kRadiceSconosciuta) << radice;
    EXPECT_EQ(chiave, "Software\\Orvane\\");
    ++i;
  }
  EXPECT_EQ(RecordNelLog(MacchinaFinta::Log()), 0U);

  std::string risultato = "prima";
  EXPECT_TRUE(
      LeggiChiaveStringa("hkey_current_user\\Software\\VB and VBA Program Settings\\"
                         "Orvane\\Kovra",
                         "DRIVE_ARCH", risultato, ""));
  EXPECT_EQ(risultato, "D:\\Archivi");
}

TEST_F(basFunzioniRegistroTest, AbbreviatedRootFailsEverythingWithoutARecord) {
  std::string risultato;
  platform::HKEY h = 1;
  EXPECT_FALSE(ApriChiave("HKCU\\Software", h, platform::KEY_QUERY_VALUE));
  EXPECT_EQ(h, 1U);
  EXPECT_FALSE(LeggiChiaveStringa("HKCU\\Software\\VB and VBA Program Settings\\Orvane\\Kovra",
                                  "DRIVE_ARCH", risultato, "predefinito"));
  EXPECT_EQ(risultato, "predefinito");
  EXPECT_FALSE(ScriviChiaveStringa("HKLM\\SOFTWARE", "x", "y", ""));
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

TEST_F(basFunzioniRegistroTest, KeyPathWithoutBackslashIsLoggedByTrovaBaseOnly) {
  std::string chiave = "HKEY_CURRENT_USER";
  EXPECT_EQ(TrovaBase(chiave), 0U);
  EXPECT_EQ(chiave, "HKEY_CURRENT_USER");
  std::string log = MacchinaFinta::Log();
  ASSERT_EQ(RecordNelLog(log), 1U);
  EXPECT_THAT(log, HasSubstr(" Errore numero   : 5\r\n"));
  EXPECT_THAT(log,
              HasSubstr(" Modulo          : basFunzioniRegistro\r\n Routine         : TrovaBase\r\n"
                        " Linea di codice : 10\r\n"));

  std::string risultato = "x";
  EXPECT_FALSE(LeggiChiaveStringa("HKEY_CURRENT_USER", "Server", risultato, "def"));
  EXPECT_EQ(risultato, "def");
  EXPECT_FALSE(ScriviChiaveStringa("HKEY_LOCAL_MACHINE", "Server", "a", ""));
  log = MacchinaFinta::Log();
  EXPECT_EQ(RecordNelLog(log), 3U);
  EXPECT_THAT(log, Not(HasSubstr("Routine         : ApriChiave")));
  EXPECT_THAT(log, Not(HasSubstr("Routine         : ScriviChiaveStringa")));
}

TEST_F(basFunzioniRegistroTest, OnlyPlainStringValuesReadAsStrings) {
  std::string risultato;
  EXPECT_TRUE(LeggiChiaveStringa(kKovra, "drive_arch", risultato, "def"));
  EXPECT_EQ(risultato, "D:\\Archivi");
  EXPECT_TRUE(LeggiChiaveStringa(kKovra, "ConZero", risultato, "def"));
  EXPECT_EQ(risultato, "a");
  for (const char* nome : {"Espandibile", "Numero", "Mancante"}) {
    risultato = "x";
    EXPECT_FALSE(LeggiChiaveStringa(kKovra, nome, risultato, "def")) << nome;
    EXPECT_EQ(risultato, "def");
  }
  EXPECT_FALSE(LeggiChiaveStringa(std::string(kKovra) + "\\Mancante", "DRIVE_ARCH", risultato, ""));
  EXPECT_EQ(risultato, "");
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

TEST_F(basFunzioniRegistroTest, WritingNeedsAnExistingKeyAndCreatesNone) {
  const std::string prima = LeggiFile(macchina_.FileRadice("HKEY_CURRENT_USER"));
  EXPECT_FALSE(ScriviChiaveStringa(std::string(kKovra) + "\\Nuova", "x", "y", ""));
  EXPECT_EQ(LeggiFile(macchina_.FileRadice("HKEY_CURRENT_USER")), prima);
  platform::HKEY h = 0;
  EXPECT_FALSE(ApriChiave(std::string(kKovra) + "\\Nuova", h, platform::KEY_QUERY_VALUE));

  ASSERT_TRUE(ScriviChiaveStringa(kKovra, "DRIVE_ARCH", "E:\\Nuovo Archivio", ""));
  std::string risultato;
  EXPECT_TRUE(LeggiChiaveStringa(kKovra, "DRIVE_ARCH", risultato, ""));
  EXPECT_EQ(risultato, "E:\\Nuovo Archivio");
  std::uint32_t tipo = 0;
  std::string dati;
  ASSERT_TRUE(ApriChiave(kKovra, h, platform::KEY_QUERY_VALUE));
  ASSERT_EQ(platform::LeggiValoreRegistro(h, "DRIVE_ARCH", tipo, dati), platform::ERROR_SUCCESS);
  EXPECT_EQ(dati, std::string("E:\\Nuovo Archivio") + '\0');
  EXPECT_TRUE(ChiudiChiave(h));
  EXPECT_FALSE(ChiudiChiave(h));
}

TEST_F(basFunzioniRegistroTest, ValoreCancellaDeletesAndDeletingAMissingValueFails) {
  EXPECT_TRUE(ScriviChiaveStringa(kKovra, "DRIVE_ARCH", "OFF", "OFF"));
  std::string risultato;
  EXPECT_FALSE(LeggiChiaveStringa(kKovra, "DRIVE_ARCH", risultato, "sparito"));
  EXPECT_EQ(risultato, "sparito");
  EXPECT_FALSE(ScriviChiaveStringa(kKovra, "DRIVE_ARCH", "", ""));
  // Exact, case-sensitive comparison: "off" is written, not a deletion.
  EXPECT_TRUE(ScriviChiaveStringa(kKovra, "DRIVE_ARCH", "off", "OFF"));
  platform::HKEY h = 0;
  ASSERT_TRUE(ApriChiave(kKovra, h, platform::KEY_SET_VALUE));
  EXPECT_TRUE(CancellaValore(h, "drive_arch"));
  EXPECT_FALSE(CancellaValore(h, "drive_arch"));
  EXPECT_TRUE(ChiudiChiave(h));
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

}  // namespace
}  // namespace orvane
