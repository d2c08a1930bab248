#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/clock.h"
#include "i2c/register_form.h"
#include "shell/program.h"
#include "shell/spy_driver.h"
#include "support/recording_ui.h"

namespace glim::i2c {
namespace {

// A watch on the program over a driver that records every transfer (with
// the time-out it was given) and can answer as boards the simulated one does
// not play.
class Watching : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<testing::SpyDriver>();
    spy = owned.get();
    program = std::make_unique<shell::Program>(std::move(owned), ui);
    program->main.Form_Activate();
    spy->sim.plug();
    program->dispatcher.drain();
    program->main.watch.useClock(clock);
    program->main.txtLog.setText("");
  }
  RegisterForm& win() { return program->main.i2cWindow.get(); }
  RegisterWatch& watch() { return program->main.watch; }
  const std::string& log() { return program->main.txtLog.text(); }
  // Runs the round due now, then moves the clock to the next.
  void round() {
    ASSERT_TRUE(watch().poll());
    clock.advanceTo(clock.nowMs() + 1000);
  }
  std::vector<testing::SpyDriver::Transfer> transfersOn(uint32_t pipe) const {
    std::vector<testing::SpyDriver::Transfer> out;
    for (const auto& t : spy->transfers) {
      if (t.pipe == pipe) out.push_back(t);
    }
    return out;
  }

  testing::RecordingUi ui;
  testing::SpyDriver* spy = nullptr;
  std::unique_ptr<shell::Program> program;
  forms::ScriptClock clock;
};

// Two chips on one bus: another slave address answers with its own value.
// Each is compared with itself only, however often the address is retyped.
TEST_F(Watching, EachChipsRegisterIsComparedWithItselfOnly) {
  spy->sim.setChipRegister(0, 0xA5);
  spy->alterRead = [this](std::span<uint8_t> bytes, usb::TransferResult&) {
    if (win().tbI2Caddr.text() != "40") return;
    bytes[0] = 0x00;  // acknowledged
    bytes[1] = 0x11;
  };
  win().cbWatch[0].userClick();
  for (const char* address : {"5A", "40", "5A", "40", "5A"}) {
    SCOPED_TRACE(address);
    win().tbI2Caddr.setText(address);
    round();
    EXPECT_EQ(win().lblWatch[0].caption(), "");
    EXPECT_EQ(win().tbI2Cregread[0].text(), std::string(address) == "40" ? "11" : "A5");
  }
  EXPECT_EQ(log(), "");
  // A change of one chip's register is still told, and against its own value.
  spy->sim.setChipRegister(0, 0xA6);
  round();
  EXPECT_EQ(win().lblWatch[0].caption(), "changed");
  EXPECT_EQ(log(), "00:00:05.000 Watch 0x00 PWM Brightness: A5 -> A6\r\n");
}

// A watch read's request and answer share one deadline, which the driver is
// given as their time-out, so that a silent board holds the window once, and
// briefly; a person's read waits as long as the board may take.
TEST_F(Watching, RequestAndAnswerShareOneShortDeadline) {
  usb::Faults slow;
  slow.hangPipes = {{2, 60}, {0x82, 0}};  // the request takes 60 ms; no answer comes
  spy->sim.setFaults(slow);
  win().cbWatch[3].userClick();
  round();
  EXPECT_EQ(win().lblWatch[3].caption(), "no answer");
  const auto requests = transfersOn(2);
  const auto answers = transfersOn(0x82);
  ASSERT_EQ(requests.size(), 1u);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_LE(requests[0].timeoutMs, RegisterWatch::kAnswerLimitMs);
  EXPECT_LE(answers[0].timeoutMs, RegisterWatch::kAnswerLimitMs - 40);  // what the request left of it
  EXPECT_GE(answers[0].timeoutMs, 1u);

  spy->sim.clearFaults();
  spy->transfers.clear();
  win().cbReadi2c[3].click();
  ASSERT_EQ(spy->transfers.size(), 2u);
  EXPECT_EQ(spy->transfers[0].timeoutMs, usb::protocol::kTransferTimeoutMs);
  EXPECT_EQ(spy->transfers[1].timeoutMs, usb::protocol::kTransferTimeoutMs);
}

// After a request the board refused, a watch reads no answer (its deadline
// is spent, and any answer would not be this register's); a person's read
// still does, as the board may hold one.
TEST_F(Watching, NoAnswerIsReadAfterARequestThatFailed) {
  usb::Faults refused;
  refused.refusedPipes = {2};
  spy->sim.setFaults(refused);
  win().cbWatch[3].userClick();
  round();
  EXPECT_EQ(win().lblWatch[3].caption(), "no answer");
  EXPECT_EQ(transfersOn(2).size(), 1u);
  EXPECT_EQ(transfersOn(0x82).size(), 0u);

  win().cbReadi2c[3].click();
  EXPECT_EQ(transfersOn(2).size(), 2u);
  EXPECT_EQ(transfersOn(0x82).size(), 1u);
}

// Only a click on a Watch box lifts a pause for no answer: a new interval
// does not.
TEST_F(Watching, ANewIntervalDoesNotLiftAPause) {
  usb::Faults silent;
  silent.timeoutPipes = {0x82};
  spy->sim.setFaults(silent);
  win().cbWatch[1].userClick();
  round();
  ASSERT_TRUE(watch().pausedByNoAnswer());
  spy->sim.clearFaults();
  const std::size_t made = spy->transfers.size();
  win().tbWatchms.setText("100");
  round();
  EXPECT_TRUE(watch().pausedByNoAnswer());
  EXPECT_EQ(spy->transfers.size(), made);
  EXPECT_EQ(win().lblWatch[1].caption(), "no answer");
  win().cbWatch[2].userClick();
  EXPECT_FALSE(watch().pausedByNoAnswer());
  round();
  EXPECT_EQ(spy->transfers.size(), made + 4);
  EXPECT_EQ(win().lblWatch[1].caption(), "");
}

}  // namespace
}  // namespace glim::i2c
