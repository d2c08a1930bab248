// A session recorded in the window replays headless to the same controls and
// the same packets.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <memory>
#include <sstream>

#include "app/main_window.h"
#include "app/qt_ui_host.h"
#include "app/register_window_view.h"
#include "app/script_player.h"
#include "app/sim_board_window.h"
#include "script/control_actions.h"
#include "script/script_runner.h"
#include "shell/program.h"
#include "support/program_state.h"
#include "text/hex_text.h"
#include "usb/sim/sim_driver.h"

namespace {

using glim::usb::sim::SimDriver;

using glim::testing::stateOf;

// The person at the window, answering each file dialog with the next path.
class Person {
 public:
  Person() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* box = qobject_cast<QMessageBox*>(modal)) box->accept();
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      if (dialog == nullptr || answers_.isEmpty()) return;
      dialog->selectFile(answers_.takeFirst());
      static_cast<QDialog*>(dialog)->accept();  // as its Save or Open button does
    });
    timer_.start(5);
  }
  void willAnswer(const QString& path) { answers_ << path; }

 private:
  QTimer timer_;
  QStringList answers_;
};

void retype(QLineEdit* box, const QString& text) {
  box->setFocus();
  box->selectAll();
  QTest::keyClicks(box, text);
}

void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2)); }

// The program's windows on the simulated board, the board's window telling
// the recorder what the person does there.
struct Windows {
  glim::app::QtUiHost ui;
  std::unique_ptr<SimDriver> owned = std::make_unique<SimDriver>();
  SimDriver& sim = *owned;
  glim::shell::Program program{glim::usb::DriverAndBench{std::move(owned), &sim}, ui};
  glim::app::MainWindow window{program, &ui};
  glim::app::SimBoardWindow board{sim};
  Windows() { board.setRecorder(&window.recorder()); }
  QString log() const { return QString::fromStdString(program.main.txtLog.text()); }
};

}  // namespace

class ScriptRecordTest : public QObject {
  Q_OBJECT

