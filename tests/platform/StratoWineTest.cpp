// The Wine prefix below the registry store and the drive letters: Wine's
// registry file format, the store's precedence over the prefix, a prefix
// that is never written, files that cannot be used, and how the prefix and
// its drives are found.
#include <gmock/gmock.h>
#include <pthread.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/Impostazioni.h"
#include "platform/Percorsi.h"
#include "platform/PrefissoWine.h"
#include "platform/Registro.h"
#include "platform/RegistroFormato.h"
#include "platform/RegistroWineFormato.h"
#include "tests/support/AltroUtente.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using orvane::test::kUtenteNessuno;
using orvane::test::LeggiFile;
using orvane::test::LeggiTesto;
using orvane::test::Ripeti;
using orvane::test::ScriviFile;
using orvane::test::ScriviTesto;
using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::SizeIs;

constexpr std::string_view kIntestazione =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n"
    "#arch=win64\n"
    "\n";
const std::string kUtente = R"(Software\VB and VBA Program Settings\TARVIKX\Utente)";

TEST(RegistroWineFormatoTest, ReadsEveryFormWineWrites) {
  const std::string testo = std::string(kIntestazione) +
                            "[Software\\\\VB and VBA Program Settings\\\\TARVIKX\\\\Utente] "
                            "1796621194\n"
                            "#time=1dd860b863a5af6\n"
                            "@=\"predefinito\"\n"
                            "\"PercXx\"=\"D:\\\\Dati\\\\Contabilit\\xe0\"\n"
                            "\"Segni\"=\"a\\tb\\\"c\\033\\x20ac\\x00e9a\\xd83d\\xde00\"\n"
                            "\"Nom\\xe8\"=str(2):\"%HOME%\\\\x\"\n"
                            "\"Multi\"=str(7):\"uno\\0due\\0\"\n"
                            "\"Numero\"=dword:0000002a\n"
                            "\"Bin\"=hex:01,02,\\\n"
                            "  ff\n"
                            "\"Lista\"=hex(7):61,00,00,00,00,00\n"
                            "\n"
                            "[Software\\\\Chiave \\[con\\] parentesi] 1796621194\n"
                            "#link\n"
                            "#class=\"x\"\n"
                            "\"SymbolicLinkValue\"=hex(6):5c,00\n"
                            // DEL, the one control character Wine writes raw.
                            "\"Del\"=\"x\x7Fy\"\n"
                            // Beyond what Windows allows, as Wine 8 wrote it: a key name
                            // of 256 UTF-16 units (510 bytes of UTF-8 here).
                            "[" +
                            Ripeti("\\xe8", 256) + "] 1\n";
  const FileRegistro f = AnalizzaFileRegistroWine(testo);
  ASSERT_EQ(f.numeroProblemi, 0U) << f.problemi.front().riga << f.problemi.front().descrizione;
  ASSERT_THAT(f.sezioni, SizeIs(3));
  EXPECT_EQ(f.sezioni[2].chiave, Ripeti("è", 256));
  EXPECT_EQ(f.sezioni[0].chiave, kUtente);
  EXPECT_THAT(f.sezioni[0].valori,
              ElementsAre(ValoreFileRegistro{"", REG_SZ, "predefinito\0"s},
                          ValoreFileRegistro{"PercXx", REG_SZ, "D:\\Dati\\Contabilità\0"s},
                          ValoreFileRegistro{"Segni", REG_SZ, "a\tb\"c\x1b€éa😀\0"s},
                          ValoreFileRegistro{"Nomè", REG_EXPAND_SZ, "%HOME%\\x\0"s},
                          ValoreFileRegistro{"Multi", REG_MULTI_SZ, "uno\0due\0\0"s},
                          ValoreFileRegistro{"Numero", REG_DWORD, "\x2a\0\0\0"s},
                          ValoreFileRegistro{"Bin", REG_BINARY, "\x01\x02\xff"s},
                          ValoreFileRegistro{"Lista", REG_MULTI_SZ, "a\0\0"s}));
  EXPECT_EQ(f.sezioni[1].chiave, R"(Software\Chiave [con] parentesi)");
  EXPECT_THAT(f.sezioni[1].valori, ElementsAre(ValoreFileRegistro{"SymbolicLinkValue", 6, "\\\0"s},
                                               ValoreFileRegistro{"Del", REG_SZ, "x\x7Fy\0"s}));
  // A separator after the last name names the same key.
  EXPECT_EQ(AnalizzaFileRegistroWine(std::string(kIntestazione) + "[Software\\\\Orvane\\\\] 1\n")
                .sezioni.at(0)
                .chiave,
            "Software\\Orvane");
}

