#include "common/basUtilxx.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Cartelle.h"
#include "platform/RigaDiComando.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MessaggiRegistrati.h"
#include "tests/support/OrologioFinto.h"

namespace orvane {
namespace {

using test::CartellaTemporanea;
using test::LeggiFile;

const std::string kTrattini(37, '-');

// Moves this test program's log aside for the length of a test.
class ErroreLogTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::remove(FileLogErrori()); }
  void TearDown() override {
    std::filesystem::remove(FileLogErrori());
    platform::SostituisciRigaDiComando(std::nullopt);
  }
};

std::string RecordAtteso(const std::string& data, const std::string& numero,
                         const std::string& descrizione, const std::string& modulo,
                         const std::string& routine, const std::string& linea) {
  return kTrattini + "\r\n" + " Data " + data + "\r\n" + " Errore numero   : " + numero +
         "\r\n" + " Descrizione     : " + descrizione + "\r\n" +
         " Progetto        : test_common\r\n" + " Modulo          : " + modulo + "\r\n" +
         " Routine         : " + routine + "\r\n" + " Linea di codice : " + linea + "\r\n" +
         " Versione        : 9.8.7" + kTrattini + "\r\n";
}

int Esegui(const std::vector<std::string>& argomenti) {
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const auto& a : argomenti) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int stato = 0;
  waitpid(pid, &stato, 0);
  return WIFEXITED(stato) ? WEXITSTATUS(stato) : -1;
}

