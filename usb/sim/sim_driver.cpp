#include "usb/sim/sim_driver.h"

#include "usb/sim/sim_core.h"
#include "usb/vendor_id.h"

namespace glim::usb::sim {

using namespace detail;

struct SimDriver::Impl {
  CorePtr core = std::make_shared<Core>();
};

SimDriver::SimDriver(uint16_t boardVendorId) : impl_(std::make_unique<Impl>()), boardVendorId_(boardVendorId) {}

SimDriver::~SimDriver() {
  DriverConnection connection{};
  {
    std::lock_guard lock(impl_->core->mutex);
    if (!impl_->core->open) return;
    connection = impl_->core->connection;
  }
  close(connection);
}

Result<DriverConnection> SimDriver::open(const MatchEntry& match, const DriverEvents& events, Poster post) {
  const CorePtr& core = impl_->core;
  std::vector<std::function<void()>> tasks;
  Poster poster;
  {
    std::lock_guard lock(core->mutex);
    if (core->open) return kAlreadyOpen;
    if (!events.attach || !post) return kInvalidParameter;
    core->open = true;
    core->connection = DriverConnection{core->nextConnection++};
    if (core->nextConnection == 0) core->nextConnection = 1;
    ++core->session;
    core->match = match;
    core->events = events;
    core->post = std::move(post);
    core->changePosted = false;
    for (const auto& [number, slot] : core->slots) {
      if (slot->plugged && matches(match, *slot)) tasks.push_back(attachTask(core, core->session, number));
    }
    if (auto notice = changeNotice(core)) tasks.push_back(std::move(notice));
    poster = core->post;
  }
  for (auto& task : tasks) postTask(poster, std::move(task));
  return core->connection;
}

void SimDriver::close(DriverConnection connection) {
  const CorePtr& core = impl_->core;
  std::unique_lock lock(core->mutex);
  if (!core->open || connection != core->connection) return;
  core->open = false;
  ++core->session;
  core->events = {};
  core->post = {};
  core->held.release([](const HeldTransfers::Hold&) { return true; }, kCancelled);
  // A later open offers the boards still plugged in afresh.
  for (auto& [number, slot] : core->slots) slot->offer = Offer::Pending;
  // No callback may run after this returns; one running on another thread is
  // waited for (one running on this thread is the caller itself).
  core->callbacksDone.wait(
      lock, [&] { return core->callbacksRunning == 0 || core->callbackThread == std::this_thread::get_id(); });
}

Status SimDriver::setInterface(DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  Slot* slot = nullptr;
  if (const Status s = core->usable(device, slot); s != kSuccess) return s;
  return interfaceNumber == 0 && alternateSetting == 0 ? kSuccess : kNoSuchSetting;
}

Result<DeviceInfo> SimDriver::deviceInfo(DeviceHandle device) {
  const CorePtr& core = impl_->core;
  std::lock_guard lock(core->mutex);
  Slot* slot = nullptr;
  if (const Status s = core->usable(device, slot); s != kSuccess) return s;
  if (core->faults.deviceInfoRefused) return kDeviceInfoRefused;
  return describe(*slot, core->faults.noPipes);
}

TransferResult SimDriver::transfer(DeviceHandle device, uint32_t pipe, Direction direction, std::span<uint8_t> bytes,
                                   uint32_t timeoutMs, TransferWaiter& waiter) {
  const CorePtr& core = impl_->core;
  std::unique_lock lock(core->mutex);
  Slot* slot = nullptr;
  if (const Status s = core->usable(device, slot); s != kSuccess) return {s, 0};
  if (direction != kWrite && direction != kRead) return {kInvalidParameter, 0};
  const bool in = pipe == protocol::kAnswerPipe;
  const bool out = pipe == protocol::kPinPipe || pipe == protocol::kI2cPipe || pipe == protocol::kTimingPipe;
  if (core->faults.noPipes || !(in || out) || in != (direction == kRead)) return {kNoSuchPipe, 0};

  if (const auto hang = core->faults.hangPipes.find(pipe); hang != core->faults.hangPipes.end() &&
                                                           !core->faults.refusedPipes.contains(pipe) &&
                                                           !core->faults.timeoutPipes.contains(pipe)) {
    const Status held = core->held.hold(lock, device, pipe, hang->second, timeoutMs, waiter);
    // The board may have gone meanwhile: look it up afresh.
    const Status now = core->usable(device, slot);
    if (held != kSuccess) {
      if (now == kSuccess) core->record(*slot, pipe, in, held, {});
      releaseAndPost(lock, core);
      return {held, 0};
    }
    if (now != kSuccess) return {now, 0};
  }

  const Faults& faults = core->faults;
  std::size_t limit = bytes.size();
  if (auto it = faults.shortPipes.find(pipe); it != faults.shortPipes.end()) {
    limit = std::min<std::size_t>(limit, it->second);
  }
  Status status = kSuccess;
  std::vector<uint8_t> moved;
  if (faults.refusedPipes.contains(pipe)) {
    status = kStall;
  } else if (faults.timeoutPipes.contains(pipe)) {
    status = kTimeout;
  } else if (out) {
    moved.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(limit));
    for (int r = 0; r < protocol::kRegisterCount; ++r) {
      slot->board.ignoreWrites[static_cast<std::size_t>(r)] = faults.ignoredRegisters.contains(r);
    }
    slot->board.receive(pipe, moved);
  } else if (!bytes.empty()) {
    if (slot->board.answerPending()) {
      moved = slot->board.answer(limit);
      std::copy(moved.begin(), moved.end(), bytes.begin());
    } else {
      status = kTimeout;  // the board has nothing to say
    }
  }
  const TransferResult result{status, static_cast<uint32_t>(moved.size())};
  core->record(*slot, pipe, in, status, std::move(moved));
  releaseAndPost(lock, core);
  return result;
}

int SimDriver::plug() { return plug(boardVendorId_, kBoardProductId); }

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
  if (reg < 0 || reg >= protocol::kRegisterCount) return;
  const CorePtr& core = impl_->core;
  std::unique_lock lock(core->mutex);
  for (auto& [number, slot] : core->slots) {
    if (slot->plugged) slot->board.registers[static_cast<std::size_t>(reg)] = value;
  }
  releaseAndPost(lock, core);
}

BoardState SimDriver::boardState(int board) const {
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

forms::Connection SimDriver::subscribeChanges(std::function<void()> observer) {
  const CorePtr& core = impl_->core;
  {
    std::lock_guard lock(core->mutex);
    core->observed = true;
  }
  return core->changed.connectScoped(std::move(observer));
}

}  // namespace glim::usb::sim