TEST(RegistroWineFormatoTest, HostileLinesAreSkippedAndBrokenFilesRefused) {
  const std::string chiave = std::string(kIntestazione) + "[Software\\\\Orvane] 1\n";
  // Follows every bad line: what comes after one is still read.
  const std::string buona = "[Software\\\\Buona] 1\n\"v\"=\"ok\"\n";
  const struct {
    const char* caso;
    std::string testo;
    bool rifiutato;  // nothing of the file is used
  } casi[] = {
      {"empty", "", true},
      {"header of the Windows editor",
       "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER]\n", true},
      {"header only, cut before its line end", "WINE REGISTRY Version 2", true},
      {"cut inside a string", chiave + "\"a\"=\"D:\\\\Da", true},
      {"cut after a complete value, without its line end", chiave + "\"a\"=\"x\"", true},
      {"cut inside wrapped hex data", chiave + "\"a\"=hex:01,\\\n", true},
      {"more than 500,000 keys", std::string(kIntestazione) + Ripeti("[k] 1\n", 500'001), true},
      {"more than 500,000 keys made by 31 lines",
       [] {
         std::string t(kIntestazione);
         for (int i = 0; i < 31; ++i)
           t += "[k" + std::to_string(i) + Ripeti("\\\\a", 16383) + "] 1\n";
         return t;
       }(),
       true},
      {"more than 2,000,000 values", chiave + Ripeti("@=\"\"\n", 2'000'001), true},
      {"unknown escape", chiave + "\"a\"=\"\\q\"\n" + buona, false},
      {"\\x without digits", chiave + "\"a\"=\"\\xg\"\n" + buona, false},
      {"backslash before the line end", chiave + "\"a\"=\"x\\\n" + buona, false},
      {"raw byte outside ASCII", chiave + "\"a\"=\"perch\xc3\xa9\"\n" + buona, false},
      {"raw control character", chiave + "\"a\"=\"x\ty\"\n" + buona, false},
      {"odd hex digit", chiave + "\"a\"=hex:0\n" + buona, false},
      {"wrapped hex data that does not go on", chiave + "\"a\"=hex:01,\\\n" + buona, false},
      {"dword too long", chiave + "\"a\"=dword:0000000001\n" + buona, false},
      {"value before any key", std::string(kIntestazione) + "\"a\"=\"x\"\n" + buona, false},
      {"unknown option", chiave + "#ignota\n" + buona, false},
      // A key skipped takes its values with it, unreported one by one.
      {"empty key name",
       std::string(kIntestazione) + "[Software\\\\\\\\x] 1\n\"a\"=\"x\"\n" + buona, false},
      {"key name longer than Wine takes",
       std::string(kIntestazione) + "[" + Ripeti("\\xe8", 257) + "] 1\n\"a\"=\"x\"\n" + buona,
       false},
      {"zero in a key name", std::string(kIntestazione) + "[a\\0b] 1\n\"a\"=\"x\"\n" + buona,
       false},
      {"key nested deeper than 16384 levels",
       std::string(kIntestazione) + "[" + Ripeti("a\\\\", 16384) + "a] 1\n\"a\"=\"x\"\n" + buona,
       false},
      {"enormous unterminated line",
       chiave + "\"a\"=\"" + std::string(2U << 20U, 'x') + "\n" + buona, false},
      {"enormous line of bad hex",
       chiave + "\"a\"=hex:" + std::string(2U << 20U, ',') + "\n" + buona, false},
  };
  for (const auto& c : casi) {
    const FileRegistro f = AnalizzaFileRegistroWine(c.testo);
    EXPECT_FALSE(f.problemi.empty()) << c.caso;
    if (c.rifiutato) {
      EXPECT_FALSE(f.riconosciuto) << c.caso;
      EXPECT_TRUE(f.sezioni.empty()) << c.caso;
      continue;
    }
    EXPECT_EQ(f.numeroProblemi, 1U) << c.caso;
    ASSERT_TRUE(f.riconosciuto) << c.caso;
    ASSERT_FALSE(f.sezioni.empty()) << c.caso;
    EXPECT_EQ(f.sezioni.back().chiave, "Software\\Buona") << c.caso;
    EXPECT_THAT(f.sezioni.back().valori, ElementsAre(ValoreFileRegistro{"v", REG_SZ, "ok\0"s}))
        << c.caso;
    for (const auto& sezione : f.sezioni)
      EXPECT_THAT(sezione.valori, Not(Contains(Field(&ValoreFileRegistro::nome, "a")))) << c.caso;
  }
}

class StratoWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(macchina_.Wine() / "dosdevices");
    ScriviFile(
        macchina_.Wine() / "system.reg",
        "WINE REGISTRY Version 2\n\n[Software\\\\Orvane\\\\Macchina] 1\n\"Sede\"=\"Roma\"\n");
    ScriviFile(macchina_.Wine() / "user.reg",
               std::string(kIntestazione) +
                   "[Software\\\\VB and VBA Program Settings\\\\TARVIKX\\\\Utente] 1\n"
                   "\"PercXx\"=\"D:\\\\Wine\"\n\"Server\"=\"SRV\\\\SQL\"\n"
                   "[Software\\\\VB and VBA Program Settings\\\\Orvane\\\\Kovra] 1\n"
                   "\"DRIVE_ARCH\"=\"C:\\\\Archivi\"\n");
    prima_ = ImpostaSegnalazioneRegistro(
        [this](const SegnalazioneRegistro& s) { segnalazioni_.push_back(s.descrizione); });
  }
  // The program's own port (the error log) comes back for the tests after.
  void TearDown() override { ImpostaSegnalazioneRegistro(std::move(prima_)); }
  PortaSegnalazioniRegistro prima_;

  orvane::test::MacchinaFinta macchina_;
  std::vector<std::string> segnalazioni_;
};

