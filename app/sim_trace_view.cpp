#include "app/sim_trace_view.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

#include "app/font_size.h"
#include "app/sim_board_text.h"

namespace glim::app {
namespace {

bool sameEntry(const usb::PacketTraceEntry& a, const usb::PacketTraceEntry& b) {
  return a.microsSinceStart == b.microsSinceStart && a.board == b.board && a.pipe == b.pipe && a.in == b.in &&
         a.status == b.status && a.bytes == b.bytes;
}

}  // namespace

SimTraceView::SimTraceView(usb::Bench& sim) : QGroupBox(QStringLiteral("Packet trace")), sim_(sim) {
  setObjectName(QStringLiteral("traceBox"));
  auto* layout = new QVBoxLayout(this);
  pane_ = new QPlainTextEdit;
  pane_->setObjectName(QStringLiteral("trace"));
  pane_->setReadOnly(true);
  pane_->setLineWrapMode(QPlainTextEdit::NoWrap);
  pane_->setMaximumBlockCount(static_cast<int>(usb::Bench::kTraceLimit));
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPixelSize(kFontPixels);
  pane_->setFont(fixed);
  pane_->setMinimumSize(240, 120);  // scrolls sideways: the board window may be narrow
  layout->addWidget(pane_);
  auto* button = new QPushButton(QStringLiteral("Clear trace"));
  button->setObjectName(QStringLiteral("clearTrace"));
  connect(button, &QPushButton::clicked, this, [this] { clear(); });
  layout->addWidget(button, 0, Qt::AlignLeft);
}

void SimTraceView::refresh() {
  const std::vector<usb::PacketTraceEntry> trace = sim_.trace();
  // The new entries follow the last one shown, which moves towards the front
  // as the layer drops its oldest entries; when it is gone, show all anew.
  std::size_t from = 0;
  if (last_) {
    bool found = false;
    for (std::size_t i = std::min(shown_, trace.size()); i > 0 && !found; --i) {
      if (sameEntry(trace[i - 1], *last_)) {
        from = i;
        found = true;
      }
    }
    if (!found) {
      pane_->clear();
      last_.reset();
      shown_ = 0;
    }
  }
  if (from == trace.size()) return;

  QStringList lines;
  lines.reserve(static_cast<qsizetype>(trace.size() - from));
  for (std::size_t i = from; i < trace.size(); ++i) lines << simtext::traceLine(trace[i]);
  QScrollBar* bar = pane_->verticalScrollBar();
  const bool following = bar->value() == bar->maximum();
  // Appending moves the view to the end of the last line; the lines' starts
  // (the time and the board) stay in view unless the person scrolled away.
  QScrollBar* across = pane_->horizontalScrollBar();
  const int left = across->value();
  pane_->appendPlainText(lines.join(QLatin1Char('\n')));
  // The caret at the start of the last line: the pane's own later scrolling
  // to the caret then keeps the lines' starts too.
  pane_->moveCursor(QTextCursor::End);
  pane_->moveCursor(QTextCursor::StartOfBlock);
  if (following) bar->setValue(bar->maximum());
  across->setValue(left);
  last_ = trace.back();
  shown_ = trace.size();
}

void SimTraceView::clear() {
  sim_.clearTrace();
  pane_->clear();
  last_.reset();
  shown_ = 0;
}

}  // namespace glim::app
