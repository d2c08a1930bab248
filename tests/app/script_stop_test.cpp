// A script played in the window stops when asked, also while one of its
// lines waits for the board; Esc cancels every wait for the board; the status
// bar shows a recording while it runs.
#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <sstream>

#include "app/register_window_view.h"
#include "app/script_player.h"
#include "app/wait_probe.h"

using glim::testing::AppFixture;
using glim::testing::during;

namespace {

// A script file in `dir`; its path.
QString writeScript(const QTemporaryDir& dir, const QByteArray& text) {
  const QString path = dir.filePath(QStringLiteral("waits.gls"));
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size()) return {};
  return path;
}

// Line 1 plugs a board, line 2 reads register 0 at once, line 3 makes each
// later answer wait `ms`, lines 4 to 24 read registers 1 to 21.
QByteArray readsThatWait(int ms) {
  QByteArray text = "board attach\nclick Glimmora_i2c.cbReadi2c(0)\nboard hang 130 " + QByteArray::number(ms) + "\n";
  for (int i = 1; i < 22; ++i) text += "click Glimmora_i2c.cbReadi2c(" + QByteArray::number(i) + ")\n";
  return text;
}

int answersRead(const AppFixture& f) {
  int n = 0;
  for (const auto& t : f.sim.transfers) n += t.pipe == 130 && t.status == glim::usb::kSuccess ? 1 : 0;
  return n;
}

}  // namespace

class ScriptStopTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  QTemporaryDir dir;
  std::ostringstream out, err;

  glim::app::ScriptPlayer* player() { return f->window->scriptPlayer(); }
  glim::app::BoardWaitHost& host() { return f->window->waitHost(); }
  std::string status() { return f->main().lblStatus.caption(); }

  // Plays the script; `step` runs every 10 ms, also while a line waits for
  // the board (see `during`), until it says done. True once the script ended.
  bool play(const QByteArray& script, const std::function<bool()>& step) {
    const QString path = writeScript(dir, script);
    if (path.isEmpty()) return false;
    during(step);
    if (!f->window->runScript(path, &out, &err)) return false;
    return QTest::qWaitFor([&] { return !player()->running(); }, 30000);
  }

 private slots:
  void init() {
    QVERIFY(start());
    out.str({});
    err.str({});
  }

  // The stop comes while the line waits: the wait ends, well before the
  // board would have answered, and no later line runs.
  void escapeStopsTheScriptWhileALineWaits() {
    std::size_t transfers = 0;
    QElapsedTimer clock;
    QVERIFY(play(readsThatWait(5000), [&] {
      if (!host().waiting() || answersRead(*f) != 1) return false;
      transfers = f->sim.transfers.size();
      clock.start();
      QTest::keyClick(f->window.get(), Qt::Key_Escape);
      return true;
    }));
    QVERIFY(clock.isValid());
    QVERIFY2(clock.elapsed() < 2500, "the stop waited for the board");
    qInfo("script stopped %lld ms after Esc", static_cast<long long>(clock.elapsed()));
    QCOMPARE(QString::fromStdString(err.str()), QStringLiteral("glimmora: script stopped at line 4; 20 lines not run\n"));
    QCOMPARE(status(), std::string("Run Script: stopped at line 4"));
    QVERIFY(f->main().lblStatus.problem());
    // The waiting read was cancelled; nothing went to the board after it.
    QCOMPARE(f->sim.transfers.size(), transfers + 1);
    QCOMPARE(f->sim.transfers.back().status, glim::usb::kCancelled);
    QTest::qWait(50);
    QCOMPARE(f->sim.transfers.size(), transfers + 1);
  }

  // The File menu opens while a line waits; "Stop Script" in it stops the
  // script; an entry that would start a handler inside the wait does nothing.
  void stopScriptFromTheFileMenuWhileALineWaits() {
    QMenuBar* bar = f->window->menuBar();
    auto* file = f->find<QMenu>("mFile");
    auto* stop = f->find<QAction>("actionStopScript");
    QVERIFY(file != nullptr && stop != nullptr);
    QAction* save = nullptr;
    for (QAction* a : file->actions()) {
      if (a->text() == QStringLiteral("Save Configuration")) save = a;
    }
    QVERIFY(save != nullptr);
    bool saveRan = false;
    connect(save, &QAction::triggered, this, [&saveRan] { saveRan = true; });
    bool menuOpened = false;
    bool saveHeldBack = false;
    int stage = 0;
    QVERIFY(play(readsThatWait(5000), [&] {
      if (!host().waiting() || answersRead(*f) != 1) return false;
      if (stage == 0) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file->menuAction()).center());
        stage = 1;
        return false;
      }
      if (!file->isVisible()) return false;
      menuOpened = true;
      // Were this let through, Save Configuration would run inside the wait.
      QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(save).center());
      saveHeldBack = !saveRan && file->isVisible();
      QTest::mouseClick(file, Qt::LeftButton, {}, file->actionGeometry(stop).center());
      return true;
    }));
    QVERIFY(menuOpened);
    QVERIFY(saveHeldBack);
    QVERIFY(!saveRan);
    QCOMPARE(QString::fromStdString(err.str()), QStringLiteral("glimmora: script stopped at line 4; 20 lines not run\n"));
    QCOMPARE(status(), std::string("Run Script: stopped at line 4"));
    QCOMPARE(answersRead(*f), 1);
  }

  // Esc cancels the "Waiting for the board" dialog of each wait, the second
  // one too, whichever of the program's windows has the key; the dialog's
  // Cancel cancels only the wait, Esc stops the script as well.
  void escapeCancelsEveryWaitDialog() {
    host().dialogDelay = std::chrono::milliseconds(50);
    const auto dialogUp = [this] { return host().dialog() != nullptr && host().dialog()->isVisible(); };
    int stage = 0;
    QElapsedTimer clock;
    QVERIFY(play("board attach\nboard hang 130 8000\nclick Glimmora_i2c.cbReadi2c(0)\n"
                 "click Glimmora_i2c.cbReadi2c(1)\nprint cbQuit\n",
                 [&] {
                   if (!dialogUp()) return false;
                   if (stage == 0 && f->sim.transfers.size() == 1) {
                     // The dialog's Cancel ends the wait; the script goes on.
                     QTest::mouseClick(host().dialog()->findChild<QPushButton*>(QStringLiteral("waitCancel")),
                                       Qt::LeftButton);
                     stage = 1;
                   } else if (stage == 1 && f->sim.transfers.size() == 3) {
                     clock.start();
                     QTest::keyClick(f->window.get(), Qt::Key_Escape);
                     return true;
                   }
                   return false;
                 }));
    QVERIFY(clock.isValid());
    QVERIFY2(clock.elapsed() < 4000, "Esc did not cancel the wait");
    QCOMPARE(f->sim.transfers.size(), std::size_t{4});
    QCOMPARE(f->sim.transfers[1].status, glim::usb::kCancelled);
    QCOMPARE(f->sim.transfers[3].status, glim::usb::kCancelled);
    QCOMPARE(QString::fromStdString(out.str()), QStringLiteral("out 2: 01 5B 00\nout 2: 01 5B 01\n"));
    QCOMPARE(QString::fromStdString(err.str()), QStringLiteral("glimmora: script stopped at line 4; 1 line not run\n"));

    // A person's wait: Esc pressed on the main window, not on the dialog.
    f->main().cbShowi2c.click();
    auto* read = f->window->registerView()->findChild<QPushButton*>(QStringLiteral("cbReadi2c(2)"));
    QVERIFY(read != nullptr);
    bool pressed = false;
    during([&] {
      if (host().dialog() == nullptr || !host().dialog()->isVisible()) return false;
      QTest::keyClick(f->window.get(), Qt::Key_Escape);
      pressed = true;
      return true;
    });
    clock.restart();
    QTest::mouseClick(read, Qt::LeftButton);
    QVERIFY(pressed);
    QVERIFY(clock.elapsed() < 4000);
    QCOMPARE(f->sim.transfers.back().status, glim::usb::kCancelled);
  }

  void aScriptThatEndsSaysSoOnTheStatusLine() {
    const QString path = writeScript(dir, "# two lines run\nboard attach\n\nclick Glimmora_i2c.cbReadi2c(0)\n");
    QVERIFY(f->window->runScript(path, &out, &err));
    QVERIFY(QTest::qWaitFor([&] { return !player()->running(); }, 10000));
    QCOMPARE(status(), std::string("Run Script: waits.gls played, 2 lines"));
    QCOMPARE(QString::fromStdString(err.str()), QString());

    const QString bad = writeScript(dir, "board attach\nbogus\nprint cbQuit\n");
    QVERIFY(f->window->runScript(bad, &out, &err));
    QVERIFY(QTest::qWaitFor([&] { return !player()->running(); }, 10000));
    QCOMPARE(status(), std::string("Run Script: failed: waits.gls has an error at line 2"));
  }

  // While recording, the status bar says where to, with a red dot; stopping
  // says how many lines were written.
  void theStatusBarShowsARecording() {
    auto* indicator = f->find<QLabel>("recordingIndicator");
    QVERIFY(indicator != nullptr);
    QVERIFY(!indicator->isVisible());
    const QString path = dir.filePath(QStringLiteral("session.gls"));
    // Started mid-session, the recording begins with the window's state.
    f->sim.plug();
    f->main().timing.tbSCLKfreqdes.setText("100");
    QCOMPARE(f->window->startRecording(path), glim::text::Outcome());
    QVERIFY(indicator->isVisible());
    QVERIFY2(indicator->text().endsWith(QStringLiteral("</span> Recording to session.gls")),
             qPrintable(indicator->text()));
    QVERIFY(indicator->text().contains(QStringLiteral("color:#d01010")));
    QVERIFY(indicator->toolTip().endsWith(path));

    QTest::mouseClick(f->find<QPushButton>("cbShowi2c"), Qt::LeftButton);
    QTest::mouseClick(f->find<QPushButton>("cmdClearLog"), Qt::LeftButton);
    f->find<QAction>("actionRecordScript")->trigger();
    QVERIFY(!indicator->isVisible());
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY2(text.contains("board attach\nset tbSCLKdiv 249\nset tbSCLKfreqdes 100\nclick cbShowi2c\nclick cmdClearLog\n"),
             text.constData());
    const int lines = static_cast<int>(text.count('\n'));
    QCOMPARE(status(), "Record Script: " + std::to_string(lines) + " lines written to session.gls");
  }
};

QTEST_MAIN(ScriptStopTest)
#include "script_stop_test.moc"
