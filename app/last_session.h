#pragma once
#include <QString>

namespace glim::app {

// Where the window keeps the settings it had when the program last ended:
// $XDG_STATE_HOME/glimmora/last-session.txt, ~/.local/state/glimmora/ when
// the variable is unset (or not an absolute path); on Windows the user's own
// application data folder. A configuration file like any other.
QString lastSessionPath();

// Where the window keeps its own settings (the register description file
// chosen last): glimmora.ini in the user's configuration folder for the
// program. Never the configuration files'.
QString windowSettingsPath();

}  // namespace glim::app
