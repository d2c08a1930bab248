#include "script/control_actions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace glim::script {
namespace {

// A text box that records the text its change handler saw each time.
struct WatchedBox {
  forms::TextBox box{"tbWatched"};
  std::vector<std::string> seen;
  WatchedBox() {
    box.setChangeHandler([this] { seen.push_back(box.text()); });
  }
};

TEST(TypeInto, OneChangePerCharacterFirstReplacingEverything) {
  WatchedBox w;
  w.box.setText("old text");
  w.seen.clear();
  typeInto(w.box, "12 5");
  EXPECT_EQ(w.seen, (std::vector<std::string>{"1", "12", "12 ", "12 5"}));
  EXPECT_EQ(w.box.text(), "12 5");
  // Retyping what is there is still a keystroke, hence a change.
  w.seen.clear();
  typeInto(w.box, "1");
  EXPECT_EQ(w.seen, (std::vector<std::string>{"1"}));
  typeInto(w.box, "1");
  EXPECT_EQ(w.seen, (std::vector<std::string>{"1", "1"}));
}

TEST(TypeInto, EmptyTextDeletesTheSelectionOnce) {
  WatchedBox w;
  w.box.setText("abc");
  w.seen.clear();
  typeInto(w.box, "");
  EXPECT_EQ(w.seen, (std::vector<std::string>{""}));
  typeInto(w.box, "");
  EXPECT_EQ(w.seen.size(), 1u) << "deleting nothing is no change";
}

TEST(TypeInto, FurtherCharactersGoAtTheEndOfTheTextAHandlerLeft) {
  // A handler that keeps at most two characters, as a field with a limit does.
  forms::TextBox box{"tbLimited"};
  std::vector<std::string> seen;
  box.setChangeHandler([&] {
    seen.push_back(box.text());
    if (box.text().size() > 2) box.setText(box.text().substr(1));
  });
  typeInto(box, "abcd");
  EXPECT_EQ(seen, (std::vector<std::string>{"a", "ab", "abc", "bc", "bcd", "cd"}));
  EXPECT_EQ(box.text(), "cd");
}

TEST(TypeInto, MultiByteCharactersAreTypedWhole) {
  WatchedBox w;
  typeInto(w.box, "\xC2\xB5s");  // "µs"
  EXPECT_EQ(w.seen, (std::vector<std::string>{"\xC2\xB5", "\xC2\xB5s"}));
}

}  // namespace
}  // namespace glim::script
