#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "forms/signal.h"
#include "forms/ui_host.h"
#include "script/script_line.h"
#include "script/script_output.h"
#include "shell/program.h"
#include "usb/board_link.h"

namespace glim::script {

// Runs script lines on a running program: it plays the user (and, on the
// simulated layer, the person plugging boards). Both front ends use it: the
// headless runner, and the window, where each change shows on the controls.
// While it exists it reports every packet that moved to `output`.
class LineRunner {
 public:
  enum class Outcome { Skipped, Ran, Error };

  // `board` lines reach the program's bench; with none (real boards) they are
  // script errors.
  LineRunner(shell::Program& program, ScriptOutput& output);
  LineRunner(const LineRunner&) = delete;
  LineRunner& operator=(const LineRunner&) = delete;

  // One line of a script (without its line feed). A script error is reported
  // as `error (line N): WHAT`. Boards plugged or pulled by the line reach the
  // program before this returns, never inside the line.
  Outcome runLine(std::string_view line, int lineNumber);

  // The front end's dialogs report here while a script runs. A file dialog
  // takes the answer waiting for it: a path, or nothing for cancel; no answer
  // at all when the script gave none.
  void messageBoxShown(const std::string& text, const std::string& caption);
  std::optional<std::optional<std::string>> fileDialogShown(forms::FileDialogKind kind,
                                                             const forms::FileDialogSetup& setup);

  // The folder of the script file, ending in its separator ("" for a script
  // read from standard input, or one named without a folder): a relative
  // `answer` is taken from there.
  void setScriptFolder(std::string folder) { scriptFolder_ = std::move(folder); }

  // Runs `action` as a handler the user started, then what it posted.
  void userAction(const std::function<void()>& action);

  // Some `expect` did not hold.
  bool expectFailed() const { return expectFailed_; }
  shell::Program& program() { return program_; }

 private:
  // An empty result when the command ran; otherwise the script error.
  std::string execute(const Command& command, int lineNumber);
  std::string controlVerb(const Command& command, int lineNumber);
  std::string boardVerb(const BoardCommand& board);
  void printTransfer(const usb::TransferRecord& record);

  shell::Program& program_;
  ScriptOutput& output_;
  forms::Connection printsTransfers_;
  // For the next file dialog: a path, or nothing for cancel.
  std::optional<std::optional<std::string>> answer_;
  bool expectFailed_ = false;
  std::string scriptFolder_;
};

// "dir/" from "dir/s.gls", "" from "s.gls": the folder part of a script's name,
// with its separator.
std::string folderOf(std::string_view scriptPath);

}  // namespace glim::script
