#pragma once
#include <QString>
#include <cstdint>
#include <span>
#include <vector>

#include "usb/sim/sim_board.h"
#include "usb/sim/sim_driver.h"
#include "usb/sim/timing_decode.h"

namespace glim::app::simtext {

// The texts of the "Simulated board" window, apart from its widgets.

// "25 MHz", "390.625 kHz", "12 Hz"; "none" for an endless period.
QString frequency(double hertz);
// "40 ns", "2.56 µs", "1.5 ms".
QString duration(double nanoseconds);
// Bytes as upper-case hexadecimal pairs: "02 3F 00".
QString hexBytes(std::span<const uint8_t> bytes);

// "driven high", "driven low" or "floating" for 1D EN; "high", "low" or
// "floating" for SHUTb (nothing else drives it).
QString oneDenText(usb::sim::LineState state);
QString shutbText(usb::sim::LineState state);

// One line of the packet trace: seconds since the layer started, board,
// direction and pipe, the bytes, and the status when the transfer failed.
QString traceLine(const usb::PacketTraceEntry& entry);

// One line of the decoded timing bytes: `key` names its widget.
struct DecodedRow {
  QString key;
  QString caption;
  QString value;
};
// What the 43 bytes make the generator do, one row per value, always the
// same rows in the same order.
std::vector<DecodedRow> decodedRows(const usb::sim::TimingDecode& decoded);

}  // namespace glim::app::simtext
