// What the USB layer adds to one transfer: writePipe and readPipe through the
// board link and the simulated layer (device information, pipe check, the
// transfer, the board model and the packet trace), with no bus behind them.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "forms/control.h"
#include "forms/dispatcher.h"
#include "forms/log.h"
#include "support/recording_ui.h"
#include "usb/board_link.h"
#include "usb/sim/sim_driver.h"

namespace {

using namespace glim;

struct Link {
  Link() : log(txtLog), link(driver, log, dispatcher, ui) {
    link.initialize();
    driver.plug();
    link.startDriver();
    dispatcher.drain();
    if (link.DeviceConnected == 0) std::abort();
  }
  ~Link() { link.stopDriver(); }

  // Anything logged means a transfer failed: the figure would be meaningless.
  void check(benchmark::State& state) {
    if (!txtLog.text().ends_with("Accepting control of the device\r\n\r\n")) state.SkipWithError("a transfer failed");
  }

  usb::sim::SimDriver driver;
  forms::TextBox txtLog{"txtLog"};
  forms::Log log;
  forms::Dispatcher dispatcher;
  testing::RecordingUi ui;
  usb::BoardLink link;
};

// The settings packet: 44 bytes on pipe 3.
void BM_WritePipe44(benchmark::State& state) {
  Link l;
  for (auto _ : state) {
    l.link.TransferPipe = 3;
    l.link.TransferLength = 44;
    l.link.TransferBuffer.assign(44, 0x05);
    l.link.writePipe();
  }
  l.check(state);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WritePipe44);

// A register read: the 3-byte request on pipe 2, then the 2-byte answer on
// pipe 130 (two transfers per iteration; the readPipe share is this minus a
// write).
void BM_ReadRegister(benchmark::State& state) {
  Link l;
  for (auto _ : state) {
    l.link.TransferPipe = 2;
    l.link.TransferLength = 3;
    l.link.TransferBuffer.assign({0x01, 0x5B, 0x0A});
    l.link.writePipe();
    l.link.TransferPipe = 130;
    l.link.TransferLength = 2;
    l.link.TransferBuffer.assign(2, 0);
    l.link.readPipe();
    benchmark::DoNotOptimize(l.link.TransferBuffer.data());
  }
  l.check(state);
  if (l.link.TransferBuffer[1] != 0x4D) state.SkipWithError("wrong answer");
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ReadRegister);

// The request alone, to take out of the figure above.
void BM_WritePipe3(benchmark::State& state) {
  Link l;
  for (auto _ : state) {
    l.link.TransferPipe = 2;
    l.link.TransferLength = 3;
    l.link.TransferBuffer.assign({0x01, 0x5B, 0x0A});
    l.link.writePipe();
  }
  l.check(state);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WritePipe3);

}  // namespace
