#include "common/basFunzioniRegistro.h"

#include <gmock/gmock.h>

#include <string>

#include "tests/support/MacchinaFinta.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

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
  static std::string Leggi(const std::string& chiave, const std::string& nome) {
    std::string risultato = "prima";
    return LeggiChiaveStringa(chiave, nome, risultato, "def") ? risultato : "(no) " + risultato;
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
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

// An abbreviated root fails without a record; a path without a backslash is
// logged once, by TrovaBase, not again by each caller.
TEST_F(basFunzioniRegistroTest, BadKeyPathsFailAndOnlyAMissingBackslashIsLogged) {
  platform::HKEY h = 1;
  EXPECT_FALSE(ApriChiave("HKCU\\Software", h, platform::KEY_QUERY_VALUE));
  EXPECT_EQ(h, 1U);
  EXPECT_EQ(Leggi("HKCU\\Software\\VB and VBA Program Settings\\Orvane\\Kovra", "DRIVE_ARCH"),
            "(no) def");
  EXPECT_FALSE(ScriviChiaveStringa("HKLM\\SOFTWARE", "x", "y", ""));
  EXPECT_EQ(MacchinaFinta::Log(), "");

  std::string chiave = "HKEY_CURRENT_USER";
  EXPECT_EQ(TrovaBase(chiave), 0U);
  EXPECT_EQ(chiave, "HKEY_CURRENT_USER");
  EXPECT_THAT(MacchinaFinta::Log(), HasSubstr(" Errore numero   : 5\r\n Descrizione     : "));
  EXPECT_THAT(MacchinaFinta::Log(),
              HasSubstr(" Modulo          : basFunzioniRegistro\r\n Routine         : TrovaBase\r\n"
                        " Linea di codice : 10\r\n"));
  EXPECT_EQ(Leggi("HKEY_CURRENT_USER", "Server"), "(no) def");
  EXPECT_FALSE(ScriviChiaveStringa("HKEY_LOCAL_MACHINE", "Server", "a", ""));
  const std::string log = MacchinaFinta::Log();
  EXPECT_EQ(RecordNelLog(log), 3U);
  EXPECT_THAT(log, Not(HasSubstr("Routine         : ApriChiave")));
  EXPECT_THAT(log, Not(HasSubstr("Routine         : ScriviChiaveStringa")));
}

// Only plain string values read as strings, cut at the first NUL. The
// deletion value is compared exactly, case included.
TEST_F(basFunzioniRegistroTest, ReadsPlainStringsAndWritesOrDeletesInAnExistingKey) {
  EXPECT_EQ(Leggi(kKovra, "ConZero"), "a");
  for (const char* nome : {"Espandibile", "Numero", "Mancante"})
    EXPECT_EQ(Leggi(kKovra, nome), "(no) def") << nome;
  EXPECT_EQ(Leggi(std::string(kKovra) + "\\Mancante", "DRIVE_ARCH"), "(no) def");

  const std::string prima = test::EsportaReg(platform::HKEY_CURRENT_USER);
  EXPECT_FALSE(ScriviChiaveStringa(std::string(kKovra) + "\\Nuova", "x", "y", ""));
  EXPECT_EQ(test::EsportaReg(platform::HKEY_CURRENT_USER), prima);

  ASSERT_TRUE(ScriviChiaveStringa(kKovra, "DRIVE_ARCH", "E:\\Nuovo Archivio", ""));
  EXPECT_EQ(
      test::LeggiTesto(platform::HKEY_CURRENT_USER, std::string(kKovra).substr(18), "DRIVE_ARCH"),
      "E:\\Nuovo Archivio");
  EXPECT_TRUE(ScriviChiaveStringa(kKovra, "DRIVE_ARCH", "OFF", "OFF"));
  EXPECT_EQ(Leggi(kKovra, "DRIVE_ARCH"), "(no) def");
  EXPECT_FALSE(ScriviChiaveStringa(kKovra, "DRIVE_ARCH", "", ""));
  EXPECT_TRUE(ScriviChiaveStringa(kKovra, "DRIVE_ARCH", "off", "OFF"));
  EXPECT_EQ(Leggi(kKovra, "DRIVE_ARCH"), "off");
  platform::HKEY h = 0;
  ASSERT_TRUE(ApriChiave(kKovra, h, platform::KEY_SET_VALUE));
  EXPECT_TRUE(CancellaValore(h, "drive_arch"));
  EXPECT_FALSE(CancellaValore(h, "drive_arch"));
  EXPECT_TRUE(ChiudiChiave(h));
  EXPECT_FALSE(ChiudiChiave(h));
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

}  // namespace
}  // namespace orvane
