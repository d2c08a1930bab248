#include "libusb/testbed/usb_testbed.h"

#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "usb/driver.h"
#include "usb/vendor_id.h"

namespace glim::testing {

namespace {

// Interface 0: alternate setting 0 with the board's four bulk pipes (1, 2, 3
// out, 0x82 in, 64-byte packets); alternate setting 1 with pipe 1 and an
// interrupt pipe 0x82, to check that a selection changes the pipes.
std::string descriptorsHex(uint16_t vid) {
  const uint16_t pid = usb::kBoardProductId;
  const std::vector<uint8_t> bytes = {
      // device
      0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x40, static_cast<uint8_t>(vid & 0xFF), static_cast<uint8_t>(vid >> 8),
      static_cast<uint8_t>(pid & 0xFF), static_cast<uint8_t>(pid >> 8), 0x00, 0x01, 0x01, 0x02, 0x03, 0x01,
      // configuration, 69 bytes in all
      0x09, 0x02, 0x45, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,
      // interface 0, alternate 0, four endpoints, vendor class
      0x09, 0x04, 0x00, 0x00, 0x04, 0xFF, 0x00, 0x00, 0x00, 0x07, 0x05, 0x01, 0x02, 0x40, 0x00, 0x00, 0x07, 0x05, 0x02,
      0x02, 0x40, 0x00, 0x00, 0x07, 0x05, 0x03, 0x02, 0x40, 0x00, 0x00, 0x07, 0x05, 0x82, 0x02, 0x40, 0x00, 0x00,
      // interface 0, alternate 1, two endpoints
      0x09, 0x04, 0x00, 0x01, 0x02, 0xFF, 0x00, 0x00, 0x00, 0x07, 0x05, 0x01, 0x02, 0x40, 0x00, 0x00, 0x07, 0x05, 0x82,
      0x03, 0x08, 0x00, 0x0A};
  std::string hex;
  char two[3];
  for (uint8_t b : bytes) {
    std::snprintf(two, sizeof two, "%02x", b);
    hex += two;
  }
  return hex;
}

}  // namespace

struct UsbTestbed::Board {
  // A reference to the emulator's ioctl data, dropped with its holder.
  struct DataRef {
    UMockdevIoctlData* data = nullptr;
    DataRef() = default;
    explicit DataRef(UMockdevIoctlData* d) : data(d) {}
    DataRef(DataRef&& o) noexcept : data(o.data) { o.data = nullptr; }
    DataRef& operator=(DataRef&& o) noexcept {
      std::swap(data, o.data);
      return *this;
    }
    ~DataRef() {
      if (data != nullptr) g_object_unref(data);
    }
  };

  struct Urb {
    DataRef urb;     // the client's usbdevfs_urb, resolved
    DataRef buffer;  // its buffer (none for length 0)
    uint8_t endpoint = 0;
    int length = 0;
    int status = 0;
    std::vector<uint8_t> in;                                         // bytes delivered to an IN URB
    std::optional<std::chrono::steady_clock::time_point> discardAt;  // being taken back
  };

  mutable std::mutex mutex;
  usb::sim::SimBoard sim;
  std::string sysPath;
  std::string devNode;
  UMockdevIoctlBase* handler = nullptr;
  bool gone = false;
  std::deque<Urb> pending;
  std::deque<Urb> done;
  std::vector<UrbRecord> records;
  std::map<uint8_t, int> stalls;
  std::set<uint8_t> silent;
  std::map<uint8_t, int> clearHalts;
  int claims = 0;
  int releases = 0;
  int alternate = 0;
  std::chrono::milliseconds discardDelay{0};

  // Under `mutex`: URBs whose slow discard is over end as discarded.
  void endDiscards() {
    const auto now = std::chrono::steady_clock::now();
    for (auto it = pending.begin(); it != pending.end();) {
      if (!it->discardAt || *it->discardAt > now) {
        ++it;
        continue;
      }
      Urb urb = std::move(*it);
      it = pending.erase(it);
      finish(std::move(urb), -ENOENT);
    }
  }