TEST_F(StratoWineTest, TheStoreWinsValueByValueAndEveryChangeStaysInTheStore) {
  const std::string utente = LeggiFile(macchina_.Wine() / "user.reg");
  const std::string programmi = R"(Software\VB and VBA Program Settings)";
  ScriviTesto(HKEY_CURRENT_USER, kUtente, "PercXx", R"(C:\Mio)");
  EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "PercXx"), R"(C:\Mio)");
  EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "Server"), R"(SRV\SQL)");
  EXPECT_EQ(LeggiTesto(HKEY_LOCAL_MACHINE, R"(SOFTWARE\ORVANE\Macchina)", "Sede"), "Roma");

  // Deleting the store's value shows the prefix's again; the prefix's own
  // values and keys cannot be deleted.
  HKEY h = 0;
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, kUtente, 0, KEY_ALL_ACCESS, h), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValue(h, "PercXx"), ERROR_SUCCESS);
  EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "PercXx"), R"(D:\Wine)");
  EXPECT_EQ(RegDeleteValue(h, "Server"), ERROR_ACCESS_DENIED);
  RegCloseKey(h);
  EXPECT_EQ(RegDeleteTree(HKEY_CURRENT_USER, programmi), ERROR_ACCESS_DENIED);
  // A key only the prefix holds takes a value in the store, and both
  // programs' keys are listed.
  ScriviTesto(HKEY_CURRENT_USER, programmi + R"(\Orvane\Kovra)", "Nuovo", "sì");
  EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, programmi + R"(\Orvane\Kovra)", "DRIVE_ARCH"),
            R"(C:\Archivi)");
  ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, programmi, 0, KEY_READ, h), ERROR_SUCCESS);
  std::vector<std::string> figli;
  std::string nome;
  for (std::uint32_t i = 0; RegEnumKeyEx(h, i, nome) == ERROR_SUCCESS; ++i)
    figli.push_back(nome);
  RegCloseKey(h);
  EXPECT_THAT(figli, ElementsAre("Orvane", "TARVIKX"));

  // Support staff see where each value comes from.
  ScriviTesto(HKEY_CURRENT_USER, kUtente, "CodAzi", "01");
  const orvane::test::Esito e = orvane::test::Esegui(ORVANE_REG, {"query", "HKCU\\" + kUtente});
  EXPECT_EQ(e.codice, 0) << e.err;
  EXPECT_THAT(e.out, AllOf(HasSubstr("    CodAzi    REG_SZ    01\n"),
                           HasSubstr("    Server    REG_SZ    SRV\\SQL    [Wine: " +
                                     (macchina_.Wine() / "user.reg").string() + "]\n")));

  EXPECT_EQ(LeggiFile(macchina_.Wine() / "user.reg"), utente);
  // The store holds only what was written to it.
  EXPECT_THAT(TestoUtf8DelFileRegistro(LeggiFile(macchina_.FileRadice("HKEY_CURRENT_USER"))),
              AllOf(HasSubstr("\"Nuovo\"=\"sì\""), Not(HasSubstr("SRV"))));
  EXPECT_TRUE(segnalazioni_.empty());
}

