#include "script/script_runner.h"

namespace glim::script {

ScriptRunner::ScriptRunner(std::unique_ptr<usb::Driver> driver, usb::Bench* bench, std::ostream& out, std::ostream& err)
    : out_(out),
      err_(err),
      output_(out, err),
      program_(std::make_unique<shell::Program>(usb::DriverAndBench{std::move(driver), bench}, *this)),
      lines_(*program_, output_) {}

ScriptRunner::~ScriptRunner() = default;

void ScriptRunner::messageBox(const std::string& text, const std::string& caption) {
  lines_.messageBoxShown(text, caption);
}

forms::FileChoice ScriptRunner::fileDialog(forms::FileDialogKind kind, const forms::FileDialogSetup& setup) {
  // A dialog with no answer waiting is cancelled.
  return lines_.fileDialogShown(kind, setup).value_or(forms::FileChoice::cancelled());
}

int ScriptRunner::run(std::istream& script) {
  shell::MainForm& main = program_->main;
  lines_.userAction([&main] { main.Form_Activate(); });

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
    const LineRunner::LineResult outcome = lines_.runLine(line, lineNumber);
    out_.flush();
    if (outcome == LineRunner::LineResult::Error) {
      status = kExitScriptError;
      break;
    }
    if (main.unloaded()) endedAt = lineNumber;
  }

  if (endedAt != 0) {
    err_ << "glimmora-cli: the program ended at line " << endedAt << "; " << notRun
         << (notRun == 1 ? " line" : " lines") << " not run\n";
  } else {
    lines_.userAction([&main] { main.cbQuit_Click(); });
  }
  out_.flush();
  if (status == kExitOk && lines_.expectFailed()) status = kExitExpectFailed;
  return status;
}

}  // namespace glim::script
