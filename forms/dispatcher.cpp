#include "forms/dispatcher.h"

namespace glim::forms {
namespace {

// Counts a running handler for as long as it runs, also when it throws.
class DepthGuard {
 public:
  DepthGuard(int& depth, uint64_t& serial) : depth_(depth) {
    if (depth_++ == 0) ++serial;
  }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

}  // namespace

void Dispatcher::setWakeUp(std::function<void()> wakeUp) {
  std::lock_guard lock(mutex_);
  wakeUp_ = std::move(wakeUp);
}

void Dispatcher::post(Task task) {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
    wake = wakeUp_;
  }
  if (wake) wake();
}

bool Dispatcher::pending() const {
  std::lock_guard lock(mutex_);
  return !queue_.empty();
}

void Dispatcher::wakeUpIfPending() {
  std::function<void()> wake;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return;
    wake = wakeUp_;
  }
  if (wake) wake();
}

void Dispatcher::drain() {
  if (depth_ > 0 || draining_) return;
  draining_ = true;
  try {
    for (;;) {
      Task task;
      {
        std::lock_guard lock(mutex_);
        if (queue_.empty()) break;
        task = std::move(queue_.front());
        queue_.pop_front();
      }
      // A queued task is itself a handler: nothing else may run inside it.
      {
        const DepthGuard inTask(depth_, serial_);
        task();
      }
      onHandlerEnded.notify();
    }
  } catch (...) {
    // The tasks behind the one that threw still have to run; ask for another
    // drain rather than leave them waiting for the next post.
    draining_ = false;
    wakeUpIfPending();
    throw;
  }
  draining_ = false;
}

void Dispatcher::runHandler(const Task& handler) {
  try {
    const DepthGuard inHandler(depth_, serial_);
    handler();
  } catch (...) {
    // Tasks queued during the handler were held back for it; ask for a drain.
    if (depth_ == 0) wakeUpIfPending();
    throw;
  }
  if (depth_ == 0) {
    onHandlerEnded.notify();
    drain();
  }
}

}  // namespace glim::forms