  // Under `mutex`: a finished URB waits to be reaped.
  void finish(Urb urb, int status) {
    urb.status = status;
    UrbRecord record;
    record.endpoint = urb.endpoint;
    record.status = status;
    if ((urb.endpoint & 0x80) != 0) {
      record.bytes = urb.in;
    } else if (urb.buffer.data != nullptr && status == 0) {
      record.bytes.assign(urb.buffer.data->data, urb.buffer.data->data + urb.length);
    }
    records.push_back(std::move(record));
    done.push_back(std::move(urb));
  }

  // Under `mutex`: pending IN URBs take the answers the board has.
  void serveReads() {
    for (auto it = pending.begin(); it != pending.end();) {
      if ((it->endpoint & 0x80) == 0 || silent.count(it->endpoint) != 0 || !sim.answerPending() || it->discardAt) {
        ++it;
        continue;
      }
      Urb urb = std::move(*it);
      it = pending.erase(it);
      urb.in = sim.answer(static_cast<std::size_t>(urb.length));
      finish(std::move(urb), 0);
    }
  }

  void submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    Urb urb;
    urb.urb = DataRef(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr));
    auto* u = reinterpret_cast<usbdevfs_urb*>(urb.urb.data->data);
    urb.endpoint = u->endpoint;
    urb.length = u->buffer_length;
    if (u->buffer_length > 0) {
      urb.buffer = DataRef(umockdev_ioctl_data_resolve(urb.urb.data, offsetof(usbdevfs_urb, buffer),
                                                       static_cast<gsize>(u->buffer_length), nullptr));
    }
    std::lock_guard lock(mutex);
    if (gone) {
      umockdev_ioctl_client_complete(client, -1, ENODEV);
      return;
    }
    if (u->type != USBDEVFS_URB_TYPE_BULK && u->type != USBDEVFS_URB_TYPE_INTERRUPT) {
      umockdev_ioctl_client_complete(client, -1, EINVAL);
      return;
    }
    const uint8_t ep = urb.endpoint;
    if (stalls[ep] > 0) {
      --stalls[ep];
      finish(std::move(urb), -EPIPE);
    } else if (silent.count(ep) != 0 || (ep & 0x80) != 0) {
      pending.push_back(std::move(urb));
    } else {
      const uint8_t* data = urb.buffer.data != nullptr ? urb.buffer.data->data : nullptr;
      const bool taken = sim.receive(ep, std::span<const uint8_t>(data, static_cast<std::size_t>(urb.length)));
      finish(std::move(urb), taken ? 0 : -EPIPE);
    }
    serveReads();
    umockdev_ioctl_client_complete(client, 0, 0);
  }

  void reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    std::unique_lock lock(mutex);
    endDiscards();
    if (done.empty()) {
      umockdev_ioctl_client_complete(client, -1, gone ? ENODEV : EAGAIN);
      return;
    }
    Urb urb = std::move(done.front());
    done.pop_front();
    lock.unlock();
    auto* u = reinterpret_cast<usbdevfs_urb*>(urb.urb.data->data);
    u->status = urb.status;
    u->actual_length =
        (urb.endpoint & 0x80) != 0 ? static_cast<int>(urb.in.size()) : (urb.status == 0 ? urb.length : 0);
    if (!urb.in.empty() && urb.buffer.data != nullptr) std::memcpy(urb.buffer.data->data, urb.in.data(), urb.in.size());
    DataRef pointer(umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr));
    umockdev_ioctl_data_set_ptr(pointer.data, 0, urb.urb.data);
    umockdev_ioctl_client_complete(client, 0, 0);
  }

  void discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const auto address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(arg->data));
    std::lock_guard lock(mutex);
    for (auto it = pending.begin(); it != pending.end(); ++it) {
      if (it->urb.data->client_addr == address) {
        if (discardDelay.count() > 0) {
          if (!it->discardAt) it->discardAt = std::chrono::steady_clock::now() + discardDelay;
          umockdev_ioctl_client_complete(client, 0, 0);
          return;
        }
        Urb urb = std::move(*it);
        pending.erase(it);
        finish(std::move(urb), -ENOENT);
        umockdev_ioctl_client_complete(client, 0, 0);
        return;
      }
    }
    umockdev_ioctl_client_complete(client, -1, EINVAL);
  }

  static gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto& board = *static_cast<Board*>(self);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const gulong request = umockdev_ioctl_client_get_request(client);
    switch (request) {
      case USBDEVFS_GET_CAPABILITIES: {
        DataRef caps(umockdev_ioctl_data_resolve(arg, 0, sizeof(uint32_t), nullptr));
        *reinterpret_cast<uint32_t*>(caps.data->data) =
            USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
      }
      case USBDEVFS_CLAIMINTERFACE:
      case USBDEVFS_DISCONNECT_CLAIM:
      case USBDEVFS_RELEASEINTERFACE:
      case USBDEVFS_RESETEP:
      case USBDEVFS_CLEAR_HALT:
      case USBDEVFS_SETINTERFACE: {
        std::lock_guard lock(board.mutex);
        if (board.gone) {
          umockdev_ioctl_client_complete(client, -1, ENODEV);
          return TRUE;
        }
        if (request == USBDEVFS_CLAIMINTERFACE || request == USBDEVFS_DISCONNECT_CLAIM) ++board.claims;
        if (request == USBDEVFS_RELEASEINTERFACE) ++board.releases;
        if (request == USBDEVFS_CLEAR_HALT) {
          DataRef ep(umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr));
          ++board.clearHalts[static_cast<uint8_t>(*reinterpret_cast<unsigned int*>(ep.data->data))];
        }
        if (request == USBDEVFS_SETINTERFACE) {
          DataRef setting(umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_setinterface), nullptr));
          const auto* s = reinterpret_cast<usbdevfs_setinterface*>(setting.data->data);
          if (s->interface != 0 || s->altsetting > 1) {
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return TRUE;
          }
          board.alternate = static_cast<int>(s->altsetting);
        }
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
      }
      case USBDEVFS_GETDRIVER:
      case USBDEVFS_IOCTL:  // connect or disconnect a kernel driver: the board has none
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return TRUE;
      case USBDEVFS_SUBMITURB:
        board.submit(client, arg);
        return TRUE;
      case USBDEVFS_REAPURB:
      case USBDEVFS_REAPURBNDELAY:
        board.reap(client, arg);
        return TRUE;
      case USBDEVFS_DISCARDURB:
        board.discard(client, arg);
        return TRUE;
      default:
        std::fprintf(stderr, "usb testbed: unhandled ioctl 0x%lx on %s\n", request, board.devNode.c_str());
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
        return TRUE;
    }
  }
};

