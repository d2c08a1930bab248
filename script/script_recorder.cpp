#include "script/script_recorder.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>

#include "config/platform_file.h"
#include "script/python_test.h"
#include "text/hex_text.h"

#ifndef GLIMMORA_VERSION
#define GLIMMORA_VERSION "unknown"
#endif

namespace glim::script {

namespace {

bool breaksLine(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

// One UTF-8 character (a lead byte and its continuation bytes).
bool oneCharacter(std::string_view text) {
  if (text.empty()) return false;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return false;
  }
  return true;
}

std::string localNow() {
  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  char text[32];
  if (local == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local) == 0) return "unknown date";
  return text;
}

void addPipeLines(std::vector<std::string>& lines, const char* what, const std::set<uint32_t>& pipes,
                  const std::set<uint32_t>& already) {
  for (uint32_t pipe : pipes) {
    if (!already.contains(pipe)) lines.push_back(std::string(what) + std::to_string(pipe));
  }
}

template <typename Map, typename Line>
void addCountLines(std::vector<std::string>& lines, const Map& now, const Map& already, Line line) {
  for (const auto& [pipe, count] : now) {
    const auto old = already.find(pipe);
    if (old == already.end() || old->second != count) lines.push_back(line(pipe, count));
  }
}

template <typename Container>
bool lost(const Container& before, const Container& after) {
  for (const auto& entry : before) {
    if constexpr (requires { entry.first; }) {
      if (!after.contains(entry.first)) return true;
    } else {
      if (!after.contains(entry)) return true;
    }
  }
  return false;
}

}  // namespace

std::string textChangeLine(std::string_view control, std::string_view before, std::string_view after) {
  const std::string name(control);
  if (breaksLine(after)) return "# left out: " + name + " was given a text with a line break, which no line can hold";
  if (before == after) {
    // `set` to the same text changes nothing; a typed character over the
    // selected text is one change whatever it was.
    if (oneCharacter(after)) return "type " + name + ' ' + std::string(after);
    return "# left out: " + name + " was edited without changing its text";
  }
  if (after.empty()) return "set " + name;
  return "set " + name + ' ' + std::string(after);
}

std::string clickLine(std::string_view control) { return "click " + std::string(control); }

std::string closeLine(std::string_view window) { return "close " + std::string(window); }

std::string answerLine(const forms::FileChoice& choice) {
  if (choice.isCancelled()) return "answer cancel";
  const std::string& path = choice.path();
  if (breaksLine(path)) return "# left out: a file dialog's answer, a path with a line break";
  // A file really named "cancel" must not read as the cancel button.
  if (path == "cancel") return "answer ./cancel";
  return "answer " + path;
}

std::vector<std::string> faultLines(const usb::Faults& before, const usb::Faults& after) {
  const bool cleared = (before.deviceInfoRefused && !after.deviceInfoRefused) || (before.noPipes && !after.noPipes) ||
                       lost(before.refusedPipes, after.refusedPipes) || lost(before.timeoutPipes, after.timeoutPipes) ||
                       lost(before.shortPipes, after.shortPipes) || lost(before.hangPipes, after.hangPipes) ||
                       lost(before.ignoredRegisters, after.ignoredRegisters);
  const usb::Faults none;
  const usb::Faults& base = cleared ? none : before;
  std::vector<std::string> lines;
  if (cleared) lines.emplace_back("board ok");
  if (after.deviceInfoRefused && !base.deviceInfoRefused) lines.emplace_back("board fail deviceinfo");
  if (after.noPipes && !base.noPipes) lines.emplace_back("board nopipes");
  addPipeLines(lines, "board fail transfer ", after.refusedPipes, base.refusedPipes);
  addPipeLines(lines, "board timeout ", after.timeoutPipes, base.timeoutPipes);
  addCountLines(lines, after.shortPipes, base.shortPipes, [](uint32_t pipe, uint32_t n) {
    return "board short " + std::to_string(pipe) + ' ' + std::to_string(n);
  });
  addCountLines(lines, after.hangPipes, base.hangPipes, [](uint32_t pipe, uint32_t ms) {
    return "board hang " + std::to_string(pipe) + (ms == 0 ? std::string() : ' ' + std::to_string(ms));
  });
  for (const int reg : after.ignoredRegisters) {
    if (!base.ignoredRegisters.contains(reg)) lines.push_back("board ignore " + std::to_string(reg));
  }
  return lines;
}

