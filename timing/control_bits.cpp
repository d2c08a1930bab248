// The enable check boxes (cell 37) and the two control lines of the board,
// "1D EN" and "SHUTb", sent in the two-byte control-pin packet on pipe 1.
#include <array>
#include <cstdint>

#include "text/number_format.h"
#include "timing/timing_panel.h"

namespace glim::timing {
namespace {

constexpr int kEnableCell = 37;
constexpr int32_t kPinPipe = 1;

// Level byte: bit 4 the 1D EN line, bit 5 the SHUTb line; drive mask: a clear
// bit 4 leaves the 1D EN line floating.
constexpr uint8_t kLevelOneDenLow = 0xEE;
constexpr uint8_t kLevelOneDenHigh = 0xFE;
constexpr uint8_t kShutbLowBit = 0x20;
constexpr uint8_t kDriveAll = 0xF3;
constexpr uint8_t kDriveOneDenFloating = 0xE3;

// Enable boxes for each "1D EN" choice, in index order STV, PWMI, SIC, Serial.
using Preset = std::array<bool, 4>;
constexpr Preset kPresetLow = {false, true, false, false};
constexpr Preset kPresetFloating = {true, false, false, true};
constexpr Preset kPresetHigh = {true, true, true, false};

}  // namespace

void TimingPanel::updateCtrlByte() {
  int sum = 0;
  for (int i = 0; i < cbCtrl.size(); ++i) {
    if (cbCtrl[i].value() == forms::CheckBox::Checked) sum += 1 << i;
  }
  tbCPLDdata[kEnableCell].setText(text::integerText(sum));
}

void TimingPanel::writeCtrlPins() {
  if (!link_.requireDevice()) return;

  uint8_t level = kLevelOneDenHigh;
  uint8_t drive = kDriveOneDenFloating;
  const Preset* preset = &kPresetFloating;
  if (ob1Den[0].value()) {
    level = kLevelOneDenLow;
    drive = kDriveAll;
    preset = &kPresetLow;
  } else if (ob1Den[2].value()) {
    drive = kDriveAll;
    preset = &kPresetHigh;
  }
  // Boxes whose state changes run their click handling, as a user's click would.
  for (int i = 0; i < cbCtrl.size(); ++i) {
    cbCtrl[i].setValue((*preset)[static_cast<std::size_t>(i)] ? forms::CheckBox::Checked
                                                               : forms::CheckBox::Unchecked);
  }
  if (obShutb[0].value()) level = static_cast<uint8_t>(level - kShutbLowBit);

  link_.TransferPipe = kPinPipe;
  link_.TransferLength = 2;
  link_.TransferBuffer.assign(2, 0);
  link_.TransferBuffer[0] = level;
  link_.TransferBuffer[1] = drive;
  link_.writePipe();

  updateCtrlByte();
}

void TimingPanel::cbCtrl_Click(int) { updateCtrlByte(); }

void TimingPanel::obShutb_Click(int) { writeCtrlPins(); }

}  // namespace glim::timing
