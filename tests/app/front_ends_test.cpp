// The window and glimmora-cli are two front ends of one program: the same user
// actions through either give the same control texts, log and packets.
#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_fixture.h"
#include "script/control_actions.h"
#include "script/script_runner.h"
#include "support/program_state.h"
#include "text/hex_text.h"
#include "usb/sim/sim_driver.h"

using glim::testing::AppFixture;

namespace {

struct Action {
  const char* verb;  // "type" or "click"
  const char* control;
  const char* text = "";
};

using glim::testing::stateOf;

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
    glim::script::ScriptRunner runner(std::move(driver), sim, out, err);
    std::istringstream in(script);
    if (runner.run(in) != glim::script::kExitOk)
      return {QStringLiteral("script failed: ") + QString::fromStdString(err.str())};
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
    QTest::newRow("same text typed again") << std::vector<Action>{{"type", "tbSTVfreqdes", "5"},
                                                                  {"type", "tbCPLDdata(6)", "1"},
                                                                  {"type", "tbSTVfreqdes", "5"},
                                                                  {"click", "cbWritesettings"}};
    QTest::newRow("range check while typing") << std::vector<Action>{
        {"type", "tbCPLDdata(9)", "300"}, {"type", "tbCPLDdata(0)", "0"}, {"click", "cbWritesettings"}};
    QTest::newRow("enable bits and lines")
        << std::vector<Action>{{"click", "cbCtrl(0)"}, {"click", "cbCtrl(0)"},  {"click", "cbCtrl(3)"},
                               {"click", "ob1Den(1)"}, {"click", "obShutb(0)"}, {"click", "cbWritesettings"}};
    QTest::newRow("desired values and copies") << std::vector<Action>{
        {"type", "tbSCLKfreqdes", "20"}, {"type", "tbSICclkfreqdes", "7.5"}, {"click", "cbCopysic"},
        {"click", "cbCopyser"},          {"click", "cmdClearLog"},           {"click", "cbWritesettings"}};
  }
  void sameActionsSameOutcome() {
    QFETCH(std::vector<Action>, actions);
    const QStringList script = throughScript(actions);
    const QStringList window = throughWindow(actions);
    QVERIFY(!script.filter(QStringLiteral("board 1 out")).isEmpty());
    QCOMPARE(window, script);
  }
};

QTEST_MAIN(FrontEndsTest)
#include "front_ends_test.moc"
