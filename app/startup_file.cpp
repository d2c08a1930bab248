#include "app/startup_file.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "shell/program.h"

namespace glim::app {

std::optional<QString> configFileArgument(const QStringList& arguments, QString* runScript,
                                          QString* recordScript, bool* exitAfterRun) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Control program for the QXB40218 LED driver evaluation board."));
  parser.addHelpOption();
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
