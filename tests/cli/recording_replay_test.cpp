// A recording started in the middle of a session replays, through the script
// runner glimmora-cli uses, to the packets the session sent from that moment
// and to the same controls. Sessions are random: typing, clicks, the register
// window, saves and loads, boards plugged and pulled, faults and chip registers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "script/control_actions.h"
#include "script/line_runner.h"
#include "script/script_recorder.h"
#include "script/script_runner.h"
#include "script/session_state.h"
#include "support/recording_ui.h"
#include "support/sim_program.h"
#include "support/temp_dir.h"
#include "usb/empty_driver.h"
#include "usb/sim/sim_driver.h"

namespace glim::script {
namespace {

// What a run shows, as the runner prints it: packets, message boxes, dialogs.
class PacketLines final : public ScriptOutput {
 public:
  void line(OutputKind kind, std::string_view line) override {
    // Message boxes and dialogs too: a replay that took another road tells.
    if (kind == OutputKind::Event) lines.emplace_back(line);
  }
  std::vector<std::string> lines;
};

// `print` lines for every text box, check box and option button (the log and
// the labels name board handles and earlier actions, which a replay numbers
// and does anew), and what they print in `main` now.
void printsOf(shell::MainForm& main, std::string& lines, std::vector<std::string>& shown) {
  const auto add = [&](const forms::Form& form, const std::string& prefix) {
    for (const forms::Control* c : form.controls()) {
      if (c->kind() != forms::ControlKind::TextBox && c->kind() != forms::ControlKind::CheckBox &&
          c->kind() != forms::ControlKind::OptionButton) {
        continue;
      }
      if (c->name() == "txtLog") continue;
      const std::string name = prefix + c->qualifiedName();
      lines += "print " + name + "\n";
      shown.push_back(printLine(name, shownValue(*c)));
    }
  };
  add(main.form, "");
  const i2c::RegisterForm* registers = main.i2cWindow.existing();
  lines += "print Glimmora_i2c\n";
  shown.push_back(std::string("Glimmora_i2c = ") + (registers == nullptr ? "not loaded"
                                                    : main.i2cWindow.state() == i2c::RegisterWindow::State::Shown
                                                        ? "shown"
                                                        : "hidden"));
  if (registers != nullptr) add(registers->form, "Glimmora_i2c.");
}

// The person's session: each action runs as the window runs it, and from the
// midpoint on it goes to the recorder as the window's views report it.
class Session final : public forms::UiHost {
 public:
  Session() {
    auto driver = std::make_unique<usb::sim::SimDriver>();
    sim_ = driver.get();
    program_ = std::make_unique<shell::Program>(usb::DriverAndBench{std::move(driver), sim_}, *this);
    lines_ = std::make_unique<LineRunner>(*program_, packets);
    lines_->userAction([this] { program_->main.Form_Activate(); });
  }

  void messageBox(const std::string& text, const std::string& caption) override {
    lines_->messageBoxShown(text, caption);
  }
  forms::FileChoice fileDialog(forms::FileDialogKind kind, const forms::FileDialogSetup& setup) override {
    auto answer = lines_->fileDialogShown(kind, setup).value_or(forms::FileChoice::cancelled());
    recorder.fileDialogAnswered(answer);
    return answer;
  }

  // Runs one action (an `answer` line may come first); false on a script error.
  bool act(const std::vector<std::string>& action) {
    const std::string& line = action.back();
    const ParsedLine parsed = parseLine(line);
    if (parsed.kind != ParsedLine::Kind::Command) return false;
    for (std::size_t i = 0; i + 1 < action.size(); ++i) {
      if (lines_->runLine(action[i], ++number_) == LineRunner::LineResult::Error) return false;
    }
    if (parsed.command.verb != Verb::Board) {
      recorder.beginAction(line);
      const bool ok = lines_->runLine(line, ++number_) != LineRunner::LineResult::Error;
      recorder.endAction();
      return ok;
    }
    // The Simulated board window reports what the person does there.
    const BoardCommand& board = parsed.command.board;
    const usb::sim::Faults before = sim_->faults();
    if (lines_->runLine(line, ++number_) == LineRunner::LineResult::Error) return false;
    switch (board.action) {
      case BoardAction::Attach:
        recorder.boardPlugged(sim_->pluggedBoards().back());
        break;
      case BoardAction::Detach:
        recorder.boardUnplugged(board.board);
        break;
      case BoardAction::Reg:
        recorder.registerSet(board.reg, board.value);
        break;
      default:
        recorder.faultsChanged(before, sim_->faults());
        break;
    }
    return true;
  }

