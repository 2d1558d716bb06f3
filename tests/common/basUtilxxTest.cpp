#include "common/basUtilxx.h"

#include <dlfcn.h>
#include <gmock/gmock.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/Errore.h"
#include "common/Routine.h"
#include "platform/Cartelle.h"
#include "platform/RigaDiComando.h"
#include "platform/TestoUtf8.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/MessaggiRegistrati.h"
#include "tests/support/OrologioFinto.h"
#include "tests/support/Processo.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;

using test::CartellaTemporanea;
using test::LeggiFile;

const std::string kTrattini(37, '-');

// This test program's log starts empty and the command line is "DEBUG".
class ErroreLogTest : public ::testing::Test {
 protected:
  test::MacchinaFinta macchina_;
};

std::string RecordAtteso(const std::string& data, const std::string& numero,
                         const std::string& descrizione, const std::string& modulo,
                         const std::string& routine, const std::string& linea) {
  return kTrattini + "\r\n" + " Data " + data + "\r\n" + " Errore numero   : " + numero + "\r\n" +
         " Descrizione     : " + descrizione + "\r\n" + " Progetto        : test_common\r\n" +
         " Modulo          : " + modulo + "\r\n" + " Routine         : " + routine + "\r\n" +
         " Linea di codice : " + linea + "\r\n" + " Versione        : 9.8.7" + kTrattini + "\r\n";
}

