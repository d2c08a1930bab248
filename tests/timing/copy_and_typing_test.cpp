#include <string>
#include <vector>

#include "timing_fixture.h"

namespace glim::testing {
namespace {

TEST_F(TimingTest, CopySicCopiesPulseZeroIntoPulsesOneAndTwo) {
  t.cbCopysic.click();
  for (int i : {40, 41, 42, 1, 38, 39}) EXPECT_EQ(cellText(i), "5") << i;

  cell(40).setText("abc");
  cell(1).setText("7.5");
  std::vector<std::string> order;
  std::vector<forms::Connection> watching;
  for (int i : {38, 39, 41, 42}) {
    watching.push_back(cell(i).subscribe(
        [&order, this, i](forms::ControlEvent) { order.push_back(std::to_string(i) + "=" + cellText(i)); }));
  }
  t.cbCopysic.click();
  EXPECT_EQ(order, (std::vector<std::string>{"41=abc", "42=abc", "38=7.5", "39=7.5"}));
}

TEST_F(TimingTest, CopyCopiesSerialBlockZeroIntoBlocksOneAndTwo) {
  // Cells the button must leave alone carry markers.
  for (int i = 0; i <= 9; ++i) cell(i).setText("3");
  for (int i = 37; i <= 42; ++i) cell(i).setText("4");
  cell(10).setText("3");
  for (int ch = 0; ch < 8; ++ch) cell(13 + ch).setText(std::to_string(10 + ch));
  cell(15).setText("abc");
  cell(16).setText("7.5");

  std::vector<int> written;
  std::vector<forms::Connection> watching;
  for (int i = 11; i <= 36; ++i) {
    watching.push_back(cell(i).subscribe([&written, i](forms::ControlEvent) { written.push_back(i); }));
  }
  t.cbCopyser.click();

  EXPECT_EQ(cellText(11), "3");
  EXPECT_EQ(cellText(12), "3");
  for (int ch = 0; ch < 8; ++ch) {
    EXPECT_EQ(cellText(21 + ch), cellText(13 + ch)) << "block 1 CH" << ch + 1;
    EXPECT_EQ(cellText(29 + ch), cellText(13 + ch)) << "block 2 CH" << ch + 1;
  }
  EXPECT_EQ(cellText(23), "abc");
  EXPECT_EQ(cellText(32), "7.5");
  // Blocks 1 and 2 alternately, channel by channel.
  std::vector<int> expected = {11, 12};
  for (int i = 13; i <= 20; ++i) {
    expected.push_back(i + 8);
    expected.push_back(i + 16);
  }
  EXPECT_EQ(written, expected);
  for (int i = 0; i <= 9; ++i) EXPECT_EQ(cellText(i), "3") << i;
  for (int i = 37; i <= 42; ++i) EXPECT_EQ(cellText(i), "4") << i;
  for (int i = 13; i <= 20; ++i) EXPECT_NE(cellText(i), "") << i;
}

TEST_F(TimingTest, CopyButtonsNeedNoBoard) {
  t.cbCopyser.click();
  t.cbCopysic.click();
  EXPECT_TRUE(p.ui.boxes.empty());
  EXPECT_TRUE(p.transfers.empty());
}

TEST_F(TimingTest, TypingAStvFrequencyDigitByDigitFollowsEachDigit) {
  t.tbSTVfreqdes.setText("");  // the user empties the field: nothing applied
  EXPECT_EQ(t.tbSTVtc.text(), "1320");
  std::vector<std::string> finals;
  for (char c : std::string("1000")) {
    t.tbSTVfreqdes.setText(t.tbSTVfreqdes.text() + c);
    finals.push_back(t.tbSTVtc.text());
  }
  EXPECT_EQ(finals, (std::vector<std::string>{"4095", "4095", "3906", "391"}));

  SimProgram once;
  auto& u = once.main().timing;
  u.tbSTVfreqdes.setText("1000");
  for (int i : {6, 7}) EXPECT_EQ(u.tbCPLDdata[i].text(), cellText(i));
  EXPECT_EQ(u.tbSTVfreqact.text(), t.tbSTVfreqact.text());
  EXPECT_EQ(t.tbSTVfreqact.text(), "999.041");
}

TEST_F(TimingTest, DesiredSclkRunsTheGroupOncePerCellWithTheOldLowPartFirst) {
  std::vector<std::string> dividers;
  const auto watching = t.tbSCLKdiv.subscribe([&](forms::ControlEvent) { dividers.push_back(t.tbSCLKdiv.text()); });
  typeInto(t.tbSCLKfreqdes, "20");
  // "2" kHz: divider 12499 is beyond 4095, so 4095 (15, 255); then "20" kHz:
  // 1249 (4, 225), its high part arriving while the low part is still 255.
  EXPECT_EQ(dividers, (std::vector<std::string>{"3903", "4095", "1279", "1249"}));
  EXPECT_EQ(t.tbSCLKfreqact.text(), "20.000");
  EXPECT_EQ(t.tbSTVtc.text(), "1320");
}

}  // namespace
}  // namespace glim::testing
