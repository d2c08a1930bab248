#pragma once
#include <functional>
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "forms/clock.h"
#include "forms/signal.h"
#include "forms/ui_host.h"
#include "script/line_runner.h"
#include "script/script_output.h"
#include "shell/program.h"
#include "usb/bench.h"

namespace glim::script {

enum ExitStatus : int { kExitOk = 0, kExitExpectFailed = 1, kExitScriptError = 2 };

// Runs a script against the whole program without a window: the lines play
// the user, and this is the front end that shows message boxes (answered OK
// at once) and answers file dialogs from the script. Events go to `out`, one
// a line; script errors and the end-of-run note to `err`.
class ScriptRunner final : public forms::UiHost {
 public:
  // `bench` is the simulated layer behind `driver`, or null for real boards.
  ScriptRunner(std::unique_ptr<usb::Driver> driver, usb::Bench* bench, std::ostream& out, std::ostream& err);
  // The same, every line going to `output` (it outlives the runner).
  ScriptRunner(std::unique_ptr<usb::Driver> driver, usb::Bench* bench, ScriptOutput& output);
  ~ScriptRunner() override;
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Starts the program, runs every line, ends the program. Returns an
  // ExitStatus. Call once.
  int run(std::istream& script);

  // The same piece by piece, for a front end that plays the user itself:
  // start() once, then lines, then end().
  // The program's first activation (it opens the driver).
  void start();
  // One line, then the time its `wait` asked for.
  LineRunner::LineResult runLine(std::string_view line, int lineNumber);
  // Ends the program as "Quit" does, unless it has ended already.
  void end();
  // Lets `ms` pass, watching registers meanwhile: on the simulated board on
  // this runner's own clock, at once; on real boards in earnest.
  void waitFor(uint32_t ms);
  LineRunner& lines() { return lines_; }
  // Told of every message box, with its text and caption, before its line.
  forms::Signal<std::function<void(const std::string& text, const std::string& caption)>> onMessageBox;
  // Where the script file lies, for relative `answer` paths (see LineRunner).
  void setScriptFolder(std::string folder) { lines_.setScriptFolder(std::move(folder)); }

  void messageBox(const std::string& text, const std::string& caption) override;
  forms::FileChoice fileDialog(forms::FileDialogKind kind, const forms::FileDialogSetup& setup) override;

  shell::Program& program() { return *program_; }

 private:
  void flush() {
    if (out_ != nullptr) out_->flush();
  }

  std::ostream* out_ = nullptr;  // null: lines go to a ScriptOutput of the caller's
  std::optional<StreamOutput> streams_;
  ScriptOutput& output_;
  std::unique_ptr<shell::Program> program_;
  LineRunner lines_;
  // The simulated board's time: it moves only when a script waits.
  forms::ScriptClock scriptClock_;
  bool simulated_;
};

}  // namespace glim::script
