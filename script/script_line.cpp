#include "script/script_line.h"

#include <charconv>
#include <optional>
#include <vector>

#include "script/escape.h"

namespace glim::script {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view skipBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

bool allBlank(std::string_view s) { return skipBlanks(s).empty(); }

// The next word, up to a space (a tab belongs to the word: names hold none).
std::string_view takeWord(std::string_view& rest) {
  const std::size_t end = rest.find(' ');
  const std::string_view word = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end);
  return word;
}

std::vector<std::string_view> splitBlanks(std::string_view s) {
  std::vector<std::string_view> words;
  for (;;) {
    s = skipBlanks(s);
    if (s.empty()) return words;
    std::size_t end = 0;
    while (end < s.size() && !isBlank(s[end])) ++end;
    words.push_back(s.substr(0, end));
    s.remove_prefix(end);
  }
}

// Decimal, or hexadecimal after 0x; nothing else, and nothing above `max`.
std::optional<uint32_t> parseNumber(std::string_view s, uint32_t max) {
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s.remove_prefix(2);
    base = 16;
  }
  if (s.empty()) return std::nullopt;
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  if (ec != std::errc{} || end != s.data() + s.size() || value > max) return std::nullopt;
  return value;
}

// One or two hexadecimal digits, optionally after 0x.
std::optional<uint8_t> parseHexByte(std::string_view s) {
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s.remove_prefix(2);
  if (s.empty() || s.size() > 2) return std::nullopt;
  uint32_t value = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, 16);
  if (ec != std::errc{} || end != s.data() + s.size()) return std::nullopt;
  return static_cast<uint8_t>(value);
}

ParsedLine error(std::string message) {
  ParsedLine p;
  p.kind = ParsedLine::Kind::Error;
  p.error = std::move(message);
  return p;
}

ParsedLine command(Command c) {
  ParsedLine p;
  p.kind = ParsedLine::Kind::Command;
  p.command = std::move(c);
  return p;
}

constexpr uint32_t kMaxPipe = 255;
constexpr uint32_t kMaxRegister = 21;
constexpr uint32_t kMaxBoard = 1000000;
constexpr uint32_t kMaxShort = 0x7FFFFFFF;

ParsedLine parseBoard(std::string_view rest) {
  const std::vector<std::string_view> w = splitBlanks(rest);
  Command c;
  c.verb = Verb::Board;
  BoardCommand& b = c.board;
  const auto pipeAt = [&](std::size_t i) { return parseNumber(w[i], kMaxPipe); };
  const std::string_view what = w.empty() ? std::string_view{} : w[0];

  if (what == "attach" && w.size() == 1) {
    b.action = BoardAction::Attach;
  } else if (what == "plugged" && w.size() == 2) {
    const auto n = parseNumber(w[1], kMaxBoard);
    if (!n) return error("board plugged needs a number of boards 0, 1, 2, ...");
    b.action = BoardAction::Plugged;
    b.count = *n;
  } else if (what == "detach" && w.size() == 2) {
    const auto n = parseNumber(w[1], kMaxBoard);
    if (!n || *n == 0) return error("board detach needs a board number 1, 2, ...");
    b.action = BoardAction::Detach;
    b.board = static_cast<int>(*n);
  } else if (what == "fail" && w.size() == 2 && w[1] == "deviceinfo") {
    b.action = BoardAction::FailDeviceInfo;
  } else if (what == "fail" && w.size() == 3 && w[1] == "transfer") {
    const auto pipe = pipeAt(2);
    if (!pipe) return error("board fail transfer needs a pipe number 0 to 255");
    b.action = BoardAction::FailTransfer;
    b.pipe = *pipe;
  } else if (what == "timeout" && w.size() == 2) {
    const auto pipe = pipeAt(1);
    if (!pipe) return error("board timeout needs a pipe number 0 to 255");
    b.action = BoardAction::Timeout;
    b.pipe = *pipe;
  } else if (what == "nopipes" && w.size() == 1) {
    b.action = BoardAction::NoPipes;
  } else if (what == "short" && w.size() == 3) {
    const auto pipe = pipeAt(1);
    const auto count = parseNumber(w[2], kMaxShort);
    if (!pipe || !count) return error("board short needs a pipe number 0 to 255 and a byte count");
    b.action = BoardAction::Short;
    b.pipe = *pipe;
    b.count = *count;
  } else if (what == "hang" && (w.size() == 2 || w.size() == 3)) {
    const auto pipe = pipeAt(1);
    const auto ms = w.size() == 3 ? parseNumber(w[2], kMaxShort) : std::optional<uint32_t>(0);
    if (!pipe || !ms) return error("board hang needs a pipe number 0 to 255 and optionally milliseconds");
    b.action = BoardAction::Hang;
    b.pipe = *pipe;
    b.count = *ms;
  } else if (what == "ignore" && w.size() == 2) {
    const auto reg = parseNumber(w[1], kMaxRegister);
    if (!reg) return error("board ignore needs a register 0 to 21");
    b.action = BoardAction::Ignore;
    b.reg = static_cast<int>(*reg);
  } else if (what == "ok" && w.size() == 1) {
    b.action = BoardAction::Ok;
  } else if (what == "reg" && w.size() == 3) {
    const auto reg = parseNumber(w[1], kMaxRegister);
    const auto value = parseHexByte(w[2]);
    if (!reg || !value) return error("board reg needs a register 0 to 21 and a value 00 to FF in hexadecimal");
    b.action = BoardAction::Reg;
    b.reg = static_cast<int>(*reg);
    b.value = *value;
  } else {
    return error("unknown board command \"" + std::string(skipBlanks(rest)) +
                 "\" (attach, plugged N, detach N, fail deviceinfo, fail transfer PIPE, timeout PIPE, nopipes, "
                 "short PIPE N, hang PIPE [MS], ignore REG, ok, reg REG HEX)");
  }
  return command(std::move(c));
}

