#pragma once
// What the board-wait test and benchmark share: a hanging pipe on the
// simulated board, a step run while a handler waits, and a widget that counts
// its paints.
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "app/app_fixture.h"

namespace glim::testing {

// The pipe's transfers wait until something ends them (time-out, Cancel,
// unplug, the fault cleared).
inline void hangPipe(AppFixture& f, uint32_t pipe) {
  usb::sim::Faults faults;
  faults.hangPipes[pipe] = 0;
  f.sim.sim->setFaults(faults);
}

// Runs `step` every 10 ms while the program's handler waits, until it says done.
inline void during(const std::function<bool()>& step) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
    if (step()) timer->deleteLater();
  });
  timer->start();
}

// Counts its paints (asked for every 10 ms, as an animation would).
class PaintCounter : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override {
    ++paints;
    QPainter(this).fillRect(rect(), paints % 2 != 0 ? Qt::white : Qt::gray);
  }
};

}  // namespace glim::testing
