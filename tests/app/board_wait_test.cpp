// Waiting for the board with the window alive: the dialog, Cancel, unplug,
// and input held back meanwhile (the simulated board hangs a pipe).
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/register_window_view.h"
#include "app/wait_probe.h"

using glim::testing::during;
using glim::testing::hangPipe;
using glim::testing::PaintCounter;

class BoardWaitTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  glim::app::BoardWaitHost& host() { return f->window->waitHost(); }
 private slots:
  void init() {
    QVERIFY(start());
    f->sim.plug();
    QVERIFY(f->main().link.deviceConnected());
    f->main().link.setTransferTimeout(8000);
  }

  void readAllCancelledFromTheDialogStopsTheBatch() {
    QTest::mouseClick(f->find<QPushButton>("cbShowi2c"), Qt::LeftButton);
    auto* readAll = f->window->registerView()->findChild<QPushButton*>(QStringLiteral("cbReadall"));
    QVERIFY(readAll != nullptr);
    hangPipe(*f, 130);
    f->main().cmdClearLog.click();
    f->sim.transfers.clear();

    PaintCounter probe;
    probe.resize(50, 50);
    QElapsedTimer clock;
    qint64 dialogAt = -1;
    qint64 cancelledAt = -1;
    QString what;
    QString left;
    int stage = 0;
    during([&] {
      glim::app::BoardWaitDialog* dialog = host().dialog();
      if (stage == 0 && dialog != nullptr && dialog->isVisible()) {
        dialogAt = clock.elapsed();
        what = dialog->findChild<QLabel*>(QStringLiteral("waitWhat"))->text();
        left = dialog->findChild<QLabel*>(QStringLiteral("waitSecondsLeft"))->text();
        // Input to the program's other windows is held back meanwhile.
        QTest::mouseClick(readAll, Qt::LeftButton);
        probe.show();
        stage = 1;
      } else if (stage == 1 && probe.paints < 3) {
        probe.update();  // windows keep repainting while the handler waits
      } else if (stage == 1) {
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

    QVERIFY(dialogAt >= 400);
    QCOMPARE(what, QStringLiteral("Reading 0x00 (1 of 22)"));
    QCOMPARE(left, QStringLiteral("8 s left before the time-out"));
    QVERIFY(probe.paints >= 3);
    // Esc ended the wait, not the 8 s time-out.
    QVERIFY(cancelledAt > 0 && endedAt - cancelledAt < 4000);
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
    hangPipe(*f, 1);
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
    QVERIFY(unpluggedAt >= 400);
    QVERIFY(endedAt - unpluggedAt < 4000);  // the unplug ended it, not the time-out
    QVERIFY(host().dialog() == nullptr);
    QVERIFY(f->sim.log().find("WritePipe: WDU_Transfer() failed: error &H20000002") != std::string::npos);
    // The detach waited for the handler's end, and came right after it.
    QTRY_VERIFY(!f->main().link.deviceConnected());
  }
};

QTEST_MAIN(BoardWaitTest)
#include "board_wait_test.moc"
