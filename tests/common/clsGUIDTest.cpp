#include "common/clsGUID.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

namespace orvane {
namespace {

TEST(clsGUID, UpperCaseRegistryFormOfAVersion4IdentifierWithExactRemovalAndNoRepeats) {
  const std::string id = clsGUID().CreateGUID("");
  static const std::regex kForma(
      R"(\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\})");
  EXPECT_TRUE(std::regex_match(id, kForma)) << id;
  // Absent characters, lower-case letters and repeats change nothing more.
  EXPECT_EQ(clsGUID().CreateGUID("xyzabcdef").size(), 38U);
  EXPECT_EQ(clsGUID().CreateGUID("--").size(), 34U);
  // With braces and hyphens gone: 32 hex digits, unique over many calls.
  std::set<std::string> visti;
  for (int i = 0; i < 20000; ++i) {
    const std::string cifre = clsGUID().CreateGUID("{}-");
    ASSERT_EQ(cifre.size(), 32U);
    ASSERT_EQ(cifre.find_first_not_of("0123456789ABCDEF"), std::string::npos) << cifre;
    visti.insert(cifre);
  }
  EXPECT_EQ(visti.size(), 20000U);
}

}  // namespace
}  // namespace orvane
