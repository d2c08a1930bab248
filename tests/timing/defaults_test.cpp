#include <array>
#include <string>
#include <utility>
#include <vector>

#include "timing_fixture.h"

namespace glim::testing {
namespace {

using forms::CheckBox;

TEST_F(TimingTest, CellsStartWithTheirDefaultTexts) {
  std::array<std::string, usb::protocol::kTimingBytes> expected;
  expected.fill("255");  // repeat counts and channel bytes
  const std::vector<std::pair<int, std::string>> others = {
      {0, "0"}, {1, "5"},  {2, "0"},  {3, "5"},   {4, "250"}, {5, "1"},  {6, "5"},  {7, "40"},
      {8, "0"}, {9, "63"}, {37, "0"}, {38, "10"}, {39, "20"}, {40, "5"}, {41, "5"}, {42, "5"}};
  for (const auto& [i, text] : others) expected[static_cast<std::size_t>(i)] = text;
  for (int i = 0; i < usb::protocol::kTimingBytes; ++i) {
    auto* box = p.main().form.findAs<forms::TextBox>("tbCPLDdata(" + std::to_string(i) + ")");
    ASSERT_NE(box, nullptr) << i;
    EXPECT_EQ(box->text(), expected[static_cast<std::size_t>(i)]) << "cell " << i;
  }
}

TEST_F(TimingTest, CompanionFieldsStartWithTheirDefaultsAndOnlyDisplaysAreLocked) {
  struct Field {
    const char* name;
    const char* text;
    bool locked;
  };
  const Field fields[] = {
      {"tbSICclkfreqdes", "50000", false},
      {"tbSICclkfreqact", "50000.0", true},
      {"tbPWMIclkfreqdes", "50000", false},
      {"tbPWMIclkfreqact", "50000.0", true},
      {"tbPWMIpw", "100", true},
      {"tbSTVpw", "2.560", true},
      {"tbSTVtc", "1320", false},
      {"tbSCLKdiv", "63", false},
      {"tbSTVfreqdes", "295.928", false},
      {"tbSTVfreqact", "295.928", true},
      {"tbSCLKfreqdes", "390.625", false},
      {"tbSCLKfreqact", "390.625", true},
  };
  for (const Field& f : fields) {
    auto* box = p.main().form.findAs<forms::TextBox>(f.name);
    ASSERT_NE(box, nullptr) << f.name;
    EXPECT_EQ(box->text(), f.text) << f.name;
    EXPECT_EQ(box->locked, f.locked) << f.name;
    EXPECT_TRUE(box->enabled()) << f.name;
  }
  // Typing into the two joined-value boxes runs nothing.
  EXPECT_FALSE(t.tbSTVtc.hasChangeHandler());
  EXPECT_FALSE(t.tbSCLKdiv.hasChangeHandler());
  t.tbSCLKdiv.setText("7");
  EXPECT_EQ(cellText(9), "63");
  EXPECT_EQ(t.tbSCLKfreqact.text(), "390.625");
}

TEST_F(TimingTest, ButtonsBoxesAndOptionsStartWithTheirCaptionsAndStates) {
  const std::pair<const char*, int> boxes[] = {{"STV Enable", CheckBox::Checked},
                                               {"PWMI Enable", CheckBox::Unchecked},
                                               {"SIC Enable", CheckBox::Unchecked},
                                               {"Serial Enable", CheckBox::Checked}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(t.cbCtrl[i].caption(), boxes[i].first);
    EXPECT_EQ(t.cbCtrl[i].value(), boxes[i].second) << i;
  }
  EXPECT_EQ(t.ob1Den[0].caption(), "0");
  EXPECT_EQ(t.ob1Den[1].caption(), "Z");
  EXPECT_EQ(t.ob1Den[2].caption(), "1");
  EXPECT_EQ(t.ob1DenGroup.selected(), &t.ob1Den[1]);
  EXPECT_EQ(t.obShutb[0].caption(), "0");
  EXPECT_EQ(t.obShutb[1].caption(), "1");
  EXPECT_EQ(t.obShutbGroup.selected(), &t.obShutb[1]);
  EXPECT_EQ(t.fr1Den.caption(), "1D EN");
  EXPECT_EQ(t.frShutb.caption(), "SHUTb");
  EXPECT_EQ(t.cbCopysic.caption(), "Copy SIC");
  EXPECT_EQ(t.cbCopyser.caption(), "Copy");
  EXPECT_EQ(t.cbWritesettings.caption(), "Write Settings");
}

TEST_F(TimingTest, NothingRunsWhileTheWindowIsBuilt) {
  // The default boxes stand for 9, but the enable cell is first recomputed at a
  // click: had a click handler run during construction it would hold 9.
  EXPECT_EQ(cellText(37), "0");
  EXPECT_TRUE(p.ui.boxes.empty());
  EXPECT_TRUE(p.transfers.empty());
}

TEST_F(TimingTest, DefaultDisplaysAgreeWithWhatTheGroupsCompute) {
  std::vector<std::string> before;
  const std::array<forms::TextBox*, 8> displays = {&t.tbSICclkfreqact, &t.tbPWMIclkfreqact, &t.tbPWMIpw,
                                                   &t.tbSTVpw,         &t.tbSTVtc,          &t.tbSCLKdiv,
                                                   &t.tbSTVfreqact,    &t.tbSCLKfreqact};
  for (auto* d : displays) before.push_back(d->text());
  for (int i : {0, 2, 3, 5, 6, 7, 8, 9}) cell(i).enterText(cellText(i));
  for (std::size_t k = 0; k < displays.size(); ++k) EXPECT_EQ(displays[k]->text(), before[k]) << displays[k]->name();
  // And the default desired texts reproduce the default cells.
  for (auto* d : {&t.tbSICclkfreqdes, &t.tbPWMIclkfreqdes, &t.tbSCLKfreqdes, &t.tbSTVfreqdes}) d->enterText(d->text());
  EXPECT_EQ(cellText(0), "0");
  EXPECT_EQ(cellText(2), "0");
  EXPECT_EQ(cellText(6), "5");
  EXPECT_EQ(cellText(7), "40");
  EXPECT_EQ(cellText(8), "0");
  EXPECT_EQ(cellText(9), "63");
}

}  // namespace
}  // namespace glim::testing
