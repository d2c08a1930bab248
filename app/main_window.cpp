#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <iostream>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>

#include "app/first_paint_probe.h"
#include "app/main_layout.h"
#include "app/qt_ui_host.h"
#include "app/register_window_view.h"
#include "app/sim_board_placement.h"
#include "i2c/register_form.h"
#include "app/status_text.h"
#include "shell/program.h"

// Resources of a static library must be pulled in by name, outside any namespace.
static void initResources() { Q_INIT_RESOURCE(glimmora); }

namespace glim::app {

namespace {

// Scrolls `area` so that all of `control` shows, with a small margin; a
// control larger than the view shows its top left part. (Qt's own
// ensureWidgetVisible shows only a text box's caret.)
void scrollToShow(QScrollArea& area, const QWidget& control) {
  constexpr int kMargin = 6;
  const QWidget* content = area.widget();
  QRect wanted(control.mapTo(content, QPoint(0, 0)), control.size());
  wanted.adjust(-kMargin, -kMargin, kMargin, kMargin);
  const QSize view = area.viewport()->size();
  const auto along = [](QScrollBar* bar, int first, int last, int shown) {
    const int value = bar->value();
    if (last - first + 1 > shown || first < value) {
      bar->setValue(first);
    } else if (last >= value + shown) {
      bar->setValue(last - shown + 1);
    }
  };
  along(area.horizontalScrollBar(), wanted.left(), wanted.right(), view.width());
  along(area.verticalScrollBar(), wanted.top(), wanted.bottom(), view.height());
}

}  // namespace

MainWindow::MainWindow(shell::Program& program, QtUiHost* ui)
    : program_(program), pump_(program.dispatcher), binder_(program.dispatcher), ui_(ui) {
  initResources();
  shell::MainForm& main = program_.main;
  setObjectName(QString::fromStdString(main.form.name()));
  setWindowTitle(QString::fromStdString(main.form.caption()));
  setWindowIcon(QIcon(QStringLiteral(":/glimmora/icons/glimmora.png")));

  // The client area scrolls over the content: the window opens on the main
  // panel, and the divider and log panels are reached by scrolling on a
  // screen too small to show them all, however large the window is made.
  auto* clientArea = new QScrollArea(this);
  clientArea->setObjectName(QStringLiteral("clientArea"));
  clientArea->setFrameShape(QFrame::NoFrame);
  clientArea->setWidgetResizable(false);
  clientArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setCentralWidget(clientArea);
  binder_.recordInto(&recorder_);
  content_ = buildMainContent(clientArea, main, binder_);
  clientArea->setWidget(content_);
  // Whatever brings a control the focus (Tab, a mnemonic, the program), the
  // area scrolls to show it.
  connect(qApp, &QApplication::focusChanged, this, [clientArea, content = content_](QWidget*, QWidget* now) {
    if (now != nullptr && content->isAncestorOf(now)) scrollToShow(*clientArea, *now);
  });

  buildMenu();
  buildStatusLine();
  registerWindow_ = std::make_unique<RegisterWindowFollower>(main.i2cWindow, program_.dispatcher, &recorder_);
  registerWindow_->placeNew = [this](RegisterWindowView& view) { placeRegisterWindow(view); };

  auto* pane = content_->findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
  main.onRepaintLog = [pane = QPointer<QPlainTextEdit>(pane)] {
    if (pane) pane->viewport()->repaint();
  };
  main.onUnloaded = [this] { programEnded(); };
  main.onEnding = [this] { saveLastSession(); };
  main.link.setWaitHost(&waitHost_);
  if (ui_ != nullptr) ui_->setRecorder(&recorder_);

  // The main panel in full, beside and above the scroll bars.
  const int bar = clientArea->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, clientArea);
  resize(kInitialClientSize.width() + bar, kInitialClientSize.height() + bar + menuBar()->sizeHint().height() +
                                               statusBar()->sizeHint().height());
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

MainWindow::~MainWindow() {
  recorder_.onFailed = nullptr;
  recorder_.stop();
  if (ui_ != nullptr) ui_->setRecorder(nullptr);
  program_.main.onUnloaded = nullptr;
  program_.main.onEnding = nullptr;
  program_.main.link.setWaitHost(nullptr);
  program_.main.onRepaintLog = nullptr;
  registerWindow_.reset();
  binder_.release();
}

QScrollArea* MainWindow::clientArea() const { return qobject_cast<QScrollArea*>(centralWidget()); }

RegisterWindowView* MainWindow::registerView() const { return registerWindow_->view(); }

void MainWindow::buildMenu() {
  shell::MainForm& main = program_.main;
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->setObjectName(QStringLiteral("mFile"));
  for (forms::MenuItem* item : {&main.mFileSaveConfig, &main.mFileLoadConfig, &main.nMenuFileExit}) {
    if (item == &main.nMenuFileExit) addScriptActions(file);
    auto* action = new QAction(this);
    binder_.bindMenuItem(action, *item);
    file->addAction(action);
    if (item == &main.mFileLoadConfig) {
      loadLastSession_ = file->addAction(QStringLiteral("Load Last Session"));
      loadLastSession_->setObjectName(QStringLiteral("actionLoadLastSession"));
      connect(loadLastSession_, &QAction::triggered, this, [this] { loadLastSession(); });
    }
  }
  // The file may have come or gone since the menu was last opened.
  connect(file, &QMenu::aboutToShow, this, [this] { updateLastSessionAction(); });
  updateLastSessionAction();
}

QSize MainWindow::registerWindowSize() {
  if (!registerWindowSize_.isValid()) {
    // A view of a form of its own, never shown: the window's size depends
    // only on its controls and fonts.
    i2c::RegisterForm form(program_.main.i2c, program_.main.i2cWindow);
    const RegisterWindowView view(form, program_.dispatcher);
    registerWindowSize_ = view.size();
  }
  return registerWindowSize_;
}

void MainWindow::placeRegisterWindow(RegisterWindowView& view) {
  // Shown before this window has been framed (a file loaded at start): placed
  // again once it has, so that it lands where "Show i2c" would put it.
  const QWindow* own = windowHandle();
  if (own == nullptr || !own->isExposed()) {
    QElapsedTimer clock;
    clock.start();
    new FirstPaintProbe(this, clock, [this, later = QPointer<RegisterWindowView>(&view)](qint64) {
      QTimer::singleShot(0, this, [this, later] {
        if (later) placeRegisterWindow(*later);
      });
    });
  }
  const QScreen* s = screen();
  const QRect anchor = frameGeometry();
  const QRect room = s != nullptr ? s->availableGeometry() : anchor;
  const QSize frame = anchor.size() - size();
  putFrameAt(view, registerWindowPlace(anchor, view.size() + frame, room, kWindowGap), *this);
}

void MainWindow::placeRegisterWindowAgain() {
  if (RegisterWindowView* view = registerView(); view != nullptr && view->isVisible()) placeRegisterWindow(*view);
}

void MainWindow::addBoardWindow(QWidget* board) {
  QMenu* menu = menuBar()->addMenu(QStringLiteral("&View"));
  menu->setObjectName(QStringLiteral("mView"));
  QAction* show = menu->addAction(QStringLiteral("Simulated Board"));
  show->setObjectName(QStringLiteral("actionShowSimBoard"));
  connect(show, &QAction::triggered, board, [board] {
    board->show();
    board->raise();
    board->activateWindow();
  });
}

void MainWindow::keepLastSessionIn(const QString& path) {
  lastSession_ = path;
  updateLastSessionAction();
}

void MainWindow::updateLastSessionAction() {
  if (loadLastSession_ != nullptr) loadLastSession_->setEnabled(!lastSession_.isEmpty() && QFileInfo(lastSession_).isFile());
}

// Written while both windows still hold what the person set; a failure is
// told on standard error and never keeps the program from ending.
void MainWindow::saveLastSession() {
  if (lastSession_.isEmpty()) return;
  const QString folder = QFileInfo(lastSession_).absolutePath();
  std::optional<std::string> error;
  if (!QDir().mkpath(folder)) {
    error = "cannot create the folder " + folder.toStdString();
  } else {
    error = program_.main.config.saveSession(lastSession_.toStdString());
  }
  if (error) std::cerr << "glimmora: the session was not kept in " << lastSession_.toStdString() << ": " << *error << '\n';
}

// As "Load Configuration" with the last session's file chosen; a recording
// replays it so.
void MainWindow::loadLastSession() {
  updateLastSessionAction();
  if (lastSession_.isEmpty() || !loadLastSession_->isEnabled()) return;
  const std::string path = lastSession_.toStdString();
  binder_.runRecorded(script::clickLine(program_.main.mFileLoadConfig.qualifiedName()), [this, &path] {
    recorder_.fileDialogAnswered(path);
    program_.main.config.loadSession(path, "Load Last Session");
  });
}

// At the bottom, whatever the window's size: the last action's outcome on the
// left, the board indicator on the right.
void MainWindow::buildStatusLine() {
  shell::MainForm& main = program_.main;
  QStatusBar* bar = statusBar();
  bar->setSizeGripEnabled(false);
  auto* icon = new QLabel(bar);
  auto* text = new StatusText(bar);
  auto* board = new QLabel(bar);
  bar->addWidget(icon);
  bar->addWidget(text, 1);
  recordingLabel_ = new QLabel(bar);
  recordingLabel_->setObjectName(QStringLiteral("recordingIndicator"));
  recordingLabel_->setTextFormat(Qt::RichText);
  recordingLabel_->setVisible(false);
  bar->addPermanentWidget(recordingLabel_);
  bar->addPermanentWidget(board);
  binder_.bindStatus(icon, text, main.lblStatus);
  binder_.bindLabel(board, main.lblBoard);
}

void MainWindow::activate() {
  // Only the first activation starts the driver; the form ignores the rest.
  if (program_.main.unloaded()) return;
  // Coming back from the register window is a step of a recording; the
  // program's own dialogs closing is not.
  if (registerView() != nullptr) recorder_.activated();
  binder_.run([this] { program_.main.Form_Activate(); });
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) activate();
  return QMainWindow::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  activate();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!program_.main.unloaded()) {
    binder_.runRecorded(script::closeLine(program_.main.form.name()), [this] { program_.main.closeBox(); });
  }
  if (program_.main.unloaded()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::programEnded() {
  // The register window went with the form; this window follows. The
  // recording ends with the line that ended the program (no one is left to
  // read how many lines it has).
  recorder_.stop();
  recordingChanged();
  close();
  emit ended();
}

}  // namespace glim::app
