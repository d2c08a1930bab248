#include "app/sim_panel_style.h"

#include <QColor>
#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace glim::app {

QString indexedName(const char* name, int i) { return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i); }

void markChanged(QWidget* w, bool changed) {
  static const QColor kChangedColour(255, 226, 122);
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

}  // namespace glim::app
