#include "app/sim_board_window.h"

#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QIcon>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <optional>

#include "app/first_paint_probe.h"
#include "app/font_size.h"
#include "app/sim_board_placement.h"
#include "app/sim_boards_panel.h"
#include "app/sim_fault_panel.h"
#include "app/sim_lines_panel.h"
#include "app/sim_register_panel.h"
#include "app/sim_timing_panel.h"
#include "app/sim_trace_view.h"
#include "script/script_recorder.h"
#include "shell/program.h"

namespace glim::app {

namespace {
// Narrower than this, the panels would be more scroll bar than panel.
constexpr int kMinimumWidth = 300;
}  // namespace

SimBoardWindow::SimBoardWindow(usb::Bench& sim) : QWidget(nullptr, Qt::Window), sim_(sim) {
  setObjectName(QStringLiteral("SimBoard"));
  setWindowTitle(QStringLiteral("Simulated board"));
  setWindowIcon(QIcon(QStringLiteral(":/glimmora/icons/glimmora.png")));
  // Only a stand-in for the hardware: closing it hides it and never ends the program.
  setAttribute(Qt::WA_QuitOnClose, false);
  // Told on the forms thread through the program's dispatcher; a notice that
  // outlives the window finds it gone.
  followsBench_ = sim_.subscribeChanges([self = QPointer<SimBoardWindow>(this)] {
    if (!self) return;
    self->resync();
    self->refresh();
  });
  resync();
}

SimBoardWindow::~SimBoardWindow() = default;

// The widgets come when the window is first shown, after the main window has
// appeared: building them loads a second font.
void SimBoardWindow::build() {
  if (built_) return;
  built_ = true;
  QFont small = font();
  small.setPixelSize(kFontPixels);
  setFont(small);

  const auto changed = [this] {
    personActed();
    refresh();
  };
  // Two columns, what the board holds on the left and what it was told on
  // the right, over the packet trace.
  auto* whole = new QVBoxLayout(this);
  whole->setContentsMargins(8, 8, 8, 8);
  auto* columns = new QBoxLayout(QBoxLayout::LeftToRight);
  columns_ = columns;
  auto* left = new QVBoxLayout;
  boards_ = new SimBoardsPanel(sim_, changed);
  left->addWidget(boards_);
  lines_ = new SimLinesPanel;
  left->addWidget(lines_);
  registers_ = new SimRegisterPanel(sim_, changed, [this](int reg, uint8_t value) {
    if (recorder_ != nullptr) recorder_->registerSet(reg, value);
  });
  left->addWidget(registers_);
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  timing_ = new SimTimingPanel;
  right->addWidget(timing_);
  faults_ = new SimFaultPanel(sim_, changed);
  right->addWidget(faults_);
  right->addStretch(1);
  columns->addLayout(left);
  columns->addLayout(right);
  // The panels scroll where the screen leaves the window too little room.
  auto* panels = new QWidget;
  panels->setLayout(columns);
  columns->setContentsMargins(0, 0, 0, 0);
  auto* area = new QScrollArea;
  area->setObjectName(QStringLiteral("panelsArea"));
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  area->setWidget(panels);
  panelsArea_ = area;
  whole->addWidget(area, 3);
  trace_ = new SimTraceView(sim_);
  whole->addWidget(trace_, 1);
  area->setMinimumHeight(120);
  // Each layout's width, measured once.
  for (int mode = 2; mode >= 0; --mode) {
    setLayoutMode(mode);
    modeWidths_[static_cast<std::size_t>(mode)] = panels->sizeHint().width();
  }
  // Whole where the screen has room: the panels' own size, and the trace's.
  const int bar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  wholeSize_ = QSize(panels->sizeHint().width() + bar + 16,
                     panels->sizeHint().height() + trace_->sizeHint().height() + whole->spacing() + 16);
}

void SimBoardWindow::setLayoutMode(int mode) {
  if (mode == mode_) return;
  mode_ = mode;
  columns_->setDirection(mode == 0 ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
  registers_->setColumns(mode == 2 ? 1 : 2);
  QWidget* panels = panelsArea_->widget();
  // Measured anew, down to the panels' own layouts.
  panels->layout()->invalidate();
  panels->layout()->activate();
  // Never taller than the panels: the rest of the height goes to the trace.
  panelsArea_->setMaximumHeight(panels->sizeHint().height() +
                                panelsArea_->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void SimBoardWindow::reflow() {
  if (panelsArea_ == nullptr) return;
  // Measured without the vertical scroll bar's room, which comes and goes
  // with the layout chosen: a width never flips between two layouts.
  const int room = panelsArea_->width() - panelsArea_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  int mode = 0;
  while (mode < 2 && modeWidths_[static_cast<std::size_t>(mode)] > room) ++mode;
  setLayoutMode(mode);
}

void SimBoardWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  reflow();
}

void SimBoardWindow::setVisible(bool visible) {
  if (visible) {
    build();
    readAll();
  }
  QWidget::setVisible(visible);
}

std::unique_ptr<SimBoardWindow> SimBoardWindow::forProgram(shell::Program& program) {
  usb::Bench* bench = program.bench();
  if (bench == nullptr) return nullptr;
  return std::make_unique<SimBoardWindow>(*bench);
}

int SimBoardWindow::shownBoard() const { return boards_ != nullptr ? boards_->shownBoard() : 0; }

void SimBoardWindow::showBeside(QWidget& anchor, std::function<QSize()> registers) {
  registerWindowSize_ = std::move(registers);
  const QWindow* shown = anchor.windowHandle();
  if (shown != nullptr && shown->isExposed()) {
    placeBeside(anchor);
    show();
    keepInFront(anchor);
    return;
  }
  // The anchor is not on screen yet: follow its first paint, so that this
  // window adds nothing to the time the program takes to appear.
  FirstPaintProbe::afterFirstPaint(&anchor, this, [this, other = QPointer<QWidget>(&anchor)] {
    if (!other) return;
    placeBeside(*other);
    show();
    keepInFront(*other);
  });
}

void SimBoardWindow::placeBeside(QWidget& anchor) {
  build();
  const QScreen* screen = anchor.screen();
  QRect a = anchor.frameGeometry();
  const QRect room = screen != nullptr ? screen->availableGeometry() : a;
  const QSize frame = a.size() - anchor.size();
  const QSize registers = registerWindowSize_ ? registerWindowSize_() + frame : QSize(0, 0);
  // Room for all three side by side, but not around the centred main window:
  // the three are centred together, this window on the left (as wide as the
  // room allows), the register window's place on the right.
  const int whole = wholeSize_.width() + frame.width();
  const int minimum = kMinimumWidth + frame.width();
  const int spare = room.width() - (a.width() + registers.width() + 2 * kWindowGap);
  const int width = std::min(whole, spare);
  const bool fitsAsPlaced =
      a.right() + kWindowGap + registers.width() <= room.right() && a.left() - kWindowGap - room.left() >= width;
  QSize least = minimumSizeHint().expandedTo(QSize(kMinimumWidth, 0)) + frame;
  if (width >= minimum && !fitsAsPlaced) {
    a.moveLeft(room.left() + (spare - width) / 2 + width + kWindowGap);
    anchor.move(a.topLeft());
    onAnchorMoved.notify();
  } else if (width < minimum) {
    // No room for the three with this window at its usual width: the main
    // and register windows come first, apart where the room allows (the two
    // to the right), and this one takes what is left, as narrow as it can be.
    least = minimumSizeHint() + frame;
    if (registers.isValid() && anchorPlaceForRegisters(a, registers, room, kWindowGap) != a.topLeft()) {
      a.moveLeft(room.right() + 1 - registers.width() - kWindowGap - a.width());
      anchor.move(a.topLeft());
      onAnchorMoved.notify();
    }
  }
  const QRect place = boardWindowPlace(a, wholeSize_ + frame, registers, least, room, kWindowGap);
  putFrameAt(*this, place, anchor);
}

void SimBoardWindow::resync() {
  knownBoards_ = sim_.pluggedBoards();
  knownFaults_ = sim_.faults();
}

// Only the person's own actions come here: boards plugged or pulled and
// faults switched are told by what changed on the layer since it was last
// seen (the program itself changes neither).
void SimBoardWindow::personActed() {
  const std::vector<int> boards = sim_.pluggedBoards();
  const usb::Faults faults = sim_.faults();
  if (recorder_ != nullptr) {
    for (int board : knownBoards_) {
      if (std::find(boards.begin(), boards.end(), board) == boards.end()) recorder_->boardUnplugged(board);
    }
    for (int board : boards) {
      if (std::find(knownBoards_.begin(), knownBoards_.end(), board) == knownBoards_.end()) {
        recorder_->boardPlugged(board);
      }
    }
    recorder_->faultsChanged(knownFaults_, faults);
  }
  knownBoards_ = boards;
  knownFaults_ = faults;
}

void SimBoardWindow::refresh() {
  // A hidden window reads everything when it is shown again.
  if (isVisible()) readAll();
}

void SimBoardWindow::readAll() {
  boards_->refresh();
  std::optional<usb::BoardState> board;
  if (boards_->shownBoard() != 0) board = sim_.boardState(boards_->shownBoard());
  const usb::BoardState* shown = board ? &*board : nullptr;
  lines_->refresh(shown);
  timing_->refresh(shown);
  registers_->refresh(shown);
  faults_->refresh();
  trace_->refresh();
}

}  // namespace glim::app
