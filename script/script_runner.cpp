#include "script/script_runner.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace glim::script {

ScriptRunner::ScriptRunner(std::unique_ptr<usb::Driver> driver, usb::Bench* bench, std::ostream& out, std::ostream& err)
    : out_(&out),
      streams_(std::in_place, out, err),
      output_(*streams_),
      program_(std::make_unique<shell::Program>(usb::DriverAndBench{std::move(driver), bench}, *this)),
      lines_(*program_, output_),
      simulated_(bench != nullptr) {
  if (simulated_) program_->main.watch.useClock(scriptClock_);
}

ScriptRunner::ScriptRunner(std::unique_ptr<usb::Driver> driver, usb::Bench* bench, ScriptOutput& output)
    : output_(output),
      program_(std::make_unique<shell::Program>(usb::DriverAndBench{std::move(driver), bench}, *this)),
      lines_(*program_, output_),
      simulated_(bench != nullptr) {
  if (simulated_) program_->main.watch.useClock(scriptClock_);
}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::messageBox(const std::string& text, const std::string& caption) {
  onMessageBox.notify(text, caption);
  lines_.messageBoxShown(text, caption);
}

forms::FileChoice ScriptRunner::fileDialog(forms::FileDialogKind kind, const forms::FileDialogSetup& setup) {
  // A dialog with no answer waiting is cancelled.
  return lines_.fileDialogShown(kind, setup).value_or(forms::FileChoice::cancelled());
}

void ScriptRunner::waitFor(uint32_t ms) {
  i2c::RegisterWatch& watch = program_->main.watch;
  forms::Dispatcher& dispatcher = program_->dispatcher;
  if (simulated_) {
    // From one thing due to the next, as the window's timer would go.
    const int64_t end = scriptClock_.nowMs() + ms;
    for (std::optional<int64_t> due = watch.nextDue(); due && *due <= end; due = watch.nextDue()) {
      scriptClock_.advanceTo(*due);
      watch.poll();
      dispatcher.drain();
      // Nothing can be due again at the same moment: a round moves its next
      // one on by the interval, and a mark goes when it is due.
      if (const std::optional<int64_t> again = watch.nextDue(); again && *again <= *due) break;
    }
    scriptClock_.advanceTo(end);
    return;
  }
  const forms::Clock& clock = watch.clock();
  const int64_t end = clock.nowMs() + ms;
  // Boards come and go meanwhile: their news is taken in every few
  // milliseconds.
  constexpr int64_t kStepMs = 10;
  for (int64_t now = clock.nowMs(); now < end; now = clock.nowMs()) {
    dispatcher.drain();
    watch.poll();
    const std::optional<int64_t> due = watch.nextDue();
    const int64_t until = std::min({end, now + kStepMs, due ? std::max(*due, now) : end});
    std::this_thread::sleep_for(std::chrono::milliseconds(until - now));
  }
  dispatcher.drain();
}

void ScriptRunner::start() {
  shell::MainForm& main = program_->main;
  lines_.userAction([&main] { main.Form_Activate(); });
}

LineRunner::LineResult ScriptRunner::runLine(std::string_view line, int lineNumber) {
  const LineRunner::LineResult outcome = lines_.runLine(line, lineNumber);
  if (const std::optional<uint32_t> ms = lines_.takeWait()) waitFor(*ms);
  return outcome;
}

void ScriptRunner::end() {
  shell::MainForm& main = program_->main;
  if (!main.unloaded()) lines_.userAction([&main] { main.cbQuit_Click(); });
}

int ScriptRunner::run(std::istream& script) {
  shell::MainForm& main = program_->main;
  start();

  int status = kExitOk;
  int lineNumber = 0;
  int endedAt = 0;
  int notRun = 0;
  std::string line;
  while (std::getline(script, line)) {
    ++lineNumber;
    if (endedAt != 0) {
      if (parseLine(line).kind != ParsedLine::Kind::Skip) ++notRun;
      continue;
    }
    const LineRunner::LineResult outcome = runLine(line, lineNumber);
    flush();
    if (outcome == LineRunner::LineResult::Error) {
      status = kExitScriptError;
      break;
    }
    if (main.unloaded()) endedAt = lineNumber;
  }

  if (endedAt != 0) {
    output_.line(OutputKind::Error, "glimmora-cli: the program ended at line " + std::to_string(endedAt) + "; " +
                                        std::to_string(notRun) + (notRun == 1 ? " line" : " lines") + " not run");
  } else {
    end();
  }
  flush();
  if (status == kExitOk && lines_.expectFailed()) status = kExitExpectFailed;
  return status;
}

}  // namespace glim::script