// Keys beyond the store's limits, as Wine 8 writes them: read like any
// other, never copied into the store's files, which could not hold them.
TEST_F(StratoWineTest, KeysOnlyWineAllowsAreReadButNeverWrittenBelow) {
  const std::string profonda = "Software\\Deep\\" + Ripeti("a\\", 518) + "a";
  const std::string lunga = "Software\\" + std::string(256, 'k');
  const std::string aCapo = "Software\\riga\nnuova";
  ScriviFile(macchina_.Wine() / "user.reg",
             std::string(kIntestazione) + "[Software\\\\Deep\\\\" + Ripeti("a\\\\", 518) +
                 "a] 1\n\"v\"=\"profonda\"\n[Software\\\\" + std::string(256, 'k') +
                 "] 1\n\"v\"=\"lunga\"\n[Software\\\\riga\\nnuova] 1\n\"v\"=\"a capo\"\n");
  for (const auto& [percorso, valore] :
       {std::pair{profonda, "profonda"}, std::pair{lunga, "lunga"}, std::pair{aCapo, "a capo"}}) {
    EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, percorso, "v"), valore);
    HKEY h = 0;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, percorso, 0, KEY_ALL_ACCESS, h), ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueEx(h, "w", REG_SZ, "x", 2), ERROR_ACCESS_DENIED) << valore;
    RegCloseKey(h);
  }
  // Shown whole, the keys go 512 levels down, and a line break in a name
  // cannot make a line of its own.
  const orvane::test::Esito tutte =
      orvane::test::Esegui(ORVANE_REG, {"query", "HKCU\\Software", "/s"});
  EXPECT_EQ(tutte.codice, 0) << tutte.err;
  // (Found or not, not printed: the output is long.)
  EXPECT_NE(tutte.out.find("HKCU\\Software\\riga\\x0anuova\n"), std::string::npos);
  EXPECT_EQ(tutte.out.find("profonda"), std::string::npos);
  EXPECT_FALSE(fs::exists(macchina_.FileRadice("HKEY_CURRENT_USER")));
  // An export leaves out what the store could not import.
  std::string testo;
  ASSERT_EQ(EsportaRegistro(HKEY_CURRENT_USER, "Software", testo), ERROR_SUCCESS);
  EXPECT_THAT(TestoUtf8DelFileRegistro(testo), Not(HasSubstr("riga")));
  std::vector<ProblemaRegistro> problemi;
  EXPECT_EQ(ImportaRegistro(testo, problemi), ERROR_SUCCESS);
  EXPECT_THAT(problemi, SizeIs(0));
  EXPECT_TRUE(segnalazioni_.empty());
}

