#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "usb/bench.h"
#include "usb/protocol.h"

namespace glim::usb::sim {

// What one interface board does with the packets it receives: the control
// lines (pipe 1), the timing generator's bytes (pipe 3), and the chip behind
// the I2C master (pipe 2 commands, answers for pipe 130).
//
// The board holds one answer at a time: a read request, or a malformed packet
// (which gets the one-byte error answer [protocol::kAnswerBadCommand]), replaces an
// answer that was never collected, so a lost read never shifts later answers.
// Empty packets are ignored. Writes are not answered.
//
// A block read answers 22 values starting at register `first`; positions past
// register 21 read 0xFF, as the idle bus does. A block write stops at register
// 21. A register number past 21 in a single write changes nothing; in a single
// read it is not acknowledged. A slave address other than 0x5A (write) or
// 0x5B (read) is not acknowledged: nothing is written, a read answers
// protocol::kAnswerNack and 0xFF for every value byte.
class SimBoard : public BoardState {
 public:
  // A packet written to an OUT pipe. Returns false for a pipe the board lacks
  // (the packet then gets the error answer too).
  bool receive(uint32_t pipe, std::span<const uint8_t> bytes);
  // The pending answer, if any, cut to `maxLength` bytes (the rest of it is
  // dropped, as a short read does); empty when none is pending.
  std::vector<uint8_t> answer(std::size_t maxLength);
  bool answerPending() const { return answer_.has_value(); }

 private:
  void i2cCommand(std::span<const uint8_t> bytes);
  void i2cWrite(std::span<const uint8_t> bytes);
  void badCommand() { answer_ = std::vector<uint8_t>{protocol::kAnswerBadCommand}; }
  std::optional<std::vector<uint8_t>> answer_;
};

// What the control-pin packet means for the two lines: level bit 4 is 1D EN,
// bit 5 SHUTb; a line whose drive mask bit is clear floats.
enum class LineState { High, Low, Floating };
LineState oneDenLine(uint8_t level, uint8_t drive);
LineState shutbLine(uint8_t level, uint8_t drive);

}  // namespace glim::usb::sim
