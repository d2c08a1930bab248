#pragma once
#include <memory>
#include <string_view>

#include "usb/bench.h"
#include "usb/driver.h"
#include "usb/vendor_id.h"

namespace glim::usb {

// Which layer the program opens. The backends live above usb/, so the choice
// is made here, where all of them are known.
enum class DriverChoice {
  Sim,         // simulated, one board plugged in at start
  SimEmpty,    // simulated, no board plugged in
  RealBoards,  // libusb, or a layer that says this build has none
};

// "sim" and "sim-empty" choose the simulated layer; any other text, and no
// text at all, chooses real boards.
DriverChoice parseDriverChoice(std::string_view text);

// `vendorId`: the vendor id the run looks for; the simulated boards carry it.
// The simulated layer comes with its bench; real boards have none.
DriverAndBench createDriver(DriverChoice choice, uint16_t vendorId = kBoardVendorId);

}  // namespace glim::usb
