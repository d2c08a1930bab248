#include "usb/libusb/session.h"

#include <chrono>
#include <set>

#include "usb/libusb/board_description.h"
#include "usb/libusb/board_transfer.h"
#include "usb/libusb/libusb_status.h"

namespace glim::usb::libusb {

namespace {

// Counts a call made on a caller's thread, so that close() can wait for it;
// refused (false) once the session is closing.
class CallGuard {
 public:
  explicit CallGuard(SyncPoint& sync) : sync_(sync) {
    std::lock_guard lock(sync_.mutex);
    admitted_ = !sync_.stopping;
    if (admitted_) ++sync_.callsInProgress;
  }
  ~CallGuard() {
    if (!admitted_) return;
    {
      std::lock_guard lock(sync_.mutex);
      --sync_.callsInProgress;
    }
    sync_.changed.notify_all();
  }
  CallGuard(const CallGuard&) = delete;
  CallGuard& operator=(const CallGuard&) = delete;
  explicit operator bool() const { return admitted_; }

 private:
  SyncPoint& sync_;
  bool admitted_ = false;
};

int matchValue(uint16_t value) { return value == 0 ? LIBUSB_HOTPLUG_MATCH_ANY : value; }

}  // namespace

Session::Session(const LibusbOptions& options, const MatchEntry& match, const DriverEvents& events, Poster post,
                 std::atomic<DeviceHandle>& nextHandle)
    : options_(options), match_(match), events_(events), post_(std::move(post)), nextHandle_(nextHandle) {}

Session::~Session() { close(); }

Status Session::open() {
  libusb_context* raw = nullptr;
  const int initialised = libusb_init(&raw);
  if (initialised != LIBUSB_SUCCESS) return statusFromError(initialised);
  context_ = ownContext(raw);
  firstHandle_ = nextHandle_.load();

  polling_ = options_.pollForBoards || libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) == 0;
  if (polling_) {
    eventThread_ = std::make_unique<EventThread>(
        raw, [this] { pollDevices(); }, options_.pollInterval);
    return kSuccess;
  }
  eventThread_ = std::make_unique<EventThread>(raw);
  // With ENUMERATE the boards already present are reported at once, from
  // inside this call: they are queued like any arrival, and the program hears
  // of them in the posted tasks, never on this stack.
  const int registered = libusb_hotplug_register_callback(
      raw, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT, LIBUSB_HOTPLUG_ENUMERATE,
      matchValue(watchedVendor()), matchValue(match_.productId),
      match_.deviceClass == 0 ? LIBUSB_HOTPLUG_MATCH_ANY : match_.deviceClass, &Session::onHotplug, this,
      &hotplugHandle_);
  if (registered != LIBUSB_SUCCESS) return statusFromError(registered);
  hotplugRegistered_ = true;
  return kSuccess;
}

void Session::close() {
  if (closed_) return;
  closed_ = true;
  // Waits for a task running on another thread; later tasks find the gate
  // shut. From inside a callback, the callback finishes after this returns.
  gate_->shut();
  {
    std::unique_lock lock(sync_->mutex);
    sync_->stopping = true;
    sync_->cancelInFlight([](const InFlight&) { return true; }, kCancelled);
    sync_->changed.notify_all();
    // Transfers on other threads are reaped while the event thread still
    // runs, however long the kernel takes to give them back: a handle must
    // never be used after its context is gone.
    sync_->changed.wait(lock, [this] { return sync_->callsInProgress == 0; });
  }
  if (context_ == nullptr) return;
  if (hotplugRegistered_) libusb_hotplug_deregister_callback(context_.get(), hotplugHandle_);
  hotplugRegistered_ = false;
  eventThread_.reset();
  {
    std::lock_guard lock(sync_->mutex);
    sync_->queue.clear();
  }
  polled_.clear();
  noticed_.clear();
  {
    std::lock_guard lock(boardsMutex_);
    boards_.clear();
  }
  context_.reset();
}

int LIBUSB_CALL Session::onHotplug(libusb_context*, libusb_device* device, libusb_hotplug_event event, void* self) {
  static_cast<Session*>(self)->queueEvent(event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED, device);
  return 0;  // stay registered
}

