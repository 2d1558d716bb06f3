#include "common/Routine.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/Errore.h"
#include "common/basUtilxx.h"
#include "tests/support/MacchinaFinta.h"

namespace orvane {
namespace {

using test::MacchinaFinta;
using ::testing::HasSubstr;

TEST(RoutineTest, FailureReportsTheStepReachedAndReturnsTheEmptyResultSuccessTheBodysResult) {
  MacchinaFinta macchina;
  EXPECT_EQ(Routine("m", "r", [](int&) { return 42; }), 42);
  EXPECT_TRUE(Tacitamente([] {}));
  EXPECT_FALSE(Tacitamente([] { throw std::runtime_error("ignorato"); }));
  EXPECT_FALSE(std::filesystem::exists(FileLogErrori()));

  const std::string r = Routine("clsCA", "RichiestaConnessione", [](int& linea) -> std::string {
    linea = 10;
    linea = 20;
    const std::vector<int> v;
    return std::to_string(v.at(3));
  });
  EXPECT_EQ(r, "");
  EXPECT_THAT(MacchinaFinta::Log(),
              HasSubstr(" Errore numero   : 9\r\n"
                        " Descrizione     : Indice non incluso nell'intervallo\r\n"));
  EXPECT_THAT(MacchinaFinta::Log(),
              HasSubstr(" Modulo          : clsCA\r\n Routine         : RichiestaConnessione\r\n"
                        " Linea di codice : 20\r\n"));
}

TEST(RoutineTest, FailuresMapToThePlatformsRunTimeErrorNumbers) {
  MacchinaFinta macchina;
  const auto numeroDi = [](auto&& lancia) {
    std::filesystem::remove(FileLogErrori());
    Routine("m", "r", [&](int&) { lancia(); });
    const std::string log = MacchinaFinta::Log();
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

}  // namespace
}  // namespace orvane
