// The libusb layer on its own, against boards on the emulated bus.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <libusb.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "libusb/libusb_rig.h"

// While set, libusb reports every arrival of a board twice to the layer's
// hot-plug callback, as when the enumeration at registration and an arrival
// event race for a board plugged in at that moment.
namespace {
std::atomic<bool> arrivalsTwice{false};

struct Registered {
  libusb_hotplug_callback_fn callback;
  void* user;
};

int LIBUSB_CALL reportTwice(libusb_context* context, libusb_device* device, libusb_hotplug_event event, void* user) {
  const auto* registered = static_cast<const Registered*>(user);
  const int result = registered->callback(context, device, event, registered->user);
  if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED && arrivalsTwice) {
    registered->callback(context, device, event, registered->user);
  }
  return result;
}
}  // namespace

// Takes the place of libusb's own in this program (the layer is linked in
// statically) and hands every registration to it through reportTwice.
extern "C" int LIBUSB_CALL libusb_hotplug_register_callback(libusb_context* context, int events, int flags,
                                                            int vendorId, int productId, int deviceClass,
                                                            libusb_hotplug_callback_fn callback, void* user,
                                                            libusb_hotplug_callback_handle* handle) {
  using Real = int(LIBUSB_CALL*)(libusb_context*, int, int, int, int, int, libusb_hotplug_callback_fn, void*,
                                 libusb_hotplug_callback_handle*);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "libusb_hotplug_register_callback"));
  static std::mutex mutex;
  static std::vector<std::unique_ptr<Registered>> kept;  // for the program's life: cheap, and never dangling
  Registered* registered = nullptr;
  {
    std::lock_guard lock(mutex);
    kept.push_back(std::make_unique<Registered>(Registered{callback, user}));
    registered = kept.back().get();
  }
  return real(context, events, flags, vendorId, productId, deviceClass, &reportTwice, registered, handle);
}

namespace glim::testing {
namespace {

using namespace std::chrono_literals;
using usb::kRead;
using usb::kWrite;

std::vector<uint32_t> pipeNumbers(const usb::DeviceInfo& info) {
  std::vector<uint32_t> numbers;
  for (const auto& p : info.activeInterface.activeAltSetting.pipes) numbers.push_back(p.number);
  return numbers;
}

TEST(LibusbDriver, OffersABoardAlreadyPluggedInDescribedByItsDescriptors) {
  DriverRig rig;
  rig.bed.plug();
  ASSERT_EQ(rig.open(), usb::kSuccess);
  // Never on the stack of open(): only in the tasks handed to the Poster.
  EXPECT_TRUE(rig.events.empty());
  ASSERT_TRUE(rig.waitForEvents(1));

  const auto& event = rig.events[0];
  EXPECT_TRUE(event.attach);
  EXPECT_NE(event.handle, 0u);
  EXPECT_EQ(event.info.descriptor.idVendor, usb::kBoardVendorId);
  EXPECT_EQ(event.info.descriptor.idProduct, 0x200B);
  EXPECT_EQ(event.info.activeInterface.numAltSettings, 2);
  const auto& active = event.info.activeInterface.activeAltSetting;
  EXPECT_EQ(active.alternateSetting, 0);
  EXPECT_EQ(active.numEndpoints, 4);
  EXPECT_THAT(pipeNumbers(event.info), ::testing::ElementsAre(1u, 2u, 3u, 130u));
  for (const auto& p : active.pipes) {
    EXPECT_EQ(p.type, usb::PipeType::Bulk);
    EXPECT_EQ(p.maxPacketSize, 64u);
    EXPECT_EQ(p.in, p.number == 130u);
  }
  EXPECT_EQ(rig.bed.claims(1), 1);
  EXPECT_FALSE(rig.driver->polling());
}

// A board with its handle, on a freshly opened layer.
struct OneBoard : ::testing::Test {
  void SetUp() override {
    rig.bed.plug();
    ASSERT_EQ(rig.open(), usb::kSuccess);
    ASSERT_TRUE(rig.waitForEvents(1));
    handle = rig.events[0].handle;
  }

