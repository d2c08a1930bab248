#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "shell_fixture.h"

namespace glim::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Boards come and go on a thread of the USB layer's own while the forms thread
// runs handlers: attach and detach must wait until a handler is over.
class ThreadsTest : public ShellTest {
 protected:
  void SetUp() override {
    formsThread = std::this_thread::get_id();
    watchingLog = main().txtLog.subscribe([this](forms::ControlEvent) {
      if (std::this_thread::get_id() != formsThread) ++offThread;
      const std::string_view added = main().txtLog.lastAppended();
      if (added.starts_with("DeviceAttach") || added.starts_with("DeviceDetach")) {
        callbackWrote = true;
        if (inHandler) ++duringHandler;
      }
    });
    activate();
  }

  std::thread::id formsThread;
  forms::Connection watchingLog;
  std::atomic<bool> inHandler{false};
  std::atomic<bool> callbackWrote{false};
  std::atomic<int> duringHandler{0};
  std::atomic<int> offThread{0};
};

TEST_F(ThreadsTest, AttachAndDetachWaitForTheRunningHandler) {
  std::atomic<int> request{0};
  std::atomic<int> done{0};
  std::atomic<bool> quit{false};
  std::thread usb([&] {
    int served = 0;
    int board = 0;
    while (!quit) {
      const int r = request.load();
      if (r == served) {
        std::this_thread::yield();
        continue;
      }
      served = r;
      if (r % 2 == 1) {
        board = driver->sim.plug();
      } else {
        driver->sim.unplug(board);
      }
      done = r;
    }
  });

  for (int round = 1; round <= 20; ++round) {
    SCOPED_TRACE(round);
    callbackWrote = false;
    const bool connectedBefore = link().deviceConnected();
    program->dispatcher.runHandler([&] {
      inHandler = true;
      request = round;
      while (done != round) std::this_thread::yield();
      // The board has arrived (or left); give its callback every chance to
      // barge in while this handler still runs.
      const auto until = Clock::now() + std::chrono::milliseconds(5);
      while (!callbackWrote && Clock::now() < until) std::this_thread::yield();
      EXPECT_FALSE(callbackWrote);
      EXPECT_EQ(link().deviceConnected(), connectedBefore);
      inHandler = false;
    });
    // Delivered right after the handler.
    EXPECT_TRUE(callbackWrote);
    EXPECT_EQ(link().deviceConnected(), round % 2 == 1);
  }
  quit = true;
  usb.join();
  EXPECT_EQ(duringHandler, 0);
  EXPECT_EQ(offThread, 0);
}

TEST_F(ThreadsTest, BoardsChurningWhileHandlersUseThemNeverInterruptAHandler) {
  std::atomic<bool> quit{false};
  std::thread usb([&] {
    std::mt19937 random(7);
    std::vector<int> plugged;
    while (!quit) {
      if (plugged.empty() || random() % 2 == 0) {
        plugged.push_back(driver->sim.plug());
      } else {
        const std::size_t i = random() % plugged.size();
        driver->sim.unplug(plugged[i]);
        plugged.erase(plugged.begin() + static_cast<std::ptrdiff_t>(i));
      }
      std::this_thread::sleep_for(std::chrono::microseconds(random() % 200));
    }
  });

  for (int i = 0; i < 2000; ++i) {
    program->dispatcher.runHandler([&] {
      inHandler = true;
      if (link().deviceConnected()) {
        const std::array<uint8_t, 2> pins = {0xFE, 0xE3};
        link().writePipe(1, pins);  // the board may be gone by now: logged, never a crash
      }
      inHandler = false;
    });
  }
  quit = true;
  usb.join();
  program->dispatcher.drain();

  EXPECT_EQ(duringHandler, 0);
  EXPECT_EQ(offThread, 0);
  const auto handle = link().heldDevice();
  EXPECT_EQ(link().deviceConnected(), handle != 0);
  if (handle != 0) {
    const auto boards = driver->sim.pluggedBoards();
    EXPECT_TRUE(std::any_of(boards.begin(), boards.end(), [&](int n) { return driver->sim.handleOf(n) == handle; }));
  }
}

}  // namespace
}  // namespace glim::testing
