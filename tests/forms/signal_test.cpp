#include "forms/signal.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace glim::forms {
namespace {

using Trace = std::vector<std::string>;
using IntSignal = Signal<std::function<void(int)>>;

// Observers "a", "b", "c" connected in that order; `during` runs inside "a"
// on the first notification. Then the signal notifies twice.
struct ChangeCase {
  const char* what;
  std::function<void(IntSignal&, std::vector<int>& ids, Trace&)> during;
  Trace expected;
};

TEST(Signal, ChangesMadeWhileObserversAreToldFollowOneRule) {
  const std::vector<ChangeCase> cases = {
      {"removed later one is not told, not even now",
       [](IntSignal& s, std::vector<int>& ids, Trace&) { s.disconnect(ids[2]); },
       {"a1", "b1", "a2", "b2"}},
      {"removing itself ends its own turn only",
       [](IntSignal& s, std::vector<int>& ids, Trace&) { s.disconnect(ids[0]); },
       {"a1", "b1", "c1", "b2", "c2"}},
      {"removed earlier one is told from the next time on",
       [](IntSignal& s, std::vector<int>& ids, Trace&) {
         s.disconnect(ids[0]);
         s.disconnect(ids[1]);
       },
       {"a1", "c1", "c2"}},
      {"added one is told from the next notification on",
       [](IntSignal& s, std::vector<int>&, Trace& trace) {
         s.connect([&trace](int n) { trace.push_back("d" + std::to_string(n)); });
       },
       {"a1", "b1", "c1", "a2", "b2", "c2", "d2"}},
      {"nested notification is a notification of its own",
       [](IntSignal& s, std::vector<int>& ids, Trace&) {
         s.disconnect(ids[1]);
         s.notify(9);
       },
       {"a1", "a9", "c9", "c1", "a2", "c2"}},
  };
  for (const ChangeCase& c : cases) {
    SCOPED_TRACE(c.what);
    IntSignal signal;
    Trace trace;
    std::vector<int> ids;
    bool first = true;
    ids.push_back(signal.connect([&](int n) {
      trace.push_back("a" + std::to_string(n));
      if (n == 1 && first) {
        first = false;
        c.during(signal, ids, trace);
      }
    }));
    ids.push_back(signal.connect([&](int n) { trace.push_back("b" + std::to_string(n)); }));
    ids.push_back(signal.connect([&](int n) { trace.push_back("c" + std::to_string(n)); }));
    signal.notify(1);
    signal.notify(2);
    EXPECT_EQ(trace, c.expected);
  }
}

TEST(Signal, IdsAreNeverReusedSoAStaleIdRemovesNothing) {
  IntSignal signal;
  Trace trace;
  const int first = signal.connect([&](int) { trace.push_back("first"); });
  signal.disconnect(first);
  const int second = signal.connect([&](int) { trace.push_back("second"); });
  EXPECT_NE(first, second);
  EXPECT_NE(second, 0);
  signal.disconnect(first);
  signal.notify(0);
  EXPECT_EQ(trace, Trace{"second"});
}

// Scoped connections, and a signal that goes before its connections.
TEST(Signal, AConnectionHoldsItsPlaceUntilItGoesInWhateverOrder) {
  Trace trace;
  auto told = [&trace](const char* who) { return [&trace, who](int) { trace.push_back(who); }; };
  auto signal = std::make_unique<IntSignal>();
  Connection first = signal->connectScoped(told("first"));
  {
    const Connection inner = signal->connectScoped(told("inner"));
    signal->notify(0);
  }
  EXPECT_EQ(trace, (Trace{"first", "inner"}));

  // Moved: the place goes with it, once; the one moved from lets go of nothing.
  Connection moved = std::move(first);
  EXPECT_FALSE(first.connected());  // NOLINT(bugprone-use-after-move): moved-from state is defined
  first.disconnect();
  EXPECT_TRUE(moved.connected());
  // Assigned another: the one it held is given up.
  Connection other = signal->connectScoped(told("other"));
  moved = std::move(other);
  trace.clear();
  signal->notify(0);
  EXPECT_EQ(trace, Trace{"other"});

  // Disconnecting itself while told: not told again, and the others are.
  Connection last;
  Connection self;
  self = signal->connectScoped([&](int) {
    trace.push_back("self");
    self.disconnect();
  });
  last = signal->connectScoped(told("last"));
  trace.clear();
  signal->notify(0);
  signal->notify(0);
  EXPECT_EQ(trace, (Trace{"other", "self", "last", "other", "last"}));

  // The signal goes first: its connections are left with nothing to give up.
  signal.reset();
  EXPECT_FALSE(moved.connected());
  EXPECT_FALSE(last.connected());
  last.disconnect();
  Connection afterwards = std::move(moved);
}

}  // namespace
}  // namespace glim::forms
