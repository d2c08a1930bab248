#include "app/startup_file.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMetaObject>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/last_session.h"
#include "shell/program.h"

namespace glim::app {

std::optional<QString> configFileArgument(const QStringList& arguments, QString* runScript,
                                          QString* recordScript, bool* exitAfterRun) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Control program for the QXB40218 LED driver evaluation board.\n"
      "\n"
      "Environment:\n"
      "  GLIMMORA_USB  sim: a simulated board, with a window of its own;\n"
      "                sim-empty: the simulated layer with no board plugged in;\n"
      "                unset or anything else: real boards on USB.\n"
      "\n"
      "On every exit the settings are kept in\n  ") + QDir::toNativeSeparators(lastSessionPath()) +
      QStringLiteral("\nand File > Load Last Session loads them again."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A saved configuration to load at start."),
                               QStringLiteral("[FILE]"));
  const QCommandLineOption run(QStringLiteral("run"), QStringLiteral("Play a script once the window has started."),
                               QStringLiteral("SCRIPT"));
  parser.addOption(run);
  const QCommandLineOption record(QStringLiteral("record"),
                                  QStringLiteral("Record what is done in the windows as a script, from start-up on."),
                                  QStringLiteral("FILE"));
  parser.addOption(record);
  const QCommandLineOption exitOption(
      QStringLiteral("exit"),
      QStringLiteral("With --run: play the script unattended (message boxes are answered OK at once) and end the "
                     "program when it has played."));
  parser.addOption(exitOption);
  parser.process(arguments);  // --help and unknown options end the program here
  if (runScript != nullptr && parser.isSet(run)) *runScript = parser.value(run);
  if (recordScript != nullptr && parser.isSet(record)) *recordScript = parser.value(record);
  if (exitAfterRun != nullptr) *exitAfterRun = parser.isSet(exitOption);
  const QStringList files = parser.positionalArguments();
  if (files.size() > 1) {
    std::fprintf(stderr, "glimmora: one configuration file at most\n");
    std::exit(2);
  }
  if (files.isEmpty()) return std::nullopt;
  return files.front();
}

bool answeredWithoutDisplay(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i] != nullptr ? argv[i] : "";
    if (arg == "--") return false;
    if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" || arg == "--version") {
      return true;
    }
  }
  return false;
}

void loadConfigAfterStart(shell::Program& program, const QString& path) {
  // Queued behind the window's first activation and the attach notices it
  // caused, which are queued the same way.
  const std::string file = QFile::encodeName(path).toStdString();
  QMetaObject::invokeMethod(
      QCoreApplication::instance(),
      [&program, file] {
        if (program.main.unloaded()) return;
        // Activation starts the driver only once; whoever comes first does it.
        program.dispatcher.runHandler([&program] { program.main.Form_Activate(); });
        program.dispatcher.drain();
        program.dispatcher.runHandler([&program, &file] { program.main.config.loadConfig(file); });
      },
      Qt::QueuedConnection);
}

}  // namespace glim::app
