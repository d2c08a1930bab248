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

namespace {

// The options of QGuiApplication and QApplication that take a value, and
// those that do not: accepted here, taken by QApplication.
const char* const kQtOptionsWithValue[] = {
    "platform", "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry", "qwindowicon", "qwindowtitle",
    "style",    "stylesheet",         "session",       "display", "geometry",        "title",       "name"};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// The program's command line, described once for parsing and for the help.
struct Parser {
  QCommandLineParser parser;
  QCommandLineOption run{QStringLiteral("run"), QStringLiteral("Play a script once the window has started."),
                         QStringLiteral("SCRIPT")};
  QCommandLineOption record{QStringLiteral("record"),
                            QStringLiteral("Record what is done in the windows as a script, from start-up on."),
                            QStringLiteral("FILE")};
  QCommandLineOption exitOption{
      QStringLiteral("exit"),
      QStringLiteral("With --run: play the script unattended (message boxes are answered OK at once) and end the "
                     "program when it has played.")};
  QCommandLineOption board{QStringLiteral("board"),
                           QStringLiteral("The boards to work with, as GLIMMORA_USB chooses them: sim, sim-empty or "
                                          "usb (real boards). Given, GLIMMORA_USB is not read."),
                           QStringLiteral("LAYER")};
  QCommandLineOption registers{
      QStringLiteral("registers"),
      QStringLiteral("Register descriptions (JSON) for this run, instead of the file last chosen with File > "
                     "Register Descriptions or the shipped one."),
      QStringLiteral("FILE")};
  QCommandLineOption help;
  QCommandLineOption version;

  Parser() : help(parser.addHelpOption()), version(parser.addVersionOption()) {
    parser.setApplicationDescription(
        QStringLiteral("Control program for the QXB40218 LED driver evaluation board.\n"
                       "\n"
                       "Environment:\n"
                       "  GLIMMORA_USB  sim: a simulated board, with a window of its own;\n"
                       "                sim-empty: the simulated layer with no board plugged in;\n"
                       "                unset or anything else: real boards on USB.\n"
                       "\n"
                       "On every exit the settings are kept in\n  ") +
        QDir::toNativeSeparators(lastSessionPath()) +
        QStringLiteral("\nand File > Load Last Session loads them again."));
    // Qt's own options are single-dash words (-platform offscreen).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("A saved configuration to load at start."),
                                 QStringLiteral("[FILE]"));
    for (const QCommandLineOption* option : {&run, &record, &exitOption, &board, &registers}) parser.addOption(*option);
    for (const char* name : kQtOptionsWithValue) {
      QCommandLineOption qt(QString::fromLatin1(name), QString(), QStringLiteral("value"));
      qt.setFlags(QCommandLineOption::HiddenFromHelp);
      parser.addOption(qt);
    }
    for (const char* name : kQtFlags) {
      QCommandLineOption qt(QString::fromLatin1(name));
      qt.setFlags(QCommandLineOption::HiddenFromHelp);
      parser.addOption(qt);
    }
  }
};

// The unknown option as it was typed ("--bogus"; "--bogus=1" as "--bogus").
QString typedOption(const QStringList& arguments, const QString& name) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (arg == QLatin1String("--")) break;
    if (!arg.startsWith(QLatin1Char('-'))) continue;
    const QString bare = arg.section(QLatin1Char('='), 0, 0);
    if (bare.mid(bare.startsWith(QLatin1String("--")) ? 2 : 1) == name) return bare;
  }
  return QStringLiteral("--") + name;
}

}  // namespace

StartOptions parseStartOptions(const QStringList& arguments) {
  Parser p;
  StartOptions options;
  const auto refuse = [&options](const QString& why) {
    options.answer = StartOptions::Answer::Refused;
    options.error = why;
    return options;
  };
  if (!p.parser.parse(arguments)) {
    const QStringList unknown = p.parser.unknownOptionNames();
    if (!unknown.isEmpty()) return refuse(QStringLiteral("unknown option ") + typedOption(arguments, unknown.front()));
    return refuse(p.parser.errorText());
  }
  if (p.parser.isSet(p.help)) {
    options.answer = StartOptions::Answer::Help;
    return options;
  }
  if (p.parser.isSet(p.version)) {
    options.answer = StartOptions::Answer::Version;
    return options;
  }
  if (p.parser.isSet(p.board)) {
    const QString layer = p.parser.value(p.board);
    if (layer == QLatin1String("sim")) {
      options.board = usb::DriverChoice::Sim;
    } else if (layer == QLatin1String("sim-empty")) {
      options.board = usb::DriverChoice::SimEmpty;
    } else if (layer == QLatin1String("usb")) {
      options.board = usb::DriverChoice::RealBoards;
    } else {
      return refuse(QStringLiteral("--board takes sim, sim-empty or usb, not \"") + layer + QLatin1Char('"'));
    }
  }
  options.registersFile = p.parser.value(p.registers);
  options.runScript = p.parser.value(p.run);
  options.recordScript = p.parser.value(p.record);
  options.exitAfterRun = p.parser.isSet(p.exitOption);
  const QStringList files = p.parser.positionalArguments();
  if (files.size() > 1) return refuse(QStringLiteral("one configuration file at most"));
  if (!files.isEmpty()) options.configFile = files.front();
  return options;
}

StartOptions readStartOptions(int argc, char** argv, const QString& version) {
  // A plain core application: it reads the arguments as the platform gives
  // them and opens no display.
  QCoreApplication core(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("glimmora"));
  QCoreApplication::setApplicationVersion(version);
  const StartOptions options = parseStartOptions(QCoreApplication::arguments());
  switch (options.answer) {
    case StartOptions::Answer::Start:
      break;
    case StartOptions::Answer::Help:
      Parser().parser.showHelp(0);  // ends the program
    case StartOptions::Answer::Version:
      Parser().parser.showVersion();  // ends the program
    case StartOptions::Answer::Refused:
      std::fprintf(stderr, "glimmora: %s\n\n%s", qPrintable(options.error), qPrintable(Parser().parser.helpText()));
      std::exit(2);
  }
  return options;
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