void Session::queueEvent(bool arrived, libusb_device* device) {
  {
    std::lock_guard lock(sync_->mutex);
    sync_->queue.push_back({arrived, refDevice(device)});
    // A transfer pending on the board ends at once, though the program
    // hears of the departure only once its handler is over.
    if (!arrived) {
      sync_->cancelInFlight([device](const InFlight& f) { return f.board->device.get() == device; }, kDeviceGone);
    }
  }
  sync_->changed.notify_all();
  // The task keeps the session alive while it runs: a callback may close it.
  post_([gate = gate_, self = weak_from_this()] {
    if (!gate->enter()) return;
    struct Leave {
      CallbackGate& gate;
      ~Leave() { gate.leave(); }
    } leave{*gate};
    if (const auto session = self.lock()) session->handleNextEvent();
  });
}

void Session::handleNextEvent() {
  SyncPoint::HotplugEvent event;
  {
    std::lock_guard lock(sync_->mutex);
    if (sync_->queue.empty()) return;
    event = std::move(sync_->queue.front());
    sync_->queue.pop_front();
  }
  if (event.arrived) {
    attach(std::move(event.device));
  } else {
    detach(event.device.get());
  }
}

uint16_t Session::watchedVendor() const {
  // With a product id to go by, boards of every vendor are watched, so that a
  // board with the right product id and another vendor id can be named.
  return match_.productId != 0 ? 0 : match_.vendorId;
}

void Session::notice(DeviceRef device, BoardNotice::Kind kind, const libusb_device_descriptor& d) {
  if (!noticed_.emplace(device.get(), std::move(device)).second) return;
  if (events_.notice) events_.notice({kind, d.idVendor, d.idProduct});
}

void Session::attach(DeviceRef device) {
  {
    // The enumeration and an arrival (or two polls) may report the same board.
    std::lock_guard lock(boardsMutex_);
    for (const auto& [id, held] : boards_) {
      if (held->device.get() == device.get()) return;
    }
  }
  if (noticed_.count(device.get()) != 0) return;
  libusb_device_descriptor d{};
  if (libusb_get_device_descriptor(device.get(), &d) == LIBUSB_SUCCESS && match_.vendorId != 0 &&
      d.idVendor != match_.vendorId) {
    notice(std::move(device), BoardNotice::Kind::OtherVendor, d);
    return;
  }
  auto board = std::make_shared<OpenBoard>();
  board->context = context_;
  board->device = std::move(device);
  libusb_device_handle* handle = nullptr;
  int result = libusb_open(board->device.get(), &handle);
  if (result == LIBUSB_SUCCESS) {
    board->handle = handle;
    libusb_set_auto_detach_kernel_driver(handle, 1);
    result = libusb_claim_interface(handle, OpenBoard::kInterface);
    board->claimed = result == LIBUSB_SUCCESS;
  }
  board->openStatus = statusFromOpenError(result);
  // A board Windows has given no WinUSB driver can never be reached: it is
  // named once, with the remedy, instead of failing every call.
  if (board->openStatus == kNoWinUsbDriver) {
    notice(refDevice(board->device.get()), BoardNotice::Kind::NoWinUsbDriver, d);
    return;
  }
  // A board that cannot be opened (no permission, held by another program) is
  // still offered: its calls then fail with the status that names the cause.
  board->info = describeBoard(board->device.get(), OpenBoard::kInterface, 0);
  board->id = nextHandle_.fetch_add(1);
  {
    std::lock_guard lock(boardsMutex_);
    boards_[board->id] = board;
  }

  const DeviceInfo offered = board->info;
  const bool accepted = events_.attach && events_.attach(board->id, offered);
  if (accepted) {
    board->accepted = true;
    return;
  }
  // Refused: released and closed as `board` goes.
  std::lock_guard lock(boardsMutex_);
  boards_.erase(board->id);
}

void Session::detach(const libusb_device* device) {
  // A board seen and named comes back as new after it left.
  noticed_.erase(const_cast<libusb_device*>(device));
  std::shared_ptr<OpenBoard> board;
  {
    std::lock_guard lock(boardsMutex_);
    for (auto it = boards_.begin(); it != boards_.end(); ++it) {
      if (it->second->device.get() == device) {
        board = it->second;
        boards_.erase(it);
        break;
      }
    }
  }
  if (!board) return;
  {
    std::lock_guard lock(sync_->mutex);
    board->gone = true;
  }
  sync_->changed.notify_all();
  if (board->accepted && events_.detach) events_.detach(board->id);
  // Closed when the last call still using it returns.
}

