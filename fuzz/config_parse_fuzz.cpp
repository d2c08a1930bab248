// Arbitrary bytes as a configuration file, read by the parser alone from
// memory (no program, no file), so that millions of inputs run in minutes.
// Whatever it takes must format to a file that reads back to the same values,
// and it must stop reading at the end of the line holding the 69th field.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <istream>
#include <streambuf>
#include <string>
#include <string_view>

#include "config/config_file.h"

namespace {

using namespace glim::config;

void require(bool condition) {
  if (!condition) std::abort();
}

// The input's bytes as a stream, without a copy; consumed() is how far the
// reader got (a byte only peeked at is not consumed).
class MemoryBuf : public std::streambuf {
 public:
  explicit MemoryBuf(std::string_view bytes) {
    char* begin = const_cast<char*>(bytes.data());
    setg(begin, begin, begin + bytes.size());
  }
  std::size_t consumed() const { return static_cast<std::size_t>(gptr() - eback()); }
};

struct Read {
  ParseResult result;
  std::size_t consumed = 0;
};

Read read(std::string_view bytes) {
  MemoryBuf buf(bytes);
  std::istream in(&buf);
  Read r{parseConfig(in), 0};
  r.consumed = buf.consumed();
  return r;
}

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

// The number of fields on the lines of `text` before its last line.
std::size_t fieldsBeforeLastLine(std::string_view text) {
  std::size_t fields = 0;
  std::size_t pos = 0;
  for (;;) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) return fields;
    std::size_t next = end + 1;
    if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    if (next >= text.size()) return fields;  // that was the last line
    fields += splitFields(text.substr(pos, end - pos)).size();
    pos = next;
  }
}

bool savable(const ConfigValues& v) {
  for (const auto& t : v.cells)
    if (!checkSavable(t).ok()) return false;
  for (const auto& t : v.registers)
    if (!checkSavable(t).ok()) return false;
  return checkSavable(v.slaveAddress).ok();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Read first = read(bytes);
  require(first.consumed <= size);
  if (!first.result.ok()) {
    if (first.result.fault == ParseFault::Truncated) require(first.consumed == size);
    return 0;
  }
  const ConfigValues& v = first.result.values;
  require(v.shutb >= 0 && v.shutb < 2 && v.oneDen >= 0 && v.oneDen < 3);

  // It stopped at a line end (or the end of the input), on the line that
  // completed the 69 fields, and what follows never changes what was read.
  const std::string_view taken = bytes.substr(0, first.consumed);
  require(first.consumed == size || isLineEnd(taken.back()));
  require(fieldsBeforeLastLine(taken) < static_cast<std::size_t>(kFieldCount));
  if (first.consumed < size) {
    const std::string other = std::string(taken) + std::string("\0garbage", 8);
    const Read again = read(other);
    require(again.result.ok() && again.result.values == v && again.consumed == first.consumed);
  }

  // What it took formats to a file that reads back the same.
  if (savable(v)) {
    const std::string file = formatConfig(v);
    const Read back = read(file);
    require(back.result.ok() && back.result.values == v && back.consumed == file.size());
  }
  return 0;
}
