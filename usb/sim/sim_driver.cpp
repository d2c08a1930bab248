#include "usb/sim/sim_driver.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "usb/sim/held_transfers.h"
#include "usb/vendor_id.h"

namespace glim::usb::sim {

namespace {

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

bool matches(const MatchEntry& match, const Slot& slot) {
  return (match.vendorId == 0 || match.vendorId == slot.vendorId) &&
         (match.productId == 0 || match.productId == slot.productId);
}

DeviceInfo describe(const Slot& slot, bool noPipes) {
  DeviceInfo info;
  info.descriptor.idVendor = slot.vendorId;
  info.descriptor.idProduct = slot.productId;
  AlternateSettingInfo& alt = info.activeInterface.activeAltSetting;
  if (!noPipes) {
    for (uint32_t out : {kPinsPipe, kI2cPipe, kTimingPipe}) {
      alt.pipes.push_back({out, kPacketSize, PipeType::Bulk, false, 0});
    }
    alt.pipes.push_back({kAnswerPipe, kPacketSize, PipeType::Bulk, true, 0});
  }
  alt.numEndpoints = static_cast<uint8_t>(alt.pipes.size());
  return info;
}

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
  uint32_t driverHandle = 0;
  uint32_t nextDriverHandle = 1;
  uint64_t session = 0;  // changes at every init and uninit
  MatchEntry match;
  DriverEvents events;
  Poster post;
  std::function<void()> onChanged;
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
    if (!open || !onChanged || changePosted) return false;
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

void postTask(const Poster& post, std::function<void()> task) {
  if (post) post(std::move(task));
}

std::function<void()> changeTask(CorePtr core, uint64_t session) {
  return [core, session] {
    std::unique_lock lock(core->mutex);
    if (core->session == session) core->changePosted = false;
    if (!core->live(session) || !core->onChanged) return;
    auto notify = core->onChanged;
    core->enterCallback();
    lock.unlock();
    notify();
    lock.lock();
    core->leaveCallback();
  };
}

std::function<void()> detachTask(CorePtr core, uint64_t session, DeviceHandle handle) {
  return [core, session, handle] {
    std::unique_lock lock(core->mutex);
    if (!core->live(session) || !core->events.detach) return;
    auto detach = core->events.detach;
    void* userData = core->events.userData;
    core->enterCallback();
    lock.unlock();
    detach(handle, userData);
    lock.lock();
    core->leaveCallback();
  };
}

// Under the lock: the change notice to post after unlocking, if any.
std::function<void()> changeNotice(const CorePtr& core) {
  if (!core->noteChange()) return {};
  return changeTask(core, core->session);
}

// Ends a change made under `lock`: releases it, then posts `task` (if any) and
// the change notice due (if any), in that order.
void releaseAndPost(std::unique_lock<std::mutex>& lock, const CorePtr& core, std::function<void()> task = {}) {
  std::function<void()> notice = changeNotice(core);
  const Poster post = core->post;
  lock.unlock();
  if (task) postTask(post, std::move(task));
  if (notice) postTask(post, std::move(notice));
}

std::function<void()> attachTask(CorePtr core, uint64_t session, int number) {
  return [core, session, number] {
    std::unique_lock lock(core->mutex);
    if (!core->live(session)) return;
    Slot* slot = core->byNumber(number);
    if (slot == nullptr || !slot->plugged || slot->offer != Offer::Pending) return;
    slot->offer = Offer::Offering;
    const DeviceInfo info = describe(*slot, core->faults.noPipes);
    const DeviceHandle handle = slot->handle;
    auto attach = core->events.attach;
    void* userData = core->events.userData;
    core->enterCallback();
    ++slot->holds;
    lock.unlock();
    const bool accepted = attach(handle, info, userData);
    lock.lock();
    --slot->holds;
    core->leaveCallback();
    if (!core->live(session) || slot->offer != Offer::Offering) {
      core->forgetIfGone(slot);
      return;
    }
    slot->offer = accepted ? Offer::Accepted : Offer::Refused;
    // Unplugged while the program was deciding: it must still hear of it.
    std::function<void()> detach;
    if (accepted && !slot->plugged) detach = detachTask(core, session, handle);
    core->forgetIfGone(slot);
    releaseAndPost(lock, core, std::move(detach));
  };
}

}  // namespace

struct SimDriver::Impl {
  CorePtr core = std::make_shared<Core>();
};

SimDriver::SimDriver() : impl_(std::make_unique<Impl>()) {}

SimDriver::~SimDriver() {
  uint32_t handle = 0;
  {
    std::lock_guard lock(impl_->core->mutex);
    if (!impl_->core->open) return;
    handle = impl_->core->driverHandle;
  }
  uninit(handle);
}

Status SimDriver::init(uint32_t& driverHandle, const MatchEntry& match, const DriverEvents& events, Poster post) {
  const CorePtr& core = impl_->core;
  std::vector<std::function<void()>> tasks;
  Poster poster;
  {
    std::lock_guard lock(core->mutex);
    if (core->open) return kAlreadyOpen;
    if (!events.attach || !post) return kInvalidParameter;
    core->open = true;
    core->driverHandle = core->nextDriverHandle++;
    if (core->nextDriverHandle == 0) core->nextDriverHandle = 1;
    ++core->session;
    core->match = match;
    core->events = events;
    core->post = std::move(post);
    core->onChanged = onChanged;
    core->changePosted = false;
    for (const auto& [number, slot] : core->slots) {
      if (slot->plugged && matches(match, *slot)) tasks.push_back(attachTask(core, core->session, number));
    }
    if (auto notice = changeNotice(core)) tasks.push_back(std::move(notice));
    driverHandle = core->driverHandle;
    poster = core->post;
  }
  for (auto& task : tasks) postTask(poster, std::move(task));
  return kSuccess;
}

void SimDriver::uninit(uint32_t driverHandle) {
  const CorePtr& core = impl_->core;
  std::unique_lock lock(core->mutex);
  if (!core->open || driverHandle != core->driverHandle) return;
  core->open = false;
  ++core->session;
  core->events = {};
  core->post = {};
  core->onChanged = {};
  core->held.release([](const HeldTransfers::Hold&) { return true; }, kCancelled);
  // A later init offers the boards still plugged in afresh.
  for (auto& [number, slot] : core->slots) slot->offer = Offer::Pending;
  // No callback may run after this returns; one running on another thread is
  // waited for (one running on this thread is the caller itself).
  core->callbacksDone.wait(lock, [&] {
    return core->callbacksRunning == 0 || core->callbackThread == std::this_thread::get_id();
  });
}

Status SimDriver::setInterface(DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  Slot* slot = nullptr;
  if (const Status s = core->usable(device, slot); s != kSuccess) return s;
  return interfaceNumber == 0 && alternateSetting == 0 ? kSuccess : kNoSuchSetting;
}

Status SimDriver::getDeviceInfo(DeviceHandle device, DeviceInfo& info) {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  Slot* slot = nullptr;
  if (const Status s = core->usable(device, slot); s != kSuccess) return s;
  if (core->faults.deviceInfoRefused) return kDeviceInfoRefused;
  info = describe(*slot, core->faults.noPipes);
  return kSuccess;
}

Status SimDriver::transfer(DeviceHandle device, uint32_t pipe, uint32_t direction, uint32_t /*options*/,
                           uint8_t* buffer, uint32_t length, uint32_t& transferred, const uint8_t* /*setupPacket*/,
                           uint32_t timeoutMs) {
  PlainWaiter plain;
  return transferWaiting(device, pipe, direction, buffer, length, transferred, timeoutMs, plain);
}

Status SimDriver::transferWaiting(DeviceHandle device, uint32_t pipe, uint32_t direction, uint8_t* buffer,
                                  uint32_t length, uint32_t& transferred, uint32_t timeoutMs,
                                  TransferWaiter& waiter) {
  transferred = 0;
  const CorePtr& core = impl_->core;
  std::unique_lock lock(core->mutex);
  Slot* slot = nullptr;
  if (const Status s = core->usable(device, slot); s != kSuccess) return s;
  if (direction != kWrite && direction != kRead) return kInvalidParameter;
  if (buffer == nullptr && length > 0) return kInvalidParameter;
  const bool in = pipe == kAnswerPipe;
  const bool out = pipe == kPinsPipe || pipe == kI2cPipe || pipe == kTimingPipe;
  if (core->faults.noPipes || !(in || out) || in != (direction == kRead)) return kNoSuchPipe;

  if (const auto hang = core->faults.hangPipes.find(pipe); hang != core->faults.hangPipes.end() &&
                                                          !core->faults.refusedPipes.contains(pipe) &&
                                                          !core->faults.timeoutPipes.contains(pipe)) {
    const Status held = core->held.hold(lock, device, pipe, hang->second, timeoutMs, waiter);
    // The board may have gone meanwhile: look it up afresh.
    const Status now = core->usable(device, slot);
    if (held != kSuccess) {
      if (now == kSuccess) core->record(*slot, pipe, in, held, {});
      releaseAndPost(lock, core);
      return held;
    }
    if (now != kSuccess) return now;
  }

  const Faults& faults = core->faults;
  uint32_t limit = length;
  if (auto it = faults.shortPipes.find(pipe); it != faults.shortPipes.end()) limit = std::min(limit, it->second);
  Status status = kSuccess;
  std::vector<uint8_t> moved;
  if (faults.refusedPipes.contains(pipe)) {
    status = kStall;
  } else if (faults.timeoutPipes.contains(pipe)) {
    status = kTimeout;
  } else if (out) {
    moved.assign(buffer, buffer + limit);
    for (int r = 0; r < kChipRegisters; ++r) {
      slot->board.ignoreWrites[static_cast<std::size_t>(r)] = faults.ignoredRegisters.contains(r);
    }
    slot->board.receive(pipe, moved);
  } else if (length > 0) {
    if (slot->board.answerPending()) {
      moved = slot->board.answer(limit);
      std::copy(moved.begin(), moved.end(), buffer);
    } else {
      status = kTimeout;  // the board has nothing to say
    }
  }
  transferred = static_cast<uint32_t>(moved.size());
  core->record(*slot, pipe, in, status, std::move(moved));
  releaseAndPost(lock, core);
  return status;
}

int SimDriver::plug() { return plug(kBoardVendorId, kBoardProductId); }

int SimDriver::plug(uint16_t vendorId, uint16_t productId) {
  const CorePtr& core = impl_->core;
  std::unique_lock lock(core->mutex);
  auto slot = std::make_unique<Slot>();
  const int number = ++core->boardsPlugged;
  slot->number = number;
  slot->handle = kFirstHandle + static_cast<DeviceHandle>(number - 1);
  slot->vendorId = vendorId;
  slot->productId = productId;
  std::function<void()> attach;
  if (core->open && matches(core->match, *slot)) attach = attachTask(core, core->session, number);
  core->slots.emplace(number, std::move(slot));
  releaseAndPost(lock, core, std::move(attach));
  return number;
}

bool SimDriver::unplug(int board) {
  const CorePtr& core = impl_->core;
  std::unique_lock lock(core->mutex);
  Slot* slot = core->byNumber(board);
  if (slot == nullptr || !slot->plugged) return false;
  slot->plugged = false;
  const DeviceHandle gone = slot->handle;
  core->held.release([gone](const HeldTransfers::Hold& h) { return h.device == gone; }, kDeviceGone);
  // A board still being offered is told of by its attach task; one not yet
  // offered is simply never offered.
  std::function<void()> detach;
  if (core->open && slot->offer == Offer::Accepted) detach = detachTask(core, core->session, slot->handle);
  core->forgetIfGone(slot);
  releaseAndPost(lock, core, std::move(detach));
  return true;
}

std::vector<int> SimDriver::pluggedBoards() const {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  std::vector<int> out;
  for (const auto& [number, slot] : core->slots) {
    if (slot->plugged) out.push_back(number);
  }
  return out;
}

DeviceHandle SimDriver::handleOf(int board) const {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  const Slot* slot = core->byNumber(board);
  return slot != nullptr && slot->plugged ? slot->handle : 0;
}

Faults SimDriver::faults() const {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  return core->faults;
}

void SimDriver::setFaults(const Faults& faults) {
  const CorePtr& core = impl_->core;
  std::unique_lock lock(core->mutex);
  core->faults = faults;
  // A pipe that no longer hangs lets its held transfers go on.
  core->held.release([&](const HeldTransfers::Hold& h) { return !faults.hangPipes.contains(h.pipe); }, kSuccess);
  releaseAndPost(lock, core);
}

void SimDriver::setChipRegister(int reg, uint8_t value) {
  if (reg < 0 || reg >= kChipRegisters) return;
  const CorePtr& core = impl_->core;
  std::unique_lock lock(core->mutex);
  for (auto& [number, slot] : core->slots) {
    if (slot->plugged) slot->board.registers[static_cast<std::size_t>(reg)] = value;
  }
  releaseAndPost(lock, core);
}

SimBoard SimDriver::boardState(int board) const {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  const Slot* slot = core->byNumber(board);
  return slot != nullptr ? slot->board : SimBoard{};
}

std::size_t SimDriver::keptBoards() const {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  return core->slots.size();
}

std::vector<PacketTraceEntry> SimDriver::trace() const {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  return {core->trace.begin(), core->trace.end()};
}

void SimDriver::clearTrace() {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  core->trace.clear();
}

}  // namespace glim::usb::sim
