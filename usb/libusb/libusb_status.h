#pragma once
#include "usb/status.h"

namespace glim::usb::libusb {

// Our status for a libusb error code (LIBUSB_ERROR_*). Each libusb error gets
// a status of its own, so that a log line tells them apart.
Status statusFromError(int error);

// Our status for how an asynchronous transfer ended (LIBUSB_TRANSFER_*).
Status statusFromTransfer(int transferStatus);

}  // namespace glim::usb::libusb