  // Plays a script into this session as it stands, as File > Run Script
  // does in a running window; false on a script error.
  bool play(const std::string& script) {
    std::istringstream in(script);
    for (std::string line; std::getline(in, line);) {
      if (lines_->runLine(line, ++number_) == LineRunner::LineResult::Error) return false;
    }
    return true;
  }

  shell::Program& program() { return *program_; }
  std::vector<int> pluggedBoards() const { return sim_->pluggedBoards(); }
  usb::sim::Faults faults() const { return sim_->faults(); }

  PacketLines packets;
  ScriptRecorder recorder;

 private:
  usb::sim::SimDriver* sim_ = nullptr;
  std::unique_ptr<shell::Program> program_;
  std::unique_ptr<LineRunner> lines_;
  int number_ = 0;
};

// Random actions a person might take, mostly on controls that reach packets.
class Person {
 public:
  Person(unsigned seed, std::filesystem::path folder) : random_(seed), folder_(std::move(folder)) {}

  std::vector<std::string> next(const Session& session) {
    switch (pick(14)) {
      case 0:
        return {"set " + oneOf({"tbSICclkfreqdes", "tbPWMIclkfreqdes", "tbSTVfreqdes", "tbSCLKfreqdes"}) + ' ' +
                oneOf({"", "0", "1", "5", "20", "100", "abc", "3.7", "1e3", "-5", "250000", "12x"})};
      case 1:
        return {"set tbCPLDdata(" + std::to_string(pick(43)) + ") " +
                oneOf({"", "0", "1", "7", "40", "255", "256", "-3", "12.5", "x", "&HFF", "63"})};
      case 2:
        return {"type tbCPLDdata(" + std::to_string(pick(43)) + ") " + oneOf({"3", "9", "0", "a"})};
      case 3:
        return {"click " + oneOf({"cbCtrl(0)", "cbCtrl(1)", "cbCtrl(2)", "cbCtrl(3)", "obShutb(0)", "obShutb(1)",
                                  "ob1Den(0)", "ob1Den(1)", "ob1Den(2)", "cbCopysic", "cbCopyser"})};
      case 4:
        return {"click cbWritesettings"};
      case 5:
        return {oneOf({"click cbShowi2c", "close Glimmora_i2c", "activate", "click Glimmora_i2c.cbVerify"})};
      case 6:
        return {"set Glimmora_i2c." + oneOf({"tbI2Creg", "tbI2Cregread"}) + "(" + std::to_string(pick(22)) + ") " +
                oneOf({"", "0", "4C", "FF", "1FF", "zz", "7"})};
      case 7:
        return {"set Glimmora_i2c.tbI2Caddr " + oneOf({"5A", "5A", "5A", "5C", "5B", "100"})};
      case 8: {
        const std::string row = "(" + std::to_string(pick(22)) + ")";
        return {"click Glimmora_i2c." + oneOf({"cbWritei2c" + row, "cbReadi2c" + row, "cbCopyi2c" + row, "cbWriteall",
                                               "cbReadall", "cbCopyall"})};
      }
      case 9: {
        const std::string file = (folder_ / ("cfg" + std::to_string(pick(2)) + ".txt")).string();
        return {"answer " + file, oneOf({"click mFileSaveConfig", "click mFileLoadConfig"})};
      }
      case 10: {
        const std::vector<int> boards = session.pluggedBoards();
        if (boards.empty() || pick(3) == 0) return {"board attach"};
        return {"board detach " + std::to_string(boards[pick(static_cast<int>(boards.size()))])};
      }
      case 11:
        return {"board " + oneOf({"ok", "ok", "timeout 130", "fail transfer 2", "timeout 3", "short 2 " + digit(),
                                  "short 3 " + digit() + digit(), "short 130 " + digit(), "short 1 1", "nopipes"})};
      case 12:
        return {"board " + oneOf({"ignore " + std::to_string(pick(22)),
                                  "reg " + std::to_string(pick(22)) + " " + oneOf({"00", "3C", "4C", "A5", "FF"})})};
      default:
        return {"click Glimmora_i2c.cbReadi2c(" + std::to_string(pick(22)) + ")"};
    }
  }

