#pragma once
// The interface board's protocol, in one place: its pipes, the packets it
// takes and gives, the meaning of the timing generator's bytes and of the
// control-pin bits. Everything that builds or reads a packet takes its
// numbers from here; the builders are pure functions over this table.
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

namespace glim::usb::protocol {

// Every transfer waits this long for the board.
inline constexpr uint32_t kTransferTimeoutMs = 30000;

// Pipes (endpoint addresses): three out, one in.
inline constexpr uint32_t kPinPipe = 1;        // the two control lines
inline constexpr uint32_t kI2cPipe = 2;        // commands for the board's I2C master
inline constexpr uint32_t kTimingPipe = 3;     // the timing generator's settings
inline constexpr uint32_t kAnswerPipe = 0x82;  // 130: the I2C master's answers

// ---- Timing generator -------------------------------------------------------

inline constexpr int kTimingBytes = 43;
// The clock every divider and count of the generator divides.
inline constexpr double kReferenceHz = 50000000.0;
inline constexpr uint8_t kSettingsLeadByte = 0x00;
inline constexpr int kSettingsPacketLength = 1 + kTimingBytes;  // lead byte, then the 43 bytes

// Positions of the 43 bytes (the register image's cells) that mean something
// on their own.
namespace cell {
inline constexpr int kSicDivider = 0;
inline constexpr int kSicWidth0 = 1;
inline constexpr int kPwmiDivider = 2;
inline constexpr int kPwmiWidth = 3;
inline constexpr int kStvDivider = 4;
inline constexpr int kStvWidth = 5;
inline constexpr int kStvCountHigh = 6;  // 12-bit STV count: bits 11..8 here, 7..0 in the next byte
inline constexpr int kStvCountLow = 7;
inline constexpr int kSclkDividerHigh = 8;  // 12-bit SCLK divider, split the same way
inline constexpr int kSclkDividerLow = 9;
inline constexpr int kSerialRepeat0 = 10;  // repeat counts of serial blocks 0..2
inline constexpr int kSerialBlocks = 3;
inline constexpr int kChannel0 = 13;  // CH1 of serial block 0; each block has 8 channel bytes
inline constexpr int kChannelsPerBlock = 8;
inline constexpr int kEnableBits = 37;  // bit 0 STV, 1 PWMI, 2 SIC, 3 Serial
inline constexpr int kSicWidth1 = 38;
inline constexpr int kSicWidth2 = 39;
inline constexpr int kSicRepeat0 = 40;
inline constexpr int kSicRepeat1 = 41;
inline constexpr int kSicRepeat2 = 42;
}  // namespace cell

inline constexpr int kEnableBitCount = 4;
// The high byte of a 12-bit value holds bits 11..8.
inline constexpr unsigned kTwelveBitMax = 0x0FFF;
inline constexpr unsigned kHighPartMax = 0x0F;
inline constexpr unsigned twelveBits(uint8_t high, uint8_t low) {
  return (static_cast<unsigned>(high & kHighPartMax) << 8) | low;
}

// The settings packet: the lead byte and the 43 bytes.
inline std::array<uint8_t, kSettingsPacketLength> settingsPacket(std::span<const uint8_t, kTimingBytes> bytes) {
  std::array<uint8_t, kSettingsPacketLength> packet{};
  packet[0] = kSettingsLeadByte;
  std::copy(bytes.begin(), bytes.end(), packet.begin() + 1);
  return packet;
}

// ---- Control lines ----------------------------------------------------------

// The pin packet is [level, drive]. Level bit 4 is the 1D EN line, bit 5 the
// SHUTb line; a line whose drive bit is clear floats.
inline constexpr int kPinPacketLength = 2;
inline constexpr uint8_t kOneDenBit = 0x10;
inline constexpr uint8_t kShutbBit = 0x20;
inline constexpr uint8_t kLevelIdle = 0xFE;  // every level bit high but bit 0
inline constexpr uint8_t kDriveAll = 0xF3;
inline constexpr uint8_t kDriveOneDenFloating = kDriveAll & static_cast<uint8_t>(~kOneDenBit);  // 0xE3

enum class OneDen { Low, Floating, High };

inline constexpr std::array<uint8_t, kPinPacketLength> pinPacket(OneDen oneDen, bool shutbLow) {
  uint8_t level = kLevelIdle;
  if (oneDen == OneDen::Low) level = static_cast<uint8_t>(level & ~kOneDenBit);
  if (shutbLow) level = static_cast<uint8_t>(level & ~kShutbBit);
  const uint8_t drive = oneDen == OneDen::Floating ? kDriveOneDenFloating : kDriveAll;
  return {level, drive};
}

// ---- I2C master -------------------------------------------------------------

inline constexpr int kRegisterCount = 22;
// The chip's I2C write address (the address a new register window offers).
inline constexpr uint8_t kChipAddress = 0x5A;
// The chip's registers after power-on, 0x00 to 0x15 (a new register window
// offers them to write).
inline constexpr std::array<uint8_t, kRegisterCount> kPowerOnRegisters = {
    0xFF, 0x00, 0x00, 0xB8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4D,
    0xB3, 0x00, 0x00, 0x00, 0x29, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// Command bytes: the first byte of a pipe 2 packet.
inline constexpr uint8_t kI2cWrite = 0x00;      // 00 address first values...: one or more registers
inline constexpr uint8_t kI2cRead = 0x01;       // 01 address+1 register -> [status, value]
inline constexpr uint8_t kI2cBlockRead = 0x17;  // 17 address+1 first -> [status, 22 values]

inline constexpr int kI2cWriteHeaderLength = 3;  // command, address, first register; the values follow
inline constexpr int kI2cWriteOneLength = kI2cWriteHeaderLength + 1;
inline constexpr int kI2cWriteAllLength = kI2cWriteHeaderLength + kRegisterCount;
inline constexpr int kI2cRequestLength = 3;
inline constexpr int kI2cReadAnswerLength = 2;                    // status byte, value
inline constexpr int kI2cBlockAnswerLength = 1 + kRegisterCount;  // status byte, 22 values (0x17)

// Status byte of an answer (byte 0).
inline constexpr uint8_t kAnswerOk = 0x00;
inline constexpr uint8_t kAnswerNack = 0x01;        // the chip did not acknowledge
inline constexpr uint8_t kAnswerBadCommand = 0xEE;  // malformed or unknown packet

// A read goes to the chip's read address: its write address + 1.
inline constexpr uint8_t readAddress(uint8_t writeAddress) { return static_cast<uint8_t>(writeAddress + 1); }

inline constexpr std::array<uint8_t, kI2cWriteOneLength> registerWritePacket(uint8_t address, uint8_t reg,
                                                                             uint8_t value) {
  return {kI2cWrite, address, reg, value};
}

inline std::array<uint8_t, kI2cWriteAllLength> registerBlockWritePacket(
    uint8_t address, std::span<const uint8_t, kRegisterCount> values) {
  std::array<uint8_t, kI2cWriteAllLength> packet{kI2cWrite, address, 0x00};
  std::copy(values.begin(), values.end(), packet.begin() + kI2cWriteHeaderLength);
  return packet;
}

// `address` is the read address (see readAddress).
inline constexpr std::array<uint8_t, kI2cRequestLength> registerReadRequest(uint8_t address, uint8_t reg) {
  return {kI2cRead, address, reg};
}

inline constexpr std::array<uint8_t, kI2cRequestLength> registerBlockReadRequest(uint8_t address, uint8_t first) {
  return {kI2cBlockRead, address, first};
}

}  // namespace glim::usb::protocol
