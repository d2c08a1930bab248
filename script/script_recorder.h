#pragma once
#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "forms/signal.h"
#include "forms/ui_host.h"
#include "text/outcome.h"
#include "usb/bench.h"

namespace glim::script {

// The script line that replays one edit of a text box by the user, given its
// text before and after: `set NAME TEXT`. An edit that left the text as it was
// still ran the change handler; for one character `type` replays that, for
// more nothing does, and a text with a line break cannot be one script line:
// those become a comment saying what was left out, never a line that would
// replay something else.
std::string textChangeLine(std::string_view control, std::string_view before, std::string_view after);

// `click NAME`: a button, check box, option button or menu item clicked.
std::string clickLine(std::string_view control);
// `close WINDOW`: a window's close box.
std::string closeLine(std::string_view window);

// A file dialog's answer as a recording in `recording` keeps it: relative to
// the recording's folder when it lies in it (or below), else as it was.
std::string relativeAnswer(const std::string& answer, const std::string& recording);

// `answer PATH`, or `answer cancel`.
std::string answerLine(const forms::FileChoice& choice);

// The `board` lines that take the simulated board's faults from `before` to
// `after`. The script language can only add faults or clear them all, so a
// fault switched off is `board ok` and then every fault still on.
std::vector<std::string> faultLines(const usb::Faults& before, const usb::Faults& after);

// Writes what a person does in the program's windows as script lines, each as
// it happens, so that replaying the file runs the same handlers in the same
// order. The views report the person's actions; the recorder decides the
// lines. Every method does nothing while no recording is open.
class ScriptRecorder {
 public:
  struct Setup {
    bool simulated = false;
    std::string date;         // for the header
    std::vector<int> boards;  // simulated boards plugged in already, the held one first
    usb::Faults faults;       // and their faults
    // Chip registers of the held board that differ from their power-on values.
    std::vector<std::pair<int, uint8_t>> registers;
    // The lines that bring a new program to the windows' state (stateLines).
    std::vector<std::string> state;
    // The file's form: a script, or a pytest test that replays the same
    // lines through the Python module's session and ends with asserts on
    // what `shownNow` gives when the recording stops, where it differs from
    // `shownAtStart`: (control, text) pairs.
    enum class Form { Script, PythonTest };
    Form form = Form::Script;
    std::vector<std::pair<std::string, std::string>> shownAtStart;
    std::function<std::vector<std::pair<std::string, std::string>>()> shownNow;
  };

  ScriptRecorder() = default;
  ~ScriptRecorder() { stop(); }
  ScriptRecorder(const ScriptRecorder&) = delete;
  ScriptRecorder& operator=(const ScriptRecorder&) = delete;

  // Opens `path` (replacing it) and writes the header; fails when the file
  // cannot be written. Boards already plugged in, faults already on and
  // chip registers already set are written as `board` lines first, then the
  // lines of the windows' state, so that the replay starts alike.
  text::Outcome start(const std::string& path, const Setup& setup);
  // Writes what is still held back and closes the file.
  void stop();
  bool recording() const { return file_.is_open(); }
  const std::string& path() const { return path_; }
  // Lines written to the file since start, comments included.
  int linesWritten() const { return linesWritten_; }

  // A user action whose handler runs now. Its line is written once the
  // handler has ended, after the answers of the file dialogs the handler
  // opened, which a replay must have waiting before the action.
  void beginAction(std::string line);
  void endAction();
  // A file dialog was answered by the person: a path, or Cancel. Outside a
  // user action (a playing script's dialog) it is no line of its own.
  void fileDialogAnswered(const forms::FileChoice& choice);
  // The main window became the active window again.
  void activated();

  // The person at the simulated board. Boards are numbered anew in the
  // recording, in the order a replay plugs them.
  void boardPlugged(int board);
  void boardUnplugged(int board);
  void faultsChanged(const usb::Faults& before, const usb::Faults& after);
  void registerSet(int reg, uint8_t value);

  // Told once, when a line could not be written; the recording is over then.
  forms::Signal<std::function<void(const std::string& why)>> onFailed;

 private:
  struct Frame {
    std::vector<std::string> answers;
    std::string line;
    std::vector<std::string> after;  // lines that came while the handler ran
  };
  void put(std::string line);
  void write(const std::vector<std::string>& lines);
  // One line into the file as it is; false once the file failed.
  bool writeOut(const std::string& text);
  void failed();

  std::ofstream file_;
  std::string path_;
  std::vector<Frame> frames_;
  std::map<int, int> boardNumbers_;  // the layer's number -> the recording's
  int nextBoard_ = 1;
  std::string lastLine_;
  int linesWritten_ = 0;
  Setup::Form form_ = Setup::Form::Script;
  std::vector<std::pair<std::string, std::string>> shownAtStart_;
  std::function<std::vector<std::pair<std::string, std::string>>()> shownNow_;
};

}  // namespace glim::script
