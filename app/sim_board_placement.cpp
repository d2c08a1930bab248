#include "app/sim_board_placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace glim::app {
namespace {
constexpr int kWindowGap = 8;
}  // namespace

QPoint positionBeside(const QRect& anchor, const QSize& size, const QRect& room, int gap) {
  const int rightX = anchor.right() + 1 + gap;
  const int leftX = anchor.left() - gap - size.width();
  int x = rightX;
  if (rightX + size.width() > room.right() + 1) {
    if (leftX >= room.left()) {
      x = leftX;
    } else {
      const bool rightIsWider = room.right() - anchor.right() >= anchor.left() - room.left();
      x = rightIsWider ? room.right() + 1 - size.width() : room.left();
    }
  }
  const int y = std::clamp(anchor.top(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
  return {std::max(x, room.left()), y};
}

void placeBeside(QWidget& window, const QWidget& anchor) {
  const QRect a = anchor.frameGeometry();
  const QScreen* screen = anchor.screen();
  const QRect room = screen != nullptr ? screen->availableGeometry() : a;
  window.move(positionBeside(a, window.frameGeometry().size(), room, kWindowGap));
}

void keepInFront(QWidget& anchor) {
  anchor.raise();
  anchor.activateWindow();
}

}  // namespace glim::app
