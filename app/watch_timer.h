#pragma once
#include <QObject>
#include <QTimer>

#include "forms/signal.h"

namespace glim::i2c {
class RegisterWatch;
}

namespace glim::app {

// Polls the register watch when it has something due, on the event loop: a
// round of reads, or a mark to take away. While a person's action runs (the
// wait for the board is one), it tries again shortly.
class WatchTimer : public QObject {
 public:
  WatchTimer(i2c::RegisterWatch& watch, QObject* parent);

 private:
  void arm();
  void fire();

  i2c::RegisterWatch& watch_;
  QTimer timer_;
  forms::Connection schedule_;
};

}  // namespace glim::app
