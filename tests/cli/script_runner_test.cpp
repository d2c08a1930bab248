#include "script/script_runner.h"

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "forms/signal.h"
#include "script/line_runner.h"
#include "script/script_output.h"
#include "usb/empty_driver.h"
#include "usb/sim/sim_driver.h"

namespace glim::script {
namespace {

// A runner on the simulated layer with its output caught; the test may reach
// into the program before running the script.
struct Harness {
  Harness() {
    auto driver = std::make_unique<usb::sim::SimDriver>();
    sim = driver.get();
    runner = std::make_unique<ScriptRunner>(std::move(driver), sim, out, err);
  }
  int run(const std::string& script) {
    std::istringstream in(script);
    return runner->run(in);
  }
  shell::MainForm& main() { return runner->program().main; }

  std::ostringstream out;
  std::ostringstream err;
  usb::sim::SimDriver* sim = nullptr;
  std::unique_ptr<ScriptRunner> runner;
};

// Relative names in a script are taken from its folder: the path up to the
// file's name, with the separator.
TEST(FolderOf, IsThePathUpToTheScriptsName) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"dir/s.gls", "dir/"},    {"s.gls", ""},       {"/a/b/c.gls", "/a/b/"},     {"dir/", "dir/"}, {"", ""},
      {"a/\xC3\xBC.gls", "a/"}, {"./s", "./"},
#ifdef _WIN32
      {"C:s.gls", "C:"},        {"a\\b.gls", "a\\"}, {"C:\\x\\y.gls", "C:\\x\\"},
#endif
  };
  for (const auto& [path, folder] : cases) EXPECT_EQ(folderOf(path), folder) << path;
}

TEST(ScriptRunner, StartsWithTheDriverOpenAndEndsAsQuitDoes) {
  Harness h;
  EXPECT_EQ(h.run("print txtLog\n"), kExitOk);
  EXPECT_EQ(h.out.str(), "txtLog = \"Please verify that the device is attached...\\r\\n\\r\\n\"\n");
  EXPECT_EQ(h.err.str(), "");
  EXPECT_TRUE(h.main().unloaded());
}

TEST(ScriptRunner, ScriptErrorsStopTheRunWithTheirLineNumber) {
  struct Case {
    const char* script;
    const char* error;  // start of the message after "error (line 3): "
  };
  const Case cases[] = {
      {"jump txtLog", "unknown verb \"jump\""},
      {"set tbNothing 1", "unknown control \"tbNothing\""},
      {"print Glimmora_i2c.tbNothing", "unknown control \"Glimmora_i2c.tbNothing\""},
      {"set Glimmora_i2c 1", "unknown control \"Glimmora_i2c\""},
      {"set cbQuit 1", "set needs a text box or a check box; cbQuit is a command button"},
      {"set cbCtrl(0) on", "set cbCtrl(0) needs 0, 1 or 2 for a check box, not \"on\""},
      {"type cbCtrl(0) 1", "type needs a text box; cbCtrl(0) is a check box"},
      {"click txtLog", "click needs a button, menu item, check box or option button; txtLog is a text box"},
      {"click lblLog", "click needs a button, menu item, check box or option button; lblLog is a label"},
      {"set tbSTVpw 1", "tbSTVpw is read-only"},
      {"board detach 1", "board 1 is not plugged in"},
      {"board reg 22 00", "board reg needs"},
  };
  for (const auto& c : cases) {
    Harness h;
    const std::string script = "print cbQuit\n# comment\n" + std::string(c.script) + "\nprint cbQuit\n";
    EXPECT_EQ(h.run(script), kExitScriptError) << c.script;
    EXPECT_EQ(h.out.str(), "cbQuit = \"Quit\"\n") << c.script << ": nothing after the error runs";
    EXPECT_EQ(h.err.str().rfind("error (line 3): " + std::string(c.error), 0), 0u) << h.err.str();
    EXPECT_TRUE(h.main().unloaded()) << c.script;
  }
}

// The lines a recording starts with say states: played twice, or into a
// program that is there already, they end where they would once.
TEST(ScriptRunner, StateLinesMeanTheSameInAnyProgram) {
  struct Case {
    const char* script;
    std::size_t boards;
    const char* prints;
  };
  const Case cases[] = {
      {"board plugged 2\nboard plugged 2\n", 2, ""},
      {"board attach\nboard plugged 1\nboard plugged 0\n", 1, ""},
      {"board attach\nboard attach\nboard attach\nboard plugged 2\n", 3, ""},  // none pulled out
      {"board plugged 1\nboard detach 1\nboard plugged 1\n", 1, ""},
      {"set cbCtrl(0) 1\nset cbCtrl(0) 1\nprint cbCtrl(0)\n", 0, "cbCtrl(0) = 1\n"},
      {"set cbCtrl(0) 1\nset cbCtrl(0) 0\nprint cbCtrl(0)\n", 0, "cbCtrl(0) = 0\n"},
      {"set cbCtrl(0) 2\nprint cbCtrl(0)\n", 0, "cbCtrl(0) = 2\n"},
      {"click Glimmora_i2c.cbWatch(2)\nset Glimmora_i2c.cbWatch(2) 1\nprint Glimmora_i2c.cbWatch(2)\n", 0,
       "Glimmora_i2c.cbWatch(2) = 1\n"},
  };
  for (const Case& c : cases) {
    Harness h;
    EXPECT_EQ(h.run(c.script), kExitOk) << c.script << h.err.str();
    EXPECT_EQ(h.sim->pluggedBoards().size(), c.boards) << c.script;
    EXPECT_EQ(h.out.str(), c.prints) << c.script;
  }
}

