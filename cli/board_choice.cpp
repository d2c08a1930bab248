#include "cli/board_choice.h"

#include "usb/driver_factory.h"

namespace glim::cli {

// The one switch for real boards: usb/CMakeLists.txt defines it for whatever
// links the backends when the libusb backend is built.
#ifdef GLIMMORA_LIBUSB
constexpr bool kRealBoards = true;
#else
constexpr bool kRealBoards = false;
#endif

OpenedBoards openBoards(BoardChoice choice, uint16_t vendorId) {
  OpenedBoards opened;
  if (choice == BoardChoice::Sim) {
    usb::DriverAndBench sim = usb::createDriver(usb::DriverChoice::SimEmpty, vendorId);
    opened.driver = std::move(sim.driver);
    opened.bench = sim.bench;
    return opened;
  }
  if (!kRealBoards) {
    opened.error = "--board usb: this build has no support for real boards yet (use --board sim)";
    return opened;
  }
  // The command line has chosen: GLIMMORA_USB plays no part here.
  opened.driver = usb::createDriver(usb::DriverChoice::RealBoards, vendorId).driver;
  return opened;
}

}  // namespace glim::cli
