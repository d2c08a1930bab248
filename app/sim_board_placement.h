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

// Moves `window` beside `anchor` on the anchor's screen; `window` keeps its size.
void placeBeside(QWidget& window, const QWidget& anchor);

// The user works in the main window: where the screen is too narrow for both
// side by side, the other window goes behind it, not over it.
void keepInFront(QWidget& anchor);

}  // namespace glim::app