struct UsbTestbed::Impl {
  UMockdevTestbed* testbed = nullptr;
  std::vector<std::unique_ptr<Board>> boards;
  int nextDevnum = 2;

  Board& board(int n) const { return *boards.at(static_cast<std::size_t>(n - 1)); }
};

UsbTestbed::UsbTestbed() : impl_(std::make_unique<Impl>()) { impl_->testbed = umockdev_testbed_new(); }

UsbTestbed::~UsbTestbed() {
  for (auto& board : impl_->boards) {
    umockdev_testbed_detach_ioctl(impl_->testbed, board->devNode.c_str(), nullptr);
    g_object_unref(board->handler);
  }
  g_object_unref(impl_->testbed);
}

bool UsbTestbed::available() {
  // The answer needs a testbed: under the preload, /sys then leads into it.
  UMockdevTestbed* probe = umockdev_testbed_new();
  const bool mocked = umockdev_in_mock_environment() != 0;
  g_object_unref(probe);
  return mocked;
}

int UsbTestbed::plug() { return plug(usb::kBoardVendorId); }

int UsbTestbed::plug(uint16_t vendorId) {
  auto board = std::make_unique<Board>();
  const int number = static_cast<int>(impl_->boards.size()) + 1;
  const int devnum = impl_->nextDevnum++;
  char devnumText[8];
  std::snprintf(devnumText, sizeof devnumText, "%03d", devnum);
  board->sysPath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(number);
  board->devNode = std::string("/dev/bus/usb/001/") + devnumText;
  board->handler = umockdev_ioctl_base_new();
  g_signal_connect(board->handler, "handle-ioctl", G_CALLBACK(&Board::onIoctl), board.get());
  // The handler is in place before the "add" event, so the layer can open
  // the board as soon as it hears of it.
  umockdev_testbed_attach_ioctl(impl_->testbed, board->devNode.c_str(), board->handler, nullptr);

  char ids[32];
  std::snprintf(ids, sizeof ids, "%x/%x/100", vendorId, usb::kBoardProductId);
  char vid[8];
  char pid[8];
  std::snprintf(vid, sizeof vid, "%04x", vendorId);
  std::snprintf(pid, sizeof pid, "%04x", usb::kBoardProductId);
  const std::string record =
      "P: /devices/pci0000:00/0000:00:14.0/usb1/1-" + std::to_string(number) + "\nN: bus/usb/001/" + devnumText +
      "\nE: DEVNAME=" + board->devNode +
      "\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: SUBSYSTEM=usb\nE: BUSNUM=001\nE: DEVNUM=" + devnumText +
      "\nE: MAJOR=189\nE: MINOR=" + std::to_string(devnum - 1) + "\nE: PRODUCT=" + ids +
      "\nA: busnum=1\\n\nA: devnum=" + std::to_string(devnum) + "\\n\nA: speed=480\\n\nA: idVendor=" + vid +
      "\\n\nA: idProduct=" + pid +
      "\\n\nA: bConfigurationValue=1\\n\nA: bNumConfigurations=1\\n\nH: descriptors=" + descriptorsHex(vendorId) + "\n";
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(impl_->testbed, record.c_str(), &error)) {
    std::fprintf(stderr, "usb testbed: %s\n", error != nullptr ? error->message : "cannot add board");
    g_clear_error(&error);
  }
  impl_->boards.push_back(std::move(board));
  return number;
}

