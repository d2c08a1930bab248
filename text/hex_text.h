#pragma once
#include <cstdint>
#include <string_view>

namespace glim::text {

// Value of one hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c);

// Hexadecimal register text: blanks are ignored, reading stops at the first
// character that is not a hexadecimal digit, and a text with no leading digit
// reads as 0. The value saturates at UINT32_MAX, so callers can tell a text that
// does not fit a byte from one that does.
uint32_t hexTextValue(std::string_view text);

// Read value shown as upper-case hexadecimal without leading zeros (0x05 -> "5").
std::string_view byteText(uint8_t value);

}  // namespace glim::text