// Runs `corpo` on a thread of its own with a stack of `byte`.
void SuUnoStack(std::size_t byte, const std::function<void()>& corpo) {
  pthread_attr_t attributi;
  ASSERT_EQ(pthread_attr_init(&attributi), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributi, byte), 0);
  pthread_t filo;
  ASSERT_EQ(pthread_create(
                &filo, &attributi,
                [](void* c) -> void* {
                  (*static_cast<const std::function<void()>*>(c))();
                  return nullptr;
                },
                const_cast<void*>(static_cast<const void*>(&corpo))),
            0);
  pthread_join(filo, nullptr);
  pthread_attr_destroy(&attributi);
}

// A key as deep as a prefix's file may hold (Wine's editor writes over
// 16,000 levels) is read and exported on a small stack, and freed on a
// smaller one: nothing recurses once per level.
TEST_F(StratoWineTest, TheDeepestKeyOfAPrefixIsReadWithoutExhaustingTheStack) {
  ScriviFile(macchina_.Wine() / "user.reg", std::string(kIntestazione) + "[Software\\\\" +
                                                Ripeti("a\\\\", 16382) + "a] 1\n\"v\"=\"fondo\"\n");
  const std::string percorso = "Software\\" + Ripeti("a\\", 16382) + "a";
  SuUnoStack(2U << 20U, [&] {
    EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, percorso, "v"), "fondo");
    std::string testo;
    EXPECT_EQ(EsportaRegistro(HKEY_CURRENT_USER, "Software", testo), ERROR_SUCCESS);
  });
  // The file changes: the tree read from it is freed.
  ScriviFile(macchina_.Wine() / "user.reg", std::string(kIntestazione));
  SuUnoStack(256U << 10U,
             [&] { EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, percorso, "v"), std::nullopt); });
  EXPECT_TRUE(segnalazioni_.empty());
}

TEST_F(StratoWineTest, APrefixFileThatCannotBeUsedIsReportedOnceAndReadAsEmpty) {
  ScriviTesto(HKEY_CURRENT_USER, kUtente, "CodAzi", "01");
  const std::string buono = LeggiFile(macchina_.Wine() / "user.reg");
  for (const bool cartella : {false, true}) {
    segnalazioni_.clear();
    fs::remove(macchina_.Wine() / "user.reg");
    if (cartella) {
      fs::create_directory(macchina_.Wine() / "user.reg");
    } else {
      // Good values first, then the file is cut short: nothing of it is used.
      ScriviFile(macchina_.Wine() / "user.reg", buono + "\"Rotto\"=\"x");
    }
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "Server"), std::nullopt);
      EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "CodAzi"), "01");
    }
    EXPECT_EQ(LeggiTesto(HKEY_LOCAL_MACHINE, R"(Software\Orvane\Macchina)", "Sede"), "Roma");
    ASSERT_THAT(segnalazioni_, SizeIs(1)) << cartella;
    EXPECT_THAT(segnalazioni_[0], HasSubstr((macchina_.Wine() / "user.reg").string()));
    fs::remove(macchina_.Wine() / "user.reg");
  }
  // Mended, it is read again.
  ScriviFile(macchina_.Wine() / "user.reg", buono);
  EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "Server"), R"(SRV\SQL)");

  // A line that cannot be taken is left out, reported once; the rest is read.
  segnalazioni_.clear();
  ScriviFile(macchina_.Wine() / "user.reg", buono + "\"Rotto\"=\"\\q\"\n");
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "Server"), R"(SRV\SQL)");
  ASSERT_THAT(segnalazioni_, SizeIs(1));
  EXPECT_THAT(segnalazioni_[0], HasSubstr("righe non valide"));

  // A key of 300,000 values, the last one given twice, reads in one pass
  // over them (a search of the key's values for each took hours).
  std::string molti = buono + "[Software\\\\Molti] 1\n";
  for (int i = 0; i < 300'000; ++i)
    molti += "\"v" + std::to_string(i) + "\"=\"\"\n";
  molti += "\"V299999\"=\"ultimo\"\n";
  ScriviFile(macchina_.Wine() / "user.reg", molti);
  EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, "Software\\Molti", "v299999"), "ultimo");
}

