#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>

#include "app/main_layout.h"
#include "app/qt_ui_host.h"
#include "app/register_window_view.h"
#include "app/status_text.h"
#include "shell/program.h"

// Resources of a static library must be pulled in by name, outside any namespace.
static void initResources() { Q_INIT_RESOURCE(glimmora); }

namespace glim::app {

MainWindow::MainWindow(shell::Program& program, QtUiHost* ui)
    : program_(program), pump_(program.dispatcher), binder_(program.dispatcher), ui_(ui) {
  initResources();
  shell::MainForm& main = program_.main;
  setObjectName(QString::fromStdString(main.form.name()));
  setWindowTitle(QString::fromStdString(main.form.caption()));
  setWindowIcon(QIcon(QStringLiteral(":/glimmora/icons/glimmora.png")));

  // A plain holder without a layout: the window can be smaller than the
  // content, which then shows only its top left part (the main panel).
  auto* holder = new QWidget(this);
  setCentralWidget(holder);
  binder_.recordInto(&recorder_);
  content_ = buildMainContent(holder, main, binder_);

  buildMenu();
  buildStatusLine();
  registerWindow_ = std::make_unique<RegisterWindowFollower>(main.i2cWindow, program_.dispatcher, &recorder_);

  auto* pane = content_->findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
  main.onRepaintLog = [pane = QPointer<QPlainTextEdit>(pane)] {
    if (pane) pane->viewport()->repaint();
  };
  main.onUnloaded = [this] { programEnded(); };
  main.link.setWaitHost(&waitHost_);
  if (ui_ != nullptr) ui_->setRecorder(&recorder_);

  resize(kInitialClientSize.width(),
         kInitialClientSize.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

MainWindow::~MainWindow() {
  recorder_.onFailed = nullptr;
  recorder_.stop();
  if (ui_ != nullptr) ui_->setRecorder(nullptr);
  program_.main.onUnloaded = nullptr;
  program_.main.link.setWaitHost(nullptr);
  program_.main.onRepaintLog = nullptr;
  registerWindow_.reset();
  binder_.release();
}

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
  }
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
