#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "usb/bench.h"
#include "usb/driver.h"
#include "usb/sim/sim_board.h"
#include "usb/vendor_id.h"

namespace glim::usb::sim {

using usb::Faults;
using usb::PacketTraceEntry;

// The simulated USB layer: boards plugged in and out by tests, the script
// runner or the board window, behind the same Driver interface as real boards.
// Thread-safe: boards may be plugged from any thread; attach and detach reach
// the program through the Poster given to open().
//
// What a program sees:
// - open offers every plugged board whose ids match the match entry (0 in a
//   field matches anything), and later every newly plugged one, each in a task
//   of its own handed to the Poster. A refused board is not offered again
//   until it is unplugged and plugged in anew (or the driver is reopened).
//   Unplugging an accepted board posts the detach callback.
// - Device handles are 0x1000, 0x1001, ... in plugging order, never reused.
//   A handle is usable from its attach callback on while the board is
//   accepted; an unplugged board's handle gives kDeviceGone, any other
//   handle (0 included) kInvalidHandle.
// - Time-outs are reported at once; a read with no answer pending times out.
//   Only a hanging pipe (Faults::hangPipes) makes a transfer wait, through its
//   waiter.
class SimDriver final : public Driver, public Bench {
 public:
  // `boardVendorId`: the vendor id of the boards plug() plugs in, so that a run
  // looking for another vendor id still finds its simulated board.
  explicit SimDriver(uint16_t boardVendorId = kBoardVendorId);
  ~SimDriver() override;

  Result<DriverConnection> open(const MatchEntry& match, const DriverEvents& events, Poster post) override;
  Status setInterface(DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) override;
  Result<DeviceInfo> deviceInfo(DeviceHandle device) override;
  TransferResult transfer(DeviceHandle device, uint32_t pipe, Direction direction, std::span<uint8_t> bytes,
                          uint32_t timeoutMs, TransferWaiter& waiter) override;
  void close(DriverConnection connection) override;

  // The bench (see usb::Bench): device handles are 0x1000, 0x1001, ... in
  // plugging order, never reused.
  int plug() override;
  int plug(uint16_t vendorId, uint16_t productId) override;
  bool unplug(int board) override;
  std::vector<int> pluggedBoards() const override;
  DeviceHandle handleOf(int board) const override;
  Faults faults() const override;
  void setFaults(const Faults& faults) override;
  void setChipRegister(int reg, uint8_t value) override;
  BoardState boardState(int board) const override;
  std::vector<PacketTraceEntry> trace() const override;
  void clearTrace() override;
  forms::Connection subscribeChanges(std::function<void()> observer) override;

  // Boards the layer keeps: those plugged in, and unplugged ones whose attach
  // callback is still running. Any other unplugged board is forgotten.
  std::size_t keptBoards() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  uint16_t boardVendorId_;
};

}  // namespace glim::usb::sim
