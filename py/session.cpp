#include "py/session.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>
#include <utility>

#include "config/platform_file.h"
#include "i2c/register_form.h"
#include "script/control_actions.h"
#include "script/line_runner.h"
#include "script/script_line.h"
#include "text/hex_text.h"
#include "text/outcome.h"

namespace glim::py {

namespace {

// The one switch for real boards (see cli/board_choice.cpp): passed on by
// glim_usb_backends when the libusb backend is built.
#ifdef GLIMMORA_LIBUSB
constexpr bool kRealBoards = true;
#else
constexpr bool kRealBoards = false;
#endif

constexpr int kRegisterCount = usb::protocol::kRegisterCount;

int checkedRegister(int64_t reg) {
  if (reg < 0 || reg >= kRegisterCount) {
    throw std::invalid_argument("register " + std::to_string(reg) + " is outside 0..21");
  }
  return static_cast<int>(reg);
}

uint8_t checkedByte(int64_t value, const std::string& what) {
  if (value < 0 || value > 255) throw std::invalid_argument(what + " " + std::to_string(value) + " is outside 0..255");
  return static_cast<uint8_t>(value);
}

void noLineBreak(const std::string& text, const std::string& what) {
  if (text.find_first_of("\r\n") != std::string::npos) throw std::invalid_argument(what + " holds a line break");
}

// "REASON" of "error (line N): REASON".
std::string reasonOf(const std::string& error) {
  const std::size_t colon = error.find("): ");
  return colon == std::string::npos ? error : error.substr(colon + 3);
}

// A failure the status line shows, thrown as the caller's exception: a
// board's failure with its kind, anything else (a file, a text) without.
[[noreturn]] void throwShown(const forms::StatusLabel& status) {
  const text::FailureKind kind = status.failure();
  throw Failed(status.caption(), kind == text::FailureKind::Other ? "" : std::string(text::failureKindName(kind)));
}

}  // namespace

Session::Session(SessionOptions options, Interpreter& interpreter)
    : interpreter_(interpreter), lastSessionFile_(std::move(options.lastSessionFile)) {
  if (options.board == usb::DriverChoice::RealBoards && !kRealBoards) {
    throw std::invalid_argument("board \"usb\": this build has no support for real boards (use \"sim\")");
  }
  usb::DriverAndBench layer = usb::createDriver(options.board, options.vendorId);
  runner_ = std::make_unique<script::ScriptRunner>(std::move(layer.driver), layer.bench,
                                                   static_cast<script::ScriptOutput&>(*this));
  shell::Program& program = runner_->program();
  program.main.link.useVendorId(options.vendorId);
  if (!options.registers.file.empty()) {
    program.useRegisterDescriptions(std::move(options.registers.descriptions), options.registers.file);
  }
  program.main.link.setWaitHost(this);
  showsMessages_ = runner_->onMessageBox.connectScoped(
      [this](const std::string& text, const std::string&) { messages_.push_back(text); });
  keepsSession_ = program.main.onEnding.connectScoped([this] { keepLastSession(); });
  runner_->start();
}

Session::~Session() {
  try {
    close();
  } catch (...) {
    // A program that fails to end still lets its boards go below.
  }
}

void Session::close() {
  if (!runner_) return;
  // Closed whatever happens on the way.
  struct Release {
    Session& s;
    ~Release() {
      s.showsMessages_ = {};
      s.keepsSession_ = {};
      s.runner_.reset();
    }
  } release{*this};
  runner_->end();
}

void Session::keepLastSession() {
  if (lastSessionFile_.empty()) return;
  std::error_code failed;
  std::filesystem::create_directories(config::platform::toPath(lastSessionFile_).parent_path(), failed);
  const text::Outcome saved = failed ? text::Outcome(text::Failure("cannot create its folder: " + failed.message()))
                                     : runner_->program().main.config.saveSession(lastSessionFile_);
  if (!saved.ok()) notKept_ = saved.reason();
}

void Session::line(script::OutputKind kind, std::string_view line) {
  if (kind == script::OutputKind::Error) {
    lastError_ = line;
    return;
  }
  if (kind == script::OutputKind::Event && (line.starts_with("out ") || line.starts_with("in "))) {
    packets_.emplace_back(line);
  }
  if (printed_ != nullptr) printed_->emplace_back(line);
}

void Session::waitForBoard(usb::PendingTransfer& pending, const usb::WaitLabel&) {
  using namespace std::chrono_literals;
  // As long as the layer itself would wait, and a little more for one that
  // misses its own time-out; a Ctrl+C cancels as the window's Esc does.
  while (!pending.ended()) {
    interpreter_.unlocked([&pending] { pending.waitFor(50ms); });
    if (pending.ended()) break;
    if (!interrupted_ && interpreter_.interrupted()) {
      interrupted_ = true;
      pending.cancel();
    } else if (usb::PendingTransfer::Clock::now() > pending.deadline() + 1s) {
      pending.cancel(usb::kTimeout);
    }
  }
}

shell::Program& Session::running() {
  if (!runner_) throw Failed("the session is closed", "");
  shell::Program& program = runner_->program();
  if (program.main.unloaded()) throw Failed("the program has ended", "");
  return program;
}

i2c::RegisterForm& Session::registerForm() { return running().main.i2cWindow.get(); }

void Session::runLine(const std::string& line) {
  lastError_.clear();
  const auto result = runner_->runLine(line, 0);
  if (takeInterrupted()) throw Interrupted{};
  if (result == script::LineRunner::LineResult::Error) throw ScriptFailed(reasonOf(lastError_), 0, {});
}

void Session::act(const std::function<void()>& action, const forms::StatusLabel& status) {
  runner_->lines().userAction(action);
  if (takeInterrupted()) throw Interrupted{};
  if (status.failure() != text::FailureKind::None) throwShown(status);
}

namespace {

// The status lines a click may have changed, as they were before it.
class StatusWatch {
 public:
  explicit StatusWatch(shell::MainForm& main) : main_(main) {
    before_[0] = main.lblStatus.caption();
    if (i2c::RegisterForm* form = main.i2cWindow.existing()) before_[1] = form->lblStatus.caption();
  }
  // Throws when one of them now shows a failure it did not show before.
  void check() const {
    if (main_.unloaded()) return;
    if (changedToFailure(main_.lblStatus, before_[0])) throwShown(main_.lblStatus);
    if (i2c::RegisterForm* form = main_.i2cWindow.existing();
        form != nullptr && changedToFailure(form->lblStatus, before_[1])) {
      throwShown(form->lblStatus);
    }
  }

