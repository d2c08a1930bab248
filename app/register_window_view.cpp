#include "app/register_window_view.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <tuple>

#include "app/font_size.h"
#include "app/register_bits_panel.h"
#include "app/status_text.h"
#include "i2c/register_form.h"
#include "script/script_recorder.h"

namespace glim::app {
namespace {
constexpr int kValueBoxWidth = 44;
constexpr int kButtonWidth = 60;
}  // namespace

RegisterWindowView::RegisterWindowView(i2c::RegisterForm& form, forms::Dispatcher& dispatcher,
                                       script::ScriptRecorder* recorder)
    : QWidget(nullptr, Qt::Window), form_(&form), binder_(dispatcher) {
  binder_.recordInto(recorder, form.form.name() + '.');
  setObjectName(QString::fromStdString(form.form.name()));
  setWindowTitle(QString::fromStdString(form.form.caption()));
  setWindowIcon(QIcon(QStringLiteral(":/glimmora/icons/glimmora.png")));
  // Modeless and independent: closing it never ends the program.
  setAttribute(Qt::WA_QuitOnClose, false);
  QFont small = font();
  small.setPixelSize(kFontPixels);
  setFont(small);
  build();
}

RegisterWindowView::~RegisterWindowView() { detach(); }

// The rows scroll where the screen is too low for them; the buttons that act
// on all of them, the bits of the row selected and the status line stay in
// view below. The two grids share their columns: "Write All" stands under the
// Write buttons, "Read All" under the Read buttons.
void RegisterWindowView::build() {
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("registerPage"));
  auto* area = new QScrollArea(this);
  area->setObjectName(QStringLiteral("registerArea"));
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);
  outer->addWidget(area, 1);
  auto* rows = columnGrid(page);
  buildRows(*rows);
  area->setWidget(page);

  auto* actions = new QWidget(this);
  actions->setObjectName(QStringLiteral("registerActions"));
  auto* bar = columnGrid(actions);
  buildActions(*bar);
  // The names' column as wide as over the rows, so that both grids need the
  // same width; narrower than that, the window scrolls both across as one.
  int names = 0;
  for (int row = 0; row < rows->rowCount(); ++row) {
    if (QLayoutItem* item = rows->itemAtPosition(row, 0)) names = std::max(names, item->sizeHint().width());
  }
  auto* strut = new QWidget(actions);
  strut->setFixedSize(names, 0);
  bar->addWidget(strut, 0, 0);
  auto* across = new QScrollArea(this);
  across->setObjectName(QStringLiteral("registerActionsArea"));
  across->setFrameShape(QFrame::NoFrame);
  across->setWidgetResizable(true);
  across->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  across->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  across->setWidget(actions);
  across->setFixedHeight(actions->sizeHint().height());
  connect(area->horizontalScrollBar(), &QScrollBar::valueChanged, across->horizontalScrollBar(), &QScrollBar::setValue);
  connect(across->horizontalScrollBar(), &QScrollBar::valueChanged, area->horizontalScrollBar(), &QScrollBar::setValue);
  outer->addWidget(across);
  // The rows' scroll bar always has its place (greyed while the rows need
  // no scrolling): the columns never move as the bits panel grows and the
  // rows come to scroll, and they stay in line with the buttons below.
  area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  const int gutter = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  const QMargins margins = rows->contentsMargins();
  bar->setContentsMargins(margins.left(), 0, margins.right() + gutter, margins.bottom());

  // The bits of the row selected last, above the status line.
  bits_ = new RegisterBitsPanel(*form_, binder_, this);
  bits_->followRows(page);
  outer->addWidget(bits_);
  auto* icon = new QLabel(this);
  auto* status = new StatusText(this);
  binder_.bindStatus(icon, status, form_->lblStatus);
  auto* line = new QHBoxLayout;
  line->setContentsMargins(8, 0, 8, 6);
  line->addWidget(icon);
  line->addWidget(status, 1);
  outer->addLayout(line);
  // The whole window where the screen has room for it.
  // (The rows' area asks for less than the rows: the rest is measured as laid out.)
  const QSize whole = page->sizeHint();
  resize(std::max(whole.width() + gutter, actions->sizeHint().width()),
         outer->sizeHint().height() - area->sizeHint().height() + whole.height());
}

// A grid of the window's columns: the names, which take what width is left,
// then write box, Write, read box, Read, Copy, the marks and Watch, each as
// wide in one grid as in the other.
QGridLayout* RegisterWindowView::columnGrid(QWidget* on) const {
  auto* grid = new QGridLayout(on);
  // No margin on the right: the check boxes, centred under "Watch", keep
  // room enough there.
  grid->setContentsMargins(8, 8, 0, 8);
  grid->setHorizontalSpacing(5);
  grid->setVerticalSpacing(2);
  grid->setColumnStretch(0, 1);
  const std::array<int, 8> widths = columnWidths();
  for (int column = 1; column < 8; ++column) {
    // A strut holds each column open, so that a column empty in one grid
    // still counts its spacing as in the other.
    auto* strut = new QWidget(on);
    strut->setFixedSize(widths[static_cast<std::size_t>(column)], 0);
    grid->addWidget(strut, 0, column);
  }
  return grid;
}

