// "Copy" and "Copy SIC": duplicate cell texts character for character. Each
// write runs the destination's range check before the next one.
#include "timing/timing_panel.h"

namespace glim::timing {
namespace {

using namespace usb::protocol::cell;
constexpr int kSerialChannel0 = kChannel0;
constexpr int kChannels = kChannelsPerBlock;
constexpr int kBlockStride = kChannelsPerBlock;

}  // namespace

void TimingPanel::cbCopyser_Click() {
  tbCPLDdata[kSerialRepeat0 + 1].setText(tbCPLDdata[kSerialRepeat0].text());
  tbCPLDdata[kSerialRepeat0 + 2].setText(tbCPLDdata[kSerialRepeat0].text());
  for (int i = kSerialChannel0; i < kSerialChannel0 + kChannels; ++i) {
    tbCPLDdata[i + kBlockStride].setText(tbCPLDdata[i].text());
    tbCPLDdata[i + 2 * kBlockStride].setText(tbCPLDdata[i].text());
  }
}

void TimingPanel::cbCopysic_Click() {
  tbCPLDdata[kSicRepeat1].setText(tbCPLDdata[kSicRepeat0].text());
  tbCPLDdata[kSicRepeat2].setText(tbCPLDdata[kSicRepeat0].text());
  tbCPLDdata[kSicWidth1].setText(tbCPLDdata[kSicWidth0].text());
  tbCPLDdata[kSicWidth2].setText(tbCPLDdata[kSicWidth0].text());
}

}  // namespace glim::timing
