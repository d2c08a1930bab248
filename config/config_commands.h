#pragma once
#include <string>

#include "config/config_file.h"
#include "forms/status_label.h"
#include "forms/ui_host.h"
#include "i2c/i2c_operations.h"
#include "i2c/register_form.h"
#include "text/outcome.h"
#include "timing/timing_panel.h"

namespace glim::config {

// The first line of the message box of a refused load; the reason follows
// on the next line.
inline constexpr std::string_view kNotConfigFile = "File selected is not a valid Glimmora Config File";
inline constexpr std::string_view kErrorCaption = "Error";
inline constexpr std::string_view kDefaultExt = "txt";
inline constexpr std::string_view kFilter = "Text File (*.txt) |*.txt | All Files (*.*)|*.*|";

// "Save Configuration" and "Load Configuration" of the main window's File menu.
//
// Loading is all or nothing: the whole file is read and checked before any
// control changes, and a file that does not check out changes nothing and sends
// nothing. Saving replaces the old file only once the new one is complete.
class ConfigCommands {
 public:
  // Both commands report their outcome on `status`, the main window's status line.
  ConfigCommands(timing::TimingPanel& timing, i2c::RegisterWindow& registers, i2c::I2cOperations& i2c,
                 forms::UiHost& ui, forms::StatusLabel& status);

  void mFileSaveConfig_Click();
  void mFileLoadConfig_Click();
  // Loads `path` as "Load Configuration" does once its dialog has been
  // answered with it: the same checks, messages and packets. For a file named
  // when the program starts (an "open with" from the desktop).
  void loadConfig(const std::string& path);

  // Writes the settings to `path` as "Save Configuration" does (the same
  // lines, the same safe save), without a dialog, a message or a status, and
  // without showing the register window: the record of a session that ends.
  // Failed with why nothing was written, when it was not.
  text::Outcome saveSession(const std::string& path);
  // Loads `path` as loadConfig does, reported on the status line under
  // `action` and without the file's name ("Load Last Session: loaded and sent").
  void loadSession(const std::string& path, const std::string& action);

  // The one dialog set-up both commands share; its file name is kept between them.
  forms::FileDialogSetup CommonDialog1;

 private:
  forms::FileChoice askFileName(forms::FileDialogKind kind);
  // The values to save, into `values`; fails when a text cannot be saved,
  // after telling the user when `tell` ("the text of NAME cannot be saved"),
  // else with why ("...: it holds a line break").
  text::Outcome collect(ConfigValues& values, bool tell);
  // loadConfig's work, reported under `action`; `named`: the status names the file.
  void load(const std::string& path, const std::string& action, bool named);
  // Puts the values into the controls and sends them; why sending failed, if it did.
  text::Outcome apply(const ConfigValues& values);
  void error(const std::string& text);
  // Tells the user (a message box) and the status line.
  void fail(const std::string& action, const std::string& message, const std::string& reason);

  timing::TimingPanel& timing_;
  i2c::RegisterWindow& registers_;
  i2c::I2cOperations& i2c_;
  forms::UiHost& ui_;
  forms::StatusLabel& status_;
};

}  // namespace glim::config
