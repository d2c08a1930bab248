#include "usb/sim/timing_decode.h"

#include <limits>

namespace glim::usb::sim {
namespace {

constexpr double kReferenceKHz = protocol::kReferenceHz / 1000.0;
constexpr double kNsPerMs = 1000000.0;  // ns in one period of a 1 kHz clock
constexpr double kUsPerS = 1000000.0;

// Byte positions in the 43 timing bytes.
using namespace protocol::cell;

// A divider byte of 0 leaves the clock undivided.
double dividedKHz(uint8_t divider) { return divider == 0 ? kReferenceKHz : kReferenceKHz / divider; }

// Bits 11..8 come first; the generator's counters are 12 bits wide.
unsigned twelveBits(const std::array<uint8_t, protocol::kTimingBytes>& b, int high) {
  return protocol::twelveBits(b[high], b[high + 1]);
}

}  // namespace

TimingDecode decodeTiming(const std::array<uint8_t, protocol::kTimingBytes>& bytes) {
  TimingDecode d;
  d.sicClockKHz = dividedKHz(bytes[kSicDivider]);
  d.pwmiClockKHz = dividedKHz(bytes[kPwmiDivider]);
  d.pwmiPulseNs = bytes[kPwmiWidth] * kNsPerMs / d.pwmiClockKHz;

  const std::array<uint8_t, 3> sicWidths = {bytes[kSicWidth0], bytes[kSicWidth1], bytes[kSicWidth2]};
  for (std::size_t i = 0; i < 3; ++i) {
    d.sicPulseNs[i] = sicWidths[i] * kNsPerMs / d.sicClockKHz;
    d.sicRepeats[i] = bytes[kSicRepeat0 + i];
    d.serialRepeats[i] = bytes[kSerialRepeat0 + i];
    for (std::size_t c = 0; c < kChannelsPerBlock; ++c) d.channels[i][c] = bytes[kChannel0 + kChannelsPerBlock * i + c];
  }

  d.sclkDivider = twelveBits(bytes, kSclkDividerHigh);
  d.stvCount = twelveBits(bytes, kStvCountHigh);
  const double sclkHz = kReferenceKHz * 1000.0 / ((d.sclkDivider + 1.0) * 2.0);
  d.sclkKHz = sclkHz / 1000.0;
  d.stvPulseUs = bytes[kStvWidth] * kUsPerS / sclkHz;
  d.stvPeriodUs = d.stvCount * kUsPerS / sclkHz;
  // A zero count never repeats: no finite frequency.
  d.stvFrequencyHz = d.stvCount == 0 ? std::numeric_limits<double>::infinity() : sclkHz / d.stvCount;

  d.enableBits = bytes[kEnableBits];
  static constexpr const char* kNames[] = {"STV", "PWMI", "SIC", "Serial"};
  for (unsigned bit = 0; bit < protocol::kEnableBitCount; ++bit) {
    if ((d.enableBits >> bit) & 1U) d.enabledNames.emplace_back(kNames[bit]);
  }
  return d;
}

}  // namespace glim::usb::sim
