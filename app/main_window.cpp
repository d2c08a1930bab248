#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>
#include <QTimer>
#include <QWindow>
#include <iostream>

#include "app/first_paint_probe.h"
#include "app/last_session.h"
#include "app/main_layout.h"
#include "app/qt_ui_host.h"
#include "app/register_window_view.h"
#include "app/script_player.h"
#include "app/sim_board_placement.h"
#include "app/status_text.h"
#include "app/watch_timer.h"
#include "config/file_io.h"
#include "forms/ui_host.h"
#include "i2c/register_form.h"
#include "script/python_test.h"
#include "script/session_state.h"
#include "shell/program.h"

// Resources of a static library must be pulled in by name, outside any namespace.
static void initResources() { Q_INIT_RESOURCE(glimmora); }

namespace glim::app {

namespace {

constexpr std::string_view kRegistersFilter = "Register Descriptions (*.json)|*.json|All Files (*.*)|*.*|";
const QString kRegistersKey = QStringLiteral("registers/file");
constexpr const char* kRegistersAction = "Register Descriptions";

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
  // panel, and the divider and log panels come into view as the window is
  // enlarged; on a screen too small to show them all, however large the
  // window is made, they are reached by scrolling (see updateScrollBars).
  auto* clientArea = new QScrollArea(this);
  clientArea->setObjectName(QStringLiteral("clientArea"));
  clientArea->setFrameShape(QFrame::NoFrame);
  clientArea->setWidgetResizable(true);  // the log pane takes the height given
  clientArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  clientArea->installEventFilter(this);
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
  new WatchTimer(main.watch, this);
  placesRegisterWindow_ =
      registerWindow_->placeNew.connectScoped([this](RegisterWindowView& view) { placeRegisterWindow(view); });

