#pragma once
#include <QDialog>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <chrono>
#include <functional>
#include <vector>

#include "forms/signal.h"
#include "usb/transfer_wait.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;

namespace glim::app {

// "Waiting for the board": what a pending transfer is for, the batch's
// progress, the seconds left before the time-out, and one button (also Esc):
// "Stop Script" while a script plays, else "Cancel". Not modal to Qt: the
// host holds back the input its parent must not have, and lets the menus
// through.
class BoardWaitDialog : public QDialog {
 public:
  BoardWaitDialog(QWidget* parent, bool stopsScript);
  void show(const usb::WaitLabel& label, int secondsLeft);
  void setSecondsLeft(int seconds);

 private:
  QLabel* what_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* left_ = nullptr;
};

// Waits for the board without freezing the program: a local event loop keeps
// every window repainting and the windows let through (the Simulated board
// window) usable, while every other input to the program's own windows is
// held back, so no handler starts inside the one that waits. Attach and
// detach stay queued by the dispatcher until the handler ends. A transfer
// still pending after `dialogDelay` shows the dialog; one that ends sooner
// shows nothing.
class BoardWaitHost : public QObject, public usb::WaitHost {
 public:
  BoardWaitHost();
  ~BoardWaitHost() override;

  void waitForBoard(usb::PendingTransfer& pending, const usb::WaitLabel& label) override;

  // A window (and its own dialogs) that stays usable during a wait.
  void letThrough(QWidget* window);
  // The window a wait belongs to when none of the held-back windows is
  // active (a script plays on it): the dialog is shown in front of it.
  void setHomeWindow(QWidget* window) { home_ = window; }
  // While a script plays, the dialog's button stops it ("Stop Script").
  void setScriptPlaying(bool playing) { scriptPlaying_ = playing; }
  // The menus of `bar` open during a wait, but of their entries only those
  // allowed here run then (the rest would start a handler inside the one
  // that waits).
  void letMenusThrough(QMenuBar* bar);
  void allowDuringWait(QAction* action);

  // Ends the wait now running; nothing when none runs.
  void cancelWait();
  // Esc pressed in any of the program's windows while a wait runs, or the
  // dialog's "Stop Script": the wait is cancelled first, then this is told
  // (a playing script stops).
  forms::Signal<std::function<void()>> onStopAsked;

  // The dialog while it is shown, else null (for tests).
  BoardWaitDialog* dialog() const { return dialog_; }
  bool waiting() const { return waiting_; }

  std::chrono::milliseconds dialogDelay{400};

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool passes(QObject* target) const;
  // An event to one of the let-through menus: whether it may go on.
  bool menuInput(QMenu* menu, QEvent* event) const;
  bool isLetThroughMenu(QObject* target) const;
  // A held-back window came to the front (clicked, activated): the dialog
  // goes in front of it again.
  void keepDialogInFront(QObject* watched, QEvent::Type type);
  void dialogAnswered();

  std::vector<QPointer<QWidget>> through_;
  QPointer<QMenuBar> menuBar_;
  std::vector<QPointer<QAction>> allowed_;
  usb::PendingTransfer* pending_ = nullptr;
  QPointer<BoardWaitDialog> dialog_;
  QPointer<QWidget> home_;
  bool waiting_ = false;
  bool scriptPlaying_ = false;
};

}  // namespace glim::app
