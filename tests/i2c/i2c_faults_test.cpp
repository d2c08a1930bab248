#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "i2c/i2c_operations.h"
#include "i2c/register_form.h"
#include "support/sim_program.h"
#include "support/temp_dir.h"
#include "text/hex_text.h"
#include "usb/transfer_wait.h"

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
  EXPECT_EQ(ops().do_i2c_write(0).outcome, I2cOutcome::Sent);
  EXPECT_EQ(ops().do_i2c_read(0).outcome, I2cOutcome::Sent);
  EXPECT_EQ(p.written(2), (Packets{{0x00, 0xFE, 0x00, 0xFF}, {0x01, 0xFF, 0x00}}));
  EXPECT_TRUE(p.ui.boxes.empty());
}

TEST_F(I2cFaults, BlockWriteWithAValueThatDoesNotFitSendsNoPacket) {
  win().tbI2Creg[7].setText("1234");
  EXPECT_EQ(ops().do_i2c_writeall().outcome, I2cOutcome::NotSent);
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
      {"answer short", with([](Faults& f) {
         f.shortPipes = {{130, 1}};
       }),
       ""},
      {"answer empty", with([](Faults& f) {
         f.shortPipes = {{130, 0}};
       }),
       ""},
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
  for (int i = 0; i < usb::protocol::kRegisterCount; ++i) p.sim->setChipRegister(i, static_cast<uint8_t>(0xA0 + i));
  for (const uint32_t length : {0u, 1u, 2u, 6u, 22u, 23u}) {
    SCOPED_TRACE(length);
    Faults f;
    f.shortPipes = {{130, length}};
    p.sim->setFaults(f);
    ops().do_i2c_readall(0);
    const int arrived = length == 0 ? 0 : static_cast<int>(length) - 1;  // byte 0 is the board's
    for (int i = 0; i < usb::protocol::kRegisterCount; ++i) {
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
  for (int i = 0; i < usb::protocol::kRegisterCount; ++i) EXPECT_EQ(win().tbI2Cregread[i].text(), "") << i;
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
    const forms::Connection failing = p.main().link.onTransfer.connectScoped([&](const usb::TransferRecord& r) {
      if (r.pipe != 2 || r.bytes.size() != 3) return;
      const bool fail = std::find(c.failing.begin(), c.failing.end(), r.bytes[2]) != c.failing.end();
      Faults f;
      if (fail) f.timeoutPipes = {130};
      p.sim->setFaults(f);
    });
    win().cbReadall.click();
    EXPECT_EQ(win().lblStatus.caption(), c.status);
    EXPECT_EQ(win().lblStatus.problem(), !c.failing.empty());
  }
}

// The user's Cancel in the wait for the board, given to every transfer that
// has to be waited for.
struct CancellingHost final : usb::WaitHost {
  void waitForBoard(usb::PendingTransfer& pending, const usb::WaitLabel&) override { pending.cancel(); }
};

// Every action's status line says what became of it and carries the problem
// mark exactly when something went wrong, whatever the line showed before; a
// failed or cancelled transfer is the last of its handler's transfers that
// should not follow it (no read back after a failed write, no answer read
// after a cancelled request, nothing of a load after its cancelled settings).
TEST_F(I2cFaults, EveryOutcomeIsMarkedOnItsStatusLineAndStopsWhatShouldNotFollow) {
  testing::TempDir dir;
  const std::string setup = dir.file("setup.txt");
  p.ui.answers.push_back(setup);
  p.main().mFileSaveConfig.click();  // the defaults, to load back
  ASSERT_EQ(p.main().lblStatus.caption(), "Save Configuration: saved to setup.txt");

  CancellingHost cancelling;
  p.main().link.setWaitHost(&cancelling);
  const auto hang = [](uint32_t pipe) { return [pipe](Faults& f) { f.hangPipes = {{pipe, 0}}; }; };
  const auto refuse = [](uint32_t pipe) { return [pipe](Faults& f) { f.refusedPipes = {pipe}; }; };
  const auto register5 = [](std::function<void(Faults&)> fault) {
    // Right after register 4's write (the 5th transfer) until register 5's.
    return [fault](std::size_t made, Faults& f) {
      if (made == 5) fault(f);
      if (made == 6) f = Faults{};
    };
  };
  forms::StatusLabel& main = p.main().lblStatus;
  forms::StatusLabel& regs = win().lblStatus;
  struct Case {
    const char* name;
    std::function<void(Faults&)> fault;                     // from the start
    std::function<void(std::size_t made, Faults&)> during;  // changed after each transfer
    std::function<void()> act;
    forms::StatusLabel& status;
    std::string caption;  // exact, or how it begins when `begins`
    bool begins;
    bool problem;
    std::vector<uint32_t> pipes;  // of the transfers made, in order
  };
  const auto click = [](forms::CommandButton& b) { return [&b] { b.click(); }; };
  const auto verified = [this](int i) {
    return [this, i] {
      win().cbVerify.setValue(forms::CheckBox::Checked);
      win().cbWritei2c[i].click();
      win().cbVerify.setValue(forms::CheckBox::Unchecked);
    };
  };
  const auto load = [this, &setup] {
    p.ui.answers.push_back(setup);
    p.main().mFileLoadConfig.click();
  };
  const std::vector<uint32_t> all22(22, 2u);
  const Case cases[] = {
      {"write", nullptr, nullptr, click(win().cbWritei2c[10]), regs, "Write 0x0A GD: 4D written", false, false, {2}},
      {"write refused",
       refuse(2),
       nullptr,
       click(win().cbWritei2c[10]),
       regs,
       "Write 0x0A GD: failed: ",
       true,
       true,
       {2}},
      {"write refused, read back on",
       refuse(2),
       nullptr,
       verified(10),
       regs,
       "Write 0x0A GD: failed: ",
       true,
       true,
       {2}},
      {"write, read back on",
       nullptr,
       nullptr,
       verified(10),
       regs,
       "Write 0x0A GD: 4D written, read back equal",
       false,
       false,
       {2, 2, 130}},
      {"read", nullptr, nullptr, click(win().cbReadi2c[10]), regs, "Read 0x0A GD: 4D", false, false, {2, 130}},
      {"read timed out",
       [](Faults& f) { f.timeoutPipes = {130}; },
       nullptr,
       click(win().cbReadi2c[10]),
       regs,
       "Read 0x0A GD: failed: ",
       true,
       true,
       {2, 130}},
      {"read request cancelled",
       hang(2),
       nullptr,
       click(win().cbReadi2c[10]),
       regs,
       "Read 0x0A GD: failed: ",
       true,
       true,
       {2}},
      {"write all", nullptr, nullptr, click(win().cbWriteall), regs, "Write All: 22 written", false, false, all22},
      {"write all, one refused", nullptr, register5(refuse(2)), click(win().cbWriteall), regs,
       "Write All: 21 written, 1 failed: 0x05", false, true, all22},
      {"write all cancelled",
       nullptr,
       register5(hang(2)),
       click(win().cbWriteall),
       regs,
       "Write All: cancelled at 0x05 (5 written)",
       false,
       true,
       {2, 2, 2, 2, 2, 2}},
      {"write settings",
       nullptr,
       nullptr,
       click(p.main().timing.cbWritesettings),
       main,
       "Write Settings: sent",
       false,
       false,
       {1, 3}},
      {"write settings refused",
       refuse(3),
       nullptr,
       click(p.main().timing.cbWritesettings),
       main,
       "Write Settings: failed: ",
       true,
       true,
       {1, 3}},
      {"write settings cancelled",
       hang(1),
       nullptr,
       click(p.main().timing.cbWritesettings),
       main,
       "Write Settings: cancelled",
       false,
       true,
       {1}},
      {"load", nullptr, nullptr, load, main, "Load Configuration: setup.txt loaded and sent", false, false, {1, 3, 2}},
      {"load, block write refused",
       [](Faults& f) { f.refusedPipes = {2}; },
       nullptr,
       load,
       main,
       "Load Configuration: failed: ",
       true,
       true,
       {1, 3, 2}},
      {"load of a file not there",
       nullptr,
       nullptr,
       [this, &dir] {
         p.ui.answers.push_back(dir.file("missing.txt"));
         p.main().mFileLoadConfig.click();
       },
       main,
       "Load Configuration: failed: ",
       true,
       true,
       {}},
      {"load cancelled in its settings",
       hang(3),
       nullptr,
       load,
       main,
       "Load Configuration: failed: cancelled (the controls were loaded from setup.txt)",
       false,
       true,
       {1, 3}},
  };
  p.sim->setChipRegister(10, 0x4D);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const bool before : {false, true}) {
      Faults faults;
      if (c.fault) c.fault(faults);
      p.sim->setFaults(faults);
      std::vector<uint32_t> pipes;
      const forms::Connection counting = p.main().link.onTransfer.connectScoped([&](const usb::TransferRecord& r) {
        pipes.push_back(r.pipe);
        if (c.during) {
          Faults now = p.sim->faults();
          c.during(pipes.size(), now);
          p.sim->setFaults(now);
        }
      });
      // The mark shows this outcome, not the one before it.
      c.status.show("Before", "x", before);
      p.program->dispatcher.runHandler(c.act);
      EXPECT_EQ(c.begins ? c.status.caption().substr(0, c.caption.size()) : c.status.caption(), c.caption);
      EXPECT_EQ(c.status.problem(), c.problem) << "after a status with the mark " << (before ? "on" : "off");
      EXPECT_EQ(pipes, c.pipes);
      p.sim->clearFaults();
    }
  }
  p.main().link.setWaitHost(nullptr);
}

