#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "shell_fixture.h"
#include "usb/sim/sim_driver.h"

namespace glim::testing {
namespace {

// Sets GLIMMORA_USB for one test and puts back what was there.
class UsbChoice {
 public:
  explicit UsbChoice(const char* value) {
    if (const char* old = std::getenv("GLIMMORA_USB")) saved_ = old;
    if (value != nullptr) {
      ::setenv("GLIMMORA_USB", value, 1);
    } else {
      ::unsetenv("GLIMMORA_USB");
    }
  }
  ~UsbChoice() {
    if (saved_) {
      ::setenv("GLIMMORA_USB", saved_->c_str(), 1);
    } else {
      ::unsetenv("GLIMMORA_USB");
    }
  }

 private:
  std::optional<std::string> saved_;
};

// The log of a program started on the layer the environment chooses.
struct Started {
  explicit Started(const char* choice) : guard(choice), program(usb::createDriverFromEnvironment(), ui) {
    program.main.Form_Activate();
    program.dispatcher.drain();
  }
  const std::string& log() const { return program.main.txtLog.text(); }

  UsbChoice guard;
  RecordingUi ui;
  shell::Program program;
};

TEST(DriverChoice, SimPlugsInOneBoardAtStart) {
  Started s("sim");
  ASSERT_NE(dynamic_cast<usb::sim::SimDriver*>(&s.program.driver()), nullptr);
  EXPECT_EQ(s.log(), kStartLines + attachLines(0x1000) + kAccepted);
  EXPECT_EQ(s.program.main.link.DeviceConnected, -1);
}

TEST(DriverChoice, SimEmptyStartsWithNoBoard) {
  Started s("sim-empty");
  ASSERT_NE(dynamic_cast<usb::sim::SimDriver*>(&s.program.driver()), nullptr);
  EXPECT_EQ(s.log(), kStartLines);
  EXPECT_EQ(s.program.main.link.DeviceConnected, 0);
}

TEST(DriverChoice, DefaultIsRealBoards) {
  for (const char* choice : {static_cast<const char*>(nullptr), "", "usb"}) {
    SCOPED_TRACE(choice == nullptr ? "unset" : choice);
    Started s(choice);
    EXPECT_EQ(dynamic_cast<usb::sim::SimDriver*>(&s.program.driver()), nullptr);
    if (s.program.main.link.DriverStatus != usb::kNoRealBoards) {
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
