#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "forms/signal.h"
#include "usb/driver.h"
#include "usb/protocol.h"
#include "usb/status.h"

namespace glim::usb {

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

// What a board on the bench shows of itself: what it was last sent, and its
// chip's registers.
struct BoardState {
  // Control lines as last written on pipe 1.
  bool pinsWritten = false;
  uint8_t pinLevel = 0;
  uint8_t pinDrive = 0;
  // Timing generator bytes as last written on pipe 3 (after the lead byte).
  bool timingWritten = false;
  std::array<uint8_t, protocol::kTimingBytes> timing{};
  std::array<uint8_t, protocol::kTimingBytes> previousTiming{};  // before the last pipe 3 write
  // The chip.
  std::array<uint8_t, protocol::kRegisterCount> registers = protocol::kPowerOnRegisters;
  // Registers whose value the last write command (pipe 2) changed.
  std::array<bool, protocol::kRegisterCount> changedByLastWrite{};
  // Registers whose writes the chip ignores (read-only or stuck).
  std::array<bool, protocol::kRegisterCount> ignoreWrites{};
};

// One transfer that reached a board's pipe.
struct PacketTraceEntry {
  uint64_t microsSinceStart = 0;
  int board = 0;
  uint32_t pipe = 0;
  bool in = false;
  Status status = kSuccess;
  std::vector<uint8_t> bytes;
};

// What a bench offers besides transfers: the boards a person plugs in and
// pulls out, the faults they show, their chips' registers, and what went over
// the pipes. The simulated layer is one; real boards have none (a program
// then holds no bench). Boards are numbered 1, 2, ... in plugging order.
// Thread-safe, as the driver behind it is.
class Bench {
 public:
  virtual ~Bench() = default;

  // Plugs in a new board of ours; returns its number.
  virtual int plug() = 0;
  // The same for a board with other ids (not offered unless they match).
  virtual int plug(uint16_t vendorId, uint16_t productId) = 0;
  // Unplugs board N; false when it is not plugged in.
  virtual bool unplug(int board) = 0;
  virtual std::vector<int> pluggedBoards() const = 0;
  // Device handle of board N (0 when not plugged in).
  virtual DeviceHandle handleOf(int board) const = 0;

  virtual Faults faults() const = 0;
  virtual void setFaults(const Faults& faults) = 0;
  void clearFaults() { setFaults(Faults{}); }

  // Sets a chip register on every plugged board (a register past 21 is ignored).
  virtual void setChipRegister(int reg, uint8_t value) = 0;
  // A copy of board N's state; a board that is gone reads as a new one.
  virtual BoardState boardState(int board) const = 0;

  // Every transfer that reached a board's pipe (failed ones with their status),
  // oldest first; the oldest entries go beyond kTraceLimit.
  virtual std::vector<PacketTraceEntry> trace() const = 0;
  virtual void clearTrace() = 0;
  static constexpr std::size_t kTraceLimit = 10000;

  // `observer` is told (through the driver's Poster, on the forms thread,
  // while the driver is open) after anything changed: plugging, packets,
  // faults, registers; several changes before it runs are told once. Told
  // until the connection goes; connect and let go on the forms thread.
  virtual forms::Connection subscribeChanges(std::function<void()> observer) = 0;
};

// The USB layer a run uses: its driver and, on the simulated layer, the bench
// that is the same layer seen from the person's side (null for real boards).
struct DriverAndBench {
  std::unique_ptr<Driver> driver;
  Bench* bench = nullptr;
};

}  // namespace glim::usb
