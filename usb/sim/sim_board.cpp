#include "usb/sim/sim_board.h"

#include <algorithm>

namespace glim::usb::sim {

namespace {
constexpr uint8_t kChipReadAddress = protocol::readAddress(kChipAddress);
constexpr uint8_t kIdleBus = 0xFF;  // what a read shows when nobody drives the bus
constexpr std::size_t kPinsPacket = protocol::kPinPacketLength;
constexpr std::size_t kTimingPacket = protocol::kSettingsPacketLength;
constexpr std::size_t kReadRequest = protocol::kI2cRequestLength;
constexpr std::size_t kWriteHeader = 3;  // command, address, first register
}  // namespace

bool SimBoard::receive(uint32_t pipe, std::span<const uint8_t> bytes) {
  switch (pipe) {
    case kPinsPipe:
      if (bytes.empty()) return true;
      if (bytes.size() != kPinsPacket) {
        badCommand();
        return true;
      }
      pinLevel = bytes[0];
      pinDrive = bytes[1];
      pinsWritten = true;
      return true;
    case kTimingPipe:
      if (bytes.empty()) return true;
      if (bytes.size() != kTimingPacket || bytes[0] != protocol::kSettingsLeadByte) {
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
  if ((command != kI2cReadOne && command != kI2cBlockRead) || bytes.size() != kReadRequest) {
    badCommand();
    return;
  }
  const bool acknowledged = bytes[1] == kChipReadAddress;
  const unsigned first = bytes[2];
  if (command == kI2cReadOne) {
    if (!acknowledged || first >= kChipRegisters) {
      answer_ = std::vector<uint8_t>{kStatusNack, kIdleBus};
    } else {
      answer_ = std::vector<uint8_t>{kStatusOk, registers[first]};
    }
    return;
  }
  std::vector<uint8_t> out(1 + kChipRegisters, kIdleBus);
  out[0] = acknowledged ? kStatusOk : kStatusNack;
  if (acknowledged) {
    for (unsigned i = 0; i < kChipRegisters && first + i < kChipRegisters; ++i) out[1 + i] = registers[first + i];
  }
  answer_ = std::move(out);
}

void SimBoard::i2cWrite(std::span<const uint8_t> bytes) {
  if (bytes.size() <= kWriteHeader) {
    badCommand();
    return;
  }
  changedByLastWrite.fill(false);
  if (bytes[1] != kChipAddress) return;  // nobody acknowledges: nothing written
  unsigned reg = bytes[2];
  for (std::size_t i = kWriteHeader; i < bytes.size() && reg < kChipRegisters; ++i, ++reg) {
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

LineState oneDenLine(uint8_t level, uint8_t drive) { return lineState(level, drive, protocol::kOneDenBit); }

LineState shutbLine(uint8_t level, uint8_t drive) { return lineState(level, drive, protocol::kShutbBit); }

}  // namespace glim::usb::sim
