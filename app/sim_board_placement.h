#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace glim::app {

// Where a window of `size` goes beside `anchor` (both frame geometries) within
// `room`, `gap` pixels apart: right of the anchor, else left of it, else on the
// side with more room, overlapping the anchor as little as the screen allows;
// top edges level as far as the room's height allows.
QPoint positionBeside(const QRect& anchor, const QSize& size, const QRect& room, int gap);

// Where the register window goes beside the main window `anchor` (frame
// geometries) within `room`: right of it, else left of it; where neither side
// has room, at the room's left edge, over the main window's left part and
// away from "Write Settings" and "Quit" at its bottom right. Top edges level
// as far as the room allows; the size shrinks to the room (the window scrolls).
QRect registerWindowPlace(const QRect& anchor, const QSize& size, const QRect& room, int gap);

// Where the main window `anchor` (frame geometry) goes so that a register
// window of `size` fits whole beside it within `room`: where it is when one
// side has that room already or the room is too narrow for both; else the
// nearest place that gives one side the room.
QPoint anchorPlaceForRegisters(const QRect& anchor, const QSize& size, const QRect& room, int gap);

// Where the Simulated board window goes: beside the main window on a side the
// register window (of `registers` size) does not take, shrunk to the room
// there but not below `minimum`; where no side has that room, as
// positionBeside places it, shrunk to the room.
QRect boardWindowPlace(const QRect& anchor, const QSize& size, const QSize& registers, const QSize& minimum,
                       const QRect& room, int gap);

// The gap between the program's windows.
inline constexpr int kWindowGap = 8;

// Moves and sizes `window` so that its frame is `place`, taking the frame's
// size from `like` (a window already on screen).
void putFrameAt(QWidget& window, const QRect& place, const QWidget& like);

// The user works in the main window: where the screen is too narrow for both
// side by side, the other window goes behind it, not over it.
void keepInFront(QWidget& anchor);

}  // namespace glim::app