TEST(ScriptRunner, DisabledControlsCannotBeUsed) {
  Harness h;
  h.main().cbShowi2c.setEnabled(false);
  EXPECT_EQ(h.run("click cbShowi2c\n"), kExitScriptError);
  EXPECT_EQ(h.err.str(), "error (line 1): cbShowi2c is disabled\n");
  EXPECT_EQ(h.main().i2cWindow.state(), i2c::RegisterWindow::State::NotLoaded);
}

TEST(ScriptRunner, AScriptErrorOutranksAFailedExpectation) {
  Harness h;
  EXPECT_EQ(h.run("expect cbQuit x\nbogus\n"), kExitScriptError);
}

TEST(ScriptRunner, OnceTheProgramEndsTheRestIsCountedNotRun) {
  for (const char* ending : {"click cbQuit", "click nMenuFileExit", "close Glimmora_interface"}) {
    Harness h;
    const std::string script =
        "click cbShowi2c\n" + std::string(ending) + "\n\nprint txtLog\n  # not counted\nnonsense here\nclick cbQuit";
    EXPECT_EQ(h.run(script), kExitOk) << ending;
    EXPECT_EQ(h.out.str(), "") << ending;
    EXPECT_EQ(h.err.str(), "glimmora-cli: the program ended at line 2; 3 lines not run\n") << ending;
    EXPECT_EQ(h.main().i2cWindow.state(), i2c::RegisterWindow::State::NotLoaded) << ending;
  }
}

TEST(ScriptRunner, RegisterWindowStateIsPrintedWithoutCreatingIt) {
  Harness h;
  EXPECT_EQ(h.run("print Glimmora_i2c\n"
                  "print Glimmora_i2c.tbNothing\n"),
            kExitScriptError);
  EXPECT_EQ(h.out.str(), "Glimmora_i2c = not loaded\n");

  Harness g;
  EXPECT_EQ(g.run("print Glimmora_i2c.Label1(22)\n"
                  "print Glimmora_i2c\n"
                  "click cbShowi2c\n"
                  "print Glimmora_i2c\n"
                  "close Glimmora_i2c\n"
                  "print Glimmora_i2c\n"
                  "close Glimmora_i2c\n"
                  "print Glimmora_interface.cbShowi2c\n"),
            kExitOk);
  EXPECT_EQ(g.out.str(),
            "Glimmora_i2c.Label1(22) = \"Slave Address\"\n"
            "Glimmora_i2c = hidden\n"
            "Glimmora_i2c = shown\n"
            "Glimmora_i2c = not loaded\n"
            "Glimmora_interface.cbShowi2c = \"Show i2c\"\n");
}

TEST(ScriptRunner, SetIsOneChangeTypeIsOnePerCharacter) {
  Harness h;
  auto& box = h.main().timing.tbSCLKdiv;
  std::vector<std::string> seen;
  box.setChangeHandler([&] { seen.push_back(box.text()); });
  EXPECT_EQ(h.run("set tbSCLKdiv 12\n"
                  "set tbSCLKdiv 12\n"
                  "type tbSCLKdiv 12\n"
                  "type tbSCLKdiv\n"
                  "expect tbSCLKdiv\n"),
            kExitOk)
      << h.out.str() << h.err.str();
  EXPECT_EQ(seen, (std::vector<std::string>{"12", "1", "12", ""}));
}

// A dialog's answer as the tables below write it: nothing for Cancel.
std::optional<std::string> written(const forms::FileChoice& choice) {
  if (choice.isCancelled()) return std::nullopt;
  return choice.path();
}