 private:
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
  std::string digit() { return std::to_string(pick(10)); }
  std::string oneOf(std::initializer_list<std::string> options) {
    return *(options.begin() + pick(static_cast<int>(options.size())));
  }

  std::mt19937 random_;
  std::filesystem::path folder_;
};

class RecordingReplay : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("glimmora_recording_replay_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
              std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    std::filesystem::create_directories(folder);
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
  std::filesystem::path folder;
};

TEST_F(RecordingReplay, ARecordingStartedMidSessionReplaysToTheSamePacketsAndControls) {
  constexpr int kSessions = 150;
  constexpr int kActions = 40;
  for (unsigned seed = 1; seed <= kSessions; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    // The session keeps its files and the recording in one folder; the
    // replay runs in another that holds the files as they were when the
    // recording began, and must leave the session's alone.
    const std::filesystem::path live = folder / "live";
    const std::filesystem::path copy = folder / "replay";
    std::filesystem::remove_all(live);
    std::filesystem::remove_all(copy);
    std::filesystem::create_directories(live);
    std::filesystem::create_directories(copy);
    Session session;
    Person person(seed, live);
    std::mt19937 random(seed * 7919);
    const int midpoint = std::uniform_int_distribution<int>(0, kActions)(random);
    const std::filesystem::path recording = live / "session.gls";
    std::size_t packetsBefore = 0;
    const auto startRecording = [&] {
      packetsBefore = session.packets.lines.size();
      std::filesystem::copy(
          live, copy, std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
      return session.recorder.start(recording.string(), recordingSetup(session.program()));
    };
    for (int i = 0; i < kActions; ++i) {
      if (i == midpoint) {
        const text::Outcome started = startRecording();
        ASSERT_TRUE(started.ok()) << started.reason();
      }
      const std::vector<std::string> action = person.next(session);
      ASSERT_TRUE(session.act(action)) << action.back();
    }
    if (midpoint == kActions) {
      const text::Outcome started = startRecording();
      ASSERT_TRUE(started.ok()) << started.reason();
    }
    session.recorder.stop();
    std::vector<std::string> sent(session.packets.lines.begin() + static_cast<std::ptrdiff_t>(packetsBefore),
                                  session.packets.lines.end());
    // Messages name the files of the folder each run used.
    for (std::string& line : sent) {
      for (std::size_t at; (at = line.find(live.string())) != std::string::npos;) {
        line.replace(at, live.string().size(), copy.string());
      }
    }

    std::string prints;
    std::vector<std::string> controls;
    printsOf(session.program().main, prints, controls);

    std::ifstream file(recording);
    std::stringstream recorded;
    recorded << file.rdbuf();
    const std::string text = recorded.str();
    std::istringstream script(text + prints);
    auto driver = std::make_unique<usb::sim::SimDriver>();
    usb::sim::SimDriver* sim = driver.get();
    std::ostringstream out, err;
    ScriptRunner replay(std::move(driver), sim, out, err);
    replay.setScriptFolder(copy.string() + "/");
    ASSERT_EQ(replay.run(script), kExitOk) << err.str() << "\n" << text;

    PacketLines replayed;
    std::vector<std::string> printed;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);) {
      if (line.find(" = ") != std::string::npos && !line.starts_with("out ") && !line.starts_with("in ") &&
          !line.starts_with("msgbox ")) {
        printed.push_back(line);
      } else {
        replayed.line(OutputKind::Event, line);
      }
    }
    ASSERT_EQ(replayed.lines, sent) << text;
    ASSERT_EQ(printed, controls) << text;
  }
}

// The session of the report: a board, SCLK desired 100, "1D EN" set to "1"
// (which sent and preset the enable boxes), one box unchecked again, a cell
// typed, the register window shown with a value and read back switched on.
// The lines put that back without a packet: the desired field before the
// cells, the boxes' states, `select` for the option.
TEST(StateLines, BringANewProgramToTheWindowsStateWithoutSending) {
  Session session;
  for (const char* line :
       {"board attach", "set tbSCLKfreqdes 100", "click ob1Den(2)", "click cbCtrl(0)", "set tbCPLDdata(1) 9",
        "click cbShowi2c", "set Glimmora_i2c.tbI2Creg(3) 77", "click Glimmora_i2c.cbVerify"}) {
    ASSERT_TRUE(session.act({line})) << line;
  }
  const std::vector<std::string> lines = stateLines(session.program().main);
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  // tbSCLKdiv can be typed into too; it differs, so it is set, though the
  // desired field after it would have written it anyway.
  EXPECT_EQ(lines, (std::vector<std::string>{"set tbSCLKdiv 249", "set tbSCLKfreqdes 100", "set cbCtrl(0) 0",
                                             "set cbCtrl(1) 1", "set cbCtrl(2) 1", "set cbCtrl(3) 0",
                                             "select ob1Den(2)", "set tbCPLDdata(1) 9", "click cbShowi2c",
                                             "set Glimmora_i2c.tbI2Creg(3) 77", "set Glimmora_i2c.cbVerify 1"}))
      << all;
  // The report's own case: a configuration loaded (which shows the register
  // window), then SCLK desired 100.
  Session loaded;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() /
      ("glimmora_state_lines_" + std::to_string(reinterpret_cast<std::uintptr_t>(&loaded)));
  std::filesystem::create_directories(folder);
  const std::string file = (folder / "setup.txt").string();
  ASSERT_TRUE(loaded.act({"answer " + file, "click mFileSaveConfig"}));
  ASSERT_TRUE(loaded.act({"answer " + file, "click mFileLoadConfig"}));
  std::filesystem::remove_all(folder);
  ASSERT_TRUE(loaded.act({"board attach"}));
  ASSERT_TRUE(loaded.act({"set tbSCLKfreqdes 100"}));
  const std::vector<std::string> afterLoad = stateLines(loaded.program().main);
  all.clear();
  for (const std::string& line : afterLoad) all += line + "\n";
  EXPECT_EQ(afterLoad, (std::vector<std::string>{"set tbSCLKdiv 249", "set tbSCLKfreqdes 100", "click cbShowi2c"}))
      << all;

  // A program at its start needs none.
  Session fresh;
  EXPECT_TRUE(stateLines(fresh.program().main).empty());
}

// A recording started mid-session begins with the held board, so that its
// replay accepts that board and not another one plugged in before it.
TEST(RecordingSetup, TheHeldBoardComesFirst) {
  testing::SimProgram p;
  const int first = p.plug();
  const int second = p.plug();
  p.unplug(first);
  const int third = p.plug();  // nothing held: this one is accepted
  ASSERT_TRUE(p.main().link.deviceConnected());
  EXPECT_EQ(recordingSetup(*p.program).boards, (std::vector<int>{third, second}));

  // The recording written numbers the held board 1, as its replay does, and
  // the replay holds that board: pulling it out leaves none held in both.
  const testing::TempDir dir;
  const std::filesystem::path path = dir.file("held.gls");
  ScriptRecorder recorder;
  ASSERT_TRUE(recorder.start(path.string(), recordingSetup(*p.program)).ok());
  p.unplug(third);
  recorder.boardUnplugged(third);
  recorder.stop();
  ASSERT_FALSE(p.main().link.deviceConnected());
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.starts_with('#')) lines.push_back(line);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"board plugged 2", "board ok", "board detach 1"}));
  std::string script;
  for (const std::string& line : lines) script += line + "\n";
  Session replay;
  ASSERT_TRUE(replay.play(script));
  EXPECT_FALSE(replay.program().main.link.deviceConnected());
  EXPECT_EQ(replay.pluggedBoards().size(), 1u);
}

