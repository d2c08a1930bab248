#include "usb/status.h"

namespace glim::usb {

const char* statusMessage(Status status) {
  switch (status) {
    case kSuccess: return "Success";
    case kTimeout: return "Time-out: the board did not answer in time";
    case kDeviceGone: return "The board is gone: it was unplugged or reset";
    case kStall: return "The board refused the packet (pipe stalled)";
    case kInvalidHandle: return "No open board has this handle";
    case kNoSuchPipe: return "The board has no such pipe";
    case kTransferRefused: return "The board refused the transfer";
    case kDeviceInfoRefused: return "The board's device information could not be read";
    case kNotSupported: return "Not supported by this USB layer";
    case kAccessDenied:
      return "Access denied: install the udev rule for the board (60-glimmora.rules) and plug it in again";
    case kBusy: return "The board is in use by another program";
    case kOverflow: return "The board sent more data than was asked for";
    case kIoError: return "Input/output error on the USB bus";
    case kInvalidParameter: return "Invalid parameter";
    case kNoMemory: return "Out of memory";
    case kAlreadyOpen: return "The USB driver is open already";
    case kNotOpen: return "The USB driver is not open";
    case kNoSuchSetting: return "The board has no such interface or alternate setting";
    case kCancelled: return "The transfer was cancelled";
    case kNoRealBoards:
      return "Real boards are not supported yet; set GLIMMORA_USB=sim to use the simulated board";
    default: return "Unknown error";
  }
}

std::string statusText(Status status) {
  const std::string text = statusMessage(status);
  return text.substr(0, text.find('\0'));
}

}  // namespace glim::usb
