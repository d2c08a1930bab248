#include "app/dispatcher_pump.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace glim::app {

DispatcherPump::DispatcherPump(forms::Dispatcher& dispatcher)
    : dispatcher_(dispatcher), target_(std::make_shared<std::atomic<forms::Dispatcher*>>(&dispatcher)) {
  // The application object outlives every window and the program, so it is a
  // safe receiver for calls posted from other threads; the shared target tells
  // a late call that the dispatcher is gone.
  dispatcher_.setWakeUp([target = target_] {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return;
    QMetaObject::invokeMethod(
        app,
        [target] {
          if (forms::Dispatcher* d = target->load()) d->drain();
        },
        Qt::QueuedConnection);
  });
}

DispatcherPump::~DispatcherPump() {
  dispatcher_.setWakeUp({});
  target_->store(nullptr);
}

}  // namespace glim::app
