// The register window's view: it appears, hides and goes with the core's
// form, shows the 22 register rows, and leaves the main window usable.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>
#include <string>

#include "app/app_fixture.h"
#include "app/bindings.h"
#include "app/register_window_view.h"
#include "i2c/register_form.h"

using glim::i2c::RegisterWindow;

using glim::testing::indexed;

namespace {
// The rows' labels are the core's (the core's own tests hold them against the
// table and the shipped description file); the view must show them as they are.
QString rowLabel(int i) { return QString::fromStdString(std::string(glim::i2c::registerName(i))); }
const char* const kDefaults[22] = {"FF", "00", "00", "B8", "00", "00", "00", "00", "00", "00", "4D",
                                   "B3", "00", "00", "00", "29", "FF", "FF", "FF", "FF", "FF", "FF"};

using Mark = glim::app::Binder::Mark;
bool greyed(const QWidget* w) { return w->palette().color(QPalette::Text) == glim::app::Binder::markColor(Mark::Grey); }
bool warm(const QWidget* w) { return w->palette().color(QPalette::Base) == glim::app::Binder::markColor(Mark::Warm); }
}  // namespace

class RegisterWindowTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  glim::app::RegisterWindowView* view() const { return f->window->registerView(); }
  template <typename W = QWidget>
  W* part(const QString& name) const {
    return view()->findChild<W*>(name);
  }
  void showI2c() { QTest::mouseClick(f->find<QPushButton>("cbShowi2c"), Qt::LeftButton); }
  void click(const QString& name) { QTest::mouseClick(part<QPushButton>(name), Qt::LeftButton); }
  void retype(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
  }

 private slots:

  void captionAndRowsInAddressOrder() {
    QVERIFY(view() == nullptr);
    showI2c();
    QVERIFY(view() != nullptr && view()->isVisible());
    QCOMPARE(view()->windowTitle(), QStringLiteral("Glimmora QXB40218 USB interface i2c"));
    QCOMPARE(part<QLabel>(indexed("Label1", 22))->text(), QStringLiteral("Slave Address"));
    QCOMPARE(part<QLineEdit>(QStringLiteral("tbI2Caddr"))->text(), QStringLiteral("5A"));

    int previousRow = part<QLineEdit>(QStringLiteral("tbI2Caddr"))->y();
    for (int i = 0; i < 22; ++i) {
      auto* label = part<QLabel>(indexed("Label1", i));
      QCOMPARE(label->text(), rowLabel(i));
      QCOMPARE(part<QLineEdit>(indexed("tbI2Creg", i))->text(), QString::fromLatin1(kDefaults[i]));
      QCOMPARE(part<QLineEdit>(indexed("tbI2Cregread", i))->text(), QStringLiteral("0"));
      // One row, left to right: label, write box, Write, read box, Read, Copy.
      const char* columns[] = {"tbI2Creg", "cbWritei2c", "tbI2Cregread", "cbReadi2c", "cbCopyi2c"};
      QWidget* left = label;
      for (const char* column : columns) {
        QWidget* w = part(indexed(column, i));
        QVERIFY2(w != nullptr, column);
        QVERIFY(w->x() > left->x());
        QVERIFY(qAbs(w->geometry().center().y() - label->geometry().center().y()) <= 2);
        left = w;
      }
      QCOMPARE(part<QPushButton>(indexed("cbWritei2c", i))->text(), QStringLiteral("Write"));
      QCOMPARE(part<QPushButton>(indexed("cbReadi2c", i))->text(), QStringLiteral("Read"));
      QCOMPARE(part<QPushButton>(indexed("cbCopyi2c", i))->text(), QStringLiteral("Copy"));
      QVERIFY(label->y() > previousRow);
      previousRow = label->y();
    }
    // The bottom line: "Close" at the left, the others under their columns
    // (in the window: the rows scroll, the bottom line does not).
    const auto inView = [this](const QWidget* w) { return QRect(w->mapTo(view(), QPoint(0, 0)), w->size()); };
    const std::pair<const char*, const char*> bottom[] = {
        {"cbWriteall", "cbWritei2c"}, {"cbReadall", "cbReadi2c"}, {"cbCopyall", "cbCopyi2c"}};
    for (const auto& [all, column] : bottom) {
      const QRect b = inView(part(QString::fromLatin1(all)));
      QVERIFY(b.y() > inView(view()->findChild<QWidget*>(QStringLiteral("registerArea"))).bottom());
      QCOMPARE(b.center().x(), inView(part(indexed(column, 21))).center().x());
    }
    QCOMPARE(part<QPushButton>(QStringLiteral("cbClose"))->text(), QStringLiteral("Close"));
    QVERIFY(part(QStringLiteral("cbClose"))->x() < part(QStringLiteral("cbWriteall"))->x());
  }

  // Modeless, no owner: the main window stays usable while it is open.
  void modelessAndIndependent() {
    showI2c();
    QVERIFY(view()->parent() == nullptr);
    QVERIFY(view()->isWindow());
    QCOMPARE(view()->windowModality(), Qt::NonModal);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(!view()->testAttribute(Qt::WA_QuitOnClose));

    f->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(f->window.get()));
    auto* cell = f->find<QLineEdit>("tbCPLDdata(13)");
    retype(cell, QStringLiteral("12"));
    QCOMPARE(f->main().timing.tbCPLDdata[13].text(), std::string("12"));
    QVERIFY(view()->isVisible());
  }

  // Creation alone does not show it; "Show i2c" does.
  void createdHiddenByUse() {
    QVERIFY(f->main().resolve("Glimmora_i2c.tbI2Creg(3)") != nullptr);
    QVERIFY(view() != nullptr);
    QVERIFY(!view()->isVisible());
    showI2c();
    QVERIFY(view()->isVisible());
  }

  // "Close" and the close box both destroy it; reopened, it shows defaults.
  void reopenedWithDefaults_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Close") << false;
    QTest::newRow("close box") << true;
  }
  void reopenedWithDefaults() {
    QFETCH(bool, closeBox);
    showI2c();
    retype(part<QLineEdit>(indexed("tbI2Creg", 3)), QStringLiteral("77"));
    retype(part<QLineEdit>(QStringLiteral("tbI2Caddr")), QStringLiteral("5C"));
    QCOMPARE(f->main().i2cWindow.existing()->tbI2Creg[3].text(), std::string("77"));

    QPointer<QWidget> old = view();
    if (closeBox) {
      old->close();
    } else {
      click(QStringLiteral("cbClose"));
    }
    QCOMPARE(f->main().i2cWindow.state(), RegisterWindow::State::NotLoaded);
    QVERIFY(view() == nullptr);
    QTRY_VERIFY(old.isNull());

    showI2c();
    QVERIFY(view() != nullptr && view()->isVisible());
    QCOMPARE(part<QLineEdit>(indexed("tbI2Creg", 3))->text(), QStringLiteral("B8"));
    QCOMPARE(part<QLineEdit>(QStringLiteral("tbI2Caddr"))->text(), QStringLiteral("5A"));
  }

  void writeAllWithoutABoardTellsOncePerRegister() {
    showI2c();
    click(QStringLiteral("cbWriteall"));
    QCOMPARE(f->sim.ui.countBoxes("USB Device not connected!"), 22);
    QCOMPARE(part<QLineEdit>(indexed("tbI2Cregread", 0))->text(), QStringLiteral("0"));
  }

  // "Write" and "Read" head the write and read boxes, under the slave address.
  void headingsOverTheValueColumns() {
    showI2c();
    const std::pair<const char*, const char*> headings[] = {{"headingWrite", "tbI2Creg"},
                                                            {"headingRead", "tbI2Cregread"}};
    for (const auto& [name, column] : headings) {
      auto* heading = part<QLabel>(QString::fromLatin1(name));
      QVERIFY2(heading != nullptr, name);
      QWidget* first = part(indexed(column, 0));
      QCOMPARE(heading->x(), first->x());
      QVERIFY(heading->y() > part(QStringLiteral("tbI2Caddr"))->geometry().bottom());
      QVERIFY(heading->geometry().bottom() < first->y());
    }
    QCOMPARE(part<QLabel>(QStringLiteral("headingWrite"))->text(), QStringLiteral("Write"));
    QCOMPARE(part<QLabel>(QStringLiteral("headingRead"))->text(), QStringLiteral("Read"));
  }

  // Enter in a write box is its row's Write button; in a read box it does nothing.
  void enterInAWriteBoxWritesIt() {
    showI2c();
    QTest::keyClick(part<QLineEdit>(indexed("tbI2Creg", 5)), Qt::Key_Return);
    QCOMPARE(f->sim.ui.countBoxes("USB Device not connected!"), 1);
    QTest::keyClick(part<QLineEdit>(indexed("tbI2Cregread", 5)), Qt::Key_Return);
    QCOMPARE(f->sim.ui.countBoxes("USB Device not connected!"), 1);

    f->sim.sim->plug();
    QTRY_VERIFY(f->main().link.deviceConnected());
    retype(part<QLineEdit>(indexed("tbI2Creg", 7)), QStringLiteral("5e"));
    QTest::keyClick(part<QLineEdit>(indexed("tbI2Creg", 7)), Qt::Key_Enter);
    click(indexed("cbReadi2c", 7));
    QCOMPARE(part<QLineEdit>(indexed("tbI2Cregread", 7))->text(), QStringLiteral("5E"));
    QCOMPARE(f->sim.ui.countBoxes("USB Device not connected!"), 1);
  }

  // After a Read All that failed, every read box it did not read is greyed
  // with a tooltip until it is read again; a whole Read All clears them all.
  void rowsNotReadByReadAllAreMarked() {
    f->sim.sim->plug();
    QTRY_VERIFY(f->main().link.deviceConnected());
    showI2c();
    const QString note = QStringLiteral("not read by the last Read All");
    // A new window's read boxes hold a "0" the chip never gave: greyed too.
    const QString notYet = QStringLiteral("not read yet");
    QVERIFY(greyed(part(indexed("tbI2Cregread", 0))));
    for (int i = 0; i < 22; ++i) QCOMPARE(part(indexed("tbI2Cregread", i))->toolTip(), notYet);
    const auto hint = [](int i) {
      return QStringLiteral("Value last read from register %1, hexadecimal").arg(rowLabel(i).left(4));
    };
    click(QStringLiteral("cbReadall"));
    for (int i = 0; i < 22; ++i) QCOMPARE(part(indexed("tbI2Cregread", i))->toolTip(), hint(i));
    QVERIFY(!greyed(part(indexed("tbI2Cregread", 0))));

    glim::usb::sim::Faults faults;
    faults.refusedPipes = {130};
    f->sim.sim->setFaults(faults);
    click(QStringLiteral("cbReadall"));
    for (int i = 0; i < 22; ++i) {
      auto* box = part<QLineEdit>(indexed("tbI2Cregread", i));
      QCOMPARE(box->toolTip(), note);
      QVERIFY(greyed(box));
    }
    f->sim.sim->clearFaults();
    click(indexed("cbReadi2c", 4));
    QCOMPARE(part(indexed("tbI2Cregread", 4))->toolTip(), hint(4));
    QVERIFY(!greyed(part(indexed("tbI2Cregread", 4))));
    QCOMPARE(part(indexed("tbI2Cregread", 5))->toolTip(), note);
    click(QStringLiteral("cbReadall"));
    for (int i = 0; i < 22; ++i) QCOMPARE(part(indexed("tbI2Cregread", i))->toolTip(), hint(i));
  }

  // A text its rule reads only in part is marked warm as soon as it is typed,
  // with what it reads as; typed whole again, the box is plain with its hint.
  void typedTextsThatReadAsAnotherValueAreMarked_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("whole");
    QTest::newRow("write box, 0x") << "tbI2Creg(10)"
                                   << "0x4C"
                                   << "\"0x4C\" reads as 00: reading stops at \"x\""
                                   << "4C";
    QTest::newRow("write box, empty") << "tbI2Creg(10)"
                                      << ""
                                      << "\"\" reads as 00"
                                      << "4d";
    QTest::newRow("write box, sign") << "tbI2Creg(0)"
                                     << "-1"
                                     << "\"-1\" reads as 00: reading stops at \"-\""
                                     << "1";
    QTest::newRow("slave address") << "tbI2Caddr"
                                   << "5A!"
                                   << "\"5A!\" reads as 5A: reading stops at \"!\""
                                   << "5A";
    QTest::newRow("cell, letters") << "tbCPLDdata(3)"
                                   << "12abc"
                                   << "\"12abc\" reads as 12: reading stops at \"a\""
                                   << "12";
    QTest::newRow("cell, 0x") << "tbCPLDdata(37)"
                              << "0x10"
                              << "\"0x10\" reads as 0: reading stops at \"x\""
                              << "3";
    QTest::newRow("desired field") << "tbSTVfreqdes"
                                   << "abc"
                                   << "\"abc\" reads as 0: reading stops at \"a\""
                                   << "300";
  }
  void typedTextsThatReadAsAnotherValueAreMarked() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, tip);
    QFETCH(QString, whole);
    showI2c();
    auto* edit = part<QLineEdit>(box);
    if (edit == nullptr) edit = f->window->findChild<QLineEdit*>(box);
    QVERIFY(edit != nullptr);
    const QString hint = edit->toolTip();
    QVERIFY(!hint.isEmpty());
    QVERIFY(!warm(edit));
    retype(edit, typed);
    if (typed.isEmpty()) QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->text(), typed);
    QCOMPARE(edit->toolTip(), tip);
    QVERIFY(warm(edit));
    retype(edit, whole);
    QCOMPARE(edit->toolTip(), hint);
    QVERIFY(!warm(edit));
  }

  // Every field of both windows says what it holds, its unit and its range.
  void everyFieldHasATooltip() {
    showI2c();
    QList<QWidget*> fields;
    for (QWidget* root : {static_cast<QWidget*>(view()), f->window->content()}) {
      for (QWidget* w : root->findChildren<QLineEdit*>()) fields << w;
      for (QWidget* w : root->findChildren<QCheckBox*>()) fields << w;
      for (QWidget* w : root->findChildren<QRadioButton*>()) fields << w;
    }
    // 43 cells, 12 companion fields, 4 enable boxes, 5 options; address,
    // 44 register boxes, "Read back after write", 22 Watch boxes and the
    // watch interval.
    QCOMPARE(fields.size(), 43 + 12 + 4 + 5 + 1 + 44 + 1 + 22 + 1);
    for (QWidget* w : fields) QVERIFY2(!w->toolTip().isEmpty(), qPrintable(w->objectName()));
    QCOMPARE(f->find("tbCPLDdata(8)")->toolTip(), QStringLiteral("SCLK divider, bits 11 to 8: 0 to 15"));
    QCOMPARE(f->find("tbCPLDdata(37)")->toolTip(),
             QStringLiteral("Enable bits, set by the check boxes: 1 STV, 2 PWMI, 4 SIC, 8 serial: 0 to 255"));
    QCOMPARE(f->find("tbCPLDdata(28)")->toolTip(), QStringLiteral("Serial block 1, channel byte CH8: 0 to 255"));
    QCOMPARE(part(indexed("tbI2Creg", 10))->toolTip(),
             QStringLiteral("Value to write to register 0x0A, hexadecimal 00 to FF"));
    QCOMPARE(f->find("ob1Den(1)")->toolTip(), QStringLiteral("1D EN not driven (floating)"));
  }

  // Every button says what it does.
  void everyButtonHasATooltip() {
    showI2c();
    for (QPushButton* b : view()->findChildren<QPushButton*>())
      QVERIFY2(!b->toolTip().isEmpty(), qPrintable(b->objectName()));
    for (QPushButton* b : f->window->content()->findChildren<QPushButton*>()) {
      QVERIFY2(!b->toolTip().isEmpty(), qPrintable(b->objectName()));
    }
    QCOMPARE(f->find<QPushButton>("cbWritesettings")->toolTip(),
             QStringLiteral("Sends the control lines, then the 43 timing bytes"));
    QCOMPARE(f->find<QPushButton>("cbCopyser")->toolTip(), QStringLiteral("Copies Serial Block 0 into blocks 1 and 2"));
    QCOMPARE(part<QPushButton>(indexed("cbReadi2c", 10))->toolTip(),
             QStringLiteral("Reads register 0x0A into the box on its left"));
  }

  // The "read back XX" mark has room of its own, in the bold font it is
  // shown in, whatever the two hexadecimal digits.
  void readBackMarkFits() {
    showI2c();
    auto* mark = part<QLabel>(indexed("lblReadback", 0));
    mark->ensurePolished();
    for (const QChar first : QStringLiteral("0123456789ABCDEF")) {
      for (const QChar second : QStringLiteral("0123456789ABCDEF")) {
        const QString text = QStringLiteral("read back %1%2").arg(first).arg(second);
        f->main().i2cWindow.get().lblReadback[0].setCaption(text.toStdString());
        QApplication::processEvents();
        QVERIFY2(mark->fontMetrics().horizontalAdvance(mark->text()) <= mark->width(),
                 qPrintable(QStringLiteral("%1 wide for %2").arg(mark->width()).arg(text)));
      }
    }
  }

  // A row's watch mark ("changed", "no answer") takes the read back mark's
  // place while that has nothing to say; a read back that differs wins.
  void watchMarkSharesThePlaceOfTheReadBackMark() {
    showI2c();
    auto* readBack = part<QLabel>(indexed("lblReadback", 3));
    auto* watch = part<QLabel>(indexed("lblWatch", 3));
    glim::i2c::RegisterForm& form = f->main().i2cWindow.get();
    const auto shown = [&] {
      QApplication::processEvents();
      return (readBack->isVisible() ? readBack->text() : QString()) + '|' +
             (watch->isVisible() ? watch->text() : QString());
    };
    QCOMPARE(shown(), QStringLiteral("|"));
    form.lblWatch[3].setCaption("changed");
    QCOMPARE(shown(), QStringLiteral("|changed"));
    form.lblReadback[3].setCaption("read back 05");
    QCOMPARE(shown(), QStringLiteral("read back 05|"));
    form.lblReadback[3].setCaption("");
    QCOMPARE(shown(), QStringLiteral("|changed"));
  }

  // A value typed into the view, written and read back through the simulated chip.
  void writeThenReadThroughTheView() {
    f->sim.sim->plug();
    QTRY_VERIFY(f->main().link.deviceConnected());
    showI2c();
    retype(part<QLineEdit>(indexed("tbI2Creg", 5)), QStringLiteral("3c"));
    click(indexed("cbWritei2c", 5));
    click(indexed("cbReadi2c", 5));
    QCOMPARE(part<QLineEdit>(indexed("tbI2Cregread", 5))->text(), QStringLiteral("3C"));
    click(QStringLiteral("cbCopyall"));
    QCOMPARE(part<QLineEdit>(indexed("tbI2Creg", 5))->text(), QStringLiteral("3C"));
    // Register 0 was never read: its "0" is not the chip's, and is not copied.
    QCOMPARE(part<QLineEdit>(indexed("tbI2Creg", 0))->text(), QStringLiteral("FF"));
    QCOMPARE(f->main().i2cWindow.get().lblStatus.caption(), "Copy All: 1 copied, 21 not read yet");
    QVERIFY(f->sim.ui.boxes.empty());
  }
};

QTEST_MAIN(RegisterWindowTest)
#include "register_window_test.moc"