std::array<int, 8> RegisterWindowView::columnWidths() const {
  const QFontMetrics marks(markFont());
  // The widest mark: a register read back as another value, its widest digits.
  int digit = 0;
  for (const QChar c : QStringLiteral("0123456789ABCDEF")) digit = std::max(digit, marks.horizontalAdvance(c));
  const int mark = marks.horizontalAdvance(QStringLiteral("read back ")) + 2 * digit + 1;
  QCheckBox box;
  box.setFont(font());
  const int watch =
      std::max(box.sizeHint().width(), QFontMetrics(headingFont()).horizontalAdvance(QStringLiteral("Watch")));
  return {0, kValueBoxWidth, kButtonWidth, kValueBoxWidth, kButtonWidth, kButtonWidth, mark, watch};
}

QFont RegisterWindowView::markFont() const {
  // Bold as a font of its own, not through the style sheet, so that the room
  // measured for it is the room it takes: the widest mark, at any scale.
  QFont bold = font();
  bold.setBold(true);
  return bold;
}

QFont RegisterWindowView::headingFont() const { return markFont(); }

QLabel* RegisterWindowView::label(forms::Label& control) {
  auto* l = new QLabel(this);
  binder_.bindLabel(l, control);
  return l;
}

// Typed boxes are marked warm when their text reads as another value; read
// boxes grey while they hold nothing the chip gave.
QLineEdit* RegisterWindowView::box(forms::TextBox& control, bool typed) {
  auto* edit = new QLineEdit(this);
  edit->setFixedWidth(kValueBoxWidth);
  binder_.bindTextBox(edit, control, typed ? Binder::Mark::Warm : Binder::Mark::Grey);
  return edit;
}

QPushButton* RegisterWindowView::button(forms::CommandButton& control, const QString& tip) {
  auto* b = new QPushButton(this);
  b->setFixedWidth(kButtonWidth);
  binder_.bindButton(b, control);
  b->setToolTip(tip);
  return b;
}

