#include "forms/dispatcher.h"

namespace glim::forms {

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

void Dispatcher::drain() {
  if (depth_ > 0 || draining_) return;
  draining_ = true;
  for (;;) {
    Task task;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) break;
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    // A queued task is itself a handler: nothing else may run inside it.
    ++depth_;
    task();
    --depth_;
  }
  draining_ = false;
}

void Dispatcher::runHandler(const Task& handler) {
  ++depth_;
  try {
    handler();
  } catch (...) {
    --depth_;
    throw;
  }
  --depth_;
  if (depth_ == 0) drain();
}

}  // namespace glim::forms