TEST_F(ErroreLogTest, TwoFailuresInARowAppendTwoExactRecordsEachEndedByAnEmptyLine) {
  test::OrologioFinto orologio(std::chrono::system_clock::from_time_t(1'700'000'000));
  ScriviErrore("30", "-2147221503", "Connessione al server non disponibile", "clsSOAP",
               "InviaRichiestaPOST");
  // Description bytes are written unchanged, but for control characters:
  // a line break from a registry value or an answer forges no line of the
  // record, an escape sequence reaches no terminal.
  const std::string descrizione(
      "riga uno\r\n Errore numero   : 0\x1b[2J due \xE8 perch\xC3\xA9 \0 \xC2\x9b fine", 58);
  ScriviErrore("0", "53", descrizione, "frmTervan", "Form_Load");
  // A description as long as a hostile answer keeps its first 2000 bytes,
  // never half a character.
  const std::string lunga = std::string(1999, 'x') + "\xC3\xA9" + std::string(1'000'000, 'y');
  ScriviErrore("0", "5", lunga, "clsCA", "Elenco");

  const std::string data = DataGenerale(orologio.Adesso());
  EXPECT_EQ(LeggiFile(FileLogErrori()),
            RecordAtteso(data, "-2147221503", "Connessione al server non disponibile", "clsSOAP",
                         "InviaRichiestaPOST", "30") +
                "\r\n" +
                RecordAtteso(data, "53",
                             "riga uno\\x0d\\x0a Errore numero   : 0\\x1b[2J due \xE8 "
                             "perch\xC3\xA9 \\x00 \\x9b fine",
                             "frmTervan", "Form_Load", "0") +
                "\r\n" +
                RecordAtteso(data, "5", std::string(1999, 'x') + "... (1002001 byte)", "clsCA",
                             "Elenco", "0") +
                "\r\n");
}

TEST_F(ErroreLogTest, TheRecordsDateFollowsTheZoneAndIsUtf8WhateverTheLocalesCharacterSet) {
  // A time zone changed while the program runs is followed.
  const auto istante = std::chrono::system_clock::from_time_t(1'700'000'000);
  macchina_.Imposta("TZ", "UTC0");
  const std::string inUtc = DataGenerale(istante);
  macchina_.Imposta("TZ", "CET-1");
  EXPECT_NE(DataGenerale(istante), inUtc);

  // A locale whose dates hold letters outside ASCII, in a character set
  // other than UTF-8, made for this test where the system can make one.
  const std::filesystem::path locali = macchina_.Percorso() / "locali";
  std::filesystem::create_directory(locali);
  if (!test::NelPath("localedef") ||
      test::Esegui("localedef",
                   {"-i", "ar_EG", "-f", "ISO-8859-6", (locali / "ar_EG.ISO-8859-6").string()})
              .codice != 0)
    GTEST_SKIP() << "localedef cannot make ar_EG.ISO-8859-6";
  macchina_.Imposta("LOCPATH", locali.string());
  macchina_.Imposta("LC_ALL", "ar_EG.ISO-8859-6");
  macchina_.Imposta("TZ", "UTC");
  const std::string data = DataGenerale(std::chrono::system_clock::from_time_t(1'700'000'000));
  EXPECT_TRUE(platform::Utf8Valido(data)) << data;
  EXPECT_NE(data.find("2023"), std::string::npos) << data;
  EXPECT_TRUE(std::any_of(data.begin(), data.end(), [](char c) { return c & 0x80; })) << data;
}

TEST_F(ErroreLogTest, RecordIsShownUnlessTheCommandLineIsExactlyDebug) {
  for (const char* riga : {"DEBUG", "", "VERIFICA", " DEBUG", "debug", "DEBUG LIVE"}) {
    const bool mostrato = std::string_view(riga) != "DEBUG";
    test::MessaggiRegistrati messaggi;
    platform::SostituisciRigaDiComando(riga);
    ScriviErrore("10", "13", "Tipo non corrispondente", "basProva", "Mostra");
    const auto mostrati = messaggi.Messaggi();
    ASSERT_EQ(mostrati.size(), mostrato ? 1U : 0U) << "command line '" << riga << "'";
    if (mostrato) {
      EXPECT_EQ(mostrati[0].titolo, "test_common");
      EXPECT_THAT(mostrati[0].testo, HasSubstr(" Routine         : Mostra\r\n"));
    }
  }
  // A box never gets megabytes to lay out.
  test::MessaggiRegistrati messaggi;
  platform::MsgBox(std::string(1 << 20, 'z'), platform::vbOKOnly, "Aggiornamenti");
  EXPECT_THAT(messaggi.Messaggi().at(0).testo, ::testing::EndsWith("... (1048576 byte)"));
}

// A folder where the log file should be: no one, root included, can append
// to it. The record is still shown, or under DEBUG goes whole to stderr.
TEST_F(ErroreLogTest, UnwritableLogStillShowsTheRecordOrUnderDebugSendsItToStandardError) {
  test::OrologioFinto orologio(std::chrono::system_clock::from_time_t(1'700'000'000));
  std::filesystem::create_directory(FileLogErrori());
  for (const bool debug : {false, true}) {
    test::MessaggiRegistrati messaggi;
    platform::SostituisciRigaDiComando(debug ? "DEBUG" : "");
    ::testing::internal::CaptureStderr();
    ScriviErrore("50", "57", "Errore di I/O della periferica", "basProva", "Perso");
    const std::string errore = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(messaggi.Messaggi().size(), debug ? 0U : 1U);
    if (!debug) {
      EXPECT_THAT(messaggi.Messaggi()[0].testo, HasSubstr("Errore di I/O della periferica"));
      continue;
    }
    EXPECT_THAT(errore, HasSubstr("impossibile scrivere " + FileLogErrori().string()));
    EXPECT_THAT(errore, HasSubstr(RecordAtteso(DataGenerale(orologio.Adesso()), "57",
                                               "Errore di I/O della periferica", "basProva",
                                               "Perso", "50")));
  }
  std::filesystem::remove(FileLogErrori());
}

// Two processes of a program append at once, beside the program; a library
// logs beside the library.
TEST(ErroreLogFolder, ProgramLogsBesideItselfNeverInterleavingRecordsAndLibraryBesideTheLibrary) {
  CartellaTemporanea programma;
  CartellaTemporanea libreria;
  std::filesystem::copy_file(ORVANE_SCRIVI_ERRORI, programma / "Tervan");
  std::filesystem::copy_file(ORVANE_SONDA_LOG, libreria / "Quomaro.so");
  const std::string exe = (programma / "Tervan").string();
  constexpr int kPerProcesso = 300;

  test::Processo a(exe, {std::to_string(kPerProcesso), std::string(44, 'A')});
  test::Processo b(exe, {std::to_string(kPerProcesso), std::string(44, 'B')});
  ASSERT_EQ(a.Attendi(std::chrono::minutes(1)), 0);
  ASSERT_EQ(b.Attendi(std::chrono::minutes(1)), 0);
  const std::string log = LeggiFile(programma / "Tarvik.Log");
  EXPECT_THAT(log, HasSubstr(" Progetto        : Tervan\r\n"));
  EXPECT_THAT(log, HasSubstr(" Versione        : 2.0.44" + kTrattini));

  // Every record is intact: split on the opening hyphen line.
  const std::string apertura = kTrattini + "\r\n Data ";
  std::map<char, int> contati;
  ASSERT_EQ(log.find(apertura), 0U);
  for (std::size_t pos = 0; pos != std::string::npos;) {
    const std::size_t prossimo = log.find(apertura, pos + 1);
    const std::string record = log.substr(pos, prossimo - pos);
    ASSERT_EQ(record.substr(record.size() - 41), kTrattini + "\r\n\r\n");
    const bool conA = record.find("AAAA") != std::string::npos;
    ASSERT_NE(conA, record.find("BBBB") != std::string::npos) << record;
    ++contati[conA ? 'A' : 'B'];
    pos = prossimo;
  }
  EXPECT_EQ(contati, (std::map<char, int>{{'A', kPerProcesso}, {'B', kPerProcesso}}));

  void* handle = dlopen((libreria / "Quomaro.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  auto* sonda = reinterpret_cast<void (*)(const char*)>(dlsym(handle, "SondaScriviErrore"));
  ASSERT_NE(sonda, nullptr);
  sonda("dalla libreria");
  dlclose(handle);
  const std::string logLibreria = LeggiFile(libreria / "Tarvik.Log");
  EXPECT_THAT(logLibreria, HasSubstr(" Progetto        : Quomaro\r\n"));
  EXPECT_THAT(logLibreria, HasSubstr(" Versione        : 2.0.6" + kTrattini));
  EXPECT_THAT(logLibreria, HasSubstr("dalla libreria"));
}

// The module, routine and step reached are pinned through the client's
// routines (clsSOAP); here, what each kind of failure is logged as.
TEST(RoutineTest, FailuresGiveTheEmptyResultAndAreLoggedWithThePlatformsRunTimeErrorNumbers) {
  test::MacchinaFinta macchina;
  EXPECT_EQ(Routine("m", "r", [](int&) { return 42; }), 42);
  EXPECT_TRUE(Tacitamente([] {}));
  EXPECT_FALSE(Tacitamente([] { throw std::runtime_error("ignorato"); }));
  EXPECT_FALSE(std::filesystem::exists(FileLogErrori()));

  const auto numeroDi = [](auto&& lancia) {
    std::filesystem::remove(FileLogErrori());
    EXPECT_EQ(Routine("m", "r",
                      [&](int&) {
                        lancia();
                        return std::string("risultato");
                      }),
              "");
    const std::string log = test::MacchinaFinta::Log();
    const auto inizio = log.find("numero   : ") + 11;
    return std::stol(log.substr(inizio, log.find('\r', inizio) - inizio));
  };
  EXPECT_EQ(numeroDi([] { (void)std::vector<int>().at(3); }), 9);
  EXPECT_THAT(test::MacchinaFinta::Log(),
              HasSubstr(" Descrizione     : Indice non incluso nell'intervallo\r\n"));
  EXPECT_EQ(numeroDi([] { throw std::overflow_error("x"); }), 6);
  EXPECT_EQ(numeroDi([] { throw std::bad_alloc(); }), 7);
  EXPECT_EQ(numeroDi([] { throw std::invalid_argument("x"); }), 13);
  EXPECT_EQ(numeroDi([] { (void)std::filesystem::file_size("/nessun/file/qui"); }), 53);
  EXPECT_EQ(numeroDi([] { throw Errore(1, "Connessione al server non disponibile"); }), 1);
  EXPECT_EQ(numeroDi([] { throw 42; }), 5);
}

}  // namespace
}  // namespace orvane
