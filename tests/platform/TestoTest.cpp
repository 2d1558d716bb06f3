// The text utilities: case folding of names and headers, trimming, and the
// SQL literal every query of the store is built with.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "platform/TestoSql.h"
#include "platform/TestoUtf8.h"

namespace platform {
namespace {

TEST(TestoUtf8Test, FoldingTouchesOnlyAsciiLettersWhateverTheLocaleAndUtf8NamesAsWindowsDoes) {
  EXPECT_EQ(MinuscoloAscii("Content-LENGTH: 12 À"), "content-length: 12 À");
  EXPECT_EQ(MaiuscoloAscii("hkey_current_user perché"), "HKEY_CURRENT_USER PERCHé");
  EXPECT_FALSE(UgualiSenzaMaiuscoleAscii("Perché", "PERCHÉ"));
  EXPECT_FALSE(UgualiSenzaMaiuscoleAscii("abc", "abcd"));
  EXPECT_TRUE(UgualiSenzaMaiuscoleAscii("Location", "LOCATION"));
  EXPECT_TRUE(IniziaSenzaMaiuscoleAscii("DWORD:0000", "dword:"));
  EXPECT_FALSE(IniziaSenzaMaiuscoleAscii("dwo", "dword:"));
  EXPECT_LT(ConfrontaSenzaMaiuscoleAscii("abc", "ABD"), 0);
  EXPECT_EQ(ConfrontaSenzaMaiuscoleAscii("ABC", "abc"), 0);
  EXPECT_GT(ConfrontaSenzaMaiuscoleAscii("abc", "AB"), 0);
  // Bytes above 127 compare as unsigned values, after every ASCII letter.
  EXPECT_GT(ConfrontaSenzaMaiuscoleAscii("é", "z"), 0);
  EXPECT_TRUE(UgualiSenzaMaiuscoleUtf8("Σοφια", "ΣΟΦΙΑ"));
  EXPECT_FALSE(UgualiSenzaMaiuscoleUtf8("Perche", "PERCHÉ"));
  // Turkish letters, which the comparison above folds through: İ and ı are
  // no pair of each other, nor of I and i.
  EXPECT_EQ(MaiuscoloPerConfrontoUtf8("ıİiĳğ"), "ıİIĲĞ");
  // Bytes that are not UTF-8 stay as they are.
  EXPECT_EQ(MaiuscoloPerConfrontoUtf8("a\xff"), "A\xff");
}

TEST(TestoUtf8Test, EachTrimRemovesOnlyTheBlanksItsNameSays) {
  EXPECT_EQ(SenzaBianchiAiLati("\r\n\t  valore \t \v\f"), "valore");
  EXPECT_EQ(SenzaSpaziAiLati(" \t valore \t\r\n"), "valore \t\r\n");
  EXPECT_EQ(SenzaCaratteriSpazioAiLati("  \tVERIFICA  "), "\tVERIFICA");
  EXPECT_EQ(SenzaBianchiAiLati(" \t\r\n"), "");
}

TEST(TestoSqlTest, LiteralQuotesTheValueAndDoublesEveryQuoteInside) {
  const struct {
    std::string_view valore, letterale;
  } casi[] = {
      {"", "''"},
      {"l'altro", "'l''altro'"},
      {"'; DROP TABLE AGGIOR; --", "'''; DROP TABLE AGGIOR; --'"},
      {"perché \"x\" \\ %", "'perché \"x\" \\ %'"},
      // Bytes such as a zero pass through unchanged.
      {std::string_view("a\0b", 3), std::string_view("'a\0b'", 5)},
  };
  for (const auto& c : casi)
    EXPECT_EQ(LetteraleSql(c.valore), c.letterale) << c.valore;
}

}  // namespace
}  // namespace platform
