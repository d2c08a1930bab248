#pragma once
#include <QLabel>
#include <QPainter>
#include <QStyle>

namespace glim::app {

// A status line's text. Where the line is narrower than the text, it ends in
// "…" so that a cut message never looks whole; the tooltip holds the whole
// text. It asks for no more width than a few letters, so a long message never
// widens its window.
class StatusText : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

  QSize minimumSizeHint() const override {
    QSize size = QLabel::minimumSizeHint();
    size.setWidth(fontMetrics().horizontalAdvance(QStringLiteral("Wri…")));
    return size;
  }

  // What the line shows at its present width.
  QString shownText() const { return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width()); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(), isEnabled(), shownText(),
                          foregroundRole());
  }
};

}  // namespace glim::app