 private slots:
  void recordedSessionReplaysAlike() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("session.gls"));
    const QString setup = dir.filePath(QStringLiteral("setup.txt"));

    Windows w;
    SimDriver& sim = w.sim;
    glim::shell::Program& program = w.program;
    glim::app::MainWindow& window = w.window;
    glim::app::SimBoardWindow& board = w.board;
    board.show();
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(window.startRecording(script), glim::text::Outcome());
    Person person;
    const auto main = [&](const char* name) { return window.findChild<QWidget*>(QLatin1String(name)); };
    const auto log = [&] { return QString::fromStdString(program.main.txtLog.text()); };

    click(board.findChild<QPushButton*>(QStringLiteral("plug")));
    QVERIFY(QTest::qWaitFor([&] { return log().contains(QStringLiteral("Accepting control")); }));
    retype(qobject_cast<QLineEdit*>(main("tbSCLKfreqdes")), QStringLiteral("20"));
    retype(qobject_cast<QLineEdit*>(main("tbCPLDdata(9)")), QStringLiteral("300"));  // corrected while typing
    click(main("cbCtrl(3)"));
    click(main("ob1Den(1)"));
    click(board.findChild<QCheckBox*>(QStringLiteral("faultRefuse(3)")));
    click(main("cbWritesettings"));
    click(board.findChild<QCheckBox*>(QStringLiteral("faultRefuse(3)")));
    auto* chipReg = board.findChild<QLineEdit*>(QStringLiteral("chipReg(4)"));
    retype(chipReg, QStringLiteral("3c"));
    QTest::keyClick(chipReg, Qt::Key_Return);

    click(main("cbShowi2c"));
    QVERIFY(QTest::qWaitFor([&] { return window.registerView() != nullptr && window.registerView()->isVisible(); }));
    glim::app::RegisterWindowView* registers = window.registerView();
    retype(registers->findChild<QLineEdit*>(QStringLiteral("tbI2Creg(3)")), QStringLiteral("77"));
    click(registers->findChild<QPushButton*>(QStringLiteral("cbWritei2c(3)")));
    registers->close();  // its close box
    QVERIFY(QTest::qWaitFor([&] { return window.registerView() == nullptr; }));

    person.willAnswer(setup);
    window.findChild<QAction*>(QStringLiteral("mFileSaveConfig"))->trigger();
    QVERIFY(QFile::exists(setup));
    retype(qobject_cast<QLineEdit*>(main("tbSCLKfreqdes")), QStringLiteral("5"));
    person.willAnswer(setup);
    window.findChild<QAction*>(QStringLiteral("mFileLoadConfig"))->trigger();
    click(main("cbQuit"));  // ends the recording too
    QVERIFY(!window.recorder().recording());
    const QStringList inWindow = stateOf(program, sim);

    std::ifstream recorded(QFile::encodeName(script).toStdString());
    std::stringstream text;
    text << recorded.rdbuf();
    // Typing is one line a keystroke; the dialog's answer comes before its click.
    const QString lines = QString::fromStdString(text.str());
    for (const char* expected :
         {"board attach\n", "set tbSCLKfreqdes 2\nset tbSCLKfreqdes 20\n", "board fail transfer 3\n", "board ok\n",
          "board reg 4 3C\n", "set Glimmora_i2c.tbI2Creg(3) 77\nclick Glimmora_i2c.cbWritei2c(3)\nclose Glimmora_i2c\n",
          "\nanswer " /* setup */, "\nclick mFileSaveConfig\n", "click cbQuit\n"}) {
      QVERIFY2(lines.contains(QLatin1String(expected)), qPrintable(lines));
    }
    // The file lies beside the recording: the answer is relative to it.
    QVERIFY(lines.indexOf(QStringLiteral("answer setup.txt\nclick mFileLoadConfig")) > 0);

    auto replayDriver = std::make_unique<SimDriver>();
    SimDriver& replaySim = *replayDriver;
    std::ostringstream out;
    std::ostringstream err;
    glim::script::ScriptRunner runner(std::move(replayDriver), &replaySim, out, err);
    runner.setScriptFolder(QDir(dir.path()).filePath(QString()).toStdString() + "/");
    text.seekg(0);
    QCOMPARE(runner.run(text), int(glim::script::kExitOk));
    QVERIFY2(err.str().find("error") == std::string::npos, err.str().c_str());
    QCOMPARE(stateOf(runner.program(), replaySim), inWindow);
  }

  // Recorded into a .py file, the session is a pytest test: the same steps
  // through the Python module's calls, then asserts on what the recording
  // changed in the windows. It passes on the simulated board, and fails,
  // naming the box, when the chip holds another value.
  void recordedAsAPytestTest() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString test = dir.filePath(QStringLiteral("test_read back.py"));
    Windows w;
    SimDriver& sim = w.sim;
    glim::app::MainWindow& window = w.window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const auto log = [&w] { return w.log(); };
    sim.plug();  // as the plugin's session has it: one board, held
    QVERIFY(QTest::qWaitFor([&] { return log().contains(QStringLiteral("Accepting control")); }));
    const auto main = [&](const char* name) { return window.findChild<QWidget*>(QLatin1String(name)); };

    QCOMPARE(window.startRecording(test), glim::text::Outcome());
    retype(qobject_cast<QLineEdit*>(main("tbSCLKfreqdes")), QStringLiteral("20"));
    click(main("cbWritesettings"));
    click(main("cbShowi2c"));
    QVERIFY(QTest::qWaitFor([&] { return window.registerView() != nullptr && window.registerView()->isVisible(); }));
    click(window.registerView()->findChild<QPushButton*>(QStringLiteral("cbReadall")));
    window.stopRecording();

    QFile file(test);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char* line :
         {"\ndef test_read_back(glimmora_session):\n    s = glimmora_session\n", "\n    s.run(\"board plugged 1\")\n",
          "\n    s.sim.ok()\n", "\n    s.set(\"tbSCLKfreqdes\", \"20\")\n    s.click(\"cbWritesettings\")\n",
          "\n    assert s.text(\"tbSCLKfreqact\") == \"20.000\", \"tbSCLKfreqact\"\n",
          "\n    assert s.text(\"Glimmora_i2c.tbI2Cregread(3)\") == \"B8\", \"Glimmora_i2c.tbI2Cregread(3)\"\n",
          "\n    assert s.text(\"Glimmora_i2c.lblStatus\") == \"Read All: 22 read\", \"Glimmora_i2c.lblStatus\"\n"}) {
      QVERIFY2(text.contains(QLatin1String(line)), line);
    }
    // What the recording did not change is not compared: the replay starts
    // with other read boxes and status lines than the recording did.
    QVERIFY2(!text.contains(QStringLiteral("tbSICclkfreqact")), qPrintable(text));
#ifndef GLIMMORA_PYTHON
    QSKIP("the Python module is not built");
