#include "usb/sim/sim_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "forms/signal.h"
#include "usb/vendor_id.h"

namespace glim::usb::sim {
namespace {

using namespace protocol;

using Bytes = std::vector<uint8_t>;

template <typename Edit>
Faults faultsWith(Edit edit) {
  Faults f;
  edit(f);
  return f;
}

// A program's side of the layer: a queue standing in for the forms thread, and
// the callbacks it received.
class SimDriverTest : public ::testing::Test {
 protected:
  Status open(MatchEntry match = {kBoardVendorId, kBoardProductId}) {
    DriverEvents events;
    events.attach = [this](DeviceHandle h, const DeviceInfo& info) {
      lastInfo = info;
      calls.push_back("attach " + std::to_string(h));
      return decide ? decide(h) : true;
    };
    events.detach = [this](DeviceHandle h) { calls.push_back("detach " + std::to_string(h)); };
    const Result<DriverConnection> opened = sim.open(match, events, [this](std::function<void()> task) {
      std::lock_guard lock(queueMutex);
      queue.push_back(std::move(task));
    });
    if (opened.ok()) connection = opened.value();
    return opened.status();
  }

  // Runs what the layer posted, as the forms thread would.
  void run() {
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard lock(queueMutex);
        if (queue.empty()) return;
        task = std::move(queue.front());
        queue.pop_front();
      }
      task();
    }
  }

  std::vector<std::string> takeCalls() { return std::exchange(calls, {}); }

  Status write(DeviceHandle h, uint32_t pipe, Bytes bytes, uint32_t* moved = nullptr) {
    const TransferResult r = sim.transfer(h, pipe, kWrite, bytes, 30000, plain);
    if (moved != nullptr) *moved = r.bytes;
    return r.status;
  }
  Status read(DeviceHandle h, uint32_t pipe, Bytes& into) {
    const TransferResult r = sim.transfer(h, pipe, kRead, into, 30000, plain);
    into.resize(r.bytes);
    return r.status;
  }

  SimDriver sim;
  PlainWaiter plain;
  DriverConnection connection{};
  std::function<bool(DeviceHandle)> decide;
  DeviceInfo lastInfo;
  std::vector<std::string> calls;
  std::mutex queueMutex;
  std::deque<std::function<void()>> queue;
};

const std::string kFirst = std::to_string(0x1000);
const std::string kSecond = std::to_string(0x1001);

TEST_F(SimDriverTest, OffersBoardsOnlyThroughThePoster) {
  sim.plug();
  ASSERT_EQ(open(), kSuccess);
  EXPECT_NE(connection, DriverConnection{});
  EXPECT_TRUE(calls.empty());  // nothing on init's own stack
  run();
  EXPECT_EQ(takeCalls(), std::vector<std::string>{"attach " + kFirst});
  EXPECT_EQ(lastInfo.descriptor.idVendor, kBoardVendorId);
  EXPECT_EQ(lastInfo.descriptor.idProduct, 0x200B);

  sim.plug();  // plugged later
  EXPECT_TRUE(calls.empty());
  run();
  EXPECT_EQ(takeCalls(), std::vector<std::string>{"attach " + kSecond});
}

TEST_F(SimDriverTest, OffersOnlyBoardsThatMatch) {
  sim.plug(0x1234, kBoardProductId);
  sim.plug(kBoardVendorId, 0x200C);
  ASSERT_EQ(open(), kSuccess);
  sim.plug();
  run();
  EXPECT_EQ(takeCalls(), std::vector<std::string>{"attach " + std::to_string(0x1002)});
}

TEST_F(SimDriverTest, EveryPlugGetsANewHandle) {
  ASSERT_EQ(open(), kSuccess);
  EXPECT_EQ(sim.plug(), 1);
  EXPECT_EQ(sim.plug(), 2);
  EXPECT_TRUE(sim.unplug(1));
  EXPECT_FALSE(sim.unplug(1));
  EXPECT_FALSE(sim.unplug(9));
  EXPECT_EQ(sim.plug(), 3);
  EXPECT_EQ(sim.pluggedBoards(), (std::vector<int>{2, 3}));
  EXPECT_EQ(sim.handleOf(1), 0u);
  EXPECT_EQ(sim.handleOf(2), 0x1001u);
  EXPECT_EQ(sim.handleOf(3), 0x1002u);
}

