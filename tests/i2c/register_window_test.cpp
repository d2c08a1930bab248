#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "i2c/register_form.h"
#include "shell/program.h"
#include "support/recording_ui.h"
#include "support/sim_program.h"
#include "usb/sim/sim_driver.h"

namespace glim::i2c {
namespace {

using testing::SimProgram;
using Trace = std::vector<std::string>;

struct Row {
  int index;
  const char* label;
  const char* value;
};

TEST(RegisterWindow, NewWindowHoldsTheDefaultTextsInAddressOrder) {
  SimProgram p;
  RegisterForm& w = p.main().i2cWindow.get();
  EXPECT_EQ(w.form.name(), "Glimmora_i2c");
  EXPECT_EQ(w.form.caption(), "Glimmora QXB40218 USB interface i2c");
  EXPECT_EQ(w.Label1[22].caption(), "Slave Address");
  EXPECT_EQ(w.tbI2Caddr.text(), "5A");

  const Row rows[] = {
      {0, "0x00 PWM Brightness", "FF"},
      {1, "0x01 Device Control", "00"},
      {2, "0x02 Fault/Status", "00"},
      {3, "0x03 Identification", "B8"},
      {4, "0x04", "00"},
      {5, "0x05", "00"},
      {6, "0x06", "00"},
      {7, "0x07", "00"},
      {8, "0x08", "00"},
      {9, "0x09", "00"},
      {10, "0x0A GD", "4D"},
      {11, "0x0B GB", "B3"},
      {12, "0x0C DD", "00"},
      {13, "0x0D DM", "00"},
      {14, "0x0E DB", "00"},
      {15, "0x0F FD/DC/J", "29"},
      {16, "0x10 Max PWM 6-7", "FF"},
      {17, "0x11 Max PWM 7-8", "FF"},
      {18, "0x12 Max PWM 8-9", "FF"},
      {19, "0x13 Max PWM 9-10", "FF"},
      {20, "0x14 Max PWM 10-11", "FF"},
      {21, "0x15 Max PWM 11-12", "FF"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.index);
    EXPECT_EQ(w.Label1[r.index].caption(), r.label);
    EXPECT_EQ(w.tbI2Creg[r.index].text(), r.value);
    EXPECT_EQ(w.tbI2Cregread[r.index].text(), "0");
    EXPECT_EQ(w.cbWritei2c[r.index].caption(), "Write");
    EXPECT_EQ(w.cbReadi2c[r.index].caption(), "Read");
    EXPECT_EQ(w.cbCopyi2c[r.index].caption(), "Copy");
  }
  EXPECT_EQ(w.cbClose.caption(), "Close");
  EXPECT_EQ(w.cbWriteall.caption(), "Write All");
  EXPECT_EQ(w.cbReadall.caption(), "Read All");
  EXPECT_EQ(w.cbCopyall.caption(), "Copy All");

  // Every control is reachable by the name a script uses.
  EXPECT_EQ(p.main().resolve("Glimmora_i2c.tbI2Creg(21)"), &w.tbI2Creg[21]);
  EXPECT_EQ(p.main().resolve("Glimmora_i2c.Label1(22)"), &w.Label1[22]);
  EXPECT_EQ(p.main().resolve("Glimmora_i2c.cbCopyall"), &w.cbCopyall);
}

TEST(RegisterWindow, ObserversFollowTheWindowThroughItsLife) {
  SimProgram p;
  RegisterWindow& win = p.main().i2cWindow;
  Trace trace;
  const RegisterForm* told = nullptr;
  const auto watching =
      win.subscribe({[&](RegisterForm& f) {
                       told = &f;
                       trace.push_back("created");
                     },
                     [&](RegisterForm& f) { trace.push_back(&f == told ? "destroying it" : "destroying other"); },
                     [&](bool shown) { trace.push_back(shown ? "shown" : "hidden"); }});

  win.show();
  win.show();  // already shown: nothing to tell
  win.get().cbClose.click();
  win.get();
  win.unload();  // never shown: no hide to tell
  EXPECT_EQ(trace, (Trace{"created", "shown", "hidden", "destroying it", "created", "destroying it"}));
}

TEST(RegisterWindow, FormClosedByItsOwnHandlerIsFreedLaterNotDuringIt) {
  SimProgram p;
  RegisterWindow& win = p.main().i2cWindow;
  win.show();
  win.get().cbClose.click();
  // Its handler was on the stack when it was closed: kept aside until later.
  EXPECT_EQ(win.retiredCount(), 1u);
  win.get();
  EXPECT_EQ(win.retiredCount(), 0u);

  // Closed from outside its handlers (the script's close box, "Quit"): freed at once.
  win.unload();
  EXPECT_EQ(win.retiredCount(), 0u);
}

// While observers are told that a form closes, it stays, even when one of
// them brings the window back (which frees closed forms): the observers after
// it are still handed that form.
TEST(RegisterWindow, AClosedFormStaysUntilEveryObserverWasTold) {
  SimProgram p;
  RegisterWindow& win = p.main().i2cWindow;
  Trace trace;
  const auto showing = win.subscribe({nullptr, [&](RegisterForm&) { win.show(); }, nullptr});
  const auto watching = win.subscribe({nullptr,
                                       [&](RegisterForm& f) {
                                         // Checked before the form is touched: without the guard it is gone.
                                         if (win.retiredCount() != 1) return trace.push_back("freed while told");
                                         trace.push_back(f.tbI2Creg[3].text());
                                       },
                                       nullptr});
  win.get().tbI2Creg[3].setText("42");
  win.unload();
  EXPECT_EQ(trace, Trace{"42"});
  EXPECT_EQ(win.retiredCount(), 0u);              // freed once everyone was told
  EXPECT_EQ(win.get().tbI2Creg[3].text(), "B8");  // the window brought back is a new one
}

// A front end whose message box lets the user close the register window, as a
// modal box's own event loop does.
class ClosingUi : public testing::RecordingUi {
 public:
  void messageBox(const std::string& text, const std::string& caption) override {
    RecordingUi::messageBox(text, caption);
    if (window != nullptr) window->unload();
  }
  RegisterWindow* window = nullptr;
};

TEST(RegisterWindow, WriteAllStopsWhenTheWindowIsClosedDuringItsMessageBox) {
  ClosingUi ui;
  shell::Program program(std::make_unique<usb::sim::SimDriver>(), ui);
  RegisterWindow& win = program.main.i2cWindow;
  win.show();
  ui.window = &win;

  win.get().cbWriteall.click();  // no board: the first message box closes the window
  EXPECT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(win.state(), RegisterWindow::State::NotLoaded);  // not brought back with its defaults
  ui.window = nullptr;
  win.get();  // frees the closed form (ASan watches)
  EXPECT_EQ(win.retiredCount(), 0u);
}

}  // namespace
}  // namespace glim::i2c
