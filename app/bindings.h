#pragma once
#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "forms/control.h"
#include "forms/dispatcher.h"
#include "forms/status_label.h"

namespace glim::script {
class ScriptRecorder;
}

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace glim::app {

// Turns the core's CR LF line ends into the line feeds a Qt text document
// uses. Keeps state across calls, so that a CR at the end of one append and
// the LF at the start of the next still make one line break.
class LineEndConverter {
 public:
  QString feed(std::string_view text);
  void reset() { lastWasCr_ = false; }

 private:
  bool lastWasCr_ = false;
};

// Ties Qt widgets to the core's headless controls. Every user action goes
// through the dispatcher as one handler; every change of a control, nested or
// not, is shown at once by its observer. The binder owns the observer
// subscriptions and the signal connections: release() (or destruction) cuts
// them all, so it must happen before either side goes away.
class Binder {
 public:
  explicit Binder(forms::Dispatcher& dispatcher);
  ~Binder();
  Binder(const Binder&) = delete;
  Binder& operator=(const Binder&) = delete;

  // How a box with a note looks: greyed text (a value that is old or none),
  // or a warm ground (a value that is not what it shows or asks for).
  enum class Mark { Grey, Warm };
  static QColor markColor(Mark mark);

  // A single-line box: one user edit is one change of the control. While the
  // control has a note, the box shows it as its tooltip and is marked;
  // otherwise its tooltip is the control's hint. The mark is a palette colour,
  // not a style sheet: a note may come and go with every keystroke, and a
  // style sheet re-polishes the widget each time.
  void bindTextBox(QLineEdit* edit, forms::TextBox& box, Mark mark = Mark::Grey);
  // The log pane: read-only for the user, appends insert only what was added.
  void bindLog(QPlainTextEdit* pane, forms::TextBox& box);
  void bindButton(QPushButton* button, forms::CommandButton& control);
  void bindCheckBox(QCheckBox* check, forms::CheckBox& control);
  // The core keeps the group exclusive; the radio button only shows it.
  void bindOption(QRadioButton* radio, forms::OptionButton& control);
  void bindMenuItem(QAction* action, forms::MenuItem& item);
  void bindLabel(QLabel* label, forms::Label& control);
  void bindFrame(QGroupBox* frame, forms::Frame& control);
  // Two marks that share one place in a row: `first` while it has a
  // caption, else `second` (both bound as bindLabel binds a label).
  void bindSharedMarks(QLabel* first, forms::Label& firstControl, QLabel* second, forms::Label& secondControl);
  // A status line: its text, and an icon and the error colour while the last
  // outcome is a problem.
  void bindStatus(QLabel* icon, QLabel* text, forms::StatusLabel& control);

  // Every user action on the controls bound from now on is told to
  // `recorder` as its script line; `window` is what scripts put before the
  // control names ("Glimmora_i2c." for the register window, nothing for the
  // main window).
  void recordInto(script::ScriptRecorder* recorder, std::string window = {});

  // Puts `text` into `box` as a person's edit of it: one handler, its change
  // handler run, recorded as the line typing it would be. For views that edit
  // a box through controls of their own.
  void enterText(forms::TextBox& box, std::string text);
  forms::Dispatcher& dispatcher() const { return dispatcher_; }

  // Runs a user action as one handler of the forms thread.
  void run(const std::function<void()>& action) { dispatcher_.runHandler(action); }
  // The same, for an action a recording replays with `line`.
  void runRecorded(std::string line, const std::function<void()>& action);
  void release();

 private:
  void watch(QObject* widget, forms::Control& control, forms::Control::Observer observer);
  QObject* context() { return context_.get(); }

  std::string scriptName(const forms::Control& control) const;

  forms::Dispatcher& dispatcher_;
  script::ScriptRecorder* recorder_ = nullptr;
  std::string window_;
  // A box whose text changed inside a handler is shown once, when the
  // outermost handler ends (nested handlers may rewrite it several times,
  // and each showing lays its text out anew), or at the next turn of the
  // event loop should the handler wait in a dialog first.
  void showLater(QLineEdit* edit, const forms::TextBox& box);
  void showStale();
  std::vector<std::pair<QPointer<QLineEdit>, const forms::TextBox*>> stale_;
  bool staleQueued_ = false;
  forms::Connection showsAtHandlerEnd_;

  // Keeps `connection` until the binder is released or `widget` goes.
  void keepWhile(QObject* widget, forms::Connection connection);
  // The controls' observers of every bound widget, by a key of the binder's.
  std::map<int, forms::Connection> connections_;
  int nextKey_ = 0;
  // Context of every signal connection: deleting it disconnects them all.
  std::unique_ptr<QObject> context_;
};

}  // namespace glim::app
