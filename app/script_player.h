#pragma once
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <ostream>

#include "script/line_runner.h"
#include "script/script_output.h"

class QPlainTextEdit;

namespace glim::shell {
class Program;
}

namespace glim::app {

class QtUiHost;

// Plays a script on the window's controls, one line per turn of the event
// loop, so that every change shows and the person can stop it between two
// lines. `print`, failed `expect` lines and script errors are shown in the log
// pane (not added to the program's log text, which a script may itself
// print); with an echo stream every line glimmora-cli would print goes there
// too (errors to the error stream).
class ScriptPlayer : public QObject {
  Q_OBJECT

 public:
  ScriptPlayer(shell::Program& program, QPlainTextEdit* logPane, QtUiHost* ui, QObject* parent = nullptr);
  ~ScriptPlayer() override;

  // Starts the script in `lines`; false (nothing started) while one runs.
  bool start(QStringList lines, std::ostream* echo = nullptr, std::ostream* echoErrors = nullptr);
  // Stops before the next line.
  void stop();
  bool running() const { return static_cast<bool>(runner_); }

 signals:
  void runningChanged(bool running);

 private:
  class Output;
  void nextLine();
  void finish();

  shell::Program& program_;
  QPointer<QPlainTextEdit> logPane_;
  QtUiHost* ui_;
  std::unique_ptr<Output> output_;
  std::unique_ptr<script::LineRunner> runner_;
  QStringList lines_;
  int next_ = 0;
  bool stopAsked_ = false;
};

}  // namespace glim::app
