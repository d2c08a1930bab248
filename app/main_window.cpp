#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>

#include "app/main_layout.h"
#include "app/register_window_view.h"
#include "shell/program.h"

// Resources of a static library must be pulled in by name, outside any namespace.
static void initResources() { Q_INIT_RESOURCE(glimmora); }

namespace glim::app {

MainWindow::MainWindow(shell::Program& program)
    : program_(program), pump_(program.dispatcher), binder_(program.dispatcher) {
  initResources();
  shell::MainForm& main = program_.main;
  setObjectName(QString::fromStdString(main.form.name()));
  setWindowTitle(QString::fromStdString(main.form.caption()));
  setWindowIcon(QIcon(QStringLiteral(":/glimmora/icons/glimmora.png")));

  buildMenu();
  // A plain holder without a layout: the window can be smaller than the
  // content, which then shows only its top left part (the main panel).
  auto* holder = new QWidget(this);
  setCentralWidget(holder);
  content_ = buildMainContent(holder, main, binder_);

  registerWindow_ = std::make_unique<RegisterWindowFollower>(main.i2cWindow, program_.dispatcher);

  auto* pane = content_->findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
  main.onRepaintLog = [pane = QPointer<QPlainTextEdit>(pane)] {
    if (pane) pane->viewport()->repaint();
  };
  main.onUnloaded = [this] { programEnded(); };
  main.link.setWaitHost(&waitHost_);

  resize(kInitialClientSize.width(), kInitialClientSize.height() + menuBar()->sizeHint().height());
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

MainWindow::~MainWindow() {
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
    auto* action = new QAction(this);
    binder_.bindMenuItem(action, *item);
    file->addAction(action);
  }
}

void MainWindow::activate() {
  // Only the first activation starts the driver; the form ignores the rest.
  if (program_.main.unloaded()) return;
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
  if (!program_.main.unloaded()) binder_.run([this] { program_.main.closeBox(); });
  if (program_.main.unloaded()) {
    event->accept();
  } else {
    event->ignore();
  }
}

void MainWindow::programEnded() {
  // The register window went with the form; this window follows.
  close();
  emit ended();
}

}  // namespace glim::app