TEST_F(SimDriverTest, ForgetsUnpluggedBoardsOnceNoCallHoldsThem) {
  ASSERT_EQ(open(), kSuccess);
  for (int i = 0; i < 1000; ++i) {
    const int board = sim.plug();
    run();
    ASSERT_TRUE(sim.unplug(board));
    run();
    ASSERT_LE(sim.keptBoards(), 1u);
  }
  EXPECT_EQ(sim.keptBoards(), 0u);
  EXPECT_EQ(write(0x1000, kPinPipe, {0xFE, 0xE3}), kDeviceGone);            // gone, yet still known as a board's
  EXPECT_EQ(write(0x1000 + 1000, kPinPipe, {0xFE, 0xE3}), kInvalidHandle);  // never given out
  takeCalls();

  // Unplugged while its attach callback runs: kept until the callback returns.
  std::size_t keptDuringAttach = 99;
  decide = [&](DeviceHandle) {
    sim.unplug(1001);
    keptDuringAttach = sim.keptBoards();
    return true;
  };
  EXPECT_EQ(sim.plug(), 1001);
  run();
  EXPECT_EQ(keptDuringAttach, 1u);
  EXPECT_EQ(sim.keptBoards(), 0u);
  EXPECT_EQ(takeCalls(), (std::vector<std::string>{"attach " + std::to_string(0x1000 + 1000),
                                                   "detach " + std::to_string(0x1000 + 1000)}));
}

TEST_F(SimDriverTest, RefusedBoardIsOfferedAgainOnlyWhenReplugged) {
  decide = [](DeviceHandle h) { return h != 0x1000; };
  sim.plug();
  ASSERT_EQ(open(), kSuccess);
  run();
  EXPECT_EQ(takeCalls(), std::vector<std::string>{"attach " + kFirst});
  EXPECT_EQ(write(0x1000, kPinPipe, {0xFE, 0xE3}), kInvalidHandle);  // refused: not ours to use

  sim.plug();
  run();
  EXPECT_EQ(takeCalls(), std::vector<std::string>{"attach " + kSecond});  // board 1 not offered again

  sim.unplug(1);  // refused boards are not detached
  sim.plug();
  run();
  EXPECT_EQ(takeCalls(), std::vector<std::string>{"attach " + std::to_string(0x1002)});
}

TEST_F(SimDriverTest, UnplugOfAcceptedBoardPostsDetach) {
  ASSERT_EQ(open(), kSuccess);
  sim.plug();
  run();
  takeCalls();
  sim.unplug(1);
  EXPECT_TRUE(calls.empty());
  run();
  EXPECT_EQ(takeCalls(), std::vector<std::string>{"detach " + kFirst});
  EXPECT_EQ(write(0x1000, kPinPipe, {0xFE, 0xE3}), kDeviceGone);
}

TEST_F(SimDriverTest, BoardGoneBeforeItWasOfferedIsNeverOffered) {
  ASSERT_EQ(open(), kSuccess);
  sim.plug();
  sim.unplug(1);
  run();
  EXPECT_TRUE(calls.empty());
}

TEST_F(SimDriverTest, BoardUnpluggedWhileTheProgramDecidesIsDetachedAfterAcceptance) {
  decide = [this](DeviceHandle) {
    sim.unplug(1);
    return true;
  };
  ASSERT_EQ(open(), kSuccess);
  sim.plug();
  run();
  EXPECT_EQ(takeCalls(), (std::vector<std::string>{"attach " + kFirst, "detach " + kFirst}));
}

TEST_F(SimDriverTest, NoCallbackAfterClose) {
  sim.plug();
  ASSERT_EQ(open(), kSuccess);
  sim.close(connection);  // the attach task is still queued
  run();
  EXPECT_TRUE(calls.empty());

  ASSERT_EQ(open(), kSuccess);  // reopened: the plugged board is offered afresh
  run();
  EXPECT_EQ(takeCalls(), std::vector<std::string>{"attach " + kFirst});
  sim.unplug(1);
  sim.close(connection);
  run();
  EXPECT_TRUE(calls.empty());  // the detach was queued before the close
}

TEST_F(SimDriverTest, CloseOfAnotherConnectionIsIgnored) {
  ASSERT_EQ(open(), kSuccess);
  sim.close(DriverConnection{static_cast<uint32_t>(connection) + 1});
  EXPECT_EQ(open(), kAlreadyOpen);
}

