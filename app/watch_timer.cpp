#include "app/watch_timer.h"

#include <algorithm>

#include "i2c/register_watch.h"

namespace glim::app {

namespace {
// How soon a poll that had to wait for a person's action tries again.
constexpr int kRetryMs = 20;
}  // namespace

WatchTimer::WatchTimer(i2c::RegisterWatch& watch, QObject* parent) : QObject(parent), watch_(watch) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &WatchTimer::fire);
  schedule_ = watch_.onScheduleChanged.connectScoped([this] { arm(); });
  arm();
}

void WatchTimer::arm() {
  const std::optional<int64_t> due = watch_.nextDue();
  if (!due) {
    timer_.stop();
    return;
  }
  const int64_t wait = std::clamp<int64_t>(*due - watch_.clock().nowMs(), 0, i2c::kWatchMaxMs);
  timer_.start(static_cast<int>(wait));
}

void WatchTimer::fire() {
  if (!watch_.poll()) {
    timer_.start(kRetryMs);
    return;
  }
  arm();
}

}  // namespace glim::app
