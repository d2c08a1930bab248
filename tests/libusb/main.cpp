// The emulated-board tests need umockdev's preload: without it they report
// themselves skipped (CTest's SKIP_RETURN_CODE).
#include <gtest/gtest.h>

#include <cstdio>

#include "libusb/testbed/usb_testbed.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!glim::testing::UsbTestbed::available()) {
    std::fprintf(stderr, "libusb tests: run under umockdev-wrapper; skipped\n");
    return 77;
  }
  return RUN_ALL_TESTS();
}
