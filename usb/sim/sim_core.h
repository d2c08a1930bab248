#pragma once
// The simulated driver's shared state and the tasks it posts, kept apart from
// the driver's calls (sim_driver.cpp). Internal to the simulated layer.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "usb/sim/held_transfers.h"
#include "usb/sim/sim_driver.h"

namespace glim::usb::sim::detail {

constexpr DeviceHandle kFirstHandle = 0x1000;
constexpr uint32_t kPacketSize = 64;

enum class Offer { Pending, Offering, Accepted, Refused };

struct Slot {
  int number = 0;
  DeviceHandle handle = 0;
  uint16_t vendorId = 0;
  uint16_t productId = 0;
  bool plugged = true;
  Offer offer = Offer::Pending;
  int holds = 0;  // attach callbacks running for this board (they hold the slot)
  SimBoard board;
};

bool matches(const MatchEntry& match, const Slot& slot);
DeviceInfo describe(const Slot& slot, bool noPipes);

// The layer's state. Posted tasks hold it too, so that a task that runs after
// the driver closed (or went away) finds its session over and does nothing.
struct Core {
  using Clock = std::chrono::steady_clock;

  mutable std::mutex mutex;
  std::condition_variable callbacksDone;
  // Boards plugged in, and unplugged ones a running callback still holds.
  // Board N has the handle kFirstHandle + N - 1; neither is ever reused.
  std::map<int, std::unique_ptr<Slot>> slots;
  int boardsPlugged = 0;
  Faults faults;
  std::deque<PacketTraceEntry> trace;
  Clock::time_point start = Clock::now();

  // The driver connection.
  bool open = false;
  DriverConnection connection{};
  uint32_t nextConnection = 1;
  uint64_t session = 0;  // changes at every open and close
  MatchEntry match;
  DriverEvents events;
  Poster post;
  // The bench's change observers: connected, told and let go on the forms
  // thread only. `observed` (under the mutex) says whether a change notice is
  // worth posting; the notice clears it when it finds nobody left.
  forms::Signal<std::function<void()>> changed;
  bool observed = false;
  bool changePosted = false;
  int callbacksRunning = 0;
  std::thread::id callbackThread;
  HeldTransfers held;  // transfers on hanging pipes

  bool live(uint64_t s) const { return open && session == s; }

  Slot* byNumber(int number) const {
    const auto it = slots.find(number);
    return it != slots.end() ? it->second.get() : nullptr;
  }
  // Whether `handle` was given to a board at some time.
  bool issued(DeviceHandle handle) const {
    return handle >= kFirstHandle && handle - kFirstHandle < static_cast<DeviceHandle>(boardsPlugged);
  }

  // Drops an unplugged board no callback holds any more.
  void forgetIfGone(Slot* slot) {
    if (slot != nullptr && !slot->plugged && slot->holds == 0) slots.erase(slot->number);
  }

  // A board the program may use: offered (its attach callback may be running)
  // or accepted, in the open driver session.
  Status usable(DeviceHandle handle, Slot*& slot) const {
    if (!issued(handle)) return kInvalidHandle;
    slot = byNumber(static_cast<int>(handle - kFirstHandle) + 1);
    if (slot == nullptr || !slot->plugged) return kDeviceGone;
    if (!open || (slot->offer != Offer::Offering && slot->offer != Offer::Accepted)) return kInvalidHandle;
    return kSuccess;
  }

  // Under the lock: whether a change notice must be posted now.
  bool noteChange() {
    if (!open || !observed || changePosted) return false;
    changePosted = true;
    return true;
  }

  void record(const Slot& slot, uint32_t pipe, bool in, Status status, std::vector<uint8_t> bytes) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
    trace.push_back({static_cast<uint64_t>(micros), slot.number, pipe, in, status, std::move(bytes)});
    if (trace.size() > SimDriver::kTraceLimit) trace.pop_front();
  }

  // Under the lock, around a callback that runs unlocked.
  void enterCallback() {
    ++callbacksRunning;
    callbackThread = std::this_thread::get_id();
  }
  void leaveCallback() {
    if (--callbacksRunning == 0) callbacksDone.notify_all();
  }
};

using CorePtr = std::shared_ptr<Core>;

// Tasks posted to the program's thread. Each holds the core and the session
// it was made in, and does nothing once that session is over.
void postTask(const Poster& post, std::function<void()> task);
std::function<void()> changeTask(CorePtr core, uint64_t session);
std::function<void()> detachTask(CorePtr core, uint64_t session, DeviceHandle handle);
std::function<void()> attachTask(CorePtr core, uint64_t session, int number);
// Under the lock: the change notice to post after unlocking, if any.
std::function<void()> changeNotice(const CorePtr& core);
// Ends a change made under `lock`: releases it, then posts `task` (if any) and
// the change notice due (if any), in that order.
void releaseAndPost(std::unique_lock<std::mutex>& lock, const CorePtr& core, std::function<void()> task = {});

}  // namespace glim::usb::sim::detail
