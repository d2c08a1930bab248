// The session kept on exit: however the program ends, the window's settings
// go to the last-session file as a configuration file, and "Load Last
// Session" brings them back.
#include "app/last_session.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "app/app_fixture.h"
#include "app/end_requests.h"
#include "app/register_window_view.h"
#include "app/wait_probe.h"

using glim::testing::AppFixture;

namespace {

std::string readAll(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int lineCount(const std::string& text) {
  int n = 0;
  for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++n;
  return n;
}

void type(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, text);
}

}  // namespace

class LastSessionTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir;
  QString session() const { return dir->filePath(QStringLiteral("state/glimmora/last-session.txt")); }

  // A fresh program that keeps its session in the test's folder.
  void startKeepingSession() {
    f = std::make_unique<AppFixture>();
    f->window->keepLastSessionIn(session());
    QVERIFY(f->showActive());
  }

 private slots:
  void init() { dir = std::make_unique<QTemporaryDir>(); }
  void cleanup() {
    f.reset();
    dir.reset();
  }

  void whereTheSessionIsKept() {
#ifndef Q_OS_WIN
    const QByteArray oldState = qgetenv("XDG_STATE_HOME");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", dir->path().toUtf8());
    qputenv("XDG_STATE_HOME", "/srv/state");
    QCOMPARE(glim::app::lastSessionPath(), QStringLiteral("/srv/state/glimmora/last-session.txt"));
    // Unset, or not an absolute path: the default under the home folder.
    qunsetenv("XDG_STATE_HOME");
    QCOMPARE(glim::app::lastSessionPath(), dir->path() + QStringLiteral("/.local/state/glimmora/last-session.txt"));
    qputenv("XDG_STATE_HOME", "relative/state");
    QCOMPARE(glim::app::lastSessionPath(), dir->path() + QStringLiteral("/.local/state/glimmora/last-session.txt"));
    qputenv("HOME", oldHome);
    if (oldState.isNull()) {
      qunsetenv("XDG_STATE_HOME");
    } else {
      qputenv("XDG_STATE_HOME", oldState);
    }
#endif
  }

  // Every way to end writes the same 69 lines "Save Configuration" would
  // write, register window included, through a folder that did not exist.
  void everyEndingKeepsTheSession_data() {
    QTest::addColumn<QString>("way");
    for (const char* way : {"Quit", "Exit", "Ctrl+X", "close box"}) QTest::newRow(way) << way;
  }
  void everyEndingKeepsTheSession() {
    QFETCH(QString, way);
    startKeepingSession();
    QSignalSpy ended(f->window.get(), &glim::app::MainWindow::ended);
    type(f->find<QLineEdit>("tbCPLDdata(20)"), QStringLiteral("7"));
    QTest::mouseClick(f->find<QPushButton>("cbShowi2c"), Qt::LeftButton);
    type(f->window->registerView()->findChild<QLineEdit*>(QStringLiteral("tbI2Creg(3)")), QStringLiteral("C3"));
    f->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f->window.get()));
    QTest::mouseClick(f->find<QPushButton>("cbShowi2c"), Qt::LeftButton);  // leaves the focus on a button
    f->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f->window.get()));

    // What "Save Configuration" writes of the same state.
    const QString saved = dir->filePath(QStringLiteral("saved.txt"));
    f->sim.ui.answers.push_back(saved.toStdString());
    f->main().mFileSaveConfig.click();
    QVERIFY(QFileInfo::exists(saved));
    QVERIFY(!QFileInfo::exists(session()));

    QVERIFY(f->endProgram(way));
    QCOMPARE(ended.count(), 1);

    const std::string kept = readAll(session());
    QCOMPARE(lineCount(kept), 69);
    QCOMPARE(kept, readAll(saved));
    QVERIFY(kept.find("\r\n7\r\n") != std::string::npos);
    QVERIFY(kept.find("\r\nC3\r\n") != std::string::npos);
  }

  // Asked to end by the system (a signal): as "Quit", also from the middle of
  // a handler waiting for the board or a playing script: the wait is
  // cancelled, the handler ends, then the session is written, the register
  // window closed and the driver closed.
  void endAskedBySystemEndsAsQuit_data() {
    QTest::addColumn<QString>("during");
    for (const char* during : {"nothing", "a read", "a script"}) QTest::newRow(during) << during;
  }
  void endAskedBySystemEndsAsQuit() {
    QFETCH(QString, during);
    startKeepingSession();
    glim::app::EndRequests requests([this] { f->window->endAsAsked(); });
    QSignalSpy ended(f->window.get(), &glim::app::MainWindow::ended);
    type(f->find<QLineEdit>("tbCPLDdata(20)"), QStringLiteral("44"));
    f->main().cbShowi2c.click();
    f->sim.plug();
    f->main().link.setTransferTimeout(8000);
    glim::testing::hangPipe(*f, 130);
#ifdef Q_OS_UNIX
    const auto askToEnd = [] { ::raise(SIGTERM); };
#else
    const auto askToEnd = [&requests] { requests.ask(); };
#endif
    QElapsedTimer clock;
    clock.start();
    if (during == QLatin1String("nothing")) {
      askToEnd();
    } else {
      glim::testing::during([&] {
        if (!f->window->waitHost().waiting()) return false;
        askToEnd();
        return true;
      });
      if (during == QLatin1String("a read")) {
        QTest::mouseClick(f->window->registerView()->findChild<QPushButton*>(QStringLiteral("cbReadi2c(1)")),
                          Qt::LeftButton);
      } else {
        QFile script(dir->filePath(QStringLiteral("reads.gls")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("click Glimmora_i2c.cbReadi2c(1)\nclick Glimmora_i2c.cbReadi2c(2)\n");
        script.close();
        QVERIFY(f->window->runScript(script.fileName()).ok());
      }
    }
    QTRY_COMPARE(ended.count(), 1);
    QVERIFY(clock.elapsed() < 4000);  // not the 8 s time-out
    QVERIFY(f->main().unloaded());
    QVERIFY(f->window->registerView() == nullptr);
    const std::string kept = readAll(session());
    QCOMPARE(lineCount(kept), 69);
    QVERIFY(kept.find("\r\n44\r\n") != std::string::npos);
    // The driver is closed: a board plugged in now is not even told of.
    const std::string log = f->sim.log();
    f->sim.plug();
    QTest::qWait(20);
    QCOMPARE(f->sim.log(), log);
  }

  // A session that cannot be written never keeps the program from ending.
  void anUnwritableSessionStillEnds() {
    QFile blocker(dir->filePath(QStringLiteral("state")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));  // a file where the folder should be
    blocker.close();
    startKeepingSession();
    QSignalSpy ended(f->window.get(), &glim::app::MainWindow::ended);
    QTest::mouseClick(f->find<QPushButton>("cbQuit"), Qt::LeftButton);
    QCOMPARE(ended.count(), 1);
    QVERIFY(f->main().unloaded());
    QVERIFY(!QFileInfo::exists(session()));
  }

  // Disabled while there is none; then it loads the file as "Load
  // Configuration" would and sends it to the board.
  void loadLastSessionBringsItBack() {
    startKeepingSession();
    auto* load = f->find<QAction>("actionLoadLastSession");
    QVERIFY(load != nullptr);
    QCOMPARE(load->text(), QStringLiteral("Load Last Session"));
    QVERIFY(!load->isEnabled());
    type(f->find<QLineEdit>("tbCPLDdata(20)"), QStringLiteral("7"));
    f->main().cbQuit.click();
    QVERIFY(QFileInfo::exists(session()));

    startKeepingSession();
    f->sim.plug();
    QCOMPARE(f->find<QLineEdit>("tbCPLDdata(20)")->text(), QStringLiteral("255"));
    // The menu looks again each time it opens.
    QMetaObject::invokeMethod(f->find<QMenu>("mFile"), "aboutToShow");
    QVERIFY(load = f->find<QAction>("actionLoadLastSession"));
    QVERIFY(load->isEnabled());
    f->sim.transfers.clear();
    load->trigger();
    QCOMPARE(f->find<QLineEdit>("tbCPLDdata(20)")->text(), QStringLiteral("7"));
    QCOMPARE(f->main().lblStatus.caption(), std::string("Load Last Session: loaded and sent"));
    QVERIFY(f->sim.ui.dialogs.empty());
    QCOMPARE(f->sim.written(1).size(), std::size_t{1});
    QCOMPARE(f->sim.written(3).size(), std::size_t{1});
    QCOMPARE(f->sim.written(2).size(), std::size_t{1});
    QVERIFY(f->firstStaleBox().isEmpty());

    // Gone again: disabled when the menu next opens.
    QVERIFY(QFile::remove(session()));
    QMetaObject::invokeMethod(f->find<QMenu>("mFile"), "aboutToShow");
    QVERIFY(!load->isEnabled());
  }
};

QTEST_MAIN(LastSessionTest)
#include "last_session_test.moc"
