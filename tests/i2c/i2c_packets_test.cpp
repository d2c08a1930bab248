#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i2c/i2c_operations.h"
#include "i2c/register_form.h"
#include "support/sim_program.h"
#include "text/hex_text.h"

namespace glim::i2c {
namespace {

using Bytes = std::vector<uint8_t>;
using Packets = std::vector<Bytes>;
constexpr const char* kNotConnected = "USB Device not connected!";

class I2cPackets : public ::testing::Test {
 protected:
  void SetUp() override { board = p.plug(); }

  RegisterForm& win() { return p.main().i2cWindow.get(); }
  I2cOperations& ops() { return p.main().i2c; }
  Packets answers() const {
    Packets out;
    for (const auto& t : p.transfers) {
      if (t.direction == usb::kRead && t.pipe == 130) out.push_back(t.bytes);
    }
    return out;
  }

  testing::SimProgram p;
  int board = 0;
};

TEST_F(I2cPackets, SingleWriteCarriesAddressRegisterAndValue) {
  win().cbWritei2c[3].click();
  EXPECT_EQ(p.written(2), (Packets{{0x00, 0x5A, 0x03, 0xB8}}));
  EXPECT_EQ(p.transfers.size(), 1u);
}

TEST_F(I2cPackets, HexadecimalTextRuleForValuesAndAddress) {
  struct Case {
    const char* text;
    uint8_t byte;
  };
  // Odd bytes only as values: an odd slave address is refused.
  const Case cases[] = {{"", 0x00}, {"5a", 0x5A}, {" 4 E ", 0x4E}, {"5G", 0x05}, {"00FF", 0xFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    p.transfers.clear();
    win().tbI2Creg[9].setText(c.text);
    win().tbI2Caddr.setText(c.byte % 2 ? "5A" : c.text);
    win().cbWritei2c[9].click();
    EXPECT_EQ(p.written(2), (Packets{{0x00, static_cast<uint8_t>(c.byte % 2 ? 0x5A : c.byte), 0x09, c.byte}}));
  }
  EXPECT_TRUE(p.ui.boxes.empty());
}

TEST_F(I2cPackets, BlockWriteWithTheDefaultsSendsTheWholeChipImage) {
  EXPECT_EQ(ops().do_i2c_writeall().outcome, I2cOutcome::Sent);
  EXPECT_EQ(p.written(2), (Packets{{0x00, 0x5A, 0x00, 0xFF, 0x00, 0x00, 0xB8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                    0x4D, 0xB3, 0x00, 0x00, 0x00, 0x29, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}}));
}

TEST_F(I2cPackets, SingleReadShowsTheValueByteInUpperCaseWithoutLeadingZeros) {
  struct Case {
    uint8_t value;
    const char* shown;
  };
  for (const Case c : {Case{0x4D, "4D"}, Case{0x05, "5"}, Case{0x00, "0"}, Case{0xFF, "FF"}, Case{0xAB, "AB"}}) {
    SCOPED_TRACE(c.shown);
    p.transfers.clear();
    p.sim->setChipRegister(0x0A, c.value);
    win().cbReadi2c[10].click();
    EXPECT_EQ(p.written(2), (Packets{{0x01, 0x5B, 0x0A}}));
    EXPECT_EQ(answers(), (Packets{{0x00, c.value}}));
    EXPECT_EQ(win().tbI2Cregread[10].text(), c.shown);
  }
}

TEST_F(I2cPackets, BlockReadFillsAllReadBoxesFromTheAnswer) {
  for (int i = 0; i < usb::protocol::kRegisterCount; ++i) p.sim->setChipRegister(i, static_cast<uint8_t>(0x10 + i));
  EXPECT_EQ(ops().do_i2c_readall(0).outcome, I2cOutcome::Sent);
  EXPECT_EQ(p.written(2), (Packets{{0x17, 0x5B, 0x00}}));
  ASSERT_EQ(answers().size(), 1u);
  EXPECT_EQ(answers()[0].size(), 23u);
  EXPECT_EQ(win().tbI2Cregread[0].text(), "10");
  EXPECT_EQ(win().tbI2Cregread[9].text(), "19");
  EXPECT_EQ(win().tbI2Cregread[10].text(), "1A");
  EXPECT_EQ(win().tbI2Cregread[21].text(), "25");
}

TEST_F(I2cPackets, WriteAllAndReadAllAreTwentyTwoSingleOperations) {
  win().cbWriteall.click();
  win().cbReadall.click();
  const Packets sent = p.written(2);
  ASSERT_EQ(sent.size(), 44u);
  for (int i = 0; i < usb::protocol::kRegisterCount; ++i) {
    const auto r = static_cast<uint8_t>(i);
    EXPECT_EQ(sent[static_cast<std::size_t>(i)][2], r);
    EXPECT_EQ(sent[static_cast<std::size_t>(usb::protocol::kRegisterCount + i)], (Bytes{0x01, 0x5B, r}));
    EXPECT_EQ(win().tbI2Cregread[i].text(), std::string(text::byteText(usb::protocol::kPowerOnRegisters[r]))) << i;
  }
}

TEST(I2cNoBoard, EveryOperationShowsTheMessageOnceAndChangesNothing) {
  testing::SimProgram p;
  I2cOperations& ops = p.main().i2c;
  EXPECT_EQ(ops.do_i2c_write(0).outcome, I2cOutcome::NotConnected);
  EXPECT_EQ(ops.do_i2c_writeall().outcome, I2cOutcome::NotConnected);
  EXPECT_EQ(ops.do_i2c_read(0).outcome, I2cOutcome::NotConnected);
  EXPECT_EQ(ops.do_i2c_readall(0).outcome, I2cOutcome::NotConnected);
  EXPECT_EQ(p.ui.countBoxes(kNotConnected), 4);
  EXPECT_EQ(p.ui.boxes.size(), 4u);
  EXPECT_EQ(p.main().i2cWindow.state(), RegisterWindow::State::NotLoaded);
  EXPECT_TRUE(p.transfers.empty());
}

TEST_F(I2cPackets, RowsOutsideTheWindowAreIgnored) {
  EXPECT_EQ(ops().do_i2c_write(22).outcome, I2cOutcome::NotSent);
  EXPECT_EQ(ops().do_i2c_read(-1).outcome, I2cOutcome::NotSent);
  EXPECT_EQ(ops().do_i2c_readall(256).outcome, I2cOutcome::NotSent);
  EXPECT_TRUE(p.transfers.empty());
  EXPECT_TRUE(p.ui.boxes.empty());
}

}  // namespace
}  // namespace glim::i2c
