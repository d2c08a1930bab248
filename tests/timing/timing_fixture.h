#pragma once
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "support/sim_program.h"
#include "timing/timing_panel.h"

namespace glim::testing {

// The user selects all of a box's text and types `text` one character at a
// time; each character goes at the end of the text as it then stands.
inline void typeInto(forms::TextBox& box, std::string_view text) {
  if (text.empty()) {
    box.setText("");
    return;
  }
  box.setText(std::string(1, text.front()));
  for (char c : text.substr(1)) box.setText(box.text() + c);
}

class TimingTest : public ::testing::Test {
 protected:
  forms::TextBox& cell(int i) { return t.tbCPLDdata[i]; }
  const std::string& cellText(int i) { return t.tbCPLDdata[i].text(); }

  SimProgram p;
  timing::TimingPanel& t = p.main().timing;
};

}  // namespace glim::testing
