// A batch run by the window's thread, the way the batch query button runs it, with the
// main window shown on the offscreen platform. Measures how late a 10 ms timer on the
// window's thread fires while the batch waits, and the process's CPU time against the
// wall time of the batch.
// Usage: kelvaro_bench_responsiveness SITE FILE SPEED     Prints key=value lines.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "batch_window.h"
#include "qt/program.h"
#include "query/batch_query.h"
#include "query/number.h"
#include "rows/import.h"
#include "site/standard_site.h"

namespace {

constexpr int kTickMs = 10;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A single-shot precise timer started again each time it fires: every lateness is
// measured against the deadline it was started with.
class LatenessProbe {
 public:
  LatenessProbe() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      late_ms_.push_back(std::max<qint64>(0, now - deadline_) / 1e6);
      Arm();
    });
    clock_.start();
  }
  void Start() {
    late_ms_.clear();
    Arm();
  }
  void Stop() { timer_.stop(); }
  double Percentile(double p) const {
    if (late_ms_.empty()) return -1;
    std::vector<double> sorted = late_ms_;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t i =
        std::min(sorted.size() - 1, static_cast<std::size_t>(p / 100.0 * sorted.size()));
    return sorted[i];
  }
  std::size_t Ticks() const { return late_ms_.size(); }

 private:
  void Arm() {
    deadline_ = clock_.nsecsElapsed() + kTickMs * 1000000LL;
    timer_.start(kTickMs);
  }

  QTimer timer_;
  QElapsedTimer clock_;
  qint64 deadline_ = 0;
  std::vector<double> late_ms_;
};

// Dispatches the window's events for `ms` milliseconds, as the main loop would.
void RunEventsFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  kelvaro::bench::BatchWindow bench(argc, argv);
  if (bench.failure() != 0) return bench.failure();
  kelvaro::ProgramContext& context = bench.context();
  const int rows = context.table().RowCount();

  // The same probe with nothing running, once the window has settled, for comparison.
  RunEventsFor(500);
  LatenessProbe probe;
  probe.Start();
  RunEventsFor(2000);
  probe.Stop();
  const double idle_p99 = probe.Percentile(99);

  kelvaro::BatchSession& batch = context.session();
  QElapsedTimer wall;
  const double cpu_before = CpuSeconds();
  wall.start();
  probe.Start();
  // What the batch query button does, then the wait for its last workers.
  batch.StartBatchQuery(
      context.window->control_as<QLineEdit>(kelvaro::kSpeedBox)->text().toStdString());
  batch.WaitForWorkers();
  probe.Stop();
  const double wall_seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
  const double cpu_seconds = CpuSeconds() - cpu_before;

  // The runner's poll alone (what the window's thread does while the bound is reached),
  // for five seconds: how much of the CPU share it accounts for.
  QElapsedTimer poll_wall;
  const double poll_cpu_before = CpuSeconds();
  poll_wall.start();
  while (poll_wall.nsecsElapsed() < 5000000000LL) {
    context.pump->TrimWorkingSet();
    context.pump->PumpingWait(1);
  }
  const double poll_share =
      (CpuSeconds() - poll_cpu_before) / (static_cast<double>(poll_wall.nsecsElapsed()) / 1e9);

  int unknown = 0;
  int empty = 0;
  for (int row = 0; row < rows; ++row) {
    const kelvaro::Text status = context.table().GetCellText(row, 2);
    if (status.empty()) ++empty;
    if (status == kelvaro::StatusWord(kelvaro::Status::kUnknown)) ++unknown;
  }
  std::printf(
      "rows=%d\nfinished_rows=%d\nrows_without_status=%d\nrows_unknown=%d\n"
      "wall_seconds=%.3f\ncpu_seconds=%.3f\ncpu_share=%.4f\nticks=%zu\n"
      "late_p50_ms=%.3f\nlate_p99_ms=%.3f\nlate_max_ms=%.3f\nidle_late_p99_ms=%.3f\n"
      "poll_cpu_share=%.4f\n",
      rows, batch.FinishedRows(), empty, unknown, wall_seconds, cpu_seconds,
      cpu_seconds / wall_seconds, probe.Ticks(), probe.Percentile(50), probe.Percentile(99),
      probe.Percentile(100), idle_p99, poll_share);
  std::fflush(stdout);
  return 0;
}
