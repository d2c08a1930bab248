#include "text/reading_note.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/hex_text.h"
#include "text/text_value.h"

namespace glim::text {
namespace {

struct NoteCase {
  std::string text;
  std::string note;  // "" when the text reads whole
};

// The note agrees with the value each rule gives: the rules themselves stay.
TEST(ReadingNote, HexadecimalBoxesSayWhatTheyReadAs) {
  const std::vector<NoteCase> cases = {
      {"0x4C", "\"0x4C\" reads as 00: reading stops at \"x\""},
      {"G1", "\"G1\" reads as 00: reading stops at \"G\""},
      {"-1", "\"-1\" reads as 00: reading stops at \"-\""},
      {"", "\"\" reads as 00"},
      {"   ", "\"   \" reads as 00"},
      {"12xyz", "\"12xyz\" reads as 12: reading stops at \"x\""},
      {"5 Z", "\"5 Z\" reads as 05: reading stops at \"Z\""},
      // Read whole: blanks are skipped, case does not matter, a value too
      // large for a byte is refused when sent, not misread.
      {"4c", ""},
      {" 4 C ", ""},
      {"1FF", ""},
      {"0", ""},
      {"12abc", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    EXPECT_EQ(hexReadingNote(c.text).note, c.note);
    EXPECT_EQ(readHexText(c.text).whole(), c.note.empty());
  }
  EXPECT_EQ(hexReadingNote("0x4C").brief, "\"0x4C\" reads as 00");
  // A text of up to 40 characters is quoted whole; a longer one is cut there.
  EXPECT_EQ(hexReadingNote(std::string(40, 'z')).brief, "\"" + std::string(40, 'z') + "\" reads as 00");
  EXPECT_EQ(hexReadingNote(std::string(41, 'z')).brief, "\"" + std::string(40, 'z') + "...\" reads as 00");
}

TEST(ReadingNote, DecimalFieldsSayWhatTheyReadAs) {
  const std::vector<NoteCase> cases = {
      {"0x10", "\"0x10\" reads as 0: reading stops at \"x\""},
      {"abc", "\"abc\" reads as 0: reading stops at \"a\""},
      {"12abc", "\"12abc\" reads as 12: reading stops at \"a\""},
      {"", "\"\" reads as 0"},
      {"-", "\"-\" reads as 0: reading stops at \"-\""},
      {"&H", "\"&H\" reads as 0: reading stops at \"&\""},
      {"&H12345", "\"&H12345\" reads as 4660: reading stops at \"5\""},
      {"1.2.3", "\"1.2.3\" reads as 1.2: reading stops at \".\""},
      {"12,5", "\"12,5\" reads as 12: reading stops at \",\""},
      // Whole: blanks anywhere, an exponent, "&H", a fraction.
      {" 1 2 ", ""},
      {"1e3", ""},
      {"1e", ""},
      {"&H1F", ""},
      {"12.6", ""},
      {"-0", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("text \"" + c.text + "\"");
    EXPECT_EQ(decimalReadingNote(c.text).note, c.note);
    const TextReading r = readTextValue(c.text);
    EXPECT_EQ(r.whole(), c.note.empty());
    EXPECT_EQ(r.value, GetTextValue(c.text));
    EXPECT_EQ(r.number, hasLeadingNumber(c.text));
  }
}

// A quoted text is cut on a character boundary: a message box never shows a
// lone byte of a character that did not fit.
TEST(ReadingNote, QuotedTextsAreCutBetweenCharacters) {
  const std::string e = "\xC3\xA9";             // é: 2 bytes
  const std::string euro = "\xE2\x82\xAC";      // €: 3 bytes
  const std::string clef = "\xF0\x9D\x84\x9E";  // 4 bytes
  const struct {
    std::string text, quoted;
  } cases[] = {
      {std::string(39, 'A') + e, "\"" + std::string(39, 'A') + "...\""},  // the limit falls inside é
      {std::string(38, 'A') + e, "\"" + std::string(38, 'A') + e + "\""},
      {std::string(38, 'A') + e + "B", "\"" + std::string(38, 'A') + e + "...\""},
      {std::string(38, 'A') + euro + "B", "\"" + std::string(38, 'A') + "...\""},
      {std::string(37, 'A') + clef + "B", "\"" + std::string(37, 'A') + "...\""},
      {std::string(36, 'A') + clef + "B", "\"" + std::string(36, 'A') + clef + "...\""},
      {std::string(20, 'A') + e + e + e + e + e + e + e + e + e + e + e,
       "\"" + std::string(20, 'A') + e + e + e + e + e + e + e + e + e + e + "...\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(text::quoted(c.text), c.quoted);
  }
  // Where reading stops, the whole character is named.
  EXPECT_EQ(hexReadingNote("4" + e).note, "\"4" + e + "\" reads as 04: reading stops at \"" + e + "\"");
}

}  // namespace
}  // namespace glim::text
