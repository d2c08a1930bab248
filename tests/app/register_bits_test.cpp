// The register window's bits panel: the row selected last shows its bits;
// toggles and field choices edit the write box as typing does, and the read
// box's bits that differ from it are marked.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <sstream>
#include <string>

#include "app/app_fixture.h"
#include "app/register_bits_panel.h"
#include "app/register_window_view.h"
#include "i2c/register_descriptions.h"
#include "support/temp_dir.h"

using glim::testing::indexed;

namespace {

// Register 0x01 with two named fields and one without names; 0x02 unnamed bits.
constexpr const char* kDescribed = R"({"registers": {
  "0x01": {"name": "Device Control", "description": "Outputs and mode", "fields": [
    {"bits": "0", "name": "EN", "values": {"0": "off", "1": "on"}},
    {"bits": "3:2", "name": "MODE", "values": {"0": "normal", "1": "standby", "2": "test"}},
    {"bits": "7:5", "name": "SLOPE"}]}
}})";

}  // namespace

class RegisterBitsTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  glim::i2c::RegisterDescriptions descriptions_;

  glim::app::RegisterWindowView* view() const { return f->window->registerView(); }
  template <typename W = QWidget>
  W* part(const QString& name) const {
    return view()->findChild<W*>(name);
  }
  glim::app::RegisterBitsPanel* panel() const {
    return part<glim::app::RegisterBitsPanel>(QStringLiteral("registerBits"));
  }
  QLineEdit* writeBox(int reg) const { return part<QLineEdit>(indexed("tbI2Creg", reg)); }
  QLineEdit* readBox(int reg) const { return part<QLineEdit>(indexed("tbI2Cregread", reg)); }
  QPushButton* toggle(int bit) const { return part<QPushButton>(QStringLiteral("bitsWrite%1").arg(bit)); }
  QLabel* indicator(int bit) const { return part<QLabel>(QStringLiteral("bitsRead%1").arg(bit)); }
  std::string core(int reg) const { return f->main().i2cWindow.get().tbI2Creg[reg].text(); }

  void showI2c() {
    QTest::mouseClick(f->find<QPushButton>("cbShowi2c"), Qt::LeftButton);
    QVERIFY(view() != nullptr && panel() != nullptr);
    // Focus comes into a window that is active.
    QVERIFY(QTest::qWaitForWindowActive(view()));
  }
  void describe() {
    QVERIFY(glim::i2c::RegisterDescriptions::parse(kDescribed, "bits.json", descriptions_).ok());
    f->main().i2c.useDescriptions(descriptions_);
  }
  // Clicking in a box selects its row, as a person does.
  void clickIn(QLineEdit* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2)); }
  void retype(QLineEdit* box, const QString& text) {
    clickIn(box);
    box->selectAll();
    QTest::keyClicks(box, text);
    if (text.isEmpty()) QTest::keyClick(box, Qt::Key_Delete);
  }
  // Bits 7..0 as the toggles show them ("-" disabled), or as the read box's
  // indicators ("." empty; a marked bit "X" for 1, "O" for 0).
  QString toggles() const {
    QString out;
    for (int bit = 7; bit >= 0; --bit) out += toggle(bit)->isEnabled() ? toggle(bit)->text() : QStringLiteral("-");
    return out;
  }
  QString indicators() const {
    QString out;
    for (int bit = 7; bit >= 0; --bit) {
      const QString shown = indicator(bit)->text();
      out += !indicator(bit)->property("differs").toBool() ? (shown.isEmpty() ? QStringLiteral(".") : shown)
             : shown == QStringLiteral("1")                ? QStringLiteral("X")
                                                           : QStringLiteral("O");
    }
    return out;
  }
  QString heading() const { return part<QLabel>(QStringLiteral("bitsHeading"))->text(); }
  QString note() const { return part<QLabel>(QStringLiteral("bitsNote"))->text(); }

 private slots:

  // A toggle flips its bit of the value the box reads as, and puts it back
  // as two upper-case digits.
  void toggleEditsTheWriteBox_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("bit");
    QTest::addColumn<QString>("after");
    QTest::newRow("set bit 3") << "05" << 3 << "0D";
    QTest::newRow("clear bit 3") << "0D" << 3 << "05";
    QTest::newRow("one digit, lower case") << "f" << 7 << "8F";
    QTest::newRow("top bit off") << "ff" << 7 << "7F";
    QTest::newRow("read in part") << "0x4C" << 0 << "01";
    QTest::newRow("blanks") << " 5 " << 1 << "07";
  }
  void toggleEditsTheWriteBox() {
    QFETCH(QString, typed);
    QFETCH(int, bit);
    QFETCH(QString, after);
    showI2c();
    retype(writeBox(1), typed);
    QTest::mouseClick(toggle(bit), Qt::LeftButton);
    QCOMPARE(QString::fromStdString(core(1)), after);
    QCOMPARE(writeBox(1)->text(), after);
    QCOMPARE(toggle(bit)->isChecked(), ((after.toUInt(nullptr, 16) >> bit) & 1u) != 0);
    // The box's own note went with the text that earned it.
    QCOMPARE(writeBox(1)->toolTip(), QStringLiteral("Value to write to register 0x01, hexadecimal 00 to FF"));
    QCOMPARE(note(), QString());
  }

  // The toggles follow the box as it is typed, as the hexadecimal rule reads it.
  void togglesFollowTyping_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("bits");
    QTest::addColumn<QString>("said");
    const std::string longText(60, 'F');
    const std::string cut = '"' + longText.substr(0, 40) + "...\" does not fit in a byte";
    const struct {
      const char* row;
      std::string typed, bits, said;
    } rows[] = {
        {"whole", "4c", "01001100", ""},
        {"0x", "0x4C", "00000000", "\"0x4C\" reads as 00"},
        {"stops at a letter", "3g", "00000011", "\"3g\" reads as 03"},
        {"empty", "", "00000000", "\"\" reads as 00"},
        {"too big", "1FF", "--------", "\"1FF\" does not fit in a byte"},
        {"long, cut where quoted", longText, "--------", cut},
    };
    for (const auto& r : rows) {
      QTest::newRow(r.row) << QString::fromStdString(r.typed) << QString::fromStdString(r.bits)
                           << QString::fromStdString(r.said);
    }
  }
  void togglesFollowTyping() {
    QFETCH(QString, typed);
    QFETCH(QString, bits);
    QFETCH(QString, said);
    showI2c();
    retype(writeBox(0), typed);
    QCOMPARE(toggles(), bits);
    QCOMPARE(note(), said);
    QApplication::processEvents();  // laid out anew
    const int width = panel()->minimumSizeHint().width();
    // Typed whole again, it is a byte once more.
    retype(writeBox(0), QStringLiteral("81"));
    QCOMPARE(toggles(), QStringLiteral("10000001"));
    QCOMPARE(note(), QString());
    // However long the text was, what it reads as never widened the window.
    QApplication::processEvents();
    QCOMPARE(panel()->minimumSizeHint().width(), width);
  }

  // After a read on the simulated board, the bits the chip holds otherwise
  // than the write box asks for are marked, and follow both boxes.
  void readBitsThatDifferAreMarked() {
    f->sim.sim->plug();
    QTRY_VERIFY(f->main().link.deviceConnected());
    showI2c();
    retype(writeBox(5), QStringLiteral("A5"));
    QCOMPARE(indicators(), QStringLiteral("........"));
    QTest::mouseClick(part<QPushButton>(indexed("cbWritei2c", 5)), Qt::LeftButton);
    retype(writeBox(5), QStringLiteral("A6"));
    QTest::mouseClick(part<QPushButton>(indexed("cbReadi2c", 5)), Qt::LeftButton);
    QCOMPARE(readBox(5)->text(), QStringLiteral("A5"));
    QCOMPARE(indicators(), QStringLiteral("101001OX"));
    QTest::mouseClick(toggle(0), Qt::LeftButton);  // A7
    QCOMPARE(indicators(), QStringLiteral("101001O1"));
    // A write box that is no byte compares with nothing.
    retype(writeBox(5), QStringLiteral("100"));
    QCOMPARE(indicators(), QStringLiteral("10100101"));
    // Focus in a read box selects its row too; nothing there yet the chip gave.
    clickIn(readBox(6));
    QCOMPARE(heading(), QStringLiteral("0x06"));
    QCOMPARE(indicators(), QStringLiteral("........"));
    QTest::mouseClick(part<QPushButton>(QStringLiteral("cbReadall")), Qt::LeftButton);
    QCOMPARE(indicators(), QStringLiteral("00000000"));
    retype(writeBox(6), QStringLiteral("01"));
    QCOMPARE(indicators(), QStringLiteral("0000000O"));
    // A value the last Read All did not read again is greyed and compared
    // with nothing, as its box is greyed.
    f->main().i2cWindow.get().tbI2Cregread[6].setNote(std::string(glim::i2c::RegisterForm::kNotReadNote));
    QCOMPARE(indicators(), QStringLiteral("00000000"));
    QVERIFY(!indicator(0)->isEnabled());
  }

  // Described fields stand over their bits; a choice sets its field's bits
  // and follows the box.
  void fieldChoicesSetTheirBits() {
    showI2c();
    clickIn(writeBox(1));
    QVERIFY(part(QStringLiteral("bitsName_MODE")) == nullptr);
    describe();  // while the row is selected
    QCOMPARE(heading(), QStringLiteral("0x01 Device Control"));
    QCOMPARE(part(QStringLiteral("bitsHeading"))->toolTip(), QStringLiteral("0x01 Device Control\nOutputs and mode"));
    for (const char* name : {"EN", "MODE", "SLOPE"}) {
      QVERIFY2(part(QStringLiteral("bitsName_") + QLatin1String(name)) != nullptr, name);
    }
    QCOMPARE(toggle(3)->toolTip(), QStringLiteral("Bit 3 of register 0x01: MODE"));
    QCOMPARE(toggle(1)->toolTip(), QStringLiteral("Bit 1 of register 0x01"));
    // SLOPE has no value names: no choice.
    QVERIFY(part(QStringLiteral("bitsField_SLOPE")) == nullptr);
    auto* mode = part<QComboBox>(QStringLiteral("bitsField_MODE"));
    auto* en = part<QComboBox>(QStringLiteral("bitsField_EN"));
    QVERIFY(mode != nullptr && en != nullptr);
    // The name sits over the first bit it spans and as wide as its bits.
    auto* modeName = part(QStringLiteral("bitsName_MODE"));
    QTRY_COMPARE(modeName->geometry().left(), toggle(3)->geometry().left());
    QCOMPARE(modeName->geometry().right(), toggle(2)->geometry().right());

    retype(writeBox(1), QStringLiteral("E5"));
    QCOMPARE(mode->currentText(), QStringLiteral("standby (01)"));
    QCOMPARE(en->currentText(), QStringLiteral("on (1)"));
    // Chosen from the keyboard, in turn: normal, standby, test.
    mode->setFocus();
    QTest::keyClick(mode, Qt::Key_Down);
    QCOMPARE(QString::fromStdString(core(1)), QStringLiteral("E9"));
    QTest::keyClick(mode, Qt::Key_Up);
    QTest::keyClick(mode, Qt::Key_Up);
    QCOMPARE(QString::fromStdString(core(1)), QStringLiteral("E1"));
    en->setFocus();
    QTest::keyClick(en, Qt::Key_Up);
    QCOMPARE(QString::fromStdString(core(1)), QStringLiteral("E0"));
    QCOMPARE(toggles(), QStringLiteral("11100000"));
    // A value without a name: nothing chosen, its bits shown instead.
    retype(writeBox(1), QStringLiteral("0C"));
    QCOMPARE(mode->currentIndex(), -1);
    QCOMPARE(mode->placeholderText(), QStringLiteral("11"));
    retype(writeBox(1), QStringLiteral("1FF"));
    QVERIFY(!mode->isEnabled());

    // The descriptions gone, the register's fields go with them.
    const glim::i2c::RegisterDescriptions none;
    f->main().i2c.useDescriptions(none);
    QVERIFY(part(QStringLiteral("bitsField_MODE")) == nullptr);
    QVERIFY(part(QStringLiteral("bitsName_MODE")) == nullptr);
    QCOMPARE(toggle(3)->toolTip(), QStringLiteral("Bit 3 of register 0x01"));
  }

  // Descriptions that change while a choice box is still telling of the
  // person's choice: the panel is rebuilt from inside the box's own signal,
  // and the box must outlive that signal.
  void rebuiltFromAChoicesOwnSignal() {
    showI2c();
    clickIn(writeBox(1));
    describe();
    QPointer<QComboBox> mode = part<QComboBox>(QStringLiteral("bitsField_MODE"));
    QVERIFY(mode != nullptr);
    int rebuilds = 0;
    connect(mode, &QComboBox::activated, this, [&] {
      ++rebuilds;
      f->main().i2c.useDescriptions(descriptions_);
    });
    retype(writeBox(1), QStringLiteral("E5"));
    mode->setFocus();
    QTest::keyClick(mode, Qt::Key_Down);
    QCOMPARE(rebuilds, 1);
    QCOMPARE(QString::fromStdString(core(1)), QStringLiteral("E9"));
    // The old box goes at the next turn of the event loop; the new one is
    // found by its name meanwhile, and follows the write box.
    auto* fresh = part<QComboBox>(QStringLiteral("bitsField_MODE"));
    QVERIFY(fresh != nullptr && fresh != mode);
    QCOMPARE(fresh->currentText(), QStringLiteral("test (10)"));
    QTRY_VERIFY(mode.isNull());
    retype(writeBox(1), QStringLiteral("E5"));
    QCOMPARE(fresh->currentText(), QStringLiteral("standby (01)"));
  }

  // Tab reaches the toggles, high bit first, and Space flips one; the row
  // stays the one whose box had the focus last.
  void keyboardReachesTheToggles() {
    showI2c();
    retype(writeBox(21), QStringLiteral("05"));
    QWidget* focused = nullptr;
    for (int tabs = 0; tabs < 40; ++tabs) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      focused = QApplication::focusWidget();
      if (focused != nullptr && focused->objectName().startsWith(QStringLiteral("bitsWrite"))) break;
    }
    QVERIFY(focused != nullptr);
    QCOMPARE(focused->objectName(), QStringLiteral("bitsWrite7"));
    QCOMPARE(panel()->selected(), 21);
    QTest::keyClick(focused, Qt::Key_Space);
    QCOMPARE(core(21), std::string("85"));
    QTest::keyClick(focused, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), toggle(6));
    QTest::keyClick(toggle(6), Qt::Key_Space);
    QCOMPARE(core(21), std::string("C5"));
  }

  // A toggle's edit is recorded as the line typing the same text would be,
  // so that a replay gives the box the same value.
  void toggleIsRecordedAsTyping() {
    const glim::testing::TempDir dir;
    const std::string path = dir.file("bits.gls");
    QVERIFY(f->window->recorder().start(path, {}).ok());
    showI2c();
    retype(writeBox(1), QStringLiteral("05"));
    QTest::mouseClick(toggle(3), Qt::LeftButton);
    f->window->recorder().stop();
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    const std::string lines = text.str();
    QVERIFY2(lines.find("set Glimmora_i2c.tbI2Creg(1) 05\nset Glimmora_i2c.tbI2Creg(1) 0D\n") != std::string::npos,
             lines.c_str());
  }
};

QTEST_MAIN(RegisterBitsTest)
#include "register_bits_test.moc"