// Created row by row (the struts take grid row 0), so that Tab follows the rows.
void RegisterWindowView::buildRows(QGridLayout& grid) {
  i2c::RegisterForm& f = *form_;
  const int registers = f.tbI2Creg.size();
  const int markWidth = columnWidths()[6];
  grid.addWidget(label(f.Label1[registers]), 1, 0);
  grid.addWidget(box(f.tbI2Caddr, true), 1, 1);
  // Headings over the value columns, under the slave address.
  for (const auto& [caption, name, column] :
       {std::tuple{"Write", "headingWrite", 1}, {"Read", "headingRead", 3}, {"Watch", "headingWatch", 7}}) {
    auto* heading = new QLabel(QString::fromLatin1(caption), this);
    heading->setObjectName(QString::fromLatin1(name));
    heading->setFont(headingFont());
    // "Watch" is centred over its check boxes, the others start where their boxes do.
    grid.addWidget(heading, 2, column, (column == 7 ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignBottom);
  }
  // The watch interval on the slave address's line, over the watch column.
  auto* every = new QHBoxLayout;
  every->setSpacing(4);
  every->addStretch(1);
  every->addWidget(label(f.lblWatchms));
  QLineEdit* interval = box(f.tbWatchms, true);
  interval->setFixedWidth(kValueBoxWidth + 8);
  every->addWidget(interval);
  grid.addLayout(every, 1, 3, 1, 5);
  for (int i = 0; i < registers; ++i) {
    const int row = i + 3;
    grid.addWidget(label(f.Label1[i]), row, 0);
    QLineEdit* value = box(f.tbI2Creg[i], true);
    grid.addWidget(value, row, 1);
    const QString reg = QString::fromStdString(f.Label1[i].caption()).section(QLatin1Char(' '), 0, 0);
    QPushButton* write =
        button(f.cbWritei2c[i], QStringLiteral("Writes the value on its left to register %1").arg(reg));
    grid.addWidget(write, row, 2);
    // Enter in the box writes it, as its Write button does.
    connect(value, &QLineEdit::returnPressed, write, &QPushButton::click);
    grid.addWidget(box(f.tbI2Cregread[i], false), row, 3);
    grid.addWidget(button(f.cbReadi2c[i], QStringLiteral("Reads register %1 into the box on its left").arg(reg)), row,
                   4);
    grid.addWidget(button(f.cbCopyi2c[i], QStringLiteral("Copies the value read into the write box")), row, 5);
    // Marked when the register read back something else than was written;
    // else, while it is watched, when its value changed or it went unanswered.
    auto* mark = new QLabel(this);
    auto* watched = new QLabel(this);
    binder_.bindSharedMarks(mark, f.lblReadback[i], watched, f.lblWatch[i]);
    watched->setStyleSheet(QStringLiteral("color: #8a5a00;"));
    mark->setFont(markFont());
    mark->setStyleSheet(QStringLiteral("color: #b00020;"));
    // One of the two shows at a time, in the same place.
    mark->setFixedWidth(markWidth);
    watched->setFixedWidth(markWidth);
    auto* marks = new QHBoxLayout;
    marks->setContentsMargins(0, 0, 0, 0);
    marks->addWidget(mark);
    marks->addWidget(watched);
    grid.addLayout(marks, row, 6);
    auto* watch = new QCheckBox(this);
    binder_.bindCheckBox(watch, f.cbWatch[i]);
    watch->setAccessibleName(QStringLiteral("Watch %1").arg(reg));
    grid.addWidget(watch, row, 7, Qt::AlignHCenter);
  }
  // Extra height goes below the rows, never between them.
  grid.setRowStretch(registers + 3, 1);
}

void RegisterWindowView::buildActions(QGridLayout& grid) {
  i2c::RegisterForm& f = *form_;
  grid.setRowMinimumHeight(0, 6);
  grid.addWidget(button(f.cbClose, QStringLiteral("Closes this window; what was typed or read in it is lost")), 1, 0,
                 Qt::AlignLeft);
  grid.addWidget(button(f.cbWriteall, QStringLiteral("Writes all 22 registers, one after another")), 1, 2);
  QPushButton* changed =
      button(f.cbWritechanged, QStringLiteral("Writes, one after another, the registers whose value differs from what "
                                              "the chip was last known to hold (by a write or a read), and those not "
                                              "known; skips registers described as read-only"));
  // Under "Write All", over the write and read columns: its caption is longer
  // than the others'.
  changed->setFixedWidth(std::max(kButtonWidth, changed->sizeHint().width()));
  grid.addWidget(changed, 2, 2, 1, 2, Qt::AlignLeft);
  grid.addWidget(button(f.cbReadall, QStringLiteral("Reads all 22 registers, one after another")), 1, 4);
  grid.addWidget(button(f.cbCopyall, QStringLiteral("Copies every value read into its write box")), 1, 5);
  auto* verify = new QCheckBox(this);
  binder_.bindCheckBox(verify, f.cbVerify);
  grid.addWidget(verify, 2, 4, 1, 4);
}

void RegisterWindowView::detach() {
  if (bits_) bits_->detach();
  binder_.release();
  form_ = nullptr;
}

void RegisterWindowView::closeEvent(QCloseEvent* event) {
  // The close box closes the form as "Close" does; the form's unloading then
  // hides and deletes this view. Until it does, the view stays as it is.
  event->ignore();
  if (form_ == nullptr) {
    event->accept();
    return;
  }
  i2c::RegisterForm* form = form_;
  binder_.runRecorded(script::closeLine(form->form.name()), [form] { form->cbClose_Click(); });
  if (form_ == nullptr) event->accept();
}

RegisterWindowFollower::RegisterWindowFollower(i2c::RegisterWindow& window, forms::Dispatcher& dispatcher,
                                               script::ScriptRecorder* recorder)
    : window_(window), dispatcher_(dispatcher), recorder_(recorder) {
  i2c::RegisterWindow::Observer observer;
  observer.created = [this](i2c::RegisterForm& form) { ensureView(&form); };
  observer.destroying = [this](i2c::RegisterForm& form) {
    if (view_ && view_->form() == &form) dropView();
  };
  observer.shownChanged = [this](bool shown) { showView(shown); };
  observer_ = window_.subscribe(std::move(observer));
  // A form that exists already (created before the window was built).
  if (i2c::RegisterForm* form = window_.existing()) {
    ensureView(form);
    showView(window_.state() == i2c::RegisterWindow::State::Shown);
  }
}

RegisterWindowFollower::~RegisterWindowFollower() {
  observer_.disconnect();
  delete view_.data();
}

RegisterWindowView* RegisterWindowFollower::ensureView(i2c::RegisterForm* form) {
  if (view_ && view_->form() != form) dropView();
  if (!view_ && form != nullptr) {
    view_ = new RegisterWindowView(*form, dispatcher_, recorder_);
    placed_ = false;
  }
  return view_;
}

void RegisterWindowFollower::showView(bool shown) {
  RegisterWindowView* view = shown ? ensureView(window_.existing()) : view_.data();
  if (view == nullptr) return;
  if (!shown) {
    view->hide();
    return;
  }
  // The same place however the window came (a button, a script, a file loaded).
  if (!placed_) placeNew.notify(*view);
  placed_ = true;
  view->show();
  view->raise();
  view->activateWindow();
}

void RegisterWindowFollower::dropView() {
  // Possibly inside one of the view's own button clicks: cut its ties to the
  // form now, delete it once that click is over.
  RegisterWindowView* view = view_;
  view_.clear();
  view->detach();
  view->hide();
  view->deleteLater();
}

}  // namespace glim::app
