#include "platform/Registro.h"

#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "common/basUtilxx.h"
#include "platform/RegistroFormato.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"

namespace platform {
namespace {

using ::testing::HasSubstr;
using namespace std::literals;
using ::testing::Not;

using orvane::test::EsportaReg;
using orvane::test::LeggiFile;
using orvane::test::MacchinaFinta;
using orvane::test::RecordNelLog;
using orvane::test::ScriviFile;

std::string Sz(std::string_view testo) {
  return std::string(testo) + '\0';
}

class RegistroTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const HKEY h : aperte_)
      RegCloseKey(h);
  }

  HKEY Crea(HKEY radice, std::string_view percorso) {
    HKEY h = 0;
    EXPECT_EQ(RegCreateKeyEx(radice, percorso, 0, KEY_ALL_ACCESS, h), ERROR_SUCCESS) << percorso;
    aperte_.push_back(h);
    return h;
  }
  LSTATUS Apri(HKEY radice, std::string_view percorso, std::uint32_t accesso, HKEY& h) {
    const LSTATUS r = RegOpenKeyEx(radice, percorso, 0, accesso, h);
    if (r == ERROR_SUCCESS) aperte_.push_back(h);
    return r;
  }
  // A key that must open.
  HKEY Aperta(HKEY radice, std::string_view percorso, std::uint32_t accesso = KEY_ALL_ACCESS) {
    HKEY h = 0;
    EXPECT_EQ(Apri(radice, percorso, accesso, h), ERROR_SUCCESS) << percorso;
    return h;
  }
  static LSTATUS Scrivi(HKEY h, std::string_view nome, std::uint32_t tipo,
                        const std::string& dati) {
    return RegSetValueEx(h, nome, tipo, dati.data(), static_cast<std::uint32_t>(dati.size()));
  }
  static std::pair<std::uint32_t, std::string> Leggi(HKEY h, std::string_view nome) {
    std::uint32_t tipo = 0;
    std::string dati;
    EXPECT_EQ(LeggiValoreRegistro(h, nome, tipo, dati), ERROR_SUCCESS) << nome;
    return {tipo, dati};
  }
  static LSTATUS Cerca(HKEY h, std::string_view nome) {
    std::uint32_t tipo = 0;
    std::string dati;
    return LeggiValoreRegistro(h, nome, tipo, dati);
  }
  [[nodiscard]] std::string File(const std::string& radice = "HKEY_CURRENT_USER") const {
    return LeggiFile(macchina_.FileRadice(radice));
  }

  MacchinaFinta macchina_;
  std::vector<HKEY> aperte_;
};