void UsbTestbed::unplug(int n, Unplug how) {
  Board& board = impl_->board(n);
  {
    std::lock_guard lock(board.mutex);
    if (board.gone) return;
    board.gone = true;
    if (how == Unplug::FailInFlight) {
      while (!board.pending.empty()) {
        Board::Urb urb = std::move(board.pending.front());
        board.pending.pop_front();
        board.finish(std::move(urb), -ENODEV);
      }
    }
  }
  // The "remove" event first: removing the record alone would never report
  // the departure, and the next arrival would be lost.
  umockdev_testbed_uevent(impl_->testbed, board.sysPath.c_str(), "remove");
  umockdev_testbed_remove_device(impl_->testbed, board.sysPath.c_str());
}

void UsbTestbed::setDiscardDelay(int n, std::chrono::milliseconds delay) {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  board.discardDelay = delay;
}

std::size_t UsbTestbed::inFlight(int n) const {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  return board.pending.size() + board.done.size();
}

std::vector<UrbRecord> UsbTestbed::urbs(int n) const {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  return board.records;
}

void UsbTestbed::clearUrbs(int n) {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  board.records.clear();
}

void UsbTestbed::stallNext(int n, uint8_t endpoint) {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  ++board.stalls[endpoint];
}

void UsbTestbed::setSilent(int n, uint8_t endpoint, bool silent) {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  if (silent) {
    board.silent.insert(endpoint);
  } else {
    board.silent.erase(endpoint);
  }
}

int UsbTestbed::clearHalts(int n, uint8_t endpoint) const {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  const auto it = board.clearHalts.find(endpoint);
  return it == board.clearHalts.end() ? 0 : it->second;
}

int UsbTestbed::claims(int n) const {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  return board.claims;
}

int UsbTestbed::releases(int n) const {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  return board.releases;
}

int UsbTestbed::alternateSetting(int n) const {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  return board.alternate;
}

bool UsbTestbed::waitForPending(int n, std::size_t count, std::chrono::milliseconds limit) const {
  Board& board = impl_->board(n);
  const auto until = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < until) {
    {
      std::lock_guard lock(board.mutex);
      if (board.pending.size() >= count) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

void UsbTestbed::withBoard(int n, const std::function<void(usb::sim::SimBoard&)>& f) {
  Board& board = impl_->board(n);
  std::lock_guard lock(board.mutex);
  f(board.sim);
  board.serveReads();
}

}  // namespace glim::testing
