#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

namespace glim::usb::sim {

inline constexpr uint8_t kChipAddress = 0x5A;  // the chip's I2C write address
inline constexpr int kChipRegisters = 22;
inline constexpr int kTimingBytes = 43;

// Power-on values of the chip's registers (the register window's defaults).
inline constexpr std::array<uint8_t, kChipRegisters> kPowerOnRegisters = {
    0xFF, 0x00, 0x00, 0xB8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4D,
    0xB3, 0x00, 0x00, 0x00, 0x29, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Board status byte (byte 0 of every answer on pipe 130).
inline constexpr uint8_t kStatusOk = 0x00;
inline constexpr uint8_t kStatusNack = 0x01;       // the chip did not acknowledge
inline constexpr uint8_t kStatusBadCommand = 0xEE;  // malformed or unknown packet

// What one interface board does with the packets it receives: the control
// lines (pipe 1), the timing generator's bytes (pipe 3), and the chip behind
// the I2C master (pipe 2 commands, answers queued for pipe 130).
class SimBoard {
 public:
  // A packet written to an OUT pipe. Returns false for a pipe the board lacks.
  bool receive(uint32_t pipe, std::span<const uint8_t> bytes);
  // The next queued answer, if any, cut to `maxLength` bytes (the rest of it is
  // dropped, as a short read does).
  std::vector<uint8_t> answer(std::size_t maxLength);
  bool answerPending() const { return !answers_.empty(); }

  // Control lines as last written on pipe 1.
  bool pinsWritten = false;
  uint8_t pinLevel = 0;
  uint8_t pinDrive = 0;
  // Timing generator bytes as last written on pipe 3 (after the lead byte).
  bool timingWritten = false;
  std::array<uint8_t, kTimingBytes> timing{};
  std::array<uint8_t, kTimingBytes> previousTiming{};
  // The chip.
  std::array<uint8_t, kChipRegisters> registers = kPowerOnRegisters;
  std::array<bool, kChipRegisters> changedByLastWrite{};

 private:
  void i2cCommand(std::span<const uint8_t> bytes);
  std::deque<std::vector<uint8_t>> answers_;
};

// What the control-pin packet means for the two lines.
enum class LineState { High, Low, Floating };
LineState oneDenLine(uint8_t level, uint8_t drive);
LineState shutbLine(uint8_t level, uint8_t drive);

}  // namespace glim::usb::sim
