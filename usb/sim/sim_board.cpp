#include "usb/sim/sim_board.h"

#include <algorithm>

namespace glim::usb::sim {

using namespace protocol;

namespace {
constexpr uint8_t kIdleBus = 0xFF;  // what a read shows when nobody drives the bus
// Packet lengths, as span sizes are counted.
constexpr std::size_t size(int length) { return static_cast<std::size_t>(length); }
}  // namespace

bool SimBoard::receive(uint32_t pipe, std::span<const uint8_t> bytes) {
  switch (pipe) {
    case kPinPipe:
      if (bytes.empty()) return true;
      if (bytes.size() != size(kPinPacketLength)) {
        badCommand();
        return true;
      }
      pinLevel = bytes[0];
      pinDrive = bytes[1];
      pinsWritten = true;
      return true;
    case kTimingPipe:
      if (bytes.empty()) return true;
      if (bytes.size() != size(kSettingsPacketLength) || bytes[0] != kSettingsLeadByte) {
        badCommand();
        return true;
      }
      previousTiming = timing;
      std::copy(bytes.begin() + 1, bytes.end(), timing.begin());
      timingWritten = true;
      return true;
    case kI2cPipe:
      if (!bytes.empty()) i2cCommand(bytes);
      return true;
    default:
      badCommand();
      return false;
  }
}

std::vector<uint8_t> SimBoard::answer(std::size_t maxLength) {
  if (!answer_) return {};
  std::vector<uint8_t> out = std::move(*answer_);
  answer_.reset();
  if (out.size() > maxLength) out.resize(maxLength);
  return out;
}

void SimBoard::i2cCommand(std::span<const uint8_t> bytes) {
  const uint8_t command = bytes[0];
  if (command == kI2cWrite) {
    i2cWrite(bytes);
    return;
  }
  if ((command != kI2cRead && command != kI2cBlockRead) || bytes.size() != size(kI2cRequestLength)) {
    badCommand();
    return;
  }
  const bool acknowledged = bytes[1] == readAddress(kChipAddress);
  const unsigned first = bytes[2];
  if (command == kI2cRead) {
    if (!acknowledged || first >= kRegisterCount) {
      answer_ = std::vector<uint8_t>{kAnswerNack, kIdleBus};
    } else {
      answer_ = std::vector<uint8_t>{kAnswerOk, registers[first]};
    }
    return;
  }
  std::vector<uint8_t> out(1 + kRegisterCount, kIdleBus);
  out[0] = acknowledged ? kAnswerOk : kAnswerNack;
  if (acknowledged) {
    for (unsigned i = 0; i < kRegisterCount && first + i < kRegisterCount; ++i) out[1 + i] = registers[first + i];
  }
  answer_ = std::move(out);
}

void SimBoard::i2cWrite(std::span<const uint8_t> bytes) {
  if (bytes.size() <= size(kI2cWriteHeaderLength)) {
    badCommand();
    return;
  }
  changedByLastWrite.fill(false);
  if (bytes[1] != kChipAddress) return;  // nobody acknowledges: nothing written
  unsigned reg = bytes[2];
  for (std::size_t i = size(kI2cWriteHeaderLength); i < bytes.size() && reg < kRegisterCount; ++i, ++reg) {
    if (ignoreWrites[reg]) continue;
    if (registers[reg] != bytes[i]) changedByLastWrite[reg] = true;
    registers[reg] = bytes[i];
  }
}

namespace {
LineState lineState(uint8_t level, uint8_t drive, uint8_t bit) {
  if ((drive & bit) == 0) return LineState::Floating;
  return (level & bit) != 0 ? LineState::High : LineState::Low;
}
}  // namespace

LineState oneDenLine(uint8_t level, uint8_t drive) { return lineState(level, drive, kOneDenBit); }

LineState shutbLine(uint8_t level, uint8_t drive) { return lineState(level, drive, kShutbBit); }

}  // namespace glim::usb::sim
