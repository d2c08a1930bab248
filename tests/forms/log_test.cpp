#include "forms/log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace glim::forms {
namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    out.push_back(text.substr(start, end - start));
  }
  out.push_back(text.substr(start));  // what follows the last CR LF
  return out;
}

TEST(Log, WritersEndTheirEntryInCrLf) {
  TextBox txtLog("txtLog");
  Log log(txtLog);
  log.logText("Please verify that the device is attached...", kCrLf);
  log.logMessage("DeviceAttach: Accepting control of the device");
  log.logText("", kCrLf);
  log.logText("no suffix", "");
  log.logError("Write Pipe failed");
  EXPECT_EQ(txtLog.text(),
            "Please verify that the device is attached...\r\n"
            "DeviceAttach: Accepting control of the device\r\n"
            "\r\n"
            "no suffixWrite Pipe failed\r\n");
}

TEST(Log, EntryEndingInCrLfIsFollowedByAnEmptyLine) {
  TextBox txtLog("txtLog");
  Log log(txtLog);
  log.logError("WritePipe: WDU_Transfer() failed\r\n");
  log.logMessage("next");
  EXPECT_EQ(lines(txtLog.text()), (std::vector<std::string>{"WritePipe: WDU_Transfer() failed", "", "next", ""}));
}

TEST(Log, AfterClearingTheNextEntryIsTheFirstLine) {
  TextBox txtLog("txtLog");
  Log log(txtLog);
  log.logMessage("old 1");
  log.logMessage("old 2");
  txtLog.setText("");
  EXPECT_EQ(txtLog.text(), "");
  log.logMessage("new");
  EXPECT_EQ(txtLog.text(), "new\r\n");
  EXPECT_EQ(lines(txtLog.text()).front(), "new");
}

TEST(Log, CaretIsAtTheEndAfterEveryAppendWhateverTheUserSelected) {
  TextBox txtLog("txtLog");
  Log log(txtLog);
  log.logMessage("first line");
  const std::vector<std::pair<std::size_t, std::size_t>> selections = {{0, 0}, {0, 5}, {3, 2}, {1, 100}};
  for (const auto& [start, length] : selections) {
    txtLog.setSelection(start, length);
    log.logError("error");
    EXPECT_EQ(txtLog.selStart(), txtLog.text().size());
    EXPECT_EQ(txtLog.selLength(), 0u);
    txtLog.setSelection(start, length);
    log.logText("text", "");
    EXPECT_EQ(txtLog.selStart(), txtLog.text().size());
    EXPECT_EQ(txtLog.selLength(), 0u);
  }
}

TEST(TextAppend, WorksOnAnyTextBoxAsAReplacementOfItsText) {
  TextBox box("tbAny");
  std::vector<std::string> seen;
  std::vector<std::string> appended;
  box.setChangeHandler([&] { seen.push_back(box.text()); });
  const auto view = box.subscribe([&](ControlEvent e) {
    if (e == ControlEvent::Appended) appended.emplace_back(box.lastAppended());
  });
  box.setText("a");
  textAppend(box, "b", "c");
  textAppend(box, "", "");  // same text: no change event, caret still at the end
  box.setSelection(0);
  textAppend(box, "d", "");
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "abc", "abcd"}));
  EXPECT_EQ(appended, (std::vector<std::string>{"bc", "", "d"}));
  EXPECT_EQ(box.selStart(), 4u);
}

