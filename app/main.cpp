#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <iostream>

#include "app/first_paint_probe.h"
#include "app/main_window.h"
#include "app/qt_ui_host.h"
#include "app/script_player.h"
#include "app/sim_board_window.h"
#include "shell/program.h"
#include "usb/driver.h"

int main(int argc, char* argv[]) {
  QElapsedTimer sinceStart;
  sinceStart.start();

  QApplication app(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(glim::app::kApplicationName));

  glim::app::QtUiHost ui;
  glim::shell::Program program(glim::usb::createDriverFromEnvironment(), ui);
  glim::app::MainWindow window(program, &ui);
  QApplication::setWindowIcon(window.windowIcon());  // message boxes and file dialogs too
  // On the simulated layer a window of its own plays the hardware; it must
  // exist before the main window's first activation opens the driver.
  const auto board = glim::app::SimBoardWindow::forProgram(program);
  QObject::connect(&window, &glim::app::MainWindow::ended, &app, [] {
    QApplication::closeAllWindows();
    QApplication::quit();
  });

  // Start-up measurement: with GLIMMORA_EXIT_AFTER_PAINT set, print when the
  // window has first been painted, then end.
  glim::app::FirstPaintProbe::exitAfterPaintIfAsked(&window, sinceStart);

  // --run FILE: the script plays once the window has started; the window
  // stays open, and what glimmora-cli would print goes to standard output.
  QString runFile;
  const QStringList args = QApplication::arguments();
  for (qsizetype i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == QStringLiteral("--run")) runFile = args[i + 1];
  }

  window.show();
  if (board) board->showBeside(window);
  if (!runFile.isEmpty()) {
    QTimer::singleShot(0, &window, [&window, runFile] { window.runScript(runFile, &std::cout, &std::cerr); });
  }
  return QApplication::exec();
}
