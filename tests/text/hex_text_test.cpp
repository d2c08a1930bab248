#include "text/hex_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace glim::text {
namespace {

TEST(HexTextValue, ReadsHexadecimalDigitsUntilTheFirstOther) {
  const std::vector<std::pair<std::string, uint32_t>> cases = {
      {"5A", 0x5A},
      {"5a", 0x5A},
      {"", 0},
      {"5G", 5},
      {"5Z1", 5},
      {" 5 A ", 0x5A},
      {"G5", 0},
      {"-5", 0},
      {"00FF", 0xFF},
      {"100", 0x100},
      {"ffffffff", 0xFFFFFFFF},
      // Too long for 32 bits: saturates rather than wraps into a small value.
      {"100000000", UINT32_MAX},
      {"123456789ABCDEF", UINT32_MAX},
      {std::string(1000, 'F') + "0", UINT32_MAX},
  };
  for (const auto& [text, value] : cases) {
    SCOPED_TRACE("text \"" + text + "\"");
    EXPECT_EQ(hexTextValue(text), value);
  }
}

TEST(ByteText, UpperCaseWithoutLeadingZerosAndReadsBack) {
  EXPECT_EQ(byteText(0x00), "0");
  EXPECT_EQ(byteText(0x05), "5");
  EXPECT_EQ(byteText(0x4D), "4D");
  EXPECT_EQ(byteText(0xFF), "FF");
  for (int v = 0; v < 256; ++v) EXPECT_EQ(hexTextValue(byteText(static_cast<uint8_t>(v))), static_cast<uint32_t>(v));
}

TEST(HexText, PadsOnlyToTheDigitsAskedForAndJoinsBytes) {
  EXPECT_EQ(hexText(0xA, 2), "0A");
  EXPECT_EQ(hexText(0xABC, 2), "ABC");
  EXPECT_EQ(hexText(0, 4), "0000");
  EXPECT_EQ(hexText(UINT32_MAX), "FFFFFFFF");
  EXPECT_EQ(hexBytes({}), "");
  const uint8_t bytes[] = {0x00, 0x0A, 0xFF};
  EXPECT_EQ(hexBytes(bytes), "00 0A FF");
}

}  // namespace
}  // namespace glim::text
