#include "usb/libusb/libusb_context.h"

#include <algorithm>

namespace glim::usb::libusb {

namespace {
// Upper bound of one wait for events; stop() interrupts it earlier.
constexpr std::chrono::milliseconds kLongestWait{500};
}  // namespace

EventThread::EventThread(libusb_context* context, std::function<void()> tick, std::chrono::milliseconds tickInterval)
    : context_(context), tick_(std::move(tick)), tickInterval_(tickInterval) {
  thread_ = std::thread([this] { run(); });
}

EventThread::~EventThread() { stop(); }

void EventThread::stop() {
  if (!thread_.joinable()) return;
  stop_.store(true, std::memory_order_release);
  libusb_interrupt_event_handler(context_);
  thread_.join();
}

void EventThread::run() {
  using Clock = std::chrono::steady_clock;
  auto nextTick = Clock::now();
  while (!stop_.load(std::memory_order_acquire)) {
    auto wait = kLongestWait;
    if (tick_) {
      const auto now = Clock::now();
      if (now >= nextTick) {
        tick_();
        nextTick = now + tickInterval_;
      }
      wait = std::min(wait, std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now()));
      wait = std::max(wait, std::chrono::milliseconds(1));
    }
    timeval tv{};
    tv.tv_sec = static_cast<decltype(tv.tv_sec)>(wait.count() / 1000);
    tv.tv_usec = static_cast<decltype(tv.tv_usec)>((wait.count() % 1000) * 1000);
    libusb_handle_events_timeout_completed(context_, &tv, nullptr);
  }
}

}  // namespace glim::usb::libusb
