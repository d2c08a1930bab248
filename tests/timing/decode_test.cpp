#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "text/text_value.h"
#include "timing/display_text.h"
#include "timing_fixture.h"
#include "usb/sim/timing_decode.h"

namespace glim::testing {
namespace {

using usb::sim::decodeTiming;

std::array<uint8_t, 43> payload(const std::vector<uint8_t>& packet) {
  std::array<uint8_t, 43> bytes{};
  for (std::size_t k = 0; k < bytes.size(); ++k) bytes[k] = packet.at(k + 1);
  return bytes;
}

struct Setting {
  const char* what;
  std::vector<std::pair<std::string, std::string>> entries;  // control name, text
  int oneDen = 1;  // "Z": sent by Write Settings; otherwise by choosing the option
  std::vector<std::string> enabled = {"STV", "Serial"};
};

TEST(TimingDecode, WrittenBytesDecodeToTheDisplayedValues) {
  const std::vector<Setting> settings = {
      {"defaults", {}},
      {"divided clocks",
       {{"tbSICclkfreqdes", "3000"}, {"tbPWMIclkfreqdes", "16666"}, {"tbSCLKfreqdes", "20"}, {"tbSTVfreqdes", "60"}}},
      {"fast SCLK", {{"tbSCLKfreqdes", "30000"}, {"tbSTVfreqdes", "1000"}, {"tbCPLDdata(5)", "200"}}},
      {"slowest SCLK", {{"tbSCLKfreqdes", "5"}, {"tbSTVfreqdes", "7"}, {"tbCPLDdata(3)", "255"}}},
      {"zero STV count", {{"tbCPLDdata(6)", "0"}, {"tbCPLDdata(7)", "0"}}},
      {"1D EN 1", {{"tbCPLDdata(9)", "127"}, {"tbSTVfreqdes", "100"}}, 2, {"STV", "PWMI", "SIC"}},
      {"1D EN 0", {{"tbCPLDdata(2)", "3"}, {"tbCPLDdata(3)", "12"}}, 0, {"PWMI"}},
  };
  for (const Setting& s : settings) {
    SCOPED_TRACE(s.what);
    SimProgram p;
    p.plug();
    auto& t = p.main().timing;
    for (const auto& [name, text] : s.entries) p.main().form.findAs<forms::TextBox>(name)->setText(text);
    if (s.oneDen == 1) {
      t.cbWritesettings.click();
    } else {
      t.ob1Den[s.oneDen].userClick();
    }
    ASSERT_EQ(p.written(3).size(), 1u);
    const auto d = decodeTiming(payload(p.written(3).front()));

    EXPECT_EQ(timing::fixedText(d.sicClockKHz, 1), t.tbSICclkfreqact.text());
    EXPECT_EQ(timing::fixedText(d.pwmiClockKHz, 1), t.tbPWMIclkfreqact.text());
    EXPECT_EQ(std::to_string(d.sclkDivider), t.tbSCLKdiv.text());
    EXPECT_EQ(std::to_string(d.stvCount), t.tbSTVtc.text());
    EXPECT_EQ(timing::fixedText(d.sclkKHz, 3), t.tbSCLKfreqact.text());
    EXPECT_EQ(timing::fixedText(d.stvFrequencyHz, 3), t.tbSTVfreqact.text());
    EXPECT_EQ(timing::fixedText(d.stvPulseUs, 3), t.tbSTVpw.text());
    // The window computes the PWMI width from the clock rounded to 0.1 kHz.
    const double shownPw = text::GetTextValue(t.tbPWMIpw.text());
    EXPECT_NEAR(d.pwmiPulseNs, shownPw, shownPw * 1e-5);
    if (d.stvCount == 0) {
      EXPECT_EQ(d.stvPeriodUs, 0);
    } else {
      EXPECT_NEAR(d.stvPeriodUs * d.stvFrequencyHz, 1e6, 1e-6);
    }
    EXPECT_EQ(d.enabledNames, s.enabled);
    EXPECT_EQ(std::to_string(d.enableBits), t.tbCPLDdata[37].text());
    // The board keeps what it was given.
    const auto board = p.sim->boardState(1);
    EXPECT_TRUE(board.timingWritten);
    EXPECT_EQ(board.timing, payload(p.written(3).front()));
  }
}

TEST(TimingDecode, SicPulsesRepeatsAndSerialBlocksComeFromTheirBytes) {
  std::array<uint8_t, 43> b{};
  b[0] = 5;  // SIC clock 10000 kHz: 100 ns a period
  b[1] = 3;
  b[38] = 4;
  b[39] = 250;
  b[40] = 7;
  b[41] = 8;
  b[42] = 9;
  for (int i = 10; i <= 36; ++i) b[static_cast<std::size_t>(i)] = static_cast<uint8_t>(i);
  b[37] = 0x0F | 0xF0;  // the upper bits name nothing
  b[8] = 0xF1;          // only bits 11..8 of the divider exist
  b[9] = 0x02;
  const auto d = decodeTiming(b);
  EXPECT_EQ(d.sicPulseNs, (std::array<double, 3>{300, 400, 25000}));
  EXPECT_EQ(d.sicRepeats, (std::array<int, 3>{7, 8, 9}));
  EXPECT_EQ(d.serialRepeats, (std::array<int, 3>{10, 11, 12}));
  EXPECT_EQ(d.channels[0][0], 13);
  EXPECT_EQ(d.channels[1][0], 21);
  EXPECT_EQ(d.channels[2][7], 36);
  EXPECT_EQ(d.sclkDivider, 0x102u);
  EXPECT_EQ(d.enabledNames, (std::vector<std::string>{"STV", "PWMI", "SIC", "Serial"}));
  EXPECT_EQ(d.stvCount, 0u);
  EXPECT_TRUE(std::isinf(d.stvFrequencyHz));
}

}  // namespace
}  // namespace glim::testing