text::Outcome ScriptRecorder::start(const std::string& path, const Setup& setup) {
  stop();
  file_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!file_.is_open()) return text::Failure("Cannot write " + path + ": " + std::strerror(errno));
  path_ = path;
  frames_.clear();
  boardNumbers_.clear();
  nextBoard_ = 1;
  lastLine_.clear();
  linesWritten_ = 0;
  form_ = setup.form;
  shownAtStart_ = setup.shownAtStart;
  shownNow_ = setup.shownNow;
  const std::string header =
      std::string("Recorded by glimmora ") + GLIMMORA_VERSION + " on " + (setup.date.empty() ? localNow() : setup.date);
  if (form_ == Setup::Form::PythonTest) {
    const std::u8string stem = config::platform::toPath(path).stem().u8string();
    for (const std::string& line : pythonTestHead(std::string(stem.begin(), stem.end()), header)) {
      file_ << line << '\n';
      ++linesWritten_;
    }
    file_.flush();
    if (!file_.good()) {
      const int error = errno;
      file_.close();
      return text::Failure("Cannot write " + path + ": " + std::strerror(error));
    }
    put(setup.simulated ? "# Board: simulated (pytest's default board, --glimmora-board=sim)"
                        : "# Board: real (run with pytest --glimmora-board=usb)");
  } else {
    put("# " + header);
    put(setup.simulated ? "# Board: simulated (replay with glimmora-cli --board sim)"
                        : "# Board: real (replay with glimmora-cli --board usb)");
  }
  if (setup.simulated) {
    // States, not actions, so that a replay into a program that has boards
    // or faults already ends where one into a new program does: as many
    // boards as there are now (numbered as a new program numbers them), and
    // no faults but these.
    for (int board : setup.boards) boardNumbers_[board] = nextBoard_++;
    if (!setup.boards.empty()) put("board plugged " + std::to_string(setup.boards.size()));
    put("board ok");
    for (std::string& line : faultLines({}, setup.faults)) put(std::move(line));
    for (const auto& [reg, value] : setup.registers) registerSet(reg, value);
  }
  for (const std::string& line : setup.state) put(line);
  return {};
}

void ScriptRecorder::stop() {
  if (!recording()) return;
  // An action still running (the recording stopped from inside it) is
  // written as far as it went.
  while (!frames_.empty()) endAction();
  if (recording() && form_ == Setup::Form::PythonTest) {
    const auto atEnd = shownNow_ ? shownNow_() : std::vector<std::pair<std::string, std::string>>();
    for (const std::string& line : pythonAsserts(shownAtStart_, atEnd)) {
      if (!writeOut(line)) break;
    }
  }
  if (recording()) file_.close();
  shownNow_ = nullptr;
}

void ScriptRecorder::beginAction(std::string line) {
  if (!recording()) return;
  frames_.push_back(Frame{{}, std::move(line), {}});
}

void ScriptRecorder::endAction() {
  if (frames_.empty()) return;
  Frame frame = std::move(frames_.back());
  frames_.pop_back();
  std::vector<std::string> lines = std::move(frame.answers);
  lines.push_back(std::move(frame.line));
  for (std::string& line : frame.after) lines.push_back(std::move(line));
  if (!frames_.empty()) {
    // Nested in another action: it happened while that one's handler ran.
    for (std::string& line : lines) frames_.back().after.push_back(std::move(line));
    return;
  }
  write(lines);
}

void ScriptRecorder::fileDialogAnswered(const forms::FileChoice& choice) {
  if (!recording() || frames_.empty()) return;
  frames_.back().answers.push_back(
      answerLine(choice.isCancelled() ? choice : forms::FileChoice::chosen(relativeAnswer(choice.path(), path_))));
}

std::string relativeAnswer(const std::string& answer, const std::string& recording) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path folder = fs::absolute(config::platform::toPath(recording), error).parent_path().lexically_normal();
  if (error) return answer;
  const fs::path target = fs::absolute(config::platform::toPath(answer), error).lexically_normal();
  if (error) return answer;
  const fs::path inside = target.lexically_relative(folder);
  if (inside.empty() || inside == "." || *inside.begin() == "..") return answer;
  const std::u8string text = inside.generic_u8string();
  return std::string(text.begin(), text.end());
}

void ScriptRecorder::activated() {
  // Coming back once is enough: a second `activate` in a row changes nothing.
  if (frames_.empty() && lastLine_ == "activate") return;
  put("activate");
}

void ScriptRecorder::boardPlugged(int board) {
  if (!recording()) return;
  boardNumbers_[board] = nextBoard_++;
  put("board attach");
}

void ScriptRecorder::boardUnplugged(int board) {
  if (!recording()) return;
  const auto number = boardNumbers_.find(board);
  if (number == boardNumbers_.end()) {
    put("# left out: a board was unplugged that the recording never plugged in");
    return;
  }
  put("board detach " + std::to_string(number->second));
  boardNumbers_.erase(number);
}

void ScriptRecorder::faultsChanged(const usb::Faults& before, const usb::Faults& after) {
  for (std::string& line : faultLines(before, after)) put(std::move(line));
}

void ScriptRecorder::registerSet(int reg, uint8_t value) {
  put("board reg " + std::to_string(reg) + ' ' + text::hexText(value, 2));
}

void ScriptRecorder::put(std::string line) {
  if (!recording()) return;
  if (!frames_.empty()) {
    frames_.back().after.push_back(std::move(line));
    return;
  }
  write({std::move(line)});
}

void ScriptRecorder::write(const std::vector<std::string>& lines) {
  if (!recording()) return;
  for (const std::string& line : lines) {
    lastLine_ = line;
    if (form_ == Setup::Form::Script) {
      if (!writeOut(line)) return;
      continue;
    }
    // In a test, each step is a statement of the test function.
    const std::string statement = pythonLine(line);
    if (!statement.empty() && !writeOut("    " + statement)) return;
  }
}

bool ScriptRecorder::writeOut(const std::string& text) {
  // Each line goes out at once: a recording cut short by a crash keeps
  // everything done before it.
  file_ << text << '\n';
  file_.flush();
  ++linesWritten_;
  if (file_.good()) return true;
  failed();
  return false;
}

void ScriptRecorder::failed() {
  const int error = errno;
  file_.close();
  frames_.clear();
  onFailed.notify("Cannot write " + path_ + ": " + std::strerror(error) + "; the recording has stopped");
}

}  // namespace glim::script
