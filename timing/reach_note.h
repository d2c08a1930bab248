#pragma once
#include <string>
#include <string_view>

// Why an actual clock or frequency is not the one asked for. The board makes
// each of them from a 50 MHz reference through a whole divider or count of a
// limited range, so some wishes cannot be met; the person should see which,
// and why, rather than take the actual value for the desired one.
namespace glim::timing {

// How far apart a desired and an actual value may be before it is noted.
inline constexpr double kReachTolerance = 0.01;

// SIC or PWMI clock: `desiredKHz` as typed, the actual clock as shown, and
// the divider byte the board is sent. Empty when the two are within 1 %.
std::string clockReachNote(double desiredKHz, std::string_view actualText, double divider);
// SCLK/STV clock, from its 12-bit divider.
std::string sclkReachNote(double desiredKHz, std::string_view actualText, double divider);
// STV frequency, from the SCLK/STV clock as shown and the 12-bit STV count.
std::string stvReachNote(double desiredHz, std::string_view actualText, double sclkKHz, double count);

}  // namespace glim::timing
