// The enable check boxes (cell 37) and the two control lines of the board,
// "1D EN" and "SHUTb", sent in the two-byte control-pin packet on pipe 1.
#include <array>
#include <cstdint>

#include "text/number_format.h"
#include "timing/timing_panel.h"

namespace glim::timing {
namespace {

namespace protocol = usb::protocol;

// Enable boxes for each "1D EN" choice, in index order STV, PWMI, SIC, Serial.
using Preset = std::array<bool, protocol::kEnableBitCount>;
constexpr Preset kPresetLow = {false, true, false, false};
constexpr Preset kPresetFloating = {true, false, false, true};
constexpr Preset kPresetHigh = {true, true, true, false};

}  // namespace

void TimingPanel::updateCtrlByte() {
  int sum = 0;
  for (int i = 0; i < cbCtrl.size(); ++i) {
    if (cbCtrl[i].value() == forms::CheckBox::Checked) sum += 1 << i;
  }
  tbCPLDdata[protocol::cell::kEnableBits].setText(text::integerText(sum));
}

std::optional<std::string> TimingPanel::writeCtrlPins() {
  if (!link_.requireDevice()) return "no board connected";

  protocol::OneDen oneDen = protocol::OneDen::Floating;
  const Preset* preset = &kPresetFloating;
  if (ob1Den[0].value()) {
    oneDen = protocol::OneDen::Low;
    preset = &kPresetLow;
  } else if (ob1Den[2].value()) {
    oneDen = protocol::OneDen::High;
    preset = &kPresetHigh;
  }
  // Boxes whose state changes run their click handling, as a user's click would.
  for (int i = 0; i < cbCtrl.size(); ++i) {
    cbCtrl[i].setValue((*preset)[static_cast<std::size_t>(i)] ? forms::CheckBox::Checked
                                                               : forms::CheckBox::Unchecked);
  }
  const usb::TransferOutcome sent = link_.writePipe(protocol::kPinPipe, protocol::pinPacket(oneDen, obShutb[0].value()));

  updateCtrlByte();
  if (!sent.ok()) return sent.reason();
  return std::nullopt;
}

void TimingPanel::cbCtrl_Click(int) { updateCtrlByte(); }

void TimingPanel::obShutb_Click(int) { report("SHUTb", writeCtrlPins()); }

}  // namespace glim::timing
