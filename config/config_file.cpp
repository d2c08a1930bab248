#include "config/config_file.h"

#include <cmath>

#include "text/hex_text.h"
#include "text/text_value.h"

namespace glim::config {

using usb::protocol::kTimingBytes;

namespace {

constexpr std::string_view kCrLf = "\r\n";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool needsQuotes(std::string_view text) {
  if (text.find(',') != std::string_view::npos) return true;
  return !text.empty() && (isBlank(text.front()) || isBlank(text.back()));
}

void appendField(std::string& out, std::string_view text) {
  if (needsQuotes(text)) {
    out += '"';
    out += text;
    out += '"';
  } else {
    out += text;
  }
  out += kCrLf;
}

// Hands out the file's lines one at a time, each at most kMaxLineBytes long.
class LineReader {
 public:
  enum class Status { Line, End, TooLong, Nul };

  explicit LineReader(std::istream& in) : in_(in) {}

  Status read(std::string& line) {
    line.clear();
    using Traits = std::istream::traits_type;
    auto c = in_.get();
    if (Traits::eq_int_type(c, Traits::eof())) return Status::End;
    while (!Traits::eq_int_type(c, Traits::eof())) {
      if (c == '\n') return Status::Line;
      // CR LF is one line end; a bare CR ends the line by itself. Peeking
      // leaves the next line's first byte where it is.
      if (c == '\r') {
        if (in_.peek() == '\n') in_.get();
        return Status::Line;
      }
      if (c == 0) return Status::Nul;
      if (line.size() == kMaxLineBytes) return Status::TooLong;
      line += Traits::to_char_type(c);
      c = in_.get();
    }
    return Status::Line;  // the last line may lack its line end
  }

