#pragma once
#include <QString>
#include <QStringList>
#include <optional>

#include "usb/driver_factory.h"

namespace glim::shell {
class Program;
}

namespace glim::app {

// What the command line asks for (`glimmora [options] [FILE]`).
struct StartOptions {
  enum class Answer {
    Start,    // open the window
    Help,     // --help: print the help, end with 0
    Version,  // --version: print the version, end with 0
    Refused,  // `error` says why; print it and the usage, end with 2
  };
  Answer answer = Answer::Start;
  QString error;  // "unknown option --bogus"
  // The configuration file to load at start (also how the desktop's "open
  // with" starts the program).
  std::optional<QString> configFile;
  QString runScript;          // --run SCRIPT: played once the window has started
  QString recordScript;       // --record FILE: the session recorded from start-up on
  bool exitAfterRun = false;  // --exit (with --run): unattended, then the program ends
  // --board sim|sim-empty|usb: the layer, as GLIMMORA_USB chooses it; unset,
  // GLIMMORA_USB decides.
  std::optional<usb::DriverChoice> board;
  // --registers FILE: the register descriptions for this run (not remembered).
  QString registersFile;
};

// Reads `arguments` (the program's name first). Qt's own options (-platform,
// -style, ...) are accepted and left for QApplication to take.
StartOptions parseStartOptions(const QStringList& arguments);

// Reads the command line before any display is opened: --help and --version
// are answered, a refused command line is told on standard error with the
// usage; each ends the program. Otherwise what to start with.
StartOptions readStartOptions(int argc, char** argv, const QString& version);

// Loads `path` once start-up is over, as "Load Configuration" would after its
// dialog chose that file: the driver has been started and the boards it
// reported at once (a simulated board plugged in at start, a real one already
// on the bus) have been attached, so a valid file also programs the board.
void loadConfigAfterStart(shell::Program& program, const QString& path);

}  // namespace glim::app
