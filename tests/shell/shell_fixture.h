#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "shell/program.h"
#include "spy_driver.h"
#include "support/recording_ui.h"
#include "usb/vendor_id.h"

namespace glim::testing {

inline constexpr const char* kStartLines = "Please verify that the device is attached...\r\n\r\n";

inline std::string upperHex(unsigned value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%X", value);
  return buf;
}

// The received-attach lines for a board of ours with the given handle.
inline std::string attachLines(unsigned handle) {
  return "DeviceAttach: Received attach for \r\nvendor ID &H" + upperHex(usb::kBoardVendorId) +
         " product ID &H200B\r\ndevice handle &H" + upperHex(handle) + "\r\n";
}
inline const std::string kAccepted = "DeviceAttach: Accepting control of the device\r\n\r\n";
inline const std::string kRejected = "DeviceAttach: Rejecting control of the device\r\n";

// The whole program over a spied simulated layer.
class ShellTest : public ::testing::Test {
 protected:
  ShellTest() {
    auto owned = std::make_unique<SpyDriver>();
    driver = owned.get();
    program = std::make_unique<shell::Program>(std::move(owned), ui);
  }

  shell::MainForm& main() { return program->main; }
  usb::BoardLink& link() { return program->main.link; }
  const std::string& log() { return program->main.txtLog.text(); }
  void settle() { program->dispatcher.drain(); }
  void activate() {
    main().Form_Activate();
    settle();
  }
  int plug() {
    const int n = driver->sim.plug();
    settle();
    return n;
  }
  void unplug(int board) {
    driver->sim.unplug(board);
    settle();
  }
  // Log text written from now on.
  std::string logSince(std::size_t mark) { return log().substr(mark); }

  RecordingUi ui;
  SpyDriver* driver = nullptr;
  std::unique_ptr<shell::Program> program;
};

}  // namespace glim::testing
