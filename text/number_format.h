#pragma once
#include <cstdint>
#include <string>

namespace glim::text {

// Upper-case hexadecimal without leading zeros of a 16-bit value (0x200B -> "200B",
// -1 -> "FFFF").
std::string hex16(int64_t value);
// The same for a 32-bit value; a negative status shows as its eight-digit two's
// complement (-1 -> "FFFFFFFF").
std::string hex32(int64_t value);

// Fixed-point text with `decimals` digits after a '.' and at least one digit
// before it ("###0.0" is decimals = 1, "###0.000" decimals = 3). The value is
// first taken to 15 significant digits, then rounded half away from zero at the
// last digit shown. Non-finite values give "Infinity", "-Infinity" or "NaN".
std::string formatFixed(double value, int decimals);

// General number text: 15 significant digits, plain decimal notation, no
// trailing zeros after the point and no trailing point (1320 -> "1320",
// 99.99999999999999 -> "100"). Non-finite values as in formatFixed.
std::string formatGeneral(double value);

// Decimal digits of a whole number, with a '-' when negative.
std::string integerText(long long value);

}  // namespace glim::text
