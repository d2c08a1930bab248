#include "script/session_state.h"

#include <memory>

#include "script/line_runner.h"
#include "script/python_test.h"
#include "script/script_recorder.h"
#include "shell/program.h"
#include "usb/empty_driver.h"

namespace glim::script {
namespace {

class QuietUi final : public forms::UiHost {
 public:
  void messageBox(const std::string&, const std::string&) override {}
  forms::FileChoice fileDialog(forms::FileDialogKind, const forms::FileDialogSetup&) override {
    return forms::FileChoice::cancelled();
  }
};

class NoOutput final : public ScriptOutput {
 public:
  void line(OutputKind, std::string_view) override {}
};

// A program as a replay starts it, on which the chosen lines are tried.
class FreshProgram {
 public:
  FreshProgram() : program_(std::make_unique<usb::EmptyDriver>(), ui_), runner_(program_, out_) {
    runner_.userAction([this] { program_.main.Form_Activate(); });
  }
  shell::MainForm& main() { return program_.main; }
  void run(const std::string& line) { runner_.runLine(line, 0); }

 private:
  QuietUi ui_;
  shell::Program program_;
  NoOutput out_;
  LineRunner runner_;
};

bool isCell(const forms::Control& c) { return c.name() == "tbCPLDdata"; }

bool editable(const forms::Control& c) {
  if (!c.enabled()) return false;
  if (c.kind() != forms::ControlKind::TextBox) return true;
  const auto& box = static_cast<const forms::TextBox&>(c);
  return !box.locked && !box.multiLine;
}

// Adds the lines that take `fresh`'s controls of one kind to `live`'s.
class Matcher {
 public:
  Matcher(FreshProgram& fresh, std::vector<std::string>& lines) : fresh_(fresh), lines_(lines) {}

  // `prefix` names the window ("" for the main one, "Glimmora_i2c." for the
  // register window); `pick` chooses the controls of this step.
  template <typename Pick>
  void match(const forms::Form& live, forms::Form& fresh, const std::string& prefix, Pick pick) {
    for (forms::Control* control : live.controls()) {
      if (!editable(*control) || !pick(*control)) continue;
      forms::Control* other = fresh.find(control->qualifiedName());
      if (other == nullptr || other->kind() != control->kind()) continue;
      const std::string name = prefix + control->qualifiedName();
      switch (control->kind()) {
        case forms::ControlKind::TextBox:
          text(name, static_cast<forms::TextBox&>(*control), static_cast<forms::TextBox&>(*other));
          break;
        case forms::ControlKind::CheckBox:
          check(name, static_cast<forms::CheckBox&>(*control), static_cast<forms::CheckBox&>(*other));
          break;
        case forms::ControlKind::OptionButton:
          if (static_cast<forms::OptionButton&>(*control).value() &&
              !static_cast<forms::OptionButton&>(*other).value()) {
            add("select " + name);
          }
          break;
        default:
          break;
      }
    }
  }

  void add(std::string line) {
    fresh_.run(line);
    lines_.push_back(std::move(line));
  }

 private:
  void text(const std::string& name, const forms::TextBox& live, const forms::TextBox& fresh) {
    if (live.text() == fresh.text()) return;
    std::string line = textChangeLine(name, fresh.text(), live.text());
    if (line.starts_with('#')) {
      // No line can give it this text; say so once.
      if (!said(line)) lines_.push_back(std::move(line));
      return;
    }
    add(std::move(line));
  }

  void check(const std::string& name, const forms::CheckBox& live, const forms::CheckBox& fresh) {
    if (live.value() == fresh.value()) return;
    // Its state, not a click: a click toggles, and the box may already be
    // checked where the recording is played.
    add("set " + name + ' ' + std::to_string(live.value()));
  }

  bool said(const std::string& line) const {
    for (const std::string& l : lines_) {
      if (l == line) return true;
    }
    return false;
  }

  FreshProgram& fresh_;
  std::vector<std::string>& lines_;
};

}  // namespace

std::vector<std::string> stateLines(shell::MainForm& main) {
  FreshProgram fresh;
  std::vector<std::string> lines;
  Matcher matcher(fresh, lines);
  // Desired fields write cells, check boxes write the enable cell: the cells
  // come after them. A pass that has to add nothing ends it; a handler that
  // undid an earlier line is caught by the next pass.
  constexpr int kPasses = 4;
  for (int pass = 0; pass < kPasses; ++pass) {
    const std::size_t before = lines.size();
    forms::Form& freshMain = fresh.main().form;
    const auto notCell = [](const forms::Control& c) { return !isCell(c); };
    const auto kindIs = [](forms::ControlKind k) { return [k](const forms::Control& c) { return c.kind() == k; }; };
    matcher.match(main.form, freshMain, "",
                  [&](const forms::Control& c) { return notCell(c) && kindIs(forms::ControlKind::TextBox)(c); });
    matcher.match(main.form, freshMain, "", kindIs(forms::ControlKind::CheckBox));
    matcher.match(main.form, freshMain, "", kindIs(forms::ControlKind::OptionButton));
    matcher.match(main.form, freshMain, "", [](const forms::Control& c) { return isCell(c); });

    if (const i2c::RegisterForm* registers = main.i2cWindow.existing()) {
      const bool shown = main.i2cWindow.state() == i2c::RegisterWindow::State::Shown;
      if (shown && fresh.main().i2cWindow.state() != i2c::RegisterWindow::State::Shown) {
        matcher.add("click cbShowi2c");
      }
      forms::Form& freshRegisters = fresh.main().i2cWindow.get().form;
      matcher.match(registers->form, freshRegisters, "Glimmora_i2c.", [](const forms::Control&) { return true; });
    }
    if (lines.size() == before) break;
  }
  return lines;
}

ScriptRecorder::Setup recordingSetup(shell::Program& program) {
  ScriptRecorder::Setup setup;
  if (usb::Bench* bench = program.bench()) {
    setup.simulated = true;
    const usb::DeviceHandle held = program.main.link.heldDevice();
    for (const int board : bench->pluggedBoards()) {
      if (held == 0 || bench->handleOf(board) != held) {
        setup.boards.push_back(board);
        continue;
      }
      setup.boards.insert(setup.boards.begin(), board);
      const usb::BoardState state = bench->boardState(board);
      for (int r = 0; r < usb::protocol::kRegisterCount; ++r) {
        const auto at = static_cast<std::size_t>(r);
        if (state.registers[at] != usb::protocol::kPowerOnRegisters[at]) {
          setup.registers.emplace_back(r, state.registers[at]);
        }
      }
    }
    setup.faults = bench->faults();
  }
  setup.state = stateLines(program.main);
  setup.shownAtStart = shownControls(program.main);
  setup.shownNow = [&program] { return shownControls(program.main); };
  return setup;
}

}  // namespace glim::script
