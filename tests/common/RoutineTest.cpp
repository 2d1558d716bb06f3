#include "common/Routine.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/Errore.h"
#include "common/basUtilxx.h"
#include "platform/RigaDiComando.h"
#include "tests/support/CartellaTemporanea.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;

class RoutineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SostituisciRigaDiComando("DEBUG");
    std::filesystem::remove(FileLogErrori());
  }
  void TearDown() override {
    std::filesystem::remove(FileLogErrori());
    platform::SostituisciRigaDiComando(std::nullopt);
  }
  static std::string Log() { return test::LeggiFile(FileLogErrori()); }
};

TEST_F(RoutineTest, FailureReportsTheStepReachedAndReturnsTheEmptyResult) {
  const std::string r = Routine("clsCA", "RichiestaConnessione", [](int& linea) -> std::string {
    linea = 10;
    linea = 20;
    const std::vector<int> v;
    return std::to_string(v.at(3));
  });
  EXPECT_EQ(r, "");
  const std::string log = Log();
  EXPECT_THAT(log, HasSubstr(" Errore numero   : 9\r\n"));
  EXPECT_THAT(log, HasSubstr(" Descrizione     : Indice non incluso nell'intervallo\r\n"));
  EXPECT_THAT(log, HasSubstr(" Modulo          : clsCA\r\n"));
  EXPECT_THAT(log, HasSubstr(" Routine         : RichiestaConnessione\r\n"));
  EXPECT_THAT(log, HasSubstr(" Linea di codice : 20\r\n"));
}

TEST_F(RoutineTest, SuccessReturnsTheBodysResultAndLogsNothing) {
  EXPECT_TRUE(Routine("m", "r", [](int& linea) {
    linea = 10;
    return true;
  }));
  EXPECT_EQ(Routine("m", "r", [](int&) { return 42; }), 42);
  EXPECT_FALSE(std::filesystem::exists(FileLogErrori()));
}

TEST_F(RoutineTest, FailuresMapToThePlatformsRunTimeErrorNumbers) {
  const auto numeroDi = [this](auto&& lancia) {
    std::filesystem::remove(FileLogErrori());
    Routine("m", "r", [&](int&) { lancia(); });
    const std::string log = Log();
    const auto inizio = log.find("numero   : ") + 11;
    return std::stol(log.substr(inizio, log.find('\r', inizio) - inizio));
  };
  EXPECT_EQ(numeroDi([] { throw std::overflow_error("x"); }), 6);
  EXPECT_EQ(numeroDi([] { throw std::bad_alloc(); }), 7);
  EXPECT_EQ(numeroDi([] { throw std::invalid_argument("x"); }), 13);
  EXPECT_EQ(numeroDi([] { (void)std::stoi("abc"); }), 13);
  EXPECT_EQ(numeroDi([] { (void)std::filesystem::file_size("/nessun/file/qui"); }), 53);
  EXPECT_EQ(numeroDi([] { throw Errore(1, "Connessione al server non disponibile"); }), 1);
  EXPECT_EQ(numeroDi([] { throw 42; }), 5);
}

TEST_F(RoutineTest, SilentBodiesSayWhetherTheyRanToTheirEnd) {
  EXPECT_TRUE(Tacitamente([] {}));
  EXPECT_FALSE(Tacitamente([] { throw std::runtime_error("ignorato"); }));
  EXPECT_FALSE(std::filesystem::exists(FileLogErrori()));
}

}  // namespace
}  // namespace orvane
