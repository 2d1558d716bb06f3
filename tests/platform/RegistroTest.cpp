#include "platform/Registro.h"

#include <gmock/gmock.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "common/basUtilxx.h"
#include "platform/RegistroFormato.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"

namespace platform {
namespace {

using ::testing::HasSubstr;
using namespace std::string_view_literals;
using ::testing::Not;

using orvane::test::LeggiFile;
using orvane::test::MacchinaFinta;
using orvane::test::RecordNelLog;
using orvane::test::ScriviFile;

std::string Sz(std::string_view testo) {
  return std::string(testo) + '\0';
}

// Names of the entries of a folder, in name order.
std::vector<std::string> Voci(const std::filesystem::path& cartella) {
  std::vector<std::string> voci;
  for (const auto& voce : std::filesystem::directory_iterator(cartella))
    voci.push_back(voce.path().filename().string());
  std::sort(voci.begin(), voci.end());
  return voci;
}

struct Valore {
  std::string nome;
  std::uint32_t tipo;
  std::string dati;
};

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

  MacchinaFinta macchina_;
  std::vector<HKEY> aperte_;
};

TEST_F(RegistroTest, EveryValueTypeAndAwkwardNameRoundTripsThroughTheFileExactly) {
  std::string binario;
  for (int i = 0; i < 100; ++i)
    binario += static_cast<char>(i * 7);
  const std::vector<Valore> valori{
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
  const std::string contenuto = LeggiFile(macchina_.FileRadice("HKEY_CURRENT_USER"));
  const FileRegistro file = AnalizzaFileRegistro(contenuto);
  EXPECT_TRUE(file.riconosciuto);
  EXPECT_EQ(file.numeroProblemi, 0U);
  ASSERT_FALSE(file.sezioni.empty());
  EXPECT_EQ(file.sezioni.back().chiave, "HKEY_CURRENT_USER\\Software\\Orvane\\Prova");
  EXPECT_EQ(file.sezioni.back().valori.size(), valori.size());
  // In the forms the Windows registry editor reads, in UTF-16 as it writes.
  EXPECT_EQ(contenuto.rfind("\xFF\xFEW\0i\0n\0"sv, 0), 0U);
  const std::string testo = TestoUtf8DelFileRegistro(contenuto);
  EXPECT_EQ(testo.rfind(
                "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n", 0),
            0U);
  EXPECT_THAT(
      testo,
      HasSubstr("\r\n\"testo\"=\"Rossi & Figli \\\"srl\\\" C:\\\\dati\\\\ [x]=y àèìòù €\"\r\n"));
  EXPECT_THAT(testo, HasSubstr("\r\n@=\"predefinito\"\r\n"));
  EXPECT_THAT(testo, HasSubstr("\r\n\"numero\"=dword:0000002a\r\n"));
  EXPECT_THAT(testo, HasSubstr("\r\n\"espandi\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,"));
  EXPECT_THAT(testo, HasSubstr("\r\n\"binario\"=hex:00,07,0e,15,"));
  EXPECT_THAT(testo, HasSubstr(",\\\r\n  ")) << "long hex data wraps";
  EXPECT_THAT(testo, HasSubstr("\r\n\"vuoto\"=hex(1):\r\n"));
}

TEST_F(RegistroTest, NamesIgnoreCaseAndKeepTheSpellingTheyWereCreatedWith) {
  const HKEY h = Crea(HKEY_CURRENT_USER, "Software\\Vuldra\\Vestrum");
  ASSERT_EQ(Scrivi(h, "Server", REG_SZ, Sz("SQL01")), ERROR_SUCCESS);
  HKEY altra = 0;
  ASSERT_EQ(Apri(HKEY_CURRENT_USER, "SOFTWARE\\vuldra\\VESTRUM", KEY_ALL_ACCESS, altra),
            ERROR_SUCCESS);
  EXPECT_EQ(Leggi(altra, "SERVER").second, Sz("SQL01"));
  ASSERT_EQ(Scrivi(altra, "server", REG_SZ, Sz("SQL02")), ERROR_SUCCESS);

  std::string nome;
  std::uint32_t tipo = 0;
  std::string dati;
  ASSERT_EQ(RegEnumValue(h, 0, nome, &tipo, &dati), ERROR_SUCCESS);
  EXPECT_EQ(nome, "Server");
  EXPECT_EQ(dati, Sz("SQL02"));
  EXPECT_EQ(RegEnumValue(h, 1, nome, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
  HKEY software = 0;
  ASSERT_EQ(Apri(HKEY_CURRENT_USER, "software", KEY_READ, software), ERROR_SUCCESS);
  std::vector<std::string> sottochiavi;
  for (std::uint32_t i = 0; RegEnumKeyEx(software, i, nome) == ERROR_SUCCESS; ++i)
    sottochiavi.push_back(nome);
  EXPECT_EQ(sottochiavi, (std::vector<std::string>{"Microsoft", "Vuldra"}));
  EXPECT_THAT(TestoUtf8DelFileRegistro(LeggiFile(macchina_.FileRadice("HKEY_CURRENT_USER"))),
              HasSubstr("[HKEY_CURRENT_USER\\Software\\Vuldra\\Vestrum]\r\n\"Server\"=\"SQL02\""));
}

TEST_F(RegistroTest, OpeningAndWritingValuesNeverCreateKeys) {
  HKEY h = 0;
  EXPECT_EQ(Apri(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane", KEY_ALL_ACCESS, h), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(macchina_.Registro()));

  const HKEY chiave = Crea(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane");
  HKEY stessa = 0;
  ASSERT_EQ(Apri(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane", KEY_ALL_ACCESS, stessa), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane"), ERROR_SUCCESS);
  // A handle to a deleted key writes nothing and brings nothing back.
  EXPECT_EQ(Scrivi(chiave, "x", REG_SZ, Sz("y")), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteValue(stessa, "x"), ERROR_KEY_DELETED);
  EXPECT_EQ(Apri(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane", KEY_READ, h), ERROR_FILE_NOT_FOUND);
  EXPECT_THAT(TestoUtf8DelFileRegistro(LeggiFile(macchina_.FileRadice("HKEY_LOCAL_MACHINE"))),
              Not(HasSubstr("Orvane")));
}

TEST_F(RegistroTest, FailuresComeBackAsWindowsErrorCodes) {
  const HKEY h = Crea(HKEY_CURRENT_USER, "Software\\Prova");
  ASSERT_EQ(Scrivi(h, "testo", REG_SZ, Sz("abcdef")), ERROR_SUCCESS);

  // Unknown handles, the unknown-root handle among them, fail every operation.
  for (const HKEY sconosciuto : {HKEY{0}, HKEY{0x88888888U}, HKEY{0x80000007U}, HKEY{12345}}) {
    HKEY x = 0;
    EXPECT_EQ(RegOpenKeyEx(sconosciuto, "Software", 0, KEY_READ, x), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyEx(sconosciuto, "Software", 0, KEY_READ, x), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Cerca(sconosciuto, "testo"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(Scrivi(sconosciuto, "testo", REG_SZ, Sz("x")), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegDeleteValue(sconosciuto, "testo"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(sconosciuto), ERROR_INVALID_HANDLE);
  }
  // Deleting a value that does not exist fails.
  EXPECT_EQ(RegDeleteValue(h, "mancante"), ERROR_FILE_NOT_FOUND);
  // Type and size first, then a buffer of that size; too small a buffer says so.
  std::uint32_t tipo = 0;
  std::uint32_t dimensione = 0;
  ASSERT_EQ(RegQueryValueEx(h, "testo", &tipo, nullptr, &dimensione), ERROR_SUCCESS);
  EXPECT_EQ(tipo, REG_SZ);
  EXPECT_EQ(dimensione, 7U);
  std::string buffer(3, 'x');
  dimensione = 3;
  EXPECT_EQ(RegQueryValueEx(h, "testo", &tipo, buffer.data(), &dimensione), ERROR_MORE_DATA);
  EXPECT_EQ(dimensione, 7U);
  buffer.assign(7, 'x');
  ASSERT_EQ(RegQueryValueEx(h, "testo", &tipo, buffer.data(), &dimensione), ERROR_SUCCESS);
  EXPECT_EQ(buffer, Sz("abcdef"));
  EXPECT_EQ(RegQueryValueEx(h, "mancante", &tipo, nullptr, &dimensione), ERROR_FILE_NOT_FOUND);
  // A handle only does what it was opened for.
  HKEY lettura = 0;
  ASSERT_EQ(Apri(HKEY_CURRENT_USER, "Software\\Prova", KEY_QUERY_VALUE, lettura), ERROR_SUCCESS);
  EXPECT_EQ(Scrivi(lettura, "testo", REG_SZ, Sz("no")), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValue(lettura, "testo"), ERROR_ACCESS_DENIED);
  HKEY scrittura = 0;
  ASSERT_EQ(Apri(HKEY_CURRENT_USER, "Software\\Prova", KEY_SET_VALUE, scrittura), ERROR_SUCCESS);
  EXPECT_EQ(RegQueryValueEx(scrittura, "testo", &tipo, nullptr, &dimensione), ERROR_ACCESS_DENIED);
  // Malformed paths and names.
  HKEY x = 0;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, x), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\\\Doppia", 0, KEY_READ, x),
            ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\a\nb", 0, KEY_READ, x),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Scrivi(h, std::string("a\0b", 3), REG_SZ, Sz("x")), ERROR_INVALID_PARAMETER);
  // A closed handle is gone; a root handle closes harmlessly.
  ASSERT_EQ(RegCloseKey(lettura), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(lettura), ERROR_INVALID_HANDLE);
  std::erase(aperte_, lettura);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST_F(RegistroTest, KeysWithSubkeysGoOnlyAsAWholeTree) {
  Crea(HKEY_CLASSES_ROOT, "CLSID\\{1}\\InprocServer32");
  Crea(HKEY_CLASSES_ROOT, "Quomaro.clsCA\\CLSID");
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "CLSID\\{1}"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, "CLSID\\{2}"), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(RegDeleteTree(HKEY_CLASSES_ROOT, "clsid\\{1}"), ERROR_SUCCESS);
  HKEY h = 0;
  EXPECT_EQ(Apri(HKEY_CLASSES_ROOT, "CLSID\\{1}", KEY_READ, h), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(Apri(HKEY_CLASSES_ROOT, "CLSID", KEY_READ, h), ERROR_SUCCESS);
  EXPECT_EQ(Apri(HKEY_CLASSES_ROOT, "Quomaro.clsCA\\CLSID", KEY_READ, h), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKey(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
}

TEST_F(RegistroTest, ReadsAFileThatTheWindowsEditorExportedInUtf16) {
  const std::string testo =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "; exported by hand\r\n"
      "[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\TARVIKX\\Utente]\r\n"
      "\"DesAzi\"=\"Proprietà \\\"Rossi\\\" & Figli\"\r\n"
      "\"PercXx\"=hex(2):43,00,3a,00,5c,00,4f,00,52,00,56,00,41,00,4e,00,45,00,5c,00,\\\r\n"
      "  54,00,41,00,52,00,56,00,49,00,4b,00,00,00\r\n"
      "\"Remoto\"=dword:00000001\r\n"
      "@=\"\"\r\n"
      "\r\n";
  std::string utf16 = "\xFF\xFE" + Utf16leDaUtf8(testo);
  ScriviFile(macchina_.FileRadice("HKEY_CURRENT_USER"), utf16);

  HKEY h = 0;
  ASSERT_EQ(Apri(HKEY_CURRENT_USER, "Software\\VB and VBA Program Settings\\TARVIKX\\Utente",
                 KEY_READ, h),
            ERROR_SUCCESS);
  EXPECT_EQ(Leggi(h, "DesAzi"), std::make_pair(REG_SZ, Sz("Proprietà \"Rossi\" & Figli")));
  EXPECT_EQ(Leggi(h, "PercXx"), std::make_pair(REG_EXPAND_SZ, Sz("C:\\ORVANE\\TARVIK")));
  EXPECT_EQ(Leggi(h, "Remoto"), std::make_pair(REG_DWORD, std::string("\x01\0\0\0", 4)));
  EXPECT_EQ(Leggi(h, ""), std::make_pair(REG_SZ, Sz("")));
  EXPECT_EQ(RecordNelLog(MacchinaFinta::Log()), 0U);
  // Changing it rewrites it and keeps what was there.
  const HKEY w = Crea(HKEY_CURRENT_USER, "Software\\VB and VBA Program Settings\\TARVIKX\\Utente");
  ASSERT_EQ(Scrivi(w, "CodAzi", REG_SZ, Sz("001")), ERROR_SUCCESS);
  EXPECT_EQ(Leggi(w, "PercXx").second, Sz("C:\\ORVANE\\TARVIK"));
  EXPECT_EQ(LeggiFile(macchina_.FileRadice("HKEY_CURRENT_USER")).rfind("\xFF\xFEW\0"sv, 0), 0U);
}

TEST_F(RegistroTest, FileThisStoreWroteInUtf8IsRewrittenInUtf16WithoutLosingAnything) {
  // As earlier versions wrote it: UTF-8, names and text with bytes that are
  // not UTF-8 as they were stored, and string data that is not UTF-16.
  ScriviFile(macchina_.FileRadice("HKEY_CURRENT_USER"),
             "Windows Registry Editor Version 5.00\r\n\r\n"
             "[HKEY_CURRENT_USER\\Software\\perché\\n\xE8]\r\n"
             "\"nome è\"=\"perché €\"\r\n"
             "\"n\xE8\"=\"caf\xE9\"\r\n"
             "\"dispari\"=hex(1):61,00,62\r\n"
             "\"isolato\"=hex(2):00,d8,00,00\r\n");
  const std::vector<std::string> nomi{"nome è", "n\xE8", "dispari", "isolato"};
  HKEY h = 0;
  ASSERT_EQ(Apri(HKEY_CURRENT_USER, "Software\\perché\\n\xE8", KEY_ALL_ACCESS, h), ERROR_SUCCESS);
  std::vector<std::pair<std::uint32_t, std::string>> prima;
  for (const auto& nome : nomi)
    prima.push_back(Leggi(h, nome));
  EXPECT_EQ(prima[0], std::make_pair(REG_SZ, Sz("perché €")));
  EXPECT_EQ(prima[1], std::make_pair(REG_SZ, Sz("caf\xE9")));
  // Text readers, which stop at the first zero byte, read the characters.
  EXPECT_EQ(prima[2].second.substr(0, prima[2].second.find('\0')), "a");
  EXPECT_EQ(prima[3].second.substr(0, prima[3].second.find('\0')), "\xED\xA0\x80");

  ASSERT_EQ(Scrivi(h, "nuovo", REG_SZ, Sz("x")), ERROR_SUCCESS);
  EXPECT_EQ(LeggiFile(macchina_.FileRadice("HKEY_CURRENT_USER")).rfind("\xFF\xFEW\0"sv, 0), 0U);
  for (std::size_t i = 0; i < nomi.size(); ++i)
    EXPECT_EQ(Leggi(h, nomi[i]), prima[i]) << nomi[i];
  // And the UTF-16 data goes out again as it came in.
  std::string esportato;
  ASSERT_EQ(EsportaRegistro(HKEY_CURRENT_USER, "Software", esportato), ERROR_SUCCESS);
  EXPECT_THAT(TestoUtf8DelFileRegistro(esportato), HasSubstr("\"dispari\"=hex(1):61,00,62\r\n"));
  EXPECT_THAT(TestoUtf8DelFileRegistro(esportato), HasSubstr("\"isolato\"=hex(2):00,d8,00,00\r\n"));
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

  HKEY h = 0;
  ASSERT_EQ(Apri(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane", KEY_ALL_ACCESS, h), ERROR_SUCCESS);
  EXPECT_EQ(Leggi(h, "buono").second, Sz("sì"));
  HKEY sotto = 0;
  ASSERT_EQ(Apri(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane\\Sotto", KEY_READ, sotto), ERROR_SUCCESS);
  EXPECT_EQ(Leggi(sotto, "anche").second, Sz("questo"));
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
  EXPECT_THAT(log, HasSubstr(file.string()));
  EXPECT_THAT(log, HasSubstr("riga 5: stringa non terminata")) << log;
  EXPECT_THAT(log, HasSubstr(" Errore numero   : 1009\r\n"));
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
  // In a child process, so that a blocked open fails the test instead of hanging it.
  const pid_t figlio = ::fork();
  ASSERT_GE(figlio, 0);
  if (figlio == 0) {
    HKEY h = 0;
    const LSTATUS lettura = RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, h);
    const LSTATUS scrittura = RegCreateKeyEx(HKEY_CURRENT_USER, "X", 0, KEY_ALL_ACCESS, h);
    ::_exit(lettura == ERROR_REGISTRY_IO_FAILED && scrittura == ERROR_REGISTRY_IO_FAILED ? 0 : 1);
  }
  int stato = 0;
  pid_t finito = 0;
  for (int i = 0; i < 2000 && (finito = ::waitpid(figlio, &stato, WNOHANG)) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (finito == 0) {
    ::kill(figlio, SIGKILL);
    ::waitpid(figlio, &stato, 0);
  }
  std::filesystem::remove(orvane::FileLogErrori());
  EXPECT_EQ(finito, figlio) << "blocked on a FIFO";
  EXPECT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == 0) << stato;
}

TEST_F(RegistroTest, TwoProcessesWritingTheSameFileAtOnceLoseNothing) {
  constexpr int kValori = 60;
  orvane::test::Processo a(ORVANE_SCRIVI_REGISTRO, {"valori", "A", std::to_string(kValori)});
  orvane::test::Processo b(ORVANE_SCRIVI_REGISTRO, {"valori", "B", std::to_string(kValori)});
  ASSERT_EQ(a.Attendi(std::chrono::seconds(60)), 0);
  ASSERT_EQ(b.Attendi(std::chrono::seconds(60)), 0);

  HKEY h = 0;
  ASSERT_EQ(Apri(HKEY_CURRENT_USER, "Software\\Prova", KEY_READ, h), ERROR_SUCCESS);
  for (const char* prefisso : {"A", "B"}) {
    for (int i = 0; i < kValori; ++i) {
      EXPECT_EQ(Leggi(h, prefisso + std::to_string(i)).second, Sz("valore " + std::to_string(i)));
    }
  }
  std::string nome;
  EXPECT_EQ(RegEnumValue(h, 2 * kValori, nome, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
}

TEST_F(RegistroTest, WriterKilledBeforeItsRenameLeavesTheOldFileIntact) {
  const HKEY h = Crea(HKEY_CURRENT_USER, "Software\\Prova");
  ASSERT_EQ(Scrivi(h, "vecchio", REG_SZ, Sz("resta")), ERROR_SUCCESS);
  const auto file = macchina_.FileRadice("HKEY_CURRENT_USER");
  const std::string prima = LeggiFile(file);

  const orvane::test::CartellaTemporanea uscite;
  orvane::test::Processo scrittore(ORVANE_SCRIVI_REGISTRO, {"blocca"}, {}, uscite.Percorso());
  for (int i = 0; i < 1000 && LeggiFile(uscite / "stdout") != "pronto\n"; ++i) {
    ASSERT_TRUE(scrittore.InEsecuzione());
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(LeggiFile(uscite / "stdout"), "pronto\n");
  // The new content is complete on disk under its temporary name.
  const auto voci = Voci(macchina_.Registro());
  EXPECT_EQ(std::count_if(voci.begin(), voci.end(),
                          [](const auto& v) { return v.starts_with(".HKEY_CURRENT_USER.reg."); }),
            1);
  scrittore.Termina(SIGKILL);

  EXPECT_EQ(LeggiFile(file), prima);
  EXPECT_EQ(Leggi(h, "vecchio").second, Sz("resta"));
  EXPECT_EQ(Cerca(h, "nuovo"), ERROR_FILE_NOT_FOUND);
  // The lock died with the writer; the next write goes through and clears up.
  ASSERT_EQ(Scrivi(h, "dopo", REG_SZ, Sz("ok")), ERROR_SUCCESS);
  EXPECT_EQ(Voci(macchina_.Registro()), std::vector<std::string>{"HKEY_CURRENT_USER.reg"});
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

TEST_F(RegistroTest, ExportedTextImportsBackIntoTheSameTree) {
  const HKEY h = Crea(HKEY_CURRENT_USER, "Software\\Orvane\\Kovra");
  ASSERT_EQ(Scrivi(h, "DRIVE_ARCH", REG_SZ, Sz("D:\\Archivi")), ERROR_SUCCESS);
  ASSERT_EQ(Scrivi(h, "Soglia", REG_DWORD, std::string("\x10\0\0\0", 4)), ERROR_SUCCESS);
  Crea(HKEY_CURRENT_USER, "Software\\Orvane\\Vuota");
  std::string esportato;
  ASSERT_EQ(EsportaRegistro(HKEY_CURRENT_USER, "software\\orvane", esportato), ERROR_SUCCESS);
  EXPECT_EQ(esportato.rfind("\xFF\xFEW\0"sv, 0), 0U);
  EXPECT_EQ(TestoUtf8DelFileRegistro(esportato),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Orvane]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Orvane\\Kovra]\r\n"
            "\"DRIVE_ARCH\"=\"D:\\\\Archivi\"\r\n"
            "\"Soglia\"=dword:00000010\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Orvane\\Vuota]\r\n\r\n");

  ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, "Software\\Orvane"), ERROR_SUCCESS);
  std::vector<ProblemaRegistro> problemi;
  ASSERT_EQ(ImportaRegistro(esportato, problemi), ERROR_SUCCESS);
  std::string reimportato;
  ASSERT_EQ(EsportaRegistro(HKEY_CURRENT_USER, "Software\\Orvane", reimportato), ERROR_SUCCESS);
  EXPECT_EQ(reimportato, esportato);

  // Deletions as the Windows editor writes them.
  ASSERT_EQ(ImportaRegistro("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Orvane\\Kovra]\n"
                            "\"Soglia\"=-\n\n[-HKEY_CURRENT_USER\\Software\\Orvane\\Vuota]\n",
                            problemi),
            ERROR_SUCCESS);
  ASSERT_EQ(EsportaRegistro(HKEY_CURRENT_USER, "Software\\Orvane", reimportato), ERROR_SUCCESS);
  EXPECT_EQ(TestoUtf8DelFileRegistro(reimportato),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Orvane]\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Orvane\\Kovra]\r\n"
            "\"DRIVE_ARCH\"=\"D:\\\\Archivi\"\r\n\r\n");
}

TEST_F(RegistroTest, ImportWithAnyBadLineAppliesNothingAndNamesEveryBadLine) {
  const std::string testo =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\Software\\Nuova]\n"
      "\"ok\"=\"sì\"\n"
      "\"rotto\"=hex:1,2,xyz\n"
      "[HKLM_SBAGLIATA\\Software]\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\n"
      "\"numero\"=dword:00000001\n";
  std::vector<ProblemaRegistro> problemi;
  EXPECT_EQ(ImportaRegistro(testo, problemi), ERROR_BADDB);
  std::vector<std::size_t> righe;
  for (const auto& p : problemi)
    righe.push_back(p.riga);
  EXPECT_EQ(righe, (std::vector<std::size_t>{5, 6, 7}));
  HKEY h = 0;
  EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Nuova", 0, KEY_READ, h),
            ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(std::filesystem::exists(macchina_.Registro() / "HKEY_CURRENT_USER.reg"));

  EXPECT_EQ(ImportaRegistro("[HKEY_CURRENT_USER\\Software]\n", problemi), ERROR_BADDB);
  ASSERT_EQ(problemi.size(), 1U);
  EXPECT_EQ(problemi[0].riga, 1U);
}

}  // namespace
}  // namespace platform
