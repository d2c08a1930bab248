#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "text/text_value.h"

namespace glim::text {

// Value of one hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c);

// Hexadecimal register text: blanks are ignored, reading stops at the first
// character that is not a hexadecimal digit, and a text with no leading digit
// reads as 0. The value saturates at UINT32_MAX, so callers can tell a text that
// does not fit a byte from one that does.
uint32_t hexTextValue(std::string_view text);

// The rule above, telling where it stopped (TextReading's `value` is the
// saturated 32-bit value).
TextReading readHexText(std::string_view text);

// Whether `text` has a hexadecimal digit before anything else but blanks; a
// text without one reads as 0 by the rule above.
inline bool hasLeadingHexDigit(std::string_view text) { return readHexText(text).number; }

// The one hexadecimal formatter: appends `value` in upper case with at least
// `minDigits` digits, zeros in front where it is shorter (minDigits 1: no
// leading zeros, 0 -> "0").
void appendHex(std::string& out, uint32_t value, int minDigits = 1);
std::string hexText(uint32_t value, int minDigits = 1);

// Read value shown as upper-case hexadecimal without leading zeros (0x05 -> "5").
std::string_view byteText(uint8_t value);

// Bytes as two digits each, one blank between them ("0A FF"; nothing -> "").
std::string hexBytes(std::span<const uint8_t> bytes);

}  // namespace glim::text
