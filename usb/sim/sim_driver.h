#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "usb/driver.h"
#include "usb/vendor_id.h"
#include "usb/sim/sim_board.h"

namespace glim::usb::sim {

// Faults a real board can show, switched on until cleared.
struct Faults {
  bool deviceInfoRefused = false;
  bool noPipes = false;                     // active alternate setting without pipes
  std::set<uint32_t> refusedPipes;          // transfers refused (stall)
  std::set<uint32_t> timeoutPipes;          // transfers time out (at once, no real wait)
  std::map<uint32_t, uint32_t> shortPipes;  // answers stop after N bytes
  // Transfers wait, as on a board that does not answer: for N ms and then go
  // on normally, or (N = 0, or N not under the time-out) until their time-out;
  // a cancel or an unplug ends them at once, and clearing the fault lets them
  // go on.
  std::map<uint32_t, uint32_t> hangPipes;
  // The chip ignores writes to these registers, as a read-only or stuck
  // register would.
  std::set<int> ignoredRegisters;
};

struct PacketTraceEntry {
  uint64_t microsSinceStart = 0;
  int board = 0;
  uint32_t pipe = 0;
  bool in = false;
  Status status = kSuccess;
  std::vector<uint8_t> bytes;
};

// The simulated USB layer: boards plugged in and out by tests, the script
// runner or the board window, behind the same Driver interface as real boards.
// Thread-safe: boards may be plugged from any thread; attach and detach reach
// the program through the Poster given to init().
//
// What a program sees:
// - init offers every plugged board whose ids match the match entry (0 in a
//   field matches anything), and later every newly plugged one, each in a task
//   of its own handed to the Poster. A refused board is not offered again
//   until it is unplugged and plugged in anew (or the driver is reopened).
//   Unplugging an accepted board posts the detach callback.
// - Device handles are 0x1000, 0x1001, ... in plugging order, never reused.
//   A handle is usable from its attach callback on while the board is
//   accepted; an unplugged board's handle gives kDeviceGone, any other
//   handle (0 included) kInvalidHandle.
// - Time-outs are reported at once; a read with no answer pending times out.
//   Only a hanging pipe (Faults::hangPipes) makes a transfer wait, through the
//   waiter of transferWaiting (transfer() waits on the calling thread).
class SimDriver final : public Driver {
 public:
  // `boardVendorId`: the vendor id of the boards plug() plugs in, so that a run
  // looking for another vendor id still finds its simulated board.
  explicit SimDriver(uint16_t boardVendorId = kBoardVendorId);
  ~SimDriver() override;

  Status init(uint32_t& driverHandle, const MatchEntry& match, const DriverEvents& events, Poster post) override;
  Status setInterface(DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) override;
  Status getDeviceInfo(DeviceHandle device, DeviceInfo& info) override;
  Status transferWaiting(DeviceHandle device, uint32_t pipe, uint32_t direction, uint8_t* buffer, uint32_t length,
                         uint32_t& transferred, uint32_t timeoutMs, TransferWaiter& waiter) override;
  void uninit(uint32_t driverHandle) override;

  uint16_t boardVendorId() const { return boardVendorId_; }

  // Plugs in a new board; boards are numbered 1, 2, ... in plugging order and
  // each gets a new device handle. Returns the board number.
  int plug();
  // The same for a board with other ids (not offered unless they match).
  int plug(uint16_t vendorId, uint16_t productId);
  // Unplugs board N; false when it is not plugged in.
  bool unplug(int board);
  std::vector<int> pluggedBoards() const;
  // Device handle of board N (0 when not plugged in).
  DeviceHandle handleOf(int board) const;

  Faults faults() const;
  void setFaults(const Faults& faults);
  void clearFaults() { setFaults(Faults{}); }

  // Sets a chip register on every plugged board (a register past 21 is ignored).
  void setChipRegister(int reg, uint8_t value);
  // A copy of board N's state (for tests and the board window); a board that
  // is gone reads as a new one.
  SimBoard boardState(int board) const;
  // Boards the layer keeps: those plugged in, and unplugged ones whose attach
  // callback is still running. Any other unplugged board is forgotten.
  std::size_t keptBoards() const;

  // Every transfer that reached a board's pipe (failed ones with their status),
  // oldest first; the oldest entries go beyond kTraceLimit.
  std::vector<PacketTraceEntry> trace() const;
  void clearTrace();
  static constexpr std::size_t kTraceLimit = 10000;

  // Told (through the Poster, on the forms thread, while the driver is open)
  // after anything changed: plugging, packets, faults, registers; several
  // changes before it runs are told once. Set before init().
  std::function<void()> onChanged;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  uint16_t boardVendorId_;
};

}  // namespace glim::usb::sim
