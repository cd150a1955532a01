#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>

#include "batch/batch_session.h"
#include "batch/message_pump.h"
#include "batch/row_store.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/table_output.h"
#include "platform/platform.h"
#include "query/import.h"
#include "query/number.h"
#include "text/encoding.h"

namespace kelvaro::cli {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Once interrupted, workers still running after this are left behind: the rows are
// printed and the process ends regardless.
constexpr auto kInterruptGrace = 700ms;

// One updating line on a terminal's stderr: "done/total rows, N rows/s".
class ProgressLine {
 public:
  ProgressLine(const BatchSession& session, int total)
      : session_(session), total_(total), start_(Clock::now()) {
    thread_ = std::thread([this] { Run(); });
  }
  ~ProgressLine() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
    Print();
    platform::WriteText(platform::Stream::kErr, "\n");
  }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      lock.unlock();
      Print();
      lock.lock();
      changed_.wait_for(lock, 250ms, [this] { return stop_; });
    }
  }
  void Print() {
    const int done = session_.FinishedRows();
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    const double rate = seconds > 0 ? done / seconds : 0.0;
    char line[96];
    std::snprintf(line, sizeof line, "\r%d/%d rows, %.1f rows/s\x1b[K", done, total_, rate);
    platform::WriteText(platform::Stream::kErr, line);
  }

  const BatchSession& session_;
  const int total_;
  const Clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::thread thread_;
};

// The query, then the removals asked for; false when workers were still running at the
// end of the grace after an interrupt.
bool QueryAndRemove(BatchSession& session, const Options& options, int rows) {
  std::unique_ptr<ProgressLine> progress;
  if (platform::IsTerminal(platform::Stream::kErr)) {
    progress = std::make_unique<ProgressLine>(session, rows);
  }
  session.StartBatchQuery(std::to_string(options.speed));
  if (!session.WaitForWorkers(kInterruptGrace)) return false;
  for (const auto& [asked, word] : {std::pair{options.remove_current, kStatusCurrent},
                                    std::pair{options.remove_superseded, kStatusSuperseded}}) {
    if (!asked || session.IsEnding()) continue;
    session.RemoveRowsWithStatus(word);
    if (!session.WaitForWorkers(kInterruptGrace)) return false;
  }
  return true;
}

}  // namespace

int RunBatch(const Options& options) {
  RowStore table;
  std::string reason;
  if (!ImportNumbersFromFile(table, options.operand, &reason)) {
    PrintError("cannot read " + options.operand + ": " + reason);
    return kExitUsage;
  }

  StdMessagePump pump;
  BatchSession session(table, pump);
  std::atomic<bool> interrupted{false};
  // Made before any worker, so every thread inherits the blocked signals; kept until the
  // table is written, so a signal meanwhile waits for its end instead of cutting a row.
  platform::InterruptWatcher watcher([&] {
    interrupted.store(true);
    session.RequestEnd();
  });
  const bool all_ended = QueryAndRemove(session, options, table.RowCount());
  const int written = WriteOutput(FormatTable(options.format, table.Snapshot()));
  // Workers stuck past the grace still use the session: leave them behind.
  if (!all_ended) platform::ExitNow(written == kExitOk ? kExitInterrupted : written);
  if (written != kExitOk) return written;
  return interrupted.load() ? kExitInterrupted : kExitOk;
}

}  // namespace kelvaro::cli