 private:
  std::istream& in_;
};

ParseFault faultOf(LineReader::Status status) {
  switch (status) {
    case LineReader::Status::End:
      return ParseFault::Truncated;
    case LineReader::Status::TooLong:
      return ParseFault::LineTooLong;
    case LineReader::Status::Nul:
      return ParseFault::NulByte;
    case LineReader::Status::Line:
      break;
  }
  return ParseFault::None;
}

// The option index a selection field names, when that option exists.
std::optional<int> optionIndex(std::string_view field, int optionCount) {
  const auto n = selectionIndex(field);
  if (!n || *n < 0 || *n >= optionCount) return std::nullopt;
  return static_cast<int>(*n);
}

}  // namespace

text::Outcome checkSavable(std::string_view text) {
  if (text.find('"') != std::string_view::npos) return text::Failure("it holds a double quote");
  if (text.find_first_of(kCrLf) != std::string_view::npos) return text::Failure("it holds a line break");
  if (text.find('\0') != std::string_view::npos) return text::Failure("it holds a NUL character");
  const std::size_t quotes = needsQuotes(text) ? 2 : 0;
  if (text.size() + quotes > kMaxLineBytes) return text::Failure("it is too long");
  return {};
}

std::string formatConfig(const ConfigValues& values) {
  std::string out;
  out.reserve(1024);
  appendField(out, kHeader);
  for (const auto& cell : values.cells) appendField(out, cell);
  appendField(out, std::to_string(values.shutb));
  appendField(out, std::to_string(values.oneDen));
  appendField(out, values.slaveAddress);
  for (const auto& reg : values.registers) appendField(out, reg);
  return out;
}

std::vector<std::string> splitFields(std::string_view line) {
  std::vector<std::string> fields;
  std::size_t pos = 0;
  for (;;) {
    std::size_t end = 0;
    if (pos < line.size() && line[pos] == '"') {
      const std::size_t close = line.find('"', pos + 1);
      if (close == std::string_view::npos) {
        fields.emplace_back(line.substr(pos + 1));
        return fields;
      }
      fields.emplace_back(line.substr(pos + 1, close - pos - 1));
      end = line.find(',', close + 1);
    } else {
      end = line.find(',', pos);
      fields.emplace_back(line.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
    }
    if (end == std::string_view::npos) return fields;
    pos = end + 1;  // a comma at the end of the line leaves one empty field after it
  }
}

std::optional<double> selectionIndex(std::string_view field) {
  const double value = text::GetTextValue(field);
  if (!std::isfinite(value)) return std::nullopt;
  return std::nearbyint(value);  // the default rounding: halves to even
}

ParseResult parseConfig(std::istream& in) {
  ParseResult result;
  LineReader reader(in);
  std::vector<std::string> fields;
  std::vector<int> lineOf;  // the file line of each field
  fields.reserve(kFieldCount + 8);
  lineOf.reserve(kFieldCount + 8);
  std::string line;
  int lines = 0;
  while (fields.size() < static_cast<std::size_t>(kFieldCount)) {
    const auto status = reader.read(line);
    if (status != LineReader::Status::Line) {
      result.fault = faultOf(status);
      // A fault inside a line is on the line being read; the end is after the last one.
      result.line = status == LineReader::Status::End ? lines : lines + 1;
      return result;
    }
    ++lines;
    for (auto& field : splitFields(line)) {
      fields.push_back(std::move(field));
      lineOf.push_back(lines);
    }
    if (fields.front() != kHeader) {
      result.fault = ParseFault::BadHeader;
      result.line = 1;
      return result;
    }
  }

  // Fields past the 69th (from a comma on the last line read) are not read.
  std::size_t next = 1;
  const auto take = [&](bool hex) {
    std::string& text = fields[next];
    if (!(hex ? text::hasLeadingHexDigit(text) : text::hasLeadingNumber(text))) {
      result.notNumbers.push_back({lineOf[next], text});
    }
    ++next;
    return std::move(text);
  };
  ConfigValues& v = result.values;
  for (auto& cell : v.cells) cell = take(false);
  for (const int options : {2, 3}) {
    const std::size_t at = next;
    const std::string text = take(false);
    const auto index = optionIndex(text, options);
    if (!index) {
      result.fault = ParseFault::BadSelection;
      result.line = lineOf[at];
      result.field = text;
      result.value = static_cast<int>(at) + 1;
      return result;
    }
    (options == 2 ? v.shutb : v.oneDen) = *index;
  }
  v.slaveAddress = take(true);
  for (auto& reg : v.registers) reg = take(true);
  return result;
}

namespace {
// A value as a status line quotes it: a pasted novel stays short.
std::string quotedValue(std::string_view text) {
  constexpr std::size_t kShown = 20;
  if (text.size() <= kShown) return "\"" + std::string(text) + "\"";
  return "\"" + std::string(text.substr(0, kShown)) + "...\"";
}
}  // namespace

std::string faultText(const ParseResult& result, std::string_view file) {
  const std::string name(file);
  const std::string at = name + ": line " + std::to_string(result.line);
  switch (result.fault) {
    case ParseFault::None:
      return {};
    case ParseFault::BadHeader:
      return at + " is not \"" + std::string(kHeader) + "\"";
    case ParseFault::Truncated:
      if (result.line == 0) return name + " is empty";
      return name + " ends after line " + std::to_string(result.line) + " of " + std::to_string(kFieldCount);
    case ParseFault::LineTooLong:
      return at + " is longer than " + std::to_string(kMaxLineBytes) + " bytes";
    case ParseFault::NulByte:
      return at + " holds a NUL byte, as no text file does";
    case ParseFault::BadSelection:
      if (result.value == kTimingBytes + 2) {
        return at + " " + quotedValue(result.field) + " is not a SHUTb option (0 or 1)";
      }
      return at + " " + quotedValue(result.field) + " is not a 1D EN option (0, 1 or 2)";
  }
  return name + " is not a configuration file";
}

std::string notNumbersText(const std::vector<NotANumber>& notNumbers) {
  if (notNumbers.empty()) return {};
  const NotANumber& first = notNumbers.front();
  std::string text = "line " + std::to_string(first.line) + " " + quotedValue(first.text) + " counts as 0";
  const std::size_t more = notNumbers.size() - 1;
  if (more == 1) text += " (and 1 more such line)";
  if (more > 1) text += " (and " + std::to_string(more) + " more such lines)";
  return text;
}

}  // namespace glim::config
