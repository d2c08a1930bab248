// Ending transfers early on the libusb layer leaves nothing behind: a
// cancelled or given-up transfer is reaped before the call returns, close
// waits for what the kernel still holds, and a callback may close the layer.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <thread>

#include "libusb/libusb_rig.h"

namespace glim::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Cancels the transfer once it has waited `after`, as the user's Cancel does.
struct CancelAfter final : usb::TransferWaiter {
  explicit CancelAfter(std::chrono::milliseconds a) : after(a) {}
  void wait(usb::PendingTransfer& pending) override {
    if (!pending.waitFor(after)) {
      cancelledAt = Clock::now();
      pending.cancel();
    }
    pending.waitPlainly();
  }
  std::chrono::milliseconds after;
  Clock::time_point cancelledAt{};
};

struct Cancel : ::testing::Test {
  void SetUp() override {
    rig.bed.plug();
    ASSERT_EQ(rig.open(), usb::kSuccess);
    ASSERT_TRUE(rig.waitForEvents(1));
    handle = rig.events[0].handle;
  }

  usb::Status read(std::vector<uint8_t>& into, uint32_t timeoutMs, usb::TransferWaiter& waiter) {
    const usb::TransferResult r = rig.driver->transfer(handle, 130, usb::kRead, into, timeoutMs, waiter);
    moved = r.bytes;
    return r.status;
  }
  // A register read that must get the board's own answer, not an old one.
  void expectRegister(uint8_t reg, uint8_t value) {
    ASSERT_EQ(rig.write(handle, 2, {0x01, 0x5B, reg}), usb::kSuccess);
    std::vector<uint8_t> answer(2, 0);
    usb::PlainWaiter plain;
    EXPECT_EQ(read(answer, 1000, plain), usb::kSuccess);
    EXPECT_EQ(answer[1], value);
  }

  DriverRig rig;
  usb::DeviceHandle handle = 0;
  uint32_t moved = 0;
};

TEST_F(Cancel, APendingReadEndsAtOnceAndLeavesNothingSubmitted) {
  rig.bed.setSilent(1, 0x82, true);
  CancelAfter waiter(50ms);
  std::vector<uint8_t> answer(2, 0x55);
  EXPECT_EQ(read(answer, 30000, waiter), usb::kCancelled);
  const auto took = Clock::now() - waiter.cancelledAt;
  std::printf("libusb (emulated): cancel to the end of the transfer %.2f ms\n",
              std::chrono::duration<double, std::milli>(took).count());
  EXPECT_LT(took, 5000ms);  // Cancel ended it, not the 30 s time-out
  EXPECT_EQ(moved, 0u);
  EXPECT_EQ(answer, (std::vector<uint8_t>{0x55, 0x55}));
  EXPECT_EQ(rig.bed.inFlight(1), 0u);
  ASSERT_FALSE(rig.bed.urbs(1).empty());
  EXPECT_EQ(rig.bed.urbs(1).back().status, -ENOENT);
  // The next answer goes to the next read.
  rig.bed.setSilent(1, 0x82, false);
  expectRegister(0x03, 0xB8);
  // Closing right after is clean.
  rig.close();
}

TEST_F(Cancel, ATransferGivenUpAtItsTimeOutIsReapedBeforeTheCallReturns) {
  // The kernel takes its time to give the URB back (longer than any grace a
  // caller might allow): the call waits for it rather than leave it queued to
  // take the board's next answer.
  rig.bed.setSilent(1, 0x82, true);
  rig.bed.setDiscardDelay(1, 2300ms);
  usb::PlainWaiter plain;
  std::vector<uint8_t> answer(2);
  const auto start = Clock::now();
  EXPECT_EQ(read(answer, 100, plain), usb::kTimeout);
  EXPECT_GE(Clock::now() - start, 2380ms);
  EXPECT_EQ(rig.bed.inFlight(1), 0u);
  rig.bed.setSilent(1, 0x82, false);
  rig.bed.setDiscardDelay(1, 0ms);
  expectRegister(0x03, 0xB8);
}

TEST_F(Cancel, CloseWaitsForWhatTheKernelStillHolds) {
  // Longer than the few seconds a close once allowed before freeing the
  // context under the kernel's feet.
  rig.bed.setSilent(1, 0x82, true);
  rig.bed.setDiscardDelay(1, 3300ms);
  std::promise<usb::Status> ended;
  std::thread reader([&] {
    std::vector<uint8_t> answer(2);
    usb::PlainWaiter plain;
    ended.set_value(read(answer, 30000, plain));
  });
  ASSERT_TRUE(rig.bed.waitForPending(1, 1, 5000ms));
  const auto start = Clock::now();
  rig.close();
  EXPECT_GE(Clock::now() - start, 3280ms);
  reader.join();
  EXPECT_EQ(ended.get_future().get(), usb::kCancelled);
  EXPECT_EQ(rig.bed.inFlight(1), 0u);
  EXPECT_EQ(rig.bed.releases(1), 1);
}

TEST(LibusbDriver, AnAttachCallbackMayCloseTheLayer) {
  DriverRig rig;
  rig.bed.plug();
  rig.accept = [&rig](usb::DeviceHandle) {
    rig.close();
    return true;
  };
  ASSERT_EQ(rig.open(), usb::kSuccess);
  auto settled = std::async(std::launch::async, [&] { return rig.waitForEvents(1); });
  ASSERT_EQ(settled.wait_for(5s), std::future_status::ready) << "close from a callback deadlocked";
  EXPECT_TRUE(settled.get());
  // Closed: the board was let go, and nothing more is told.
  EXPECT_EQ(rig.bed.releases(1), 1);
  rig.bed.plug();
  EXPECT_FALSE(settleUntil(
      rig.dispatcher, [&] { return rig.events.size() > 1; }, 300ms));
  EXPECT_EQ(rig.write(rig.events[0].handle, 1, {0xFE, 0xE3}), usb::kNotOpen);
}

}  // namespace
}  // namespace glim::testing