#else
    const auto pytest = [&dir](const QString& file) {
      QProcess run;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert(QStringLiteral("PYTHONPATH"), QStringLiteral(GLIMMORA_PYTHON_DIR));
      env.insert(QStringLiteral("PYTHONDONTWRITEBYTECODE"), QStringLiteral("1"));
      env.insert(QStringLiteral("XDG_STATE_HOME"), dir.filePath(QStringLiteral("state")));
      run.setProcessEnvironment(env);
      run.setWorkingDirectory(dir.path());
      run.setProcessChannelMode(QProcess::MergedChannels);
      run.start(
          QStringLiteral(GLIMMORA_PYTHON),
          {QStringLiteral("-m"), QStringLiteral("pytest"), QStringLiteral("-q"), QStringLiteral("-p"),
           QStringLiteral("no:cacheprovider"), QStringLiteral("-p"), QStringLiteral("glimmora.pytest_plugin"), file});
      run.waitForFinished(120000);
      return std::pair{run.exitCode(), QString::fromUtf8(run.readAll())};
    };
    const auto [passed, passedOut] = pytest(test);
    QVERIFY2(passed == 0, qPrintable(passedOut));
    // The chip now holds another value in register 3.
    QString changed = text;
    changed.replace(QStringLiteral("    s = glimmora_session\n"),
                    QStringLiteral("    s = glimmora_session\n    s.sim.set_reg(3, 0x5C)\n"));
    QFile other(dir.filePath(QStringLiteral("test_changed.py")));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write(changed.toUtf8());
    other.close();
    const auto [failed, failedOut] = pytest(other.fileName());
    QCOMPARE(failed, 1);
    QVERIFY2(failedOut.contains(QStringLiteral("AssertionError: Glimmora_i2c.tbI2Cregread(3)")), qPrintable(failedOut));
    QVERIFY2(failedOut.contains(QStringLiteral("1 failed")), qPrintable(failedOut));
#endif
  }

  // A recording started mid-session, with a board held and a register
  // watched, is played back into the same window: the file carries the
  // windows' state, and playing it leaves the window as it was (no second
  // board, the watch still on), as a new program that played it would be.
  void recordingPlayedIntoTheRunningWindow() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("mid.gls"));
    glim::app::QtUiHost ui;
    auto driver = std::make_unique<SimDriver>();
    SimDriver& sim = *driver;
    glim::shell::Program program(glim::usb::DriverAndBench{std::move(driver), &sim}, ui);
    glim::app::MainWindow window(program, &ui);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const auto log = [&] { return QString::fromStdString(program.main.txtLog.text()); };
    sim.plug();
    QVERIFY(QTest::qWaitFor([&] { return log().contains(QStringLiteral("Accepting control")); }));
    click(window.findChild<QWidget*>(QStringLiteral("cbCtrl(3)")));
    click(window.findChild<QWidget*>(QStringLiteral("cbShowi2c")));
    QVERIFY(QTest::qWaitFor([&] { return window.registerView() != nullptr && window.registerView()->isVisible(); }));
    click(window.registerView()->findChild<QCheckBox*>(QStringLiteral("cbWatch(2)")));
    QCOMPARE(program.main.i2cWindow.get().cbWatch[2].value(), 1);

    QCOMPARE(window.startRecording(script), glim::text::Outcome());
    window.stopRecording();
    QFile file(script);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    for (const char* line : {"\nboard plugged 1\n", "\nclick cbShowi2c\n", "\nset Glimmora_i2c.cbWatch(2) 1\n"}) {
      QVERIFY2(text.contains(QLatin1String(line)), qPrintable(text));
    }
    const auto controls = [&] {
      QStringList shown = stateOf(program, sim);
      // Packets (the watch reads on) and the status line (which tells of the
      // recording, then of the script) are not the windows' state.
      shown.removeIf([](const QString& line) {
        return line.startsWith(QStringLiteral("board ")) || line.startsWith(QStringLiteral("lblStatus "));
      });
      return shown;
    };
    const QStringList before = controls();

    std::ostringstream out;
    std::ostringstream err;
    QVERIFY(window.runScript(script, &out, &err).ok());
    QVERIFY(QTest::qWaitFor([&] { return !window.scriptPlayer()->running(); }, 20000));
    QVERIFY2(err.str().empty(), err.str().c_str());
    QCOMPARE(sim.pluggedBoards().size(), std::size_t{1});
    QCOMPARE(program.main.i2cWindow.get().cbWatch[2].value(), 1);
    QCOMPARE(controls(), before);
  }
};

QTEST_MAIN(ScriptRecordTest)
#include "script_record_test.moc"