  usb::Status read(std::vector<uint8_t>& into, uint32_t timeoutMs, uint32_t pipe = 130) {
    const usb::TransferResult r = rig.transfer(handle, pipe, kRead, into, timeoutMs);
    moved = r.bytes;
    return r.status;
  }

  DriverRig rig;
  usb::DeviceHandle handle = 0;
  uint32_t moved = 0;
};

TEST_F(OneBoard, MovesTheExactBytesOnTheEndpointsNamedByThePipes) {
  rig.bed.withBoard(1, [](usb::sim::SimBoard& b) { b.registers[0x0A] = 0x4D; });
  EXPECT_EQ(rig.write(handle, 1, {0xFE, 0xE3}), usb::kSuccess);
  EXPECT_EQ(rig.write(handle, 2, {0x01, 0x5B, 0x0A}), usb::kSuccess);
  std::vector<uint8_t> answer(2, 0xAA);
  EXPECT_EQ(read(answer, 1000), usb::kSuccess);
  EXPECT_EQ(moved, 2u);
  EXPECT_THAT(answer, ::testing::ElementsAre(0x00, 0x4D));
  EXPECT_THAT(rig.bed.urbs(1),
              ::testing::ElementsAre(UrbRecord{0x01, {0xFE, 0xE3}, 0}, UrbRecord{0x02, {0x01, 0x5B, 0x0A}, 0},
                                     UrbRecord{0x82, {0x00, 0x4D}, 0}));
}

TEST_F(OneBoard, ReportsTheCountLibusbGivesForAShortAnswer) {
  rig.bed.withBoard(1, [](usb::sim::SimBoard& b) { b.registers[0x03] = 0xB8; });
  EXPECT_EQ(rig.write(handle, 2, {0x01, 0x5B, 0x03}), usb::kSuccess);
  std::vector<uint8_t> answer(23, 0x77);
  EXPECT_EQ(read(answer, 1000), usb::kSuccess);
  EXPECT_EQ(moved, 2u);
  EXPECT_EQ(answer[1], 0xB8);
  EXPECT_EQ(answer[2], 0x77);  // past the count: untouched
}

TEST_F(OneBoard, ATransferThatGetsNoAnswerTimesOutAtItsOwnTimeOut) {
  struct Case {
    uint32_t pipe;
    bool read;
  };
  for (const Case c : {Case{130, true}, Case{3, false}}) {
    SCOPED_TRACE(c.pipe);
    rig.bed.setSilent(1, static_cast<uint8_t>(c.pipe), true);
    std::vector<uint8_t> bytes(c.read ? 2 : 44, 0x11);
    const auto start = std::chrono::steady_clock::now();
    const auto status = c.read ? read(bytes, 200, c.pipe) : rig.write(handle, c.pipe, bytes, 200);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(status, usb::kTimeout);
    EXPECT_GE(took, 190ms);
    EXPECT_LT(took, 5000ms);  // its own time-out, not a longer one
    // The URB was taken back (discarded), not left on the bus.
    ASSERT_FALSE(rig.bed.urbs(1).empty());
    EXPECT_EQ(rig.bed.urbs(1).back().status, -ENOENT);
    rig.bed.setSilent(1, static_cast<uint8_t>(c.pipe), false);
  }
  // The board works on afterwards.
  EXPECT_EQ(rig.write(handle, 1, {0xFE, 0xE3}), usb::kSuccess);
}

TEST_F(OneBoard, AStallIsReportedAndTheHaltClearedSoTheNextTransferWorks) {
  for (uint8_t ep : {uint8_t{0x02}, uint8_t{0x82}}) {
    SCOPED_TRACE(ep);
    rig.bed.stallNext(1, ep);
    std::vector<uint8_t> bytes(2, 0);
    const auto status = ep == 0x02 ? rig.write(handle, 2, {0x01, 0x5B, 0x00}) : read(bytes, 500);
    EXPECT_EQ(status, usb::kStall);
    EXPECT_EQ(rig.bed.clearHalts(1, ep), 1);
  }
  EXPECT_EQ(rig.write(handle, 2, {0x01, 0x5B, 0x00}), usb::kSuccess);
  std::vector<uint8_t> answer(2, 0);
  EXPECT_EQ(read(answer, 500), usb::kSuccess);
}

TEST_F(OneBoard, CallsThatCannotBeMadeReturnAStatusAtOnce) {
  std::vector<uint8_t> two(2, 0);
  struct Case {
    const char* what;
    usb::DeviceHandle device;
    uint32_t pipe;
    usb::Direction direction;
    usb::Status expected;
  };
  const Case cases[] = {
      {"no board held", 0, 1, kWrite, usb::kInvalidHandle},
      {"handle never given", handle + 100, 1, kWrite, usb::kInvalidHandle},
      {"pipe the setting lacks", handle, 4, kWrite, usb::kNoSuchPipe},
      {"read on an OUT pipe", handle, 1, kRead, usb::kInvalidParameter},
      {"write on the IN pipe", handle, 130, kWrite, usb::kInvalidParameter},
      {"control pipe", handle, 0, kWrite, usb::kNotSupported},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const usb::TransferResult r = rig.transfer(c.device, c.pipe, c.direction, two);
    EXPECT_EQ(r.status, c.expected);
    EXPECT_EQ(r.bytes, 0u);
  }
  EXPECT_EQ(rig.driver->deviceInfo(0).status(), usb::kInvalidHandle);
  EXPECT_EQ(rig.driver->setInterface(0, 0, 1), usb::kInvalidHandle);
  // A zero-length write is a transfer like any other.
  EXPECT_EQ(rig.transfer(handle, 1, kWrite, {}).status, usb::kSuccess);
}

TEST_F(OneBoard, SelectingAnAlternateSettingChangesThePipes) {
  EXPECT_EQ(rig.driver->setInterface(handle, 0, 1), usb::kSuccess);
  EXPECT_EQ(rig.bed.alternateSetting(1), 1);
  usb::Result<usb::DeviceInfo> described = rig.driver->deviceInfo(handle);
  ASSERT_TRUE(described.ok());
  usb::DeviceInfo info = described.value();
  EXPECT_EQ(info.activeInterface.activeAltSetting.alternateSetting, 1);
  EXPECT_THAT(pipeNumbers(info), ::testing::ElementsAre(1u, 130u));
  EXPECT_EQ(info.activeInterface.activeAltSetting.pipes[1].type, usb::PipeType::Interrupt);
  EXPECT_EQ(rig.write(handle, 3, {0x00}), usb::kNoSuchPipe);
  // The interrupt pipe carries answers as the bulk one did.
  EXPECT_EQ(rig.write(handle, 1, {0xFE, 0xE3}), usb::kSuccess);
  EXPECT_EQ(rig.driver->setInterface(handle, 0, 7), usb::kNoSuchSetting);
  EXPECT_EQ(rig.driver->setInterface(handle, 0, 0), usb::kSuccess);
  described = rig.driver->deviceInfo(handle);
  ASSERT_TRUE(described.ok());
  EXPECT_THAT(pipeNumbers(described.value()), ::testing::ElementsAre(1u, 2u, 3u, 130u));
}

// Unplugged while a read waits for its answer: the read ends at once with
// "gone", whether or not the platform reports the URB (the fault this layer
// mends: a hang until the 30 s time-out, or a crash).
class UnplugDuringRead : public OneBoard, public ::testing::WithParamInterface<Unplug> {};

TEST_P(UnplugDuringRead, EndsTheReadAtOnceAndReportsTheDetach) {
  std::thread unplugger([&] {
    if (rig.bed.waitForPending(1, 1, 5000ms)) rig.bed.unplug(1, GetParam());
  });
  std::vector<uint8_t> answer(2, 0x55);
  const auto start = std::chrono::steady_clock::now();
  const auto status = read(answer, 30000);
  const auto took = std::chrono::steady_clock::now() - start;
  unplugger.join();
  EXPECT_EQ(status, usb::kDeviceGone);
  EXPECT_LT(took, 3000ms);
  EXPECT_EQ(moved, 0u);
  EXPECT_THAT(answer, ::testing::ElementsAre(0x55, 0x55));

  ASSERT_TRUE(rig.waitForEvents(2));
  EXPECT_FALSE(rig.events[1].attach);
  EXPECT_EQ(rig.events[1].handle, handle);
  // The handle is dead: calls return at once.
  const auto again = std::chrono::steady_clock::now();
  EXPECT_EQ(read(answer, 30000), usb::kDeviceGone);
  EXPECT_EQ(rig.write(handle, 1, {0xFE, 0xE3}, 30000), usb::kDeviceGone);
  EXPECT_EQ(rig.driver->deviceInfo(handle).status(), usb::kDeviceGone);
  EXPECT_LT(std::chrono::steady_clock::now() - again, 5000ms);
}

INSTANTIATE_TEST_SUITE_P(LibusbDriver, UnplugDuringRead, ::testing::Values(Unplug::FailInFlight, Unplug::KeepInFlight),
                         [](const auto& info) {
                           return info.param == Unplug::FailInFlight ? std::string("UrbsFail")
                                                                     : std::string("UrbsNeverReported");
                         });

TEST_F(OneBoard, ABoardPluggedInAgainIsOfferedWithANewHandleAndWorks) {
  rig.bed.unplug(1);
  ASSERT_TRUE(rig.waitForEvents(2));
  const int again = rig.bed.plug();
  ASSERT_TRUE(rig.waitForEvents(3));
  EXPECT_TRUE(rig.events[2].attach);
  EXPECT_NE(rig.events[2].handle, handle);
  EXPECT_EQ(rig.write(rig.events[2].handle, 1, {0xFE, 0xF3}), usb::kSuccess);
  EXPECT_THAT(rig.bed.urbs(again), ::testing::ElementsAre(UrbRecord{0x01, {0xFE, 0xF3}, 0}));
}

// The enumeration at the start and an arrival racing it may both report a
// board: it is offered once, and so is a board plugged in later.
TEST(LibusbDriver, ABoardReportedTwiceIsOfferedOnce) {
  struct Twice {
    Twice() { arrivalsTwice = true; }
    ~Twice() { arrivalsTwice = false; }
  } twice;
  DriverRig rig;
  rig.bed.plug();
  ASSERT_EQ(rig.open(), usb::kSuccess);
  ASSERT_TRUE(rig.waitForEvents(1));
  const int second = rig.bed.plug();
  ASSERT_TRUE(rig.waitForEvents(2));
  EXPECT_FALSE(settleUntil(
      rig.dispatcher, [&] { return rig.events.size() > 2; }, 300ms));
  ASSERT_EQ(rig.events.size(), 2u);
  EXPECT_TRUE(rig.events[0].attach && rig.events[1].attach);
  EXPECT_NE(rig.events[0].handle, rig.events[1].handle);
  EXPECT_EQ(rig.bed.claims(1), 1);
  EXPECT_EQ(rig.bed.claims(second), 1);
  EXPECT_EQ(rig.write(rig.events[0].handle, 1, {0xFE, 0xE3}), usb::kSuccess);
  rig.bed.unplug(1);
  ASSERT_TRUE(rig.waitForEvents(3));
  EXPECT_FALSE(rig.events[2].attach);
  EXPECT_EQ(rig.events[2].handle, rig.events[0].handle);
}

TEST(LibusbDriver, ARefusedBoardIsReleasedAndClosedAndNeverReportedGone) {
  DriverRig rig;
  rig.bed.plug();
  ASSERT_EQ(rig.open(), usb::kSuccess);
  ASSERT_TRUE(rig.waitForEvents(1));
  rig.accept = [](usb::DeviceHandle) { return false; };
  const int second = rig.bed.plug();
  ASSERT_TRUE(rig.waitForEvents(2));
  EXPECT_TRUE(rig.events[1].attach);
  EXPECT_EQ(rig.bed.claims(second), 1);
  EXPECT_EQ(rig.bed.releases(second), 1);
  EXPECT_EQ(rig.write(rig.events[1].handle, 1, {0xFE, 0xE3}), usb::kDeviceGone);
  // The first board is untouched.
  EXPECT_EQ(rig.bed.releases(1), 0);
  EXPECT_EQ(rig.write(rig.events[0].handle, 1, {0xFE, 0xE3}), usb::kSuccess);
  rig.bed.unplug(second);
  EXPECT_FALSE(settleUntil(
      rig.dispatcher, [&] { return rig.events.size() > 2; }, 300ms));
}

TEST(LibusbDriver, PollsTheDeviceListWhenAskedInsteadOfHotplugEvents) {
  DriverRig rig;
  usb::libusb::LibusbOptions options;
  options.pollForBoards = true;
  options.pollInterval = 50ms;
  ASSERT_EQ(rig.open(options), usb::kSuccess);
  EXPECT_TRUE(rig.driver->polling());
  rig.bed.plug();
  ASSERT_TRUE(rig.waitForEvents(1));
  EXPECT_TRUE(rig.events[0].attach);
  EXPECT_EQ(rig.write(rig.events[0].handle, 3, std::vector<uint8_t>(44, 1)), usb::kSuccess);
  rig.bed.unplug(1);
  ASSERT_TRUE(rig.waitForEvents(2));
  EXPECT_FALSE(rig.events[1].attach);
  EXPECT_EQ(rig.events[1].handle, rig.events[0].handle);
}

TEST(LibusbDriver, NoCallbackRunsAfterCloseEvenForEventsAlreadyQueued) {
  DriverRig rig;
  ASSERT_EQ(rig.open(), usb::kSuccess);
  rig.bed.plug();
  // The arrival is queued for the forms thread, which has not run it yet.
  const auto until = std::chrono::steady_clock::now() + 5000ms;
  while (!rig.dispatcher.pending() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(rig.dispatcher.pending());
  rig.close();
  rig.dispatcher.drain();
  EXPECT_TRUE(rig.events.empty());
  // Closed again, or used after close: harmless.
  rig.close();
  EXPECT_EQ(rig.write(1, 1, {0x00}), usb::kNotOpen);
}

TEST(LibusbDriver, CloseReleasesEveryBoardAndEndsATransferWaitingOnAnotherThread) {
  DriverRig rig;
  rig.bed.plug();
  ASSERT_EQ(rig.open(), usb::kSuccess);
  ASSERT_TRUE(rig.waitForEvents(1));
  const auto handle = rig.events[0].handle;
  std::atomic<usb::Status> status{usb::kSuccess};
  std::thread reader([&] {
    std::vector<uint8_t> answer(2);
    status = rig.transfer(handle, 130, kRead, answer, 30000).status;
  });
  ASSERT_TRUE(rig.bed.waitForPending(1, 1, 5000ms));
  const auto start = std::chrono::steady_clock::now();
  rig.close();
  reader.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3000ms);
  EXPECT_EQ(status.load(), usb::kCancelled);
  EXPECT_EQ(rig.bed.releases(1), 1);
  // It can be opened again, and finds the board again under a new handle.
  ASSERT_EQ(rig.open(), usb::kSuccess);
  ASSERT_TRUE(rig.waitForEvents(2));
  EXPECT_NE(rig.events[1].handle, handle);
}
}  // namespace
}  // namespace glim::testing
