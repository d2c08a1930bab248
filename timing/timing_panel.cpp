#include "timing/timing_panel.h"

namespace glim::timing {
TimingPanel::TimingPanel(forms::Form& form, usb::BoardLink& link) : link_(link) {
  form.addArray(tbCPLDdata);
  form.addAll(tbSICclkfreqdes, tbSICclkfreqact, tbPWMIclkfreqdes, tbPWMIclkfreqact, tbPWMIpw, tbSTVpw, tbSTVtc,
              tbSCLKdiv, tbSTVfreqdes, tbSTVfreqact, tbSCLKfreqdes, tbSCLKfreqact);
  form.addArray(cbCtrl);
  form.addAll(fr1Den, frShutb);
  form.addArray(ob1Den);
  form.addArray(obShutb);
  form.addAll(cbCopysic, cbCopyser, cbWritesettings);
}
void TimingPanel::tbCPLDdata_Change(int) {}
void TimingPanel::tbSICclkfreqdes_Change() {}
void TimingPanel::tbPWMIclkfreqdes_Change() {}
void TimingPanel::tbSTVfreqdes_Change() {}
void TimingPanel::tbSCLKfreqdes_Change() {}
void TimingPanel::cbCopysic_Click() {}
void TimingPanel::cbCopyser_Click() {}
void TimingPanel::cbCtrl_Click(int) {}
void TimingPanel::obShutb_Click(int) {}
void TimingPanel::ob1Den_Click(int) {}
void TimingPanel::cbWritesettings_Click() {}
void TimingPanel::updateCtrlByte() {}
void TimingPanel::writeCtrlPins() {}
}  // namespace glim::timing
