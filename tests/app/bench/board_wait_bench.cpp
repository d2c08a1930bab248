// What waiting for a silent board costs: when the dialog comes, how much of a
// core the idle wait takes, how often the windows can repaint meanwhile, and
// how fast Esc or an unplug ends the wait. Prints the figures.
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/wait_probe.h"

using glim::testing::AppFixture;
using glim::testing::during;
using glim::testing::hangPipe;
using glim::testing::PaintCounter;

namespace {
double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
}  // namespace

class BoardWaitBench : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<AppFixture> f;

 private slots:
  void init() {
    f = std::make_unique<AppFixture>();
    QVERIFY(f->showActive());
    f->sim.plug();
    f->main().link.setTransferTimeout(30000);
  }
  void cleanup() { f.reset(); }

  void waitThenEsc() {
    hangPipe(*f, 1);
    PaintCounter probe;
    probe.resize(50, 50);
    QElapsedTimer clock;
    qint64 dialogAt = -1;
    qint64 cancelledAt = -1;
    double idleCpu = -1;
    double paintsPerSecond = -1;
    int stage = 0;
    double cpuStart = 0;
    qint64 stageStart = 0;
    auto& host = f->window->waitHost();
    during([&] {
      glim::app::BoardWaitDialog* dialog = host.dialog();
      if (stage == 0 && dialog != nullptr && dialog->isVisible()) {
        dialogAt = clock.elapsed();
        stage = 1;
        cpuStart = cpuSeconds();
        stageStart = clock.elapsed();
      } else if (stage == 1 && clock.elapsed() - stageStart >= 2000) {
        idleCpu = (cpuSeconds() - cpuStart) / static_cast<double>(clock.elapsed() - stageStart) * 1000.0;
        probe.show();
        probe.paints = 0;
        stage = 2;
        stageStart = clock.elapsed();
      } else if (stage == 2 && clock.elapsed() - stageStart < 1000) {
        probe.update();
      } else if (stage == 2) {
        paintsPerSecond = probe.paints * 1000.0 / static_cast<double>(clock.elapsed() - stageStart);
        probe.hide();
        cancelledAt = clock.elapsed();
        QTest::keyClick(dialog, Qt::Key_Escape);
        return true;
      }
      return false;
    });
    clock.start();
    QTest::mouseClick(f->find<QPushButton>("cbWritesettings"), Qt::LeftButton);
    qInfo(
        "dialog after %lld ms; idle wait %.2f %% of a core (with a 10 ms probe timer); "
        "%.0f repaints/s of 100 asked; Esc to the end of the wait %lld ms",
        dialogAt, idleCpu * 100, paintsPerSecond, clock.elapsed() - cancelledAt);
  }

  void waitThenUnplug() {
    hangPipe(*f, 1);
    QElapsedTimer clock;
    qint64 unpluggedAt = -1;
    auto& host = f->window->waitHost();
    during([&] {
      if (host.dialog() == nullptr) return false;
      unpluggedAt = clock.elapsed();
      f->sim.sim->unplug(1);
      return true;
    });
    clock.start();
    QTest::mouseClick(f->find<QPushButton>("cbWritesettings"), Qt::LeftButton);
    qInfo("unplug to the end of the wait: %lld ms", clock.elapsed() - unpluggedAt);
  }
};

QTEST_MAIN(BoardWaitBench)
#include "board_wait_bench.moc"