TEST_F(StratoWineTest, DrivesMapThroughTheLinksOfDosdevicesUnlessTheEnvironmentNamesThem) {
  const fs::path dd = macchina_.Wine() / "dosdevices";
  fs::create_directories(macchina_.Wine() / "drive_c" / "Orvane" / "Tarvik");
  fs::create_directories(macchina_.Percorso() / "dati d");
  fs::create_directory_symlink("../drive_c", dd / "c:");
  fs::create_directory_symlink(macchina_.Percorso() / "dati d", dd / "d:");
  fs::create_directory_symlink(macchina_.Percorso() / "manca", dd / "e:");

  const fs::path c = fs::canonical(macchina_.Wine() / "drive_c");
  EXPECT_EQ(PercorsoLocale(R"(C:\ORVANE\TARVIK)"), c / "Orvane" / "Tarvik");
  EXPECT_EQ(CartellaUnita('d'), fs::canonical(macchina_.Percorso() / "dati d"));
  // A link to nothing leads nowhere, as Wine's drive does; a letter the
  // prefix lacks keeps Tervan's own folder.
  EXPECT_EQ(CartellaUnita('E'), dd / "e:");
  EXPECT_EQ(PercorsoLocale("f:\\Archivi"), macchina_.Dati() / "orvane" / "drive_f" / "Archivi");
  macchina_.Imposta("ORVANE_DRIVE_C", (macchina_.Percorso() / "mio c").string());
  macchina_.Imposta("ORVANE_DRIVE_D", (macchina_.Percorso() / "d").string());
  EXPECT_EQ(PercorsoLocale("C:\\ORVANE"), macchina_.Percorso() / "mio c" / "ORVANE");
  EXPECT_EQ(PercorsoLocale("D:\\Archivi"), macchina_.Percorso() / "d" / "Archivi");
  // Without $XDG_DATA_HOME, below the home folder.
  macchina_.Imposta("XDG_DATA_HOME", std::nullopt);
  macchina_.Imposta("HOME", macchina_.Percorso().string());
  EXPECT_EQ(CartellaUnita('f'), macchina_.Percorso() / ".local/share/orvane/drive_f");
  // "~" is the home folder, as in ORVANE_WINEPREFIX; a relative folder is
  // refused, never taken from wherever the program was started.
  macchina_.Imposta("ORVANE_DRIVE_D", "~/d");
  EXPECT_EQ(CartellaUnita('d'), macchina_.Percorso() / "d");
  macchina_.Imposta("ORVANE_DRIVE_C", "relativo");
  EXPECT_THROW((void)PercorsoLocale("C:\\ORVANE"), std::runtime_error);
}

// Without a prefix: drive C: is a folder of Tervan's own.
TEST(Percorsi, DrivePathsFindExistingFoldersWhateverTheirCaseAndNeverLeaveTheDrive) {
  orvane::test::MacchinaFinta macchina;
  const fs::path c = macchina.Dati() / "orvane" / "drive_c";
  fs::create_directories(c / "Orvane" / "Tarvik" / "Aggiornamenti");
  fs::create_directories(c / "Dati");
  fs::create_directories(c / "DATI");
  const std::vector<std::pair<std::string, fs::path>> casi{
      {"c:/orvane/tarvik/aggiornamenti/", c / "Orvane" / "Tarvik" / "Aggiornamenti"},
      // Names that do not exist yet keep their spelling, below as well.
      {"C:\\ORVANE\\SELVOR\\Dati", c / "Orvane" / "SELVOR" / "Dati"},
      {"C:", c},
      {"C:\\Dati", c / "Dati"},
      {"C:\\DATI", c / "DATI"},
      // No exact match: the first in name order, every time.
      {"C:\\dati", c / "DATI"},
      {"C:\\..\\..\\etc\\passwd", c / "etc" / "passwd"},
      {"C:\\ORVANE\\.\\TARVIK\\..\\..\\..\\SELVOR", c / "SELVOR"},
      // Paths without a drive pass through.
      {"/home/utente/File.TXT", "/home/utente/File.TXT"},
      {"", ""},
      {"1:\\x", "1:\\x"},
  };
  for (const auto& [windows, locale] : casi)
    EXPECT_EQ(PercorsoLocale(windows), locale) << windows;
}

