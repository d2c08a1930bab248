#include "app/sim_board_placement.h"

#include <QWidget>
#include <algorithm>
#include <vector>

namespace glim::app {
namespace {

int levelTop(const QRect& anchor, int height, const QRect& room) {
  return std::clamp(anchor.top(), room.top(), std::max(room.top(), room.bottom() + 1 - height));
}

}  // namespace

QRect registerWindowPlace(const QRect& anchor, const QSize& size, const QRect& room, int gap) {
  const int w = std::min(size.width(), room.width());
  const int h = std::min(size.height(), room.height());
  const int rightX = anchor.right() + 1 + gap;
  const int leftX = anchor.left() - gap - w;
  int x = room.left();
  if (rightX + w <= room.right() + 1) {
    x = rightX;
  } else if (leftX >= room.left()) {
    x = leftX;
  }
  return {QPoint(x, levelTop(anchor, h, room)), QSize(w, h)};
}

QPoint anchorPlaceForRegisters(const QRect& anchor, const QSize& size, const QRect& room, int gap) {
  const int need = size.width() + gap;
  const int rightRoom = room.right() - anchor.right();
  const int leftRoom = anchor.left() - room.left();
  if (rightRoom >= need || leftRoom >= need || anchor.width() + need > room.width()) return anchor.topLeft();
  const int shiftLeft = need - rightRoom;
  const int shiftRight = need - leftRoom;
  return anchor.topLeft() + QPoint(shiftLeft <= shiftRight ? -shiftLeft : shiftRight, 0);
}

QRect boardWindowPlace(const QRect& anchor, const QSize& size, const QSize& registers, const QSize& minimum,
                       const QRect& room, int gap) {
  const int h = std::min(size.height(), room.height());
  const int top = levelTop(anchor, h, room);
  const QRect reg = registerWindowPlace(anchor, registers, room, gap);
  const bool registersRight = reg.left() > anchor.right();
  // Free stretches of the room's width beside the main window, nearest first.
  struct Side {
    int left;
    int right;  // one past
    bool atRight;
  };
  std::vector<Side> sides;
  if (registersRight) {
    sides.push_back({room.left(), anchor.left() - gap, false});
    sides.push_back({reg.right() + 1 + gap, room.right() + 1, true});
  } else {
    sides.push_back({anchor.right() + 1 + gap, room.right() + 1, true});
    if (reg.right() < anchor.left()) sides.push_back({room.left(), reg.left() - gap, false});
  }
  for (const Side& side : sides) {
    const int free = side.right - side.left;
    if (free < minimum.width()) continue;
    const int w = std::min(size.width(), free);
    return {QPoint(side.atRight ? side.left : side.right - w, top), QSize(w, h)};
  }
  const QSize shrunk(std::min(size.width(), room.width()), h);
  return {positionBeside(anchor, shrunk, room, gap), shrunk};
}

void putFrameAt(QWidget& window, const QRect& place, const QWidget& like) {
  const QSize frame = like.frameGeometry().size() - like.size();
  window.resize(place.size() - frame);
  window.move(place.topLeft());
}

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
  const int y = levelTop(anchor, size.height(), room);
  return {std::max(x, room.left()), y};
}

void keepInFront(QWidget& anchor) {
  anchor.raise();
  anchor.activateWindow();
}

}  // namespace glim::app
