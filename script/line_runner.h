#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "forms/signal.h"
#include "forms/ui_host.h"
#include "script/script_line.h"
#include "script/script_output.h"
#include "shell/program.h"
#include "text/outcome.h"
#include "usb/board_link.h"

namespace glim::script {

// Runs script lines on a running program: it plays the user (and, on the
// simulated layer, the person plugging boards). Both front ends use it: the
// headless runner, and the window, where each change shows on the controls.
// While it exists it reports every packet that moved to `output`.
class LineRunner {
 public:
  // What became of one line (a script error is printed by runLine).
  enum class LineResult { Skipped, Ran, Error };

  // `board` lines reach the program's bench; with none (real boards) they are
  // script errors.
  LineRunner(shell::Program& program, ScriptOutput& output);
  LineRunner(const LineRunner&) = delete;
  LineRunner& operator=(const LineRunner&) = delete;

  // One line of a script (without its line feed). A script error is reported
  // as `error (line N): WHAT`. Boards plugged or pulled by the line reach the
  // program before this returns, never inside the line.
  LineResult runLine(std::string_view line, int lineNumber);

  // The front end's dialogs report here while a script runs. A file dialog
  // takes the answer waiting for it (a path, or Cancel); nothing when the
  // script gave none.
  void messageBoxShown(const std::string& text, const std::string& caption);
  std::optional<forms::FileChoice> fileDialogShown(forms::FileDialogKind kind, const forms::FileDialogSetup& setup);

  // The folder of the script file, ending in its separator ("" for a script
  // read from standard input, or one named without a folder): a relative
  // `answer` is taken from there.
  void setScriptFolder(std::string folder) { scriptFolder_ = std::move(folder); }

  // Runs `action` as a handler the user started, then what it posted.
  void userAction(const std::function<void()>& action);

  // The time a `wait` line asked for, once: the front end lets it pass
  // before the next line (watching goes on meanwhile).
  std::optional<uint32_t> takeWait() { return std::exchange(wait_, std::nullopt); }

  // Some `expect` did not hold.
  bool expectFailed() const { return expectFailed_; }
  shell::Program& program() { return program_; }

 private:
  // Done when the command ran; otherwise failed with the script error.
  text::Outcome execute(const Command& command, int lineNumber);
  text::Outcome controlVerb(const Command& command, int lineNumber);
  // The verbs of controlVerb: a window's close box; `print` and `expect`;
  // `set` and `type`; `click`.
  void closeWindow(const std::string& name);
  text::Outcome report(const Command& command, int lineNumber);
  text::Outcome enter(const Command& command, forms::Control& control);
  text::Outcome click(const std::string& name, forms::Control& control);
  text::Outcome boardVerb(const BoardCommand& board);
  // What `decode` prints of register `reg`'s last read value.
  std::string decoded(int reg);
  void printTransfer(const usb::TransferRecord& record);

  shell::Program& program_;
  ScriptOutput& output_;
  forms::Connection printsTransfers_;
  // For the next file dialog, once the script gave it.
  std::optional<forms::FileChoice> answer_;
  bool expectFailed_ = false;
  std::optional<uint32_t> wait_;
  std::string scriptFolder_;
};

// "dir/" from "dir/s.gls", "" from "s.gls": the folder part of a script's name,
// with its separator.
std::string folderOf(std::string_view scriptPath);

}  // namespace glim::script