TEST_F(SimDriverTest, OpenNeedsAnAttachCallbackAndAPoster) {
  EXPECT_EQ(sim.open({}, DriverEvents{}, [](std::function<void()>) {}).status(), kInvalidParameter);
  DriverEvents events;
  events.attach = [](DeviceHandle, const DeviceInfo&) { return true; };
  EXPECT_EQ(sim.open({}, events, nullptr).status(), kInvalidParameter);
  EXPECT_EQ(open(), kSuccess);
}

TEST_F(SimDriverTest, DeviceInfoDescribesTheBoard) {
  ASSERT_EQ(open(), kSuccess);
  sim.plug();
  run();
  Result<DeviceInfo> described = sim.deviceInfo(0x1000);
  ASSERT_TRUE(described.ok());
  EXPECT_EQ(described.status(), kSuccess);
  const DeviceInfo& info = described.value();
  EXPECT_EQ(info.descriptor.idVendor, kBoardVendorId);
  EXPECT_EQ(info.descriptor.idProduct, 0x200B);
  const auto& alt = info.activeInterface.activeAltSetting;
  EXPECT_EQ(alt.interfaceNumber, 0);
  EXPECT_EQ(alt.alternateSetting, 0);
  ASSERT_EQ(alt.numEndpoints, 4);
  std::vector<std::pair<uint32_t, bool>> pipes;
  for (const auto& p : alt.pipes) {
    pipes.emplace_back(p.number, p.in);
    EXPECT_EQ(p.type, PipeType::Bulk);
    EXPECT_EQ(p.maxPacketSize, 64u);
  }
  EXPECT_EQ(pipes, (std::vector<std::pair<uint32_t, bool>>{{1, false}, {2, false}, {3, false}, {0x82, true}}));

  sim.setFaults(faultsWith([](Faults& f) { f.noPipes = true; }));
  described = sim.deviceInfo(0x1000);
  ASSERT_TRUE(described.ok());
  EXPECT_EQ(described->activeInterface.activeAltSetting.numEndpoints, 0);
  sim.setFaults(faultsWith([](Faults& f) { f.deviceInfoRefused = true; }));
  EXPECT_EQ(sim.deviceInfo(0x1000).status(), kDeviceInfoRefused);
  EXPECT_FALSE(sim.deviceInfo(0x1000).ok());
  EXPECT_EQ(sim.deviceInfo(0).status(), kInvalidHandle);
}

TEST_F(SimDriverTest, OnlyAlternateSettingZeroExists) {
  ASSERT_EQ(open(), kSuccess);
  sim.plug();
  run();
  EXPECT_EQ(sim.setInterface(0x1000, 0, 0), kSuccess);
  EXPECT_EQ(sim.setInterface(0x1000, 0, 1), kNoSuchSetting);
  EXPECT_EQ(sim.setInterface(0x1000, 1, 0), kNoSuchSetting);
  EXPECT_EQ(sim.setInterface(0x1001, 0, 0), kInvalidHandle);
}

TEST_F(SimDriverTest, RefusesTransfersItCannotMake) {
  ASSERT_EQ(open(), kSuccess);
  sim.plug();
  run();
  uint8_t buf[4] = {};
  struct Case {
    const char* what;
    DeviceHandle handle;
    uint32_t pipe;
    Direction direction;
    Status expected;
  };
  const Case cases[] = {
      {"handle 0", 0, 1, kWrite, kInvalidHandle},
      {"unknown handle", 0x2000, 1, kWrite, kInvalidHandle},
      {"no such pipe", 0x1000, 4, kWrite, kNoSuchPipe},
      {"pipe 0", 0x1000, 0, kWrite, kNoSuchPipe},
      {"answer pipe written", 0x1000, 0x82, kWrite, kNoSuchPipe},
      {"out pipe read", 0x1000, 2, kRead, kNoSuchPipe},
      {"bad direction", 0x1000, 1, static_cast<Direction>(7), kInvalidParameter},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const TransferResult r = sim.transfer(c.handle, c.pipe, c.direction, std::span(buf, 2), 30000, plain);
    EXPECT_EQ(r.status, c.expected);
    EXPECT_EQ(r.bytes, 0u);
  }
  EXPECT_FALSE(sim.boardState(1).pinsWritten);
  EXPECT_TRUE(sim.trace().empty());  // nothing reached the board

  sim.setFaults(faultsWith([](Faults& f) { f.noPipes = true; }));
  EXPECT_EQ(write(0x1000, kPinPipe, {0xFE, 0xE3}), kNoSuchPipe);
}

