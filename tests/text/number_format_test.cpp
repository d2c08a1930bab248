#include "text/number_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "text/locale_guard.h"

namespace glim::text {
namespace {

TEST(HexText, UpperCaseWithoutLeadingZeros) {
  EXPECT_EQ(hex16(0x200B), "200B");
  EXPECT_EQ(hex16(0x1F), "1F");
  EXPECT_EQ(hex16(0), "0");
  EXPECT_EQ(hex16(-1), "FFFF");
  EXPECT_EQ(hex16(-32768), "8000");
  EXPECT_EQ(hex32(-1), "FFFFFFFF");
  EXPECT_EQ(hex32(0), "0");
  EXPECT_EQ(hex32(0x12345), "12345");
  EXPECT_EQ(hex32(-2147483647 - 1), "80000000");
  EXPECT_EQ(hex32(0xABCDEF01), "ABCDEF01");
}

struct FixedCase {
  double value;
  int decimals;
  std::string text;
};

TEST(FormatFixed, RoundsHalfAwayFromZeroAfterFifteenSignificantDigits) {
  const std::vector<FixedCase> cases = {
      {195.3125, 3, "195.313"},
      {195.3125, 1, "195.3"},
      {-195.3125, 3, "-195.313"},
      {50000, 1, "50000.0"},
      {0, 1, "0.0"},
      {0, 3, "0.000"},
      {0.0005, 3, "0.001"},
      {0.0004999, 3, "0.000"},
      {-0.0005, 3, "-0.001"},
      {-0.00004, 3, "0.000"},  // no "-0.000"
      {0.05, 1, "0.1"},        // binary 0.05000000000000000277
      {0.95, 1, "1.0"},        // binary 0.94999999999999995559
      {1.0005, 3, "1.001"},    // binary 1.00049999999999994493
      {9.9996, 3, "10.000"},
      {999.95, 1, "1000.0"},
      {0.5, 0, "1"},
      {1e15, 1, "1000000000000000.0"},
      {123456789012345678.0, 1, "123456789012346000.0"},
      {1e20, 3, "100000000000000000000.000"},
      {1e-300, 3, "0.000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " with " << c.decimals << " decimals");
    EXPECT_EQ(formatFixed(c.value, c.decimals), c.text);
  }
}

TEST(FormatGeneral, FifteenSignificantDigitsInPlainNotation) {
  const std::vector<std::pair<double, std::string>> cases = {
      {1320, "1320"},
      {99.99999999999999, "100"},
      {299.99940000119998, "299.9994000012"},
      {0, "0"},
      {-0.0, "0"},
      {0.1 + 0.2, "0.3"},
      {-2.5, "-2.5"},
      {1.0 / 3.0, "0.333333333333333"},
      {1e20, "100000000000000000000"},
      {1e-7, "0.0000001"},
      {-1.5e-7, "-0.00000015"},
      {123456789012345678.0, "123456789012346000"},
      {5e-324, "0." + std::string(323, '0') + "494065645841247"},
  };
  for (const auto& [value, text] : cases) {
    SCOPED_TRACE(testing::Message() << value);
    EXPECT_EQ(formatGeneral(value), text);
  }
}

TEST(NumberFormats, NonFiniteValuesHaveNames) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(formatGeneral(inf), "Infinity");
  EXPECT_EQ(formatFixed(-inf, 3), "-Infinity");
  EXPECT_EQ(formatGeneral(std::nan("")), "NaN");
}

TEST(NumberFormats, PointWhateverTheLocale) {
  const LocaleGuard locale;
  if (!locale.useDecimalCommaLocale()) GTEST_SKIP() << "no locale with a decimal comma installed";
  EXPECT_EQ(formatFixed(195.3125, 3), "195.313");
  EXPECT_EQ(formatFixed(-0.25, 1), "-0.3");
  EXPECT_EQ(formatGeneral(299.99940000119998), "299.9994000012");
}

}  // namespace
}  // namespace glim::text