TEST_F(StratoWineTest, ThePrefixIsTheNamedOneElseWinesOwnWhenItHoldsASystemReg) {
  EXPECT_EQ(PrefissoWine(), macchina_.Wine());
  fs::remove(macchina_.Wine() / "system.reg");
  EXPECT_EQ(PrefissoWine(), std::nullopt);
  EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "Server"), std::nullopt);

  // Without $WINEPREFIX, ~/.wine.
  macchina_.Imposta("HOME", macchina_.Percorso().string());
  macchina_.Imposta("WINEPREFIX", std::nullopt);
  fs::create_directory(macchina_.Percorso() / ".wine");
  EXPECT_EQ(PrefissoWine(), std::nullopt);
  ScriviFile(macchina_.Percorso() / ".wine" / "system.reg", "WINE REGISTRY Version 2\n");
  EXPECT_EQ(PrefissoWine(), macchina_.Percorso() / ".wine");

  // Named, it needs no system.reg; "~" is the home folder.
  macchina_.Imposta("ORVANE_WINEPREFIX", "~/wine");
  EXPECT_EQ(PrefissoWine(), macchina_.Wine());
  EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "Server"), R"(SRV\SQL)");
  EXPECT_EQ(ScegliPrefissoWine().origine, "variabile ORVANE_WINEPREFIX");
  // One named that cannot be used is said, and Wine's own is not taken instead.
  for (const auto& [nome, motivo] : {std::pair{"relativo/wine"s, "non è un percorso assoluto"s},
                                     {"~/mancante", "No such file or directory"},
                                     {"~/.wine/system.reg", "non è una cartella"}}) {
    macchina_.Imposta("ORVANE_WINEPREFIX", nome);
    const SceltaPrefissoWine scelta = ScegliPrefissoWine();
    EXPECT_EQ(scelta.prefisso, std::nullopt) << nome;
    EXPECT_THAT(scelta.rifiuto, AllOf(HasSubstr("variabile ORVANE_WINEPREFIX: prefisso Wine \""),
                                      HasSubstr("\" non utilizzabile: " + motivo)));
  }

  // The site settings name it below the environment; a broken one names
  // none, and leaves no other prefix to be taken in silence.
  const fs::path conf = macchina_.Configurazione() / "orvane" / "tervan.conf";
  ScriviFile(conf, "wineprefix = ~/wine\n");
  EXPECT_EQ(PrefissoWine(), std::nullopt);
  macchina_.Imposta("ORVANE_WINEPREFIX", std::nullopt);
  EXPECT_EQ(PrefissoWine(), macchina_.Wine());
  EXPECT_EQ(ScegliPrefissoWine().origine, conf.string() + ", riga 1");
  ScriviFile(conf, "wineprefix = ~/wine\nwineprefix = ~/wine\n");
  EXPECT_THROW((void)PrefissoWine(), ErroreImpostazioni);
  EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "Server"), std::nullopt);
  fs::remove(conf);

  // Wine runs in no prefix of another user, and neither does Tervan.
  macchina_.Imposta("ORVANE_WINEPREFIX", macchina_.Wine().string());
  if (::getuid() != 0) GTEST_SKIP() << "only root can give the prefix to another user";
  ASSERT_EQ(::chown(macchina_.Wine().c_str(), kUtenteNessuno, kUtenteNessuno), 0);
  EXPECT_EQ(PrefissoWine(), std::nullopt);
  EXPECT_THAT(ScegliPrefissoWine().rifiuto,
              HasSubstr("non utilizzabile: appartiene all'utente 65534"));
  EXPECT_EQ(LeggiTesto(HKEY_CURRENT_USER, kUtente, "Server"), std::nullopt);
  // Nor Wine's default one.
  ASSERT_EQ(::chown((macchina_.Percorso() / ".wine").c_str(), kUtenteNessuno, kUtenteNessuno), 0);
  macchina_.Imposta("ORVANE_WINEPREFIX", std::nullopt);
  EXPECT_EQ(PrefissoWine(), std::nullopt);
}

}  // namespace
}  // namespace platform
