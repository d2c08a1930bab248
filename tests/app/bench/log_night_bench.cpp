// A night of watching in the log pane: 2,000,000 lines appended through the
// view (GLIMMORA_LOG_LINES to change it), the event loop run after every
// 2,000. Prints the time each 2,000 appends take and the memory in use, at
// the start, once the pane would hold 120,000 lines, and at the end, so that
// what a long run costs can be compared with a short one. A benchmark, not a
// test: the figures depend on the machine and its load.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/app_fixture.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

using glim::testing::AppFixture;

namespace {

// Heap in use (glibc), in MiB; -1 where unknown.
double heapMiB() {
#if defined(__GLIBC__)
  return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0);
#else
  return -1;
#endif
}

// Resident set, in MiB (Linux); -1 where unknown.
double residentMiB() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  if (!(statm >> pages >> resident)) return -1;
  return static_cast<double>(resident) * 4096.0 / (1024.0 * 1024.0);
}

struct Chunk {
  double millis;
  double heap;
  double resident;
};

double medianMillis(std::vector<Chunk> chunks) {
  std::sort(chunks.begin(), chunks.end(), [](const Chunk& a, const Chunk& b) { return a.millis < b.millis; });
  return chunks[chunks.size() / 2].millis;
}

class LogNightBench : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(glim::testing::fontsAvailable()); }

  void twoMillionLines() {
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    auto f = std::make_unique<AppFixture>();
    QVERIFY(f->showActive());
    const long total = qEnvironmentVariableIsSet("GLIMMORA_LOG_LINES")
                           ? qEnvironmentVariable("GLIMMORA_LOG_LINES").toLong()
                           : 2'000'000L;
    constexpr int kChunk = 2000;
    std::vector<Chunk> chunks;
    QElapsedTimer clock;
    QElapsedTimer wall;
    wall.start();
    long line = 0;
    while (line < total) {
      clock.start();
      for (int i = 0; i < kChunk; ++i, ++line) {
        f->main().log.logMessage("00:00:" + std::to_string(line) + ".000 Watch 0x02 Fault/Status: 00 -> 01");
      }
      QCoreApplication::processEvents();
      chunks.push_back({static_cast<double>(clock.nsecsElapsed()) / 1e6, heapMiB(), residentMiB()});
      if (chunks.size() % 100 == 0) {
        qInfo("%ld lines: %.1f ms for the last 2,000, heap %.0f MiB, resident %.0f MiB, %.0f s so far", line,
              chunks.back().millis, chunks.back().heap, chunks.back().resident,
              static_cast<double>(wall.elapsed()) / 1000.0);
      }
    }
    const auto pane = f->find<QPlainTextEdit>("txtLog");
    const std::size_t n = chunks.size();
    const std::size_t at120k = std::min<std::size_t>(n - 1, 60);
    const auto window = [&](std::size_t from) {
      from = std::min(from, n - std::min<std::size_t>(n, 10));
      return std::vector<Chunk>(chunks.begin() + static_cast<long>(from),
                                chunks.begin() + static_cast<long>(std::min(n, from + 10)));
    };
    qInfo("%ld lines in %.0f s; the pane holds %d lines", line, static_cast<double>(wall.elapsed()) / 1000.0,
          pane->document()->blockCount() - 1);
    qInfo("time per 2,000 appends (median of 10): %.1f ms at the start, %.1f ms at 120,000 lines, %.1f ms at the end",
          medianMillis(window(0)), medianMillis(window(at120k)), medianMillis(window(n - 10)));
    qInfo("heap in use: %.0f MiB after 2,000 lines, %.0f MiB at 120,000, %.0f MiB at the end", chunks[0].heap,
          chunks[at120k].heap, chunks[n - 1].heap);
    qInfo("resident: %.0f MiB after 2,000 lines, %.0f MiB at 120,000, %.0f MiB at the end", chunks[0].resident,
          chunks[at120k].resident, chunks[n - 1].resident);
    f.reset();
  }
};

}  // namespace

QTEST_MAIN(LogNightBench)
#include "log_night_bench.moc"
