// One keystroke in the desired SCLK field with its whole chain of nested
// handlers: the desired handler writes both divider cells, each cell runs its
// range check and the six-step SCLK/STV group. Typing must never lag, so this
// should stay far below a millisecond.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "support/sim_program.h"

namespace {

using glim::testing::SimProgram;

// Alternates between two texts whose dividers differ in both cells (1249 is
// 4, 225; 2499 is 9, 195), so every keystroke runs the group twice.
void sclkKeystroke(benchmark::State& state, bool withObservers) {
  SimProgram p;
  auto& t = p.main().timing;
  long changes = 0;
  std::vector<glim::forms::Connection> views;
  if (withObservers) {
    // One observer per control, standing in for the views that repaint them.
    for (auto* control : p.main().form.controls()) {
      views.push_back(control->subscribe([&changes](glim::forms::ControlEvent) { ++changes; }));
    }
  }
  const std::string texts[2] = {"20", "10"};
  int k = 0;
  for (auto _ : state) {
    t.tbSCLKfreqdes.setText(texts[k]);
    k ^= 1;
    benchmark::DoNotOptimize(t.tbSTVfreqact.text().data());
  }
  if (t.tbSCLKdiv.text() != "1249" && t.tbSCLKdiv.text() != "2499") state.SkipWithError("divider not written");
  state.counters["changes"] = benchmark::Counter(static_cast<double>(changes), benchmark::Counter::kAvgIterations);
}

void coreOnly(benchmark::State& state) { sclkKeystroke(state, false); }
void coreWithObservers(benchmark::State& state) { sclkKeystroke(state, true); }

BENCHMARK(coreOnly)->Name("SclkDesiredKeystroke/core");
BENCHMARK(coreWithObservers)->Name("SclkDesiredKeystroke/core_with_observers");

}  // namespace
