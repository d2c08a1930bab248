// usb_bus_host [--boards N] PROGRAM [ARGS...]
//
// Runs PROGRAM, unmodified, with N boards (default 1) on an emulated USB bus.
// The emulation is served from this process (umockdev answers the program's
// ioctls over a socket), so the program under test is the real binary. Run
// under umockdev-wrapper; exits with PROGRAM's status, or 77 when the
// emulation is not available.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "libusb/testbed/usb_testbed.h"

extern char** environ;

int main(int argc, char** argv) {
  int boards = 1;
  int first = 1;
  if (argc > 2 && std::string_view(argv[1]) == "--boards") {
    boards = std::atoi(argv[2]);
    first = 3;
  }
  if (first >= argc || boards < 0) {
    std::fprintf(stderr, "usage: usb_bus_host [--boards N] PROGRAM [ARGS...]\n");
    return 2;
  }
  if (!glim::testing::UsbTestbed::available()) {
    std::fprintf(stderr, "usb_bus_host: run under umockdev-wrapper; skipped\n");
    return 77;
  }

  glim::testing::UsbTestbed bed;
  for (int i = 0; i < boards; ++i) bed.plug();

  pid_t child = 0;
  if (posix_spawnp(&child, argv[first], nullptr, nullptr, argv + first, environ) != 0) {
    std::perror(argv[first]);
    return 127;
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
}
