#pragma once
#include <QMainWindow>
#include <QString>
#include <memory>
#include <ostream>
#include <string>

#include "app/bindings.h"
#include "app/board_wait_host.h"
#include "app/dispatcher_pump.h"
#include "forms/signal.h"
#include "script/script_recorder.h"
#include "text/outcome.h"

namespace glim::shell {
class Program;
}

class QLabel;
class QMenu;
class QScrollArea;

namespace glim::app {

class QtUiHost;
class RegisterWindowFollower;
class ScriptPlayer;
class RegisterWindowView;

// The main window `Glimmora_interface`: the menu, every control of the main
// form on a fixed-size content widget, and the register window's view. It
// opens the driver on its first activation and ends with the main form.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `ui` is the program's front end for dialogs, told when a script plays.
  explicit MainWindow(shell::Program& program, QtUiHost* ui = nullptr);
  ~MainWindow() override;

  // The widget that holds every control (its size is the enlarged window's).
  QWidget* content() const { return content_; }
  // The scrolling client area that shows the content.
  QScrollArea* clientArea() const;
  // Null while the register window does not exist.
  RegisterWindowView* registerView() const;
  // The register window's size where the screen has room for it whole (its
  // client area), measured once.
  QSize registerWindowSize();
  // Puts a shown register window back at its place beside this window
  // (after this window was moved to make room at start).
  void placeRegisterWindowAgain();
  // The Simulated board window: the View menu shows it again once closed.
  void addBoardWindow(QWidget* board);
  // Where the program waits for the board.
  BoardWaitHost& waitHost() { return waitHost_; }

  // Plays the script in `path` on this window; with `echo`, every line
  // glimmora-cli would print goes there too (errors to `echoErrors`). Fails,
  // saying why in the log pane too, when a script is playing already, when the
  // program is ending, or when the file cannot be read.
  text::Outcome runScript(const QString& path, std::ostream* echo = nullptr, std::ostream* echoErrors = nullptr);
  ScriptPlayer* scriptPlayer() const { return player_; }
  // Records what the person does in the program's windows into `path`, as
  // script lines, until stopRecording(); fails when the file cannot be
  // written.
  text::Outcome startRecording(const QString& path);
  void stopRecording();
  // Where the views report the person's actions (the simulated board's window too).
  script::ScriptRecorder& recorder() { return recorder_; }
  // Writes the whole log as the pane shows it, with the lines that have left
  // the pane.
  text::Outcome saveLog(const QString& path);
  // "Save Log..." once its dialog chose `chosen`: ".txt" added to a name
  // without an extension, the outcome on the status line.
  void saveLogAs(const QString& chosen);

  // Whenever the program ends, the settings are written to `path` as a
  // configuration file, which "Load Last Session" loads again. An empty path
  // (the default) keeps no session.
  void keepLastSessionIn(const QString& path);
  // The system asks the program to end (a signal, the console closed): it
  // ends as "Quit" does, once the handler now running is over. A wait for the
  // board is cancelled, a playing script stopped, open dialogs closed and
  // message boxes no longer wait, so that it is over soon.
  void endAsAsked();
  // The program is ending now, past the event loop (the end of the user's
  // session on Windows): "Quit" at once, or, inside a handler, the session
  // kept at least.
  void endNow();
  const QString& lastSessionFile() const { return lastSession_; }

  // The window's own settings (the register description file chosen last)
  // are kept in the INI file `path`; empty (the default): none are kept.
  void keepSettingsIn(const QString& path) { settingsFile_ = path; }
  // At start: the register descriptions of `given` (--registers) unless it is
  // empty or refused, else those of the file chosen last with File >
  // "Register Descriptions...", else the shipped ones. A file refused is told
  // on the status line and in the log.
  void loadRegisterDescriptionsAtStart(const QString& given);
  // "Register Descriptions..." once its dialog chose `path`: the descriptions
  // in use from now on, the file remembered; or, refused, the reason (with
  // its line and column) on the status line and in the log, and the
  // descriptions in use kept.
  bool useRegisterDescriptions(const std::string& path);

 signals:
  // The main form was unloaded: the program is over.
  void ended();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenu();
  void buildStatusLine();
  void addScriptActions(QMenu* file);
  void showInLog(const QString& line);
  void recordingChanged();
  void activate();
  void programEnded();
  void saveLastSession();
  void placeRegisterWindow(RegisterWindowView& view);
  void loadLastSession();
  void updateLastSessionAction();
  void updateScrollBars();
  void chooseRegisterDescriptions();
  // Loads `path`; says so on the status line when `tell`, and always when it is refused.
  bool loadRegisterDescriptions(const std::string& path, bool tell);

  shell::Program& program_;
  // Before everything that reports to it, so that it outlives them.
  script::ScriptRecorder recorder_;
  DispatcherPump pump_;
  BoardWaitHost waitHost_;
  Binder binder_;
  QWidget* content_ = nullptr;
  std::unique_ptr<RegisterWindowFollower> registerWindow_;
  QtUiHost* ui_ = nullptr;
  ScriptPlayer* player_ = nullptr;
  QAction* recordAction_ = nullptr;
  // "Recording to FILE" with a red dot, shown while a recording runs.
  QLabel* recordingLabel_ = nullptr;
  QAction* loadLastSession_ = nullptr;
  QString lastSession_;
  QString settingsFile_;
  QSize registerWindowSize_;
  bool endAsked_ = false;
  bool sized_ = false;  // the initial size was made exact at the first showing
  // What this window hears of the program and the recorder; let go first
  // thing in the destructor.
  forms::Connection repaintsLog_;
  forms::Connection endsWithProgram_;
  forms::Connection savesOnEnding_;
  forms::Connection reportsRecordingFailure_;
  forms::Connection placesRegisterWindow_;
  forms::Connection cancelsWaitOnStop_;
  forms::Connection stopsScriptOnEscape_;
};

}  // namespace glim::app
