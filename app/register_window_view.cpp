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
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

#include "app/register_bits_panel.h"
#include "app/status_text.h"
#include "i2c/register_form.h"
#include "script/script_recorder.h"

namespace glim::app {
namespace {
constexpr int kFontPixels = 11;
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

void RegisterWindowView::build() {
  i2c::RegisterForm& f = *form_;
  // Everything on one page that scrolls where the screen is too small for it.
  auto* page = new QWidget;
  page->setObjectName(QStringLiteral("registerPage"));
  auto* area = new QScrollArea(this);
  area->setObjectName(QStringLiteral("registerArea"));
  area->setFrameShape(QFrame::NoFrame);
  area->setWidgetResizable(true);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(area);
  auto* grid = new QGridLayout(page);
  grid->setContentsMargins(8, 8, 8, 8);
  grid->setHorizontalSpacing(5);
  grid->setVerticalSpacing(2);

  auto label = [this](forms::Label& control) {
    auto* l = new QLabel(this);
    binder_.bindLabel(l, control);
    return l;
  };
  // Typed boxes are marked warm when their text reads as another value; read
  // boxes grey while they hold nothing the chip gave.
  auto box = [this](forms::TextBox& control, bool typed) {
    auto* edit = new QLineEdit(this);
    edit->setFixedWidth(kValueBoxWidth);
    binder_.bindTextBox(edit, control, typed ? Binder::Mark::Warm : Binder::Mark::Grey);
    return edit;
  };
  auto button = [this](forms::CommandButton& control, const QString& tip) {
    auto* b = new QPushButton(this);
    b->setFixedWidth(kButtonWidth);
    binder_.bindButton(b, control);
    b->setToolTip(tip);
    return b;
  };

  // Created row by row, so that Tab follows the rows.
  const int registers = f.tbI2Creg.size();
  grid->addWidget(label(f.Label1[registers]), 0, 0);
  grid->addWidget(box(f.tbI2Caddr, true), 0, 1);
  // Headings over the value columns, under the slave address.
  // ("Watch" ends over its narrow column of check boxes, reaching left over
  // the marks.)
  for (const auto& [caption, name, column, span] :
       {std::tuple{"Write", "headingWrite", 1, 1}, {"Read", "headingRead", 3, 1}, {"Watch", "headingWatch", 6, 2}}) {
    auto* heading = new QLabel(QString::fromLatin1(caption), this);
    heading->setObjectName(QString::fromLatin1(name));
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    grid->addWidget(heading, 1, column, 1, span, (span > 1 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignBottom);
  }
  // The watch interval on the slave address's line, over the watch column.
  auto* every = new QHBoxLayout;
  every->setSpacing(4);
  every->addStretch(1);
  every->addWidget(label(f.lblWatchms));
  QLineEdit* interval = box(f.tbWatchms, true);
  interval->setFixedWidth(kValueBoxWidth + 8);
  every->addWidget(interval);
  grid->addLayout(every, 0, 3, 1, 5);
  for (int i = 0; i < registers; ++i) {
    const int row = i + 2;
    grid->addWidget(label(f.Label1[i]), row, 0);
    QLineEdit* value = box(f.tbI2Creg[i], true);
    grid->addWidget(value, row, 1);
    const QString reg = QString::fromStdString(f.Label1[i].caption()).section(QLatin1Char(' '), 0, 0);
    QPushButton* write =
        button(f.cbWritei2c[i], QStringLiteral("Writes the value on its left to register %1").arg(reg));
    grid->addWidget(write, row, 2);
    // Enter in the box writes it, as its Write button does.
    connect(value, &QLineEdit::returnPressed, write, &QPushButton::click);
    grid->addWidget(box(f.tbI2Cregread[i], false), row, 3);
    grid->addWidget(button(f.cbReadi2c[i], QStringLiteral("Reads register %1 into the box on its left").arg(reg)), row,
                    4);
    grid->addWidget(button(f.cbCopyi2c[i], QStringLiteral("Copies the value read into the write box")), row, 5);
    // Marked when the register read back something else than was written;
    // else, while it is watched, when its value changed or it went unanswered.
    auto* mark = new QLabel(this);
    auto* watched = new QLabel(this);
    binder_.bindSharedMarks(mark, f.lblReadback[i], watched, f.lblWatch[i]);
    watched->setStyleSheet(QStringLiteral("color: #8a5a00;"));
    // Bold as a font of its own, not through the style sheet, so that the
    // room measured here is the room it takes: the widest mark, at any scale.
    QFont bold = mark->font();
    bold.setBold(true);
    mark->setFont(bold);
    mark->setStyleSheet(QStringLiteral("color: #b00020;"));
    mark->setMinimumWidth(mark->fontMetrics().horizontalAdvance(QStringLiteral("read back WW")) +
                          mark->fontMetrics().averageCharWidth());
    watched->setMinimumWidth(mark->minimumWidth());
    auto* marks = new QHBoxLayout;
    marks->setContentsMargins(0, 0, 0, 0);
    marks->addWidget(mark);
    marks->addWidget(watched);
    grid->addLayout(marks, row, 6);
    auto* watch = new QCheckBox(this);
    binder_.bindCheckBox(watch, f.cbWatch[i]);
    watch->setAccessibleName(QStringLiteral("Watch %1").arg(reg));
    grid->addWidget(watch, row, 7, Qt::AlignHCenter);
  }
  const int bottom = registers + 2;
  grid->setRowMinimumHeight(bottom, 30);
  grid->addWidget(button(f.cbClose, QStringLiteral("Closes this window; what was typed or read in it is lost")), bottom,
                  0, Qt::AlignLeft | Qt::AlignBottom);
  grid->addWidget(button(f.cbWriteall, QStringLiteral("Writes all 22 registers, one after another")), bottom, 2,
                  Qt::AlignBottom);
  QPushButton* changed =
      button(f.cbWritechanged, QStringLiteral("Writes, one after another, the registers whose value differs from what "
                                              "the chip was last known to hold (by a write or a read), and those not "
                                              "known; skips registers described as read-only"));
  // Under "Write All", over the write and read columns: its caption is longer
  // than the others', and the rows keep their width.
  changed->setFixedWidth(std::max(kButtonWidth, changed->sizeHint().width()));
  grid->addWidget(changed, bottom + 1, 2, 1, 2, Qt::AlignLeft);
  grid->addWidget(button(f.cbReadall, QStringLiteral("Reads all 22 registers, one after another")), bottom, 4,
                  Qt::AlignBottom);
  grid->addWidget(button(f.cbCopyall, QStringLiteral("Copies every value read into its write box")), bottom, 5,
                  Qt::AlignBottom);
  auto* verify = new QCheckBox(this);
  binder_.bindCheckBox(verify, f.cbVerify);
  grid->addWidget(verify, bottom + 1, 4, 1, 3);
  // The bits of the row selected last, in view below the rows however they
  // scroll, above the status line.
  bits_ = new RegisterBitsPanel(f, binder_, this);
  bits_->followRows(page);
  outer->addWidget(bits_);
  auto* icon = new QLabel(this);
  auto* status = new StatusText(this);
  binder_.bindStatus(icon, status, f.lblStatus);
  // The status line stays in view below the rows, however they scroll.
  auto* line = new QHBoxLayout;
  line->setContentsMargins(8, 0, 8, 6);
  line->addWidget(icon);
  line->addWidget(status, 1);
  outer->addLayout(line);
  grid->setColumnStretch(0, 1);
  area->setWidget(page);
  // The whole page where the screen has room for it.
  const QSize whole = page->sizeHint();
  resize(whole.width() + area->style()->pixelMetric(QStyle::PM_ScrollBarExtent),
         whole.height() + bits_->sizeHint().height() + line->sizeHint().height() + 2 * outer->spacing());
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
