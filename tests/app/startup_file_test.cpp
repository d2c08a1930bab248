// `glimmora FILE`: the file named at start is loaded once the driver has
// started and the board plugged in at start has been attached, exactly as
// "Load Configuration" loads it; a file that is not a configuration is refused
// with the usual message and changes nothing.
#include "app/startup_file.h"

#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "app/app_fixture.h"
#include "config/config_commands.h"
#include "support/temp_dir.h"

using glim::testing::AppFixture;
using glim::testing::SimProgram;

class StartupFileTest : public glim::testing::WindowTest {
  Q_OBJECT

 private:
  std::unique_ptr<glim::testing::TempDir> dir;

  // The window is shown and the load asked for at once, as main() does; the
  // board was plugged in before the driver started.
  void startWith(const std::string& path) {
    f->sim.sim->plug();
    f->window->show();
    glim::app::loadConfigAfterStart(*f->sim.program, QString::fromStdString(path));
  }

 private slots:
  void init() {
    dir = std::make_unique<glim::testing::TempDir>();
    f = std::make_unique<AppFixture>();
  }
  void cleanup() {
    f.reset();
    dir.reset();
  }

  // What the command line asks for; Qt's own options pass for QApplication.
  void commandLine_data() {
    using Answer = glim::app::StartOptions::Answer;
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("said");  // the file, or why the line is refused
    QTest::addColumn<int>("board");     // -1: not given
    QTest::newRow("none") << QStringList{"glimmora"} << int(Answer::Start) << QString() << -1;
    QTest::newRow("blanks kept") << QStringList{"glimmora", "my set up.txt"} << int(Answer::Start)
                                 << QStringLiteral("my set up.txt") << -1;
    QTest::newRow("dash after --") << QStringList{"glimmora", "--", "-a.txt"} << int(Answer::Start)
                                   << QStringLiteral("-a.txt") << -1;
    QTest::newRow("Qt's own") << QStringList{"glimmora", "-platform", "offscreen", "-reverse", "a.txt"}
                              << int(Answer::Start) << QStringLiteral("a.txt") << -1;
    QTest::newRow("--board sim") << QStringList{"glimmora", "--board", "sim"} << int(Answer::Start) << QString()
                                 << int(glim::usb::DriverChoice::Sim);
    QTest::newRow("--board=sim-empty") << QStringList{"glimmora", "--board=sim-empty", "b.txt"} << int(Answer::Start)
                                       << QStringLiteral("b.txt") << int(glim::usb::DriverChoice::SimEmpty);
    QTest::newRow("--board usb") << QStringList{"glimmora", "--board", "usb"} << int(Answer::Start) << QString()
                                 << int(glim::usb::DriverChoice::RealBoards);
    QTest::newRow("--board other") << QStringList{"glimmora", "--board", "Sim"} << int(Answer::Refused)
                                   << QStringLiteral("--board takes sim, sim-empty or usb, not \"Sim\"") << -1;
    QTest::newRow("--registers") << QStringList{"glimmora", "--registers", "regs.json", "a.txt"} << int(Answer::Start)
                                 << QStringLiteral("a.txt") << -1;
    QTest::newRow("--registers with no file") << QStringList{"glimmora", "--registers"} << int(Answer::Refused)
                                              << QStringLiteral("Missing value after '--registers'.") << -1;
    QTest::newRow("--bogus") << QStringList{"glimmora", "--bogus"} << int(Answer::Refused)
                             << QStringLiteral("unknown option --bogus") << -1;
    QTest::newRow("--bogus=1 after a file") << QStringList{"glimmora", "a.txt", "--bogus=1"} << int(Answer::Refused)
                                            << QStringLiteral("unknown option --bogus") << -1;
    QTest::newRow("two files") << QStringList{"glimmora", "a.txt", "b.txt"} << int(Answer::Refused)
                               << QStringLiteral("one configuration file at most") << -1;
    QTest::newRow("--help") << QStringList{"glimmora", "--help", "--bogus"} << int(Answer::Refused)
                            << QStringLiteral("unknown option --bogus") << -1;
    QTest::newRow("-v") << QStringList{"glimmora", "-v"} << int(Answer::Version) << QString() << -1;
  }
  void commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, answer);
    QFETCH(QString, said);
    QFETCH(int, board);
    const glim::app::StartOptions got = glim::app::parseStartOptions(arguments);
    QCOMPARE(int(got.answer), answer);
    if (got.answer == glim::app::StartOptions::Answer::Refused) {
      QCOMPARE(got.error, said);
    } else {
      QCOMPARE(got.configFile.value_or(QString()), said);
      QCOMPARE(got.configFile.has_value(), !said.isEmpty());
    }
    QCOMPARE(got.board ? int(*got.board) : -1, board);
    const qsizetype registers = arguments.indexOf(QStringLiteral("--registers"));
    if (got.answer == glim::app::StartOptions::Answer::Start) {
      QCOMPARE(got.registersFile, registers > 0 ? arguments.at(registers + 1) : QString());
    }
  }

  void savedFileProgramsTheBoardPluggedInAtStart() {
    // A set-up saved by another run, with one cell changed from the defaults.
    const std::string path = dir->file("setup.txt");
    {
      SimProgram other(false);
      other.main().timing.tbCPLDdata[20].enterText("12");
      other.ui.answers.push_back(path);
      other.main().mFileSaveConfig.click();
      QVERIFY(other.ui.boxes.empty());
    }
    startWith(path);
    auto* cell = f->find<QLineEdit>("tbCPLDdata(20)");
    QTRY_COMPARE(cell->text(), QStringLiteral("12"));
    QVERIFY(f->sim.log().find("Accepting control of the device") != std::string::npos);
    QVERIFY(f->sim.ui.boxes.empty());
    QVERIFY(f->sim.ui.dialogs.empty());
    // The control pins, the timing image, the chip's registers.
    QCOMPARE(f->sim.written(1).size(), std::size_t{1});
    QCOMPARE(f->sim.written(3).size(), std::size_t{1});
    QCOMPARE(f->sim.written(2).size(), std::size_t{1});
    QVERIFY(f->firstStaleBox().isEmpty());
    QCOMPARE(f->main().config.CommonDialog1.fileName, path);
  }

  void otherFileIsRefusedAndChangesNothing() {
    const std::string path = dir->file("notes.txt");
    std::ofstream(path) << "//Glimmora Config File\r\n0\r\n5\r\n";  // cut short
    startWith(path);
    QTRY_COMPARE(f->sim.ui.boxes.size(), std::size_t{1});
    QCOMPARE(QString::fromStdString(f->sim.ui.boxes[0].text),
             QString::fromStdString(std::string(glim::config::kNotConfigFile)) +
                 QStringLiteral("\nnotes.txt ends after line 3 of 69"));
    QVERIFY(f->sim.ui.boxes[0].caption == "Error");
    QVERIFY(f->sim.transfers.empty());
    QCOMPARE(f->find<QLineEdit>("tbCPLDdata(20)")->text(), QStringLiteral("255"));
    QVERIFY(f->main().i2cWindow.existing() == nullptr);
  }
};

QTEST_MAIN(StartupFileTest)
#include "startup_file_test.moc"
