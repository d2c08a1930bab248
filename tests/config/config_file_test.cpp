#include "config/config_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glim::config {
namespace {

// The lines joined, each followed by `lineEnd`.
std::string fileOf(const std::vector<std::string>& lines, std::string_view lineEnd = "\r\n") {
  std::string out;
  for (const auto& line : lines) {
    out += line;
    out += lineEnd;
  }
  return out;
}

std::vector<std::string> validLines() {
  std::vector<std::string> lines{std::string(kHeader)};
  for (int i = 0; i < kCells; ++i) lines.push_back("c" + std::to_string(i));
  lines.push_back("0");
  lines.push_back("2");
  lines.push_back("5A");
  for (int r = 0; r < kRegisters; ++r) lines.push_back("r" + std::to_string(r));
  return lines;
}

ParseResult parse(std::string_view bytes) {
  StringSource source(bytes);
  return parseConfig(source);
}

TEST(ConfigFile, ReadsEveryLineIntoItsValue) {
  const auto result = parse(fileOf(validLines()));
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.values.cells[0], "c0");
  EXPECT_EQ(result.values.cells[42], "c42");
  EXPECT_EQ(result.values.shutb, 0);
  EXPECT_EQ(result.values.oneDen, 2);
  EXPECT_EQ(result.values.slaveAddress, "5A");
  EXPECT_EQ(result.values.registers[0], "r0");
  EXPECT_EQ(result.values.registers[21], "r21");
}

TEST(ConfigFile, AnyLineEndReadsTheSame) {
  const auto expected = parse(fileOf(validLines()));
  ASSERT_TRUE(expected.ok());
  for (std::string_view end : {"\n", "\r"}) {
    const auto result = parse(fileOf(validLines(), end));
    ASSERT_TRUE(result.ok()) << "line end " << static_cast<int>(end[0]);
    EXPECT_EQ(result.values, expected.values);
  }
  // Mixed, and the last line without any line end.
  std::string mixed = fileOf(validLines());
  mixed.erase(mixed.find("\r\nc7"), 1);      // LF alone
  mixed.erase(mixed.find("\r\nc9") + 1, 1);  // CR alone
  mixed.erase(mixed.size() - 2);
  const auto result = parse(mixed);
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.values, expected.values);
}

TEST(ConfigFile, CrCrLfIsAnEmptyLineBetween) {
  // A bare CR ends a line, so CR CR LF is one line end and then an empty line.
  auto lines = validLines();
  std::string bytes = fileOf(lines);
  bytes.replace(bytes.find("c0\r\n"), 4, "c0\r\r\n");
  const auto result = parse(bytes);
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.values.cells[1], "");
  EXPECT_EQ(result.values.cells[2], "c1");
}

TEST(ConfigFile, SplitsFieldsAtCommasAndTakesQuotedFieldsWhole) {
  const struct {
    std::string line;
    std::vector<std::string> fields;
  } cases[] = {
      {"", {""}},
      {"abc", {"abc"}},
      {" 5A ", {" 5A "}},
      {"a,b", {"a", "b"}},
      {"a,", {"a", ""}},
      {",", {"", ""}},
      {"\"a,b\"", {"a,b"}},
      {"\" x \",y", {" x ", "y"}},
      {"\"ab\"junk,c", {"ab", "c"}},
      {"\"unterminated, still one", {"unterminated, still one"}},
      {"a\"b,c", {"a\"b", "c"}},
      {"\xC3\xA9,\xFF", {"\xC3\xA9", "\xFF"}},
  };
  for (const auto& c : cases) EXPECT_EQ(splitFields(c.line), c.fields) << c.line;
}

