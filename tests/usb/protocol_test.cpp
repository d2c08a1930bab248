// The packet builders as functions: the bytes the board receives, written out
// by hand so that a slip in the protocol table shows here.
#include "usb/protocol.h"

#include <gtest/gtest.h>

#include <array>
#include <numeric>
#include <vector>

namespace glim::usb::protocol {
namespace {

using Bytes = std::vector<uint8_t>;
template <std::size_t N>
Bytes bytesOf(const std::array<uint8_t, N>& a) {
  return Bytes(a.begin(), a.end());
}

TEST(Protocol, PinPacketForEveryChoiceOfTheTwoLines) {
  struct Case {
    OneDen oneDen;
    bool shutbLow;
    Bytes packet;
  };
  const Case cases[] = {
      {OneDen::Floating, false, {0xFE, 0xE3}}, {OneDen::Floating, true, {0xDE, 0xE3}},
      {OneDen::Low, false, {0xEE, 0xF3}},      {OneDen::Low, true, {0xCE, 0xF3}},
      {OneDen::High, false, {0xFE, 0xF3}},     {OneDen::High, true, {0xDE, 0xF3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.oneDen) * 2 + c.shutbLow);
    EXPECT_EQ(bytesOf(pinPacket(c.oneDen, c.shutbLow)), c.packet);
  }
}

TEST(Protocol, I2cPackets) {
  std::array<uint8_t, kRegisterCount> values{};
  std::iota(values.begin(), values.end(), uint8_t{0x40});
  Bytes block = {0x00, 0x5A, 0x00};
  block.insert(block.end(), values.begin(), values.end());

  EXPECT_EQ(bytesOf(registerWritePacket(0x5A, 0x0A, 0x4C)), (Bytes{0x00, 0x5A, 0x0A, 0x4C}));
  EXPECT_EQ(bytesOf(registerReadRequest(readAddress(0x5A), 0x15)), (Bytes{0x01, 0x5B, 0x15}));
  EXPECT_EQ(bytesOf(registerBlockReadRequest(readAddress(0x5A), 0x00)), (Bytes{0x17, 0x5B, 0x00}));
  EXPECT_EQ(bytesOf(registerBlockWritePacket(0x5A, values)), block);
  EXPECT_EQ(kI2cBlockAnswerLength, 0x17);  // the block read's command byte is its answer's length
}

TEST(Protocol, SettingsPacketIsTheLeadByteThenTheImage) {
  std::array<uint8_t, kTimingBytes> image{};
  std::iota(image.begin(), image.end(), uint8_t{1});
  const auto packet = settingsPacket(image);
  ASSERT_EQ(packet.size(), 44u);
  EXPECT_EQ(packet[0], 0x00);
  EXPECT_EQ(Bytes(packet.begin() + 1, packet.end()), Bytes(image.begin(), image.end()));
}

TEST(Protocol, TwelveBitValuesTakeTheLowNibbleOfTheHighByte) {
  EXPECT_EQ(twelveBits(0x05, 0x28), 1320u);
  EXPECT_EQ(twelveBits(0x0F, 0xFF), kTwelveBitMax);
  EXPECT_EQ(twelveBits(0xF4, 0xE1), 0x4E1u);
}

}  // namespace
}  // namespace glim::usb::protocol
