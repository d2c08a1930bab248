// The real program, ended by the system (SIGTERM at logout, SIGHUP when its
// terminal closes, SIGINT for Ctrl+C), ends as "Quit" does: the last session
// is written and the exit status is 0.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <functional>
#ifdef Q_OS_UNIX
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "app/end_requests.h"

namespace {
#ifdef Q_OS_UNIX
// Runs `body` in a process of its own, where signals may end it, and gives
// how that process ended (as waitpid tells it), -1 when it did not end
// within `ms` (it is killed then).
[[maybe_unused]] int inChild(const std::function<int()>& body, int ms) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  if (pid < 0) return -1;
  QElapsedTimer waited;
  waited.start();
  int status = 0;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (waited.elapsed() > ms) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      return -1;
    }
    ::usleep(10000);
  }
  return status;
}

[[maybe_unused]] void turnFor(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}
#endif
}  // namespace

class EndBySignalTest : public QObject {
  Q_OBJECT

 private slots:
  void endsAsQuitDoes_data() {
#ifndef Q_OS_UNIX
    QSKIP("signals are sent as POSIX systems send them");
#else
    QTest::addColumn<int>("signo");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGHUP") << SIGHUP;
    QTest::newRow("SIGINT") << SIGINT;
#endif
  }
  void endsAsQuitDoes() {
#ifdef Q_OS_UNIX
    QFETCH(int, signo);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("run")));
    QFile(dir.filePath(QStringLiteral("run")))
        .setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Typed, and the register window open; the last line says it is done.
    QFile script(dir.filePath(QStringLiteral("typed.gls")));
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("set tbCPLDdata(20) 44\nclick cbShowi2c\nset Glimmora_i2c.tbI2Creg(3) C3\nprint tbCPLDdata(20)\n");
    script.close();

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("XDG_STATE_HOME"), dir.filePath(QStringLiteral("state")));
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("GLIMMORA_USB"), QStringLiteral("sim-empty"));
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(GLIMMORA_PROGRAM), {QStringLiteral("--run"), script.fileName()});
    QVERIFY(program.waitForStarted());
    QByteArray out;
    QVERIFY(QTest::qWaitFor(
        [&] {
          program.waitForReadyRead(50);
          out += program.readAllStandardOutput();
          return out.contains("tbCPLDdata(20) = \"44\"");
        },
        20000));

    QVERIFY(::kill(static_cast<pid_t>(program.processId()), signo) == 0);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QFile session(dir.filePath(QStringLiteral("state/glimmora/last-session.txt")));
    QVERIFY(session.open(QIODevice::ReadOnly));
    const QByteArray kept = session.readAll();
    QCOMPARE(kept.count("\r\n"), 69);
    QVERIFY(kept.contains("\r\n44\r\n"));
    QVERIFY(kept.contains("\r\nC3\r\n"));
#endif
  }

  // The end asked for by a first Ctrl+C hangs; the second one ends the
  // program at once, as Ctrl+C does by default, rather than being swallowed.
  void secondCtrlCEndsAtOnce() {
#ifndef Q_OS_UNIX
    QSKIP("signals are sent as POSIX systems send them");
#elif defined(__SANITIZE_THREAD__)
    QSKIP("the thread checker takes signals first and hands them on late, in a forked child not at all");
#else
    const int status = inChild(
        [] {
          const glim::app::EndRequests requests([] {
            ::raise(SIGINT);  // pressed again while ending
            ::sleep(5);       // the end that hangs
            ::_exit(3);
          });
          ::raise(SIGINT);
          turnFor(3000);
          return 4;  // the first never reached the program
        },
        15000);
    QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT, qPrintable(QString::number(status)));
#endif
  }

  // A signal ignored when the program started (nohup) stays ignored, while
  // and after the program listens; the others are handed over, also to a
  // second listener, which does not take what the first left unread.
  void ignoredSignalsStayIgnored() {
#ifndef Q_OS_UNIX
    QSKIP("signals are sent as POSIX systems send them");
#elif defined(__SANITIZE_THREAD__)
    QSKIP("the thread checker takes signals first and hands them on late, in a forked child not at all");
#else
    const int status = inChild(
        [] {
          ::signal(SIGHUP, SIG_IGN);
          int ends = 0;
          {
            const glim::app::EndRequests first([&ends] { ++ends; });
            ::raise(SIGHUP);
            turnFor(200);
            if (ends != 0) return 5;
            ::raise(SIGTERM);
            turnFor(200);
            if (ends != 1) return 6;
            ::raise(SIGTERM);  // not read before this listener goes
          }
          struct sigaction now = {};
          ::sigaction(SIGHUP, nullptr, &now);
          if (now.sa_handler != SIG_IGN) return 7;
          const glim::app::EndRequests second([&ends] { ++ends; });
          turnFor(200);
          if (ends != 1) return 8;
          ::raise(SIGTERM);
          turnFor(200);
          return ends == 2 ? 0 : 9;
        },
        15000);
    QVERIFY2(WIFEXITED(status), qPrintable(QString::number(status)));
    QCOMPARE(WEXITSTATUS(status), 0);
#endif
  }
};

QTEST_GUILESS_MAIN(EndBySignalTest)
#include "end_by_signal_test.moc"