ParsedLine parseActivate(std::string_view rest) {
  if (!allBlank(rest)) return error("activate takes nothing after it");
  Command c;
  c.verb = Verb::Activate;
  return command(std::move(c));
}

ParsedLine parseDecode(std::string_view rest) {
  const std::vector<std::string_view> w = splitBlanks(rest);
  const auto reg = w.size() == 1 ? parseNumber(w[0], kMaxRegister) : std::nullopt;
  if (!reg) return error("decode needs a register 0 to 21 (0x00 to 0x15)");
  Command c;
  c.verb = Verb::Decode;
  c.reg = static_cast<int>(*reg);
  return command(std::move(c));
}

ParsedLine parseWait(std::string_view rest) {
  const std::vector<std::string_view> w = splitBlanks(rest);
  const auto ms = w.size() == 1 ? parseNumber(w[0], kMaxWaitMs) : std::nullopt;
  if (!ms) return error("wait needs a time in milliseconds, 0 to " + std::to_string(kMaxWaitMs));
  Command c;
  c.verb = Verb::Wait;
  c.waitMs = *ms;
  return command(std::move(c));
}

// `afterVerb` is the line after the verb, blanks and all.
ParsedLine parseAnswer(std::string_view afterVerb) {
  // The path is everything after the one space that follows the verb.
  const std::string_view path = afterVerb.empty() ? afterVerb : afterVerb.substr(1);
  if (path.empty()) return error("answer needs a path or cancel");
  Command c;
  c.verb = Verb::Answer;
  if (path != "cancel") c.answer = std::string(path);
  return command(std::move(c));
}

// The verbs that name a control after them.
std::optional<Verb> controlVerb(std::string_view verb) {
  if (verb == "set") return Verb::Set;
  if (verb == "type") return Verb::Type;
  if (verb == "click") return Verb::Click;
  if (verb == "select") return Verb::Select;
  if (verb == "close") return Verb::Close;
  if (verb == "print") return Verb::Print;
  if (verb == "expect") return Verb::Expect;
  return std::nullopt;
}

// VERB NAME [TEXT]: a control's name, and for set, type and expect the text
// after it.
ParsedLine parseControlCommand(std::string_view verb, Verb v, std::string_view rest) {
  Command c;
  c.verb = v;
  c.target = std::string(takeWord(rest));
  if (c.target.empty()) return error(std::string(verb) + " needs a control name");
  // TEXT is everything after the single space that follows the name.
  const std::string_view text = rest.empty() ? rest : rest.substr(1);

  switch (v) {
    case Verb::Set:
    case Verb::Type:
      c.text = std::string(text);
      break;
    case Verb::Expect: {
      const text::Outcome unescaped = unescapeText(text, c.text);
      if (!unescaped.ok()) return error("expect " + c.target + ": " + unescaped.reason());
      break;
    }
    case Verb::Close:
      if (c.target != "Glimmora_interface" && c.target != "Glimmora_i2c") {
        return error("close needs Glimmora_interface or Glimmora_i2c, not \"" + c.target + "\"");
      }
      [[fallthrough]];
    default:
      if (!allBlank(text)) return error(std::string(verb) + " " + c.target + " takes nothing after the name");
      break;
  }
  return command(std::move(c));
}

}  // namespace

ParsedLine parseLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::string_view rest = skipBlanks(line);
  if (rest.empty() || rest.front() == '#') return {};

  const std::string_view verb = takeWord(rest);
  const std::string_view afterVerb = rest;
  rest = skipBlanks(rest);

  if (verb == "activate") return parseActivate(rest);
  if (verb == "board") return parseBoard(rest);
  if (verb == "decode") return parseDecode(rest);
  if (verb == "wait") return parseWait(rest);
  if (verb == "answer") return parseAnswer(afterVerb);
  if (const std::optional<Verb> v = controlVerb(verb)) return parseControlCommand(verb, *v, rest);
  return error("unknown verb \"" + std::string(verb) +
               "\" (set, type, click, select, close, activate, print, expect, answer, board, decode, wait)");
}

}  // namespace glim::script
