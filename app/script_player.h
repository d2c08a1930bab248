#pragma once
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>

#include "forms/signal.h"
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
  // `path` is the script's file: its name goes on the main window's status
  // line, and relative `answer` paths are taken from its folder.
  bool start(QStringList lines, std::ostream* echo = nullptr, std::ostream* echoErrors = nullptr,
             const QString& path = QString());
  // Stops the script: a line waiting for the board has its wait cancelled
  // (by those told through `cancelWait`), and no later line runs. The error stream and the
  // log pane get "glimmora: script stopped at line N; M lines not run", the
  // status line "Run Script: stopped at line N".
  void stop();
  bool running() const { return static_cast<bool>(runner_); }

  // Told by stop(): the wait for the board now running, if any, must end.
  forms::Signal<std::function<void()>> cancelWait;

 signals:
  void runningChanged(bool running);

 private:
  class Output;
  void nextLine();
  void finish();
  // Lines after `index` that would run (neither blank nor comments).
  int linesToRunFrom(int index) const;

  shell::Program& program_;
  QPointer<QPlainTextEdit> logPane_;
  QtUiHost* ui_;
  std::unique_ptr<Output> output_;
  std::unique_ptr<script::LineRunner> runner_;
  QStringList lines_;
  int next_ = 0;
  int lastRun_ = 0;  // the number of the last line that started, 0 before the first
  int linesRun_ = 0;
  QString name_;
  bool stopAsked_ = false;
  // Runs the next line: at once, or when a `wait` line has had its time.
  QTimer waitTimer_;
};

}  // namespace glim::app