// On real boards there is no bench to record, but the windows' state is: the
// recording written begins with it, and a replay ends where the session was.
TEST_F(RecordingReplay, RealBoardsKeepTheWindowsState) {
  testing::RecordingUi ui;
  shell::Program program(usb::DriverAndBench{std::make_unique<usb::EmptyDriver>(), nullptr}, ui);
  program.main.Form_Activate();
  program.main.timing.tbCPLDdata[1].setText("9");
  program.main.timing.cbCtrl[2].userClick();
  program.main.i2cWindow.show();
  program.main.i2cWindow.get().cbVerify.userClick();
  const std::filesystem::path path = folder / "real.gls";
  ScriptRecorder recorder;
  ASSERT_TRUE(recorder.start(path.string(), recordingSetup(program)).ok());
  recorder.stop();
  std::ifstream file(path);
  std::stringstream recorded;
  recorded << file.rdbuf();
  const std::string text = recorded.str();
  EXPECT_NE(text.find("# Board: real"), std::string::npos) << text;
  EXPECT_EQ(text.find("\nboard "), std::string::npos) << text;  // a replay on real boards refuses them
  for (const char* line : {"\nset tbCPLDdata(1) 9\n", "\nclick cbShowi2c\n", "\nset Glimmora_i2c.cbVerify 1\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
  }

  std::string prints;
  std::vector<std::string> controls;
  printsOf(program.main, prints, controls);
  std::istringstream script(text + prints);
  std::ostringstream out, err;
  ScriptRunner replay(std::make_unique<usb::EmptyDriver>(), nullptr, out, err);
  ASSERT_EQ(replay.run(script), kExitOk) << err.str() << "\n" << text;
  std::vector<std::string> printed;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) printed.push_back(line);
  EXPECT_EQ(printed, controls) << text;
}