TEST_F(RegistroTest, EveryValueTypeAndAwkwardNameRoundTripsThroughTheFileExactly) {
  std::string binario;
  for (int i = 0; i < 100; ++i)
    binario += static_cast<char>(i * 7);
  const std::vector<ValoreFileRegistro> valori{
      {"testo", REG_SZ, Sz("Rossi & Figli \"srl\" C:\\dati\\ [x]=y àèìòù €")},
      {"nome \"strano\" \\ = [sezione] à\nseconda riga\r", REG_SZ, Sz("a\r\nb")},
      {"", REG_SZ, Sz("predefinito")},
      {"espandi", REG_EXPAND_SZ, Sz("%HOME%\\dati ü")},
      {"numero", REG_DWORD, std::string("\x2a\x00\x00\x00", 4)},
      {"binario", REG_BINARY, binario},
      {"multi", REG_MULTI_SZ, std::string("uno\0dué\0\0", 10)},
      {"qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {"nessuno", REG_NONE, ""},
      {"grezzo", REG_SZ, "\xE8\xFF senza zero finale"},
      {"vuoto", REG_SZ, ""},
      {"dword corta", REG_DWORD, "\x01"},
  };
  const HKEY h = Crea(HKEY_CURRENT_USER, "Software\\Orvane\\Prova");
  for (const auto& v : valori)
    ASSERT_EQ(Scrivi(h, v.nome, v.tipo, v.dati), ERROR_SUCCESS);

  for (const auto& v : valori)
    EXPECT_EQ(Leggi(h, v.nome), std::make_pair(v.tipo, v.dati)) << v.nome;
  // The file itself holds them: read on its own, it gives back every byte.
  const FileRegistro file = AnalizzaFileRegistro(File());
  EXPECT_EQ(file.numeroProblemi, 0U);
  ASSERT_FALSE(file.sezioni.empty());
  EXPECT_EQ(file.sezioni.back().chiave, "HKEY_CURRENT_USER\\Software\\Orvane\\Prova");
  EXPECT_EQ(file.sezioni.back().valori, valori);
  // In the forms the Windows registry editor reads, parent keys included.
  const std::string testo = TestoUtf8DelFileRegistro(File());
  EXPECT_EQ(testo.rfind("Windows Registry Editor Version "
                        "5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n",
                        0),
            0U);
  EXPECT_THAT(testo, HasSubstr("\r\n\"testo\"=\"Rossi & Figli \\\"srl\\\" C:\\\\dati\\\\ [x]"));
  EXPECT_THAT(testo, HasSubstr(",\\\r\n  ")) << "long hex data wraps";
}

TEST_F(RegistroTest, NamesIgnoreCaseAndKeepTheSpellingTheyWereCreatedWith) {
  const HKEY h = Crea(HKEY_CURRENT_USER, "Software\\Vuldra\\Vestrum");
  ASSERT_EQ(Scrivi(h, "Server", REG_SZ, Sz("SQL01")), ERROR_SUCCESS);
  const HKEY altra = Aperta(HKEY_CURRENT_USER, "SOFTWARE\\vuldra\\VESTRUM");
  EXPECT_EQ(Leggi(altra, "SERVER").second, Sz("SQL01"));
  ASSERT_EQ(Scrivi(altra, "server", REG_SZ, Sz("SQL02")), ERROR_SUCCESS);

  std::string nome;
  std::uint32_t tipo = 0;
  std::string dati;
  ASSERT_EQ(RegEnumValue(h, 0, nome, &tipo, &dati), ERROR_SUCCESS);
  EXPECT_EQ(std::make_pair(nome, dati), std::make_pair("Server"s, Sz("SQL02")));
  EXPECT_EQ(RegEnumValue(h, 1, nome, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  const HKEY software = Aperta(HKEY_CURRENT_USER, "software", KEY_READ);
  std::vector<std::string> sottochiavi;
  for (std::uint32_t i = 0; RegEnumKeyEx(software, i, nome) == ERROR_SUCCESS; ++i)
    sottochiavi.push_back(nome);
  EXPECT_EQ(sottochiavi, (std::vector<std::string>{"Microsoft", "Vuldra"}));
}

TEST_F(RegistroTest, OpeningAndWritingValuesNeverCreateKeysAndDeletedKeysStayGone) {
  HKEY h = 0;
  EXPECT_EQ(Apri(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane", KEY_ALL_ACCESS, h), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(macchina_.Registro()));

  const HKEY chiave = Crea(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane");
  ASSERT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane"), ERROR_SUCCESS);
  // A handle to a deleted key writes nothing and brings nothing back.
  EXPECT_EQ(Scrivi(chiave, "x", REG_SZ, Sz("y")), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteValue(chiave, "x"), ERROR_KEY_DELETED);
  EXPECT_EQ(Apri(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane", KEY_READ, h), ERROR_FILE_NOT_FOUND);
  EXPECT_THAT(TestoUtf8DelFileRegistro(File("HKEY_LOCAL_MACHINE")), Not(HasSubstr("Orvane")));

  // A key with subkeys goes only as a whole tree.
  Crea(HKEY_CLASSES_ROOT, "CLSID\\{1}\\InprocServer32");
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "CLSID\\{1}"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "CLSID\\{2}"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
  ASSERT_EQ(RegDeleteTree(HKEY_CLASSES_ROOT, "clsid\\{1}"), ERROR_SUCCESS);
  EXPECT_EQ(Apri(HKEY_CLASSES_ROOT, "CLSID\\{1}", KEY_READ, h), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Apri(HKEY_CLASSES_ROOT, "CLSID", KEY_READ, h), ERROR_SUCCESS);
}

TEST_F(RegistroTest, FailuresComeBackAsWindowsErrorCodes) {
  const HKEY h = Crea(HKEY_CURRENT_USER, "Software\\Prova");
  ASSERT_EQ(Scrivi(h, "testo", REG_SZ, Sz("abcdef")), ERROR_SUCCESS);
  HKEY x = 0;
  // Unknown handles, the unknown-root handle among them, fail every operation.
  for (const HKEY sconosciuto : {HKEY{0}, HKEY{0x88888888U}, HKEY{0x80000007U}, HKEY{12345}}) {
    EXPECT_EQ(RegOpenKeyEx(sconosciuto, "Software", 0, KEY_READ, x), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyEx(sconosciuto, "Software", 0, KEY_READ, x), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Cerca(sconosciuto, "testo"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Scrivi(sconosciuto, "testo", REG_SZ, Sz("x")), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteValue(sconosciuto, "testo"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(sconosciuto), ERROR_INVALID_HANDLE);
  }
  EXPECT_EQ(RegDeleteValue(h, "mancante"), ERROR_FILE_NOT_FOUND);
  // Too small a buffer says so, and how large it must be.
  std::uint32_t tipo = 0;
  std::uint32_t dimensione = 3;
  std::string buffer(3, 'x');
  EXPECT_EQ(RegQueryValueEx(h, "testo", &tipo, buffer.data(), &dimensione), ERROR_MORE_DATA);
  EXPECT_EQ(std::make_pair(tipo, dimensione), std::make_pair(REG_SZ, 7U));
  // A handle only does what it was opened for.
  const HKEY lettura = Aperta(HKEY_CURRENT_USER, "Software\\Prova", KEY_QUERY_VALUE);
  EXPECT_EQ(Scrivi(lettura, "testo", REG_SZ, Sz("no")), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValue(lettura, "testo"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegQueryValueEx(Aperta(HKEY_CURRENT_USER, "Software\\Prova", KEY_SET_VALUE), "testo",
                            &tipo, nullptr, &dimensione),
            ERROR_ACCESS_DENIED);
  // Malformed paths and names.
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, x), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\\\Doppia", 0, KEY_READ, x),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\a\nb", 0, KEY_READ, x),
            ERROR_INVALID_PARAMETER);
  // The file names the root too: 511 levels below it are the most it holds.
  std::string profonda = "a";
  for (int i = 1; i < 511; ++i)
    profonda += "\\a";
  ASSERT_EQ(RegCreateKeyEx(h, profonda.substr(2 * 2), 0, KEY_READ, x), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(x), ERROR_SUCCESS);
  EXPECT_EQ(RegCreateKeyEx(h, profonda.substr(2), 0, KEY_READ, x), ERROR_BAD_PATHNAME);
  EXPECT_EQ(Scrivi(h, std::string("a\0b", 3), REG_SZ, Sz("x")), ERROR_INVALID_PARAMETER);
  // A closed handle is gone; a root handle closes harmlessly.
  ASSERT_EQ(RegCloseKey(lettura), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(lettura), ERROR_INVALID_HANDLE);
  std::erase(aperte_, lettura);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

// As earlier versions wrote it: UTF-8, names and text with bytes that are
// not UTF-8 as they were stored, and string data that is not UTF-16.
TEST_F(RegistroTest, FileThisStoreWroteInUtf8IsRewrittenInUtf16WithoutLosingAnything) {
  ScriviFile(macchina_.FileRadice("HKEY_CURRENT_USER"),
             "Windows Registry Editor Version 5.00\r\n\r\n"
             "[HKEY_CURRENT_USER\\Software\\perché\\n\xE8]\r\n"
             "\"nome è\"=\"perché €\"\r\n\"n\xE8\"=\"caf\xE9\"\r\n"
             "\"dispari\"=hex(1):61,00,62\r\n\"isolato\"=hex(2):00,d8,00,00\r\n");
  const std::vector<std::pair<std::string, std::pair<std::uint32_t, std::string>>> valori{
      {"nome è", {REG_SZ, Sz("perché €")}},
      {"n\xE8", {REG_SZ, Sz("caf\xE9")}},
      {"dispari", {REG_SZ, Utf8DaUtf16le("\x61\x00\x62"s)}},
      {"isolato", {REG_EXPAND_SZ, Utf8DaUtf16le("\x00\xD8\x00\x00"s)}}};
  const HKEY h = Aperta(HKEY_CURRENT_USER, "Software\\perché\\n\xE8");
  for (int volta = 0; volta < 2; ++volta) {
    for (const auto& [nome, valore] : valori)
      EXPECT_EQ(Leggi(h, nome), valore) << nome;
    ASSERT_EQ(Scrivi(h, "nuovo", REG_SZ, Sz("x")), ERROR_SUCCESS);
    EXPECT_EQ(File().rfind("\xFF\xFEW\0"sv, 0), 0U);
  }
  // Text readers, which stop at the first zero byte, read the characters.
  EXPECT_EQ(Leggi(h, "dispari").second.substr(0, 2), "a\0"s);
  // And the UTF-16 data goes out again as it came in.
  EXPECT_THAT(EsportaReg(HKEY_CURRENT_USER, "Software"),
              HasSubstr("\"dispari\"=hex(1):61,00,62\r\n\"isolato\"=hex(2):00,d8,00,00\r\n"));
}

TEST_F(RegistroTest, DamagedFileServesItsGoodLinesIsNeverRewrittenAndIsLoggedOnce) {
  const std::string danneggiato =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane]\r\n"
      "\"buono\"=\"sì\"\r\n"
      "\"troncato\"=\"senza fine\r\n"
      "\"esadecimale\"=hex:01,zz,03\r\n"
      "spazzatura senza senso\r\n"
      "\"numero\"=dword:123456789\r\n"
      "[HKEY_CURRENT_USER\\Software\\Altra radice]\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvane\\Sotto]\n"
      "\"anche\"=\"questo\"\n";
  const auto file = macchina_.FileRadice("HKEY_LOCAL_MACHINE");
  ScriviFile(file, danneggiato);

  const HKEY h = Aperta(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane");
  EXPECT_EQ(Leggi(h, "buono").second, Sz("sì"));
  EXPECT_EQ(Leggi(Aperta(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane\\Sotto", KEY_READ), "anche").second,
            Sz("questo"));
  EXPECT_EQ(Cerca(h, "troncato"), ERROR_FILE_NOT_FOUND);
  // Writing would drop the lines that could not be read: refused.
  EXPECT_EQ(Scrivi(h, "nuovo", REG_SZ, Sz("x")), ERROR_BADDB);
  EXPECT_EQ(RegDeleteValue(h, "buono"), ERROR_BADDB);
  HKEY x = 0;
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nuova", 0, KEY_ALL_ACCESS, x),
            ERROR_BADDB);
  // Nothing to change is still just a miss.
  EXPECT_EQ(RegDeleteValue(h, "mancante"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(LeggiFile(file), danneggiato);

  const std::string log = MacchinaFinta::Log();
  EXPECT_EQ(RecordNelLog(log), 1U) << log;
  EXPECT_THAT(log,
              HasSubstr(file.string() + "\" ha righe non valide (riga 5: stringa non terminata"))
      << log;
  EXPECT_THAT(log, HasSubstr(" Errore numero   : 1009\r\n"));
  // A section of another root alone is a line a rewrite would drop too: an
  // import is refused as a write is.
  ScriviFile(file, "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Altra radice]\n");
  std::vector<ProblemaRegistro> problemi;
  EXPECT_EQ(ImportaRegistro("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n", problemi),
            ERROR_BADDB);
  // Other roots are not affected.
  Crea(HKEY_CURRENT_USER, "Software\\Orvane");
}

TEST_F(RegistroTest, FileThatIsNotARegistryFileFailsEveryOperationOnItsRoot) {
  const auto file = macchina_.FileRadice("HKEY_CURRENT_USER");
  for (const std::string& contenuto :
       {std::string("[HKEY_CURRENT_USER\\Software]\r\n\"a\"=\"b\"\r\n"),
        std::string("\x00\x01\x02 binario", 11), std::string(10U << 20U, '#')}) {
    ScriviFile(file, contenuto);
    std::filesystem::remove(orvane::FileLogErrori());
    HKEY h = 0;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, h), ERROR_BADDB);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "", 0, KEY_READ, h), ERROR_BADDB);
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\X", 0, KEY_ALL_ACCESS, h), ERROR_BADDB);
    EXPECT_EQ(Scrivi(HKEY_CURRENT_USER, "a", REG_SZ, Sz("c")), ERROR_BADDB);
    std::vector<ProblemaRegistro> problemi;
    EXPECT_EQ(ImportaRegistro("REGEDIT4\n\n[HKEY_CURRENT_USER\\X]\n", problemi), ERROR_BADDB);
    EXPECT_EQ(LeggiFile(file), contenuto);
    const std::string log = MacchinaFinta::Log();
    EXPECT_EQ(RecordNelLog(log), 1U);
    EXPECT_THAT(log, HasSubstr("riga 1"));
  }
}

TEST_F(RegistroTest, FifoInPlaceOfTheFileOrOfTheLogFailsInsteadOfBlocking) {
  const auto file = macchina_.FileRadice("HKEY_CURRENT_USER");
  std::filesystem::create_directories(file.parent_path());
  std::filesystem::remove(orvane::FileLogErrori());
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  ASSERT_EQ(::mkfifo(orvane::FileLogErrori().c_str(), 0600), 0);
  // In a child process whose alarm ends a blocked open instead of hanging the test.
  const pid_t figlio = ::fork();
  ASSERT_GE(figlio, 0);
  if (figlio == 0) {
    ::alarm(20);
    HKEY h = 0;
    const LSTATUS lettura = RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, h);
    const LSTATUS scrittura = RegCreateKeyEx(HKEY_CURRENT_USER, "X", 0, KEY_ALL_ACCESS, h);
    ::_exit(lettura == ERROR_REGISTRY_IO_FAILED && scrittura == ERROR_REGISTRY_IO_FAILED ? 0 : 1);
  }
  int stato = 0;
  ASSERT_EQ(::waitpid(figlio, &stato, 0), figlio);
  std::filesystem::remove(orvane::FileLogErrori());
  EXPECT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == 0) << "blocked on a FIFO: " << stato;
}

TEST_F(RegistroTest, TwoProcessesWritingTheSameFileAtOnceLoseNothing) {
  constexpr int kValori = 60;
  orvane::test::Processo a(ORVANE_SCRIVI_REGISTRO, {"A", std::to_string(kValori)});
  orvane::test::Processo b(ORVANE_SCRIVI_REGISTRO, {"B", std::to_string(kValori)});
  ASSERT_EQ(a.Attendi(std::chrono::seconds(60)), 0);
  ASSERT_EQ(b.Attendi(std::chrono::seconds(60)), 0);

  const HKEY h = Aperta(HKEY_CURRENT_USER, "Software\\Prova", KEY_READ);
  for (const char* prefisso : {"A", "B"}) {
    for (int i = 0; i < kValori; ++i)
      EXPECT_EQ(Leggi(h, prefisso + std::to_string(i)).second, Sz("valore " + std::to_string(i)));
  }
  std::string nome;
  EXPECT_EQ(RegEnumValue(h, 2 * kValori, nome, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistroTest, RewrittenFileKeepsItsOwnerAndALinkToItStaysALink) {
  const HKEY h = Crea(HKEY_CURRENT_USER, "Software\\Prova");
  ASSERT_EQ(Scrivi(h, "prima", REG_SZ, Sz("1")), ERROR_SUCCESS);
  const auto file = macchina_.FileRadice("HKEY_CURRENT_USER");
  const auto altrove = macchina_.Percorso() / "altrove.reg";
  std::filesystem::rename(file, altrove);
  std::filesystem::create_symlink("../altrove.reg", file);
  // Root (support staff with sudo) writing a user's file must leave it the user's.
  const bool root = ::geteuid() == 0;
  ASSERT_TRUE(!root || ::chown(altrove.c_str(), 65534, 65534) == 0);

  ASSERT_EQ(Scrivi(h, "dopo", REG_SZ, Sz("2")), ERROR_SUCCESS);
  EXPECT_TRUE(std::filesystem::is_symlink(file));
  EXPECT_THAT(TestoUtf8DelFileRegistro(LeggiFile(altrove)), HasSubstr("\"dopo\""));
  struct stat st {};
  ASSERT_EQ(::stat(altrove.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777U, 0600U);
  EXPECT_TRUE(!root || (st.st_uid == 65534U && st.st_gid == 65534U)) << st.st_uid;
  EXPECT_EQ(Leggi(h, "prima").second, Sz("1"));
}

TEST_F(RegistroTest, ExportedTextImportsBackIntoTheSameTreeAndABadLineStopsAWholeImport) {
  const HKEY h = Crea(HKEY_CURRENT_USER, "Software\\Orvane\\Kovra");
  ASSERT_EQ(Scrivi(h, "DRIVE_ARCH", REG_SZ, Sz("D:\\Archivi")), ERROR_SUCCESS);
  ASSERT_EQ(Scrivi(h, "Soglia", REG_DWORD, std::string("\x10\0\0\0", 4)), ERROR_SUCCESS);
  Crea(HKEY_CURRENT_USER, "Software\\Orvane\\Vuota");
  std::string esportato;
  ASSERT_EQ(EsportaRegistro(HKEY_CURRENT_USER, "software\\orvane", esportato), ERROR_SUCCESS);
  const std::string kovra =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Orvane]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\Orvane\\Kovra]\r\n"
      "\"DRIVE_ARCH\"=\"D:\\\\Archivi\"\r\n";
  EXPECT_EQ(TestoUtf8DelFileRegistro(esportato),
            kovra +
                "\"Soglia\"=dword:00000010\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Orvane\\Vuota]\r\n\r\n");

  ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane"), ERROR_SUCCESS);
  std::vector<ProblemaRegistro> problemi;
  ASSERT_EQ(ImportaRegistro(esportato, problemi), ERROR_SUCCESS);
  EXPECT_EQ(EsportaReg(HKEY_CURRENT_USER, "Software\\Orvane"), TestoUtf8DelFileRegistro(esportato));

  // Deletions as the Windows editor writes them.
  ASSERT_EQ(ImportaRegistro("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Orvane\\Kovra]\n"
                            "\"Soglia\"=-\n\n[-HKEY_CURRENT_USER\\Software\\Orvane\\Vuota]\n",
                            problemi),
            ERROR_SUCCESS);
  EXPECT_EQ(EsportaReg(HKEY_CURRENT_USER, "Software\\Orvane"), kovra + "\r\n");

  // With any bad line nothing is applied, and every bad line is named.
  const std::string conErrori =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Software\\Orvane\\Kovra]\n"
      "\"ok\"=\"sì\"\n"
      "\"rotto\"=hex:1,2,xyz\n"
      "[HKLM_SBAGLIATA\\Software]\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]"
      "\n"
      "\"numero\"=dword:00000001\n";
  EXPECT_EQ(ImportaRegistro(conErrori, problemi), ERROR_BADDB);
  std::vector<std::size_t> righe;
  for (const auto& p : problemi)
    righe.push_back(p.riga);
  EXPECT_EQ(righe, (std::vector<std::size_t>{5, 6, 7}));
  EXPECT_EQ(EsportaReg(HKEY_CURRENT_USER, "Software\\Orvane"), kovra + "\r\n");
}

}  // namespace
}  // namespace platform
