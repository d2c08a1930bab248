#include "usb/libusb/libusb_status.h"

#include <libusb.h>

namespace glim::usb::libusb {

Status statusFromError(int error) {
  switch (error) {
    case LIBUSB_SUCCESS:
      return kSuccess;
    case LIBUSB_ERROR_IO:
      return kIoError;
    case LIBUSB_ERROR_INVALID_PARAM:
      return kInvalidParameter;
    // Missing permissions on the device node: the text of kAccessDenied names
    // the udev rule that fixes it.
    case LIBUSB_ERROR_ACCESS:
      return kAccessDenied;
    case LIBUSB_ERROR_NO_DEVICE:
      return kDeviceGone;
    case LIBUSB_ERROR_NOT_FOUND:
      return kNoSuchSetting;
    case LIBUSB_ERROR_BUSY:
      return kBusy;
    case LIBUSB_ERROR_TIMEOUT:
      return kTimeout;
    case LIBUSB_ERROR_OVERFLOW:
      return kOverflow;
    case LIBUSB_ERROR_PIPE:
      return kStall;
    // Only event handling is ever interrupted (by a signal): the call ends
    // without its result, as a cancelled one does.
    case LIBUSB_ERROR_INTERRUPTED:
      return kCancelled;
    case LIBUSB_ERROR_NO_MEM:
      return kNoMemory;
    case LIBUSB_ERROR_NOT_SUPPORTED:
      return kNotSupported;
    default:
      return kUnknownError;
  }
}

Status statusFromOpenError(int error, bool windows) {
  if (windows && error == LIBUSB_ERROR_NOT_SUPPORTED) return kNoWinUsbDriver;
  return statusFromError(error);
}

Status statusFromTransfer(int transferStatus) {
  switch (transferStatus) {
    case LIBUSB_TRANSFER_COMPLETED:
      return kSuccess;
    case LIBUSB_TRANSFER_ERROR:
      return kIoError;
    case LIBUSB_TRANSFER_TIMED_OUT:
      return kTimeout;
    case LIBUSB_TRANSFER_CANCELLED:
      return kCancelled;
    case LIBUSB_TRANSFER_STALL:
      return kStall;
    case LIBUSB_TRANSFER_NO_DEVICE:
      return kDeviceGone;
    case LIBUSB_TRANSFER_OVERFLOW:
      return kOverflow;
    default:
      return kUnknownError;
  }
}

}  // namespace glim::usb::libusb