 private:
  static bool changedToFailure(const forms::StatusLabel& status, const std::string& before) {
    return status.caption() != before && status.failure() != text::FailureKind::None;
  }
  shell::MainForm& main_;
  std::string before_[2];
};

}  // namespace

void Session::set(const std::string& control, const std::string& text) {
  shell::MainForm& main = running().main;
  noLineBreak(text, "the text for " + control);
  if (main.resolve(control) == nullptr) throw UnknownName("unknown control \"" + control + "\"");
  const StatusWatch watch(main);
  runLine("set " + control + " " + text);
  watch.check();
}

void Session::click(const std::string& control) {
  shell::MainForm& main = running().main;
  if (main.resolve(control) == nullptr) throw UnknownName("unknown control \"" + control + "\"");
  const StatusWatch watch(main);
  runLine("click " + control);
  watch.check();
}

std::string Session::text(const std::string& control) {
  shell::MainForm& main = running().main;
  if (control == "Glimmora_i2c") {
    switch (main.i2cWindow.state()) {
      case i2c::RegisterWindow::State::NotLoaded:
        return "not loaded";
      case i2c::RegisterWindow::State::Hidden:
        return "hidden";
      case i2c::RegisterWindow::State::Shown:
        return "shown";
    }
  }
  constexpr std::string_view kNote = ".note";
  const bool note = control.ends_with(kNote);
  const std::string name = note ? control.substr(0, control.size() - kNote.size()) : control;
  const forms::Control* found = main.resolve(name);
  if (found == nullptr) throw UnknownName("unknown control \"" + name + "\"");
  return note ? found->note() : script::shownValue(*found).value;
}

std::vector<std::string> Session::run(const std::string& line) {
  running();
  noLineBreak(line, "the script line");
  std::vector<std::string> printed;
  printed_ = &printed;
  struct Restore {
    Session& s;
    ~Restore() { s.printed_ = nullptr; }
  } restore{*this};
  lastError_.clear();
  const auto result = runner_->runLine(line, 1);
  if (takeInterrupted()) throw Interrupted{};
  if (result == script::LineRunner::LineResult::Error) throw ScriptFailed(lastError_, 1, printed);
  for (const std::string& out : printed) {
    if (out.starts_with("expect failed (line ")) throw ScriptFailed(out, 1, printed);
  }
  return printed;
}

std::vector<std::string> Session::play(const std::string& path) {
  shell::Program& program = running();
  std::ifstream file(config::platform::toPath(path), std::ios::binary);
  if (!file) throw std::invalid_argument("cannot read " + path);
  std::vector<std::string> printed;
  printed_ = &printed;
  runner_->setScriptFolder(script::folderOf(path));
  struct Restore {
    Session& s;
    ~Restore() {
      s.printed_ = nullptr;
      if (s.runner_) s.runner_->setScriptFolder("");
    }
  } restore{*this};

  std::optional<std::pair<int, std::string>> firstExpect;
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    const std::size_t before = printed.size();
    lastError_.clear();
    const auto result = runner_->runLine(line, number);
    if (takeInterrupted()) throw Interrupted{};
    if (result == script::LineRunner::LineResult::Error) throw ScriptFailed(lastError_, number, printed);
    for (std::size_t i = before; i < printed.size() && !firstExpect; ++i) {
      if (printed[i].starts_with("expect failed (line ")) firstExpect.emplace(number, printed[i]);
    }
    if (program.main.unloaded()) break;
  }
  if (firstExpect) throw ScriptFailed(firstExpect->second, firstExpect->first, printed);
  return printed;
}

