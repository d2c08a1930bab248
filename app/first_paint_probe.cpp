#include "app/first_paint_probe.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

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

}  // namespace glim::app
