#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdlib>
#include <iostream>

#include "app/first_paint_probe.h"
#include "app/last_session.h"
#include "app/main_window.h"
#include "app/qt_ui_host.h"
#include "app/sim_board_window.h"
#include "app/startup_file.h"
#include "shell/program.h"
#include "usb/driver_factory.h"

int main(int argc, char* argv[]) {
  QElapsedTimer sinceStart;
  sinceStart.start();

  // --help and --version need no display: a plain core application answers
  // them (and ends the program) before the window system is opened.
  if (glim::app::answeredWithoutDisplay(argc, argv)) {
    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("glimmora"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLIMMORA_VERSION));
    glim::app::configFileArgument(QCoreApplication::arguments());
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(glim::app::kApplicationName));
  QApplication::setApplicationVersion(QStringLiteral(GLIMMORA_VERSION));
  // --run SCRIPT: the script plays once the window has started; the window
  // stays open, and what glimmora-cli would print goes to standard output.
  // --record FILE: everything done in the windows is recorded from start-up.
  QString runFile;
  QString recordFile;
  const auto configFile = glim::app::configFileArgument(QApplication::arguments(), &runFile, &recordFile);

  glim::app::QtUiHost ui;
  // GLIMMORA_USB chooses the layer: "sim", "sim-empty", otherwise real boards.
  const char* usbChoice = std::getenv("GLIMMORA_USB");
  glim::shell::Program program(
      glim::usb::createDriver(glim::usb::parseDriverChoice(usbChoice != nullptr ? usbChoice : "")), ui);
  glim::app::MainWindow window(program, &ui);
  window.keepLastSessionIn(glim::app::lastSessionPath());
  QApplication::setWindowIcon(window.windowIcon());  // message boxes and file dialogs too
  // On the simulated layer a window of its own plays the hardware; it must
  // exist before the main window's first activation opens the driver.
  const auto board = glim::app::SimBoardWindow::forProgram(program);
  if (board) window.waitHost().letThrough(board.get());  // usable while the program waits
  if (board) board->setRecorder(&window.recorder());
  if (board) {
    window.addBoardWindow(board.get());
    board->onAnchorMoved = [&window] { window.placeRegisterWindowAgain(); };
  }
  if (!recordFile.isEmpty()) {
    if (const auto error = window.startRecording(recordFile)) {
      std::cerr << "glimmora: " << *error << '\n';
      return 2;
    }
  }
  QObject::connect(&window, &glim::app::MainWindow::ended, &app, [] {
    QApplication::closeAllWindows();
    QApplication::quit();
  });

  // Start-up measurement: with GLIMMORA_EXIT_AFTER_PAINT set, print when the
  // window has first been painted, then end.
  glim::app::FirstPaintProbe::exitAfterPaintIfAsked(&window, sinceStart);

  window.show();
  if (board) board->showBeside(window, window.registerWindowSize());
  if (configFile) glim::app::loadConfigAfterStart(program, *configFile);
  if (!runFile.isEmpty()) {
    QTimer::singleShot(0, &window, [&window, runFile] { window.runScript(runFile, &std::cout, &std::cerr); });
  }
  return QApplication::exec();
}
