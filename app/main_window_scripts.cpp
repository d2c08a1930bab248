// The main window's File menu entries for scripts and the log: recording
// what the person does (as a script or a pytest test), playing a script,
// stopping it, saving the log.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <iostream>

#include "app/main_window.h"
#include "app/qt_ui_host.h"
#include "app/script_player.h"
#include "config/file_io.h"
#include "script/python_test.h"
#include "script/session_state.h"
#include "shell/program.h"

namespace glim::app {

namespace {

const QString kScriptFilter = QStringLiteral("Glimmora Script (*.gls);;All Files (*)");
// A recording is a script, or a pytest test of the same steps.
const QString kPythonTestFilter = QStringLiteral("Python test (*.py)");
const QString kRecordFilter =
    QStringLiteral("Glimmora Script (*.gls);;") + kPythonTestFilter + QStringLiteral(";;All Files (*)");
const QString kLogFilter = QStringLiteral("Text File (*.txt);;All Files (*)");
}  // namespace

// The File menu's script and log entries: record what the person does as a
// script, play a script, stop it, save what the log pane shows.
void MainWindow::addScriptActions(QMenu* file) {
  auto* pane = content_->findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
  player_ = new ScriptPlayer(program_, pane, ui_, this);

  recordAction_ = file->addAction(QString());
  recordAction_->setObjectName(QStringLiteral("actionRecordScript"));
  connect(recordAction_, &QAction::triggered, this, [this] {
    if (recorder_.recording()) {
      stopRecording();
      return;
    }
    QFileDialog dialog(this, QStringLiteral("Record Script"), QString(), kRecordFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("gls"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
      dialog.setDefaultSuffix(filter == kPythonTestFilter ? QStringLiteral("py") : QStringLiteral("gls"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    if (const text::Outcome started = startRecording(dialog.selectedFiles().constFirst()); !started.ok()) {
      QMessageBox::warning(this, QStringLiteral("Record Script"), QString::fromStdString(started.reason()));
    }
  });
  // A recording that can no longer be written ends; the person is told.
  reportsRecordingFailure_ = recorder_.onFailed.connectScoped([this](const std::string& why) {
    showInLog(QString::fromStdString(why));
    QMetaObject::invokeMethod(
        this, [this] { recordingChanged(); }, Qt::QueuedConnection);
  });
  recordingChanged();

  auto* run = file->addAction(QStringLiteral("&Run Script..."));
  run->setObjectName(QStringLiteral("actionRunScript"));
  run->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
  connect(run, &QAction::triggered, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Run Script"), QString(), kScriptFilter);
    if (!path.isEmpty()) (void)runScript(path, nullptr, &std::cerr);  // a refusal is in the log
  });

  auto* stop = file->addAction(QStringLiteral("Stop Script"));
  stop->setObjectName(QStringLiteral("actionStopScript"));
  stop->setEnabled(false);
  connect(stop, &QAction::triggered, player_, &ScriptPlayer::stop);
  // A script spends most of its time in lines that wait for the board: the
  // File menu and its "Stop Script" stay usable then, and Esc or the waiting
  // dialog's "Stop Script" cancel the wait and stop the script.
  cancelsWaitOnStop_ = player_->cancelWait.connectScoped([this] { waitHost_.cancelWait(); });
  waitHost_.setHomeWindow(this);
  waitHost_.letMenusThrough(menuBar());
  waitHost_.allowDuringWait(stop);
  stopsScriptOnEscape_ = waitHost_.onStopAsked.connectScoped([player = QPointer<ScriptPlayer>(player_)] {
    if (player) player->stop();
  });

  // Esc stops a running script between two lines; an open dialog takes Esc
  // itself, so it never reaches this.
  auto* escape = new QAction(this);
  escape->setObjectName(QStringLiteral("actionEscapeScript"));
  escape->setShortcut(QKeySequence(Qt::Key_Escape));
  escape->setShortcutContext(Qt::ApplicationShortcut);
  escape->setEnabled(false);
  addAction(escape);
  connect(escape, &QAction::triggered, player_, &ScriptPlayer::stop);

  connect(player_, &ScriptPlayer::runningChanged, this, [this, run, stop, escape](bool running) {
    waitHost_.setScriptPlaying(running);
    run->setEnabled(!running);
    stop->setEnabled(running);
    escape->setEnabled(running);
  });

  auto* save = file->addAction(QStringLiteral("Save &Log..."));
  save->setObjectName(QStringLiteral("actionSaveLog"));
  connect(save, &QAction::triggered, this, [this] {
    QFileDialog dialog(this, QStringLiteral("Save Log"), QString(), kLogFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    saveLogAs(dialog.selectedFiles().constFirst());
  });
}

void MainWindow::saveLogAs(const QString& chosen) {
  // A name without an extension gets ".txt", as the configuration dialogs'
  // names do, whatever the dialog did.
  const std::string path = forms::withDefaultExtension(chosen.toStdString(), "txt");
  const std::string action = "Save Log";
  // The whole path, as the person would look for the file.
  const std::string shown =
      QDir::toNativeSeparators(QFileInfo(QString::fromStdString(path)).absoluteFilePath()).toStdString();
  if (const text::Outcome saved = saveLog(QString::fromStdString(path)); !saved.ok()) {
    program_.main.lblStatus.failed(action, shown + ": " + saved.reason());
    program_.main.uiHost().messageBox("Could not save the log to " + shown + ": " + saved.reason(), "Error");
  } else {
    program_.main.lblStatus.succeeded(action, "saved to " + shown);
  }
}

text::Outcome MainWindow::startRecording(const QString& path) {
  // The recording starts from the windows and the board as they are now.
  script::ScriptRecorder::Setup setup = script::recordingSetup(program_);
  setup.form = script::recordingFormFor(QFile::encodeName(path).toStdString());
  text::Outcome started = recorder_.start(QFile::encodeName(path).toStdString(), setup);
  recordingChanged();
  return started;
}

void MainWindow::stopRecording() {
  if (!recorder_.recording()) return;
  recorder_.stop();
  const std::string name = QFileInfo(QFile::decodeName(recorder_.path().c_str())).fileName().toStdString();
  const int lines = recorder_.linesWritten();
  program_.main.lblStatus.succeeded("Record Script",
                                    std::to_string(lines) + (lines == 1 ? " line" : " lines") + " written to " + name);
  recordingChanged();
}

void MainWindow::recordingChanged() {
  if (recordAction_ == nullptr) return;
  const bool on = recorder_.recording();
  recordAction_->setText(on ? QStringLiteral("Stop Re&cording") : QStringLiteral("Re&cord Script..."));
  if (recordingLabel_ == nullptr) return;
  // As long as the file grows, the status bar says where to.
  const QString path = QFile::decodeName(recorder_.path().c_str());
  recordingLabel_->setText(on ? QStringLiteral("<span style=\"color:#d01010\">\u25CF</span> Recording to ") +
                                    QFileInfo(path).fileName().toHtmlEscaped()
                              : QString());
  recordingLabel_->setToolTip(on ? QStringLiteral("Recording to ") + path : QString());
  recordingLabel_->setVisible(on);
}

text::Outcome MainWindow::runScript(const QString& path, std::ostream* echo, std::ostream* echoErrors) {
  // Every refusal is in the log pane, and goes to `echoErrors` too.
  const auto refuse = [this, echoErrors](const QString& why) {
    showInLog(why);
    if (echoErrors != nullptr) *echoErrors << why.toStdString() << '\n';
    return text::Outcome(text::Failure(why.toStdString()));
  };
  if (player_->running())
    return refuse(QStringLiteral("A script is playing already: ") + path + QStringLiteral(" not played"));
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return refuse(QStringLiteral("Cannot read the script ") + path + QStringLiteral(": ") + file.errorString());
  }
  const QByteArray bytes = file.readAll();
  QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
  // A last line feed ends the last line; it does not start another.
  if (!lines.isEmpty() && lines.constLast().isEmpty()) lines.removeLast();
  if (!player_->start(std::move(lines), echo, echoErrors, path))
    return refuse(QStringLiteral("The program is ending: ") + path + QStringLiteral(" not played"));
  return {};
}

text::Outcome MainWindow::saveLog(const QString& path) {
  // What the pane shows while it holds the whole log (a played script's
  // output too); once lines have left it, the whole log they went to.
  std::string missing;
  const auto* pane = content_->findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
  const std::string text = program_.main.log.keptIn().empty() && pane != nullptr ? pane->toPlainText().toStdString()
                                                                                 : program_.main.log.wholeLog(&missing);
  if (text::Outcome saved = config::replaceFile(path.toStdString(), text); !saved.ok()) return saved;
  if (!missing.empty()) return text::Failure("saved without the lines that left the pane (" + missing + ")");
  return {};
}

void MainWindow::showInLog(const QString& line) { program_.main.log.logMessage(line.toStdString()); }

}  // namespace glim::app
