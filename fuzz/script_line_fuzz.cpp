// Arbitrary bytes as a script, read line by line as glimmora-cli reads it
// (std::getline, then the parser drops one CR). Scripts are passed between
// people and recorded by the window, so besides never crashing:
// - a line ending CR LF reads exactly as the same line ending LF;
// - a skipped line is blank or a comment; a malformed one says why on one line;
// - a command has a control name without spaces, takes `set`/`type` text
//   literally, and its board numbers are within their ranges;
// - the first bytes as a text (any bytes, line breaks included) come back whole
//   through the runner's escapes and an `expect` line, and the lines the
//   recorder writes for an edit or a file dialog's answer replay that edit or
//   answer, or are comments.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "script/escape.h"
#include "script/script_line.h"
#include "script/script_recorder.h"

namespace {

using namespace glim::script;

void require(bool condition) {
  if (!condition) std::abort();
}

bool sameBoard(const BoardCommand& a, const BoardCommand& b) {
  return a.action == b.action && a.board == b.board && a.pipe == b.pipe && a.count == b.count && a.reg == b.reg &&
         a.value == b.value;
}

bool same(const ParsedLine& a, const ParsedLine& b) {
  if (a.kind != b.kind || a.error != b.error) return false;
  const Command& x = a.command;
  const Command& y = b.command;
  return x.verb == y.verb && x.target == y.target && x.text == y.text && x.answer == y.answer &&
         sameBoard(x.board, y.board) && x.reg == y.reg;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view withoutCr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool endsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

void checkCommand(std::string_view line, const Command& c) {
  switch (c.verb) {
    case Verb::Set:
    case Verb::Type:
      // The text is the rest of the line as written, blanks and all.
      require(!c.target.empty() && c.target.find(' ') == std::string::npos);
      require(endsWith(withoutCr(line), c.text));
      break;
    case Verb::Expect: {
      require(!c.target.empty() && c.target.find(' ') == std::string::npos);
      const ParsedLine again = parseLine("expect " + c.target + ' ' + escapeText(c.text));
      require(again.kind == ParsedLine::Kind::Command && again.command.text == c.text);
      break;
    }
    case Verb::Close:
      require(c.target == "Glimmora_interface" || c.target == "Glimmora_i2c");
      [[fallthrough]];
    case Verb::Click:
    case Verb::Print:
      require(!c.target.empty() && c.target.find(' ') == std::string::npos && c.text.empty());
      break;
    case Verb::Activate:
      require(c.target.empty() && c.text.empty());
      break;
    case Verb::Answer:
      require(!c.answer || (!c.answer->empty() && endsWith(withoutCr(line), *c.answer)));
      break;
    case Verb::Decode:
      require(c.reg >= 0 && c.reg <= 21 && c.target.empty());
      break;
    case Verb::Board: {
      const BoardCommand& b = c.board;
      require(b.pipe <= 255 && b.reg >= 0 && b.reg <= 21 && b.count <= 0x7FFFFFFFu);
      require(b.action != BoardAction::Detach || b.board >= 1);
      break;
    }
  }
}

void checkLine(std::string_view line) {
  const ParsedLine parsed = parseLine(line);
  switch (parsed.kind) {
    case ParsedLine::Kind::Skip: {
      std::string_view rest = withoutCr(line);
      while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
      require(rest.empty() || rest.front() == '#');
      break;
    }
    case ParsedLine::Kind::Error:
      require(!parsed.error.empty() && parsed.error.find('\n') == std::string::npos);
      break;
    case ParsedLine::Kind::Command:
      checkCommand(line, parsed.command);
      break;
  }
  // The same script saved with CR LF line ends.
  if (line.empty() || line.back() != '\r') require(same(parseLine(std::string(line) + '\r'), parsed));
}

// A control name as the program has them: no blank, no line break, not a comment.
std::string controlName(std::string_view bytes) {
  std::size_t end = 0;
  while (end < bytes.size() && end < 40 && !isBlank(bytes[end]) && bytes[end] != '\r' && bytes[end] != '\n') ++end;
  if (end == 0 || bytes[0] == '#') return "tbSCLKfreqdes";
  return std::string(bytes.substr(0, end));
}

void checkRecorded(std::string_view bytes) {
  const std::string text(bytes);
  const bool breaks = text.find_first_of("\r\n") != std::string::npos;

  // What the runner prints, put into an `expect`, is the text again.
  std::string unescaped;
  require(unescapeText(escapeText(text), unescaped).ok() && unescaped == text);
  const ParsedLine expected = parseLine("expect mStatus " + escapeText(text));
  require(expected.kind == ParsedLine::Kind::Command && expected.command.text == text);

  // An edit: from the same text (odd lengths) or from nothing.
  const std::string name = controlName(bytes);
  const std::string before = bytes.size() % 2 == 1 ? text : std::string();
  const std::string edit = textChangeLine(name, before, text);
  const ParsedLine edited = parseLine(edit);
  require(edit.find_first_of("\r\n") == std::string::npos);
  if (edited.kind == ParsedLine::Kind::Skip) {
    require(breaks || before == text);
  } else {
    require(edited.kind == ParsedLine::Kind::Command && edited.command.target == name && edited.command.text == text);
    require(edited.command.verb == (before == text ? Verb::Type : Verb::Set));
  }

  // A file dialog's answer (a dialog never answers an empty path).
  if (!text.empty()) {
    const std::string answer = answerLine(glim::forms::FileChoice::chosen(text));
    require(answer.find_first_of("\r\n") == std::string::npos);
    const ParsedLine answered = parseLine(answer);
    if (breaks) {
      require(answered.kind == ParsedLine::Kind::Skip);
    } else {
      require(answered.kind == ParsedLine::Kind::Command && answered.command.verb == Verb::Answer);
      // "cancel" is written as ./cancel, the same file.
      require(answered.command.answer == (text == "cancel" ? std::string("./cancel") : text));
    }
  }
  const ParsedLine cancelled = parseLine(answerLine(glim::forms::FileChoice::cancelled()));
  require(cancelled.kind == ParsedLine::Kind::Command && !cancelled.command.answer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Lines as std::getline gives them: a last line without its line feed counts.
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t end = bytes.find('\n', pos);
    if (end == std::string_view::npos) {
      checkLine(bytes.substr(pos));
      break;
    }
    checkLine(bytes.substr(pos, end - pos));
    pos = end + 1;
  }
  // Texts typed into boxes are short; a longer one only costs time here.
  checkRecorded(bytes.substr(0, 128));
  return 0;
}
