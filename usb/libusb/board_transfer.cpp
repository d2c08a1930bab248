#include "usb/libusb/board_transfer.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "usb/libusb/libusb_status.h"

namespace glim::usb::libusb {

namespace {

using Clock = std::chrono::steady_clock;

// Slack past the transfer's own time-out before this thread stops waiting for
// libusb to report it, and how long a cancelled transfer may take to come back
// before it is left to finish on its own.
constexpr auto kTimeoutSlack = std::chrono::milliseconds(1000);
constexpr auto kCancelGrace = std::chrono::milliseconds(1000);

// One transfer, shared by the waiting thread and the completion callback on
// the event thread. The bytes live here rather than in the caller's buffer, so
// that a transfer left to finish on its own never writes into memory that its
// caller has reused.
struct Flight {
  std::shared_ptr<SyncPoint> sync;
  std::vector<uint8_t> bytes;
  // Under sync->mutex:
  bool done = false;
  bool abandoned = false;  // the waiter has left; the callback frees the transfer
  int status = LIBUSB_TRANSFER_ERROR;
  int actual = 0;
};

void LIBUSB_CALL onTransferDone(libusb_transfer* transfer) {
  std::unique_ptr<std::shared_ptr<Flight>> holder(static_cast<std::shared_ptr<Flight>*>(transfer->user_data));
  const std::shared_ptr<Flight> flight = *holder;
  bool abandoned = false;
  {
    std::lock_guard lock(flight->sync->mutex);
    flight->status = transfer->status;
    flight->actual = transfer->actual_length;
    flight->done = true;
    abandoned = flight->abandoned;
  }
  flight->sync->changed.notify_all();
  // Otherwise the waiting thread frees it; it no longer may be touched here.
  if (abandoned) libusb_free_transfer(transfer);
}

// Why a waiting transfer should stop early (kSuccess: keep waiting).
Status reasonToStop(const SyncPoint& sync, const OpenBoard& board, bool pastDeadline) {
  if (board.gone || sync.leftQueued(board.device.get())) return kDeviceGone;
  if (sync.stopping) return kCancelled;
  if (pastDeadline) return kTimeout;
  return kSuccess;
}

}  // namespace

Status transferOnBoard(const std::shared_ptr<SyncPoint>& sync, OpenBoard& board, const PipeInfo& pipe,
                       uint8_t* buffer, uint32_t length, uint32_t& transferred, uint32_t timeoutMs) {
  transferred = 0;
  auto flight = std::make_shared<Flight>();
  flight->sync = sync;
  if (pipe.in) {
    flight->bytes.resize(length);
  } else if (length > 0) {
    flight->bytes.assign(buffer, buffer + length);
  }

  libusb_transfer* transfer = libusb_alloc_transfer(0);
  if (transfer == nullptr) return kNoMemory;
  auto* holder = new std::shared_ptr<Flight>(flight);
  const auto endpoint = static_cast<unsigned char>(pipe.number);
  unsigned char* data = flight->bytes.empty() ? nullptr : flight->bytes.data();
  if (pipe.type == PipeType::Interrupt) {
    libusb_fill_interrupt_transfer(transfer, board.handle, endpoint, data, static_cast<int>(length), onTransferDone,
                                   holder, timeoutMs);
  } else {
    libusb_fill_bulk_transfer(transfer, board.handle, endpoint, data, static_cast<int>(length), onTransferDone,
                              holder, timeoutMs);
  }
  const int submitted = libusb_submit_transfer(transfer);
  if (submitted != LIBUSB_SUCCESS) {
    delete holder;
    libusb_free_transfer(transfer);
    return statusFromError(submitted);
  }

  // libusb ends the transfer at its time-out; this thread waits a little
  // longer, and never for good when the board leaves or the session closes.
  Status stoppedEarly = kSuccess;
  {
    std::unique_lock lock(sync->mutex);
    const bool bounded = timeoutMs != 0;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs) + kTimeoutSlack;
    while (!flight->done) {
      if (stoppedEarly == kSuccess) {
        stoppedEarly = reasonToStop(*sync, board, bounded && Clock::now() >= deadline);
        if (stoppedEarly != kSuccess) {
          lock.unlock();
          libusb_cancel_transfer(transfer);
          lock.lock();
          deadline = Clock::now() + kCancelGrace;
          continue;
        }
        if (bounded) {
          sync->changed.wait_until(lock, deadline);
        } else {
          sync->changed.wait(lock);
        }
      } else {
        if (Clock::now() >= deadline) {
          flight->abandoned = true;
          return stoppedEarly;
        }
        sync->changed.wait_until(lock, deadline);
      }
    }
  }
  libusb_free_transfer(transfer);

  Status status = statusFromTransfer(flight->status);
  if (flight->status == LIBUSB_TRANSFER_CANCELLED && stoppedEarly != kSuccess) status = stoppedEarly;
  const int actual = flight->actual < 0 ? 0 : flight->actual;
  transferred = static_cast<uint32_t>(actual) < length ? static_cast<uint32_t>(actual) : length;
  if (pipe.in && transferred > 0) std::memcpy(buffer, flight->bytes.data(), transferred);
  if (flight->status == LIBUSB_TRANSFER_STALL) libusb_clear_halt(board.handle, endpoint);
  return status;
}

}  // namespace glim::usb::libusb
