#pragma once
#include "usb/status.h"

namespace glim::usb::libusb {

// Our status for a libusb error code (LIBUSB_ERROR_*). Each libusb error gets
// a status of its own, so that a log line tells them apart.
Status statusFromError(int error);

#if defined(_WIN32)
inline constexpr bool kOnWindows = true;
#else
inline constexpr bool kOnWindows = false;
#endif

// Our status for a failed opening or claiming of a board. On Windows libusb
// answers "not supported" for a board bound to no driver it can use (none, or
// a vendor's own): that is kNoWinUsbDriver, whose remedy is binding WinUSB.
Status statusFromOpenError(int error, bool windows = kOnWindows);

// Our status for how an asynchronous transfer ended (LIBUSB_TRANSFER_*).
Status statusFromTransfer(int transferStatus);

}  // namespace glim::usb::libusb
