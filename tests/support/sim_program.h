#pragma once
#include <memory>
#include <string>
#include <vector>

#include "forms/signal.h"
#include "shell/program.h"
#include "support/recording_ui.h"
#include "usb/sim/sim_driver.h"

namespace glim::testing {

// The whole program on the simulated layer, as a test drives it: the main
// window activated once (driver open), boards plugged by the test, and every
// packet the pipe methods moved recorded.
class SimProgram {
 public:
  explicit SimProgram(bool activate = true) {
    auto driver = std::make_unique<usb::sim::SimDriver>();
    sim = driver.get();
    program = std::make_unique<shell::Program>(usb::DriverAndBench{std::move(driver), sim}, ui);
    recording_ =
        program->main.link.onTransfer.connectScoped([this](const usb::TransferRecord& r) { transfers.push_back(r); });
    if (activate) {
      program->main.Form_Activate();
      settle();
    }
  }

  // Runs the attach and detach notifications the layer queued.
  void settle() { program->dispatcher.drain(); }

  int plug() {
    const int n = sim->plug();
    settle();
    return n;
  }
  void unplug(int board) {
    sim->unplug(board);
    settle();
  }

  shell::MainForm& main() { return program->main; }
  const std::string& log() { return program->main.txtLog.text(); }

  // Packets written on a pipe, in order.
  std::vector<std::vector<uint8_t>> written(uint32_t pipe) const {
    std::vector<std::vector<uint8_t>> out;
    for (const auto& t : transfers) {
      if (t.direction == usb::kWrite && t.pipe == pipe) out.push_back(t.bytes);
    }
    return out;
  }

  RecordingUi ui;
  usb::sim::SimDriver* sim = nullptr;
  std::unique_ptr<shell::Program> program;
  std::vector<usb::TransferRecord> transfers;

 private:
  forms::Connection recording_;
};

}  // namespace glim::testing