TEST_F(SimDriverTest, MovesPacketsToAndFromTheBoard) {
  ASSERT_EQ(open(), kSuccess);
  sim.plug();
  run();
  uint32_t moved = 0;
  EXPECT_EQ(write(0x1000, kPinPipe, {0xCE, 0xF3}, &moved), kSuccess);
  EXPECT_EQ(moved, 2u);
  EXPECT_EQ(sim.boardState(1).pinLevel, 0xCE);

  Bytes answer(2);
  EXPECT_EQ(read(0x1000, kAnswerPipe, answer), kTimeout);  // nothing asked yet
  EXPECT_TRUE(answer.empty());

  sim.setChipRegister(10, 0x05);
  EXPECT_EQ(write(0x1000, kI2cPipe, {0x01, 0x5B, 0x0A}), kSuccess);
  answer.assign(2, 0);
  EXPECT_EQ(read(0x1000, kAnswerPipe, answer), kSuccess);
  EXPECT_EQ(answer, (Bytes{0x00, 0x05}));

  // Zero-length transfers with no buffer at all are fine.
  const TransferResult none = sim.transfer(0x1000, kTimingPipe, kWrite, {}, 30000, plain);
  EXPECT_EQ(none.status, kSuccess);
  EXPECT_EQ(none.bytes, 0u);
  EXPECT_EQ(sim.transfer(0x1000, kAnswerPipe, kRead, {}, 30000, plain).status, kSuccess);
}

TEST_F(SimDriverTest, FaultsFailTransfersAtOnce) {
  ASSERT_EQ(open(), kSuccess);
  sim.plug();
  run();
  Faults faults;
  faults.refusedPipes = {kPinPipe};
  faults.timeoutPipes = {kTimingPipe, kAnswerPipe};
  faults.shortPipes = {{kI2cPipe, 3}};
  sim.setFaults(faults);
  EXPECT_EQ(sim.faults().refusedPipes, faults.refusedPipes);

  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(write(0x1000, kPinPipe, {0xCE, 0xF3}), kStall);
  EXPECT_EQ(write(0x1000, kTimingPipe, Bytes(44)), kTimeout);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_FALSE(sim.boardState(1).pinsWritten);
  EXPECT_FALSE(sim.boardState(1).timingWritten);

  // A short write delivers the first bytes only: here a bare block write header.
  uint32_t moved = 0;
  EXPECT_EQ(write(0x1000, kI2cPipe, {0x00, 0x5A, 0x00, 0x12}, &moved), kSuccess);
  EXPECT_EQ(moved, 3u);
  EXPECT_EQ(sim.boardState(1).registers, kPowerOnRegisters);

  Bytes answer(2);
  EXPECT_EQ(read(0x1000, kAnswerPipe, answer), kTimeout);
  sim.setFaults(faultsWith([](Faults& f) { f.shortPipes = {{kAnswerPipe, 1}}; }));
  answer.assign(2, 0);
  EXPECT_EQ(read(0x1000, kAnswerPipe, answer), kSuccess);  // the error answer is still there
  EXPECT_EQ(answer, Bytes{kAnswerBadCommand});

  EXPECT_EQ(write(0x1000, kI2cPipe, {0x17, 0x5B, 0x00}), kSuccess);
  answer.assign(23, 0);
  EXPECT_EQ(read(0x1000, kAnswerPipe, answer), kSuccess);
  EXPECT_EQ(answer, Bytes{kAnswerOk});
  sim.clearFaults();
  EXPECT_TRUE(sim.faults().shortPipes.empty());
}

