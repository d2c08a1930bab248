// How fast the view keeps up: one keystroke in tbSCLKfreqdes with its whole
// chain of nested handlers, and log appends that must not slow down as the
// log grows. Prints the figures it measures; a benchmark, not a test, as the
// figures depend on the machine and its load.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <ctime>
#include <memory>
#include <vector>

#include "app/app_fixture.h"
#include "app/register_window_view.h"
#include "i2c/register_form.h"

using glim::testing::AppFixture;

namespace {
struct Figures {
  double medianMicros;
  double meanMicros;
};
Figures summarise(std::vector<qint64> nanos) {
  std::sort(nanos.begin(), nanos.end());
  double sum = 0;
  for (qint64 n : nanos) sum += static_cast<double>(n);
  return {static_cast<double>(nanos[nanos.size() / 2]) / 1e3, sum / static_cast<double>(nanos.size()) / 1e3};
}
}  // namespace

class ViewSpeedBench : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<AppFixture> f;

  // Milliseconds for `count` more entries.
  double appendMillis(int count) {
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) f->main().log.logMessage("DeviceAttach: Received attach for device handle &H1000");
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
  }

 private slots:
  void initTestCase() { QVERIFY(glim::testing::fontsAvailable()); }
  void init() {
    f = std::make_unique<AppFixture>();
    QVERIFY(f->showActive());
  }
  void cleanup() { f.reset(); }

  // Alternately adds a digit and takes it away (20 kHz <-> 200 kHz): every
  // keystroke changes the desired SCLK and runs the divider cells, their
  // range checks and the displays, each shown by its widget.
  void keystrokeInDesiredSclk() {
    constexpr int kKeystrokes = 400;
    auto* box = f->find<QLineEdit>("tbSCLKfreqdes");
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("20"));
    std::vector<qint64> view;
    QElapsedTimer clock;
    for (int i = 0; i < kKeystrokes; ++i) {
      clock.start();
      QTest::keyClick(box, i % 2 == 0 ? Qt::Key_0 : Qt::Key_Backspace);
      view.push_back(clock.nsecsElapsed());
      if (i == 0) QCOMPARE(f->find<QLineEdit>("tbCPLDdata(9)")->text(), QStringLiteral("124"));
    }
    QCOMPARE(box->text(), QStringLiteral("20"));
    QCOMPARE(f->find<QLineEdit>("tbCPLDdata(9)")->text(), QStringLiteral("225"));
    QCOMPARE(f->firstStaleBox(), QString());

    // The same changes in the core alone, for comparison.
    glim::forms::TextBox& core = f->main().timing.tbSCLKfreqdes;
    std::vector<qint64> coreOnly;
    for (int i = 0; i < kKeystrokes; ++i) {
      const std::string text = i % 2 == 0 ? "200" : "20";
      clock.start();
      f->sim.program->dispatcher.runHandler([&] { core.setText(text); });
      coreOnly.push_back(clock.nsecsElapsed());
    }
    const Figures v = summarise(view);
    const Figures c = summarise(coreOnly);
    qInfo("keystroke in tbSCLKfreqdes through the view: median %.1f us, mean %.1f us", v.medianMicros, v.meanMicros);
    qInfo("the same change with every widget following: median %.1f us, mean %.1f us", c.medianMicros, c.meanMicros);
  }

  // A register's write box with its row selected: every keystroke also sets
  // the bits panel's toggles, field choices and read marks.
  void keystrokeInASelectedRegister() {
    constexpr int kKeystrokes = 400;
    f->main().cbShowi2c.click();
    QWidget* registers = f->window->registerView();
    QVERIFY(registers != nullptr && QTest::qWaitForWindowActive(registers));
    auto* box = registers->findChild<QLineEdit*>(QStringLiteral("tbI2Creg(1)"));
    QTest::mouseClick(box, Qt::LeftButton);
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("5"));
    std::vector<qint64> view;
    QElapsedTimer clock;
    for (int i = 0; i < kKeystrokes; ++i) {
      clock.start();
      QTest::keyClick(box, i % 2 == 0 ? Qt::Key_A : Qt::Key_Backspace);  // 5A <-> 5
      view.push_back(clock.nsecsElapsed());
    }
    QCOMPARE(box->text(), QStringLiteral("5"));
    QVERIFY(registers->findChild<QWidget*>(QStringLiteral("bitsWrite2"))->property("checked").toBool());
    const Figures v = summarise(view);
    qInfo("keystroke in a selected register's write box, bits panel following: median %.1f us, mean %.1f us",
          v.medianMicros, v.meanMicros);
  }

  // All 22 registers watched every 50 ms, on the event loop as the window
  // runs it: the share of a core the process spends meanwhile (watch reads,
  // read boxes and marks shown), and a keystroke in tbSCLKfreqdes between
  // rounds.
  void keystrokeWhileWatching() {
    f->sim.plug();
    f->main().cbShowi2c.click();
    QWidget* registers = f->window->registerView();
    QVERIFY(registers != nullptr && QTest::qWaitForWindowActive(registers));
    glim::i2c::RegisterForm& form = f->main().i2cWindow.get();
    f->sim.program->dispatcher.runHandler([&] {
      form.tbWatchms.setText("50");
      for (int i = 0; i < form.cbWatch.size(); ++i) form.cbWatch[i].userClick();
    });
    const auto transfers = [&] { return f->sim.transfers.size(); };
    const std::size_t before = transfers();
    const std::clock_t cpuStart = std::clock();
    QElapsedTimer wall;
    wall.start();
    QTest::qWait(2000);
    const double cpuShare = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC * 1e3 /
                            static_cast<double>(wall.elapsed()) * 100.0;
    const double rounds = static_cast<double>(transfers() - before) / 44.0;
    QVERIFY2(rounds >= 20, "watching did not run");

    auto* box = f->find<QLineEdit>("tbSCLKfreqdes");
    f->window->activateWindow();
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("20"));
    // Keystrokes with the event loop run between them (watch rounds come
    // there when due): back to back, and 5 ms apart as typed, when painting
    // between them leaves the caches cold whether or not anything is watched.
    const auto typed = [&](int apartMs) {
      constexpr int kKeystrokes = 400;
      std::vector<qint64> view;
      QElapsedTimer clock;
      for (int i = 0; i < kKeystrokes; ++i) {
        if (apartMs == 0) {
          QCoreApplication::processEvents();
        } else {
          QTest::qWait(apartMs);
        }
        clock.start();
        QTest::keyClick(box, i % 2 == 0 ? Qt::Key_0 : Qt::Key_Backspace);
        view.push_back(clock.nsecsElapsed());
      }
      return summarise(view);
    };
    const std::size_t watched = transfers();
    const Figures close = typed(0);
    const Figures apart = typed(5);
    QVERIFY2(transfers() > watched, "watching stopped");
    f->sim.program->dispatcher.runHandler([&] {
      for (int i = 0; i < form.cbWatch.size(); ++i) form.cbWatch[i].userClick();
    });
    const Figures closePlain = typed(0);
    const Figures apartPlain = typed(5);
    QCOMPARE(box->text(), QStringLiteral("20"));
    qInfo("watching 22 registers every 50 ms: %.1f rounds a second, %.2f %% of a core for the whole process",
          rounds / 2.0, cpuShare);
    qInfo("keystroke in tbSCLKfreqdes, back to back: median %.1f us watching, %.1f us not", close.medianMicros,
          closePlain.medianMicros);
    qInfo("keystroke in tbSCLKfreqdes, 5 ms apart: median %.1f us watching, %.1f us not", apart.medianMicros,
          apartPlain.medianMicros);
  }

  // An append costs the same on a long log as on a short one: the pane
  // takes only the new part.
  void logAppendsDoNotSlowDownAsTheLogGrows() {
    double early = 1e9;
    double late = 1e9;
    for (int run = 0; run < 2; ++run) {
      f->main().cmdClearLog.click();
      early = std::min(early, appendMillis(2000));
      appendMillis(16000);
      late = std::min(late, appendMillis(2000));
    }
    qInfo("2,000 log appends through the view: %.1f ms on an empty log, %.1f ms after 18,000 entries", early, late);
  }
};

QTEST_MAIN(ViewSpeedBench)
#include "view_speed_bench.moc"
