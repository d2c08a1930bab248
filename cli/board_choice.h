#pragma once
#include <memory>
#include <string>

#include "text/outcome.h"
#include "usb/bench.h"
#include "usb/driver.h"

namespace glim::cli {

enum class BoardChoice { Sim, Usb };

// The layer chosen (its bench set for the simulated one only), or why the
// choice cannot be served (the driver then null).
struct OpenedBoards {
  usb::DriverAndBench layer;
  text::Outcome outcome;
};

// The USB layer a run uses: the simulated one with no board plugged in, or the
// real boards; GLIMMORA_USB is not read: the command line has chosen.
// `vendorId`: the vendor id the run looks for (the simulated boards carry it).
OpenedBoards openBoards(BoardChoice choice, uint16_t vendorId);

}  // namespace glim::cli
