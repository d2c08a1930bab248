#pragma once
#include <memory>
#include <string>

#include "usb/bench.h"
#include "usb/driver.h"

namespace glim::cli {

enum class BoardChoice { Sim, Usb };

struct OpenedBoards {
  std::unique_ptr<usb::Driver> driver;  // null when the choice cannot be served
  usb::Bench* bench = nullptr;          // set for the simulated layer only
  std::string error;                    // why there is no driver
};

// The USB layer a run uses: the simulated one with no board plugged in, or the
// real boards; GLIMMORA_USB is not read: the command line has chosen.
// `vendorId`: the vendor id the run looks for (the simulated boards carry it).
OpenedBoards openBoards(BoardChoice choice, uint16_t vendorId);

}  // namespace glim::cli
