#pragma once
#include <atomic>
#include <memory>

#include "forms/dispatcher.h"

namespace glim::app {

// Wakes the Qt event loop when another thread (a USB backend) queues work for
// the forms: the queue is drained on the GUI thread, from the event loop, so
// attach and detach never run inside a handler. The queued call reaches the
// dispatcher only while the pump exists.
class DispatcherPump {
 public:
  explicit DispatcherPump(forms::Dispatcher& dispatcher);
  ~DispatcherPump();
  DispatcherPump(const DispatcherPump&) = delete;
  DispatcherPump& operator=(const DispatcherPump&) = delete;

 private:
  forms::Dispatcher& dispatcher_;
  std::shared_ptr<std::atomic<forms::Dispatcher*>> target_;
};

}  // namespace glim::app
