#include "text/text_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "text/locale_guard.h"

namespace glim::text {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct Case {
  std::string text;
  double value;
};

void expectValues(const std::vector<Case>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    EXPECT_EQ(GetTextValue(c.text), c.value);
  }
}

TEST(GetTextValue, SkipsBlanksTabsAndLineFeedsAnywhere) {
  expectValues({
      {"  1 2", 12},
      {"1\t2\n3", 123},
      {" \n\t-\t4 2", -42},
      {"1 . 5 e 1", 15},
      {"& H 1 F", 31},
      {" \t\n", 0},
  });
}

TEST(GetTextValue, StopsAtTheFirstCharacterThatCannotContinue) {
  expectValues({
      {"3abc", 3},
      {"1.2.3", 1.2},
      {"12,5", 12},
      {"1\r\n2", 1},  // CR is not skipped: it ends the number
      {"1E3.5", 1000},
      {"1e3e4", 1000},
      {"1e", 1},
      {"1e+", 1},
      {"1ex", 1},
      {"0x10", 0},
      {std::string("1\0"
                   "2",
                   3),
       1},
  });
}

TEST(GetTextValue, SignDigitsAndOnePoint) {
  expectValues({
      {"-.5", -0.5},
      {"+7", 7},
      {"5.", 5},
      {"00012", 12},
      {"0.1", 0.1},
      {"--5", 0},
      {"+-5", 0},
  });
}

TEST(GetTextValue, ExponentLetterEOrD) {
  expectValues({
      {"1e3", 1000},
      {"1E3", 1000},
      {"1D2", 100},
      {"1d2", 100},
      {"2.5e-1", 0.25},
      {"1e+2", 100},
      {"-1.5D+1", -15},
      {"e3", 0},
  });
}

TEST(GetTextValue, HexadecimalIsASigned16BitValueOfUpToFourDigits) {
  expectValues({
      {"&HFFFF", -1},
      {"&H1F", 31},
      {"&h1f", 31},
      {"&H7FFF", 32767},
      {"&H8000", -32768},
      {"&H12345", 0x1234},
      {"&H0", 0},
      {"&H", 0},
      {"&HG", 0},
      {"&H-1", 0},
      {"-&H1", 0},
      {"&", 0},
      {"&O17", 0},
  });
}

TEST(GetTextValue, NoLeadingNumberIsZero) {
  expectValues({{"", 0}, {"abc", 0}, {"+", 0}, {"-", 0}, {".", 0}, {"-.", 0}, {"-.e5", 0}});
}

TEST(GetTextValue, ValuesBeyondTheDoubleRangeNeitherThrowNorWrap) {
  expectValues({
      {"1e400", kInf},
      {"-1e400", -kInf},
      {"1" + std::string(400, '0'), kInf},
      {"1e-400", 0},
      {"0e999999999999999", 0},
      {"1e99999999999999999999", kInf},
      // Exponent and a long run of zeros cancel out.
      {"0." + std::string(70000, '0') + "1e70005", 10000},
      {"1" + std::string(70000, '0') + "e-70000", 1},
  });
}

TEST(GetTextValue, ZeroIsAlwaysPositive) {
  for (const char* text : {"-0", "-0.0e5", "-1e-400", "-&H0"}) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(std::signbit(GetTextValue(text)));
  }
}

TEST(GetTextValue, PointIsTheDecimalSeparatorWhateverTheLocale) {
  const LocaleGuard locale;
  if (!locale.useDecimalCommaLocale()) GTEST_SKIP() << "no locale with a decimal comma installed";
  EXPECT_EQ(GetTextValue("1.5"), 1.5);
  EXPECT_EQ(GetTextValue("1,5"), 1);
  EXPECT_EQ(GetTextValue("-2.5e-1"), -0.25);
}

}  // namespace
}  // namespace glim::text
