// How long watching holds the window: all 22 registers watched every 50 ms,
// with the board answering and with its answer pipe hanging. A 1 ms timer
// ticks on the event loop meanwhile; the longest gap between its ticks is the
// longest time the window processed no events. Prints the figures; a
// benchmark, not a test, as they depend on the machine and its load.
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

#include "app/app_fixture.h"
#include "i2c/register_form.h"
#include "usb/bench.h"

using glim::testing::AppFixture;

namespace {
struct Stalls {
  double longestMs = 0;
  int over20Ms = 0;  // gaps of more than 20 ms
  std::size_t transfers = 0;
};
}  // namespace

class WatchStallBench : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<AppFixture> f;

  // Watches all 22 registers every 50 ms for `ms`, with `faults` on the
  // board, and measures the gaps between the event loop's turns.
  Stalls watchFor(int ms, const glim::usb::Faults& faults) {
    f->sim.plug();
    f->main().cbShowi2c.click();
    glim::i2c::RegisterForm& form = f->main().i2cWindow.get();
    f->sim.sim->setFaults(faults);
    const std::size_t before = f->sim.transfers.size();
    f->sim.program->dispatcher.runHandler([&] {
      form.tbWatchms.setText("50");
      for (int i = 0; i < form.cbWatch.size(); ++i) form.cbWatch[i].userClick();
    });
    Stalls stalls;
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticks;
    ticks.setInterval(1);
    QObject::connect(&ticks, &QTimer::timeout, [&] {
      const double gap = static_cast<double>(sinceTick.nsecsElapsed()) / 1e6;
      sinceTick.restart();
      stalls.longestMs = std::max(stalls.longestMs, gap);
      if (gap > 20) ++stalls.over20Ms;
    });
    ticks.start();
    QTest::qWait(ms);
    ticks.stop();
    stalls.transfers = f->sim.transfers.size() - before;
    return stalls;
  }

 private slots:
  void initTestCase() { QVERIFY(glim::testing::fontsAvailable()); }
  void init() {
    f = std::make_unique<AppFixture>();
    QVERIFY(f->showActive());
  }
  void cleanup() { f.reset(); }

  void answering() {
    const Stalls s = watchFor(3000, {});
    QVERIFY2(s.transfers > 100, "watching did not run");
    qInfo(
        "22 registers watched every 50 ms, the board answering: longest stall %.1f ms, %d over 20 ms in 3 s "
        "(%zu transfers)",
        s.longestMs, s.over20Ms, s.transfers);
  }

  void answerPipeHanging() {
    glim::usb::Faults hanging;
    hanging.hangPipes = {{0x82, 0}};
    const Stalls s = watchFor(3000, hanging);
    qInfo(
        "22 registers watched every 50 ms, the answer pipe hanging: longest stall %.1f ms, %d over 20 ms in 3 s "
        "(%zu transfers)",
        s.longestMs, s.over20Ms, s.transfers);
  }
};

QTEST_MAIN(WatchStallBench)
#include "watch_stall_bench.moc"
