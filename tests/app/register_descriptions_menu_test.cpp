// File > "Register Descriptions...": the chosen file describes the register
// window's rows (their tooltips) and is remembered in the window's own
// settings; a file refused says where, and the descriptions in use stay.
#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTest>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "app/app_fixture.h"
#include "app/register_window_view.h"
#include "support/temp_dir.h"

namespace {

void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

constexpr const char* kGood = R"({"registers": {
  "0x01": {"name": "Device Control", "description": "Turns the outputs on", "access": "rw"},
  "0x02": {"name": "Fault/Status", "access": "ro"}
}})";
// Line 3, column 14: the bits of the field that overlaps.
constexpr const char* kOverlapping = R"({"registers": {"0x01": {"name": "Other", "fields": [
    {"bits": "1:0", "name": "EN"},
    {"bits": "3:1", "name": "MODE"}]}}})";

}  // namespace

class RegisterDescriptionsMenuTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  QString rowTip(int row) {
    glim::app::RegisterWindowView* view = f->window->registerView();
    if (view == nullptr) return QStringLiteral("(no register window)");
    auto* label = view->findChild<QLabel*>(QStringLiteral("Label1(%1)").arg(row));
    return label != nullptr ? label->toolTip() : QStringLiteral("(no label)");
  }
  std::string status() { return f->main().lblStatus.caption(); }
  QString log() { return f->find<QPlainTextEdit>("txtLog")->toPlainText(); }
  void choose(const std::string& path) {
    f->sim.ui.answers.push_back(path);
    f->find<QAction>("actionRegisterDescriptions")->trigger();
  }

 private slots:
  void init() { QVERIFY(start()); }

  void chosenFileDescribesTheRowsAndIsRemembered() {
    const glim::testing::TempDir dir;
    const std::string good = dir.file("good.json");
    const std::string bad = dir.file("bad.json");
    const QString settings = QString::fromStdString(dir.file("window.ini"));
    write(good, kGood);
    write(bad, kOverlapping);
    f->window->keepSettingsIn(settings);
    f->main().cbShowi2c.click();
    QCOMPARE(rowTip(1), QString());

    choose(good);
    QCOMPARE(f->sim.ui.dialogs.back().kind, glim::forms::FileDialogKind::Open);
    QCOMPARE(f->sim.ui.dialogs.back().setup.defaultExt, std::string("json"));
    QCOMPARE(status(), std::string("Register Descriptions: 2 registers described by good.json"));
    QCOMPARE(rowTip(1), QStringLiteral("0x01 Device Control\nTurns the outputs on\nAccess: rw (read and write)"));
    QCOMPARE(rowTip(2), QStringLiteral("0x02 Fault/Status\nAccess: ro (read only)"));
    QCOMPARE(rowTip(3), QString());
    // The label keeps its text.
    auto* label = f->window->registerView()->findChild<QLabel*>(QStringLiteral("Label1(1)"));
    QCOMPARE(label->text(), QStringLiteral("0x01 Device Control"));
    QCOMPARE(QSettings(settings, QSettings::IniFormat).value(QStringLiteral("registers/file")).toString(),
             QString::fromStdString(good));

    // Refused: where and why, on the status line and in the log; nothing else moves.
    choose(bad);
    QCOMPARE(f->sim.ui.dialogs.back().setup.fileName, good);
    const std::string why = "bad.json line 3, column 14: field \"MODE\" overlaps \"EN\"";
    QCOMPARE(status(), "Register Descriptions: failed: " + why);
    QVERIFY(f->main().lblStatus.problem());
    QVERIFY2(log().contains(QString::fromStdString(why)), qPrintable(log()));
    QCOMPARE(f->sim.program->registerDescriptionsFile(), good);
    QCOMPARE(rowTip(1), QStringLiteral("0x01 Device Control\nTurns the outputs on\nAccess: rw (read and write)"));
    QCOMPARE(QSettings(settings, QSettings::IniFormat).value(QStringLiteral("registers/file")).toString(),
             QString::fromStdString(good));

    // Cancel changes nothing either.
    f->sim.ui.answers.push_back(std::nullopt);
    f->find<QAction>("actionRegisterDescriptions")->trigger();
    QCOMPARE(f->sim.program->registerDescriptionsFile(), good);
  }

  // At start: --registers first, else the file remembered; one refused is
  // told and the next in line is used.
  void startUsesTheGivenThenTheRememberedFile() {
    const glim::testing::TempDir dir;
    const std::string good = dir.file("good.json");
    const std::string bad = dir.file("bad.json");
    const QString settings = QString::fromStdString(dir.file("window.ini"));
    write(good, kGood);
    write(bad, kOverlapping);
    QSettings(settings, QSettings::IniFormat).setValue(QStringLiteral("registers/file"), QString::fromStdString(good));
    f->window->keepSettingsIn(settings);

    f->window->loadRegisterDescriptionsAtStart(QString::fromStdString(bad));
    QCOMPARE(status(), std::string("Register Descriptions: failed: bad.json line 3, column 14: field \"MODE\" "
                                   "overlaps \"EN\""));
    QCOMPARE(f->sim.program->registerDescriptionsFile(), good);

    write(good, R"({"registers": {"0x04": {"name": "Four"}}})");
    f->window->loadRegisterDescriptionsAtStart(QString::fromStdString(good));
    QCOMPARE(f->sim.program->registerDescriptions().heading(4), std::string("0x04 Four"));
  }
};

QTEST_MAIN(RegisterDescriptionsMenuTest)
#include "register_descriptions_menu_test.moc"
