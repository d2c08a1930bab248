#include "app/first_paint_probe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace glim::app {

FirstPaintProbe::FirstPaintProbe(QWidget* widget, const QElapsedTimer& clock, Report report)
    : QObject(widget), clock_(clock), report_(std::move(report)) {
  widget->installEventFilter(this);
}

bool FirstPaintProbe::eventFilter(QObject* watched, QEvent* event) {
  if (!seen_ && event->type() == QEvent::Paint) {
    seen_ = true;
    // The window's children paint in the same pass; the report comes after it.
    QTimer::singleShot(0, this, [this] { report_(clock_.nsecsElapsed()); });
  }
  return QObject::eventFilter(watched, event);
}

void FirstPaintProbe::afterFirstPaint(QWidget* widget, QObject* context, std::function<void()> then) {
  QElapsedTimer clock;
  clock.start();
  new FirstPaintProbe(widget, clock, [guard = QPointer<QObject>(context), then = std::move(then)](qint64) {
    if (guard) QTimer::singleShot(0, guard.data(), then);
  });
}

void FirstPaintProbe::exitAfterPaintIfAsked(QWidget* widget, const QElapsedTimer& sinceMain) {
  if (std::getenv("GLIMMORA_EXIT_AFTER_PAINT") == nullptr) return;
  new FirstPaintProbe(widget, sinceMain, [](qint64 nanos) {
    const auto wall = std::chrono::system_clock::now().time_since_epoch();
    std::printf("first-paint %.3f ms since main, wall %lld ns\n", static_cast<double>(nanos) / 1e6,
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(wall).count()));
    std::fflush(stdout);
    QCoreApplication::quit();
  });
}

}  // namespace glim::app
