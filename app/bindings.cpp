#include "app/bindings.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "script/script_recorder.h"

namespace glim::app {

using forms::ControlEvent;

namespace {

QString qText(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A position in the core's text (bytes of UTF-8) as a position in the widget.
int lineEditOffset(const std::string& text, std::size_t bytes) {
  return static_cast<int>(qText(std::string_view(text).substr(0, std::min(bytes, text.size()))).size());
}

void showText(QLineEdit* edit, const forms::TextBox& box) {
  const QString text = QString::fromStdString(box.text());
  if (edit->text() == text) return;
  const QSignalBlocker blocker(edit);
  // While the user types, a corrected text keeps the caret where it was, as
  // far as the new text allows; the program's own writes leave it at the end.
  const bool editing = edit->hasFocus();
  const int cursor = edit->cursorPosition();
  edit->setText(text);
  if (editing) edit->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
}

void showSelection(QLineEdit* edit, const forms::TextBox& box) {
  if (edit->text() != QString::fromStdString(box.text())) return;
  const int start = lineEditOffset(box.text(), box.selStart());
  const int end = lineEditOffset(box.text(), box.selStart() + box.selLength());
  if (end > start) {
    edit->setSelection(start, end - start);
  } else {
    edit->setCursorPosition(start);
  }
}

void placeCaret(QPlainTextEdit* pane, int position) {
  QTextCursor cursor(pane->document());
  cursor.setPosition(std::clamp(position, 0, pane->document()->characterCount() - 1));
  pane->setTextCursor(cursor);
  pane->ensureCursorVisible();
}

void caretToEnd(QPlainTextEdit* pane) { placeCaret(pane, pane->document()->characterCount() - 1); }

// The caret of the core's log text, counted in the pane's characters.
int logOffset(const forms::TextBox& box) {
  LineEndConverter converter;
  return static_cast<int>(converter.feed(std::string_view(box.text()).substr(0, box.selStart())).size());
}

void showCheck(QCheckBox* check, const forms::CheckBox& control) {
  const QSignalBlocker blocker(check);
  switch (control.value()) {
    case forms::CheckBox::Checked:
      check->setCheckState(Qt::Checked);
      break;
    case forms::CheckBox::Grayed:
      check->setTristate(true);
      check->setCheckState(Qt::PartiallyChecked);
      break;
    default:
      check->setCheckState(Qt::Unchecked);
      break;
  }
}

void showOption(QRadioButton* radio, const forms::OptionButton& control) {
  const QSignalBlocker blocker(radio);
  radio->setChecked(control.value());
}

// A read-only pane would let Ctrl+X through to the window's "Exit" entry;
// a text box with focus takes the cut key, whether it can cut or not.
class CutKeyGuard : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cut)) {
      event->accept();
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

QString LineEndConverter::feed(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '\n' && lastWasCr_) {
      lastWasCr_ = false;
      continue;
    }
    lastWasCr_ = c == '\r';
    out.push_back(lastWasCr_ ? '\n' : c);
  }
  return QString::fromStdString(out);
}

Binder::Binder(forms::Dispatcher& dispatcher)
    : dispatcher_(dispatcher),
      showsAtHandlerEnd_(dispatcher.onHandlerEnded.connectScoped([this] { showStale(); })),
      context_(std::make_unique<QObject>()) {}

void Binder::showLater(QLineEdit* edit, const forms::TextBox& box) {
  const auto same = [edit](const auto& entry) { return entry.first == edit; };
  if (std::none_of(stale_.begin(), stale_.end(), same)) stale_.emplace_back(edit, &box);
  if (staleQueued_) return;
  staleQueued_ = true;
  QTimer::singleShot(0, context(), [this] { showStale(); });
}

void Binder::showStale() {
  staleQueued_ = false;
  const auto stale = std::exchange(stale_, {});
  for (const auto& [edit, box] : stale) {
    if (edit) showText(edit, *box);
  }
}

Binder::~Binder() { release(); }

void Binder::release() {
  connections_.clear();
  stale_.clear();
  staleQueued_ = false;
  context_ = std::make_unique<QObject>();
}

