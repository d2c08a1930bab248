#pragma once
#include <string>
#include <string_view>

#include "text/text_value.h"

namespace glim::text {

// A text as a message quotes it: in double quotes, and cut after 40
// characters with "..." (a pasted page in a box should not become a page in
// a tooltip or a message box).
std::string quoted(std::string_view text);

// What a box says of a text that does not read whole: the note
// (`"0x4C" reads as 00: reading stops at "x"`) and its short form for a status
// line (`"0x4C" reads as 00`). Both empty for a text that reads whole.
struct ReadingNote {
  std::string note;
  std::string brief;
  bool empty() const { return brief.empty(); }
};
// `shown` is the value as the reader of the note knows it ("00", "12").
ReadingNote readingNote(std::string_view text, const TextReading& reading, std::string_view shown);
// For the register boxes' hexadecimal rule: values shown as two digits.
ReadingNote hexReadingNote(std::string_view text);
// For GetTextValue's rule: values as general number text.
ReadingNote decimalReadingNote(std::string_view text);

}  // namespace glim::text