TEST(ConfigFile, SelectionLinesRoundHalfToEven) {
  const struct {
    std::string field;
    std::optional<double> index;
  } cases[] = {
      {"1", 1.0},     {"0.5", 0.0},  {"1.5", 2.0},   {"2.5", 2.0},  {"1.49", 1.0}, {"-0.5", 0.0},
      {" 2 ", 2.0},   {"1e0", 1.0},  {"&H2", 2.0},   {"", 0.0},     {"Z", 0.0},    {"1abc", 1.0},
      {"1e400", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(selectionIndex(c.field), c.index) << c.field;
}

TEST(ConfigFile, RefusesAFileThatIsNotWhole) {
  auto with = [](int line, std::string text) {
    auto lines = validLines();
    lines[static_cast<std::size_t>(line - 1)] = std::move(text);
    return fileOf(lines);
  };
  auto firstLines = [](int count) {
    auto lines = validLines();
    lines.resize(static_cast<std::size_t>(count));
    return fileOf(lines);
  };
  const struct {
    const char* name;
    std::string bytes;
    ParseFault fault;
  } cases[] = {
      {"empty file", "", ParseFault::Truncated},
      {"header only", firstLines(1), ParseFault::Truncated},
      {"50 lines", firstLines(50), ParseFault::Truncated},
      {"68 lines", firstLines(68), ParseFault::Truncated},
      {"header in lower case", with(1, "//glimmora config file"), ParseFault::BadHeader},
      {"header with a blank after it", with(1, std::string(kHeader) + " "), ParseFault::BadHeader},
      {"header after a byte-order mark", with(1, "\xEF\xBB\xBF" + std::string(kHeader)), ParseFault::BadHeader},
      {"SHUTb 2", with(45, "2"), ParseFault::BadSelection},
      {"SHUTb -1", with(45, "-1"), ParseFault::BadSelection},
      {"SHUTb 1.5 rounds to 2", with(45, "1.5"), ParseFault::BadSelection},
      {"1D EN 3", with(46, "3"), ParseFault::BadSelection},
      {"1D EN 1e400", with(46, "1e400"), ParseFault::BadSelection},
      {"a line over 4 KiB", with(30, std::string(kMaxLineBytes + 1, '7')), ParseFault::LineTooLong},
      {"a long last line", with(69, std::string(kMaxLineBytes + 1, 'F')), ParseFault::LineTooLong},
      {"a NUL byte", with(30, std::string("1\0", 2)), ParseFault::NulByte},
  };
  for (const auto& c : cases) EXPECT_EQ(parse(c.bytes).fault, c.fault) << c.name;

  // At the limits: a line of exactly 4 KiB, and 2.5 for 1D EN (index 2).
  EXPECT_TRUE(parse(with(30, std::string(kMaxLineBytes, '7'))).ok());
  EXPECT_EQ(parse(with(46, "2.5")).values.oneDen, 2);
}

TEST(ConfigFile, ACommaShiftsLaterValuesAsReadersOfTheFormatDo) {
  auto lines = validLines();
  lines[1] = "1,2";  // cell 0's line
  lines.pop_back();  // one line fewer still gives 69 fields
  const auto result = parse(fileOf(lines));
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.values.cells[0], "1");
  EXPECT_EQ(result.values.cells[1], "2");
  EXPECT_EQ(result.values.cells[2], "c1");
}

// Counts what the parser takes from an endless source.
class EndlessSource : public ByteSource {
 public:
  explicit EndlessSource(std::string pattern) : pattern_(std::move(pattern)) {}
  int next() override { return static_cast<unsigned char>(pattern_[taken++ % pattern_.size()]); }
  std::size_t taken = 0;

 private:
  std::string pattern_;
};

TEST(ConfigFile, ReadsNoMoreThanItNeeds) {
  {
    // Header, then endless lines: exactly 69 lines are read.
    const std::string header = std::string(kHeader) + "\r\n";
    EndlessSource lines("1\r\n");
    StringSource head(header);
    struct Chain : ByteSource {
      ByteSource& a;
      ByteSource& b;
      Chain(ByteSource& x, ByteSource& y) : a(x), b(y) {}
      int next() override {
        const int c = a.next();
        return c >= 0 ? c : b.next();
      }
    } chain(head, lines);
    const auto result = parseConfig(chain);
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(lines.taken, 68u * 3u);
  }
  {
    // One endless line: stopped just past the limit.
    EndlessSource endless("A");
    EXPECT_EQ(parseConfig(endless).fault, ParseFault::LineTooLong);
    EXPECT_EQ(endless.taken, kMaxLineBytes + 1);
  }
}

TEST(ConfigFile, WhatIsFormattedReadsBackTheSame) {
  ConfigValues values;
  for (int i = 0; i < kCells; ++i) values.cells[static_cast<std::size_t>(i)] = std::to_string(i * 5);
  values.cells[0] = "1,5";
  values.cells[1] = " 7";
  values.cells[2] = "8\t";
  values.cells[3] = "";
  values.cells[4] = "\xC3\xA9t\xE9";  // not ASCII, not even UTF-8: bytes stay bytes
  values.cells[5] = std::string(kMaxLineBytes - 2, ',');
  values.shutb = 0;
  values.oneDen = 2;
  values.slaveAddress = "5a";
  for (int r = 0; r < kRegisters; ++r) values.registers[static_cast<std::size_t>(r)] = "A,B";

  for (const auto& text : values.cells) EXPECT_FALSE(unsavableReason(text)) << text;
  const std::string bytes = formatConfig(values);
  const std::string start = std::string(kHeader) + "\r\n\"1,5\"\r\n\" 7\"\r\n\"8\t\"\r\n\r\n";
  EXPECT_EQ(bytes.substr(0, start.size()), start);
  const auto result = parse(bytes);
  ASSERT_TRUE(result.ok());
  EXPECT_EQ(result.values, values);
}

TEST(ConfigFile, NamesTextsThatCannotReadBackTheSame) {
  EXPECT_EQ(unsavableReason("say \"hi\""), "it holds a double quote");
  EXPECT_EQ(unsavableReason("a\r\nb"), "it holds a line break");
  EXPECT_EQ(unsavableReason("a\rb"), "it holds a line break");
  EXPECT_EQ(unsavableReason("a\nb"), "it holds a line break");
  EXPECT_EQ(unsavableReason(std::string("a\0b", 3)), "it holds a NUL character");
  EXPECT_EQ(unsavableReason(std::string(kMaxLineBytes + 1, '1')), "it is too long");
  EXPECT_EQ(unsavableReason(std::string(kMaxLineBytes - 1, ',')), "it is too long");  // quotes make it 4097
  EXPECT_FALSE(unsavableReason(std::string(kMaxLineBytes, '1')));
}

}  // namespace
}  // namespace glim::config
