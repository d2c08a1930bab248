#pragma once
#include <string>

#include "usb/protocol.h"

// The clock and frequency calculators behind the timing window's displays and
// desired-value boxes: how dividers and counts become clocks, and back.
namespace glim::timing::calc {

inline constexpr double kLowestRatio = 1.5;  // below it: divider or count 0
inline constexpr double kByteLimit = 255.0;
inline constexpr double kTwelveBitLimit = usb::protocol::kTwelveBitMax;
inline constexpr double kKilo = 1000.0;
inline constexpr double kMicro = 1000000.0;
inline constexpr double kByteSplit = 256.0;

// A SIC or PWMI clock in kHz for its divider (0 means undivided).
double dividedClockKHz(double divider);
// A divider or count for a wanted ratio: 0 when the ratio is below 1.5, at
// most `limit`, otherwise the nearest whole ratio (halves go up).
double nearestWhole(double ratio, double limit);
// SIC and PWMI divider for a desired clock in kHz.
double byteDivider(double desiredKHz);
// The SCLK divider D whose clock, reference / ((D + 1) * 2), comes closest to
// a desired one in kHz.
double sclkDivider(double desiredKHz);
// SCLK periods per STV period for a desired STV rate in Hz at an SCLK in kHz.
double stvCount(double sclkKHz, double desiredHz);
// A whole value as the cells show it.
std::string wholeText(double value);

}  // namespace glim::timing::calc
