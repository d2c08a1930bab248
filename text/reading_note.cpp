#include "text/reading_note.h"

#include "text/hex_text.h"
#include "text/number_format.h"

namespace glim::text {

namespace {
constexpr std::size_t kQuotedMax = 40;

// A byte that continues a UTF-8 character (10xxxxxx): no place to cut.
bool continues(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The character that starts at `at`: its lead byte and the bytes that continue it.
std::string_view characterAt(std::string_view text, std::size_t at) {
  std::size_t end = at + 1;
  while (end < text.size() && continues(text[end])) ++end;
  return text.substr(at, end - at);
}
}  // namespace

std::string quoted(std::string_view text) {
  if (text.size() <= kQuotedMax) return "\"" + std::string(text) + "\"";
  // Cut before the character the limit falls in, never inside it: a message
  // box shows no lone byte of it.
  std::size_t cut = kQuotedMax;
  while (cut > 0 && continues(text[cut])) --cut;
  return "\"" + std::string(text.substr(0, cut)) + "...\"";
}

ReadingNote readingNote(std::string_view text, const TextReading& reading, std::string_view shown) {
  if (reading.whole()) return {};
  ReadingNote out;
  out.brief = quoted(text) + " reads as " + std::string(shown);
  out.note = out.brief;
  if (reading.stop < text.size()) out.note += ": reading stops at " + quoted(characterAt(text, reading.stop));
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