void Session::wait(int64_t ms) {
  running();
  if (ms < 0 || ms > script::kMaxWaitMs) {
    throw std::invalid_argument("wait " + std::to_string(ms) + " is outside 0.." + std::to_string(script::kMaxWaitMs));
  }
  if (simulated()) {
    runner_->waitFor(static_cast<uint32_t>(ms));  // on the session's own clock: at once
    if (takeInterrupted()) throw Interrupted{};
    return;
  }
  // In earnest, a few tens of milliseconds at a time: the interpreter is free
  // meanwhile, and a Ctrl+C ends the wait.
  constexpr int64_t kStepMs = 50;
  for (int64_t left = ms; left > 0; left -= kStepMs) {
    interpreter_.unlocked([this, step = std::min(left, kStepMs)] { runner_->waitFor(static_cast<uint32_t>(step)); });
    if (takeInterrupted() || interpreter_.interrupted()) throw Interrupted{};
  }
}

std::vector<std::string> Session::log() {
  if (!runner_) throw Failed("the session is closed", "");
  const std::string& all = runner_->program().main.txtLog.text();
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end = all.find(forms::kCrLf); end != std::string::npos; end = all.find(forms::kCrLf, start)) {
    lines.push_back(all.substr(start, end - start));
    start = end + forms::kCrLf.size();
  }
  if (start < all.size()) lines.push_back(all.substr(start));
  return lines;
}

std::string Session::status() {
  if (!runner_) throw Failed("the session is closed", "");
  return runner_->program().main.lblStatus.caption();
}

bool Session::boardHeld() { return running().main.link.deviceConnected(); }

int Session::address() {
  return static_cast<int>(std::min<uint32_t>(text::hexTextValue(registerForm().tbI2Caddr.text()), INT32_MAX));
}

void Session::setAddress(int64_t address) {
  const uint8_t value = checkedByte(address, "address");
  registerForm();
  runLine("set Glimmora_i2c.tbI2Caddr " + text::hexText(value, 2));
}

int Session::read(int64_t reg) {
  const int r = checkedRegister(reg);
  i2c::RegisterForm& form = registerForm();
  forms::CommandButton& button = form.cbReadi2c[r];
  act([&button] { button.click(); }, form.lblStatus);
  return static_cast<int>(text::hexTextValue(form.tbI2Cregread[r].text()));
}

