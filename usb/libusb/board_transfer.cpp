#include "usb/libusb/board_transfer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "usb/libusb/libusb_status.h"

namespace glim::usb::libusb {

namespace {

// One transfer, shared by the waiting thread and the completion callback on
// the event thread. The waiting thread frees it, and only after the callback
// ran, so the callback always finds it.
struct Flight {
  SyncPoint* sync = nullptr;
  PendingTransfer* pending = nullptr;
  // Under sync->mutex:
  bool done = false;
  int status = LIBUSB_TRANSFER_ERROR;
  int actual = 0;
};

void LIBUSB_CALL onTransferDone(libusb_transfer* transfer) {
  auto* flight = static_cast<Flight*>(transfer->user_data);
  {
    std::lock_guard lock(flight->sync->mutex);
    flight->status = transfer->status;
    flight->actual = transfer->actual_length;
    flight->done = true;
  }
  flight->pending->finish();
}

// Takes the transfer off the in-flight list (under the lock).
void unlist(SyncPoint& sync, InFlight* entry) { std::erase(sync.inFlight, entry); }

}  // namespace

TransferResult transferOnBoard(const std::shared_ptr<SyncPoint>& sync, OpenBoard& board, const PipeInfo& pipe,
                               std::span<uint8_t> bytes, uint32_t timeoutMs, TransferWaiter& waiter) {
  const auto length = static_cast<uint32_t>(bytes.size());
  libusb_transfer* transfer = libusb_alloc_transfer(0);
  if (transfer == nullptr) return {kNoMemory, 0};

  InFlight entry;
  entry.board = &board;
  entry.transfer = transfer;
  const auto deadline = PendingTransfer::deadlineAfter(timeoutMs);
  // Called on the waiter's thread, which owns the transfer: it cannot be
  // freed meanwhile.
  PendingTransfer pending(deadline, [&sync, &entry](Status why) {
    std::lock_guard lock(sync->mutex);
    sync->cancelInFlight([&](const InFlight& f) { return &f == &entry; }, why);
  });
  Flight flight;
  flight.sync = sync.get();
  flight.pending = &pending;

  // An answer lands here first: a read that ends early hands on nothing.
  std::vector<uint8_t> answer(pipe.in ? length : 0);
  const auto endpoint = static_cast<unsigned char>(pipe.number);
  unsigned char* data = length == 0 ? nullptr : pipe.in ? answer.data() : bytes.data();
  if (pipe.type == PipeType::Interrupt) {
    libusb_fill_interrupt_transfer(transfer, board.handle, endpoint, data, static_cast<int>(length), onTransferDone,
                                   &flight, timeoutMs);
  } else {
    libusb_fill_bulk_transfer(transfer, board.handle, endpoint, data, static_cast<int>(length), onTransferDone, &flight,
                              timeoutMs);
  }
  {
    // Listed before it is submitted, so that a departure or a close that
    // comes now finds it; one that came already ends it here.
    std::lock_guard lock(sync->mutex);
    if (board.gone || sync->leftQueued(board.device.get()) || sync->stopping) {
      libusb_free_transfer(transfer);
      return {sync->stopping ? kCancelled : kDeviceGone, 0};
    }
    const int submitted = libusb_submit_transfer(transfer);
    if (submitted != LIBUSB_SUCCESS) {
      libusb_free_transfer(transfer);
      return {statusFromError(submitted), 0};
    }
    sync->inFlight.push_back(&entry);
  }

  waiter.wait(pending);
  // A waiter must not return before the end; the transfer is ours to free
  // only once the event thread is done with it.
  if (!pending.ended()) pending.waitPlainly();

  Status why = kSuccess;
  {
    std::lock_guard lock(sync->mutex);
    unlist(*sync, &entry);
    why = entry.why;
  }
  libusb_free_transfer(transfer);

  Status status = statusFromTransfer(flight.status);
  if (flight.status == LIBUSB_TRANSFER_CANCELLED && why != kSuccess) status = why;
  if (status == kCancelled || status == kDeviceGone) return {status, 0};  // nothing of it is handed on
  const int actual = std::max(flight.actual, 0);
  const uint32_t moved = std::min(static_cast<uint32_t>(actual), length);
  if (pipe.in && moved > 0) std::memcpy(bytes.data(), answer.data(), moved);
  if (flight.status == LIBUSB_TRANSFER_STALL) libusb_clear_halt(board.handle, endpoint);
  return {status, moved};
}

}  // namespace glim::usb::libusb
