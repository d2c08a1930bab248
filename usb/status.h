#pragma once
#include <cassert>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace glim::usb {

// What to do about a board Windows has bound to no driver the program can
// use; every text that meets such a board ends with it.
inline constexpr std::string_view kWinUsbRemedy = "bind it with Zadig, see README-windows.txt";

// Status of a USB layer call; 0 is success. Every failure has its own code so
// that the log line names what went wrong.
using Status = uint32_t;

enum StatusCode : Status {
  kSuccess = 0,
  kTimeout = 0x20000001,            // the board did not answer in time
  kDeviceGone = 0x20000002,         // the board was unplugged or reset
  kStall = 0x20000003,              // the board refused the packet (endpoint halted)
  kInvalidHandle = 0x20000004,      // no board with this handle is open
  kNoSuchPipe = 0x20000005,         // the active setting has no such pipe
  kTransferRefused = 0x20000006,    // the board refused the transfer
  kDeviceInfoRefused = 0x20000007,  // the board's descriptors could not be read
  kNotSupported = 0x20000008,       // this USB layer cannot do that (yet)
  kAccessDenied = 0x20000009,       // no permission to open the board
  kBusy = 0x2000000A,               // another program holds the board
  kOverflow = 0x2000000B,           // the board sent more than asked for
  kIoError = 0x2000000C,            // input/output error on the bus
  kInvalidParameter = 0x2000000D,   // a call with arguments the layer cannot use
  kNoMemory = 0x2000000E,
  kAlreadyOpen = 0x2000000F,    // the driver connection is open already
  kNotOpen = 0x20000010,        // the driver connection is not open
  kNoSuchSetting = 0x20000011,  // the interface or alternate setting does not exist
  kCancelled = 0x20000012,
  kNoRealBoards = 0x20000013,    // this build reaches only the simulated board
  kNoWinUsbDriver = 0x20000014,  // Windows: the board is bound to no driver libusb can use
  kUnknownError = 0x200000FF,
};

// Text of a status (the program cuts it at the first NUL, see statusText).
const char* statusMessage(Status status);

// A library's text as the program keeps it: everything before the first NUL
// (fixed-size text buffers come padded with NULs).
std::string textBeforeNul(std::string_view text);

// The program's wrapper: the status text as a string, cut at the first NUL.
std::string statusText(Status status);

// What a layer call gives: a value, or the status that says why there is none.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  // A failure; `why` is never kSuccess.
  Result(Status why) : status_(why) { assert(why != kSuccess); }

  bool ok() const { return value_.has_value(); }
  // kSuccess when there is a value.
  Status status() const { return status_; }
  // Only when ok().
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  const T* operator->() const { return &*value_; }

 private:
  Status status_ = kSuccess;
  std::optional<T> value_;
};

}  // namespace glim::usb
