#include "app/sim_board_window.h"

#include <QButtonGroup>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "app/first_paint_probe.h"
#include "app/sim_board_text.h"
#include "app/sim_fault_panel.h"
#include "app/sim_trace_view.h"
#include "i2c/register_form.h"
#include "shell/program.h"
#include "text/number_format.h"
#include "usb/sim/timing_decode.h"

namespace glim::app {

using usb::sim::kChipRegisters;
using usb::sim::kTimingBytes;

namespace {

constexpr int kFontPixels = 11;
constexpr int kBytesPerRow = 11;
constexpr int kWindowGap = 8;
const QColor kChangedColour(255, 226, 122);

QString indexed(const char* name, int i) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i); }

// Makes a value stand out (or not); the "changed" property tells tests.
void markChanged(QWidget* w, bool changed) {
  if (w->property("changed").toBool() == changed) return;
  w->setProperty("changed", changed);
  QFont font = w->font();
  font.setBold(changed);
  w->setFont(font);
  if (changed) {
    QPalette palette = w->palette();
    palette.setColor(QPalette::Window, kChangedColour);
    palette.setColor(QPalette::Base, kChangedColour);
    w->setPalette(palette);
  } else {
    w->setPalette(QPalette());
  }
  w->setAutoFillBackground(changed);
}

QGroupBox* group(const QString& title, const char* name) {
  auto* box = new QGroupBox(title);
  box->setObjectName(QLatin1String(name));
  return box;
}

}  // namespace

SimBoardWindow::SimBoardWindow(usb::sim::SimDriver& sim) : QWidget(nullptr, Qt::Window), sim_(sim) {
  setObjectName(QStringLiteral("SimBoard"));
  setWindowTitle(QStringLiteral("Simulated board"));
  setWindowIcon(QIcon(QStringLiteral(":/glimmora/icons/glimmora.png")));
  // Only a stand-in for the hardware: closing it hides it and never ends the program.
  setAttribute(Qt::WA_QuitOnClose, false);
  // Told on the forms thread through the program's dispatcher; a notice that
  // outlives the window finds it gone.
  sim_.onChanged = [self = QPointer<SimBoardWindow>(this)] {
    if (self) self->refresh();
  };
}

SimBoardWindow::~SimBoardWindow() { sim_.onChanged = nullptr; }

// The widgets come when the window is first shown, after the main window has
// appeared: building them loads a second font.
void SimBoardWindow::build() {
  if (built_) return;
  built_ = true;
  QFont small = font();
  small.setPixelSize(kFontPixels);
  setFont(small);

  // Two columns, what the board holds on the left and what it was told on
  // the right, over the packet trace.
  auto* whole = new QVBoxLayout(this);
  whole->setContentsMargins(8, 8, 8, 8);
  auto* columns = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(buildBoards());
  left->addWidget(buildLines());
  left->addWidget(buildRegisters());
  left->addStretch(1);
  auto* right = new QVBoxLayout;
  right->addWidget(buildTiming());
  faults_ = new SimFaultPanel(sim_, [this] { refresh(); });
  right->addWidget(faults_);
  right->addStretch(1);
  columns->addLayout(left);
  columns->addLayout(right);
  whole->addLayout(columns);
  trace_ = new SimTraceView(sim_);
  whole->addWidget(trace_, 1);
}

void SimBoardWindow::setVisible(bool visible) {
  if (visible) {
    build();
    readAll();
  }
  QWidget::setVisible(visible);
}

std::unique_ptr<SimBoardWindow> SimBoardWindow::forProgram(shell::Program& program) {
  auto* sim = dynamic_cast<usb::sim::SimDriver*>(&program.driver());
  if (sim == nullptr) return nullptr;
  return std::make_unique<SimBoardWindow>(*sim);
}

