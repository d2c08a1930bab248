// One register read as a person clicks it, through the core on the simulated
// board: the register window's Read button run as a handler the person
// started, its packets, its status line and read box. The Python module's
// s.registers.read(r) makes exactly this call; bench/python_read_bench.py
// times it from Python, and the difference is what the binding costs.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "shell/program.h"
#include "support/recording_ui.h"
#include "text/hex_text.h"
#include "usb/sim/sim_driver.h"

namespace {

using namespace glim;

void registerRead(benchmark::State& state) {
  testing::RecordingUi ui;
  auto driver = std::make_unique<usb::sim::SimDriver>();
  usb::sim::SimDriver* sim = driver.get();
  shell::Program program(usb::DriverAndBench{std::move(driver), sim}, ui);
  shell::MainForm& main = program.main;
  main.Form_Activate();
  sim->plug();
  program.dispatcher.drain();
  if (!main.link.deviceConnected()) std::abort();
  i2c::RegisterForm& form = main.i2cWindow.get();

  int reg = 0;
  uint32_t sum = 0;
  for (auto _ : state) {
    forms::CommandButton& button = form.cbReadi2c[reg];
    program.dispatcher.runHandler([&button] { button.click(); });
    program.dispatcher.drain();
    sum += text::hexTextValue(form.tbI2Cregread[reg].text());
    reg = (reg + 1) % 22;
  }
  benchmark::DoNotOptimize(sum);
  if (form.lblStatus.problem()) state.SkipWithError("a read failed");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(registerRead)->Unit(benchmark::kMicrosecond)->Iterations(100000);

}  // namespace
