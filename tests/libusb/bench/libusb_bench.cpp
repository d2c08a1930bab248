// One 44-byte OUT transfer, and one register read (3-byte request out, 2-byte
// answer in), through our libusb layer and through bare libusb_bulk_transfer,
// on the same emulated board in one run. Run under umockdev-wrapper:
//   umockdev-wrapper build/tests/libusb/libusb_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <libusb.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "forms/dispatcher.h"
#include "libusb/testbed/usb_testbed.h"
#include "usb/libusb/libusb_driver.h"
#include "usb/vendor_id.h"

namespace {

using glim::usb::kRead;
using glim::usb::kSuccess;
using glim::usb::kWrite;

const std::vector<uint8_t> kSettings(44, 0x05);
const std::vector<uint8_t> kReadRequest = {0x01, 0x5B, 0x0A};

// Our layer, opened with its event thread and the board attached.
class OurLayer {
 public:
  OurLayer() {
    glim::usb::MatchEntry match;
    match.vendorId = glim::usb::kBoardVendorId;
    match.productId = glim::usb::kBoardProductId;
    glim::usb::DriverEvents events;
    events.attach = [this](glim::usb::DeviceHandle h, const glim::usb::DeviceInfo&) {
      handle = h;
      return true;
    };
    const auto opened = driver.open(match, events, [this](std::function<void()> t) { dispatcher.post(std::move(t)); });
    if (opened.ok()) connection = opened.value();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (handle == 0 && std::chrono::steady_clock::now() < until) {
      dispatcher.drain();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  ~OurLayer() { driver.close(connection); }

  bool write(const std::vector<uint8_t>& bytes, uint32_t pipe) {
    std::vector<uint8_t> copy = bytes;
    return driver.transfer(handle, pipe, kWrite, copy, 1000, plain).status == kSuccess;
  }
  bool read(uint8_t* into, uint32_t length) {
    const glim::usb::TransferResult r = driver.transfer(handle, 130, kRead, {into, length}, 1000, plain);
    return r.status == kSuccess && r.bytes == length;
  }

  glim::forms::Dispatcher dispatcher;
  glim::usb::libusb::LibusbDriver driver;
  glim::usb::DriverConnection connection{};
  glim::usb::PlainWaiter plain;
  glim::usb::DeviceHandle handle = 0;
};

// Bare libusb: the calling thread handles the events inside each call.
class BareLibusb {
 public:
  BareLibusb() {
    libusb_init(&context);
    device = libusb_open_device_with_vid_pid(context, glim::usb::kBoardVendorId, glim::usb::kBoardProductId);
    if (device != nullptr) libusb_claim_interface(device, 0);
  }
  ~BareLibusb() {
    if (device != nullptr) {
      libusb_release_interface(device, 0);
      libusb_close(device);
    }
    libusb_exit(context);
  }

  bool write(const std::vector<uint8_t>& bytes, uint8_t endpoint) {
    std::vector<uint8_t> copy = bytes;
    int moved = 0;
    return libusb_bulk_transfer(device, endpoint, copy.data(), static_cast<int>(copy.size()), &moved, 1000) == 0;
  }
  bool read(uint8_t* into, int length) {
    int moved = 0;
    return libusb_bulk_transfer(device, 0x82, into, length, &moved, 1000) == 0 && moved == length;
  }

  libusb_context* context = nullptr;
  libusb_device_handle* device = nullptr;
};

template <class Layer>
void settingsOut(benchmark::State& state) {
  Layer layer;
  for (auto _ : state) {
    if (!layer.write(kSettings, 3)) state.SkipWithError("transfer failed");
  }
}

template <class Layer>
void registerRead(benchmark::State& state) {
  Layer layer;
  uint8_t answer[2] = {};
  for (auto _ : state) {
    if (!layer.write(kReadRequest, 2) || !layer.read(answer, 2)) state.SkipWithError("transfer failed");
    benchmark::DoNotOptimize(answer);
  }
}

BENCHMARK_TEMPLATE(settingsOut, OurLayer)->Name("Out44/our_layer")->UseRealTime();
BENCHMARK_TEMPLATE(settingsOut, BareLibusb)->Name("Out44/bare_libusb")->UseRealTime();
BENCHMARK_TEMPLATE(registerRead, OurLayer)->Name("ReadRoundTrip/our_layer")->UseRealTime();
BENCHMARK_TEMPLATE(registerRead, BareLibusb)->Name("ReadRoundTrip/bare_libusb")->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (!glim::testing::UsbTestbed::available()) {
    std::fprintf(stderr, "libusb_bench: run under umockdev-wrapper\n");
    return 77;
  }
  glim::testing::UsbTestbed bed;  // before any libusb context
  bed.plug();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
