// The File menu's script and log entries of the main window: record what the
// person does as a script, play a script, stop it, save what the log pane shows.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <iostream>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTextCursor>

#include "app/main_window.h"
#include "app/script_player.h"
#include "config/file_io.h"
#include "forms/ui_host.h"
#include "script/session_state.h"
#include "shell/program.h"

namespace glim::app {

namespace {

const QString kScriptFilter = QStringLiteral("Glimmora Script (*.gls);;All Files (*)");
const QString kLogFilter = QStringLiteral("Text File (*.txt);;All Files (*)");

}  // namespace

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
    QFileDialog dialog(this, QStringLiteral("Record Script"), QString(), kScriptFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("gls"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    if (const auto error = startRecording(dialog.selectedFiles().constFirst())) {
      QMessageBox::warning(this, QStringLiteral("Record Script"), QString::fromStdString(*error));
    }
  });
  // A recording that can no longer be written ends; the person is told.
  recorder_.onFailed = [this](const std::string& why) {
    showInLog(QString::fromStdString(why));
    QMetaObject::invokeMethod(this, [this] { recordingChanged(); }, Qt::QueuedConnection);
  };
  recordingChanged();

  auto* run = file->addAction(QStringLiteral("&Run Script..."));
  run->setObjectName(QStringLiteral("actionRunScript"));
  run->setShortcut(QKeySequence(QStringLiteral("Ctrl+R")));
  connect(run, &QAction::triggered, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Run Script"), QString(), kScriptFilter);
    if (!path.isEmpty()) runScript(path, nullptr, &std::cerr);
  });

  auto* stop = file->addAction(QStringLiteral("Stop Script"));
  stop->setObjectName(QStringLiteral("actionStopScript"));
  stop->setEnabled(false);
  connect(stop, &QAction::triggered, player_, &ScriptPlayer::stop);
  // A script spends most of its time in lines that wait for the board: the
  // File menu and its "Stop Script" stay usable then, and Esc cancels the
  // wait and stops the script.
  player_->cancelWait = [this] { waitHost_.cancelWait(); };
  waitHost_.letMenusThrough(menuBar());
  waitHost_.allowDuringWait(stop);
  waitHost_.onEscape = [player = QPointer<ScriptPlayer>(player_)] {
    if (player) player->stop();
  };

  // Esc stops a running script between two lines; an open dialog takes Esc
  // itself, so it never reaches this.
  auto* escape = new QAction(this);
  escape->setObjectName(QStringLiteral("actionEscapeScript"));
  escape->setShortcut(QKeySequence(Qt::Key_Escape));
  escape->setShortcutContext(Qt::ApplicationShortcut);
  escape->setEnabled(false);
  addAction(escape);
  connect(escape, &QAction::triggered, player_, &ScriptPlayer::stop);

  connect(player_, &ScriptPlayer::runningChanged, this, [run, stop, escape](bool running) {
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
  if (const auto error = saveLog(QString::fromStdString(path))) {
    program_.main.lblStatus.failed(action, *error);
  } else {
    program_.main.lblStatus.succeeded(action, "saved to " + QFileInfo(QString::fromStdString(path)).fileName().toStdString());
  }
}

std::optional<std::string> MainWindow::startRecording(const QString& path) {
  // The recording starts from the windows and the board as they are now.
  const script::ScriptRecorder::Setup setup = script::recordingSetup(program_);
  auto error = recorder_.start(QFile::encodeName(path).toStdString(), setup);
  recordingChanged();
  return error;
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

bool MainWindow::runScript(const QString& path, std::ostream* echo, std::ostream* echoErrors) {
  if (player_->running()) return false;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    const QString why = QStringLiteral("Cannot read the script ") + path + QStringLiteral(": ") + file.errorString();
    showInLog(why);
    if (echoErrors != nullptr) *echoErrors << why.toStdString() << '\n';
    return false;
  }
  const QByteArray bytes = file.readAll();
  QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
  // A last line feed ends the last line; it does not start another.
  if (!lines.isEmpty() && lines.constLast().isEmpty()) lines.removeLast();
  return player_->start(std::move(lines), echo, echoErrors, path);
}

std::optional<std::string> MainWindow::saveLog(const QString& path) const {
  const auto* pane = content_->findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
  const std::string text = pane != nullptr ? pane->toPlainText().toStdString() : std::string();
  return config::replaceFile(path.toStdString(), text);
}

void MainWindow::showInLog(const QString& line) {
  auto* pane = content_->findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
  if (pane == nullptr) return;
  QTextCursor end(pane->document());
  end.movePosition(QTextCursor::End);
  end.insertText(line + QLatin1Char('\n'));
}

}  // namespace glim::app