void SimBoardWindow::showBeside(QWidget& anchor) {
  const QWindow* shown = anchor.windowHandle();
  if (shown != nullptr && shown->isExposed()) {
    placeBeside(anchor);
    show();
    keepInFront(anchor);
    return;
  }
  // The anchor is not on screen yet: follow its first paint, one turn of the
  // event loop after whatever else waits for that paint, so that this window
  // adds nothing to the time the program takes to appear.
  QElapsedTimer clock;
  clock.start();
  const QPointer<SimBoardWindow> self(this);
  auto follow = [self, other = QPointer<QWidget>(&anchor)] {
    if (!self || !other) return;
    self->placeBeside(*other);
    self->show();
    keepInFront(*other);
  };
  new FirstPaintProbe(&anchor, clock, [self, follow](qint64) {
    if (self) QTimer::singleShot(0, self.data(), follow);
  });
}

// The user works in the main window: where the screen is too narrow for both
// side by side, the board window goes behind it, not over it.
void SimBoardWindow::keepInFront(QWidget& anchor) {
  anchor.raise();
  anchor.activateWindow();
}

void SimBoardWindow::placeBeside(const QWidget& anchor) {
  build();
  adjustSize();
  const QRect a = anchor.frameGeometry();
  const QScreen* screen = anchor.screen();
  const QRect room = screen != nullptr ? screen->availableGeometry() : a;
  const QSize size = frameGeometry().size();
  const int rightX = a.right() + 1 + kWindowGap;
  const int leftX = a.left() - kWindowGap - size.width();
  int x = rightX;
  if (rightX + size.width() > room.right() + 1) {
    if (leftX >= room.left()) {
      x = leftX;
    } else {
      // Neither side has room: overlap the anchor as little as the screen allows.
      const bool rightIsWider = room.right() - a.right() >= a.left() - room.left();
      x = rightIsWider ? room.right() + 1 - size.width() : room.left();
    }
  }
  const int y = std::clamp(a.top(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
  move(std::max(x, room.left()), y);
}

// --- building ---------------------------------------------------------------

QWidget* SimBoardWindow::buildBoards() {
  QGroupBox* box = group(QStringLiteral("Boards plugged in"), "boards");
  auto* layout = new QVBoxLayout(box);
  boardRows_ = new QVBoxLayout;
  boardRows_->setSpacing(2);
  noBoards_ = new QLabel(QStringLiteral("No board plugged in"));
  boardRows_->addWidget(noBoards_);
  layout->addLayout(boardRows_);
  boardPick_ = new QButtonGroup(box);
  connect(boardPick_, &QButtonGroup::idClicked, this, [this](int board) {
    shownBoard_ = board;
    refresh();
  });

  auto* plug = new QPushButton(QStringLiteral("Plug in a board"));
  plug->setObjectName(QStringLiteral("plug"));
  connect(plug, &QPushButton::clicked, this, [this] { plugBoard(); });
  shownCaption_ = new QLabel;
  shownCaption_->setObjectName(QStringLiteral("shownBoard"));
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(plug);
  bottom->addStretch(1);
  bottom->addWidget(shownCaption_);
  layout->addLayout(bottom);
  return box;
}

QWidget* SimBoardWindow::buildLines() {
  QGroupBox* box = group(QStringLiteral("Control lines"), "lines");
  auto* form = new QFormLayout(box);
  oneDen_ = new QLabel;
  oneDen_->setObjectName(QStringLiteral("line1DEN"));
  shutb_ = new QLabel;
  shutb_->setObjectName(QStringLiteral("lineSHUTb"));
  form->addRow(QStringLiteral("1D EN"), oneDen_);
  form->addRow(QStringLiteral("SHUTb"), shutb_);
  return box;
}

QWidget* SimBoardWindow::buildRegisters() {
  QGroupBox* box = group(QStringLiteral("Chip registers (edit a value and press Enter)"), "registers");
  auto* grid = new QGridLayout(box);
  grid->setVerticalSpacing(2);
  const int half = (kChipRegisters + 1) / 2;
  for (int i = 0; i < kChipRegisters; ++i) {
    auto* name = new QLabel(QString::fromLatin1(i2c::registerName(i)));
    name->setObjectName(indexed("chipRegName", i));
    auto* value = new QLineEdit;
    value->setObjectName(indexed("chipReg", i));
    value->setFixedWidth(34);
    value->setMaxLength(2);
    value->setAlignment(Qt::AlignCenter);
    value->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9A-Fa-f]{1,2}")), value));
    connect(value, &QLineEdit::editingFinished, this, [this, i] { editRegister(i); });
    registerNames_[static_cast<std::size_t>(i)] = name;
    registers_[static_cast<std::size_t>(i)] = value;
    const int column = i < half ? 0 : 2;
    grid->addWidget(name, i % half, column);
    grid->addWidget(value, i % half, column + 1);
  }
  grid->setColumnMinimumWidth(1, 40);
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(2, 1);
  return box;
}

QWidget* SimBoardWindow::buildTiming() {
  QGroupBox* box = group(QStringLiteral("Timing generator (43 bytes, last written)"), "timing");
  auto* layout = new QVBoxLayout(box);
  auto* form = new QFormLayout;
  form->setVerticalSpacing(2);
  for (const simtext::DecodedRow& row : simtext::decodedRows(usb::sim::decodeTiming({}))) {
    auto* value = new QLabel;
    value->setObjectName(QStringLiteral("decode.") + row.key);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(row.caption, value);
    decoded_.push_back(value);
  }
  layout->addLayout(form);

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(3);
  grid->setVerticalSpacing(2);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  for (int i = 0; i < kTimingBytes; ++i) {
    const int row = i / kBytesPerRow;
    const int column = i % kBytesPerRow;
    if (column == 0) {
      auto* first = new QLabel(QStringLiteral("%1:").arg(i, 2));
      first->setFont(fixed);
      grid->addWidget(first, row, 0);
    }
    auto* cell = new QLabel;
    cell->setObjectName(indexed("timingByte", i));
    cell->setFont(fixed);
    cell->setAlignment(Qt::AlignCenter);
    cell->setMinimumWidth(cell->fontMetrics().horizontalAdvance(QStringLiteral("MM")) + 2);
    cell->setToolTip(QStringLiteral("byte %1").arg(i));
    timingBytes_[static_cast<std::size_t>(i)] = cell;
    grid->addWidget(cell, row, column + 1);
  }
  grid->setColumnStretch(kBytesPerRow + 1, 1);
  layout->addLayout(grid);
  return box;
}

// --- showing ----------------------------------------------------------------

void SimBoardWindow::refresh() {
  // A hidden window reads everything when it is shown again.
  if (isVisible()) readAll();
}

void SimBoardWindow::readAll() {
  refreshBoards();
  std::optional<usb::sim::SimBoard> board;
  if (shownBoard_ != 0) board = sim_.boardState(shownBoard_);
  const usb::sim::SimBoard* shown = board ? &*board : nullptr;
  refreshLines(shown);
  refreshTiming(shown);
  refreshRegisters(shown);
  faults_->refresh();
  trace_->refresh();
}

void SimBoardWindow::refreshBoards() {
  const std::vector<int> plugged = sim_.pluggedBoards();
  // Rows of boards gone away go; rows of new ones come, in plugging order.
  for (auto it = rows_.begin(); it != rows_.end();) {
    if (std::find(plugged.begin(), plugged.end(), it->first) == plugged.end()) {
      // Its "Unplug" may be the button being clicked: delete the row later.
      QWidget* row = it->second;
      if (QAbstractButton* pick = boardPick_->button(it->first)) boardPick_->removeButton(pick);
      row->hide();
      boardRows_->removeWidget(row);
      row->deleteLater();
      it = rows_.erase(it);
    } else {
      ++it;
    }
  }
  for (int board : plugged) {
    if (rows_.contains(board)) continue;
    auto* row = new QWidget;
    auto* line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    auto* pick = new QRadioButton(QStringLiteral("Board %1").arg(board));
    pick->setObjectName(indexed("showBoard", board));
    pick->setToolTip(QStringLiteral("Show this board's state"));
    boardPick_->addButton(pick, board);
    auto* handle =
        new QLabel(QStringLiteral("device handle &H%1").arg(QString::fromStdString(text::hex32(sim_.handleOf(board)))));
    auto* unplug = new QPushButton(QStringLiteral("Unplug"));
    unplug->setObjectName(indexed("unplug", board));
    connect(unplug, &QPushButton::clicked, this, [this, board] { unplugBoard(board); });
    line->addWidget(pick);
    line->addWidget(handle, 1);
    line->addWidget(unplug);
    boardRows_->addWidget(row);
    rows_[board] = row;
  }
  noBoards_->setVisible(plugged.empty());

  if (std::find(plugged.begin(), plugged.end(), shownBoard_) == plugged.end()) {
    shownBoard_ = plugged.empty() ? 0 : plugged.front();
  }
  if (QAbstractButton* pick = boardPick_->button(shownBoard_)) pick->setChecked(true);
  shownCaption_->setText(shownBoard_ == 0 ? QString() : QStringLiteral("Showing board %1").arg(shownBoard_));
}

void SimBoardWindow::refreshLines(const usb::sim::SimBoard* board) {
  if (board == nullptr || !board->pinsWritten) {
    const QString none = board == nullptr ? QStringLiteral("-") : QStringLiteral("not set yet");
    oneDen_->setText(none);
    shutb_->setText(none);
    return;
  }
  oneDen_->setText(simtext::oneDenText(usb::sim::oneDenLine(board->pinLevel, board->pinDrive)));
  shutb_->setText(simtext::shutbText(usb::sim::shutbLine(board->pinLevel, board->pinDrive)));
}

void SimBoardWindow::refreshTiming(const usb::sim::SimBoard* board) {
  const bool written = board != nullptr && board->timingWritten;
  const std::array<uint8_t, kTimingBytes> none{};
  const auto now = simtext::decodedRows(usb::sim::decodeTiming(written ? board->timing : none));
  const auto before = simtext::decodedRows(usb::sim::decodeTiming(written ? board->previousTiming : none));
  for (std::size_t i = 0; i < decoded_.size() && i < now.size(); ++i) {
    decoded_[i]->setText(written ? now[i].value : QStringLiteral("-"));
    markChanged(decoded_[i], written && now[i].value != before[i].value);
  }
  for (std::size_t i = 0; i < timingBytes_.size(); ++i) {
    QLabel* cell = timingBytes_[i];
    cell->setText(written ? simtext::hexBytes(std::span(&board->timing[i], 1)) : QStringLiteral("--"));
    markChanged(cell, written && board->timing[i] != board->previousTiming[i]);
  }
}

void SimBoardWindow::refreshRegisters(const usb::sim::SimBoard* board) {
  for (std::size_t i = 0; i < registers_.size(); ++i) {
    QLineEdit* value = registers_[i];
    value->setEnabled(board != nullptr);
    const bool changed = board != nullptr && board->changedByLastWrite[i];
    markChanged(value, changed);
    markChanged(registerNames_[i], changed);
    // What a person is typing stays until they finish it.
    if (value->hasFocus() && value->isModified()) continue;
    value->setText(board != nullptr ? simtext::hexBytes(std::span(&board->registers[i], 1)) : QString());
  }
}

// --- acting as the hardware -------------------------------------------------

void SimBoardWindow::plugBoard() {
  shownBoard_ = sim_.plug();
  refresh();
}

void SimBoardWindow::unplugBoard(int board) {
  sim_.unplug(board);
  refresh();
}

void SimBoardWindow::editRegister(int reg) {
  QLineEdit* value = registers_[static_cast<std::size_t>(reg)];
  if (!value->isModified()) return;
  value->setModified(false);
  bool ok = false;
  const uint v = value->text().toUInt(&ok, 16);
  if (ok && v <= 0xFF) sim_.setChipRegister(reg, static_cast<uint8_t>(v));
  refresh();
}

}  // namespace glim::app
