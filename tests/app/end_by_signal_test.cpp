// The real program, ended by the system (SIGTERM at logout, SIGHUP when its
// terminal closes, SIGINT for Ctrl+C), ends as "Quit" does: the last session
// is written and the exit status is 0.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#ifdef Q_OS_UNIX
#include <signal.h>
#endif

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
};

QTEST_GUILESS_MAIN(EndBySignalTest)
#include "end_by_signal_test.moc"
