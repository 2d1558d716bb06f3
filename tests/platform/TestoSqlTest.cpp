#include "platform/TestoSql.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace platform {
namespace {

TEST(TestoSqlTest, LiteralQuotesTheValueAndDoublesEveryQuoteInside) {
  const struct {
    std::string_view valore, letterale;
  } casi[] = {
      {"", "''"},
      {"TARVIK", "'TARVIK'"},
      {"l'altro", "'l''altro'"},
      {"''", "''''''"},
      {"'; DROP TABLE AGGIOR; --", "'''; DROP TABLE AGGIOR; --'"},
      {"perché \"x\" \\ %", "'perché \"x\" \\ %'"},
  };
  for (const auto& c : casi)
    EXPECT_EQ(LetteraleSql(c.valore), c.letterale) << c.valore;
  // Bytes such as a zero pass through unchanged.
  EXPECT_EQ(LetteraleSql(std::string_view("a\0b", 3)), std::string("'a\0b'", 5));
}

}  // namespace
}  // namespace platform
