#pragma once
#include <QString>
#include <QStringList>
#include <optional>

namespace glim::shell {
class Program;
}

namespace glim::app {

// The configuration file named on the command line (`glimmora [FILE]`, also
// how the desktop's "open with" starts the program), or nothing. Answers
// --help itself; an unknown option or a second file ends the program with a
// note on standard error. `--run SCRIPT` names a script to play once the
// window has started; it is stored in `runScript` when given. `--record FILE`
// names the file to record the session into, from start-up on (`recordScript`).
// `--exit` (with --run) plays unattended and ends the program afterwards.
std::optional<QString> configFileArgument(const QStringList& arguments, QString* runScript = nullptr,
                                          QString* recordScript = nullptr, bool* exitAfterRun = nullptr);

// Whether the arguments ask for --help or --version (or name an option the
// parser refuses): these are answered before any display is opened.
bool answeredWithoutDisplay(int argc, const char* const* argv);

// Loads `path` once start-up is over, as "Load Configuration" would after its
// dialog chose that file: the driver has been started and the boards it
// reported at once (a simulated board plugged in at start, a real one already
// on the bus) have been attached, so a valid file also programs the board.
void loadConfigAfterStart(shell::Program& program, const QString& path);

}  // namespace glim::app
