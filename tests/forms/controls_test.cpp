#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/control.h"

namespace glim::forms {
namespace {

using Trace = std::vector<std::string>;

TEST(TextBox, ChangeHandlerRunsNestedBeforeTheSetterContinues) {
  TextBox a("tbA");
  TextBox b("tbB");
  Trace trace;
  a.setChangeHandler([&] {
    trace.push_back("a sees " + a.text());
    b.setText(a.text() + "0");
    trace.push_back("a ends, b is " + b.text());
  });
  b.setChangeHandler([&] { trace.push_back("b sees " + b.text()); });

  a.setText("1");
  trace.push_back("setter returned");
  EXPECT_EQ(trace, (Trace{"a sees 1", "b sees 10", "a ends, b is 10", "setter returned"}));
}

TEST(TextBox, HandlerThatCorrectsItsOwnTextRunsAgainOnce) {
  TextBox cell("tbCPLDdata", 9);
  Trace trace;
  cell.setChangeHandler([&] {
    trace.push_back(cell.text());
    if (cell.text() == "300") cell.setText("255");
  });
  cell.setText("300");
  EXPECT_EQ(cell.text(), "255");
  EXPECT_EQ(trace, (Trace{"300", "255"}));
}

TEST(TextBox, SameTextIsNoChangeButEnteredTextAlwaysIs) {
  TextBox box("tbX");
  int changes = 0;
  int viewEvents = 0;
  box.setChangeHandler([&] { ++changes; });
  const auto view = box.subscribe([&](ControlEvent) { ++viewEvents; });

  box.setText("5");
  box.setText("5");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(viewEvents, 1);
  box.enterText("5");
  EXPECT_EQ(changes, 2);
}

TEST(TextBox, ViewsAreToldBeforeTheHandlerRuns) {
  TextBox box("tbX");
  Trace trace;
  const auto view = box.subscribe([&](ControlEvent e) {
    if (e == ControlEvent::Text) trace.push_back("view " + box.text());
  });
  box.setChangeHandler([&] { trace.push_back("handler " + box.text()); });
  box.setText("7");
  EXPECT_EQ(trace, (Trace{"view 7", "handler 7"}));
}

TEST(TextBox, AppendPutsTheCaretAtTheEndEvenOverASelection) {
  TextBox box("txtLog");
  int changes = 0;
  box.setChangeHandler([&] { ++changes; });
  box.setText("hello");
  box.setSelection(1, 3);
  ASSERT_EQ(box.selStart(), 1u);
  ASSERT_EQ(box.selLength(), 3u);

  box.appendText(" world");
  EXPECT_EQ(box.text(), "hello world");
  EXPECT_EQ(box.selStart(), box.text().size());
  EXPECT_EQ(box.selLength(), 0u);
  EXPECT_EQ(box.lastAppended(), " world");
  EXPECT_EQ(changes, 2);

  box.setSelection(0, 2);
  box.appendText("");  // no change of text, but the caret still moves
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(box.selStart(), box.text().size());
}

TEST(TextBox, SelectionIsKeptInsideTheText) {
  TextBox box("tbX");
  box.setText("abc");
  box.setSelection(10, 5);
  EXPECT_EQ(box.selStart(), 3u);
  EXPECT_EQ(box.selLength(), 0u);
  box.setSelection(1, 99);
  EXPECT_EQ(box.selLength(), 2u);
  box.setText("a");
  EXPECT_LE(box.selStart(), 1u);
  EXPECT_EQ(box.selLength(), 0u);
}

TEST(CheckBox, ProgramChangeAndUserClickRunTheClickHandler) {
  CheckBox box("cbCtrl", 0);
  std::vector<int> seen;
  box.setClickHandler([&] { seen.push_back(box.value()); });

  box.setValue(CheckBox::Checked);
  box.setValue(CheckBox::Checked);  // unchanged: no click
  box.setValue(CheckBox::Unchecked);
  box.userClick();
  box.userClick();
  box.setValue(CheckBox::Grayed);
  box.userClick();  // a greyed box becomes unchecked
  EXPECT_EQ(seen, (std::vector<int>{1, 0, 1, 0, 2, 0}));
}

TEST(OptionButton, SelectingClearsTheGroupAndClicksOnlyWhenNew) {
  OptionGroup group;
  OptionButton a("obA", -1, group);
  OptionButton b("obB", -1, group);
  OptionButton c("obC", -1, group);
  Trace trace;
  auto record = [&](const OptionButton& o) {
    return [&, name = o.name()] {
      std::string state;
      for (const OptionButton* x : group.buttons()) state += x->value() ? '1' : '0';
      trace.push_back(name + " " + state);
    };
  };
  a.setClickHandler(record(a));
  b.setClickHandler(record(b));
  c.setClickHandler(record(c));

  a.setValue(true);
  b.setValue(true);   // the handler already sees a cleared
  b.setValue(true);   // already selected: nothing
  b.userClick();      // the user's click always counts
  b.setValue(false);  // clearing runs nothing
  EXPECT_EQ(group.selected(), nullptr);
  c.userClick();
  EXPECT_EQ(trace, (Trace{"obA 100", "obB 010", "obB 010", "obC 001"}));
  EXPECT_EQ(group.selected(), &c);
}

TEST(CommandButton, ClickRunsTheHandlerAndMenuItemsKeepTheirShortcut) {
  MenuItem exit("nMenuFileExit", "E&xit", "Ctrl+X");
  int clicks = 0;
  exit.setClickHandler([&] { ++clicks; });
  exit.click();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(exit.caption(), "E&xit");
  EXPECT_EQ(exit.shortcut(), "Ctrl+X");
  CommandButton none("cbQuit");
  none.click();  // no handler: nothing happens
}

TEST(Control, EnabledAndCaptionChangesAreToldOnce) {
  Label label("lblLog", -1, "Log:");
  std::vector<ControlEvent> events;
  auto view = label.subscribe([&](ControlEvent e) { events.push_back(e); });
  label.setCaption("Log:");
  label.setCaption("Log");
  label.setEnabled(true);
  label.setEnabled(false);
  view.disconnect();
  label.setEnabled(true);
  EXPECT_EQ(events, (std::vector<ControlEvent>{ControlEvent::Caption, ControlEvent::Enabled}));
}

}  // namespace
}  // namespace glim::forms
