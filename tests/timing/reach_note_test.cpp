// The notes on actual fields that are not what was asked for: which wishes
// the dividers and counts cannot meet, and why.
#include "timing/reach_note.h"

#include <string>
#include <vector>

#include "timing_fixture.h"

namespace glim::testing {
namespace {

struct Wish {
  const char* field;  // desired field typed into
  const char* text;
  const char* actual;  // the actual field that carries the note
  std::string note;    // empty: none
};

const std::vector<Wish> kWishes = {
    {"tbSICclkfreqdes", "20", "tbSICclkfreqact",
     "20 kHz cannot be reached: the divider's largest value gives 196.1 kHz"},
    {"tbSICclkfreqdes", "196", "tbSICclkfreqact", ""},  // 196.1 is within 1 %
    {"tbSICclkfreqdes", "10000", "tbSICclkfreqact", ""},
    {"tbSICclkfreqdes", "30000", "tbSICclkfreqact",
     "30000 kHz cannot be reached: the nearest whole divider, 2, gives 25000.0 kHz"},
    {"tbPWMIclkfreqdes", "40000", "tbPWMIclkfreqact",
     "40000 kHz cannot be reached: the undivided clock gives 50000.0 kHz"},
    {"tbPWMIclkfreqdes", "0", "tbPWMIclkfreqact", ""},  // nothing asked
    {"tbSCLKfreqdes", "5", "tbSCLKfreqact", "5 kHz cannot be reached: the divider's largest value gives 6.104 kHz"},
    {"tbSCLKfreqdes", "30000", "tbSCLKfreqact",
     "30000 kHz cannot be reached: the divider's smallest value gives 25000.000 kHz"},
    {"tbSCLKfreqdes", "12.2", "tbSCLKfreqact", ""},
    {"tbSTVfreqdes", "1", "tbSTVfreqact", "1 Hz cannot be reached: the count's largest value gives 95.391 Hz"},
    {"tbSTVfreqdes", "300", "tbSTVfreqact", ""},
    {"tbSTVfreqdes", "500000", "tbSTVfreqact",
     "500000 Hz cannot be reached: the SCLK/STV clock, 390.625 kHz, is too slow for it"},
};

class ReachNoteTest : public TimingTest {
 protected:
  forms::TextBox& box(const char* name) { return *dynamic_cast<forms::TextBox*>(p.main().form.find(name)); }
};

TEST_F(ReachNoteTest, WishesTheBoardCannotMeetAreNoted) {
  for (const Wish& wish : kWishes) {
    SimProgram fresh;
    auto& field = *dynamic_cast<forms::TextBox*>(fresh.main().form.find(wish.field));
    typeInto(field, wish.text);
    EXPECT_EQ(dynamic_cast<forms::TextBox*>(fresh.main().form.find(wish.actual))->note(), wish.note)
        << wish.field << " = " << wish.text;
  }
}

// At the defaults nothing is noted; a divider typed by hand that leaves the
// desired value behind is noted, and a desired value put right clears it.
TEST_F(ReachNoteTest, DefaultsAndHandTypedDividers) {
  for (const char* name : {"tbSICclkfreqact", "tbPWMIclkfreqact", "tbSCLKfreqact", "tbSTVfreqact"}) {
    EXPECT_EQ(box(name).note(), "") << name;
  }
  typeInto(cell(0), "100");
  EXPECT_EQ(box("tbSICclkfreqact").note(), "the divider holds 100, not the 0 that 50000 kHz asks for");
  typeInto(t.tbSICclkfreqdes, "500");
  EXPECT_EQ(cellText(0), "100");
  EXPECT_EQ(box("tbSICclkfreqact").note(), "");
  // A new SCLK leaves the STV count for the old one: STV is noted until asked again.
  typeInto(t.tbSCLKfreqdes, "1000");
  EXPECT_EQ(box("tbSTVfreqact").note(),
            "the STV count holds 1320, not the 3379 that 295.928 Hz asks for at this "
            "SCLK/STV clock");
  typeInto(t.tbSTVfreqdes, "295.928");
  EXPECT_EQ(box("tbSTVfreqact").note(), "");
}

}  // namespace
}  // namespace glim::testing
