#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "forms/clock.h"
#include "i2c/register_form.h"
#include "shell/program.h"
#include "shell/spy_driver.h"
#include "support/recording_ui.h"

namespace glim::i2c {
namespace {

using text::FailureKind;

// The answers a board may give to a register read, and what each becomes in
// every place a read's value goes: the read box and its mark, the status
// line, Read All, read back after write, Copy and a watch. Only a whole answer
// with status byte 00 is a value of the chip's.
class I2cAnswers : public ::testing::Test {
 protected:
  void SetUp() override {
    auto owned = std::make_unique<testing::SpyDriver>();
    spy = owned.get();
    program = std::make_unique<shell::Program>(std::move(owned), ui);
    program->main.Form_Activate();
    spy->sim.plug();
    program->dispatcher.drain();
    spy->sim.setChipRegister(10, 0x4D);
    program->main.watch.useClock(clock);
  }
  RegisterForm& win() { return program->main.i2cWindow.get(); }
  const std::string& log() { return program->main.txtLog.text(); }
  // Every answer on the answer pipe comes as `bytes` say; nullopt: timed out.
  void answer(std::function<void(std::span<uint8_t>, usb::TransferResult&)> alter) { spy->alterRead = alter; }

  testing::RecordingUi ui;
  testing::SpyDriver* spy = nullptr;
  std::unique_ptr<shell::Program> program;
  forms::ScriptClock clock;
};

struct Answer {
  const char* name;
  std::function<void(std::span<uint8_t>, usb::TransferResult&)> alter;
  FailureKind kind;
  const char* box;     // the read box's text
  const char* note;    // its mark ("" for a value)
  const char* reason;  // after "Read 0x0A GD: "
};

const auto status = [](uint8_t byte) {
  return [byte](std::span<uint8_t> bytes, usb::TransferResult&) { bytes[0] = byte; };
};

const Answer kAnswers[] = {
    {"status 00", status(0x00), FailureKind::None, "4D", "", "4D"},
    {"status 01", status(0x01), FailureKind::NoAnswer, "4D",
     "no acknowledge from the chip at 0x5A (the board answered 01)",
     "no acknowledge from the chip at 0x5A (the board answered 01)"},
    {"status 7E", status(0x7E), FailureKind::NoAnswer, "4D",
     "no acknowledge from the chip at 0x5A (the board answered 0x7E)",
     "no acknowledge from the chip at 0x5A (the board answered 0x7E)"},
    {"short", [](std::span<uint8_t>, usb::TransferResult& r) { r.bytes = 1; }, FailureKind::Short, "", "",
     "failed: the board's answer held no value (1 of 2 bytes)"},
    {"none",
     [](std::span<uint8_t>, usb::TransferResult& r) {
       r.status = usb::kTimeout;
       r.bytes = 0;
     },
     FailureKind::TimedOut, "", "", "failed: Time-out"},
};

TEST_F(I2cAnswers, OnlyAWholeAnswerWithStatus00IsAValue) {
  for (const Answer& a : kAnswers) {
    SCOPED_TRACE(a.name);
    const bool value = a.kind == FailureKind::None;
    answer(nullptr);
    win().tbI2Creg[10].setText("11");

    // A single read.
    answer(a.alter);
    win().cbReadi2c[10].click();
    EXPECT_EQ(win().tbI2Cregread[10].text(), a.box);
    EXPECT_EQ(win().tbI2Cregread[10].note(), a.note);
    EXPECT_TRUE(win().lblStatus.caption().starts_with(std::string("Read 0x0A GD: ") + a.reason))
        << win().lblStatus.caption();
    EXPECT_EQ(win().lblStatus.failure(), a.kind);
    EXPECT_EQ(win().lblStatus.problem(), !value);
    EXPECT_EQ(program->main.i2c.lastRead(10).value.has_value(), value);

    // Copy takes only a value.
    win().cbCopyi2c[10].click();
    EXPECT_EQ(win().tbI2Creg[10].text(), value ? "4D" : "11") << win().lblStatus.caption();

    // Read All counts it as read or failed, and leaves the mark on.
    win().cbReadall.click();
    EXPECT_EQ(win().lblStatus.caption().starts_with("Read All: 22 read"), value) << win().lblStatus.caption();
    // (A box that lost its value says the last Read All did not read it.)
    EXPECT_EQ(win().tbI2Cregread[10].note(), *a.box == 0 ? RegisterForm::kNotReadNote : a.note);
    win().cbCopyall.click();
    EXPECT_EQ(win().tbI2Creg[10].text(), value ? "4D" : "11") << win().lblStatus.caption();

    // Read back after write compares only with a value.
    win().tbI2Creg[10].setText("4D");
    win().cbVerify.setValue(forms::CheckBox::Checked);
    win().cbWritei2c[10].click();
    win().cbVerify.setValue(forms::CheckBox::Unchecked);
    EXPECT_EQ(win().lblStatus.caption().starts_with(value ? "Write 0x0A GD: 4D written, read back equal"
                                                          : "Write 0x0A GD: 4D written, read back failed: "),
              true)
        << win().lblStatus.caption();
    // What the chip is known to hold comes from the write alone then.
    EXPECT_EQ(program->main.i2c.knownValue(10, 0x5A), std::optional<uint8_t>(0x4D));

    // A watch marks the row "no answer" and pauses.
    win().cbWatch[10].userClick();
    EXPECT_TRUE(program->main.watch.poll());
    EXPECT_EQ(win().lblWatch[10].caption(), value ? "" : "no answer");
    EXPECT_EQ(program->main.watch.pausedByNoAnswer(), !value);
    win().cbWatch[10].userClick();
    EXPECT_EQ(program->main.watch.pausedByNoAnswer(), false);
    win().lblWatch[10].setCaption("");
  }
}

// The board's own status byte names the chip's address as typed and the byte
// it answered, in the log as on the status line, once per read.
TEST_F(I2cAnswers, ANoAcknowledgeIsLoggedWithTheAddressAndTheByte) {
  answer(status(0x01));
  win().tbI2Caddr.setText("40");
  program->main.txtLog.setText("");
  win().cbReadi2c[13].click();
  EXPECT_EQ(log(), "Read 0x0D DM: no acknowledge from the chip at 0x40 (the board answered 01)\r\n");
  EXPECT_EQ(win().lblStatus.caption(), "Read 0x0D DM: no acknowledge from the chip at 0x40 (the board answered 01)");
  // A person's own text in the box is a value again.
  win().tbI2Cregread[13].setText("22");
  EXPECT_TRUE(win().holdsRead(13));
}

}  // namespace
}  // namespace glim::i2c
