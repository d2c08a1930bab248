#pragma once
#include <cstddef>
#include <string_view>

namespace glim::text {

// Numeric value of a text field's contents, as the program reads every number
// typed into a box:
//  - blanks, tabs and line feeds are skipped wherever they occur;
//  - an optional sign, decimal digits with at most one '.', whatever the locale,
//    then an optional exponent letter E or D with optional sign and digits;
//  - a leading "&H" reads up to four hexadecimal digits as a signed 16-bit value;
//  - reading stops at the first character that cannot continue the number;
//  - a text without a leading number (the empty text too) is 0.
// Nothing is rejected. Values too large for a double come back as +/-infinity.
double GetTextValue(std::string_view text);

// How far a rule read a text: its value, whether a number was there at all,
// and where reading stopped. A text reads whole when a number was found and
// nothing but skipped blanks follows it; anything else reads as something the
// text does not show ("0x10" as 0, "12abc" as 12, "" as 0).
struct TextReading {
  static constexpr std::size_t kAll = std::string_view::npos;
  double value = 0.0;
  bool number = false;
  std::size_t stop = kAll;  // index of the first character not read; kAll: none
  bool whole() const { return number && stop == kAll; }
};

// GetTextValue's rule, telling where it stopped.
TextReading readTextValue(std::string_view text);

// Whether GetTextValue finds a number at the start of `text` at all: a digit
// (after blanks, a sign or a '.'), or "&H" and a hexadecimal digit. A text
// without one reads as 0 whatever it says.
inline bool hasLeadingNumber(std::string_view text) { return readTextValue(text).number; }

}  // namespace glim::text
