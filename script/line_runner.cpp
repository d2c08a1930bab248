#include "script/line_runner.h"

#include <algorithm>

#include "config/platform_file.h"
#include "script/control_actions.h"
#include "script/escape.h"
#include "text/hex_text.h"

namespace glim::script {

namespace {

const char* kindName(forms::ControlKind kind) {
  switch (kind) {
    case forms::ControlKind::TextBox:
      return "a text box";
    case forms::ControlKind::CheckBox:
      return "a check box";
    case forms::ControlKind::OptionButton:
      return "an option button";
    case forms::ControlKind::CommandButton:
      return "a command button";
    case forms::ControlKind::MenuItem:
      return "a menu item";
    case forms::ControlKind::Label:
      return "a label";
    case forms::ControlKind::Frame:
      return "a frame";
  }
  return "a control";
}

const char* windowState(i2c::RegisterWindow::State state) {
  switch (state) {
    case i2c::RegisterWindow::State::NotLoaded:
      return "not loaded";
    case i2c::RegisterWindow::State::Hidden:
      return "hidden";
    case i2c::RegisterWindow::State::Shown:
      return "shown";
  }
  return "not loaded";
}

std::string verbName(Verb verb) {
  switch (verb) {
    case Verb::Set:
      return "set";
    case Verb::Type:
      return "type";
    case Verb::Click:
      return "click";
    case Verb::Select:
      return "select";
    case Verb::Close:
      return "close";
    case Verb::Activate:
      return "activate";
    case Verb::Print:
      return "print";
    case Verb::Expect:
      return "expect";
    case Verb::Answer:
      return "answer";
    case Verb::Board:
      return "board";
    case Verb::Decode:
      return "decode";
    case Verb::Wait:
      return "wait";
  }
  return "?";
}

}  // namespace

std::string folderOf(std::string_view scriptPath) {
  // All but the file's own name, as the system splits the path (on Windows
  // "\\" and "C:" end a folder too); the name's length is counted in UTF-8.
  const std::size_t name = config::platform::toPath(std::string(scriptPath)).filename().u8string().size();
  return std::string(scriptPath.substr(0, scriptPath.size() - std::min(name, scriptPath.size())));
}

LineRunner::LineRunner(shell::Program& program, ScriptOutput& output)
    : program_(program),
      output_(output),
      printsTransfers_(program.main.link.onTransfer.connectScoped(
          [this](const usb::TransferRecord& record) { printTransfer(record); })) {}

void LineRunner::messageBoxShown(const std::string& text, const std::string& caption) {
  std::string line = "msgbox \"" + escapeText(text) + '"';
  if (!caption.empty()) line += " \"" + escapeText(caption) + '"';
  output_.line(OutputKind::Event, line);
}

std::optional<forms::FileChoice> LineRunner::fileDialogShown(forms::FileDialogKind kind,
                                                             const forms::FileDialogSetup& setup) {
  output_.line(OutputKind::Event, kind == forms::FileDialogKind::Open ? "dialog open" : "dialog save");
  // An answer serves one dialog only; it is typed into the dialog, which adds
  // its default extension as the window's dialog does.
  std::optional<forms::FileChoice> answer = std::move(answer_);
  answer_.reset();
  if (!answer || answer->isCancelled()) return answer;
  std::string path = answer->path();
  // A recording keeps the answers in its own folder relative to it, so that a
  // replay from elsewhere reads and writes beside the script it plays.
  if (!scriptFolder_.empty() && !config::platform::toPath(path).has_root_path()) path = scriptFolder_ + path;
  return forms::FileChoice::chosen(forms::withDefaultExtension(std::move(path), setup.defaultExt));
}

void LineRunner::printTransfer(const usb::TransferRecord& record) {
  const bool write = record.direction == usb::kWrite;
  // A write shows once the board has it; a read shows whatever arrived, if
  // anything did. A failed transfer is in the log already.
  if (write ? record.status != usb::kSuccess : record.bytes.empty()) return;
  std::string line = write ? "out " : "in ";
  line += std::to_string(record.pipe);
  line += ':';
  if (!record.bytes.empty()) line += ' ' + text::hexBytes(record.bytes);
  output_.line(OutputKind::Event, line);
}

void LineRunner::userAction(const std::function<void()>& action) {
  program_.dispatcher.runHandler(action);
  program_.dispatcher.drain();
}

LineRunner::LineResult LineRunner::runLine(std::string_view line, int lineNumber) {
  const ParsedLine parsed = parseLine(line);
  if (parsed.kind == ParsedLine::Kind::Skip) return LineResult::Skipped;
  const text::Outcome outcome = parsed.kind == ParsedLine::Kind::Error ? text::Outcome(text::Failure(parsed.error))
                                                                       : execute(parsed.command, lineNumber);
  // Boards plugged or unplugged by this line reach the program now, between
  // lines, never inside one.
  program_.dispatcher.drain();
  if (outcome.ok()) return LineResult::Ran;
  output_.line(OutputKind::Error, "error (line " + std::to_string(lineNumber) + "): " + outcome.reason());
  return LineResult::Error;
}

text::Outcome LineRunner::execute(const Command& command, int lineNumber) {
  switch (command.verb) {
    case Verb::Answer:
      answer_ = command.answer ? forms::FileChoice::chosen(*command.answer) : forms::FileChoice::cancelled();
      return {};
    case Verb::Board:
      return boardVerb(command.board);
    case Verb::Decode:
      output_.line(OutputKind::Report, decoded(command.reg));
      return {};
    case Verb::Activate:
      userAction([this] { program_.main.Form_Activate(); });
      return {};
    case Verb::Wait:
      wait_ = command.waitMs;
      return {};
    default:
      break;
  }
  text::Outcome outcome;
  userAction([&] { outcome = controlVerb(command, lineNumber); });
  return outcome;
}

text::Outcome LineRunner::controlVerb(const Command& command, int lineNumber) {
  const std::string& name = command.target;
  if (command.verb == Verb::Close) {
    closeWindow(name);
    return {};
  }
  if (command.verb == Verb::Print || command.verb == Verb::Expect) return report(command, lineNumber);
  // The user's own actions: only on controls a user could reach.
  forms::Control* control = program_.main.resolve(name);
  if (control == nullptr) return text::Failure("unknown control \"" + name + "\"");
  if (!control->enabled()) return text::Failure(name + " is disabled");
  switch (command.verb) {
    case Verb::Set:
    case Verb::Type:
      return enter(command, *control);
    case Verb::Select:
      if (control->kind() != forms::ControlKind::OptionButton) {
        return text::Failure("select needs an option button; " + name + " is " + kindName(control->kind()));
      }
      static_cast<forms::OptionButton&>(*control).restoreSelected();
      return {};
    default:
      return click(name, *control);
  }
}

void LineRunner::closeWindow(const std::string& name) {
  shell::MainForm& main = program_.main;
  if (name == "Glimmora_interface") {
    main.closeBox();
  } else if (i2c::RegisterForm* form = main.i2cWindow.existing()) {
    // The window's close box does what its "Close" button does.
    form->cbClose_Click();
  }
}

text::Outcome LineRunner::report(const Command& command, int lineNumber) {
  shell::MainForm& main = program_.main;
  const std::string& name = command.target;
  ShownValue shown;
  if (name == "Glimmora_i2c") {
    // Asking for the window's state must not create it.
    shown = {windowState(main.i2cWindow.state()), false};
  } else if (constexpr std::string_view kNote = ".note"; name.ends_with(kNote)) {
    // What the control's mark says (a text read as another value, a box not
    // read yet): the tooltip a marked box shows, empty when unmarked.
    const std::string base = name.substr(0, name.size() - kNote.size());
    const forms::Control* control = main.resolve(base);
    if (control == nullptr) return text::Failure("unknown control \"" + base + "\"");
    shown = {control->note(), true};
  } else {
    const forms::Control* control = main.resolve(name);
    if (control == nullptr) return text::Failure("unknown control \"" + name + "\"");
    shown = shownValue(*control);
  }
  if (command.verb == Verb::Print) {
    output_.line(OutputKind::Report, printLine(name, shown));
  } else if (shown.value != command.text) {
    output_.line(OutputKind::Report, "expect failed (line " + std::to_string(lineNumber) + "): " + name +
                                         ": expected \"" + escapeText(command.text) + "\", got \"" +
                                         escapeText(shown.value) + '"');
    expectFailed_ = true;
  }
  return {};
}

text::Outcome LineRunner::enter(const Command& command, forms::Control& control) {
  const std::string& name = command.target;
  const forms::ControlKind kind = control.kind();
  if (command.verb == Verb::Set && kind == forms::ControlKind::CheckBox) {
    // The box's state, whatever it was: its click runs only when that
    // changes it, so the line means the same in any program.
    const std::string& value = command.text;
    if (value != "0" && value != "1" && value != "2") {
      return text::Failure("set " + name + " needs 0, 1 or 2 for a check box, not \"" + value + '"');
    }
    static_cast<forms::CheckBox&>(control).setValue(value[0] - '0');
    return {};
  }
  if (kind != forms::ControlKind::TextBox) {
    return text::Failure(verbName(command.verb) +
                         (command.verb == Verb::Set ? " needs a text box or a check box; " : " needs a text box; ") +
                         name + " is " + kindName(kind));
  }
  auto& box = static_cast<forms::TextBox&>(control);
  if (box.locked) return text::Failure(name + " is read-only");
  if (command.verb == Verb::Set) {
    box.setText(command.text);
  } else {
    typeInto(box, command.text);
  }
  return {};
}

text::Outcome LineRunner::click(const std::string& name, forms::Control& control) {
  switch (control.kind()) {
    case forms::ControlKind::CommandButton:
    case forms::ControlKind::MenuItem:
      static_cast<forms::CommandButton&>(control).click();
      return {};
    case forms::ControlKind::CheckBox:
      static_cast<forms::CheckBox&>(control).userClick();
      return {};
    case forms::ControlKind::OptionButton:
      static_cast<forms::OptionButton&>(control).userClick();
      return {};
    default:
      return text::Failure("click needs a button, menu item, check box or option button; " + name + " is " +
                           kindName(control.kind()));
  }
}

std::string LineRunner::decoded(int reg) {
  const i2c::RegisterDescriptions& descriptions = program_.registerDescriptions();
  const i2c::I2cOperations::LastRead read = program_.main.i2c.lastRead(reg);
  if (!read.made) return descriptions.heading(reg) + " not read yet";
  if (!read.value) return descriptions.heading(reg) + " not read: the last read brought no value";
  return descriptions.decodeLine(reg, *read.value);
}

text::Outcome LineRunner::boardVerb(const BoardCommand& board) {
  usb::Bench* bench = program_.bench();
  if (bench == nullptr) return text::Failure("board commands need the simulated board (--board sim)");
  usb::Faults faults = bench->faults();
  switch (board.action) {
    case BoardAction::Attach:
      bench->plug();
      return {};
    case BoardAction::Plugged:
      // A state, not an action: a program that has the boards already (a
      // recording played into a running window) gets none more.
      while (bench->pluggedBoards().size() < board.count) bench->plug();
      return {};
    case BoardAction::Detach:
      if (!bench->unplug(board.board)) {
        return text::Failure("board " + std::to_string(board.board) + " is not plugged in");
      }
      return {};
    case BoardAction::Ok:
      bench->clearFaults();
      return {};
    case BoardAction::Reg:
      bench->setChipRegister(board.reg, board.value);
      return {};
    case BoardAction::FailDeviceInfo:
      faults.deviceInfoRefused = true;
      break;
    case BoardAction::FailTransfer:
      faults.refusedPipes.insert(board.pipe);
      break;
    case BoardAction::Timeout:
      faults.timeoutPipes.insert(board.pipe);
      break;
    case BoardAction::NoPipes:
      faults.noPipes = true;
      break;
    case BoardAction::Short:
      faults.shortPipes[board.pipe] = board.count;
      break;
    case BoardAction::Hang:
      faults.hangPipes[board.pipe] = board.count;
      break;
    case BoardAction::Ignore:
      faults.ignoredRegisters.insert(board.reg);
      break;
  }
  bench->setFaults(faults);
  return {};
}

}  // namespace glim::script