// What a running window ends in after a recording is played into it: the
// one of a new program that played it. The session holds its board and
// watches a register, as when the recording began, and has a fault on that
// the recording did not: the starting lines must neither plug in a second
// board, nor switch the watch off, nor leave the fault.
TEST_F(RecordingReplay, PlayedIntoARunningWindowEndsAsInANewProgram) {
  const std::vector<std::string> before = {"board attach",
                                           "board reg 1 05",
                                           "click cbShowi2c",
                                           "click Glimmora_i2c.cbWatch(2)",
                                           "click cbCtrl(1)",
                                           "click ob1Den(2)",
                                           "set Glimmora_i2c.tbI2Caddr 5C"};
  Session recorded;
  for (const std::string& line : before) ASSERT_TRUE(recorded.act({line})) << line;
  const std::filesystem::path path = folder / "running.gls";
  ASSERT_TRUE(recorded.recorder.start(path.string(), recordingSetup(recorded.program())).ok());
  for (const char* line : {"set Glimmora_i2c.tbI2Creg(3) 77", "click Glimmora_i2c.cbWritei2c(3)",
                           "click Glimmora_i2c.cbReadi2c(1)", "click cbCtrl(3)"}) {
    ASSERT_TRUE(recorded.act({line})) << line;
  }
  recorded.recorder.stop();
  std::ifstream file(path);
  std::stringstream content;
  content << file.rdbuf();
  const std::string text = content.str();

  // In a new program, as glimmora-cli plays it.
  std::string prints;
  std::vector<std::string> unused;
  printsOf(recorded.program().main, prints, unused);
  auto driver = std::make_unique<usb::sim::SimDriver>();
  usb::sim::SimDriver* sim = driver.get();
  std::ostringstream out, err;
  ScriptRunner fresh(std::move(driver), sim, out, err);
  std::istringstream script(text + prints);
  ASSERT_EQ(fresh.run(script), kExitOk) << err.str() << "\n" << text;
  std::vector<std::string> inFresh;
  std::vector<std::string> packetsInFresh;
  std::istringstream outLines(out.str());
  for (std::string line; std::getline(outLines, line);) {
    (line.starts_with("out ") || line.starts_with("in ") ? packetsInFresh : inFresh).push_back(line);
  }

  // In a running window that stands where the recording began, a fault on.
  Session running;
  for (const std::string& line : before) ASSERT_TRUE(running.act({line})) << line;
  ASSERT_TRUE(running.act({"board timeout 3"}));
  const std::size_t packetsBefore = running.packets.lines.size();
  ASSERT_TRUE(running.play(text)) << text;
  std::string unusedPrints;
  std::vector<std::string> inRunning;
  printsOf(running.program().main, unusedPrints, inRunning);
  EXPECT_EQ(inRunning, inFresh) << text;
  const std::vector<std::string> packetsInRunning(
      running.packets.lines.begin() + static_cast<std::ptrdiff_t>(packetsBefore), running.packets.lines.end());
  EXPECT_EQ(packetsInRunning, packetsInFresh) << text;
  EXPECT_EQ(running.pluggedBoards().size(), sim->pluggedBoards().size()) << text;
  EXPECT_EQ(faultLines({}, running.faults()), faultLines({}, sim->faults())) << text;
  EXPECT_EQ(running.program().main.i2cWindow.get().cbWatch[2].value(), forms::CheckBox::Checked);
}

}  // namespace
}  // namespace glim::script
