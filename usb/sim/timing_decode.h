#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace glim::usb::sim {

// What the 43 timing-generator bytes mean, for tests, scripts and the board
// window (filled in by the timing work).
struct TimingDecode {
  double sicClockKHz = 0;
  double pwmiClockKHz = 0;
  double sclkKHz = 0;
  double stvPeriodUs = 0;
  double stvFrequencyHz = 0;
  double pwmiPulseNs = 0;
  double stvPulseUs = 0;
  std::array<double, 3> sicPulseNs{};
  std::array<int, 3> sicRepeats{};
  std::array<int, 3> serialRepeats{};
  std::array<std::array<int, 8>, 3> channels{};
  unsigned stvCount = 0;
  unsigned sclkDivider = 0;
  unsigned enableBits = 0;
  std::vector<std::string> enabledNames;  // "STV", "PWMI", "SIC", "Serial"
};

TimingDecode decodeTiming(const std::array<uint8_t, 43>& bytes);

}  // namespace glim::usb::sim