void Binder::keepWhile(QObject* widget, forms::Connection connection) {
  const int key = nextKey_++;
  connections_.emplace(key, std::move(connection));
  // A widget that goes before the binder stops listening at once.
  QObject::connect(widget, &QObject::destroyed, context(), [this, key] { connections_.erase(key); });
}

void Binder::recordInto(script::ScriptRecorder* recorder, std::string window) {
  recorder_ = recorder;
  window_ = std::move(window);
}

std::string Binder::scriptName(const forms::Control& control) const { return window_ + control.qualifiedName(); }

void Binder::runRecorded(std::string line, const std::function<void()>& action) {
  // The line waits for the handler's end: a file dialog it opens is answered
  // on the line before it.
  script::ScriptRecorder* recorder = recorder_;
  if (recorder != nullptr) recorder->beginAction(std::move(line));
  run(action);
  if (recorder != nullptr) recorder->endAction();
}

void Binder::enterText(forms::TextBox& box, std::string text) {
  std::string line = script::textChangeLine(scriptName(box), box.text(), text);
  runRecorded(std::move(line), [&] { box.enterText(std::move(text)); });
}

void Binder::watch(QObject* widget, forms::Control& control, forms::Control::Observer observer) {
  keepWhile(widget, control.subscribe(std::move(observer)));
}

QColor Binder::markColor(Mark mark) { return mark == Mark::Warm ? QColor(0xff, 0xe0, 0xa3) : QColor(0x8a, 0x8a, 0x8a); }

void Binder::bindTextBox(QLineEdit* edit, forms::TextBox& box, Mark mark) {
  edit->setObjectName(QString::fromStdString(box.qualifiedName()));
  edit->setText(QString::fromStdString(box.text()));
  edit->setCursorPosition(0);
  edit->setEnabled(box.enabled());
  // A display field: shown in the normal colour, selectable and copyable,
  // never edited. The cut key stays with the box, never reaching "Exit".
  if (box.locked) {
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::ClickFocus);
    edit->installEventFilter(new CutKeyGuard(edit));
  }
  // The note while there is one, else what the box holds.
  const QString hint = QString::fromStdString(box.hint());
  const auto showNote = [edit = QPointer<QLineEdit>(edit), &box, mark, hint] {
    if (!edit) return;
    edit->setToolTip(box.note().empty() ? hint : QString::fromStdString(box.note()));
    if (box.note().empty()) {
      edit->setPalette(QPalette());  // inherited again
      return;
    }
    QPalette marked;
    marked.setColor(mark == Mark::Warm ? QPalette::Base : QPalette::Text, markColor(mark));
    edit->setPalette(marked);
  };
  showNote();
  keepWhile(edit, box.subscribeNotes([showNote](ControlEvent) { showNote(); }));

  watch(edit, box, [this, edit = QPointer<QLineEdit>(edit), &box](ControlEvent event) {
    if (!edit) return;
    switch (event) {
      case ControlEvent::Text:
      case ControlEvent::Appended:
        if (dispatcher_.inHandler()) {
          showLater(edit, box);
        } else {
          showText(edit, box);
        }
        break;
      case ControlEvent::Selection:
        showText(edit, box);  // a selection is in the text as it is now
        showSelection(edit, box);
        break;
      case ControlEvent::Enabled:
        edit->setEnabled(box.enabled());
        break;
      default:
        break;
    }
  });

  // One user edit (a keystroke, a cut, a paste) is one change of the control,
  // even one that puts back the text the box held (a digit typed over the same
  // digit): Qt reports it as edited, and the change handler runs, as it does
  // for the script runner's `type`. The text comes from the widget as it is
  // now: nested handlers may already have rewritten the box by the time a
  // queued or later slot would look.
  QObject::connect(edit, &QLineEdit::textEdited, context(), [this, edit, &box, bound = QPointer<QObject>(context())] {
    enterText(box, edit->text().toStdString());
    if (bound) showText(edit, box);  // unless the handler closed the form
  });
}

