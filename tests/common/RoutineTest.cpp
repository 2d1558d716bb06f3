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

// The module, routine and step reached are pinned through the client's
// routines (clsSOAP); here, what each kind of failure is logged as.
TEST(RoutineTest, FailuresGiveTheEmptyResultAndAreLoggedWithThePlatformsRunTimeErrorNumbers) {
  MacchinaFinta macchina;
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
    const std::string log = MacchinaFinta::Log();
    const auto inizio = log.find("numero   : ") + 11;
    return std::stol(log.substr(inizio, log.find('\r', inizio) - inizio));
  };
  EXPECT_EQ(numeroDi([] { (void)std::vector<int>().at(3); }), 9);
  EXPECT_THAT(MacchinaFinta::Log(),
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
