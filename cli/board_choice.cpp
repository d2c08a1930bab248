#include "cli/board_choice.h"

#include <cstdlib>

namespace glim::cli {

// The one switch for real boards: cli/CMakeLists.txt defines it when the
// libusb backend is built.
#ifdef GLIMMORA_CLI_REAL_BOARDS
constexpr bool kRealBoards = true;
#else
constexpr bool kRealBoards = false;
#endif

OpenedBoards openBoards(BoardChoice choice) {
  OpenedBoards opened;
  if (choice == BoardChoice::Sim) {
    auto sim = std::make_unique<usb::sim::SimDriver>();
    opened.sim = sim.get();
    opened.driver = std::move(sim);
    return opened;
  }
  if (!kRealBoards) {
    opened.error = "--board usb: this build has no support for real boards yet (use --board sim)";
    return opened;
  }
  // Without GLIMMORA_USB the layer opens real boards.
  unsetenv("GLIMMORA_USB");
  opened.driver = usb::createDriverFromEnvironment();
  return opened;
}

}  // namespace glim::cli
