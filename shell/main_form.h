#pragma once
#include <functional>
#include <string_view>

#include "config/config_commands.h"
#include "forms/control.h"
#include "forms/dispatcher.h"
#include "forms/form.h"
#include "forms/log.h"
#include "forms/signal.h"
#include "forms/status_label.h"
#include "forms/ui_host.h"
#include "i2c/i2c_operations.h"
#include "i2c/register_form.h"
#include "i2c/register_watch.h"
#include "i2c/register_window.h"
#include "timing/timing_panel.h"
#include "usb/board_link.h"
#include "usb/driver.h"

namespace glim::shell {

// The main window `Glimmora_interface` as a form: it owns the log, the board
// link, the timing area and the register window, and its lifecycle opens and
// closes the driver connection.
class MainForm {
 public:
  // Runs Form_Initialize.
  MainForm(usb::Driver& driver, forms::Dispatcher& dispatcher, forms::UiHost& ui);
  ~MainForm();
  MainForm(const MainForm&) = delete;
  MainForm& operator=(const MainForm&) = delete;

  forms::Form form{"Glimmora_interface", "Glimmora QXB40218 USB Interface"};
  forms::TextBox txtLog{"txtLog"};
  forms::Label lblLog{"lblLog", -1, "Log:"};
  forms::CommandButton cmdClearLog{"cmdClearLog"};
  forms::CommandButton cbQuit{"cbQuit"};
  forms::CommandButton cbShowi2c{"cbShowi2c"};
  forms::MenuItem mFileSaveConfig{"mFileSaveConfig", "Save Configuration", "Ctrl+S"};
  forms::MenuItem mFileLoadConfig{"mFileLoadConfig", "Load Configuration", "Ctrl+L"};
  forms::MenuItem nMenuFileExit{"nMenuFileExit", "E&xit", "Ctrl+X"};
  // The status line: the last board or file action's outcome, and whether a
  // board is held.
  forms::StatusLabel lblStatus{"lblStatus"};
  forms::Label lblBoard{"lblBoard", -1, "No board"};

  forms::Log log{txtLog};
  usb::BoardLink link;
  timing::TimingPanel timing;
  i2c::I2cOperations i2c;
  i2c::RegisterWindow i2cWindow;
  // Reads the register window's watched registers once per interval, when
  // the front end polls it (its timer, or a script's `wait`).
  i2c::RegisterWatch watch;
  config::ConfigCommands config;

  void Form_Initialize();
  void Form_Activate();
  void Form_Unload();
  void cbQuit_Click();
  void nMenuFileExit_Click();
  void cmdClearLog_Click();
  void cbShowi2c_Click();
  // The window's own close box: ends the program as "Quit" does.
  void closeBox();

  bool unloaded() const { return unloaded_; }
  // Where message boxes and file dialogs go (the front end's).
  forms::UiHost& uiHost() const { return ui_; }
  // Told once when the main window has been unloaded (the program ends).
  forms::Signal<std::function<void()>> onUnloaded;
  // Told when the program is about to end by "Quit", "E&xit" or the close
  // box, while both windows still hold what the person set.
  forms::Signal<std::function<void()>> onEnding;
  // Told when the log pane should repaint at once ("Clear Log").
  forms::Signal<std::function<void()>> onRepaintLog;

  // A control by the name a script uses: "NAME", "NAME(i)",
  // "Glimmora_interface.NAME" or "Glimmora_i2c.NAME" (the last creates the
  // register window when needed). Null when there is no such control.
  forms::Control* resolve(std::string_view name);

 private:
  forms::UiHost& ui_;
  bool activated_ = false;
  bool unloaded_ = false;
  forms::Connection showsBoard_;  // lblBoard follows link's connection
};

}  // namespace glim::shell
