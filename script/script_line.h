#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace glim::script {

enum class Verb { Set, Type, Click, Select, Close, Activate, Print, Expect, Answer, Board, Decode, Wait };

// The longest `wait`: an hour.
inline constexpr uint32_t kMaxWaitMs = 3600000;

enum class BoardAction {
  Attach,
  Plugged,
  Detach,
  FailDeviceInfo,
  FailTransfer,
  Timeout,
  NoPipes,
  Short,
  Hang,
  Ignore,
  Ok,
  Reg
};

// A `board` line, with its numbers already checked.
struct BoardCommand {
  BoardAction action = BoardAction::Ok;
  int board = 0;       // detach
  uint32_t pipe = 0;   // fail transfer, timeout, short, hang
  uint32_t count = 0;  // short; hang: milliseconds (0: until the time-out); plugged: boards
  int reg = 0;         // reg, ignore
  uint8_t value = 0;   // reg
};

// One script line that does something.
struct Command {
  Verb verb = Verb::Activate;
  // The control or window as written (set, type, click, close, print, expect).
  std::string target;
  // set and type: taken literally; expect: with its escapes resolved.
  std::string text;
  // answer: the path, or nothing for `answer cancel`.
  std::optional<std::string> answer;
  BoardCommand board;
  int reg = 0;          // decode
  uint32_t waitMs = 0;  // wait
};

struct ParsedLine {
  enum class Kind { Skip, Command, Error };
  Kind kind = Kind::Skip;
  Command command;
  std::string error;  // what is wrong with the line (Kind::Error)
};

// Reads one line of the script language (without its line feed): blank lines
// and comments are skipped; anything else is a command or a malformed line.
// Whether the named control exists is the runner's question, not the parser's.
ParsedLine parseLine(std::string_view line);

}  // namespace glim::script
