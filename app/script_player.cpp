#include "app/script_player.h"

#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

#include "app/qt_ui_host.h"
#include "script/script_line.h"
#include "shell/program.h"

namespace glim::app {

class ScriptPlayer::Output final : public script::ScriptOutput {
 public:
  Output(QPointer<QPlainTextEdit> pane, std::ostream* echo, std::ostream* echoErrors)
      : pane_(std::move(pane)), echo_(echo), echoErrors_(echoErrors) {}

  void line(script::OutputKind kind, std::string_view line) override {
    std::ostream* to = kind == script::OutputKind::Error ? echoErrors_ : echo_;
    if (to != nullptr) {
      *to << line << '\n';
      to->flush();
    }
    if (kind != script::OutputKind::Event) show(line);
  }

  void show(std::string_view line) {
    if (!pane_) return;
    QTextCursor end(pane_->document());
    end.movePosition(QTextCursor::End);
    end.insertText(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())) + QLatin1Char('\n'));
    pane_->setTextCursor(end);
    pane_->ensureCursorVisible();
  }

 private:
  QPointer<QPlainTextEdit> pane_;
  std::ostream* echo_;
  std::ostream* echoErrors_;
};

ScriptPlayer::ScriptPlayer(shell::Program& program, QPlainTextEdit* logPane, QtUiHost* ui, QObject* parent)
    : QObject(parent), program_(program), logPane_(logPane), ui_(ui) {
  waitTimer_.setSingleShot(true);
  connect(&waitTimer_, &QTimer::timeout, this, &ScriptPlayer::nextLine);
}

ScriptPlayer::~ScriptPlayer() {
  if (ui_ != nullptr) ui_->setScript(nullptr);
}

bool ScriptPlayer::start(QStringList lines, std::ostream* echo, std::ostream* echoErrors, const QString& path) {
  if (runner_ || program_.main.unloaded()) return false;
  lines_ = std::move(lines);
  next_ = 0;
  lastRun_ = 0;
  linesRun_ = 0;
  name_ = path.isEmpty() ? QString() : QFileInfo(path).fileName();
  stopAsked_ = false;
  output_ = std::make_unique<Output>(logPane_, echo, echoErrors);
  // `board` lines reach the program's bench only; on real boards they are errors.
  runner_ = std::make_unique<script::LineRunner>(program_, *output_);
  if (!path.isEmpty()) runner_->setScriptFolder((QFileInfo(path).absolutePath() + QLatin1Char('/')).toStdString());
  if (ui_ != nullptr) ui_->setScript(runner_.get());
  emit runningChanged(true);
  waitTimer_.start(0);
  return true;
}

void ScriptPlayer::stop() {
  if (!runner_ || stopAsked_) return;
  stopAsked_ = true;
  // A `wait` line is cut short.
  if (waitTimer_.isActive()) waitTimer_.start(0);
  // A line waiting for the board would hold the stop until its time-out.
  cancelWait.notify();
}

int ScriptPlayer::linesToRunFrom(int index) const {
  int count = 0;
  for (int i = index; i < lines_.size(); ++i) {
    if (script::parseLine(lines_[i].toStdString()).kind != script::ParsedLine::Kind::Skip) ++count;
  }
  return count;
}

void ScriptPlayer::nextLine() {
  if (!runner_) return;
  if (stopAsked_) {
    const int notRun = linesToRunFrom(next_);
    output_->line(script::OutputKind::Error, "glimmora: script stopped at line " + std::to_string(lastRun_) + "; " +
                                                 std::to_string(notRun) + (notRun == 1 ? " line" : " lines") +
                                                 " not run");
    program_.main.lblStatus.show("Run Script", "stopped at line " + std::to_string(lastRun_), true);
    finish();
    return;
  }
  // Blank lines and comments take no turn of their own.
  script::LineRunner::LineResult outcome = script::LineRunner::LineResult::Skipped;
  while (outcome == script::LineRunner::LineResult::Skipped && next_ < lines_.size()) {
    QString line = lines_[next_++];
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    outcome = runner_->runLine(line.toStdString(), next_);
    if (outcome != script::LineRunner::LineResult::Skipped) {
      lastRun_ = next_;
      ++linesRun_;
    }
  }
  if (program_.main.unloaded()) {
    finish();
    return;
  }
  const std::string name = name_.isEmpty() ? std::string("the script") : name_.toStdString();
  if (outcome == script::LineRunner::LineResult::Error) {
    program_.main.lblStatus.failed("Run Script", name + " has an error at line " + std::to_string(lastRun_));
    finish();
    return;
  }
  // A stop asked while the last line ran still says where it stopped.
  if (next_ >= lines_.size() && !stopAsked_) {
    program_.main.lblStatus.succeeded(
        "Run Script", name + " played, " + std::to_string(linesRun_) + (linesRun_ == 1 ? " line" : " lines"));
    finish();
    return;
  }
  // A `wait` line lets its time pass on the event loop: the window, and
  // watching, go on meanwhile.
  const std::optional<uint32_t> wait = runner_->takeWait();
  waitTimer_.start(wait ? static_cast<int>(*wait) : 0);
}

void ScriptPlayer::finish() {
  waitTimer_.stop();
  if (ui_ != nullptr) ui_->setScript(nullptr);
  runner_.reset();
  output_.reset();
  lines_.clear();
  emit runningChanged(false);
}

}  // namespace glim::app
