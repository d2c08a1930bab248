#include "usb/libusb/libusb_driver.h"

#include <atomic>
#include <mutex>

#include "usb/libusb/session.h"

namespace glim::usb::libusb {

struct LibusbDriver::Impl {
  explicit Impl(LibusbOptions o) : options(o) {}

  // The open session, shared with calls in progress so that it outlives them.
  std::shared_ptr<Session> current() {
    std::lock_guard lock(mutex);
    return session;
  }

  LibusbOptions options;
  std::mutex mutex;
  std::shared_ptr<Session> session;
  DriverConnection connection{};
  uint32_t lastConnection = 0;
  // Device handles are never reused, not even across connections, so a stale
  // handle can never reach another board.
  std::atomic<DeviceHandle> nextDeviceHandle{1};
};

LibusbDriver::LibusbDriver() : LibusbDriver(LibusbOptions{}) {}

LibusbDriver::LibusbDriver(LibusbOptions options) : impl_(std::make_unique<Impl>(options)) {}

LibusbDriver::~LibusbDriver() {
  std::shared_ptr<Session> session;
  {
    std::lock_guard lock(impl_->mutex);
    session = std::move(impl_->session);
  }
  if (session) session->close();
}

Result<DriverConnection> LibusbDriver::open(const MatchEntry& match, const DriverEvents& events, Poster post) {
  std::lock_guard lock(impl_->mutex);
  if (impl_->session) return kAlreadyOpen;
  if (!post) return kInvalidParameter;
  auto session = std::make_shared<Session>(impl_->options, match, events, std::move(post), impl_->nextDeviceHandle);
  const Status status = session->open();
  if (status != kSuccess) {
    session->close();
    return status;
  }
  impl_->session = std::move(session);
  impl_->connection = DriverConnection{++impl_->lastConnection};
  return impl_->connection;
}

Status LibusbDriver::setInterface(DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) {
  const auto session = impl_->current();
  return session ? session->setInterface(device, interfaceNumber, alternateSetting) : kNotOpen;
}

Result<DeviceInfo> LibusbDriver::deviceInfo(DeviceHandle device) {
  const auto session = impl_->current();
  if (!session) return kNotOpen;
  return session->deviceInfo(device);
}

TransferResult LibusbDriver::transfer(DeviceHandle device, uint32_t pipe, Direction direction, std::span<uint8_t> bytes,
                                      uint32_t timeoutMs, TransferWaiter& waiter) {
  const auto session = impl_->current();
  if (!session) return {kNotOpen, 0};
  return session->transfer(device, pipe, direction, bytes, timeoutMs, waiter);
}

void LibusbDriver::close(DriverConnection connection) {
  std::shared_ptr<Session> session;
  {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->session || connection != impl_->connection) return;
    session = std::move(impl_->session);
    impl_->connection = DriverConnection{};
  }
  session->close();
}

bool LibusbDriver::polling() const {
  const auto session = impl_->current();
  return session && session->polling();
}

}  // namespace glim::usb::libusb
