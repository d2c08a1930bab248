#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "shell_fixture.h"
#include "usb/driver_factory.h"

namespace glim::testing {
namespace {

// The log of a program started on the layer a GLIMMORA_USB text chooses.
struct Started {
  explicit Started(std::string_view choice) : program(usb::createDriver(usb::parseDriverChoice(choice)), ui) {
    program.main.Form_Activate();
    program.dispatcher.drain();
  }
  const std::string& log() const { return program.main.txtLog.text(); }

  RecordingUi ui;
  shell::Program program;
};

TEST(DriverChoice, SimPlugsInOneBoardAtStart) {
  Started s("sim");
  ASSERT_NE(s.program.bench(), nullptr);  // the simulated board has a bench
  EXPECT_EQ(s.log(), kStartLines + attachLines(0x1000) + kAccepted);
  EXPECT_TRUE(s.program.main.link.deviceConnected());
}

TEST(DriverChoice, SimEmptyStartsWithNoBoard) {
  Started s("sim-empty");
  ASSERT_NE(s.program.bench(), nullptr);  // the simulated board has a bench
  EXPECT_EQ(s.log(), kStartLines);
  EXPECT_FALSE(s.program.main.link.deviceConnected());
}

// Unset reaches the front ends as "", and only the two exact words mean the
// simulated board.
TEST(DriverChoice, AnyOtherTextIsRealBoards) {
  for (const char* choice : {"", "usb", "SIM", "sim ", "sim-emptyx"}) {
    SCOPED_TRACE(choice);
    EXPECT_EQ(usb::parseDriverChoice(choice), usb::DriverChoice::RealBoards);
    Started s(choice);
    EXPECT_EQ(s.program.bench(), nullptr);  // real boards have none
    if (s.program.main.link.driverStatus() != usb::kNoRealBoards) {
      // This build reaches real boards: with none plugged in, the window starts
      // as always and board commands find no board.
      EXPECT_EQ(s.log().substr(0, std::string(kStartLines).size()), kStartLines);
      EXPECT_FALSE(s.program.main.link.requireDevice());
      s.program.main.cbQuit_Click();
      continue;
    }
    EXPECT_EQ(s.log(), std::string(kStartLines) +
                           "Form_Activate(): Failed to initialize USB driver: error &H20000013\r\n(" +
                           usb::statusText(usb::kNoRealBoards) + ")\r\n");
    EXPECT_FALSE(s.program.main.link.requireDevice());
    s.program.main.cbQuit_Click();
  }
}

}  // namespace
}  // namespace glim::testing
