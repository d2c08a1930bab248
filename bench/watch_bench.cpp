// Watching all 22 registers every 50 ms (the shortest interval) on the
// simulated board: what one round of watch reads costs. At 20 rounds a
// second, the share of a core is the round's time over 50 ms (the goal is
// under 2 %: a round under 1 ms). The round is the whole path a watch takes: the
// program's register form, the board link, the simulated layer and board.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "forms/clock.h"
#include "shell/program.h"
#include "support/recording_ui.h"
#include "usb/sim/sim_driver.h"

namespace {

using namespace glim;

void watchRoundOf22(benchmark::State& state) {
  testing::RecordingUi ui;
  auto driver = std::make_unique<usb::sim::SimDriver>();
  usb::sim::SimDriver* sim = driver.get();
  shell::Program program(usb::DriverAndBench{std::move(driver), sim}, ui);
  shell::MainForm& main = program.main;
  main.Form_Activate();
  sim->plug();
  program.dispatcher.drain();
  if (!main.link.deviceConnected()) std::abort();
  forms::ScriptClock clock;
  main.watch.useClock(clock);
  i2c::RegisterForm& form = main.i2cWindow.get();
  form.tbWatchms.setText("50");
  for (int i = 0; i < form.cbWatch.size(); ++i) form.cbWatch[i].userClick();
  const std::size_t logged = main.txtLog.text().size();
  int64_t transfers = 0;
  const forms::Connection counting =
      main.link.onTransfer.connectScoped([&transfers](const usb::TransferRecord&) { ++transfers; });

  int64_t now = 0;
  for (auto _ : state) {
    clock.advanceTo(now);
    main.watch.poll();
    now += 50;
  }
  // A read that failed logs: the figure would then not be a watch's.
  if (main.txtLog.text().size() != logged) state.SkipWithError("a watch read failed");
  if (main.watch.nextDue() != now) state.SkipWithError("the rounds did not come every 50 ms");
  if (transfers != static_cast<int64_t>(state.iterations()) * 44) state.SkipWithError("not 44 transfers a round");
  state.SetItemsProcessed(state.iterations() * 22);
}
BENCHMARK(watchRoundOf22)->Unit(benchmark::kMicrosecond);

}  // namespace
