#pragma once
#include <cstdint>
#include <functional>
#include <memory>
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
using AttachCallback = std::function<bool(DeviceHandle, const DeviceInfo&, void* userData)>;
using DetachCallback = std::function<void(DeviceHandle, void* userData)>;
using PowerCallback = std::function<bool(DeviceHandle, uint32_t event, void* userData)>;

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
using NoticeCallback = std::function<void(const BoardNotice&, void* userData)>;

struct DriverEvents {
  AttachCallback attach;
  DetachCallback detach;
  PowerCallback power;    // may be empty
  NoticeCallback notice;  // may be empty
  void* userData = nullptr;
};

enum Direction : uint32_t { kWrite = 0, kRead = 1 };

// Where a backend hands its attach and detach notifications: the program's
// thread that owns the forms (the backend calls this from any of its threads;
// the task then runs there, and calls the callbacks).
using Poster = std::function<void(std::function<void()>)>;

// The program's USB library: one driver connection with one match entry, the
// boards it offers through the attach callback, and transfers on their pipes.
// Callbacks run only inside tasks handed to the Poster, never on the caller's
// stack of init().
class Driver {
 public:
  virtual ~Driver() = default;

  virtual Status init(uint32_t& driverHandle, const MatchEntry& match, const DriverEvents& events, Poster post) = 0;
  virtual Status setInterface(DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) = 0;
  virtual Status getDeviceInfo(DeviceHandle device, DeviceInfo& info) = 0;
  // `transferred` receives the bytes moved; a null `buffer` goes with length 0.
  // Blocks the calling thread until the transfer ends. A layer overrides this
  // or transferWaiting(), each of which is the other by default: a layer that
  // can wait otherwise needs only transferWaiting(), and this waits for it on
  // the calling thread (the options and setup packet mean nothing to them).
  virtual Status transfer(DeviceHandle device, uint32_t pipe, uint32_t direction, uint32_t options, uint8_t* buffer,
                          uint32_t length, uint32_t& transferred, const uint8_t* setupPacket,
                          uint32_t timeoutMs) {
    (void)options;
    (void)setupPacket;
    PlainWaiter plain;
    return transferWaiting(device, pipe, direction, buffer, length, transferred, timeoutMs, plain);
  }
  // As transfer(), but a transfer that does not end at once is handed to
  // `waiter`, on the calling thread, which returns once it ended. A transfer
  // the waiter cancels ends with the status it gave (kCancelled for the
  // user's Cancel), has moved nothing the caller sees, and is taken back from
  // the bus before this returns: nothing of it stays submitted. Layers that
  // cannot wait otherwise block as transfer() does.
  virtual Status transferWaiting(DeviceHandle device, uint32_t pipe, uint32_t direction, uint8_t* buffer,
                                 uint32_t length, uint32_t& transferred, uint32_t timeoutMs,
                                 TransferWaiter& waiter) {
    (void)waiter;
    return transfer(device, pipe, direction, 0, buffer, length, transferred, nullptr, timeoutMs);
  }
  // Ends every pending transfer with kCancelled, cancels what is still on the
  // bus and waits for it, and releases the boards. No callback runs after this
  // returns. It may be called from inside the attach or detach callback (the
  // callback then finishes first on its own); every layer allows that alike.
  // No layer holds a lock of its own while it calls the program's callbacks.
  virtual void uninit(uint32_t driverHandle) = 0;
};

}  // namespace glim::usb
