#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <functional>

class QWidget;

namespace glim::app {

// Tells once, right after a widget's first paint has been handled, how long
// it took since the probe's clock was started (for start-up measurements).
class FirstPaintProbe : public QObject {
 public:
  using Report = std::function<void(qint64 nanosSinceStart)>;
  FirstPaintProbe(QWidget* widget, const QElapsedTimer& clock, Report report);

  // With GLIMMORA_EXIT_AFTER_PAINT set: prints "first-paint <ms> ms since
  // main, wall <ns since the epoch> ns" after the widget's first paint and
  // ends the application. Otherwise does nothing.
  static void exitAfterPaintIfAsked(QWidget* widget, const QElapsedTimer& sinceMain);

  // Runs `then` once, a turn of the event loop after `widget`'s first paint
  // has been handled (so that it adds nothing to the time the window takes
  // to appear), unless `context` has gone by then.
  static void afterFirstPaint(QWidget* widget, QObject* context, std::function<void()> then);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QElapsedTimer clock_;
  Report report_;
  bool seen_ = false;
};

}  // namespace glim::app
