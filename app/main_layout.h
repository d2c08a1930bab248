#pragma once
#include <QSize>

class QWidget;

namespace glim::shell {
class MainForm;
}

namespace glim::app {

class Binder;

// The window's places were drawn in twips; 15 twips make one pixel.
constexpr int twipsToPixels(int twips) { return twips / 15; }

// The main panel fills the client area the window opens with; the divider
// panel (right) and the log panel (below) lie outside it and come into view
// when the user enlarges the window. The log panel starts just below the
// main panel, so that the log takes the height an enlarged window gives.
inline constexpr QSize kInitialClientSize{twipsToPixels(6120), twipsToPixels(5400)};
inline constexpr int kDividerPanelX = twipsToPixels(9480);
inline constexpr int kLogPanelY = kInitialClientSize.height() + 4;

// Builds every control of the main window on a content widget, bound to the
// main form, in tab order row by row: main panel, divider panel, log panel.
// The content's minimum size shows all three panels; made taller, the log
// pane takes the extra height.
QWidget* buildMainContent(QWidget* parent, shell::MainForm& main, Binder& binder);

}  // namespace glim::app
