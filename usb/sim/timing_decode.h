#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "usb/sim/sim_board.h"

namespace glim::usb::sim {

// What the 43 timing-generator bytes (the settings packet after its lead byte)
// make the board produce, for tests, scripts and the board window. Clocks come
// from the generator's 50 MHz reference; the two 12-bit values use the low four
// bits of their high byte.
struct TimingDecode {
  double sicClockKHz = 0;                        // reference / byte 0 (0: undivided)
  double pwmiClockKHz = 0;                       // reference / byte 2 (0: undivided)
  double sclkKHz = 0;                            // reference / ((divider + 1) * 2)
  double stvPeriodUs = 0;                        // STV count SCLK periods
  double stvFrequencyHz = 0;                     // +infinity for a zero STV count
  double pwmiPulseNs = 0;                        // byte 3 PWMI clock periods
  double stvPulseUs = 0;                         // byte 5 SCLK periods
  std::array<double, 3> sicPulseNs{};            // bytes 1, 38, 39 SIC clock periods
  std::array<int, 3> sicRepeats{};               // bytes 40..42
  std::array<int, 3> serialRepeats{};            // bytes 10..12
  std::array<std::array<int, 8>, 3> channels{};  // serial block, CH1..CH8
  unsigned stvCount = 0;
  unsigned sclkDivider = 0;
  unsigned enableBits = 0;
  std::vector<std::string> enabledNames;  // "STV", "PWMI", "SIC", "Serial", in bit order
};

TimingDecode decodeTiming(const std::array<uint8_t, protocol::kTimingBytes>& bytes);

}  // namespace glim::usb::sim