bool Session::matches(libusb_device* device) const {
  libusb_device_descriptor d{};
  if (libusb_get_device_descriptor(device, &d) != LIBUSB_SUCCESS) return false;
  if (watchedVendor() != 0 && d.idVendor != watchedVendor()) return false;
  if (match_.productId != 0 && d.idProduct != match_.productId) return false;
  if (match_.deviceClass != 0 && d.bDeviceClass != match_.deviceClass) return false;
  return true;
}

void Session::pollDevices() {
  libusb_device** list = nullptr;
  const auto count = libusb_get_device_list(context_.get(), &list);
  if (count < 0) return;
  std::set<libusb_device*> present;
  for (decltype(libusb_get_device_list(nullptr, nullptr)) i = 0; i < count; ++i) {
    libusb_device* device = list[i];
    if (!matches(device)) continue;
    present.insert(device);
    if (polled_.count(device) == 0) {
      polled_.emplace(device, refDevice(device));
      queueEvent(true, device);
    }
  }
  for (auto it = polled_.begin(); it != polled_.end();) {
    if (present.count(it->first) == 0) {
      queueEvent(false, it->first);
      it = polled_.erase(it);
    } else {
      ++it;
    }
  }
  libusb_free_device_list(list, 1);
}

std::shared_ptr<OpenBoard> Session::find(DeviceHandle device, Status& why) {
  std::lock_guard lock(boardsMutex_);
  const auto it = boards_.find(device);
  if (it != boards_.end()) return it->second;
  // A handle this session gave out earlier belongs to a board that has left.
  why = device != 0 && device >= firstHandle_ && device < nextHandle_.load() ? kDeviceGone : kInvalidHandle;
  return nullptr;
}

std::shared_ptr<OpenBoard> Session::findOpened(DeviceHandle device, Status& why) {
  auto board = find(device, why);
  if (board && board->openStatus != kSuccess) {
    why = board->openStatus;
    return nullptr;
  }
  return board;
}

Status Session::setInterface(DeviceHandle device, uint32_t interfaceNumber, uint32_t alternateSetting) {
  CallGuard call(*sync_);
  if (!call) return kNotOpen;
  Status why = kSuccess;
  const auto board = findOpened(device, why);
  if (!board) return why;
  if (interfaceNumber > 0xFF || alternateSetting > 0xFF) return kNoSuchSetting;
  const int result = libusb_set_interface_alt_setting(board->handle, static_cast<int>(interfaceNumber),
                                                      static_cast<int>(alternateSetting));
  if (result != LIBUSB_SUCCESS) return statusFromError(result);
  DeviceInfo info =
      describeBoard(board->device.get(), static_cast<uint8_t>(interfaceNumber), static_cast<uint8_t>(alternateSetting));
  std::lock_guard lock(board->infoMutex);
  board->info = std::move(info);
  return kSuccess;
}

Result<DeviceInfo> Session::deviceInfo(DeviceHandle device) {
  Status why = kSuccess;
  const auto board = find(device, why);
  if (!board) return why;
  std::lock_guard lock(board->infoMutex);
  return board->info;
}

TransferResult Session::transfer(DeviceHandle device, uint32_t pipe, Direction direction, std::span<uint8_t> bytes,
                                 uint32_t timeoutMs, TransferWaiter& waiter) {
  CallGuard call(*sync_);
  if (!call) return {kNotOpen, 0};
  Status why = kSuccess;
  const auto board = findOpened(device, why);
  if (!board) return {why, 0};
  if (bytes.size() > 0x7FFFFFFF) return {kInvalidParameter, 0};
  // Pipe 0 (control requests) is never used by the program.
  if (pipe == 0) return {kNotSupported, 0};

  PipeInfo endpoint;
  bool found = false;
  {
    std::lock_guard lock(board->infoMutex);
    for (const PipeInfo& p : board->info.activeInterface.activeAltSetting.pipes) {
      if (p.number == pipe) {
        endpoint = p;
        found = true;
        break;
      }
    }
  }
  if (!found) return {kNoSuchPipe, 0};
  if (endpoint.in != (direction == kRead)) return {kInvalidParameter, 0};
  if (endpoint.type != PipeType::Bulk && endpoint.type != PipeType::Interrupt) return {kNotSupported, 0};
  return transferOnBoard(sync_, *board, endpoint, bytes, timeoutMs, waiter);
}

}  // namespace glim::usb::libusb
