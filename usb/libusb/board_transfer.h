#pragma once
#include <cstdint>
#include <memory>

#include "usb/driver.h"
#include "usb/libusb/session_parts.h"

namespace glim::usb::libusb {

// One bulk or interrupt transfer on a board's pipe. It is submitted on the
// calling thread, completed by the event thread and waited for through
// `waiter`. It ends early when the waiter cancels it (with the waiter's
// status), when the board leaves (kDeviceGone) and when the session closes
// (kCancelled): in every case it is cancelled and reaped before this returns,
// so nothing stays submitted. A stall is cleared (libusb_clear_halt) before
// kStall is returned, so the next transfer can work. The count moved is the
// one libusb reports.
TransferResult transferOnBoard(const std::shared_ptr<SyncPoint>& sync, OpenBoard& board, const PipeInfo& pipe,
                               std::span<uint8_t> bytes, uint32_t timeoutMs, TransferWaiter& waiter);

}  // namespace glim::usb::libusb
