#include "config/config_file.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace glim::config {
namespace {

std::string join(const std::vector<std::string>& lines, std::string_view lineEnd = "\r\n") {
  std::string out;
  for (const auto& line : lines) out += line + std::string(lineEnd);
  return out;
}

// Header, cells "c0".."c42", SHUTb 0, 1D EN 2, "5A", registers "r0".."r21".
std::vector<std::string> validLines() {
  std::vector<std::string> lines{std::string(kHeader)};
  for (int i = 0; i < usb::protocol::kTimingBytes; ++i) lines.push_back("c" + std::to_string(i));
  lines.insert(lines.end(), {"0", "2", "5A"});
  for (int r = 0; r < usb::protocol::kRegisterCount; ++r) lines.push_back("r" + std::to_string(r));
  return lines;
}

ParseResult parse(std::string_view bytes) {
  std::istringstream in{std::string(bytes)};
  return parseConfig(in);
}

TEST(ConfigFile, EveryLineEndReadsTheSame) {
  const auto expected = parse(join(validLines()));
  ASSERT_TRUE(expected.ok());
  EXPECT_EQ(expected.values.cells[42], "c42");
  EXPECT_EQ(expected.values.registers[21], "r21");
  for (std::string_view end : {"\n", "\r"}) EXPECT_EQ(parse(join(validLines(), end)).values, expected.values);

  std::string mixed = join(validLines());
  mixed.erase(mixed.find("\r\nc7"), 1);      // LF alone
  mixed.erase(mixed.find("\r\nc9") + 1, 1);  // CR alone
  mixed.erase(mixed.size() - 2);             // no line end after the last line
  EXPECT_EQ(parse(mixed).values, expected.values);

  // CR CR LF is a line end, then an empty line.
  std::string doubled = join(validLines());
  doubled.insert(doubled.find("\r\nc1"), "\r");
  EXPECT_EQ(parse(doubled).values.cells[1], "");
}

TEST(ConfigFile, SplitsFieldsAtCommasAndTakesQuotedFieldsWhole) {
  const struct {
    std::string line;
    std::vector<std::string> fields;
  } cases[] = {
      {"", {""}},
      {" 5A ", {" 5A "}},
      {"a,", {"a", ""}},
      {"\"a,b\"", {"a,b"}},
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
      {"0.5", 0.0}, {"1.5", 2.0}, {"2.5", 2.0}, {"-0.5", 0.0}, {" 2 ", 2.0},
      {"&H2", 2.0}, {"", 0.0},    {"Z", 0.0},   {"1abc", 1.0}, {"1e400", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(selectionIndex(c.field), c.index) << c.field;
}

TEST(ConfigFile, NamesWhyAFileIsRefused) {
  auto with = [](int line, std::string text) {
    auto lines = validLines();
    lines[static_cast<std::size_t>(line - 1)] = std::move(text);
    return join(lines);
  };
  auto first = [](std::size_t count) {
    auto lines = validLines();
    lines.resize(count);
    return join(lines);
  };
  EXPECT_EQ(parse(first(68)).fault, ParseFault::Truncated);
  EXPECT_EQ(parse(with(1, std::string(kHeader) + " ")).fault, ParseFault::BadHeader);
  EXPECT_EQ(parse(with(45, "1.5")).fault, ParseFault::BadSelection);  // rounds to 2
  EXPECT_EQ(parse(with(46, "2.5")).values.oneDen, 2);
  EXPECT_EQ(parse(with(30, std::string(kMaxLineBytes + 1, '7'))).fault, ParseFault::LineTooLong);
  EXPECT_TRUE(parse(with(30, std::string(kMaxLineBytes, '7'))).ok());
  EXPECT_EQ(parse(with(69, std::string("F\0", 2))).fault, ParseFault::NulByte);
}

// An endless file handed out one byte at a time: `head`, then `pattern` over
// and over.
class EndlessSource : public std::streambuf {
 public:
  EndlessSource(std::string head, std::string pattern) : head_(std::move(head)), pattern_(std::move(pattern)) {}
  std::size_t taken = 0;

 protected:
  int_type underflow() override {
    const std::size_t i = taken++;
    byte_ = i < head_.size() ? head_[i] : pattern_[(i - head_.size()) % pattern_.size()];
    setg(&byte_, &byte_, &byte_ + 1);
    return traits_type::to_int_type(byte_);
  }

 private:
  std::string head_, pattern_;
  char byte_ = 0;
};

TEST(ConfigFile, ReadsNoMoreThanItNeeds) {
  const std::string header = std::string(kHeader) + "\r\n";
  EndlessSource lines(header, "1\r\n");
  std::istream linesIn(&lines);
  EXPECT_TRUE(parseConfig(linesIn).ok());
  EXPECT_EQ(lines.taken, header.size() + 68 * 3);

  EndlessSource oneLine("", "A");
  std::istream oneLineIn(&oneLine);
  EXPECT_EQ(parseConfig(oneLineIn).fault, ParseFault::LineTooLong);
  EXPECT_EQ(oneLine.taken, kMaxLineBytes + 1);
}

TEST(ConfigFile, WhatIsFormattedReadsBackTheSame) {
  ConfigValues values;
  for (int i = 0; i < usb::protocol::kTimingBytes; ++i) values.cells[static_cast<std::size_t>(i)] = std::to_string(i);
  values.cells[0] = "1,5";
  values.cells[1] = " 7";
  values.cells[2] = "8\t";
  values.cells[3] = "";
  values.cells[4] = "\xC3\xA9t\xE9";  // not ASCII, not even UTF-8: bytes stay bytes
  values.cells[5] = std::string(kMaxLineBytes - 2, ',');
  values.slaveAddress = "5a";
  values.registers.fill("A,B");
  for (const auto& text : values.cells) EXPECT_TRUE(checkSavable(text).ok());

  const std::string bytes = formatConfig(values);
  const std::string start = std::string(kHeader) + "\r\n\"1,5\"\r\n\" 7\"\r\n\"8\t\"\r\n\r\n";
  EXPECT_EQ(bytes.substr(0, start.size()), start);
  EXPECT_EQ(parse(bytes).values, values);

  const auto failure = [](const char* why) { return text::Outcome(text::Failure(why)); };
  EXPECT_EQ(checkSavable("say \"hi\""), failure("it holds a double quote"));
  for (const char* broken : {"a\r\nb", "a\rb", "a\nb"}) {
    EXPECT_EQ(checkSavable(broken), failure("it holds a line break"));
  }
  EXPECT_EQ(checkSavable(std::string("a\0b", 3)), failure("it holds a NUL character"));
  EXPECT_EQ(checkSavable(std::string(kMaxLineBytes - 1, ',')), failure("it is too long"));  // 4097 with its quotes
}

}  // namespace
}  // namespace glim::config