// A bound of 200 lines: what leaves the pane goes to the file, the pane's
// first line names it, and the whole log (also entries of several lines and
// a line written in two parts) comes back whole, however many trims it took.
TEST(Log, LinesLeavingThePaneAreKeptInTheFile) {
  glim::testing::TempDir dir;
  TextBox txtLog("txtLog");
  Log log(txtLog);
  int asked = 0;
  const std::string file = dir.file("log-1.txt");
  log.keepWholeLogIn(
      [&] {
        ++asked;
        return file;
      },
      200);
  std::string expected;
  for (int i = 0; i < 1000; ++i) {
    if (i % 97 == 0) {
      log.logMessage("entry " + std::to_string(i) + "\r\nits second line");
      expected += "entry " + std::to_string(i) + "\nits second line\n";
    } else if (i % 89 == 0) {
      log.logText("half ", "");
      log.logText(std::to_string(i), kCrLf);
      expected += "half " + std::to_string(i) + "\n";
    } else {
      log.logMessage("line " + std::to_string(i));
      expected += "line " + std::to_string(i) + "\n";
    }
    ASSERT_LE(lines(txtLog.text()).size() - 1, 200u) << "after entry " << i;
    ASSERT_EQ(log.lines(), lines(txtLog.text()).size() - 1) << "after entry " << i;
  }
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(log.keptIn(), file);
  EXPECT_EQ(lines(txtLog.text()).front(), "Older lines have left this pane; the whole log is in " + file);
  EXPECT_EQ(lines(txtLog.text()).rbegin()[1], "line 999");
  std::string failure;
  EXPECT_EQ(log.wholeLog(&failure), expected);
  EXPECT_EQ(failure, "");

  // Emptied: a new log, held by the pane alone until it overflows again.
  txtLog.setText("");
  log.logMessage("after clearing");
  EXPECT_EQ(log.keptIn(), "");
  EXPECT_EQ(log.wholeLog(), "after clearing\n");
  EXPECT_EQ(log.lines(), 1u);
}

// Up to the bound nothing leaves and no file is asked for; one more line
// trims 1 % of the bound at once.
TEST(Log, TheBoundIsReachedNotPassed) {
  glim::testing::TempDir dir;
  TextBox txtLog("txtLog");
  Log log(txtLog);
  int asked = 0;
  log.keepWholeLogIn(
      [&] {
        ++asked;
        return dir.file("log.txt");
      },
      1000);
  for (int i = 0; i < 1000; ++i) log.logMessage("x");
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(log.lines(), 1000u);
  std::string thousand;
  for (int i = 0; i < 1000; ++i) thousand += "x\n";
  EXPECT_EQ(log.wholeLog(), thousand);
  log.logMessage("y");
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(log.lines(), 990u);
  EXPECT_EQ(lines(txtLog.text()).size(), 991u);
}

// The file cannot be made: the pane says the older lines were not kept, and
// the whole log says what is missing instead of passing as whole.
TEST(Log, AFileThatCannotBeWrittenIsSaid) {
  glim::testing::TempDir dir;
  TextBox txtLog("txtLog");
  Log log(txtLog);
  log.keepWholeLogIn([&] { return dir.file("no/such/folder/log.txt"); }, 10);
  for (int i = 0; i < 20; ++i) log.logMessage("line " + std::to_string(i));
  EXPECT_TRUE(lines(txtLog.text())
                  .front()
                  .starts_with("Older lines have left this pane, and the whole log was not kept: could not create "))
      << txtLog.text();
  std::string failure;
  const std::string whole = log.wholeLog(&failure);
  EXPECT_NE(failure, "");
  EXPECT_TRUE(whole.ends_with("line 19\n"));
}

TEST(TextBox, ReplaceFrontTellsViewsOnlyOfTheParts) {
  TextBox box("tbAny");
  box.setText("one\r\ntwo\r\nthree");
  box.setSelection(6, 3);  // "wo\r"
  int changes = 0;
  box.setChangeHandler([&] { ++changes; });
  std::vector<std::string> removed;
  const auto view = box.subscribe([&](ControlEvent e) {
    if (e == ControlEvent::Front) removed.push_back(box.lastRemoved() + "|" + box.text().substr(0, box.frontAdded()));
  });
  box.replaceFront(5, "new\r\n");
  EXPECT_EQ(box.text(), "new\r\ntwo\r\nthree");
  EXPECT_EQ(removed, std::vector<std::string>{"one\r\n|new\r\n"});
  EXPECT_EQ(box.selStart(), 6u);
  EXPECT_EQ(box.selLength(), 3u);
  EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace glim::forms
