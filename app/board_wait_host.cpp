#include "app/board_wait_host.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace glim::app {

namespace {

using Clock = usb::PendingTransfer::Clock;

// A transfer that ends this soon is waited for plainly: no event loop, and
// nothing for the eye (well under one frame).
constexpr std::chrono::milliseconds kPlainWait{5};
// A layer that misses its own time-out is cancelled this long after it.
constexpr std::chrono::milliseconds kTimeoutSlack{1000};

bool isInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Close:
      return true;
    default:
      return false;
  }
}

int secondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration<double>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(std::ceil(left)) : 0;
}

}  // namespace

BoardWaitDialog::BoardWaitDialog(QWidget* parent, bool stopsScript) : QDialog(parent) {
  setObjectName(QStringLiteral("waitDialog"));
  setWindowTitle(QStringLiteral("Waiting for the board"));
  // Not modal to Qt: a modal dialog would keep its parent's menu bar shut,
  // and with it "Stop Script". The host holds back all other input.
  auto* layout = new QVBoxLayout(this);
  what_ = new QLabel;
  what_->setObjectName(QStringLiteral("waitWhat"));
  progress_ = new QProgressBar;
  progress_->setObjectName(QStringLiteral("waitProgress"));
  left_ = new QLabel;
  left_->setObjectName(QStringLiteral("waitSecondsLeft"));
  auto* cancel = new QPushButton(stopsScript ? QStringLiteral("Stop Script") : QStringLiteral("Cancel"));
  cancel->setObjectName(QStringLiteral("waitCancel"));
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  layout->addWidget(what_);
  layout->addWidget(progress_);
  layout->addWidget(left_);
  layout->addWidget(cancel, 0, Qt::AlignRight);
  // Wide enough for its title beside the window manager's buttons.
  setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 120);
}

void BoardWaitDialog::show(const usb::WaitLabel& label, int secondsLeft) {
  QString what = QString::fromStdString(label.what);
  if (label.steps > 0) {
    what += QStringLiteral(" (%1 of %2)").arg(label.step).arg(label.steps);
    // The bar shows the steps done; a determinate bar costs nothing idle.
    progress_->setRange(0, label.steps);
    progress_->setValue(label.step - 1);
  }
  progress_->setVisible(label.steps > 0);
  what_->setText(what);
  setSecondsLeft(secondsLeft);
  QDialog::show();
}

void BoardWaitDialog::setSecondsLeft(int seconds) {
  left_->setText(QStringLiteral("%1 s left before the time-out").arg(seconds));
}

BoardWaitHost::BoardWaitHost() = default;

BoardWaitHost::~BoardWaitHost() = default;

void BoardWaitHost::letThrough(QWidget* window) { through_.emplace_back(window); }

void BoardWaitHost::letMenusThrough(QMenuBar* bar) { menuBar_ = bar; }

void BoardWaitHost::allowDuringWait(QAction* action) { allowed_.emplace_back(action); }

void BoardWaitHost::cancelWait() {
  if (pending_ != nullptr) pending_->cancel();
}

bool BoardWaitHost::isLetThroughMenu(QObject* target) const {
  if (!menuBar_ || target == nullptr) return false;
  if (target == menuBar_.data()) return true;
  // A menu of the bar, or a submenu of one: its chain of parents reaches the bar.
  for (QObject* o = qobject_cast<QMenu*>(target); o != nullptr; o = o->parent()) {
    if (o == menuBar_.data()) return true;
    if (qobject_cast<QMenu*>(o) == nullptr) return false;
  }
  return false;
}

bool BoardWaitHost::menuInput(QMenu* menu, QEvent* event) const {
  const auto allowed = [this](const QAction* action) {
    if (action == nullptr || action->menu() != nullptr || !action->isEnabled()) return true;  // runs nothing
    for (const auto& a : allowed_) {
      if (a.data() == action) return true;
    }
    return false;
  };
  switch (event->type()) {
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      return allowed(menu->actionAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
    case QEvent::Shortcut:
      return false;
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride: {
      switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
          return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
          return allowed(menu->activeAction());
        default:
          return false;  // a letter would choose the entry it underlines
      }
    }
    default:
      return true;
  }
}

