#include "usb/sim/sim_core.h"

namespace glim::usb::sim::detail {

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
    for (uint32_t out : {protocol::kPinPipe, protocol::kI2cPipe, protocol::kTimingPipe}) {
      alt.pipes.push_back({out, kPacketSize, PipeType::Bulk, false, 0});
    }
    alt.pipes.push_back({protocol::kAnswerPipe, kPacketSize, PipeType::Bulk, true, 0});
  }
  alt.numEndpoints = static_cast<uint8_t>(alt.pipes.size());
  return info;
}

void postTask(const Poster& post, std::function<void()> task) {
  if (post) post(std::move(task));
}

std::function<void()> changeTask(CorePtr core, uint64_t session) {
  return [core, session] {
    std::unique_lock lock(core->mutex);
    if (core->session == session) core->changePosted = false;
    if (!core->live(session)) return;
    if (core->changed.empty()) {
      core->observed = false;
      return;
    }
    core->enterCallback();
    lock.unlock();
    core->changed.notify();
    lock.lock();
    core->leaveCallback();
  };
}

std::function<void()> detachTask(CorePtr core, uint64_t session, DeviceHandle handle) {
  return [core, session, handle] {
    std::unique_lock lock(core->mutex);
    if (!core->live(session) || !core->events.detach) return;
    auto detach = core->events.detach;
    core->enterCallback();
    lock.unlock();
    detach(handle);
    lock.lock();
    core->leaveCallback();
  };
}

std::function<void()> changeNotice(const CorePtr& core) {
  if (!core->noteChange()) return {};
  return changeTask(core, core->session);
}

void releaseAndPost(std::unique_lock<std::mutex>& lock, const CorePtr& core, std::function<void()> task) {
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
    core->enterCallback();
    ++slot->holds;
    lock.unlock();
    const bool accepted = attach(handle, info);
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

}  // namespace glim::usb::sim::detail
