#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "forms/signal.h"

namespace glim::forms {

// Hands work from other threads (USB callbacks) to the thread that owns the
// forms, and holds it back while a handler runs there, so that a callback never
// runs in the middle of a handler, not even inside a nested event loop such as a
// modal message box.
class Dispatcher {
 public:
  using Task = std::function<void()>;

  // Called (from any thread) after a task was queued; the front end arranges a
  // later call of drain() on the forms thread. May be empty.
  void setWakeUp(std::function<void()> wakeUp);

  // Any thread.
  void post(Task task);

  // Forms thread: runs queued tasks unless a handler is running. A task that
  // throws ends this drain (the exception passes on); the wake-up is asked
  // again for the tasks behind it.
  void drain();
  bool pending() const;

  // Forms thread: wraps a user action (a click, a keystroke) so that queued
  // tasks wait until it is over; tasks queued meanwhile run right after it.
  void runHandler(const Task& handler);
  bool inHandler() const { return depth_ > 0; }
  // Forms thread: changes each time an outermost handler or task begins, so
  // state kept for "the handler now running" can tell it is stale.
  uint64_t handlerSerial() const { return serial_; }
  // Forms thread: told when an outermost handler or task has ended (not when
  // it threw), so that views can show at once what it changed.
  Signal<std::function<void()>> onHandlerEnded;

 private:
  void wakeUpIfPending();

  mutable std::mutex mutex_;
  std::deque<Task> queue_;
  std::function<void()> wakeUp_;
  int depth_ = 0;
  uint64_t serial_ = 0;
  bool draining_ = false;
};

}  // namespace glim::forms
