#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "i2c/i2c_operations.h"
#include "i2c/register_form.h"
#include "support/sim_program.h"
#include "text/hex_text.h"

namespace glim::i2c {
namespace {

using Packets = std::vector<std::vector<uint8_t>>;
using usb::sim::Faults;

class I2cFaults : public ::testing::Test {
 protected:
  void SetUp() override { p.plug(); }
  RegisterForm& win() { return p.main().i2cWindow.get(); }
  I2cOperations& ops() { return p.main().i2c; }

  testing::SimProgram p;
};

// Texts that do not fit their byte send nothing and say so once, naming the box.
TEST_F(I2cFaults, TextsThatDoNotFitAByteSendNothing) {
  struct Case {
    const char* name;
    const char* address;
    const char* value;  // of register 3
    bool read;
    const char* message;
  };
  const Case cases[] = {
      {"value", "5A", "100", false,
       "Register 0x03 Identification: \"100\" does not fit in a byte (0 to FF). Nothing was sent."},
      {"address", "1FF", "B8", false, "Slave Address: \"1FF\" does not fit in a byte (0 to FF). Nothing was sent."},
      {"address in a read", "1FF", "B8", true,
       "Slave Address: \"1FF\" does not fit in a byte (0 to FF). Nothing was sent."},
      {"odd address in a read", "ff", "B8", true,
       "Slave Address: \"ff\" is odd. Type the chip's write address; reads use the address + 1. Nothing was sent."},
      {"odd address in a write", "5B", "B8", false,
       "Slave Address: \"5B\" is odd. Type the chip's write address; reads use the address + 1. Nothing was sent."},
      {"huge value", "5A", "FFFFFFFFFFFFFFFFFFFF", false,
       "Register 0x03 Identification: \"FFFFFFFFFFFFFFFFFFFF\" does not fit in a byte (0 to FF). Nothing was sent."},
      {"long text cut", "5A", "1234567890123456789012345678901234567890123", false,
       "Register 0x03 Identification: \"1234567890123456789012345678901234567890...\" does not fit in a byte (0 "
       "to FF). Nothing was sent."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    p.transfers.clear();
    p.ui.boxes.clear();
    win().tbI2Caddr.setText(c.address);
    win().tbI2Creg[3].setText(c.value);
    win().tbI2Cregread[3].setText("77");
    const I2cOutcome outcome = (c.read ? ops().do_i2c_read(3) : ops().do_i2c_write(3)).outcome;
    EXPECT_EQ(outcome, I2cOutcome::NotSent);
    EXPECT_TRUE(p.transfers.empty());
    ASSERT_EQ(p.ui.boxes.size(), 1u);
    EXPECT_EQ(p.ui.boxes[0].text, c.message);
    EXPECT_EQ(win().tbI2Cregread[3].text(), "77");
  }
}

TEST_F(I2cFaults, AddressFeWritesToFeAndReadsFromFf) {
  win().tbI2Caddr.setText("FE");
  EXPECT_EQ(ops().do_i2c_write(0), I2cOutcome::Sent);
  EXPECT_EQ(ops().do_i2c_read(0), I2cOutcome::Sent);
  EXPECT_EQ(p.written(2), (Packets{{0x00, 0xFE, 0x00, 0xFF}, {0x01, 0xFF, 0x00}}));
  EXPECT_TRUE(p.ui.boxes.empty());
}

TEST_F(I2cFaults, BlockWriteWithAValueThatDoesNotFitSendsNoPacket) {
  win().tbI2Creg[7].setText("1234");
  EXPECT_EQ(ops().do_i2c_writeall(), I2cOutcome::NotSent);
  EXPECT_TRUE(p.transfers.empty());
  ASSERT_EQ(p.ui.boxes.size(), 1u);
  EXPECT_EQ(p.ui.boxes[0].text, "Register 0x07: \"1234\" does not fit in a byte (0 to FF). Nothing was sent.");
}

// A register whose answer byte did not arrive in this read shows nothing. Each
// case first reads successfully, so that the link still holds that earlier
// transfer's count when the faulty read fails before its own transfer.
TEST_F(I2cFaults, SingleReadWithoutItsAnswerEmptiesTheBox) {
  struct Case {
    const char* name;
    Faults faults;
    const char* logged;
  };
  const auto with = [](auto set) {
    Faults f;
    set(f);
    return f;
  };
  const Case cases[] = {
      {"answer refused", with([](Faults& f) { f.refusedPipes = {130}; }), "ReadPipe: WDU_Transfer() failed"},
      {"answer timed out", with([](Faults& f) { f.timeoutPipes = {130}; }), "ReadPipe: WDU_Transfer() failed"},
      {"request refused", with([](Faults& f) { f.refusedPipes = {2}; }), "WritePipe: WDU_Transfer() failed"},
      {"answer short", with([](Faults& f) { f.shortPipes = {{130, 1}}; }), ""},
      {"answer empty", with([](Faults& f) { f.shortPipes = {{130, 0}}; }), ""},
      {"device info refused", with([](Faults& f) { f.deviceInfoRefused = true; }),
       "ReadPipe: WDU_GetDeviceInfo() failed:"},
      {"no pipes", with([](Faults& f) { f.noPipes = true; }), "Read Pipe failed"},
  };
  p.sim->setChipRegister(10, 0x4D);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    p.sim->clearFaults();
    win().cbReadi2c[2].click();
    ASSERT_EQ(win().tbI2Cregread[2].text(), "0");
    ASSERT_EQ(p.transfers.back().bytes.size(), 2u);

    p.sim->setFaults(c.faults);
    win().tbI2Cregread[10].setText("0");
    win().cbReadi2c[10].click();
    EXPECT_EQ(win().tbI2Cregread[10].text(), "");
    EXPECT_EQ(win().tbI2Cregread[2].text(), "0");
    EXPECT_NE(p.log().find(c.logged), std::string::npos);
  }
  p.sim->clearFaults();
  win().cbReadi2c[10].click();
  EXPECT_EQ(win().tbI2Cregread[10].text(), "4D");
  EXPECT_TRUE(p.ui.boxes.empty());
}

TEST_F(I2cFaults, ShortBlockReadShowsTheRegistersThatArrivedAndEmptiesTheRest) {
  for (int i = 0; i < kRegisterCount; ++i) p.sim->setChipRegister(i, static_cast<uint8_t>(0xA0 + i));
  for (const uint32_t length : {0u, 1u, 2u, 6u, 22u, 23u}) {
    SCOPED_TRACE(length);
    Faults f;
    f.shortPipes = {{130, length}};
    p.sim->setFaults(f);
    ops().do_i2c_readall(0);
    const int arrived = length == 0 ? 0 : static_cast<int>(length) - 1;  // byte 0 is the board's
    for (int i = 0; i < kRegisterCount; ++i) {
      const std::string expected = i < arrived ? std::string(text::byteText(static_cast<uint8_t>(0xA0 + i))) : "";
      EXPECT_EQ(win().tbI2Cregread[i].text(), expected) << i;
    }
  }
}

TEST_F(I2cFaults, FailedBlockReadEmptiesEveryBoxEvenAfterAFullRead) {
  ops().do_i2c_readall(0);
  ASSERT_EQ(win().tbI2Cregread[0].text(), "FF");
  ASSERT_EQ(p.transfers.back().bytes.size(), 23u);
  Faults f;
  f.deviceInfoRefused = true;
  p.sim->setFaults(f);
  ops().do_i2c_readall(0);
  for (int i = 0; i < kRegisterCount; ++i) EXPECT_EQ(win().tbI2Cregread[i].text(), "") << i;
}

}  // namespace
}  // namespace glim::i2c

namespace glim::i2c {
namespace {

// Read All counts what it read and names what it could not, from the outcome
// of each register's own read.
TEST_F(I2cFaults, ReadAllStatusCountsAndNamesTheFailedRegisters) {
  struct Case {
    std::vector<int> failing;  // registers whose answer times out
    const char* status;
  };
  const Case cases[] = {
      {{}, "Read All: 22 read"},
      {{5}, "Read All: 21 read, 1 failed: 0x05"},
      {{1, 2, 3, 4}, "Read All: 18 read, 4 failed: 0x01, 0x02, 0x03, \u2026"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    // The answer pipe times out while a failing register's request is pending.
    p.main().link.onTransfer = [&](const usb::TransferRecord& r) {
      if (r.pipe != 2 || r.bytes.size() != 3) return;
      const bool fail = std::find(c.failing.begin(), c.failing.end(), r.bytes[2]) != c.failing.end();
      Faults f;
      if (fail) f.timeoutPipes = {130};
      p.sim->setFaults(f);
    };
    win().cbReadall.click();
    EXPECT_EQ(win().lblStatus.caption(), c.status);
    EXPECT_EQ(win().lblStatus.problem(), !c.failing.empty());
  }
}

}  // namespace
}  // namespace glim::i2c