// A hanging pipe holds the transfer until something ends it; the ending
// decides the status, and only a normal end moves the bytes.
TEST_F(SimDriverTest, AHangingPipeHoldsTheTransferUntilItIsDueCancelledUnpluggedOrCleared) {
  using namespace std::chrono_literals;
  struct EndIt final : TransferWaiter {
    std::function<void(PendingTransfer&)> act;
    void wait(PendingTransfer& pending) override {
      if (!pending.waitFor(50ms) && act) act(pending);
      pending.waitPlainly();
    }
  };
  struct Case {
    const char* what;
    uint32_t hangMs;
    uint32_t timeoutMs;
    std::function<void(SimDriver&, PendingTransfer&)> act;
    Status expected;
    std::chrono::milliseconds atLeast;
  };
  const Case cases[] = {
      {"due after its milliseconds", 120, 30000, nullptr, kSuccess, 120ms},
      // The plain wait (glimmora-cli's) gives up at the deadline plus its 1 s
      // slack, not after the slack alone.
      {"due after more than the plain wait's slack", 1300, 30000, nullptr, kSuccess, 1300ms},
      {"at the time-out", 0, 120, nullptr, kTimeout, 120ms},
      {"hang not under the time-out", 20000, 120, nullptr, kTimeout, 120ms},
      {"cancelled", 0, 30000, [](SimDriver&, PendingTransfer& p) { p.cancel(); }, kCancelled, 50ms},
      {"unplugged", 0, 30000, [](SimDriver& s, PendingTransfer&) { s.unplug(s.pluggedBoards().back()); }, kDeviceGone,
       50ms},
      {"fault cleared", 0, 30000, [](SimDriver& s, PendingTransfer&) { s.clearFaults(); }, kSuccess, 50ms},
  };
  ASSERT_EQ(open(), kSuccess);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int board = sim.plug();
    run();
    const DeviceHandle handle = sim.handleOf(board);
    sim.setFaults(faultsWith([&](Faults& f) { f.hangPipes[kPinPipe] = c.hangMs; }));
    EndIt waiter;
    waiter.act = [&](PendingTransfer& p) {
      if (c.act) c.act(sim, p);
    };
    Bytes pins{0xFE, 0xE3};
    const auto start = std::chrono::steady_clock::now();
    const TransferResult r = sim.transfer(handle, kPinPipe, kWrite, pins, c.timeoutMs, waiter);
    EXPECT_EQ(r.status, c.expected);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, c.atLeast);
    EXPECT_LT(took, c.atLeast + 5000ms);  // well under every other way it could end
    EXPECT_EQ(r.bytes, c.expected == kSuccess ? 2u : 0u);
    EXPECT_EQ(sim.boardState(board).pinsWritten, c.expected == kSuccess);
    sim.clearFaults();
    sim.unplug(board);
    run();
  }
}

TEST_F(SimDriverTest, TracesEveryPacketThatReachedABoard) {
  ASSERT_EQ(open(), kSuccess);
  sim.plug();
  sim.plug(0x1234, 0x0001);  // not offered: its packets cannot be sent
  run();
  write(0x1000, kPinPipe, {0xFE, 0xE3});
  write(0x1001, kPinPipe, {0xFE, 0xE3});
  sim.setFaults(faultsWith([](Faults& f) { f.refusedPipes = {kI2cPipe}; }));
  write(0x1000, kI2cPipe, {0x01, 0x5B, 0x00});
  Bytes answer(2);
  read(0x1000, kAnswerPipe, answer);

  const auto trace = sim.trace();
  ASSERT_EQ(trace.size(), 3u);
  EXPECT_EQ(trace[0].board, 1);
  EXPECT_EQ(trace[0].pipe, 1u);
  EXPECT_FALSE(trace[0].in);
  EXPECT_EQ(trace[0].bytes, (Bytes{0xFE, 0xE3}));
  EXPECT_EQ(trace[1].status, kStall);
  EXPECT_TRUE(trace[1].bytes.empty());
  EXPECT_TRUE(trace[2].in);
  EXPECT_EQ(trace[2].status, kTimeout);
  EXPECT_LE(trace[0].microsSinceStart, trace[2].microsSinceStart);
  sim.clearTrace();
  EXPECT_TRUE(sim.trace().empty());

  for (std::size_t i = 0; i < SimDriver::kTraceLimit + 5; ++i) write(0x1000, kPinPipe, {0xFE, 0xE3});
  EXPECT_EQ(sim.trace().size(), SimDriver::kTraceLimit);
}

TEST_F(SimDriverTest, ChangesAreToldOnceThroughThePoster) {
  int told = 0;
  const forms::Connection counting = sim.subscribeChanges([&] { ++told; });
  sim.plug();  // before init: nobody to tell
  ASSERT_EQ(open(), kSuccess);
  run();
  const int afterOpen = told;
  EXPECT_GE(afterOpen, 1);
  sim.plug();
  sim.setChipRegister(1, 2);
  sim.setFaults({});
  EXPECT_EQ(told, afterOpen);  // not on the caller's stack
  run();
  EXPECT_EQ(told, afterOpen + 1);  // three changes and board 2's acceptance, told once
  sim.close(connection);
  sim.plug();
  run();
  EXPECT_EQ(told, afterOpen + 1);
}

