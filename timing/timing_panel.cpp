#include "timing/timing_panel.h"

#include <array>
#include <string_view>

namespace glim::timing {
namespace {

// Texts of the register cells when the window opens.
constexpr std::array<std::string_view, kCellCount> kCellDefaults = {
    "0",   "5",   "0",   "5",   "250", "1",   "5",   "40",  "0",   "63",  "255",  // 0..10
    "255", "255", "255", "255", "255", "255", "255", "255", "255", "255",        // 11..20
    "255", "255", "255", "255", "255", "255", "255", "255",                      // 21..28
    "255", "255", "255", "255", "255", "255", "255", "255",                      // 29..36
    "0",   "10",  "20",  "5",   "5",   "5"};                                     // 37..42

struct CtrlDefault {
  std::string_view caption;
  bool checked;
};
constexpr std::array<CtrlDefault, 4> kCtrlDefaults = {
    {{"STV Enable", true}, {"PWMI Enable", false}, {"SIC Enable", false}, {"Serial Enable", true}}};

constexpr std::array<std::string_view, 3> kOneDenCaptions = {"0", "Z", "1"};
constexpr std::array<std::string_view, 2> kShutbCaptions = {"0", "1"};

}  // namespace

TimingPanel::TimingPanel(forms::Form& form, usb::BoardLink& link, forms::StatusLabel& status)
    : link_(link), status_(status) {
  form.addArray(tbCPLDdata);
  form.addAll(tbSICclkfreqdes, tbSICclkfreqact, tbPWMIclkfreqdes, tbPWMIclkfreqact, tbPWMIpw, tbSTVpw, tbSTVtc,
              tbSCLKdiv, tbSTVfreqdes, tbSTVfreqact, tbSCLKfreqdes, tbSCLKfreqact);
  form.addArray(cbCtrl);
  form.addAll(fr1Den, frShutb);
  form.addArray(ob1Den);
  form.addArray(obShutb);
  form.addAll(cbCopysic, cbCopyser, cbWritesettings);
  // Defaults first, handlers after: nothing runs while the window is built.
  setDefaults();
  wireHandlers();
}

void TimingPanel::setDefaults() {
  for (int i = 0; i < kCellCount; ++i) {
    tbCPLDdata[i].setText(std::string(kCellDefaults[static_cast<std::size_t>(i)]));
  }

  tbSICclkfreqdes.setText("50000");
  tbSICclkfreqact.setText("50000.0");
  tbPWMIclkfreqdes.setText("50000");
  tbPWMIclkfreqact.setText("50000.0");
  tbPWMIpw.setText("100");
  tbSTVpw.setText("2.560");
  tbSTVtc.setText("1320");
  tbSCLKdiv.setText("63");
  tbSTVfreqdes.setText("295.928");
  tbSTVfreqact.setText("295.928");
  tbSCLKfreqdes.setText("390.625");
  tbSCLKfreqact.setText("390.625");
  // Display fields: only the program writes them.
  for (forms::TextBox* box : {&tbSICclkfreqact, &tbPWMIclkfreqact, &tbPWMIpw, &tbSTVpw, &tbSTVfreqact, &tbSCLKfreqact})
    box->locked = true;

  for (int i = 0; i < cbCtrl.size(); ++i) {
    const CtrlDefault& d = kCtrlDefaults[static_cast<std::size_t>(i)];
    cbCtrl[i].setCaption(std::string(d.caption));
    cbCtrl[i].setValue(d.checked ? forms::CheckBox::Checked : forms::CheckBox::Unchecked);
  }
  for (int i = 0; i < ob1Den.size(); ++i) {
    ob1Den[i].setCaption(std::string(kOneDenCaptions[static_cast<std::size_t>(i)]));
  }
  for (int i = 0; i < obShutb.size(); ++i) {
    obShutb[i].setCaption(std::string(kShutbCaptions[static_cast<std::size_t>(i)]));
  }
  ob1Den[1].setValue(true);   // "Z"
  obShutb[1].setValue(true);  // "1"

  cbCopysic.setCaption("Copy SIC");
  cbCopyser.setCaption("Copy");
  cbWritesettings.setCaption("Write Settings");
}

void TimingPanel::wireHandlers() {
  // After each change, nested ones included, the actual fields say whether
  // they are what was asked for.
  for (int i = 0; i < kCellCount; ++i) {
    tbCPLDdata[i].onChange = [this, i] {
      tbCPLDdata_Change(i);
      updateReachNotes();
    };
  }
  const auto thenNotes = [this](void (TimingPanel::*handler)()) {
    return [this, handler] {
      (this->*handler)();
      updateReachNotes();
    };
  };
  tbSICclkfreqdes.onChange = thenNotes(&TimingPanel::tbSICclkfreqdes_Change);
  tbPWMIclkfreqdes.onChange = thenNotes(&TimingPanel::tbPWMIclkfreqdes_Change);
  tbSTVfreqdes.onChange = thenNotes(&TimingPanel::tbSTVfreqdes_Change);
  tbSCLKfreqdes.onChange = thenNotes(&TimingPanel::tbSCLKfreqdes_Change);
  // tbSTVtc and tbSCLKdiv accept typing but have no handler: the program
  // rewrites them from the cells before it next reads them.

  for (int i = 0; i < cbCtrl.size(); ++i) cbCtrl[i].onClick = [this, i] { cbCtrl_Click(i); };
  for (int i = 0; i < ob1Den.size(); ++i) ob1Den[i].onClick = [this, i] { ob1Den_Click(i); };
  for (int i = 0; i < obShutb.size(); ++i) obShutb[i].onClick = [this, i] { obShutb_Click(i); };

  cbCopysic.onClick = [this] { cbCopysic_Click(); };
  cbCopyser.onClick = [this] { cbCopyser_Click(); };
  cbWritesettings.onClick = [this] { cbWritesettings_Click(); };
}

}  // namespace glim::timing
