// The register image: the range check every cell runs on each change, and the
// recomputation group each cell belongs to.
#include "text/text_value.h"
#include "timing/timing_panel.h"

namespace glim::timing {
namespace {

namespace cell = usb::protocol::cell;

// These cells hold bits 11..8 of a 12-bit value.
bool isHighNibble(int index) { return index == cell::kStvCountHigh || index == cell::kSclkDividerHigh; }

}  // namespace

double TimingPanel::cellValue(int index) const { return text::GetTextValue(tbCPLDdata[index].text()); }

void TimingPanel::rangeCheck(int index) {
  const double v = cellValue(index);
  const bool nibble = isHighNibble(index);
  // Out-of-range values, infinities included, become the nearest bound. The
  // corrected text runs this cell's handler again, nested; text that is in
  // range, whatever it looks like, stays as typed.
  if (v < 0) {
    tbCPLDdata[index].setText("0");
  } else if (v > (nibble ? 15.0 : 255.0)) {
    tbCPLDdata[index].setText(nibble ? "15" : "255");
  }
}

void TimingPanel::tbCPLDdata_Change(int Index) {
  if (Index < 0 || Index >= kCellCount) return;
  rangeCheck(Index);
  switch (Index) {
    case cell::kSicDivider:
      sicGroup();
      break;
    case cell::kPwmiDivider:
    case cell::kPwmiWidth:
      pwmiGroup();
      break;
    case cell::kStvWidth:
    case cell::kStvCountHigh:
    case cell::kStvCountLow:
    case cell::kSclkDividerHigh:
    case cell::kSclkDividerLow:
      sclkStvGroup();
      break;
    default:
      break;  // stored and sent only
  }
}

}  // namespace glim::timing
