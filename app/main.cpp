#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/first_paint_probe.h"
#include "app/main_window.h"
#include "app/qt_ui_host.h"
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
  QObject::connect(&window, &glim::app::MainWindow::ended, &app, [] {
    QApplication::closeAllWindows();
    QApplication::quit();
  });

  // Start-up measurement: print when the window has first been painted, then end.
  if (std::getenv("GLIMMORA_EXIT_AFTER_PAINT") != nullptr) {
    new glim::app::FirstPaintProbe(&window, sinceStart, [](qint64 nanos) {
      const auto wall = std::chrono::system_clock::now().time_since_epoch();
      std::printf("first-paint %.3f ms since main, wall %lld ns\n", static_cast<double>(nanos) / 1e6,
                  static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wall).count()));
      std::fflush(stdout);
      QApplication::quit();
    });
  }

  window.show();
  return QApplication::exec();
}
