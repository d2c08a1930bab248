// The "Simulated board" window: a person plays the hardware from it, and sees
// what the program sent, through the program's real windows on the simulated
// layer.
#include "app/sim_board_window.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <array>
#include <cmath>
#include <limits>
#include <memory>

#include "app/app_fixture.h"
#include "app/register_window_view.h"
#include "app/sim_board_text.h"
#include "i2c/register_form.h"
#include "usb/sim/timing_decode.h"

using glim::app::SimBoardWindow;
using glim::testing::AppFixture;
namespace simtext = glim::app::simtext;

using glim::testing::indexed;

namespace {
QString hex(uint8_t b) { return QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper(); }
}  // namespace

class SimBoardWindowTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  std::unique_ptr<SimBoardWindow> board;

  glim::usb::sim::SimDriver& sim() { return *f->sim.sim; }
  QString log() const { return QString::fromStdString(f->sim.log()); }

  template <typename W = QWidget>
  W* part(const QString& name) const {
    W* w = board->findChild<W*>(name);
    if (w == nullptr) qWarning("no %s in the board window", qPrintable(name));
    return w;
  }
  template <typename W = QWidget>
  W* part(const char* name) const {
    return part<W>(QLatin1String(name));
  }
  void click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
  // On its box: a check box wider than its text takes no clicks at its centre.
  void click(QCheckBox* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2)); }
  void clickMain(const char* name) { click(f->find<QWidget>(name)); }
  // The program has taken the board plugged in from the window.
  bool plugFromWindow() {
    click(part<QPushButton>("plug"));
    return QTest::qWaitFor([&] { return log().contains(QStringLiteral("DeviceAttach: Accepting control")); });
  }
  void retype(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
    QTest::keyClick(box, Qt::Key_Return);
  }
  QStringList traceLines() const { return part<QPlainTextEdit>("trace")->toPlainText().split(QLatin1Char('\n')); }

 private slots:
  void init() {
    f = std::make_unique<AppFixture>();
    // Before the main window opens the driver: the layer takes its listener then.
    board = std::make_unique<SimBoardWindow>(sim());
    board->show();
    QVERIFY(f->showActive());
  }
  void cleanup() {
    board.reset();
    f.reset();
  }

  void onlyForTheSimulatedLayer() {
    QVERIFY(SimBoardWindow::forProgram(*f->sim.program) != nullptr);
    QCOMPARE(board->windowTitle(), QStringLiteral("Simulated board"));
  }

  // Plugged from the window, the board is the program's; Write Settings
  // reaches it, and the window shows the bytes decoded, the lines and the trace.
  void plugThenWriteSettings() {
    QVERIFY(plugFromWindow());
    QVERIFY(part<QPushButton>(indexed("unplug", 1)) != nullptr);
    QCOMPARE(board->shownBoard(), 1);
    QCOMPARE(part<QLabel>("line1DEN")->text(), QStringLiteral("not set yet"));
    QCOMPARE(part<QLabel>(indexed("timingByte", 0))->text(), QStringLiteral("--"));

    clickMain("cbWritesettings");
    const glim::usb::BoardState state = sim().boardState(1);
    QVERIFY(state.timingWritten);
    const auto expected = simtext::decodedRows(glim::usb::sim::decodeTiming(state.timing));
    QTRY_COMPARE(part<QLabel>("decode.sclk")->text(), expected[2].value);
    for (const auto& row : expected) {
      QCOMPARE(part<QLabel>(QStringLiteral("decode.") + row.key)->text(), row.value);
    }
    for (int i = 0; i < 43; ++i) {
      auto* cell = part<QLabel>(indexed("timingByte", i));
      QCOMPARE(cell->text(), hex(state.timing[static_cast<std::size_t>(i)]));
      // Everything that is not zero changed from the never-written bytes.
      QCOMPARE(cell->property("changed").toBool(), state.timing[static_cast<std::size_t>(i)] != 0);
    }
    QCOMPARE(part<QLabel>("line1DEN")->text(), QStringLiteral("floating"));
    QCOMPARE(part<QLabel>("lineSHUTb")->text(), QStringLiteral("high"));

    // Pins then settings, in the order sent, with their bytes.
    const QStringList lines = traceLines();
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines[0].contains(QStringLiteral("board 1  out pipe 1: FE E3")), qPrintable(lines[0]));
    QVERIFY2(lines[1].contains(QStringLiteral("out pipe 3: 00 ") + hex(state.timing[0])), qPrintable(lines[1]));

    // A changed cell: only its byte (and what it means) stands out afterwards.
    f->main().timing.tbCPLDdata[5].setText("9");
    clickMain("cbWritesettings");
    QTRY_COMPARE(part<QLabel>(indexed("timingByte", 5))->text(), QStringLiteral("09"));
    for (int i = 0; i < 43; ++i) QCOMPARE(part<QLabel>(indexed("timingByte", i))->property("changed").toBool(), i == 5);
    QVERIFY(part<QLabel>("decode.stvPulse")->property("changed").toBool());
    QVERIFY(!part<QLabel>("decode.sclk")->property("changed").toBool());
    QCOMPARE(traceLines().size(), 4);
  }

  void controlLinesFollowTheOptions_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("oneDen");
    QTest::addColumn<QString>("shutb");
    QTest::newRow("1D EN low") << "ob1Den(0)"
                               << "driven low"
                               << "high";
    QTest::newRow("1D EN high") << "ob1Den(2)"
                                << "driven high"
                                << "high";
    QTest::newRow("SHUTb low") << "obShutb(0)"
                               << "floating"
                               << "low";
  }
  void controlLinesFollowTheOptions() {
    QFETCH(QString, option);
    QFETCH(QString, oneDen);
    QFETCH(QString, shutb);
    QVERIFY(plugFromWindow());
    click(f->window->findChild<QWidget*>(option));
    QTRY_COMPARE(part<QLabel>("line1DEN")->text(), oneDen);
    QCOMPARE(part<QLabel>("lineSHUTb")->text(), shutb);
  }

  // Each fault switch makes the next Write Settings fail as the program
  // reports it; "Clear all faults" ends them.
  void faultsReachTheLog_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("logged");
    QTest::newRow("device information") << "faultDeviceInfo"
                                        << "WritePipe: WDU_GetDeviceInfo() failed:";
    QTest::newRow("no pipes") << "faultNoPipes"
                              << "No pipes are defined for this device";
    QTest::newRow("refused") << "faultRefuse(1)"
                             << "WritePipe: WDU_Transfer() failed: error &H20000003";
    QTest::newRow("time-out") << "faultTimeout(3)"
                              << "WritePipe: WDU_Transfer() failed: error &H20000001";
  }
  void faultsReachTheLog() {
    QFETCH(QString, fault);
    QFETCH(QString, logged);
    QVERIFY(plugFromWindow());
    auto* check = part<QCheckBox>(fault);
    click(check);
    QVERIFY(check->isChecked());
    clickMain("cbWritesettings");
    QTRY_VERIFY2(log().contains(logged), qPrintable(log()));

    click(part<QPushButton>("faultsClear"));
    QVERIFY(!check->isChecked());
    const glim::usb::sim::Faults none = sim().faults();
    QVERIFY(!none.deviceInfoRefused && !none.noPipes && none.refusedPipes.empty() && none.timeoutPipes.empty());
    clickMain("cbWritesettings");
    QTRY_VERIFY(sim().boardState(1).timingWritten);
  }

  // A short answer on pipe 130 cuts the register read; faults set by the
  // layer's other users show in the window.
  void shortAnswerAndFaultsFromElsewhere() {
    QVERIFY(plugFromWindow());
    part<QSpinBox>(indexed("faultShortBytes", 130))->setValue(1);
    click(part<QCheckBox>(indexed("faultShort", 130)));
    QCOMPARE(sim().faults().shortPipes.at(0x82), 1u);
    part<QSpinBox>(indexed("faultShortBytes", 130))->setValue(0);
    QCOMPARE(sim().faults().shortPipes.at(0x82), 0u);

    glim::usb::sim::Faults faults;
    faults.refusedPipes = {2};
    faults.shortPipes = {{3, 7}};
    sim().setFaults(faults);
    QTRY_VERIFY(part<QCheckBox>(indexed("faultRefuse", 2))->isChecked());
    QVERIFY(part<QCheckBox>(indexed("faultShort", 3))->isChecked());
    QCOMPARE(part<QSpinBox>(indexed("faultShortBytes", 3))->value(), 7);
    QVERIFY(!part<QCheckBox>(indexed("faultShort", 130))->isChecked());
  }

  // A value typed into the window is what the chip answers next; a write from
  // the register window stands out in this one.
  void registersBothWays() {
    QVERIFY(plugFromWindow());
    clickMain("cbShowi2c");
    auto* view = f->window->registerView();
    QVERIFY(view != nullptr);
    for (int i = 0; i < 22; ++i) {
      QCOMPARE(part<QLabel>(indexed("chipRegName", i))->text(),
               QString::fromStdString(view->form()->Label1[i].caption()));
    }

    retype(part<QLineEdit>(indexed("chipReg", 2)), QStringLiteral("5c"));
    QCOMPARE(sim().boardState(1).registers[2], 0x5C);
    click(view->findChild<QPushButton*>(indexed("cbReadi2c", 2)));
    QTRY_COMPARE(view->findChild<QLineEdit*>(indexed("tbI2Cregread", 2))->text(), QStringLiteral("5C"));

    f->main().i2cWindow.existing()->tbI2Creg[0].setText("3A");
    click(view->findChild<QPushButton*>(indexed("cbWritei2c", 0)));
    auto* reg0 = part<QLineEdit>(indexed("chipReg", 0));
    QTRY_COMPARE(reg0->text(), QStringLiteral("3A"));
    QVERIFY(reg0->property("changed").toBool());
    QVERIFY(!part<QLineEdit>(indexed("chipReg", 2))->property("changed").toBool());
  }

  // A box the person is in stays theirs however often the window refreshes
  // (a watch every 50 ms, and the chip's value changing meanwhile): its
  // selection survives, what they type replaces it, and the board's value
  // shows again once they press Enter or leave the box.
  void aRegisterBoxKeepsItsEditThroughRefreshes() {
    QVERIFY(plugFromWindow());
    clickMain("cbShowi2c");
    QVERIFY(f->window->registerView() != nullptr);
    glim::i2c::RegisterForm& form = f->main().i2cWindow.get();
    f->sim.program->dispatcher.runHandler([&] {
      form.tbWatchms.setText("50");
      form.cbWatch[3].userClick();
    });
    const auto refreshed = [&] {
      const std::size_t before = f->sim.transfers.size();
      return QTest::qWaitFor([&] { return f->sim.transfers.size() >= before + 8; });
    };
    board->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(board.get()));
    auto* box = part<QLineEdit>(indexed("chipReg", 3));
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    const QString before = box->text();
    QCOMPARE(box->selectedText(), before);
    sim().setChipRegister(3, 0x42);
    QVERIFY(refreshed());
    QCOMPARE(box->text(), before);
    QCOMPARE(box->selectedText(), before);

    QTest::keyClicks(box, QStringLiteral("7"));
    QVERIFY(refreshed());
    QCOMPARE(box->text(), QStringLiteral("7"));
    QCOMPARE(box->cursorPosition(), 1);
    QTest::keyClicks(box, QStringLiteral("e"));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(sim().boardState(1).registers[3], 0x7E);
    QCOMPARE(box->text(), QStringLiteral("7E"));
    // After Enter the box follows the board again, focus or not.
    sim().setChipRegister(3, 0x42);
    QTRY_COMPARE(box->text(), QStringLiteral("42"));

    // Emptied and left: nothing is set, and the board's value comes back.
    auto* other = part<QLineEdit>(indexed("chipReg", 4));
    other->setFocus();
    other->selectAll();
    QTest::keyClick(other, Qt::Key_Backspace);
    sim().setChipRegister(4, 0x11);
    QVERIFY(refreshed());
    QCOMPARE(other->text(), QString());
    box->setFocus();
    QCOMPARE(other->text(), QStringLiteral("11"));
    QCOMPARE(sim().boardState(1).registers[4], 0x11);
  }

  // The program cannot tell the window's plugging from the layer's own calls
  // (the script runner's): the same steps log the same lines.
  void plugsLikeTheScriptRunner() {
    QVERIFY(plugFromWindow());
    clickMain("cbWritesettings");
    click(part<QPushButton>(indexed("unplug", 1)));
    QTRY_VERIFY(log().contains(QStringLiteral("DeviceDetach")));
    QTRY_VERIFY(board->findChild<QPushButton*>(indexed("unplug", 1)) == nullptr);
    QCOMPARE(board->shownBoard(), 0);
    const QString byWindow = log();

    cleanup();
    f = std::make_unique<AppFixture>();
    QVERIFY(f->showActive());
    f->sim.sim->plug();
    QTRY_VERIFY(log().contains(QStringLiteral("DeviceAttach: Accepting control")));
    clickMain("cbWritesettings");
    f->sim.sim->unplug(1);
    QTRY_VERIFY(log().contains(QStringLiteral("DeviceDetach")));
    QCOMPARE(log(), byWindow);
  }

  // With two boards, the window shows the one picked; the program keeps the first.
  void secondBoardShownOnRequest() {
    QVERIFY(plugFromWindow());
    click(part<QPushButton>("plug"));
    QTRY_VERIFY(log().contains(QStringLiteral("control is rejected")));
    QCOMPARE(board->shownBoard(), 2);
    clickMain("cbWritesettings");
    QTRY_COMPARE(traceLines().size(), 2);
    QCOMPARE(part<QLabel>(indexed("timingByte", 0))->text(), QStringLiteral("--"));
    click(part<QRadioButton>(indexed("showBoard", 1)));
    QCOMPARE(board->shownBoard(), 1);
    QVERIFY(part<QLabel>(indexed("timingByte", 0))->text() != QStringLiteral("--"));

    // The board shown unplugged: the first board left is shown, not the newest.
    click(part<QPushButton>("plug"));
    QCOMPARE(board->shownBoard(), 3);
    click(part<QPushButton>(indexed("unplug", 3)));
    QTRY_VERIFY(board->findChild<QPushButton*>(indexed("unplug", 3)) == nullptr);
    QCOMPARE(board->shownBoard(), 1);
  }

  // Cleared, the trace starts again; beyond the layer's limit it keeps the
  // newest entries, as the layer does.
  void traceClearAndLimit() {
    QVERIFY(plugFromWindow());
    clickMain("cbWritesettings");
    QTRY_COMPARE(traceLines().size(), 2);
    click(part<QPushButton>("clearTrace"));
    QVERIFY(sim().trace().empty());
    QCOMPARE(part<QPlainTextEdit>("trace")->toPlainText(), QString());
    clickMain("cbWritesettings");
    QTRY_COMPARE(traceLines().size(), 2);

    // Many packets in one go, told once.
    const std::array<uint8_t, 2> pins = {0xFE, 0xE3};
    const std::size_t limit = glim::usb::sim::SimDriver::kTraceLimit;
    for (std::size_t i = 0; i < limit; ++i) f->main().link.writePipe(1, pins);
    QTRY_COMPARE(static_cast<std::size_t>(traceLines().size()), limit);
    const auto trace = sim().trace();
    QCOMPARE(traceLines().back(), simtext::traceLine(trace.back()));
    QCOMPARE(traceLines().front(), simtext::traceLine(trace.front()));
  }

  // Closed, it only hides; shown again, it shows what happened meanwhile.
  void closingHides() {
    QVERIFY(plugFromWindow());
    board->close();
    QVERIFY(!board->isVisible());
    QVERIFY(!f->main().unloaded());
    sim().plug();
    clickMain("cbWritesettings");
    QTRY_VERIFY(log().contains(QStringLiteral("control is rejected")));
    board->show();
    QCOMPARE(board->shownBoard(), 1);
    QVERIFY(part<QPushButton>(indexed("unplug", 2)) != nullptr);
    QCOMPARE(traceLines().size(), 2);
    QVERIFY(part<QLabel>(indexed("timingByte", 0))->text() != QStringLiteral("--"));
  }

  // It comes up after the main window has been painted, not before, and on
  // the screen.
  void showsAfterTheMainWindow() {
    cleanup();
    f = std::make_unique<AppFixture>();
    board = std::make_unique<SimBoardWindow>(sim());
    board->showBeside(*f->window);
    QVERIFY(!board->isVisible());
    QVERIFY(f->showActive());
    QTRY_VERIFY(board->isVisible());
    const QRect screen = f->window->screen()->availableGeometry();
    QVERIFY(board->frameGeometry().left() >= screen.left());
    QVERIFY(board->frameGeometry().right() <= screen.right() || board->width() > screen.width());

    // Already on screen: at once.
    board->hide();
    board->showBeside(*f->window);
    QVERIFY(board->isVisible());
  }

  void texts_data() {
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("MHz") << simtext::frequency(50e6) << "50 MHz";
    QTest::newRow("kHz") << simtext::frequency(390625) << "390.625 kHz";
    QTest::newRow("zero Hz") << simtext::frequency(0) << "0 Hz";
    // A value right at a unit takes that unit.
    QTest::newRow("1 kHz") << simtext::frequency(1e3) << "1 kHz";
    QTest::newRow("1 MHz") << simtext::frequency(1e6) << "1 MHz";
    QTest::newRow("rounds up to 1 MHz") << simtext::frequency(999999.9999) << "1 MHz";
    QTest::newRow("rounds up to 1 ms") << simtext::duration(999999.9999) << "1 ms";
    QTest::newRow("stays below 1 kHz") << simtext::frequency(999.999) << "999.999 Hz";
    QTest::newRow("1 µs") << simtext::duration(1e3) << QString::fromUtf8("1 µs");
    QTest::newRow("1 s") << simtext::duration(1e9) << "1 s";
    QTest::newRow("endless") << simtext::frequency(std::numeric_limits<double>::infinity()) << "none";
    QTest::newRow("ns") << simtext::duration(40) << "40 ns";
    QTest::newRow("µs") << simtext::duration(2560) << QString::fromUtf8("2.56 µs");
    QTest::newRow("s") << simtext::duration(1.5e9) << "1.5 s";
    glim::usb::sim::PacketTraceEntry failed{1234567, 1, 0x82, true, glim::usb::kTimeout, {}};
    QTest::newRow("failed read") << simtext::traceLine(failed).simplified()
                                 << "1.234567 s board 1 in pipe 130: [" +
                                        QString::fromStdString(glim::usb::statusText(glim::usb::kTimeout)) + "]";
    glim::usb::sim::PacketTraceEntry sent{5, 2, 2, false, glim::usb::kSuccess, {0x00, 0x5A, 0x0f}};
    QTest::newRow("write") << simtext::traceLine(sent) << "  0.000005 s  board 2  out pipe 2: 00 5A 0F";
  }
  void texts() {
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
  }
};

QTEST_MAIN(SimBoardWindowTest)
#include "sim_board_window_test.moc"
