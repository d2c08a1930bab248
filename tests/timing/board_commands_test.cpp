#include <cstdint>
#include <string>
#include <vector>

#include "timing_fixture.h"

namespace glim::testing {
namespace {

using Bytes = std::vector<uint8_t>;
using forms::CheckBox;

constexpr const char* kNoBoard = "USB Device not connected!";

std::vector<int> boxValues(timing::TimingPanel& t) {
  std::vector<int> v;
  for (int i = 0; i < 4; ++i) v.push_back(t.cbCtrl[i].value());
  return v;
}

Bytes defaultSettings() {
  Bytes b = {0x00, 0, 5, 0, 5, 250, 1, 5, 40, 0, 63};
  b.insert(b.end(), 27, 255);
  for (uint8_t x : {9, 10, 20, 5, 5, 5}) b.push_back(x);
  return b;
}

class BoardTest : public TimingTest {
 protected:
  void SetUp() override { p.plug(); }
};

TEST_F(TimingTest, EnableBoxesSetTheEnableCellWithoutABoard) {
  t.cbCtrl[1].userClick();
  t.cbCtrl[2].userClick();
  EXPECT_EQ(cellText(37), "15");
  for (int i = 0; i < 4; ++i) t.cbCtrl[i].setValue(CheckBox::Unchecked);
  EXPECT_EQ(cellText(37), "0");
  // Only a checked box counts; a greyed one adds nothing.
  t.cbCtrl[3].setValue(CheckBox::Grayed);
  t.cbCtrl[0].setValue(CheckBox::Checked);
  EXPECT_EQ(cellText(37), "1");
  EXPECT_TRUE(p.ui.boxes.empty());
  EXPECT_TRUE(p.transfers.empty());
}

TEST_F(TimingTest, BoardCommandsWithoutABoardShowTheMessageOnceAndChangeNothing) {
  t.cbCtrl[1].userClick();  // boxes off their preset, cell 37 "11"
  const auto boxes = boxValues(t);

  t.obShutb[0].userClick();
  EXPECT_EQ(p.ui.boxes, (std::vector<RecordingUi::Box>{{kNoBoard, ""}}));
  EXPECT_TRUE(t.obShutb[0].value());  // the choice stays on the screen

  t.ob1Den[2].userClick();
  EXPECT_EQ(p.ui.countBoxes(kNoBoard), 2);
  EXPECT_TRUE(t.ob1Den[2].value());

  t.cbWritesettings.click();
  EXPECT_EQ(p.ui.countBoxes(kNoBoard), 3);
  EXPECT_EQ(p.ui.boxes.size(), 3u);

  EXPECT_EQ(boxValues(t), boxes);
  EXPECT_EQ(cellText(37), "11");
  EXPECT_TRUE(p.transfers.empty());
}

TEST_F(BoardTest, WriteSettingsWithDefaultsSendsPinsThenTheSettingsPacket) {
  t.cbWritesettings.click();
  ASSERT_EQ(p.transfers.size(), 2u);
  EXPECT_EQ(p.transfers[0].pipe, 1u);
  EXPECT_EQ(p.transfers[0].bytes, (Bytes{0xFE, 0xE3}));
  EXPECT_EQ(p.transfers[1].pipe, 3u);
  EXPECT_EQ(p.transfers[1].bytes, defaultSettings());
  EXPECT_EQ(cellText(37), "9");

  // Nothing is skipped for having been sent before.
  t.cbWritesettings.click();
  EXPECT_EQ(p.written(1).size(), 2u);
  ASSERT_EQ(p.written(3).size(), 2u);
  EXPECT_EQ(p.written(3)[1], defaultSettings());
  EXPECT_TRUE(p.ui.boxes.empty());
}

TEST_F(BoardTest, SettingsBytesAreRoundedHalfToEven) {
  const std::vector<std::pair<std::string, uint8_t>> cases = {{"12.5", 12}, {"13.5", 14}, {"", 0},        {"abc", 0},
                                                              {"12.6", 13}, {"&H1F", 31}, {"254.5", 254}, {"0.5", 0},
                                                              {"1.5", 2},   {"255", 255}, {"7.49999", 7}};
  for (const auto& [text, byte] : cases) {
    cell(13).setText(text);
    t.cbWritesettings.click();
    ASSERT_FALSE(p.written(3).empty());
    EXPECT_EQ(p.written(3).back()[14], byte) << "\"" << text << "\"";
  }
}

TEST_F(BoardTest, EnableCellTypedByHandIsOverwrittenBeforeThePacketIsBuilt) {
  cell(37).setText("200");
  t.cbCtrl[2].userClick();
  t.cbWritesettings.click();
  EXPECT_EQ(p.written(3).back()[38], 9);
  EXPECT_EQ(boxValues(t),
            (std::vector<int>{CheckBox::Checked, CheckBox::Unchecked, CheckBox::Unchecked, CheckBox::Checked}));
}

TEST_F(BoardTest, ShutbAndOneDenChoicesGiveTheSixPinPackets) {
  struct Case {
    int oneDen;  // index: 0 "0", 1 "Z", 2 "1"
    int shutb;   // index: 0 "0", 1 "1"
    Bytes pins;
    std::vector<int> boxes;
    std::string enableBits;
  };
  const int C = CheckBox::Checked;
  const int U = CheckBox::Unchecked;
  const std::vector<Case> cases = {
      {0, 1, {0xEE, 0xF3}, {U, C, U, U}, "2"}, {0, 0, {0xCE, 0xF3}, {U, C, U, U}, "2"},
      {1, 1, {0xFE, 0xE3}, {C, U, U, C}, "9"}, {1, 0, {0xDE, 0xE3}, {C, U, U, C}, "9"},
      {2, 1, {0xFE, 0xF3}, {C, C, C, U}, "7"}, {2, 0, {0xDE, 0xF3}, {C, C, C, U}, "7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("1D EN " + t.ob1Den[c.oneDen].caption() + ", SHUTb " + t.obShutb[c.shutb].caption());
    t.ob1Den[c.oneDen].userClick();
    // A SHUTb click sends the pin packet and no settings.
    const std::size_t before = p.transfers.size();
    t.obShutb[c.shutb].userClick();
    ASSERT_EQ(p.transfers.size(), before + 1);
    EXPECT_EQ(p.transfers.back().pipe, 1u);
    EXPECT_EQ(p.transfers.back().bytes, c.pins);
    EXPECT_EQ(boxValues(t), c.boxes);
    EXPECT_EQ(cellText(37), c.enableBits);
    const auto board = p.sim->boardState(1);
    EXPECT_EQ(board.pinLevel, c.pins[0]);
    EXPECT_EQ(board.pinDrive, c.pins[1]);
  }
}

TEST_F(BoardTest, ShutbClickReturnsHandMadeBoxesToThePreset) {
  t.cbCtrl[1].userClick();
  t.cbCtrl[2].userClick();
  EXPECT_EQ(cellText(37), "15");
  std::vector<int> clicked;
  std::vector<forms::Connection> watching;
  for (int i = 0; i < 4; ++i) {
    watching.push_back(t.cbCtrl[i].subscribe([&clicked, i](forms::ControlEvent) { clicked.push_back(i); }));
  }
  t.obShutb[0].userClick();
  EXPECT_EQ(p.written(1).back(), (Bytes{0xDE, 0xE3}));
  EXPECT_EQ(cellText(37), "9");
  EXPECT_EQ(clicked, (std::vector<int>{1, 2}));  // only boxes that changed
  t.obShutb[1].userClick();
  EXPECT_EQ(p.written(1).back(), (Bytes{0xFE, 0xE3}));
}

TEST_F(BoardTest, OneDenChoiceRunsWriteSettings) {
  t.ob1Den[2].userClick();
  ASSERT_EQ(p.transfers.size(), 2u);
  EXPECT_EQ(p.transfers[0].bytes, (Bytes{0xFE, 0xF3}));
  EXPECT_EQ(p.transfers[1].pipe, 3u);
  EXPECT_EQ(p.transfers[1].bytes[38], 7);
  EXPECT_EQ(boxValues(t),
            (std::vector<int>{CheckBox::Checked, CheckBox::Checked, CheckBox::Checked, CheckBox::Unchecked}));
  const auto board = p.sim->boardState(1);
  EXPECT_TRUE(board.timingWritten);
  EXPECT_EQ(board.timing[37], 7);
}

TEST_F(BoardTest, FailedPinPacketDoesNotStopTheSettingsPacket) {
  usb::sim::Faults faults;
  faults.refusedPipes = {1};
  p.sim->setFaults(faults);
  t.cbWritesettings.click();
  ASSERT_EQ(p.transfers.size(), 2u);
  EXPECT_NE(p.transfers[0].status, usb::kSuccess);
  EXPECT_EQ(p.transfers[1].pipe, 3u);
  EXPECT_EQ(p.transfers[1].status, usb::kSuccess);
  EXPECT_EQ(cellText(37), "9");
  EXPECT_TRUE(p.ui.boxes.empty());
  EXPECT_NE(p.log().find("Write Pipe failed"), std::string::npos);
}

}  // namespace
}  // namespace glim::testing
