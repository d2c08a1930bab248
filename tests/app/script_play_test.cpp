// Scripts played in the window print what glimmora-cli prints, and the log
// pane is saved as shown.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <sstream>

#include "app/main_window.h"
#include "app/qt_ui_host.h"
#include "app/script_player.h"
#include "shell/program.h"
#include "usb/sim/sim_driver.h"

namespace {

// The program as `glimmora --run` starts it on the simulated layer, with no
// board plugged in (as glimmora-cli starts).
struct Window {
  Window() {
    auto driver = std::make_unique<glim::usb::sim::SimDriver>();
    glim::usb::Bench* bench = driver.get();
    program = std::make_unique<glim::shell::Program>(glim::usb::DriverAndBench{std::move(driver), bench}, ui);
    window = std::make_unique<glim::app::MainWindow>(*program, &ui);
    window->show();
  }
  // Plays the script to its end, pressing OK on every message box as a
  // person would.
  bool play(const QString& path) {
    QTimer okPresser;
    QObject::connect(&okPresser, &QTimer::timeout, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    });
    okPresser.start(1);
    if (!window->runScript(path, &out, &err).ok()) return false;
    return QTest::qWaitFor([this] { return !window->scriptPlayer()->running(); }, 20000);
  }

  glim::app::QtUiHost ui;
  std::unique_ptr<glim::shell::Program> program;
  std::unique_ptr<glim::app::MainWindow> window;
  std::ostringstream out;
  std::ostringstream err;
};

QString readAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A script file s.gls in `dir` holding `lines`; its path, or "" when it could not be written.
QString scriptFile(const QTemporaryDir& dir, const char* lines) {
  const QString path = dir.filePath(QStringLiteral("s.gls"));
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(lines) < 0) return {};
  return path;
}

}  // namespace

class ScriptPlayTest : public QObject {
  Q_OBJECT

 private slots:
  void everyScriptWithoutFileDialogsPrintsAsGlimmoraCli() {
    const QDir dir(QStringLiteral(GLIMMORA_SCRIPTS_DIR));
    const QStringList scripts = dir.entryList({QStringLiteral("*.gls")}, QDir::Files, QDir::Name);
    QVERIFY(scripts.size() > 20);
    int played = 0;
    for (const QString& name : scripts) {
      const QString script = readAll(dir.filePath(name));
      if (script.contains(QStringLiteral("answer "))) continue;    // file dialogs: a person's choice
      if (script.contains(QStringLiteral("# args: "))) continue;   // options of glimmora-cli's own
      if (script.contains(QStringLiteral("# clock: "))) continue;  // timed on glimmora-cli's own clock
      const QString expected =
          readAll(dir.filePath(QString(name).replace(QStringLiteral(".gls"), QStringLiteral(".out"))));
      Window w;
      QVERIFY2(w.play(dir.filePath(name)), qPrintable(name));
      QCOMPARE(QString::fromStdString(w.out.str()), expected);
      ++played;
    }
    QVERIFY(played > 20);
  }

  void printsAndErrorsGoToTheLogPaneWhichSavesAsShown() {
    QTemporaryDir tmp;
    const QString script =
        scriptFile(tmp, "board attach\r\nprint cbQuit\nexpect cbQuit Exit\nbogus line\nprint cbQuit\n");
    QVERIFY(!script.isEmpty());

    Window w;
    QVERIFY(w.play(script));
    const QString error = QString::fromStdString(w.err.str());
    QVERIFY2(error.startsWith(QStringLiteral("error (line 4): unknown verb")), qPrintable(error));
    // The program's own log text holds none of the script's lines.
    QVERIFY(w.program->main.txtLog.text().find("cbQuit") == std::string::npos);
    const auto* pane = w.window->findChild<QPlainTextEdit*>(QStringLiteral("txtLog"));
    const QString shown = pane->toPlainText();
    QVERIFY2(shown.endsWith(QStringLiteral("cbQuit = \"Quit\"\n"
                                           "expect failed (line 3): cbQuit: expected \"Exit\", got \"Quit\"\n") +
                            error),
             qPrintable(shown));

    const QString log = tmp.filePath(QStringLiteral("log.txt"));
    QCOMPARE(w.window->saveLog(log), glim::text::Outcome());
    QCOMPARE(readAll(log), shown);
    QVERIFY(!w.window->saveLog(tmp.filePath(QStringLiteral("no/such/dir/log.txt"))).ok());
  }

  void aScriptStopsBetweenTwoLines() {
    QTemporaryDir tmp;
    const QString script = scriptFile(tmp, "print cbQuit\nprint cbQuit\nprint cbQuit\n");
    QVERIFY(!script.isEmpty());
    Window w;
    QVERIFY(w.window->runScript(script, &w.out, &w.err).ok());
    // One at a time.
    QVERIFY(w.window->runScript(script, &w.out, &w.err).reason().starts_with("A script is playing already: "));
    w.window->scriptPlayer()->stop();
    QVERIFY(QTest::qWaitFor([&w] { return !w.window->scriptPlayer()->running(); }, 5000));
    QCOMPARE(QString::fromStdString(w.out.str()), QString());
    QVERIFY(!w.window->runScript(tmp.filePath(QStringLiteral("missing.gls")), &w.out, &w.err).ok());
  }
};

QTEST_MAIN(ScriptPlayTest)
#include "script_play_test.moc"