bool BoardWaitHost::passes(QObject* target) const {
  QWidget* widget = qobject_cast<QWidget*>(target);
  if (widget == nullptr) {
    // A window's action (a shortcut): judged by the widget it belongs to.
    if (auto* action = qobject_cast<QAction*>(target)) widget = qobject_cast<QWidget*>(action->parent());
    // Anything else (the platform window an event passes first) is judged
    // at the widget it goes on to.
    if (widget == nullptr) return true;
  }
  for (QWidget* w = widget->window(); w != nullptr; w = w->parentWidget() ? w->parentWidget()->window() : nullptr) {
    if (w == dialog_.data()) return true;
    for (const auto& through : through_) {
      if (through && w == through.data()) return true;
    }
  }
  return false;
}

void BoardWaitHost::keepDialogInFront(QObject* watched, QEvent::Type type) {
  if (type != QEvent::WindowActivate && type != QEvent::MouseButtonPress) return;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || !dialog_ || widget->window() == dialog_.data() || passes(widget)) return;
  if (type == QEvent::WindowActivate && !widget->isWindow()) return;  // told to every child too
  if (isLetThroughMenu(widget)) return;                               // a menu opens over everything anyway
  // After the window manager has raised the window clicked; not while a menu
  // is open (a window coming up would close it).
  QTimer::singleShot(0, dialog_.data(), [dialog = dialog_] {
    if (dialog && QApplication::activePopupWidget() == nullptr) dialog->raise();
  });
}

void BoardWaitHost::dialogAnswered() {
  cancelWait();
  onStopAsked.notify();
}

bool BoardWaitHost::eventFilter(QObject* watched, QEvent* event) {
  if (!waiting_) return QObject::eventFilter(watched, event);
  keepDialogInFront(watched, event->type());
  if (!isInput(event->type())) return QObject::eventFilter(watched, event);
  if (isLetThroughMenu(watched)) {
    if (auto* menu = qobject_cast<QMenu*>(watched)) return !menuInput(menu, event);
    // The bar itself: opening a menu runs nothing; a shortcut on it might.
    return event->type() == QEvent::Shortcut;
  }
  const bool escape = (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
                      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
                      static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier;
  // Esc in any of the program's own windows (the dialog, the held-back ones,
  // those let through) presses the dialog's button, wherever the focus is:
  // the key may go to a window other than the dialog, and a shortcut on Esc
  // must not swallow it.
  if (escape && qobject_cast<QWidget*>(watched) != nullptr) {
    event->accept();
    dialogAnswered();
    return true;
  }
  if (!passes(watched)) return true;  // held back
  return QObject::eventFilter(watched, event);
}

void BoardWaitHost::waitForBoard(usb::PendingTransfer& pending, const usb::WaitLabel& label) {
  if (pending.waitFor(kPlainWait)) return;
  // Only one wait at a time runs (input is held back): this one sets up the
  // filter and the dialog and takes them down.
  QEventLoop loop;
  const QPointer<QEventLoop> quitter(&loop);
  pending.setWakeUp([quitter] {
    // On the layer's thread: a queued call ends the loop on the forms thread.
    QMetaObject::invokeMethod(
        quitter.data(),
        [quitter] {
          if (quitter) quitter->quit();
        },
        Qt::QueuedConnection);
  });
  waiting_ = true;
  pending_ = &pending;
  qApp->installEventFilter(this);

  // In front of the window the wait is for: the held-back window in use, else
  // the home window.
  QWidget* parent = QApplication::activeWindow();
  if (parent == nullptr || passes(parent)) parent = home_.data();
  QTimer show;
  show.setSingleShot(true);
  show.setTimerType(Qt::PreciseTimer);  // a coarse timer may come 5 % early
  QTimer tick;
  tick.setInterval(1000);
  connect(&show, &QTimer::timeout, &loop, [&] {
    if (pending.ended()) return;
    dialog_ = new BoardWaitDialog(parent, scriptPlaying_);
    connect(dialog_.data(), &QDialog::rejected, &loop, [this] { dialogAnswered(); });
    dialog_->show(label, secondsUntil(pending.deadline()));
    tick.start();
  });
  connect(&tick, &QTimer::timeout, &loop, [&] {
    if (dialog_) dialog_->setSecondsLeft(secondsUntil(pending.deadline()));
    if (Clock::now() > pending.deadline() + kTimeoutSlack) pending.cancel(usb::kTimeout);
  });
  show.start(dialogDelay);

  while (!pending.ended()) loop.exec();
  // Nothing of this wait may run once it returns.
  pending.setWakeUp({});
  show.stop();
  tick.stop();
  qApp->removeEventFilter(this);
  waiting_ = false;
  pending_ = nullptr;
  delete dialog_.data();
}

}  // namespace glim::app
