// What libusb reports, as the log shows it.
#include "usb/libusb/libusb_status.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libusb.h>

#include <filesystem>
#include <set>
#include <string>

namespace glim::testing {
namespace {

using usb::libusb::statusFromError;

TEST(LibusbStatus, EveryLibusbErrorHasAStatusAndATextOfItsOwn) {
  const int errors[] = {LIBUSB_ERROR_IO,          LIBUSB_ERROR_INVALID_PARAM, LIBUSB_ERROR_ACCESS,
                        LIBUSB_ERROR_NO_DEVICE,   LIBUSB_ERROR_NOT_FOUND,     LIBUSB_ERROR_BUSY,
                        LIBUSB_ERROR_TIMEOUT,     LIBUSB_ERROR_OVERFLOW,      LIBUSB_ERROR_PIPE,
                        LIBUSB_ERROR_INTERRUPTED, LIBUSB_ERROR_NO_MEM,        LIBUSB_ERROR_NOT_SUPPORTED,
                        LIBUSB_ERROR_OTHER};
  std::set<usb::Status> statuses;
  std::set<std::string> texts;
  for (const int error : errors) {
    SCOPED_TRACE(libusb_error_name(error));
    const usb::Status status = statusFromError(error);
    EXPECT_NE(status, usb::kSuccess);
    statuses.insert(status);
    texts.insert(usb::statusText(status));
  }
  EXPECT_EQ(statuses.size(), std::size(errors));
  EXPECT_EQ(texts.size(), std::size(errors));
  EXPECT_EQ(statusFromError(LIBUSB_SUCCESS), usb::kSuccess);
}

// Missing permissions are what users trip over most: the text names the fix,
// and the rule it names is the one the package installs.
TEST(LibusbStatus, AccessDeniedNamesTheUdevRuleThePackageInstalls) {
  const std::string text = usb::statusText(statusFromError(LIBUSB_ERROR_ACCESS));
  EXPECT_THAT(text, ::testing::HasSubstr("60-glimmora.rules"));
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(GLIMMORA_SOURCE_DIR) / "packaging/60-glimmora.rules.in"));
}

// Opening a board: on Windows "not supported" means the board is bound to no
// driver libusb can use, and the remedy is binding WinUSB; elsewhere, and for
// every other error, opening reports as any call does.
TEST(LibusbStatus, OpeningABoardWindowsCannotReachNamesWinUsb) {
  using usb::libusb::statusFromOpenError;
  struct Row {
    int error;
    bool windows;
    usb::Status status;
  };
  const Row rows[] = {
      {LIBUSB_ERROR_NOT_SUPPORTED, true, usb::kNoWinUsbDriver},
      {LIBUSB_ERROR_NOT_SUPPORTED, false, usb::kNotSupported},
      {LIBUSB_ERROR_ACCESS, true, usb::kAccessDenied},
      {LIBUSB_ERROR_BUSY, true, usb::kBusy},
      {LIBUSB_SUCCESS, true, usb::kSuccess},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(libusb_error_name(row.error)) + (row.windows ? " on Windows" : " elsewhere"));
    EXPECT_EQ(statusFromOpenError(row.error, row.windows), row.status);
  }
  EXPECT_THAT(usb::statusText(usb::kNoWinUsbDriver), ::testing::HasSubstr("Zadig"));
}

}  // namespace
}  // namespace glim::testing
