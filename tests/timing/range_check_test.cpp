#include <string>
#include <vector>

#include "timing_fixture.h"

namespace glim::testing {
namespace {

struct RangeCase {
  int cell;
  std::string typed;
  std::string kept;  // the cell's text afterwards
};

TEST_F(TimingTest, RangeCheckCorrectsOnlyValuesOutsideTheBounds) {
  const std::vector<RangeCase> cases = {
      {9, "300", "255"},    {6, "16", "15"},
      {8, "16", "15"},      {7, "16", "16"},
      {20, "-3", "0"},      {0, "abc", "abc"},
      {12, "", ""},         {3, "12.6", "12.6"},
      {10, "&H1F", "&H1F"}, {10, "1e3", "255"},
      {13, "255", "255"},   {13, "255.4", "255"},
      {14, "-0.5", "0"},    {6, "15", "15"},
      {6, "15.01", "15"},   {37, "200", "200"},
      {4, "1e400", "255"},  {8, "1e400", "15"},
      {5, "-1e400", "0"},   {6, "-1e400", "0"},
      {11, "&HFFFF", "0"},  {40, " 2 5 6", "255"},
      {41, "7.5", "7.5"},   {42, "256abc", "255"},
      {1, "1D3", "255"},    {2, "0.0000001", "0.0000001"},
  };
  for (const RangeCase& c : cases) {
    cell(c.cell).setText(c.typed);
    EXPECT_EQ(cellText(c.cell), c.kept) << "cell " << c.cell << " typed \"" << c.typed << "\"";
  }
  EXPECT_TRUE(p.ui.boxes.empty());
  EXPECT_EQ(p.log().find("tbCPLDdata"), std::string::npos);
}

TEST_F(TimingTest, TypingIsRangeTestedDigitByDigit) {
  std::vector<std::string> seen;
  const auto watching = cell(9).subscribe([&](forms::ControlEvent) { seen.push_back(cellText(9)); });
  typeInto(cell(9), "300");
  EXPECT_EQ(seen, (std::vector<std::string>{"3", "30", "300", "255"}));
  EXPECT_EQ(t.tbSCLKdiv.text(), "255");
  EXPECT_EQ(t.tbSCLKfreqact.text(), "97.656");
}

TEST_F(TimingTest, CorrectedCellRunsItsGroupAgainAndNoDisplaySeesTheOutOfRangeValue) {
  std::vector<std::string> dividers;
  const auto watchingDivider =
      t.tbSCLKdiv.subscribe([&](forms::ControlEvent) { dividers.push_back(t.tbSCLKdiv.text()); });
  int sclkWrites = 0;
  const auto watchingSclk = t.tbSCLKfreqact.subscribe([&](forms::ControlEvent) { ++sclkWrites; });
  cell(8).setText("40");
  // The nested run computes from "15"; the outer run recomputes the same.
  EXPECT_EQ(cellText(8), "15");
  EXPECT_EQ(dividers, (std::vector<std::string>{"3903"}));
  EXPECT_EQ(sclkWrites, 1);
  EXPECT_EQ(t.tbSCLKfreqact.text(), "6.404");
}

TEST_F(TimingTest, CellsOutsideTheGroupsChangeNoDisplay) {
  std::vector<std::string> changed;
  std::vector<forms::Connection> watching;
  for (auto* d : {&t.tbSICclkfreqact, &t.tbPWMIclkfreqact, &t.tbPWMIpw, &t.tbSTVpw, &t.tbSTVtc, &t.tbSCLKdiv,
                  &t.tbSTVfreqact, &t.tbSCLKfreqact}) {
    watching.push_back(d->subscribe([&changed, d](forms::ControlEvent) { changed.push_back(d->name()); }));
  }
  for (int i : {1, 4, 10, 13, 20, 36, 37, 38, 39, 40, 41, 42}) cell(i).setText("17");
  EXPECT_TRUE(changed.empty());
}

TEST_F(TimingTest, ZeroStvCountShowsNoFiniteFrequencyAndTheGroupCompletes) {
  cell(6).setText("0");
  cell(5).setText("4");
  cell(7).setText("0");
  EXPECT_EQ(t.tbSTVtc.text(), "0");
  EXPECT_EQ(t.tbSTVfreqact.text(), "infinite");
  // The steps after the frequency still ran.
  EXPECT_EQ(t.tbSTVpw.text(), "10.240");
  cell(9).setText("127");
  EXPECT_EQ(t.tbSCLKfreqact.text(), "195.313");
  EXPECT_EQ(t.tbSTVpw.text(), "20.480");
  EXPECT_EQ(t.tbSTVfreqact.text(), "infinite");
  cell(7).setText("1");
  EXPECT_EQ(t.tbSTVfreqact.text(), "195312.500");
}

TEST_F(TimingTest, ZeroCountPassedOnTheWayIsHarmless) {
  cell(6).setText("2");
  cell(7).setText("0");  // count 512
  std::vector<std::string> shown;
  const auto watching = t.tbSTVfreqact.subscribe([&](forms::ControlEvent) { shown.push_back(t.tbSTVfreqact.text()); });
  t.tbSTVfreqdes.setText("78125");  // count 5: high part 0 first, low part 0 still
  EXPECT_EQ(shown, (std::vector<std::string>{"infinite", "78125.000"}));
  EXPECT_EQ(cellText(7), "5");
}

TEST_F(TimingTest, ExtremeInputsNeverCrashNorShowMadeUpNumbers) {
  t.tbSCLKfreqdes.setText("1e-300");  // ratio beyond any double: slowest clock
  EXPECT_EQ(t.tbSCLKdiv.text(), "4095");
  t.tbSCLKfreqdes.setText("1e400");
  EXPECT_EQ(t.tbSCLKdiv.text(), "0");
  t.tbSICclkfreqdes.setText("1e-300");
  EXPECT_EQ(cellText(0), "255");
  t.tbSICclkfreqdes.setText("1e400");
  EXPECT_EQ(cellText(0), "0");
  t.tbSTVfreqdes.setText("1e-300");
  EXPECT_EQ(t.tbSTVtc.text(), "4095");
  t.tbSTVfreqdes.setText("1e400");
  EXPECT_EQ(t.tbSTVtc.text(), "0");
  EXPECT_EQ(t.tbSTVfreqact.text(), "infinite");
  // A divider too small for a byte is sent as 0: the clock runs undivided.
  cell(2).setText("1e-310");
  EXPECT_EQ(t.tbPWMIclkfreqact.text(), "50000.0");
  EXPECT_EQ(t.tbPWMIpw.text(), "100");
  cell(0).setText("1e-310");
  EXPECT_EQ(t.tbSICclkfreqact.text(), "50000.0");
  EXPECT_TRUE(p.ui.boxes.empty());
}

}  // namespace
}  // namespace glim::testing