TEST_F(ErroreLogTest, TwoFailuresInARowAppendTwoExactRecordsEachEndedByAnEmptyLine) {
  test::OrologioFinto orologio(std::chrono::system_clock::from_time_t(1'700'000'000));
  platform::SostituisciRigaDiComando("DEBUG");
  ScriviErrore("30", "-2147221503", "Connessione al server non disponibile", "clsSOAP",
               "InviaRichiestaPOST");
  ScriviErrore("0", "53", "Impossibile trovare il file", "frmTervan", "Form_Load");

  const std::string data = DataGenerale(orologio.Adesso());
  EXPECT_EQ(LeggiFile(FileLogErrori()),
            RecordAtteso(data, "-2147221503", "Connessione al server non disponibile", "clsSOAP",
                         "InviaRichiestaPOST", "30") +
                "\r\n" +
                RecordAtteso(data, "53", "Impossibile trovare il file", "frmTervan", "Form_Load",
                             "0") +
                "\r\n");
}

TEST_F(ErroreLogTest, DescriptionBytesAreWrittenUnchanged) {
  platform::SostituisciRigaDiComando("DEBUG");
  const std::string descrizione("riga uno\r\nriga due \xE8 perch\xC3\xA9 \0 fine", 35);
  ScriviErrore("10", "5", descrizione, "basProva", "Descrivi");
  EXPECT_NE(LeggiFile(FileLogErrori()).find(" Descrizione     : " + descrizione + "\r\n"),
            std::string::npos);
}

TEST_F(ErroreLogTest, RecordIsShownUnlessTheCommandLineIsExactlyDebug) {
  struct Caso {
    std::string riga;
    bool mostrato;
  };
  for (const Caso& caso : {Caso{"DEBUG", false}, Caso{"", true}, Caso{"VERIFICA", true},
                           Caso{" DEBUG", true}, Caso{"debug", true}, Caso{"DEBUG LIVE", true}}) {
    test::MessaggiRegistrati messaggi;
    platform::SostituisciRigaDiComando(caso.riga);
    ScriviErrore("10", "13", "Tipo non corrispondente", "basProva", "Mostra");
    const auto mostrati = messaggi.Messaggi();
    ASSERT_EQ(mostrati.size(), caso.mostrato ? 1U : 0U) << "command line '" << caso.riga << "'";
    if (caso.mostrato) {
      EXPECT_EQ(mostrati[0].stile, platform::vbOKOnly);
      EXPECT_EQ(mostrati[0].titolo, "test_common");
      EXPECT_EQ(mostrati[0].testo.substr(0, 39), kTrattini + "\r\n");
      EXPECT_NE(mostrati[0].testo.find(" Routine         : Mostra\r\n"), std::string::npos);
    }
  }
}

TEST_F(ErroreLogTest, UnwritableLogStillShowsTheRecordAndNeverThrows) {
  // A folder where the log file should be: no one, root included, can append to it.
  std::filesystem::create_directory(FileLogErrori());
  test::MessaggiRegistrati messaggi;
  platform::SostituisciRigaDiComando("");
  ScriviErrore("40", "75", "Errore di accesso al percorso/file", "basProva", "Scrivi");
  std::filesystem::remove(FileLogErrori());
  ASSERT_EQ(messaggi.Messaggi().size(), 1U);
  EXPECT_NE(messaggi.Messaggi()[0].testo.find("Errore di accesso"), std::string::npos);
}

TEST(ErroreLogFolder, ProgramLogsBesideItselfAndLibraryBesideTheLibrary) {
  CartellaTemporanea programma;
  CartellaTemporanea libreria;
  std::filesystem::copy_file(ORVANE_SCRIVI_ERRORI, programma / "Tervan");
  std::filesystem::copy_file(ORVANE_SONDA_LOG, libreria / "Quomaro.so");

  ASSERT_EQ(Esegui({(programma / "Tervan").string(), "1", "dal programma"}), 0);
  const std::string logProgramma = LeggiFile(programma / "Tarvik.Log");
  EXPECT_NE(logProgramma.find(" Progetto        : Tervan\r\n"), std::string::npos);
  EXPECT_NE(logProgramma.find(" Versione        : 2.0.44" + kTrattini), std::string::npos);

  void* handle = dlopen((libreria / "Quomaro.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  auto* sonda = reinterpret_cast<void (*)(const char*)>(dlsym(handle, "SondaScriviErrore"));
  ASSERT_NE(sonda, nullptr);
  sonda("dalla libreria");
  dlclose(handle);
  const std::string logLibreria = LeggiFile(libreria / "Tarvik.Log");
  EXPECT_NE(logLibreria.find(" Progetto        : Quomaro\r\n"), std::string::npos);
  EXPECT_NE(logLibreria.find(" Versione        : 2.0.6" + kTrattini), std::string::npos);
  EXPECT_NE(logLibreria.find("dalla libreria"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(programma / "Quomaro.so"));
}

TEST(ErroreLogFolder, TwoProcessesAppendingAtOnceNeverInterleaveRecords) {
  CartellaTemporanea programma;
  std::filesystem::copy_file(ORVANE_SCRIVI_ERRORI, programma / "Tervan");
  const std::string exe = (programma / "Tervan").string();
  constexpr int kPerProcesso = 300;

  std::vector<pid_t> figli;
  for (const char* marca : {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA",
                            "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB"}) {
    const pid_t pid = fork();
    if (pid == 0) {
      execl(exe.c_str(), exe.c_str(), std::to_string(kPerProcesso).c_str(), marca, nullptr);
      _exit(127);
    }
    figli.push_back(pid);
  }
  for (const pid_t pid : figli) {
    int stato = 0;
    waitpid(pid, &stato, 0);
    ASSERT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == 0);
  }

  // Every record is intact: split on the opening hyphen line.
  const std::string log = LeggiFile(programma / "Tarvik.Log");
  const std::string apertura = kTrattini + "\r\n Data ";
  int a = 0;
  int b = 0;
  std::size_t pos = log.find(apertura);
  ASSERT_EQ(pos, 0U);
  while (pos != std::string::npos) {
    const std::size_t prossimo = log.find(apertura, pos + 1);
    const std::string record = log.substr(pos, prossimo - pos);
    ASSERT_EQ(record.substr(record.size() - 41), kTrattini + "\r\n\r\n");
    const bool conA = record.find("AAAA") != std::string::npos;
    const bool conB = record.find("BBBB") != std::string::npos;
    ASSERT_NE(conA, conB) << record;
    (conA ? a : b) += 1;
    pos = prossimo;
  }
  EXPECT_EQ(a, kPerProcesso);
  EXPECT_EQ(b, kPerProcesso);
}

}  // namespace
}  // namespace orvane