std::vector<int> Session::readAll() {
  i2c::RegisterForm& form = registerForm();
  act([&form] { form.cbReadall.click(); }, form.lblStatus);
  std::vector<int> values;
  values.reserve(kRegisterCount);
  for (int i = 0; i < kRegisterCount; ++i) {
    // A register the Read All did not read has no value to give: its box
    // says why ("not read by the last Read All", no acknowledge, ...).
    if (!form.tbI2Cregread[i].note().empty()) throw Failed(form.lblStatus.caption(), "other");
    values.push_back(static_cast<int>(text::hexTextValue(form.tbI2Cregread[i].text())));
  }
  return values;
}

void Session::write(int64_t reg, int64_t value) {
  const int r = checkedRegister(reg);
  const uint8_t byte = checkedByte(value, "value");
  i2c::RegisterForm& form = registerForm();
  runLine("set Glimmora_i2c.tbI2Creg(" + std::to_string(r) + ") " + text::hexText(byte, 2));
  forms::CommandButton& button = form.cbWritei2c[r];
  act([&button] { button.click(); }, form.lblStatus);
}

void Session::writeAll(const std::optional<std::vector<int64_t>>& values) {
  i2c::RegisterForm& form = registerForm();
  if (values) {
    if (values->size() != static_cast<std::size_t>(kRegisterCount)) {
      throw std::invalid_argument("values: 22 are needed, not " + std::to_string(values->size()));
    }
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < values->size(); ++i)
      bytes.push_back(checkedByte((*values)[i], "values[" + std::to_string(i) + "]"));
    for (int i = 0; i < kRegisterCount; ++i) {
      runLine("set Glimmora_i2c.tbI2Creg(" + std::to_string(i) + ") " +
              text::hexText(bytes[static_cast<std::size_t>(i)], 2));
    }
  }
  act([&form] { form.cbWriteall.click(); }, form.lblStatus);
}

void Session::writeChanged() {
  i2c::RegisterForm& form = registerForm();
  act([&form] { form.cbWritechanged.click(); }, form.lblStatus);
}

std::string Session::decode(int64_t reg) {
  const int r = checkedRegister(reg);
  running();
  std::vector<std::string> printed;
  printed_ = &printed;
  try {
    runLine("decode " + std::to_string(r));
  } catch (...) {
    printed_ = nullptr;
    throw;
  }
  printed_ = nullptr;
  return printed.empty() ? std::string() : printed.back();
}

void Session::writeSettings() {
  shell::MainForm& main = running().main;
  act([&main] { main.timing.cbWritesettings.click(); }, main.lblStatus);
}

void Session::saveConfig(const std::string& path) {
  shell::MainForm& main = running().main;
  noLineBreak(path, "the path");
  if (path.empty()) throw std::invalid_argument("the path is empty");
  runLine("answer " + path);
  act([&main] { main.mFileSaveConfig.click(); }, main.lblStatus);
}

void Session::loadConfig(const std::string& path) {
  shell::MainForm& main = running().main;
  noLineBreak(path, "the path");
  if (path.empty()) throw std::invalid_argument("the path is empty");
  runLine("answer " + path);
  act([&main] { main.mFileLoadConfig.click(); }, main.lblStatus);
}

bool Session::simulated() { return running().bench() != nullptr; }

void Session::board(const std::string& words) {
  running();
  try {
    runLine("board " + words);
  } catch (const ScriptFailed& e) {
    throw std::invalid_argument(e.what());
  }
}

int Session::chipRegister(int64_t reg) {
  const int r = checkedRegister(reg);
  shell::Program& program = running();
  usb::Bench* bench = program.bench();
  if (bench == nullptr) throw Failed("no simulated board on real boards", "");
  const std::vector<int> plugged = bench->pluggedBoards();
  if (plugged.empty()) throw Failed("no board is plugged in", "no board");
  // The board the program holds; else the first one plugged in.
  int board = plugged.front();
  for (int b : plugged) {
    if (bench->handleOf(b) == program.main.link.heldDevice()) board = b;
  }
  return bench->boardState(board).registers[static_cast<std::size_t>(r)];
}

}  // namespace glim::py
