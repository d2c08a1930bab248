#pragma once
#include <cstdint>
#include <memory>

#include "usb/driver.h"
#include "usb/libusb/session_parts.h"

namespace glim::usb::libusb {

// One bulk or interrupt transfer on a board's pipe, waited for on the calling
// thread while the event thread completes it. Returns early, with kDeviceGone,
// when the board leaves while the transfer is pending (the transfer is
// cancelled), and with kCancelled when the session closes. A stall is cleared
// (libusb_clear_halt) before kStall is returned, so the next transfer can work.
// `transferred` is the count libusb reports.
Status transferOnBoard(const std::shared_ptr<SyncPoint>& sync, OpenBoard& board, const PipeInfo& pipe,
                       uint8_t* buffer, uint32_t length, uint32_t& transferred, uint32_t timeoutMs);

}  // namespace glim::usb::libusb
