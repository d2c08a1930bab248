#pragma once
#include <QPointer>
#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "usb/sim/sim_board.h"
#include "usb/sim/sim_driver.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QVBoxLayout;

namespace glim::shell {
class Program;
}

namespace glim::app {

class SimFaultPanel;
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
  explicit SimBoardWindow(usb::sim::SimDriver& sim);
  ~SimBoardWindow() override;

  // The window for the program's layer, or null when the layer is not the
  // simulated one.
  static std::unique_ptr<SimBoardWindow> forProgram(shell::Program& program);

  // Shows the window next to `anchor` (right, else left, else where it fits
  // best on the anchor's screen), without moving the anchor; when the anchor
  // is not on screen yet, once it has been painted.
  void showBeside(QWidget& anchor);

  // The board whose state is shown (0: none plugged in).
  int shownBoard() const { return shownBoard_; }
  // Reads everything anew from the layer (when shown).
  void refresh();

  void setVisible(bool visible) override;

 private:
  void build();
  void readAll();
  QWidget* buildBoards();
  QWidget* buildLines();
  QWidget* buildRegisters();
  QWidget* buildTiming();

  void placeBeside(const QWidget& anchor);
  static void keepInFront(QWidget& anchor);
  void refreshBoards();
  void refreshLines(const usb::sim::SimBoard* board);
  void refreshTiming(const usb::sim::SimBoard* board);
  void refreshRegisters(const usb::sim::SimBoard* board);

  void plugBoard();
  void unplugBoard(int board);
  void editRegister(int reg);

  usb::sim::SimDriver& sim_;
  bool built_ = false;
  int shownBoard_ = 0;

  QVBoxLayout* boardRows_ = nullptr;
  QButtonGroup* boardPick_ = nullptr;
  std::map<int, QWidget*> rows_;
  QLabel* noBoards_ = nullptr;
  QLabel* shownCaption_ = nullptr;

  QLabel* oneDen_ = nullptr;
  QLabel* shutb_ = nullptr;

  std::vector<QLabel*> decoded_;
  std::array<QLabel*, usb::sim::kTimingBytes> timingBytes_{};
  std::array<QLabel*, usb::sim::kChipRegisters> registerNames_{};
  std::array<QLineEdit*, usb::sim::kChipRegisters> registers_{};

  SimFaultPanel* faults_ = nullptr;
  SimTraceView* trace_ = nullptr;
};

}  // namespace glim::app
