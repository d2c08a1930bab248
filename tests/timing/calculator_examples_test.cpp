#include <string>
#include <utility>
#include <vector>

#include "timing_fixture.h"

namespace glim::testing {
namespace {

using Texts = std::vector<std::pair<std::string, std::string>>;  // control name, text

struct Example {
  const char* what;
  Texts before;       // entered first, in order
  std::string field;  // then this text is entered here
  std::string text;
  Texts expected;
};

// Worked examples and pulse widths: enter a text, then read cells and displays.
const std::vector<Example> kExamples = {
    // Desired SIC and PWMI clocks.
    {"SIC 50000 kHz",
     {{"tbCPLDdata(0)", "9"}},
     "tbSICclkfreqdes",
     "50000",
     {{"tbCPLDdata(0)", "0"}, {"tbSICclkfreqact", "50000.0"}}},
    {"SIC 30000 kHz", {}, "tbSICclkfreqdes", "30000", {{"tbCPLDdata(0)", "2"}, {"tbSICclkfreqact", "25000.0"}}},
    {"SIC 10000 kHz", {}, "tbSICclkfreqdes", "10000", {{"tbCPLDdata(0)", "5"}, {"tbSICclkfreqact", "10000.0"}}},
    {"SIC 3000 kHz", {}, "tbSICclkfreqdes", "3000", {{"tbCPLDdata(0)", "17"}, {"tbSICclkfreqact", "2941.2"}}},
    {"SIC 100 kHz", {}, "tbSICclkfreqdes", "100", {{"tbCPLDdata(0)", "255"}, {"tbSICclkfreqact", "196.1"}}},
    {"SIC ratio just below 1.5",
     {{"tbCPLDdata(0)", "9"}},
     "tbSICclkfreqdes",
     "33334",
     {{"tbCPLDdata(0)", "0"}, {"tbSICclkfreqact", "50000.0"}}},
    {"SIC ratio just above 1.5",
     {},
     "tbSICclkfreqdes",
     "33333",
     {{"tbCPLDdata(0)", "2"}, {"tbSICclkfreqact", "25000.0"}}},
    {"PWMI 50000 kHz",
     {{"tbCPLDdata(2)", "9"}},
     "tbPWMIclkfreqdes",
     "50000",
     {{"tbCPLDdata(2)", "0"}, {"tbPWMIclkfreqact", "50000.0"}, {"tbPWMIpw", "100"}}},
    {"PWMI 30000 kHz",
     {},
     "tbPWMIclkfreqdes",
     "30000",
     {{"tbCPLDdata(2)", "2"}, {"tbPWMIclkfreqact", "25000.0"}, {"tbPWMIpw", "200"}}},
    {"PWMI ratio 255.1", {}, "tbPWMIclkfreqdes", "196", {{"tbCPLDdata(2)", "255"}}},
    {"PWMI desired 0 changes nothing",
     {{"tbCPLDdata(2)", "7"}},
     "tbPWMIclkfreqdes",
     "0",
     {{"tbCPLDdata(2)", "7"}, {"tbPWMIclkfreqact", "7142.9"}}},
    {"PWMI desired empty changes nothing", {{"tbCPLDdata(2)", "7"}}, "tbPWMIclkfreqdes", "", {{"tbCPLDdata(2)", "7"}}},
    {"PWMI desired abc changes nothing", {{"tbCPLDdata(2)", "7"}}, "tbPWMIclkfreqdes", "abc", {{"tbCPLDdata(2)", "7"}}},
    {"PWMI desired -5 changes nothing", {{"tbCPLDdata(2)", "7"}}, "tbPWMIclkfreqdes", "-5", {{"tbCPLDdata(2)", "7"}}},

    // Desired SCLK.
    {"SCLK 390.625 kHz",
     {{"tbCPLDdata(9)", "1"}},
     "tbSCLKfreqdes",
     "390.625",
     {{"tbCPLDdata(8)", "0"}, {"tbCPLDdata(9)", "63"}, {"tbSCLKdiv", "63"}, {"tbSCLKfreqact", "390.625"}}},
    {"SCLK 1000 kHz",
     {},
     "tbSCLKfreqdes",
     "1000",
     {{"tbCPLDdata(8)", "0"},
      {"tbCPLDdata(9)", "24"},
      {"tbSCLKdiv", "24"},
      {"tbSCLKfreqact", "1000.000"},
      // The STV count stays; its frequency follows the new SCLK.
      {"tbSTVtc", "1320"},
      {"tbSTVfreqact", "757.576"},
      {"tbSTVfreqdes", "295.928"}}},
    {"SCLK 20 kHz",
     {},
     "tbSCLKfreqdes",
     "20",
     {{"tbCPLDdata(8)", "4"}, {"tbCPLDdata(9)", "225"}, {"tbSCLKdiv", "1249"}, {"tbSCLKfreqact", "20.000"}}},
    {"SCLK 10 kHz",
     {},
     "tbSCLKfreqdes",
     "10",
     {{"tbCPLDdata(8)", "9"}, {"tbCPLDdata(9)", "195"}, {"tbSCLKdiv", "2499"}, {"tbSCLKfreqact", "10.000"}}},
    {"SCLK 5 kHz",
     {},
     "tbSCLKfreqdes",
     "5",
     {{"tbCPLDdata(8)", "15"}, {"tbCPLDdata(9)", "255"}, {"tbSCLKdiv", "4095"}, {"tbSCLKfreqact", "6.104"}}},
    {"SCLK 30000 kHz",
     {},
     "tbSCLKfreqdes",
     "30000",
     {{"tbCPLDdata(8)", "0"}, {"tbCPLDdata(9)", "0"}, {"tbSCLKdiv", "0"}, {"tbSCLKfreqact", "25000.000"}}},
    {"SCLK 12.2 kHz",
     {},
     "tbSCLKfreqdes",
     "12.2",
     {{"tbCPLDdata(8)", "8"}, {"tbCPLDdata(9)", "0"}, {"tbSCLKdiv", "2048"}, {"tbSCLKfreqact", "12.201"}}},
    {"SCLK 6.2 kHz",
     {},
     "tbSCLKfreqdes",
     "6.2",
     {{"tbCPLDdata(8)", "15"}, {"tbCPLDdata(9)", "191"}, {"tbSCLKdiv", "4031"}, {"tbSCLKfreqact", "6.200"}}},
    {"SCLK 6.1 kHz",
     {},
     "tbSCLKfreqdes",
     "6.1",
     {{"tbCPLDdata(8)", "15"}, {"tbCPLDdata(9)", "255"}, {"tbSCLKfreqact", "6.104"}}},
    {"SCLK 25000 kHz",
     {},
     "tbSCLKfreqdes",
     "25000",
     {{"tbCPLDdata(8)", "0"}, {"tbCPLDdata(9)", "0"}, {"tbSCLKfreqact", "25000.000"}}},

    // Desired STV frequency, with the default SCLK.
    {"STV 295.928 Hz",
     {{"tbCPLDdata(7)", "1"}},
     "tbSTVfreqdes",
     "295.928",
     {{"tbCPLDdata(6)", "5"}, {"tbCPLDdata(7)", "40"}, {"tbSTVtc", "1320"}, {"tbSTVfreqact", "295.928"}}},
    {"STV 1000 Hz",
     {},
     "tbSTVfreqdes",
     "1000",
     {{"tbCPLDdata(6)", "1"}, {"tbCPLDdata(7)", "135"}, {"tbSTVtc", "391"}, {"tbSTVfreqact", "999.041"}}},
    {"STV 60 Hz",
     {},
     "tbSTVfreqdes",
     "60",
     {{"tbCPLDdata(6)", "15"}, {"tbCPLDdata(7)", "255"}, {"tbSTVtc", "4095"}, {"tbSTVfreqact", "95.391"}}},
    {"STV from the displayed SCLK 195.313",
     {{"tbCPLDdata(9)", "127"}},
     "tbSTVfreqdes",
     "100",
     {{"tbSCLKfreqact", "195.313"},
      {"tbCPLDdata(6)", "7"},
      {"tbCPLDdata(7)", "161"},
      {"tbSTVtc", "1953"},
      {"tbSTVfreqact", "100.006"}}},

    // Pulse widths.
    {"PWMI width, undivided",
     {{"tbCPLDdata(2)", "3"}},
     "tbCPLDdata(2)",
     "0",
     {{"tbPWMIclkfreqact", "50000.0"}, {"tbPWMIpw", "100"}}},
    {"PWMI width from the rounded clock",
     {},
     "tbCPLDdata(2)",
     "3",
     {{"tbPWMIclkfreqact", "16666.7"}, {"tbPWMIpw", "299.9994000012"}}},
    // A fraction stays in its cell; the displays show what the byte sent for it gives.
    {"PWMI width of a fractional cell", {}, "tbCPLDdata(3)", "12.6", {{"tbCPLDdata(3)", "12.6"}, {"tbPWMIpw", "260"}}},
    {"PWMI width below a half", {}, "tbCPLDdata(3)", "0.4", {{"tbPWMIpw", "0"}}},
    {"SCLK divider with a half",
     {},
     "tbCPLDdata(9)",
     "62.5",
     {{"tbCPLDdata(9)", "62.5"}, {"tbSCLKdiv", "62"}, {"tbSCLKfreqact", "396.825"}, {"tbSTVfreqact", "300.625"}}},
    {"SIC divider below a half is undivided", {}, "tbCPLDdata(0)", "0.4", {{"tbSICclkfreqact", "50000.0"}}},
    {"SIC divider with a half goes to even", {}, "tbCPLDdata(0)", "2.5", {{"tbSICclkfreqact", "25000.0"}}},
    {"STV count with a half goes to even", {}, "tbCPLDdata(7)", "39.5", {{"tbSTVtc", "1320"}}},
    {"STV width 1", {{"tbCPLDdata(5)", "10"}}, "tbCPLDdata(5)", "1", {{"tbSTVpw", "2.560"}}},
    {"STV width 10", {}, "tbCPLDdata(5)", "10", {{"tbSTVpw", "25.600"}}},
    {"SCLK divider 127", {}, "tbCPLDdata(9)", "127", {{"tbSCLKdiv", "127"}, {"tbSCLKfreqact", "195.313"}}},
    {"cell 5 alone recomputes the whole group",
     {{"tbSTVtc", "x"}, {"tbSCLKdiv", "y"}},
     "tbCPLDdata(5)",
     "2",
     {{"tbSTVtc", "1320"},
      {"tbSCLKdiv", "63"},
      {"tbSCLKfreqact", "390.625"},
      {"tbSTVfreqact", "295.928"},
      {"tbSTVpw", "5.120"}}},
    {"STV low part corrected", {}, "tbCPLDdata(7)", "300", {{"tbCPLDdata(7)", "255"}, {"tbSTVtc", "1535"}}},
    {"non-numeric SIC divider",
     {{"tbCPLDdata(0)", "5"}},
     "tbCPLDdata(0)",
     "abc",
     {{"tbCPLDdata(0)", "abc"}, {"tbSICclkfreqact", "50000.0"}}},
    {"SIC divider 1 is undivided too", {}, "tbCPLDdata(0)", "1", {{"tbSICclkfreqact", "50000.0"}}},
};

TEST(TimingExamples, EachExampleGivesItsCellsAndDisplays) {
  for (const Example& ex : kExamples) {
    SCOPED_TRACE(ex.what);
    SimProgram p;
    auto& form = p.main().form;
    for (const auto& [name, text] : ex.before) {
      auto* box = form.findAs<forms::TextBox>(name);
      ASSERT_NE(box, nullptr) << name;
      box->enterText(text);
    }
    auto* field = form.findAs<forms::TextBox>(ex.field);
    ASSERT_NE(field, nullptr) << ex.field;
    field->enterText(ex.text);
    for (const auto& [name, text] : ex.expected) {
      auto* box = form.findAs<forms::TextBox>(name);
      ASSERT_NE(box, nullptr) << name;
      EXPECT_EQ(box->text(), text) << name;
    }
  }
}

}  // namespace
}  // namespace glim::testing