void Binder::bindLog(QPlainTextEdit* pane, forms::TextBox& box) {
  pane->setObjectName(QString::fromStdString(box.qualifiedName()));
  pane->setReadOnly(true);
  pane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  pane->setUndoRedoEnabled(false);
  pane->setLineWrapMode(QPlainTextEdit::NoWrap);
  pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  pane->installEventFilter(new CutKeyGuard(pane));

  auto converter = std::make_shared<LineEndConverter>();
  pane->setPlainText(converter->feed(box.text()));
  caretToEnd(pane);

  watch(pane, box, [pane = QPointer<QPlainTextEdit>(pane), &box, converter](ControlEvent event) {
    if (!pane) return;
    switch (event) {
      case ControlEvent::Appended: {
        // Only the new part goes into the document: the cost of an append does
        // not grow with the length of the log.
        QTextCursor end(pane->document());
        end.movePosition(QTextCursor::End);
        end.insertText(converter->feed(box.lastAppended()));
        caretToEnd(pane);
        break;
      }
      case ControlEvent::Text:
        converter->reset();
        pane->setPlainText(converter->feed(box.text()));
        placeCaret(pane, logOffset(box));
        break;
      case ControlEvent::Front: {
        // The oldest lines leave and a new first line comes: only those parts
        // change in the document. Counted in lines, as the pane may hold
        // lines of its own between the log's (a played script's output).
        LineEndConverter removed;
        LineEndConverter added;
        const int lines = static_cast<int>(removed.feed(box.lastRemoved()).count(QLatin1Char('\n')));
        QTextCursor front(pane->document());
        front.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, lines);
        front.insertText(added.feed(std::string_view(box.text()).substr(0, box.frontAdded())));
        caretToEnd(pane);
        break;
      }
      case ControlEvent::Selection:
        placeCaret(pane, logOffset(box));
        break;
      case ControlEvent::Enabled:
        pane->setEnabled(box.enabled());
        break;
      default:
        break;
    }
  });
}

void Binder::bindButton(QPushButton* button, forms::CommandButton& control) {
  button->setObjectName(QString::fromStdString(control.qualifiedName()));
  button->setText(QString::fromStdString(control.caption()));
  button->setEnabled(control.enabled());
  button->setAutoDefault(false);
  watch(button, control, [button = QPointer<QPushButton>(button), &control](ControlEvent event) {
    if (!button) return;
    if (event == ControlEvent::Caption) button->setText(QString::fromStdString(control.caption()));
    if (event == ControlEvent::Enabled) button->setEnabled(control.enabled());
  });
  QObject::connect(button, &QPushButton::clicked, context(),
                   [this, &control] { runRecorded(script::clickLine(scriptName(control)), [&] { control.click(); }); });
}

void Binder::bindCheckBox(QCheckBox* check, forms::CheckBox& control) {
  check->setObjectName(QString::fromStdString(control.qualifiedName()));
  check->setText(QString::fromStdString(control.caption()));
  check->setToolTip(QString::fromStdString(control.hint()));
  check->setEnabled(control.enabled());
  showCheck(check, control);
  watch(check, control, [check = QPointer<QCheckBox>(check), &control](ControlEvent event) {
    if (!check) return;
    if (event == ControlEvent::Value) showCheck(check, control);
    if (event == ControlEvent::Caption) check->setText(QString::fromStdString(control.caption()));
    if (event == ControlEvent::Enabled) check->setEnabled(control.enabled());
  });
  // The widget has already toggled itself; the core decides what it shows.
  QObject::connect(check, &QCheckBox::clicked, context(),
                   [this, check, &control, bound = QPointer<QObject>(context())] {
                     runRecorded(script::clickLine(scriptName(control)), [&] { control.userClick(); });
                     if (bound) showCheck(check, control);
                   });
}