// Observers may come after the driver opened and go in any order; one that
// outlives the driver has nothing left to let go of.
TEST_F(SimDriverTest, ChangeObserversComeAndGoInAnyOrder) {
  ASSERT_EQ(open(), kSuccess);
  int first = 0;
  int second = 0;
  sim.plug();
  run();
  forms::Connection firstTold = sim.subscribeChanges([&] { ++first; });
  sim.plug();
  run();
  EXPECT_EQ(first, 1);
  const forms::Connection secondTold = sim.subscribeChanges([&] { ++second; });
  firstTold.disconnect();
  sim.setChipRegister(1, 2);
  run();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 1);
  sim.close(connection);

  auto other = std::make_unique<SimDriver>();
  forms::Connection outlives = other->subscribeChanges([&] { ++first; });
  other.reset();
  EXPECT_FALSE(outlives.connected());
  outlives.disconnect();
}

TEST_F(SimDriverTest, SetChipRegisterIgnoresRegistersPastTheLast) {
  sim.plug();
  sim.setChipRegister(21, 0x01);
  sim.setChipRegister(22, 0x02);
  sim.setChipRegister(-1, 0x03);
  auto expected = kPowerOnRegisters;
  expected[21] = 0x01;
  EXPECT_EQ(sim.boardState(1).registers, expected);
  EXPECT_EQ(sim.boardState(7).registers, kPowerOnRegisters);  // no such board: a fresh one
}

TEST_F(SimDriverTest, CloseWaitsForACallbackRunningOnAnotherThread) {
  std::atomic<bool> entered{false};
  std::atomic<bool> finished{false};
  decide = [&](DeviceHandle) {
    entered = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    finished = true;
    return true;
  };
  sim.plug();
  ASSERT_EQ(open(), kSuccess);
  std::thread forms([this] { run(); });
  while (!entered) std::this_thread::yield();
  sim.close(connection);
  EXPECT_TRUE(finished);
  forms.join();
}

TEST_F(SimDriverTest, CloseInsideACallbackDoesNotWaitForItself) {
  decide = [this](DeviceHandle) {
    sim.close(connection);
    return true;
  };
  sim.plug();
  ASSERT_EQ(open(), kSuccess);
  run();
  EXPECT_EQ(takeCalls().size(), 1u);
  EXPECT_EQ(write(0x1000, kPinPipe, {0xFE, 0xE3}), kInvalidHandle);  // closed
}

TEST_F(SimDriverTest, BoardsPluggedFromManyThreadsStayConsistent) {
  ASSERT_EQ(open(), kSuccess);
  std::atomic<bool> stop{false};
  auto churn = [&] {
    for (int i = 0; i < 200; ++i) {
      const int n = sim.plug();
      if (i % 3 != 0) sim.unplug(n);
    }
  };
  std::thread a(churn);
  std::thread b(churn);
  std::thread faults([&] {
    while (!stop) {
      sim.setFaults(faultsWith([](Faults& f) { f.shortPipes = {{kAnswerPipe, 1}}; }));
      sim.clearFaults();
    }
  });
  for (int i = 0; i < 2000; ++i) {
    run();
    const DeviceHandle h = 0x1000 + static_cast<DeviceHandle>(i % 64);
    write(h, kI2cPipe, {0x01, 0x5B, 0x00});
    Bytes answer(2);
    read(h, kAnswerPipe, answer);
  }
  a.join();
  b.join();
  stop = true;
  faults.join();
  run();
  // Every board still plugged in was offered once; every detach followed an attach.
  std::set<std::string> attached;
  for (const auto& call : calls) {
    if (call.starts_with("attach ")) {
      EXPECT_TRUE(attached.insert(call.substr(7)).second) << call;
    } else {
      EXPECT_TRUE(attached.contains(call.substr(7))) << call;
    }
  }
  for (int n : sim.pluggedBoards()) EXPECT_TRUE(attached.contains(std::to_string(sim.handleOf(n))));
  EXPECT_EQ(sim.pluggedBoards().size(), 134u);
}

}  // namespace
}  // namespace glim::usb::sim
