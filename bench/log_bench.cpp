// Appending to the log pane must cost the same per entry however long the log
// already is: 100,000 entries should take about ten times as long as 10,000.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "forms/control.h"
#include "forms/log.h"

namespace {

using glim::forms::ControlEvent;
using glim::forms::Log;
using glim::forms::TextBox;

constexpr std::string_view kEntry = "DeviceAttach: Received attach for device handle &H5A3C01F0";

// Growing a multi-megabyte text touches fresh pages, and on a virtual machine
// those first touches can cost more than the appends themselves. glibc keeps
// freed blocks up to the size of the largest one it has unmapped, so freeing one
// large block first lets every case reuse resident memory; otherwise whichever
// case happens to run first pays for the kernel's work and the ratio between
// the sizes says nothing about the appends.
const bool kAllocatorWarmed = [] {
  constexpr std::size_t kBytes = 24u << 20;
  auto* block = static_cast<char*>(std::malloc(kBytes));
  if (block != nullptr) {
    for (std::size_t i = 0; i < kBytes; i += 4096) block[i] = 1;
    benchmark::DoNotOptimize(block);
  }
  std::free(block);
  return true;
}();

// Through the log writers into txtLog, with one observer standing in for the
// view that shows each appended part.
void logEntries(benchmark::State& state) {
  const auto entries = state.range(0);
  for (auto _ : state) {
    TextBox txtLog("txtLog");
    txtLog.multiLine = true;
    std::size_t shown = 0;
    const auto view = txtLog.subscribe([&](ControlEvent e) {
      if (e == ControlEvent::Appended) shown += txtLog.lastAppended().size();
    });
    Log log(txtLog);
    for (int64_t i = 0; i < entries; ++i) {
      if (i % 2 == 0) {
        log.logMessage(kEntry);
      } else {
        log.logError(kEntry);
      }
    }
    benchmark::DoNotOptimize(shown);
    benchmark::DoNotOptimize(txtLog.text().data());
  }
  state.SetItemsProcessed(state.iterations() * entries);
  state.SetComplexityN(entries);
}
BENCHMARK(logEntries)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// textAppend straight on a text box with a change handler.
void textAppendEntries(benchmark::State& state) {
  const auto entries = state.range(0);
  for (auto _ : state) {
    TextBox box("tbAny");
    std::size_t changes = 0;
    box.setChangeHandler([&] { ++changes; });
    for (int64_t i = 0; i < entries; ++i) glim::forms::textAppend(box, kEntry, glim::forms::kCrLf);
    benchmark::DoNotOptimize(changes);
  }
  state.SetItemsProcessed(state.iterations() * entries);
  state.SetComplexityN(entries);
}
BENCHMARK(textAppendEntries)->Arg(10'000)->Arg(100'000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// For comparison: replacing the whole text on every entry, whose cost grows
// with the square of the log (kept small so that it finishes).
void rewriteWholeText(benchmark::State& state) {
  const auto entries = state.range(0);
  for (auto _ : state) {
    TextBox box("txtLog");
    for (int64_t i = 0; i < entries; ++i) {
      std::string text = box.text();
      text += kEntry;
      text += glim::forms::kCrLf;
      box.setText(std::move(text));
      box.setSelection(box.text().size());
    }
    benchmark::DoNotOptimize(box.text().data());
  }
  state.SetComplexityN(entries);
}
BENCHMARK(rewriteWholeText)->Arg(1'000)->Arg(10'000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNSquared);

}  // namespace
