// Recorded lines read back as the action they stand for, or as a comment when
// no line can stand for it.
#include "script/script_recorder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <utility>

#include "script/script_line.h"
#include "support/temp_dir.h"
#include "usb/sim/sim_driver.h"

namespace glim::script {
namespace {

struct RecordedText {
  const char* before;
  const char* after;
  Verb verb;  // Activate: a comment, skipped on replay
};

TEST(ScriptRecorder, TextChangesReadBackAsTheSameChange) {
  const RecordedText cases[] = {
      {"10", "100", Verb::Set},     {"", "  two  blanks ", Verb::Set},    {"7", "", Verb::Set},
      {"5", "5", Verb::Type},       {"\xC3\xA9", "\xC3\xA9", Verb::Type},  // a digit or é typed over itself
      {"12", "12", Verb::Activate},                                        // nothing replays that
      {"", "a\nb", Verb::Activate}, {"", "a\r", Verb::Activate},
  };
  for (const RecordedText& c : cases) {
    const std::string line = textChangeLine("Glimmora_i2c.tbI2Creg(3)", c.before, c.after);
    const ParsedLine parsed = parseLine(line);
    SCOPED_TRACE(line);
    if (c.verb == Verb::Activate) {
      EXPECT_EQ(parsed.kind, ParsedLine::Kind::Skip);
      EXPECT_EQ(line.find('\n'), std::string::npos);
      continue;
    }
    ASSERT_EQ(parsed.kind, ParsedLine::Kind::Command);
    EXPECT_EQ(parsed.command.verb, c.verb);
    EXPECT_EQ(parsed.command.target, "Glimmora_i2c.tbI2Creg(3)");
    EXPECT_EQ(parsed.command.text, c.after);
  }
}

TEST(ScriptRecorder, AnswersReadBackAsTheSameAnswer) {
  EXPECT_EQ(parseLine(answerLine(forms::FileChoice::cancelled())).command.answer, std::nullopt);
  // A file named "cancel" must not read as the cancel button.
  const std::pair<std::string, std::string> paths[] = {{"/tmp/with blank .txt", "/tmp/with blank .txt"},
                                                       {"cancel", "./cancel"}};
  for (const auto& [path, readBack] : paths) {
    const ParsedLine parsed = parseLine(answerLine(forms::FileChoice::chosen(path)));
    ASSERT_EQ(parsed.kind, ParsedLine::Kind::Command);
    EXPECT_EQ(parsed.command.answer, readBack);
  }
  EXPECT_EQ(parseLine(answerLine(forms::FileChoice::chosen("/tmp/a\nb"))).kind, ParsedLine::Kind::Skip);
}

// Answers in the recording's folder or below it are kept relative to it, so
// that a replay beside another copy of the script uses that copy's files;
// anything else stays as the dialog gave it.
TEST(ScriptRecorder, AnswersInTheRecordingsFolderAreRelativeToIt) {
  const std::string recording = "/work/lab/session.gls";
  const std::pair<std::string, std::string> cases[] = {
      {"/work/lab/setup.txt", "setup.txt"},
      {"/work/lab/configs/a b.txt", "configs/a b.txt"},
      {"/work/lab/./configs/../setup.txt", "setup.txt"},
      {"/work/lab", "/work/lab"},
      {"/work/labs/setup.txt", "/work/labs/setup.txt"},
      {"/work/setup.txt", "/work/setup.txt"},
      {"/work/lab/../other/setup.txt", "/work/lab/../other/setup.txt"},
  };
  for (const auto& [answer, kept] : cases) EXPECT_EQ(relativeAnswer(answer, recording), kept) << answer;
  // A file named "cancel" beside the recording still reads as a file.
  const forms::FileChoice besideIt = forms::FileChoice::chosen(relativeAnswer("/work/lab/cancel", recording));
  EXPECT_EQ(parseLine(answerLine(besideIt)).command.answer, "./cancel");
  // A recording named without a folder is in the current one.
  EXPECT_EQ(relativeAnswer((std::filesystem::current_path() / "x.txt").string(), "s.gls"), "x.txt");
}

TEST(ScriptRecorder, FaultLinesOnlyAddOrStartAfresh) {
  usb::sim::Faults before;
  before.refusedPipes = {3};
  before.shortPipes = {{130, 1}};
  usb::sim::Faults more = before;
  more.timeoutPipes = {2};
  more.shortPipes[130] = 5;
  more.hangPipes = {{130, 0}};
  more.ignoredRegisters = {2};
  EXPECT_EQ(faultLines(before, more),
            (std::vector<std::string>{"board timeout 2", "board short 130 5", "board hang 130", "board ignore 2"}));
  usb::sim::Faults fewer = before;
  fewer.refusedPipes.clear();
  fewer.deviceInfoRefused = true;
  EXPECT_EQ(faultLines(before, fewer),
            (std::vector<std::string>{"board ok", "board fail deviceinfo", "board short 130 1"}));
  EXPECT_TRUE(faultLines(before, before).empty());
  for (const std::string& line : faultLines({}, more)) {
    EXPECT_EQ(parseLine(line).command.verb, Verb::Board) << line;
  }
}

std::vector<std::string> linesOf(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with('#')) lines.push_back(line);
  }
  return lines;
}

TEST(ScriptRecorder, AnswersGoBeforeTheirActionAndBoardsAreNumberedAnew) {
  const testing::TempDir dir;
  const std::filesystem::path path = dir.file("recording.gls");
  ScriptRecorder recorder;
  ScriptRecorder::Setup setup;
  setup.simulated = true;
  setup.boards = {2};
  setup.faults.noPipes = true;
  const text::Outcome started = recorder.start(path.string(), setup);
  ASSERT_TRUE(started.ok()) << started.reason();
  recorder.beginAction(clickLine("mFileSaveConfig"));
  // Outside the recording's folder:
  recorder.fileDialogAnswered(forms::FileChoice::chosen("/srv/glimmora/setup.txt"));
  recorder.boardPlugged(5);  // while the handler waited for the board
  recorder.endAction();
  recorder.fileDialogAnswered(forms::FileChoice::cancelled());  // a playing script's dialog: no line
  recorder.boardUnplugged(2);
  recorder.boardUnplugged(5);
  recorder.activated();
  recorder.activated();
  recorder.stop();
  recorder.boardPlugged(6);  // after the end: nothing
  EXPECT_EQ(linesOf(path), (std::vector<std::string>{"board plugged 1", "board ok", "board nopipes",
                                                     "answer /srv/glimmora/setup.txt", "click mFileSaveConfig",
                                                     "board attach", "board detach 1", "board detach 2", "activate"}));
  EXPECT_FALSE(recorder.start((path / "no such directory" / "x.gls").string(), setup).ok());
}

}  // namespace
}  // namespace glim::script
