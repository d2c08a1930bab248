// The window and glimmora-cli are two front ends of one program: the same user
// actions through either give the same control texts, log and packets.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_fixture.h"
#include "app/qt_ui_host.h"
#include "cli/control_actions.h"
#include "cli/script_runner.h"
#include "forms/ui_host.h"
#include "text/hex_text.h"
#include "usb/sim/sim_driver.h"

using glim::testing::AppFixture;

namespace {

struct Action {
  const char* verb;  // "type" or "click"
  const char* control;
  const char* text = "";
};

// Every control of the main window as `print` shows it, then every packet the
// board saw.
QStringList stateOf(glim::shell::Program& program, const glim::usb::sim::SimDriver& sim) {
  QStringList state;
  for (const glim::forms::Control* c : program.main.form.controls()) {
    state << QString::fromStdString(glim::cli::printLine(c->qualifiedName(), glim::cli::shownValue(*c)));
  }
  for (const glim::usb::sim::PacketTraceEntry& p : sim.trace()) {
    state << QStringLiteral("board %1 %2 %3: %4 [%5]")
                 .arg(p.board)
                 .arg(p.in ? "in" : "out")
                 .arg(p.pipe)
                 .arg(QString::fromStdString(glim::text::hexBytes(p.bytes)))
                 .arg(p.status);
  }
  return state;
}

}  // namespace

Q_DECLARE_METATYPE(std::vector<Action>)

class FrontEndsTest : public QObject {
  Q_OBJECT

 private:
  // The actions as a script: a board plugged in first, "Quit" at the end.
  static QStringList throughScript(const std::vector<Action>& actions) {
    std::string script = "board attach\n";
    for (const Action& a : actions) script += std::string(a.verb) + ' ' + a.control + ' ' + a.text + '\n';
    auto driver = std::make_unique<glim::usb::sim::SimDriver>();
    glim::usb::sim::SimDriver* sim = driver.get();
    std::ostringstream out;
    std::ostringstream err;
    glim::cli::ScriptRunner runner(std::move(driver), sim, out, err);
    std::istringstream in(script);
    if (runner.run(in) != glim::cli::kExitOk) return {QStringLiteral("script failed: ") + QString::fromStdString(err.str())};
    return stateOf(runner.program(), *sim);
  }

  // The same actions as keystrokes and clicks in the window.
  static QStringList throughWindow(const std::vector<Action>& actions) {
    AppFixture f;
    if (!f.showActive()) return {QStringLiteral("window not active")};
    f.sim.plug();
    for (const Action& a : actions) {
      QWidget* w = f.find(a.control);
      if (w == nullptr) return {QStringLiteral("no widget ") + QLatin1String(a.control)};
      if (std::string_view(a.verb) == "type") {
        auto* edit = qobject_cast<QLineEdit*>(w);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromUtf8(a.text));
      } else {
        // On the box of a check box or option button; a button anywhere.
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
      }
      f.sim.settle();
    }
    QTest::mouseClick(f.find("cbQuit"), Qt::LeftButton);
    return stateOf(*f.sim.program, *f.sim.sim);
  }

 private slots:
  void initTestCase() { QVERIFY(glim::testing::fontsAvailable()); }

  void sameActionsSameOutcome_data() {
    QTest::addColumn<std::vector<Action>>("actions");
    // A keystroke that puts back the text a box holds still runs its handler:
    // here the desired STV frequency writes its cells again.
    QTest::newRow("same text typed again")
        << std::vector<Action>{{"type", "tbSTVfreqdes", "5"},
                               {"type", "tbCPLDdata(6)", "1"},
                               {"type", "tbSTVfreqdes", "5"},
                               {"click", "cbWritesettings"}};
    QTest::newRow("range check while typing")
        << std::vector<Action>{{"type", "tbCPLDdata(9)", "300"}, {"type", "tbCPLDdata(0)", "0"}, {"click", "cbWritesettings"}};
    QTest::newRow("enable bits and lines")
        << std::vector<Action>{{"click", "cbCtrl(0)"}, {"click", "cbCtrl(0)"}, {"click", "cbCtrl(3)"},
                               {"click", "ob1Den(1)"}, {"click", "obShutb(0)"}, {"click", "cbWritesettings"}};
    QTest::newRow("desired values and copies")
        << std::vector<Action>{{"type", "tbSCLKfreqdes", "20"},
                               {"type", "tbSICclkfreqdes", "7.5"},
                               {"click", "cbCopysic"},
                               {"click", "cbCopyser"},
                               {"click", "cmdClearLog"},
                               {"click", "cbWritesettings"}};
  }
  void sameActionsSameOutcome() {
    QFETCH(std::vector<Action>, actions);
    const QStringList script = throughScript(actions);
    const QStringList window = throughWindow(actions);
    QVERIFY(!script.filter(QStringLiteral("board 1 out")).isEmpty());
    QCOMPARE(window, script);
  }

  // A name typed into the real Qt save dialog comes back as the script
  // runner's `answer` with the same name does.
  void typedFileNameAsTheScriptRunnerTakesIt() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder.d")));
    glim::app::QtUiHost host;
    const glim::forms::FileDialogSetup setup{"txt", "Text File (*.txt) |*.txt | All Files (*.*)|*.*|",
                                             (dir.path() + QStringLiteral("/start")).toStdString()};
    for (const char* typed : {"setup", "my settings", "setup.cfg", "setup.", ".setup", "folder.d/setup"}) {
      bool typedIn = false;
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr || typedIn) return;
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (name == nullptr) return dialog->reject();
        typedIn = true;
        name->selectAll();
        QTest::keyClicks(name, QString::fromUtf8(typed));
        // The name completer's list would take the Return.
        if (name->completer() != nullptr) name->completer()->popup()->hide();
        QTest::keyClick(name, Qt::Key_Return);
      });
      poll.start(10);
      QTimer giveUp;  // a dialog that never takes the name must not hang the test
      giveUp.setSingleShot(true);
      QObject::connect(&giveUp, &QTimer::timeout, [] {
        if (QWidget* stuck = QApplication::activeModalWidget()) stuck->close();
      });
      giveUp.start(10000);
      const std::optional<std::string> chosen = host.fileDialog(glim::forms::FileDialogKind::Save, setup);
      QVERIFY2(typedIn, typed);
      QVERIFY2(chosen.has_value(), typed);
      const std::string asTyped = dir.path().toStdString() + '/' + typed;
      QCOMPARE(QString::fromStdString(*chosen), QString::fromStdString(glim::forms::withDefaultExtension(asTyped, "txt")));
    }
  }
};

QTEST_MAIN(FrontEndsTest)
#include "front_ends_test.moc"
