#pragma once
#include <istream>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "script/script_line.h"
#include "forms/ui_host.h"
#include "shell/program.h"
#include "usb/board_link.h"
#include "usb/sim/sim_driver.h"

namespace glim::script {

enum ExitStatus : int { kExitOk = 0, kExitExpectFailed = 1, kExitScriptError = 2 };

// Runs a script against the whole program: it plays the user (and, on the
// simulated layer, the person plugging boards), and it is the front end that
// shows message boxes and answers file dialogs. Events go to `out`, one a
// line; script errors and the end-of-run note to `err`.
class ScriptRunner final : public forms::UiHost {
 public:
  // `sim` is the simulated layer behind `driver`, or null for real boards.
  ScriptRunner(std::unique_ptr<usb::Driver> driver, usb::sim::SimDriver* sim, std::ostream& out, std::ostream& err);
  ~ScriptRunner() override;
  ScriptRunner(const ScriptRunner&) = delete;
  ScriptRunner& operator=(const ScriptRunner&) = delete;

  // Starts the program, runs every line, ends the program. Returns an
  // ExitStatus. Call once.
  int run(std::istream& script);

  void messageBox(const std::string& text, const std::string& caption) override;
  std::optional<std::string> fileDialog(forms::FileDialogKind kind, const forms::FileDialogSetup& setup) override;

  shell::Program& program() { return *program_; }

 private:
  // An empty result when the command ran; otherwise the script error.
  std::string execute(const Command& command, int lineNumber);
  std::string controlVerb(const Command& command, int lineNumber);
  std::string boardVerb(const BoardCommand& board);
  void userAction(const std::function<void()>& action);
  void printTransfer(const usb::TransferRecord& record);

  std::ostream& out_;
  std::ostream& err_;
  usb::sim::SimDriver* sim_;
  std::unique_ptr<shell::Program> program_;
  std::optional<std::string> answer_;  // for the next file dialog; nothing = cancel
  bool expectFailed_ = false;
};

}  // namespace glim::script