void Binder::bindOption(QRadioButton* radio, forms::OptionButton& control) {
  radio->setObjectName(QString::fromStdString(control.qualifiedName()));
  radio->setText(QString::fromStdString(control.caption()));
  radio->setToolTip(QString::fromStdString(control.hint()));
  radio->setEnabled(control.enabled());
  radio->setAutoExclusive(false);
  showOption(radio, control);
  watch(radio, control, [radio = QPointer<QRadioButton>(radio), &control](ControlEvent event) {
    if (!radio) return;
    if (event == ControlEvent::Value) showOption(radio, control);
    if (event == ControlEvent::Caption) radio->setText(QString::fromStdString(control.caption()));
    if (event == ControlEvent::Enabled) radio->setEnabled(control.enabled());
  });
  QObject::connect(radio, &QRadioButton::clicked, context(),
                   [this, radio, &control, bound = QPointer<QObject>(context())] {
                     runRecorded(script::clickLine(scriptName(control)), [&] { control.userClick(); });
                     if (bound) showOption(radio, control);
                   });
}

void Binder::bindMenuItem(QAction* action, forms::MenuItem& item) {
  action->setObjectName(QString::fromStdString(item.qualifiedName()));
  action->setText(QString::fromStdString(item.caption()));
  action->setShortcut(QKeySequence(QString::fromStdString(item.shortcut()), QKeySequence::PortableText));
  action->setEnabled(item.enabled());
  watch(action, item, [action = QPointer<QAction>(action), &item](ControlEvent event) {
    if (!action) return;
    if (event == ControlEvent::Caption) action->setText(QString::fromStdString(item.caption()));
    if (event == ControlEvent::Enabled) action->setEnabled(item.enabled());
  });
  QObject::connect(action, &QAction::triggered, context(),
                   [this, &item] { runRecorded(script::clickLine(scriptName(item)), [&] { item.click(); }); });
}

void Binder::bindLabel(QLabel* label, forms::Label& control) {
  label->setObjectName(QString::fromStdString(control.qualifiedName()));
  label->setText(QString::fromStdString(control.caption()));
  label->setToolTip(QString::fromStdString(control.hint()));
  watch(label, control, [label = QPointer<QLabel>(label), &control](ControlEvent event) {
    if (label && event == ControlEvent::Caption) label->setText(QString::fromStdString(control.caption()));
    if (label && event == ControlEvent::Hint) label->setToolTip(QString::fromStdString(control.hint()));
  });
}

void Binder::bindSharedMarks(QLabel* first, forms::Label& firstControl, QLabel* second, forms::Label& secondControl) {
  bindLabel(first, firstControl);
  bindLabel(second, secondControl);
  const auto choose = [first = QPointer<QLabel>(first), second = QPointer<QLabel>(second), &firstControl,
                       &secondControl](ControlEvent event) {
    if (event != ControlEvent::Caption || !first || !second) return;
    const bool secondShown = firstControl.caption().empty() && !secondControl.caption().empty();
    first->setVisible(!secondShown);
    second->setVisible(secondShown);
  };
  watch(first, firstControl, choose);
  watch(second, secondControl, choose);
  choose(ControlEvent::Caption);
}

void Binder::bindFrame(QGroupBox* frame, forms::Frame& control) {
  frame->setObjectName(QString::fromStdString(control.qualifiedName()));
  frame->setTitle(QString::fromStdString(control.caption()));
  watch(frame, control, [frame = QPointer<QGroupBox>(frame), &control](ControlEvent event) {
    if (frame && event == ControlEvent::Caption) frame->setTitle(QString::fromStdString(control.caption()));
  });
}

void Binder::bindStatus(QLabel* icon, QLabel* text, forms::StatusLabel& control) {
  text->setObjectName(QString::fromStdString(control.qualifiedName()));
  const auto show = [icon = QPointer<QLabel>(icon), text = QPointer<QLabel>(text), &control] {
    if (!icon || !text) return;
    text->setText(QString::fromStdString(control.caption()));
    text->setToolTip(text->text());  // the whole text where the line is too narrow
    text->setStyleSheet(control.problem() ? QStringLiteral("color: #b00020; font-weight: bold;") : QString());
    const int size = text->fontMetrics().height();
    icon->setPixmap(control.problem() ? text->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size)
                                      : QPixmap());
  };
  show();
  watch(text, control, [show](ControlEvent event) {
    if (event == ControlEvent::Caption) show();
  });
}

}  // namespace glim::app