TEST(ScriptRunner, MessageBoxesAndDialogsAreShownAndAnswered) {
  Harness h;
  std::vector<std::optional<std::string>> answers;
  h.main().cbShowi2c.setClickHandler([&] {
    h.runner->messageBox("two\r\nlines", "");
    h.runner->messageBox("text", "Caption \"x\"");
    answers.push_back(written(h.runner->fileDialog(forms::FileDialogKind::Save, {})));
    answers.push_back(written(h.runner->fileDialog(forms::FileDialogKind::Open, {})));
  });
  EXPECT_EQ(h.run("click cbShowi2c\n"
                  "answer first.cfg\n"
                  "answer my second.cfg\n"
                  "click cbShowi2c\n"
                  "answer x.cfg\n"
                  "answer cancel\n"
                  "click cbShowi2c\n"),
            kExitOk);
  const std::string once =
      "msgbox \"two\\r\\nlines\"\n"
      "msgbox \"text\" \"Caption \\\"x\\\"\"\n"
      "dialog save\n"
      "dialog open\n";
  EXPECT_EQ(h.out.str(), once + once + once);
  // The last answer serves the next dialog only.
  const std::vector<std::optional<std::string>> expected = {std::nullopt, std::nullopt, "my second.cfg",
                                                            std::nullopt, std::nullopt, std::nullopt};
  EXPECT_EQ(answers, expected);
}

TEST(ScriptRunner, AnAnswerIsTypedIntoTheDialogWhichAddsItsDefaultExtension) {
  Harness h;
  std::vector<std::optional<std::string>> answers;
  h.main().cbShowi2c.setClickHandler([&] {
    answers.push_back(written(h.runner->fileDialog(forms::FileDialogKind::Save, {".txt", "", ""})));
  });
  EXPECT_EQ(h.run("answer my setup\nclick cbShowi2c\nanswer my.setup\nclick cbShowi2c\n"), kExitOk);
  EXPECT_EQ(answers, (std::vector<std::optional<std::string>>{"my setup.txt", "my.setup"}));
}

// Every packet reaches each of those listening, whichever goes first: a line
// runner that goes before one made after it silences neither that one nor
// the listener that was there before both.
TEST(LineRunner, RunnersAndOtherListenersOfPacketsComeAndGoInAnyOrder) {
  Harness h;
  auto& link = h.main().link;
  int traced = 0;
  const forms::Connection trace = link.onTransfer.connectScoped([&](const usb::TransferRecord&) { ++traced; });
  std::ostringstream firstOut;
  std::ostringstream secondOut;
  std::ostringstream errors;
  StreamOutput firstOutput(firstOut, errors);
  StreamOutput secondOutput(secondOut, errors);
  auto first = std::make_unique<LineRunner>(h.runner->program(), firstOutput);
  auto second = std::make_unique<LineRunner>(h.runner->program(), secondOutput);
  const usb::TransferRecord packet{3, usb::kWrite, usb::kSuccess, {0x01}};
  link.onTransfer.notify(packet);
  first.reset();
  link.onTransfer.notify(packet);
  second.reset();
  link.onTransfer.notify(packet);
  EXPECT_EQ(firstOut.str(), "out 3: 01\n");
  EXPECT_EQ(secondOut.str(), "out 3: 01\nout 3: 01\n");
  EXPECT_EQ(traced, 3);
}

TEST(ScriptRunner, PacketsArePrintedOnlyWhenTheyMovedBytes) {
  Harness h;
  const auto onTransfer = [&h](const usb::TransferRecord& record) { h.main().link.onTransfer.notify(record); };
  onTransfer({3, usb::kWrite, usb::kSuccess, {0x00, 0x0A, 0xFF}});
  onTransfer({3, usb::kWrite, usb::kSuccess, {}});
  onTransfer({1, usb::kWrite, usb::kStall, {0x01}});
  onTransfer({130, usb::kRead, usb::kSuccess, {0x00, 0x4d}});
  onTransfer({130, usb::kRead, usb::kTimeout, {}});
  onTransfer({130, usb::kRead, usb::kTimeout, {0x5a}});
  EXPECT_EQ(h.out.str(),
            "out 3: 00 0A FF\n"
            "out 3:\n"
            "in 130: 00 4D\n"
            "in 130: 5A\n");
}

TEST(ScriptRunner, BoardsReachTheProgramBetweenLinesNeverInsideOne) {
  Harness h;
  std::vector<bool> connectedInside;
  h.main().cbShowi2c.setClickHandler([&] {
    h.sim->plug();
    connectedInside.push_back(h.main().link.deviceConnected());
  });
  EXPECT_EQ(h.run("click cbShowi2c\n"
                  "click cbQuit\n"),
            kExitOk);
  EXPECT_EQ(connectedInside, (std::vector<bool>{false}));
  EXPECT_NE(h.main().txtLog.text().find("DeviceAttach: Accepting control of the device"), std::string::npos);
}

// A layer for real boards that has none: board verbs must not reach it.
TEST(ScriptRunner, BoardVerbsNeedTheSimulatedLayer) {
  std::ostringstream out;
  std::ostringstream err;
  ScriptRunner runner(std::make_unique<usb::EmptyDriver>(), nullptr, out, err);
  std::istringstream script("print cbQuit\nboard ok\n");
  EXPECT_EQ(runner.run(script), kExitScriptError);
  EXPECT_EQ(err.str(), "error (line 2): board commands need the simulated board (--board sim)\n");
}

}  // namespace
}  // namespace glim::script
