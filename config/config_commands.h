#pragma once
#include "forms/ui_host.h"
#include "i2c/i2c_operations.h"
#include "i2c/register_form.h"
#include "timing/timing_panel.h"

namespace glim::config {

// "Save Configuration" and "Load Configuration" of the main window's File menu.
class ConfigCommands {
 public:
  ConfigCommands(timing::TimingPanel& timing, i2c::RegisterWindow& registers, i2c::I2cOperations& i2c,
                 forms::UiHost& ui);

  void mFileSaveConfig_Click();
  void mFileLoadConfig_Click();

  // The one dialog set-up both commands share; its file name is kept between them.
  forms::FileDialogSetup CommonDialog1;

 private:
  timing::TimingPanel& timing_;
  i2c::RegisterWindow& registers_;
  i2c::I2cOperations& i2c_;
  forms::UiHost& ui_;
};

}  // namespace glim::config
