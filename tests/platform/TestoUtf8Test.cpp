#include "platform/TestoUtf8.h"

#include <gtest/gtest.h>

#include <string_view>

namespace platform {
namespace {

TEST(TestoUtf8Test, AsciiFoldingTouchesOnlyAsciiLettersWhateverTheLocale) {
  EXPECT_EQ(MinuscoloAscii("Content-LENGTH: 12 À"), "content-length: 12 À");
  EXPECT_EQ(MaiuscoloAscii("hkey_current_user perché"), "HKEY_CURRENT_USER PERCHé");
  struct Caso {
    std::string_view a, b;
    bool uguali;
  };
  for (const Caso& c : {Caso{"Location", "LOCATION", true}, Caso{"Perché", "PERCHÉ", false},
                        Caso{"abc", "abcd", false}, Caso{"", "", true}}) {
    EXPECT_EQ(UgualiSenzaMaiuscoleAscii(c.a, c.b), c.uguali) << c.a << " / " << c.b;
  }
  EXPECT_TRUE(IniziaSenzaMaiuscoleAscii("DWORD:0000", "dword:"));
  EXPECT_FALSE(IniziaSenzaMaiuscoleAscii("dwo", "dword:"));
  EXPECT_LT(ConfrontaSenzaMaiuscoleAscii("abc", "ABD"), 0);
  EXPECT_EQ(ConfrontaSenzaMaiuscoleAscii("ABC", "abc"), 0);
  EXPECT_GT(ConfrontaSenzaMaiuscoleAscii("abc", "AB"), 0);
  // Bytes above 127 compare as unsigned values, after every ASCII letter.
  EXPECT_GT(ConfrontaSenzaMaiuscoleAscii("é", "z"), 0);
}

TEST(TestoUtf8Test, Utf8FoldingMatchesNamesAsWindowsDoes) {
  EXPECT_TRUE(UgualiSenzaMaiuscoleUtf8("Perché", "PERCHÉ"));
  EXPECT_TRUE(UgualiSenzaMaiuscoleUtf8("Σοφια", "ΣΟΦΙΑ"));
  EXPECT_FALSE(UgualiSenzaMaiuscoleUtf8("Perche", "PERCHÉ"));
  // Bytes that are not UTF-8 stay as they are.
  EXPECT_EQ(MaiuscoloPerConfrontoUtf8("a\xff"), "A\xff");
}

TEST(TestoUtf8Test, EachTrimRemovesOnlyTheBlanksItsNameSays) {
  const std::string_view testo = "\r\n\t  valore \t \v\f";
  EXPECT_EQ(SenzaBianchiAiLati(testo), "valore");
  EXPECT_EQ(SenzaSpaziAiLati(" \t valore \t\r\n"), "valore \t\r\n");
  EXPECT_EQ(SenzaCaratteriSpazioAiLati("  \tVERIFICA  "), "\tVERIFICA");
  EXPECT_EQ(SenzaBianchiAiLati(" \t\r\n"), "");
  EXPECT_TRUE(BiancoAscii('\v'));
  EXPECT_FALSE(BiancoAscii('\0'));
}

}  // namespace
}  // namespace platform
