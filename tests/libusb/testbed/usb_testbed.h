#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "usb/sim/sim_board.h"

namespace glim::testing {

// One URB as the emulated board saw it end: OUT bytes as sent, IN bytes as
// delivered, and the URB status (0, -EPIPE, -ENOENT, -ENODEV).
struct UrbRecord {
  uint8_t endpoint = 0;
  std::vector<uint8_t> bytes;
  int status = 0;
  bool operator==(const UrbRecord&) const = default;
};

// How an unplug treats URBs still in flight.
enum class Unplug {
  FailInFlight,  // they end with -ENODEV, as the kernel reports a disconnect
  KeepInFlight,  // they stay pending until cancelled (a platform that never reports them)
};

// Boards on an emulated USB bus (umockdev, in process): sysfs records, /dev
// nodes, uevents, and every usbdevfs ioctl answered by the same board model
// the simulated layer uses. Must be created before libusb_init and used under
// umockdev-wrapper. Boards are numbered 1, 2, ... in plugging order.
class UsbTestbed {
 public:
  UsbTestbed();
  ~UsbTestbed();
  UsbTestbed(const UsbTestbed&) = delete;
  UsbTestbed& operator=(const UsbTestbed&) = delete;

  // Whether the process runs under umockdev-wrapper.
  static bool available();

  int plug();
  // A board with the board's product id and another vendor id.
  int plug(uint16_t vendorId);
  void unplug(int board, Unplug how = Unplug::FailInFlight);

  std::vector<UrbRecord> urbs(int board) const;
  void clearUrbs(int board);
  // The next URB on `endpoint` ends with a stall (-EPIPE).
  void stallNext(int board, uint8_t endpoint);
  // URBs on `endpoint` stay pending (the board NAKs) until cancelled.
  void setSilent(int board, uint8_t endpoint, bool silent);
  int clearHalts(int board, uint8_t endpoint) const;
  int claims(int board) const;
  int releases(int board) const;
  int alternateSetting(int board) const;
  // Discards (cancels) are acknowledged only after `delay`, as a kernel that
  // takes long to take a URB back.
  void setDiscardDelay(int board, std::chrono::milliseconds delay);
  // URBs submitted and not yet reaped.
  std::size_t inFlight(int board) const;
  // Waits until `count` URBs of the board are pending.
  bool waitForPending(int board, std::size_t count, std::chrono::milliseconds limit) const;
  // Runs `f` on the board model under the emulation's lock.
  void withBoard(int board, const std::function<void(usb::sim::SimBoard&)>& f);

 private:
  struct Board;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace glim::testing
