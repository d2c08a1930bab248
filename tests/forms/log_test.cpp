#include "forms/log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace glim::forms
