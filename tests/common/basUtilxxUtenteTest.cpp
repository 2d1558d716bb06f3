#include <gmock/gmock.h>

#include <fcntl.h>

#include <csignal>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "common/Errore.h"
#include "common/basFunzioniRegistro.h"
#include "common/basUtilxx.h"
#include "platform/Browser.h"
#include "platform/Descrittore.h"
#include "platform/Registro.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/MessaggiRegistrati.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using test::LeggiFile;
using test::MacchinaFinta;
using test::RecordNelLog;
using test::ScriviFile;

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

TEST_F(basFunzioniRegistroTest, TrovaBaseSplitsOffAnyKnownRootAndOnlyAMissingBackslashIsLogged) {
  std::uint32_t i = 0;
  for (const std::string radice :
       {"HKEY_CLASSES_ROOT", "hkey_current_user", "Hkey_Local_Machine", "HKEY_USERS",
        "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA", "HKLM", ""}) {
    std::string chiave = radice + "\\Software\\Orvane\\";
    EXPECT_EQ(TrovaBase(chiave), i < 7 ? 0x80000000U + i : kRadiceSconosciuta) << radice;
    EXPECT_EQ(chiave, "Software\\Orvane\\");
    ++i;
  }

  // An abbreviated root fails without a record; a path without a backslash
  // is logged once, by TrovaBase, not again by each caller.
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

TEST(GetUtenteTest,
     ReadsTheUsersAndTheDiscoverysSettingsDoublesEveryAmpersandOfDesAziOrLogsAnUnreadableStore) {
  const MacchinaFinta macchina;
  EXPECT_EQ(GetUtente(), DatiUtente{});
  test::ImportaReg(
      "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\TARVIKX\\Utente]\n"
      "\"Server\"=\"SRV\\\\SQL2019\"\n\"UserId\"=\"sa\"\n\"PassXx\"=\"segreta\"\n"
      "\"Tarvik\"=\"S\"\n\"CodAzi\"=\"001\"\n\"DesAzi\"=\"Rossi & Figli & C.\"\n"
      "\"PercXx\"=\"C:\\\\ORVANE\\\\TARVIK\"\n\"Remoto\"=\"N\"\n\"DataXx\"=\"D:\\\\Dati\"\n"
      "\"PercorsoDatiRelativoServer\"=\"\\\\\\\\server\\\\dati\"\n");
  EXPECT_EQ(GetUtente(),
            (DatiUtente{"SRV\\SQL2019", "sa", "segreta", "S", "001", "Rossi && Figli && C.",
                        "C:\\ORVANE\\TARVIK", "N", "D:\\Dati", "\\\\server\\dati"}));

  // The settings discovery reads, with their defaults.
  test::ImportaReg(
      "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Vuldra\\Vestrum]\n"
      "\"datixx\"=\"C:\\\\ORVANE\\\\SELVOR\\\\DATI\"\n\"Server\"=\"SELVOR-SRV\"\n"
      "\"nomexx\"=dword:00000005\n");
  EXPECT_EQ(GetSetting("Vuldra", "Vestrum", "datixx"), "C:\\ORVANE\\SELVOR\\DATI");
  EXPECT_EQ(GetSetting("VULDRA", "vestrum", "SERVER", "x"), "SELVOR-SRV");
  EXPECT_EQ(GetSetting("Vuldra", "Vestrum", "nomexx", "def"), "def");
  EXPECT_EQ(GetSetting("Vuldra", "Vestrum", "mancante", "def"), "def");
  EXPECT_THROW((void)GetSetting("", "Vestrum", "datixx"), Errore);
  EXPECT_EQ(MacchinaFinta::Log(), "");

  // An unreadable store is logged and leaves the fields empty.
  ScriviFile(macchina.FileRadice("HKEY_CURRENT_USER"), "non un file del registro\n");
  EXPECT_EQ(GetUtente(), DatiUtente{});
  const std::string log = MacchinaFinta::Log();
  EXPECT_EQ(RecordNelLog(log), 2U) << log;
  EXPECT_THAT(log, HasSubstr(" Modulo          : basUtilxx\r\n Routine         : GetUtente\r\n"
                             " Linea di codice : 10\r\n"));
  EXPECT_THAT(log, HasSubstr("HKEY_CURRENT_USER.reg"));
}

// The address goes to a launcher on PATH, which records its arguments, as
// one argument without a shell, or to the host's launcher when it has one;
// a launcher that fails or is missing shows the warning. The launcher does
// not inherit the file size limit's signal ignored, as Tervan has it, nor a
// descriptor left open on exec, and starts in the home folder.
TEST(BrowserUrlTest, AddressGoesToTheLauncherAsOneArgumentAndAFailureShowsTheWarning) {
  MacchinaFinta macchina;
  const auto xfszPrima = std::signal(SIGXFSZ, SIG_IGN);
  const test::CartellaTemporanea bin;
  const test::CartellaTemporanea casa;
  macchina.Imposta("PATH", bin.Percorso().string());
  macchina.Imposta("HOME", casa.Percorso().string());
  ScriviFile(bin / "trattenuto", "");
  const platform::Descrittore trattenuto(::open((bin / "trattenuto").c_str(), O_RDONLY));
  const std::string ostile = "http://127.0.0.1:8080/storico.php?id=A1&x='$(rm -rf x)' ;\"q\"";
  struct Caso {
    std::optional<int> esito;  // the launcher's exit code, none when missing
    bool portaOspite;
    std::string argomenti;
    bool avviso;
  };
  for (const Caso& c : {Caso{0, false, ostile + "|", false}, Caso{3, false, ostile + "|", true},
                        Caso{std::nullopt, false, "", true}, Caso{0, true, "", true}}) {
    std::filesystem::remove_all(bin / "xdg-open");
    std::filesystem::remove_all(bin / "argomenti");
    if (c.esito) {
      ScriviFile(bin / "xdg-open",
                 "#!/bin/sh\nprintf '%s|' \"$@\" > '" + (bin / "argomenti").string() +
                     "'\nwhile read k v; do [ \"$k\" = SigIgn: ] && echo $v > '" +
                     (bin / "ignorati").string() +
                     "'; done < /proc/$$/status\n/bin/ls -l /proc/$$/fd/ " + "/proc/$$/cwd > '" +
                     (bin / "ereditati").string() + "'\nexit " + std::to_string(*c.esito) + "\n");
      std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    }
    std::vector<std::string> aperti;
    if (c.portaOspite) {
      platform::ImpostaPortaBrowser([&](const std::string& url) {
        aperti.push_back(url);
        return false;
      });
    }
    const test::MessaggiRegistrati messaggi;
    BrowserUrl(ostile);
    platform::ImpostaPortaBrowser({});
    EXPECT_EQ(LeggiFile(bin / "argomenti"), c.argomenti);
    if (!c.argomenti.empty()) {
      const unsigned long long ignorati = std::stoull(LeggiFile(bin / "ignorati"), nullptr, 16);
      EXPECT_EQ(ignorati >> (SIGXFSZ - 1) & 1U, 0U);
      const std::string ereditati = LeggiFile(bin / "ereditati");
      EXPECT_THAT(ereditati, Not(HasSubstr("trattenuto")));
      EXPECT_THAT(ereditati, HasSubstr("-> " + casa.Percorso().string() + "\n"));
    }
    EXPECT_EQ(aperti, c.portaOspite ? std::vector{ostile} : std::vector<std::string>{});
    ASSERT_EQ(messaggi.Messaggi().size(), c.avviso ? 1U : 0U);
    if (c.avviso) {
      EXPECT_EQ(messaggi.Messaggi()[0].testo, "Impossibile avviare Internet Explorer");
      EXPECT_EQ(messaggi.Messaggi()[0].stile, platform::vbCritical + platform::vbOKOnly);
      EXPECT_EQ(messaggi.Messaggi()[0].titolo, "Avviso");
    }
  }
  std::signal(SIGXFSZ, xfszPrima);
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

TEST(CloseApplicationTest, WithoutADisplayDoesNothing) {
  MacchinaFinta macchina;
  macchina.Imposta("DISPLAY", std::nullopt);
  CloseApplication("Aggiornamenti Orvane Software");
  EXPECT_EQ(MacchinaFinta::Log(), "");
}

}  // namespace
}  // namespace orvane
