#include "shell/main_form.h"

#include <string>

#include "text/number_format.h"

namespace glim::shell {

MainForm::MainForm(usb::Driver& driver, forms::Dispatcher& dispatcher, forms::UiHost& ui)
    : link(driver, log, dispatcher, ui),
      timing(form, link, lblStatus),
      i2c(link, ui, log),
      i2cWindow(i2c),
      watch(i2c, i2cWindow, dispatcher),
      config(timing, i2cWindow, i2c, ui, lblStatus),
      ui_(ui) {
  i2c.setWindow(i2cWindow);
  txtLog.multiLine = true;
  cmdClearLog.setCaption("Clear L&og");
  cbQuit.setCaption("Quit");
  cbShowi2c.setCaption("Show i2c");
  form.addAll(txtLog, lblLog, cmdClearLog, cbQuit, cbShowi2c, mFileSaveConfig, mFileLoadConfig, nMenuFileExit,
              lblStatus, lblBoard);
  showsBoard_ = link.onConnectionChanged.connectScoped([this] {
    lblBoard.setCaption(link.deviceConnected() ? "Board &H" + text::hex32(link.heldDevice()) : "No board");
  });

  cmdClearLog.setClickHandler([this] { cmdClearLog_Click(); });
  cbQuit.setClickHandler([this] { cbQuit_Click(); });
  cbShowi2c.setClickHandler([this] { cbShowi2c_Click(); });
  nMenuFileExit.setClickHandler([this] { nMenuFileExit_Click(); });
  mFileSaveConfig.setClickHandler([this] { config.mFileSaveConfig_Click(); });
  mFileLoadConfig.setClickHandler([this] { config.mFileLoadConfig_Click(); });

  Form_Initialize();
}

MainForm::~MainForm() {
  // A window that was never unloaded still closes its driver connection.
  if (!unloaded_) link.stopDriver();
}

void MainForm::Form_Initialize() { link.initialize(); }

void MainForm::Form_Activate() {
  if (activated_ || unloaded_) return;
  activated_ = true;
  link.startDriver();
}

void MainForm::Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  link.stopDriver();
  onUnloaded.notify();
}

void MainForm::cbQuit_Click() {
  if (!unloaded_) onEnding.notify();
  i2cWindow.unload();
  Form_Unload();
}

void MainForm::nMenuFileExit_Click() { cbQuit_Click(); }

void MainForm::closeBox() { cbQuit_Click(); }

void MainForm::cmdClearLog_Click() {
  txtLog.setText("");
  onRepaintLog.notify();
}

void MainForm::cbShowi2c_Click() { i2cWindow.show(); }

forms::Control* MainForm::resolve(std::string_view name) {
  constexpr std::string_view kMain = "Glimmora_interface.";
  constexpr std::string_view kI2c = "Glimmora_i2c.";
  if (name.starts_with(kMain)) return form.find(name.substr(kMain.size()));
  if (name.starts_with(kI2c)) {
    const std::string_view rest = name.substr(kI2c.size());
    if (auto* existing = i2cWindow.existing()) return existing->form.find(rest);
    // Only a name the window really has may leave it created.
    forms::Control* control = i2cWindow.get().form.find(rest);
    if (control == nullptr) i2cWindow.unload();
    return control;
  }
  return form.find(name);
}

}  // namespace glim::shell
