#pragma once
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "forms/signal.h"
#include "usb/bench.h"

class QBoxLayout;
class QScrollArea;

namespace glim::shell {
class Program;
}
namespace glim::script {
class ScriptRecorder;
}

namespace glim::app {

class SimBoardsPanel;
class SimFaultPanel;
class SimLinesPanel;
class SimRegisterPanel;
class SimTimingPanel;
class SimTraceView;

// "Simulated board": what the simulated USB layer's boards were given, and
// switches to act as the hardware would (plug and unplug boards, change a chip
// register, make transfers fail). A view over the layer only: every action is
// a call of the layer's own interface, the same calls the script runner makes,
// so the program's windows cannot tell who made them.
//
// The layer tells of changes through the program's dispatcher, on the forms
// thread, once the driver is open; the window must exist before the program
// opens it (the layer takes its change listener then). Closing the window
// hides it.
class SimBoardWindow : public QWidget {
 public:
  explicit SimBoardWindow(usb::Bench& sim);
  ~SimBoardWindow() override;

  // The window for the program's layer, or null when the layer is not the
  // simulated one.
  static std::unique_ptr<SimBoardWindow> forProgram(shell::Program& program);

  // Shows the window next to `anchor` (right, else left, else where it fits
  // best on the anchor's screen), without moving the anchor; when the anchor
  // is not on screen yet, once it has been painted.
  // The window takes a side of the anchor that the register window, whose
  // client area `registers` measures, does not, and shrinks to fit the
  // screen. It is measured when the window is placed, after the anchor's
  // first paint: measuring builds a register window.
  void showBeside(QWidget& anchor, std::function<QSize()> registers = {});
  // Told when showBeside moved the anchor to make room for the three windows.
  forms::Signal<std::function<void()>> onAnchorMoved;

  // The size (client area) that shows every panel whole; known once shown.
  QSize wholeSize() const { return wholeSize_; }

  // The board whose state is shown (0: none plugged in).
  int shownBoard() const;
  // Reads everything anew from the layer (when shown).
  void refresh();

  void setVisible(bool visible) override;

  // What the person does here is told to `recorder` (null: to nobody).
  void setRecorder(script::ScriptRecorder* recorder) { recorder_ = recorder; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void build();
  // The panels side by side where the window is wide enough for them, else
  // one above the other, the chip registers in one column where even two
  // would not fit: never a horizontal scroll bar.
  void reflow();
  void setLayoutMode(int mode);
  void readAll();
  void placeBeside(QWidget& anchor);
  // After the person's action: what it changed on the layer, to the recorder.
  void personActed();
  // The layer as last seen, to tell the person's changes from the rest.
  void resync();

  usb::Bench& sim_;
  forms::Connection followsBench_;
  bool built_ = false;
  QSize wholeSize_;
  std::function<QSize()> registerWindowSize_;
  script::ScriptRecorder* recorder_ = nullptr;
  std::vector<int> knownBoards_;
  usb::Faults knownFaults_;

  SimBoardsPanel* boards_ = nullptr;
  SimLinesPanel* lines_ = nullptr;
  SimRegisterPanel* registers_ = nullptr;
  SimTimingPanel* timing_ = nullptr;
  SimFaultPanel* faults_ = nullptr;
  SimTraceView* trace_ = nullptr;
  QBoxLayout* columns_ = nullptr;
  QScrollArea* panelsArea_ = nullptr;
  // The panels' width in each layout: side by side, stacked, stacked with
  // the registers in one column.
  std::array<int, 3> modeWidths_{};
  int mode_ = -1;
};

}  // namespace glim::app
