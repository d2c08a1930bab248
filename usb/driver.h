#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "usb/status.h"
#include "usb/transfer_wait.h"

namespace glim::usb {

inline constexpr uint16_t kBoardProductId = 0x200B;

// USB device descriptor fields, as in the USB 2.0 layout.
struct DeviceDescriptor {
  uint8_t bLength = 18;
  uint8_t bDescriptorType = 1;
  uint16_t bcdUSB = 0x0200;
  uint8_t bDeviceClass = 0;
  uint8_t bDeviceSubClass = 0;
  uint8_t bDeviceProtocol = 0;
  uint8_t bMaxPacketSize0 = 64;
  uint16_t idVendor = 0;
  uint16_t idProduct = 0;
  uint16_t bcdDevice = 0;
  uint8_t iManufacturer = 0;
  uint8_t iProduct = 0;
  uint8_t iSerialNumber = 0;
  uint8_t bNumConfigurations = 1;
};

enum class PipeType : uint8_t { Control = 0, Isochronous = 1, Bulk = 2, Interrupt = 3 };

// One pipe (endpoint) of an alternate setting. The pipe number is the
// endpoint address: 1, 2, 3 out, 0x82 = 130 in.
struct PipeInfo {
  uint32_t number = 0;
  uint32_t maxPacketSize = 0;
  PipeType type = PipeType::Bulk;
  bool in = false;
  uint32_t interval = 0;
};

struct AlternateSettingInfo {
  uint8_t interfaceNumber = 0;
  uint8_t alternateSetting = 0;
  uint8_t numEndpoints = 0;  // pipes besides the default pipe 0
  uint8_t interfaceClass = 0xFF;
  std::vector<PipeInfo> pipes;
};

struct InterfaceInfo {
  uint8_t numAltSettings = 1;
  AlternateSettingInfo activeAltSetting;
};

// What the layer reports of an attached board.
struct DeviceInfo {
  DeviceDescriptor descriptor;
  InterfaceInfo activeInterface;
};

struct MatchEntry {
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  uint8_t deviceClass = 0;
  uint8_t deviceSubClass = 0;
  uint8_t interfaceClass = 0;
  uint8_t interfaceSubClass = 0;
  uint8_t interfaceProtocol = 0;
};

using DeviceHandle = uint32_t;
// Returns true to accept control of the board, false to refuse it.
using AttachCallback = std::function<bool(DeviceHandle, const DeviceInfo&)>;
using DetachCallback = std::function<void(DeviceHandle)>;

// A board the layer saw but does not offer, and why: one that matches the
// product id under another vendor id (the person may have a board of another
// maker, or one made with another id), or one Windows has bound to no driver
// that the layer can use. Told once per board and arrival.
struct BoardNotice {
  enum class Kind { OtherVendor, NoWinUsbDriver };
  Kind kind = Kind::OtherVendor;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
};
using NoticeCallback = std::function<void(const BoardNotice&)>;

// What the program wants to hear of. A callback that needs state of its own
// captures it.
struct DriverEvents {
  AttachCallback attach;
  DetachCallback detach;
  NoticeCallback notice;  // may be empty
};

enum Direction : uint32_t { kWrite = 0, kRead = 1 };

// An open driver connection, as open() names it and close() takes it back.
enum class DriverConnection : uint32_t {};

// What one transfer did: its status, and how many bytes it moved (from the
// start of the bytes it was given, never more than they hold).
struct TransferResult {
  Status status = kSuccess;
  uint32_t bytes = 0;
};

// Where a backend hands its attach and detach notifications: the program's
// thread that owns the forms (the backend calls this from any of its threads;
// the task then runs there, and calls the callbacks).
using Poster = std::function<void(std::function<void()>)>;

// The program's USB library: one driver connection with one match entry, the
// boards it offers through the attach callback, and transfers on their pipes.
// Callbacks run only inside tasks handed to the Poster, never on the caller's
// stack of open().
class Driver {
 public:
  virtual ~Driver() = default;

  // Opens the connection, or says why it could not (kAlreadyOpen while one
  // is open; kInvalidParameter without an attach callback or a Poster).
  virtual Result<DriverConnection> open(const MatchEntry& match, const DriverEvents& events, Poster post) = 0;
  virtual Status setInterface(DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) = 0;
  // What the layer knows of a board it offered.
  virtual Result<DeviceInfo> deviceInfo(DeviceHandle device) = 0;
  // One transfer of `bytes` on `pipe`: written from them, or read into them
  // from their start (a read may fill fewer than they hold). A transfer that
  // does not end at once is handed to `waiter`, on the calling thread, which
  // returns once it ended; it is given up after `timeoutMs` (0: never) with
  // kTimeout. A transfer the waiter cancels ends with the status it gave
  // (kCancelled for the user's Cancel), has moved nothing the caller sees,
  // and is taken back from the bus before this returns: nothing of it stays
  // submitted. No bytes is a transfer of length 0.
  virtual TransferResult transfer(DeviceHandle device, uint32_t pipe, Direction direction, std::span<uint8_t> bytes,
                                  uint32_t timeoutMs, TransferWaiter& waiter) = 0;
  // Ends every pending transfer with kCancelled, cancels what is still on the
  // bus and waits for it, and releases the boards. No callback runs after this
  // returns. A connection that is not the open one is left alone. It may be
  // called from inside the attach or detach callback (the callback then
  // finishes first on its own); every layer allows that alike. No layer holds
  // a lock of its own while it calls the program's callbacks.
  virtual void close(DriverConnection connection) = 0;
};

}  // namespace glim::usb