  auto* pane = content_->findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
  repaintsLog_ = main.onRepaintLog.connectScoped([pane = QPointer<QPlainTextEdit>(pane)] {
    if (pane) pane->viewport()->repaint();
  });
  // A long session's log keeps its bound in the pane and the whole of it in a
  // file beside the last session's, named by when the first line left.
  main.log.keepWholeLogIn([] {
    const QString folder = QFileInfo(lastSessionPath()).absolutePath();
    if (!QDir().mkpath(folder)) return std::string();
    const QString stem =
        folder + QStringLiteral("/log-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString path = stem + QStringLiteral(".txt");
    for (int n = 2; QFileInfo::exists(path); ++n) path = stem + QStringLiteral("-%1.txt").arg(n);
    return QDir::toNativeSeparators(path).toStdString();
  });
  endsWithProgram_ = main.onUnloaded.connectScoped([this] { programEnded(); });
  savesOnEnding_ = main.onEnding.connectScoped([this] { saveLastSession(); });
  main.link.setWaitHost(&waitHost_);
  if (ui_ != nullptr) ui_->setRecorder(&recorder_);

  // The main panel in full, the menu bar above it and the status line below;
  // showEvent corrects this by what the fonts in use really take.
  resize(kInitialClientSize.width(),
         kInitialClientSize.height() + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
  if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  // Typing at start goes to the first desired field, replacing its value as
  // after a Tab into it.
  if (auto* first = content_->findChild<QLineEdit*>(QStringLiteral("tbSICclkfreqdes"))) {
    first->setFocus();
    first->selectAll();
  }
}

MainWindow::~MainWindow() {
  reportsRecordingFailure_.disconnect();
  recorder_.stop();
  if (ui_ != nullptr) ui_->setRecorder(nullptr);
  endsWithProgram_.disconnect();
  savesOnEnding_.disconnect();
  program_.main.link.setWaitHost(nullptr);
  repaintsLog_.disconnect();
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
      QAction* registers = file->addAction(QStringLiteral("Register &Descriptions..."));
      registers->setObjectName(QStringLiteral("actionRegisterDescriptions"));
      connect(registers, &QAction::triggered, this, [this] { chooseRegisterDescriptions(); });
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
    FirstPaintProbe::afterFirstPaint(this, this, [this, later = QPointer<RegisterWindowView>(&view)] {
      if (later) placeRegisterWindow(*later);
    });
  }
  const QScreen* s = screen();
  QRect anchor = frameGeometry();
  const QRect room = s != nullptr ? s->availableGeometry() : anchor;
  const QSize frame = anchor.size() - size();
  // Where the screen is wide enough for both, this window makes room rather
  // than have the register window cover its buttons (once it is on screen:
  // until then it may still be moved to make room for the Simulated board).
  if (const QPoint to = anchorPlaceForRegisters(anchor, view.size() + frame, room, kWindowGap);
      own != nullptr && own->isExposed() && to != anchor.topLeft()) {
    anchor.moveTopLeft(to);
    move(to);
  }
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

void MainWindow::endAsAsked() {
  if (program_.main.unloaded() || endAsked_) return;
  endAsked_ = true;
  if (ui_ != nullptr) ui_->setEnding();
  if (player_ != nullptr) player_->stop();
  waitHost_.cancelWait();
  // Queued behind the handler now running, if any, as a click would be.
  program_.dispatcher.post([this] {
    if (!program_.main.unloaded()) program_.main.cbQuit_Click();
  });
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(window); dialog != nullptr && dialog->isVisible()) dialog->reject();
  }
}

void MainWindow::endNow() {
  if (program_.main.unloaded()) return;
  if (program_.dispatcher.inHandler()) {
    saveLastSession();
    return;
  }
  binder_.run([this] { program_.main.cbQuit_Click(); });
}

void MainWindow::updateLastSessionAction() {
  if (loadLastSession_ != nullptr)
    loadLastSession_->setEnabled(!lastSession_.isEmpty() && QFileInfo(lastSession_).isFile());
}

// Written while both windows still hold what the person set; a failure is
// told on standard error and never keeps the program from ending.
void MainWindow::saveLastSession() {
  if (lastSession_.isEmpty()) return;
  const QString folder = QFileInfo(lastSession_).absolutePath();
  const text::Outcome saved = QDir().mkpath(folder) ? program_.main.config.saveSession(lastSession_.toStdString())
                                                    : text::Failure("cannot create the folder " + folder.toStdString());
  if (!saved.ok()) {
    std::cerr << "glimmora: the session was not kept in " << lastSession_.toStdString() << ": " << saved.reason()
              << '\n';
  }
}

// As "Load Configuration" with the last session's file chosen; a recording
// replays it so.
void MainWindow::loadLastSession() {
  updateLastSessionAction();
  if (lastSession_.isEmpty() || !loadLastSession_->isEnabled()) return;
  const std::string path = lastSession_.toStdString();
  binder_.runRecorded(script::clickLine(program_.main.mFileLoadConfig.qualifiedName()), [this, &path] {
    recorder_.fileDialogAnswered(forms::FileChoice::chosen(path));
    program_.main.config.loadSession(path, "Load Last Session");
  });
}

void MainWindow::chooseRegisterDescriptions() {
  binder_.run([this] {
    forms::FileDialogSetup setup;
    setup.defaultExt = "json";
    setup.filter = std::string(kRegistersFilter);
    setup.fileName = program_.registerDescriptionsFile();
    const forms::FileChoice choice = program_.main.uiHost().fileDialog(forms::FileDialogKind::Open, setup);
    if (!choice.isCancelled() && !choice.path().empty()) useRegisterDescriptions(choice.path());
  });
}

bool MainWindow::useRegisterDescriptions(const std::string& path) {
  if (!loadRegisterDescriptions(path, true)) return false;
  // The window's choice, not the configuration's: a configuration file stays
  // the same whatever describes the registers.
  if (!settingsFile_.isEmpty()) {
    QSettings settings(settingsFile_, QSettings::IniFormat);
    settings.setValue(kRegistersKey, QString::fromStdString(path));
  }
  return true;
}

bool MainWindow::loadRegisterDescriptions(const std::string& path, bool tell) {
  shell::MainForm& main = program_.main;
  if (const text::Outcome loaded = program_.loadRegisterDescriptions(path); !loaded.ok()) {
    main.lblStatus.failed(kRegistersAction, loaded.reason());
    main.log.logMessage(std::string(kRegistersAction) + ": " + loaded.reason() +
                        "; the descriptions in use stay as they were");
    return false;
  }
  if (!tell) return true;
  int described = 0;
  for (int i = 0; i < i2c::RegisterDescriptions::kAddressCount; ++i) {
    if (program_.registerDescriptions().find(i) != nullptr) ++described;
  }
  const std::string name = QFileInfo(QString::fromStdString(path)).fileName().toStdString();
  main.lblStatus.succeeded(kRegistersAction, std::to_string(described) + (described == 1 ? " register" : " registers") +
                                                 " described by " + name);
  return true;
}

void MainWindow::loadRegisterDescriptionsAtStart(const QString& given) {
  binder_.run([this, &given] {
    if (!given.isEmpty() && loadRegisterDescriptions(QFile::encodeName(given).toStdString(), false)) return;
    if (!settingsFile_.isEmpty()) {
      const QString chosen = QSettings(settingsFile_, QSettings::IniFormat).value(kRegistersKey).toString();
      if (!chosen.isEmpty() && loadRegisterDescriptions(chosen.toStdString(), false)) return;
    }
    if (const text::Outcome shipped = program_.loadShippedRegisterDescriptions(); !shipped.ok()) {
      program_.main.lblStatus.failed(kRegistersAction, shipped.reason());
      program_.main.log.logMessage(std::string(kRegistersAction) + ": " + shipped.reason());
    }
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
  if (!sized_) {
    // The layout has its final say before the window is first mapped: the
    // client area is made the main panel's size exactly.
    sized_ = true;
    const QSize off = kInitialClientSize - centralWidget()->size();
    if (!off.isNull()) {
      resize(size() + off);
      if (const QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    }
  }
  activate();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && event->type() == QEvent::Resize) updateScrollBars();
  return QMainWindow::eventFilter(watched, event);
}

// A scroll bar shows only where enlarging the window cannot bring the rest
// into view: the client area is narrower (lower) than the main panel, or the
// window already spans the screen that way. The content still scrolls to a
// control that takes the focus, bars or not.
void MainWindow::updateScrollBars() {
  QScrollArea* area = clientArea();
  if (area == nullptr || content_ == nullptr) return;
  const QSize view = area->size();
  const QSize whole = content_->minimumSize();
  const QScreen* s = screen();
  const QSize room = s != nullptr ? s->availableGeometry().size() : QSize();
  const QSize frame = frameGeometry().size();
  const bool spans = (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)) != 0;
  // The main panel's controls end a few pixels before its edges: a client
  // area that much smaller (a window manager rounding at a fractional scale)
  // still shows them whole.
  constexpr int kSlack = 4;
  const auto policy = [&](int shown, int panel, int content, int framed, int screen) {
    const bool needed = shown + kSlack < panel || ((spans || framed >= screen) && shown < content);
    return needed ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
  };
  area->setHorizontalScrollBarPolicy(
      policy(view.width(), kInitialClientSize.width(), whole.width(), frame.width(), room.width()));
  area->setVerticalScrollBarPolicy(
      policy(view.height(), kInitialClientSize.height(), whole.height(), frame.height(), room.height()));
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