// A cancelled "Write Changed" stops as "Write All" does, and the register it
// was writing is no longer known: the next one writes it again, with the
// one it never reached, and nothing else.
TEST_F(I2cFaults, WriteChangedCancelledWritesTheRestNextTime) {
  win().cbWriteall.click();
  ASSERT_EQ(win().lblStatus.caption(), "Write All: 22 written");
  for (const int i : {3, 7, 12}) win().tbI2Creg[i].setText("5");
  CancellingHost cancelling;
  p.main().link.setWaitHost(&cancelling);
  std::size_t made = 0;
  {
    const forms::Connection hanging = p.main().link.onTransfer.connectScoped([&](const usb::TransferRecord&) {
      if (++made == 1)
        p.sim->setFaults([] {
          Faults f;
          f.hangPipes = {{2, 0}};
          return f;
        }());
    });
    win().cbWritechanged.click();
  }
  EXPECT_EQ(made, 2u);
  EXPECT_EQ(win().lblStatus.caption(), "Write Changed: cancelled at 0x07 (1 written)");
  EXPECT_TRUE(win().lblStatus.problem());
  EXPECT_EQ(ops().knownValue(3, 0x5A), uint8_t{5});
  EXPECT_EQ(ops().knownValue(7, 0x5A), std::nullopt);
  p.sim->clearFaults();
  p.main().link.setWaitHost(nullptr);
  p.transfers.clear();
  win().cbWritechanged.click();
  EXPECT_EQ(win().lblStatus.caption(), "Write Changed: 2 written (0x07, 0x0C), 20 unchanged");
  EXPECT_FALSE(win().lblStatus.problem());
  EXPECT_EQ(p.transfers.size(), 2u);
}

}  // namespace
}  // namespace glim::i2c
