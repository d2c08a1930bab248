#include "usb/status.h"

namespace glim::usb {

const char* statusMessage(Status status) {
  switch (status) {
    case kSuccess:
      return "Success";
    case kTimeout:
      return "Time-out: the board did not answer in time; check that it is plugged in and powered";
    case kDeviceGone:
      return "The board is gone: it was unplugged or reset; plug it in again";
    case kStall:
      return "The board refused the packet: the pipe is stalled";
    case kInvalidHandle:
      return "No board is open with this handle: is a board attached?";
    case kNoSuchPipe:
      return "The board has no such pipe in its active setting";
    case kTransferRefused:
      return "The board refused the transfer";
    case kDeviceInfoRefused:
      return "The board's device information could not be read; plug it in again";
    case kNotSupported:
      return "Not supported by this USB layer";
    case kAccessDenied:
#if defined(_WIN32)
    {
      static const std::string text =
          "Access denied: the board needs the WinUSB driver: " + std::string(kWinUsbRemedy) + ", and plug it in again";
      return text.c_str();
    }
#else
      return "Access denied: install the udev rule for the board, 60-glimmora.rules, and plug it in again";
#endif
    case kBusy:
      return "The board is in use by another program; close it and plug the board in again";
    case kOverflow:
      return "The board sent more data than was asked for";
    case kIoError:
      return "Input/output error on the USB bus; check the cable";
    case kInvalidParameter:
      return "Invalid parameter in a call of the USB layer";
    case kNoMemory:
      return "Out of memory";
    case kAlreadyOpen:
      return "The USB driver is open already";
    case kNotOpen:
      return "The USB driver is not open";
    case kNoSuchSetting:
      return "The board has no such interface or alternate setting";
    case kCancelled:
      return "The transfer was cancelled";
    case kNoRealBoards:
      return "Real boards are not supported yet; set GLIMMORA_USB=sim to use the simulated board";
    case kNoWinUsbDriver: {
      static const std::string text = "The board has no WinUSB driver: " + std::string(kWinUsbRemedy);
      return text.c_str();
    }
    default:
      return "Unknown status code";
  }
}

std::string textBeforeNul(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

std::string statusText(Status status) { return textBeforeNul(statusMessage(status)); }

}  // namespace glim::usb
