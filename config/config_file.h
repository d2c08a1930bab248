#pragma once
#include <array>
#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/outcome.h"
#include "usb/protocol.h"

// The configuration text file: 69 lines ended by CR LF, one value a line.
//
//   line 1        "//Glimmora Config File"
//   lines 2..44   tbCPLDdata(0..42)
//   line 45       index of the selected obShutb option
//   line 46       index of the selected ob1Den option ("2" is the option captioned "1")
//   line 47       tbI2Caddr
//   lines 48..69  tbI2Creg(0..21)
//
// Reading takes the file field by field: a field ends at a comma or at the end
// of a line. A field that begins with a double quote is quoted: it runs to the
// next double quote (or the end of its line), and whatever follows the closing
// quote up to the next comma or line end is skipped. Other fields are taken
// exactly as they stand, blanks included. A line ends at CR LF, at a bare LF or
// at a bare CR, so files edited on any system read the same.
namespace glim::config {

inline constexpr std::string_view kHeader = "//Glimmora Config File";
inline constexpr int kFieldCount = 1 + usb::protocol::kTimingBytes + 2 + 1 + usb::protocol::kRegisterCount;  // 69
// No value comes near this; a longer line means the file is not one of ours.
inline constexpr std::size_t kMaxLineBytes = 4096;

// Everything a configuration file holds.
struct ConfigValues {
  std::array<std::string, usb::protocol::kTimingBytes> cells;
  int shutb = 1;   // index of the selected obShutb option, 0..1
  int oneDen = 1;  // index of the selected ob1Den option, 0..2
  std::string slaveAddress;
  std::array<std::string, usb::protocol::kRegisterCount> registers;
  bool operator==(const ConfigValues&) const = default;
};

// Done when a control text can be written so that it reads back the same;
// otherwise failed with why not (a double quote, a line break, a NUL, or too
// long for a line).
text::Outcome checkSavable(std::string_view text);

// The file's bytes. A text holding a comma, or with a blank or tab at either
// end, is written inside double quotes. Every text must have passed
// checkSavable.
std::string formatConfig(const ConfigValues& values);

// Why a file was not taken as a configuration file.
enum class ParseFault {
  None,
  BadHeader,     // the first field is not the header, exactly
  Truncated,     // fewer than 69 fields before the end of the file
  LineTooLong,   // a line longer than kMaxLineBytes
  NulByte,       // a NUL byte: binary data, not a text file
  BadSelection,  // line 45 or 46 names an option that does not exist
};

// A value of a loaded file that holds no number at all ("abc", ""): it goes
// into its control as written and counts as 0 wherever it is used.
struct NotANumber {
  int line = 0;  // the file's line it stands on
  std::string text;
  bool operator==(const NotANumber&) const = default;
};

struct ParseResult {
  ParseFault fault = ParseFault::None;
  // Where the fault is: the line that holds it, or for Truncated the last
  // line there was (0 for an empty file).
  int line = 0;
  std::string field;    // BadSelection: the value as written
  int value = 0;        // BadSelection: which value (45 for "SHUTb", 46 for "1D EN")
  ConfigValues values;  // complete only when fault is None
  // Values that hold no number, in file order (a loaded file only).
  std::vector<NotANumber> notNumbers;
  bool ok() const { return fault == ParseFault::None; }
};

// Why a file was refused, for a status line: "t.txt ends after line 30 of
// 69", "t.txt: line 1 is not "//Glimmora Config File"". `file` is the name
// to show.
std::string faultText(const ParseResult& result, std::string_view file);

// What a loaded file's values without a number came to, for a status line:
// "line 5 "abc" counts as 0", with how many more there are; "" when none.
std::string notNumbersText(const std::vector<NotANumber>& notNumbers);

// Reads the 69 fields and checks them all. Never reads past the line that
// holds the 69th field, and never holds more than one line in memory. A stream
// that fails part way reads as ended there.
ParseResult parseConfig(std::istream& in);

// The fields of one line (without its line end), as the reader splits them.
std::vector<std::string> splitFields(std::string_view line);

// A selection line read as a decimal number and rounded to the nearest whole
// number, halves to even; nothing when the value is not finite.
std::optional<double> selectionIndex(std::string_view field);

}  // namespace glim::config
