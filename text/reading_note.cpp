#include "text/reading_note.h"

#include "text/hex_text.h"
#include "text/number_format.h"

namespace glim::text {

namespace {
constexpr std::size_t kQuotedMax = 40;
}  // namespace

std::string quoted(std::string_view text) {
  if (text.size() <= kQuotedMax) return "\"" + std::string(text) + "\"";
  return "\"" + std::string(text.substr(0, kQuotedMax)) + "...\"";
}

ReadingNote readingNote(std::string_view text, const TextReading& reading, std::string_view shown) {
  if (reading.whole()) return {};
  ReadingNote out;
  out.brief = quoted(text) + " reads as " + std::string(shown);
  out.note = out.brief;
  if (reading.stop < text.size()) out.note += ": reading stops at " + quoted(text.substr(reading.stop, 1));
  return out;
}

ReadingNote hexReadingNote(std::string_view text) {
  const TextReading r = readHexText(text);
  if (r.whole()) return {};
  return readingNote(text, r, hexText(static_cast<uint32_t>(r.value), 2));
}

ReadingNote decimalReadingNote(std::string_view text) {
  const TextReading r = readTextValue(text);
  if (r.whole()) return {};
  return readingNote(text, r, formatGeneral(r.value));
}

}  // namespace glim::text
