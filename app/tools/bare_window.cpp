// A bare Qt window of the main window's size: the yardstick for glimmora's
// start-up time and memory (scripts/startup_bench.sh).
#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include "app/first_paint_probe.h"

int main(int argc, char* argv[]) {
  QElapsedTimer sinceStart;
  sinceStart.start();
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle(QStringLiteral("Bare Qt window"));
  window.resize(408, 360);
  glim::app::FirstPaintProbe::exitAfterPaintIfAsked(&window, sinceStart);
  window.show();
  return QApplication::exec();
}
