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
  if (choice == BoardChoice::Sim) return {usb::createDriver(usb::DriverChoice::SimEmpty, vendorId), {}};
  if (!kRealBoards) {
    return {{}, text::Failure("--board usb: this build has no support for real boards yet (use --board sim)")};
  }
  // The command line has chosen: GLIMMORA_USB plays no part here.
  return {usb::createDriver(usb::DriverChoice::RealBoards, vendorId), {}};
}

}  // namespace glim::cli
