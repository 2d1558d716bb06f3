#include <gmock/gmock.h>

#include <filesystem>
#include <string>
#include <vector>

#include "common/Errore.h"
#include "common/basUtilxx.h"
#include "platform/Browser.h"
#include "platform/Registro.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/MessaggiRegistrati.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;

using test::LeggiFile;
using test::MacchinaFinta;
using test::RecordNelLog;
using test::ScriviFile;

TEST(GetUtenteTest, ReadsTheTenSettingsOrEmptyFieldsAndDoublesEveryAmpersandOfDesAzi) {
  const MacchinaFinta macchina;
  EXPECT_EQ(GetUtente(), DatiUtente{});
  test::ImportaReg(
      "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\TARVIKX\\Utente]\n"
      "\"Server\"=\"SRV\\\\SQL2019\"\n\"UserId\"=\"sa\"\n\"PassXx\"=\"segreta\"\n"
      "\"Tarvik\"=\"S\"\n\"CodAzi\"=\"001\"\n\"DesAzi\"=\"Rossi & Figli & C.\"\n"
      "\"PercXx\"=\"C:\\\\ORVANE\\\\TARVIK\"\n\"Remoto\"=\"N\"\n\"DataXx\"=\"D:\\\\Dati\"\n"
      "\"PercorsoDatiRelativoServer\"=\"\\\\\\\\server\\\\dati\"\n");
  const DatiUtente d = GetUtente();
  EXPECT_EQ(d, (DatiUtente{"SRV\\SQL2019", "sa", "segreta", "S", "001", "Rossi && Figli && C.",
                           "C:\\ORVANE\\TARVIK", "N", "D:\\Dati", "\\\\server\\dati"}));
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

TEST(GetUtenteTest, UnreadableStoreIsLoggedAndLeavesTheFieldsEmpty) {
  const MacchinaFinta macchina;
  ScriviFile(macchina.FileRadice("HKEY_CURRENT_USER"), "non un file del registro\n");
  EXPECT_EQ(GetUtente(), DatiUtente{});
  const std::string log = MacchinaFinta::Log();
  EXPECT_EQ(RecordNelLog(log), 2U) << log;
  EXPECT_THAT(log, HasSubstr(" Modulo          : basUtilxx\r\n Routine         : GetUtente\r\n"
                             " Linea di codice : 10\r\n"));
  EXPECT_THAT(log, HasSubstr("HKEY_CURRENT_USER.reg"));
}

TEST(GetSettingTest, ReadsTheSettingsDiscoveryUsesWithTheirDefaults) {
  const MacchinaFinta macchina;
  test::ImportaReg(
      "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vuldra\\Vestrum]\n"
      "\"datixx\"=\"C:\\\\ORVANE\\\\SELVOR\\\\DATI\"\n\"Server\"=\"SELVOR-SRV\"\n"
      "\"nomexx\"=dword:00000005\n");
  EXPECT_EQ(GetSetting("Vuldra", "Vestrum", "datixx"), "C:\\ORVANE\\SELVOR\\DATI");
  EXPECT_EQ(GetSetting("VULDRA", "vestrum", "SERVER", "x"), "SELVOR-SRV");
  EXPECT_EQ(GetSetting("Vuldra", "Vestrum", "nomexx", "def"), "def");
  EXPECT_EQ(GetSetting("Vuldra", "Vestrum", "mancante", "def"), "def");
  EXPECT_EQ(GetSetting("Vuldra", "Altra", "datixx"), "");
  EXPECT_THROW((void)GetSetting("", "Vestrum", "datixx"), Errore);
  ScriviFile(macchina.FileRadice("HKEY_CURRENT_USER"), "\x01\x02");
  EXPECT_THROW((void)GetSetting("Vuldra", "Vestrum", "datixx"), Errore);
}

// A browser launcher on PATH that records its arguments and ends with `esito`.
class BrowserUrlTest : public ::testing::Test {
 protected:
  void SetUp() override { macchina_.Imposta("PATH", bin_.Percorso().string()); }
  void TearDown() override { platform::ImpostaPortaBrowser({}); }

  void Lanciatore(int esito) {
    const auto file = bin_ / "xdg-open";
    ScriviFile(file, "#!/bin/sh\nprintf '%s|' \"$@\" > '" + (bin_ / "argomenti").string() +
                         "'\nexit " + std::to_string(esito) + "\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
  }
  [[nodiscard]] std::string Argomenti() const { return LeggiFile(bin_ / "argomenti"); }
  static void AttesoAvviso(const test::MessaggiRegistrati& messaggi) {
    ASSERT_EQ(messaggi.Messaggi().size(), 1U);
    EXPECT_EQ(messaggi.Messaggi()[0].testo, "Impossibile avviare Internet Explorer");
    EXPECT_EQ(messaggi.Messaggi()[0].stile, platform::vbCritical + platform::vbOKOnly);
    EXPECT_EQ(messaggi.Messaggi()[0].titolo, "Avviso");
  }

  MacchinaFinta macchina_;
  test::CartellaTemporanea bin_;
};

TEST_F(BrowserUrlTest, AddressGoesToTheLauncherAsOneArgumentWithoutAShell) {
  Lanciatore(0);
  const test::MessaggiRegistrati messaggi;
  const std::string url = "http://127.0.0.1:8080/storico.php?id=A1&x='$(rm -rf x)' ;\"q\"";
  BrowserUrl(url);
  EXPECT_EQ(Argomenti(), url + "|");
  EXPECT_TRUE(messaggi.Messaggi().empty());
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

TEST_F(BrowserUrlTest, LauncherThatFailsOrIsMissingShowsTheWarning) {
  for (const bool presente : {true, false}) {
    if (presente) Lanciatore(3);
    const test::MessaggiRegistrati messaggi;
    BrowserUrl("http://127.0.0.1/");
    EXPECT_EQ(Argomenti(), presente ? "http://127.0.0.1/|" : "");
    AttesoAvviso(messaggi);
    std::filesystem::remove_all(bin_.Percorso() / "xdg-open");
    std::filesystem::remove_all(bin_.Percorso() / "argomenti");
  }
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

TEST_F(BrowserUrlTest, HostLauncherReplacesTheDefault) {
  Lanciatore(0);
  std::vector<std::string> aperti;
  platform::ImpostaPortaBrowser([&](const std::string& url) {
    aperti.push_back(url);
    return false;
  });
  const test::MessaggiRegistrati messaggi;
  BrowserUrl("http://127.0.0.1/a");
  EXPECT_EQ(aperti, std::vector<std::string>{"http://127.0.0.1/a"});
  EXPECT_EQ(Argomenti(), "");
  AttesoAvviso(messaggi);
}

TEST(CloseApplicationTest, WithoutADisplayDoesNothing) {
  MacchinaFinta macchina;
  macchina.Imposta("DISPLAY", std::nullopt);
  CloseApplication("Aggiornamenti Orvane Software");
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

}  // namespace
}  // namespace orvane
