#include <QApplication>
#include <QElapsedTimer>

#include "app/first_paint_probe.h"
#include "app/main_window.h"
#include "app/qt_ui_host.h"
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
  glim::app::MainWindow window(program);
  QApplication::setWindowIcon(window.windowIcon());  // message boxes and file dialogs too
  // On the simulated layer a window of its own plays the hardware; it must
  // exist before the main window's first activation opens the driver.
  const auto board = glim::app::SimBoardWindow::forProgram(program);
  if (board) window.waitHost().letThrough(board.get());  // usable while the program waits
  QObject::connect(&window, &glim::app::MainWindow::ended, &app, [] {
    QApplication::closeAllWindows();
    QApplication::quit();
  });

  // Start-up measurement: with GLIMMORA_EXIT_AFTER_PAINT set, print when the
  // window has first been painted, then end.
  glim::app::FirstPaintProbe::exitAfterPaintIfAsked(&window, sinceStart);

  window.show();
  if (board) board->showBeside(window);
  return QApplication::exec();
}
