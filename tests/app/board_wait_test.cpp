// Waiting for the board with the window alive: the dialog, Cancel, unplug,
// and input held back meanwhile (the simulated board hangs a pipe).
#include <sys/resource.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/app_fixture.h"
#include "app/register_window_view.h"

using glim::testing::AppFixture;

namespace {

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A widget that counts its paints (asked for every 10 ms, as an animation
// would).
class PaintCounter : public QWidget {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent*) override {
    ++paints;
    QPainter(this).fillRect(rect(), paints % 2 != 0 ? Qt::white : Qt::gray);
  }
};

// Runs `step` every 10 ms while the test's handler waits, until it says done.
void during(const std::function<bool()>& step) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, step] {
    if (step()) timer->deleteLater();
  });
  timer->start();
}

}  // namespace

class BoardWaitTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<AppFixture> f;

  glim::app::BoardWaitHost& host() { return f->window->waitHost(); }
  void hang(uint32_t pipe) {
    glim::usb::sim::Faults faults;
    faults.hangPipes[pipe] = 0;
    f->sim.sim->setFaults(faults);
  }

 private slots:
  void initTestCase() { QVERIFY(glim::testing::fontsAvailable()); }
  void init() {
    f = std::make_unique<AppFixture>();
    QVERIFY(f->showActive());
    f->sim.plug();
    QVERIFY(f->main().link.DeviceConnected != 0);
    f->main().link.transferTimeoutMs = 8000;
  }
  void cleanup() { f.reset(); }

  void readAllCancelledFromTheDialogStopsTheBatch() {
    QTest::mouseClick(f->find<QPushButton>("cbShowi2c"), Qt::LeftButton);
    auto* readAll = f->window->registerView()->findChild<QPushButton*>(QStringLiteral("cbReadall"));
    QVERIFY(readAll != nullptr);
    hang(130);
    f->main().cmdClearLog.click();
    f->sim.transfers.clear();

    PaintCounter probe;
    probe.resize(50, 50);
    QElapsedTimer clock;
    qint64 dialogAt = -1;
    qint64 cancelledAt = -1;
    QString what;
    QString left;
    double idleCpu = -1;
    double paintsPerSecond = -1;
    int stage = 0;
    double cpuStart = 0;
    qint64 stageStart = 0;
    during([&] {
      glim::app::BoardWaitDialog* dialog = host().dialog();
      if (stage == 0 && dialog != nullptr && dialog->isVisible()) {
        dialogAt = clock.elapsed();
        what = dialog->findChild<QLabel*>(QStringLiteral("waitWhat"))->text();
        left = dialog->findChild<QLabel*>(QStringLiteral("waitSecondsLeft"))->text();
        // Input to the program's other windows is held back meanwhile.
        QTest::mouseClick(readAll, Qt::LeftButton);
        stage = 1;
        cpuStart = cpuSeconds();
        stageStart = clock.elapsed();
      } else if (stage == 1 && clock.elapsed() - stageStart >= 1000) {
        idleCpu = (cpuSeconds() - cpuStart) / static_cast<double>(clock.elapsed() - stageStart) * 1000.0;
        probe.show();
        probe.paints = 0;
        stage = 2;
        stageStart = clock.elapsed();
      } else if (stage == 2 && clock.elapsed() - stageStart < 500) {
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
    QTest::mouseClick(readAll, Qt::LeftButton);
    const qint64 endedAt = clock.elapsed();

    qInfo("dialog after %lld ms; idle wait %.2f %% of a core; %.0f repaints/s; Esc to end %lld ms", dialogAt,
          idleCpu * 100, paintsPerSecond, endedAt - cancelledAt);
    QVERIFY(dialogAt >= 400);
    QCOMPARE(what, QStringLiteral("Reading 0x00 (1 of 22)"));
    QCOMPARE(left, QStringLiteral("8 s left before the time-out"));
    QVERIFY(idleCpu < 0.02);
    QVERIFY(paintsPerSecond >= 30);
    QVERIFY(endedAt - cancelledAt < 50);
    QVERIFY(host().dialog() == nullptr);

    // One request, one cancelled read, nothing after: the batch stopped.
    QCOMPARE(f->sim.transfers.size(), std::size_t{2});
    QCOMPARE(f->sim.transfers[1].status, glim::usb::kCancelled);
    QCOMPARE(QString::fromStdString(f->sim.log()),
             QStringLiteral("ReadPipe: WDU_Transfer() failed: error &H20000012 (The transfer was cancelled)\r\n"
                            "Read Pipe failed\r\n"));
    QCOMPARE(f->main().i2cWindow.get().lblStatus.caption(), std::string("Read All: cancelled at 0x00 (0 read)"));
    // The next handler talks to the board again.
    f->sim.sim->clearFaults();
    QTest::mouseClick(f->window->registerView()->findChild<QPushButton*>(QStringLiteral("cbReadi2c(3)")),
                      Qt::LeftButton);
    QCOMPARE(f->main().i2cWindow.get().tbI2Cregread[3].text(), std::string("B8"));
  }

  void unplugEndsTheWaitAndClosesTheDialog() {
    hang(1);
    qint64 unpluggedAt = -1;
    QElapsedTimer clock;
    during([&] {
      if (host().dialog() == nullptr) return false;
      unpluggedAt = clock.elapsed();
      f->sim.sim->unplug(1);
      return true;
    });
    clock.start();
    QTest::mouseClick(f->find<QPushButton>("cbWritesettings"), Qt::LeftButton);
    const qint64 endedAt = clock.elapsed();
    qInfo("unplug to the end of the wait: %lld ms", endedAt - unpluggedAt);
    QVERIFY(unpluggedAt >= 400);
    QVERIFY(endedAt - unpluggedAt < 50);
    QVERIFY(host().dialog() == nullptr);
    QVERIFY(f->sim.log().find("WritePipe: WDU_Transfer() failed: error &H20000002") != std::string::npos);
    // The detach waited for the handler's end, and came right after it.
    QTRY_VERIFY(f->main().link.DeviceConnected == 0);
  }
};

QTEST_MAIN(BoardWaitTest)
#include "board_wait_test.moc"
