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
    if (!link.deviceConnected()) std::abort();
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

namespace protocol = usb::protocol;

// The settings packet: 44 bytes on the timing pipe.
void BM_WritePipe44(benchmark::State& state) {
  Link l;
  std::array<uint8_t, protocol::kTimingBytes> bytes;
  bytes.fill(0x05);
  for (auto _ : state) l.link.writePipe(protocol::kTimingPipe, protocol::settingsPacket(bytes));
  l.check(state);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WritePipe44);

// A register read: the 3-byte request, then the 2-byte answer (two transfers
// per iteration; the readPipe share is this minus a write).
void BM_ReadRegister(benchmark::State& state) {
  Link l;
  std::array<uint8_t, protocol::kI2cReadAnswerLength> answer{};
  for (auto _ : state) {
    l.link.writePipe(protocol::kI2cPipe, protocol::registerReadRequest(0x5B, 0x0A));
    l.link.readPipe(protocol::kAnswerPipe, answer);
    benchmark::DoNotOptimize(answer.data());
  }
  l.check(state);
  if (answer[1] != 0x4D) state.SkipWithError("wrong answer");
  state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_ReadRegister);

// The request alone, to take out of the figure above.
void BM_WritePipe3(benchmark::State& state) {
  Link l;
  for (auto _ : state) l.link.writePipe(protocol::kI2cPipe, protocol::registerReadRequest(0x5B, 0x0A));
  l.check(state);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WritePipe3);

}  // namespace
