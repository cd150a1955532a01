#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "batch/message_pump.h"
#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/table_output.h"
#include "platform/console.h"
#include "platform/files.h"
#include "query/changes.h"
#include "query/number.h"
#include "rows/import.h"
#include "rows/reason.h"
#include "rows/row_store.h"
#include "rows/verdicts.h"
#include "session/batch_progress.h"
#include "session/batch_session.h"
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
  explicit ProgressLine(const BatchProgress& progress) : progress_(progress), start_(Clock::now()) {
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
    const int done = progress_.Done();
    const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
    const double rate = seconds > 0 ? done / seconds : 0.0;
    char line[96];
    std::snprintf(line, sizeof line, "\r%d/%d rows, %.1f rows/s\x1b[K", done, progress_.Total(),
                  rate);
    platform::WriteText(platform::Stream::kErr, line);
  }

  const BatchProgress& progress_;
  const Clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool stop_ = false;
  std::thread thread_;
};

// Sleeps `delay` unless an interrupt comes first (RequestEnd wakes the pump).
void WaitUnlessEnding(BatchSession& session, MessagePump& pump, Clock::duration delay) {
  const auto until = Clock::now() + delay;
  while (!session.IsEnding()) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(until - Clock::now());
    if (left.count() <= 0) return;
    pump.PumpingWait(static_cast<int>(left.count()));
  }
}

// The query, then up to options.retry more tries of the rows the site failed, the first
// after a second's wait, each later one after twice the wait before; false when workers
// were still running at the end of the grace after an interrupt.
bool QueryWithRetries(BatchSession& session, MessagePump& pump, RowStore& table,
                      const Options& options) {
  BatchProgress progress(session);
  std::unique_ptr<ProgressLine> line;
  progress.Begin(table.RowCount());
  if (platform::IsTerminal(platform::Stream::kErr)) line = std::make_unique<ProgressLine>(progress);
  const std::string speed = std::to_string(options.speed);
  session.StartBatchQuery(speed);
  if (!session.WaitForWorkers(kInterruptGrace)) return false;
  for (int attempt = 0; attempt < options.retry && !session.IsEnding(); ++attempt) {
    // A site that refused again and again is not asked again at once.
    if (session.RowsLeftAfterRefusals().has_value()) break;
    std::vector<RowId> failed = SiteFailedRows(table);
    if (failed.empty()) break;
    WaitUnlessEnding(session, pump, std::chrono::seconds(1) * (1 << attempt));
    if (session.IsEnding()) break;
    // Rows tried again count as rows of their own.
    progress.AddRows(static_cast<int>(failed.size()));
    session.QueryRows(speed, std::move(failed), StoreUse::kAskSite);
    if (!session.WaitForWorkers(kInterruptGrace)) return false;
  }
  return true;
}

// The removals asked for; false as above.
bool RemoveAsked(BatchSession& session, const Options& options) {
  for (const auto& [asked, verdict] :
       {std::pair{options.remove_current, Verdict::kCurrent},
        std::pair{options.remove_superseded, Verdict::kSuperseded}}) {
    if (!asked || session.IsEnding()) continue;
    session.RemoveRowsWithStatus(StatusWord(verdict));
    if (!session.WaitForWorkers(kInterruptGrace)) return false;
  }
  return true;
}

// The table written as asked; a workbook's cells cut at Excel's length are said on stderr.
int WriteTable(const Options& options, const Rows& rows, const Site& site) {
  std::size_t cells_cut = 0;
  const std::string data = FormatTable(options.format, rows, {options.reasons, options.sources},
                                       &cells_cut, OperandPrintInfo(options, rows, site));
  if (data.empty()) {  // a workbook the rows do not fit, refused before the lookups anyway
    PrintError(RowCountRefusal(options, rows.size()));
    return kExitUsage;
  }
  const int written = WriteResult(options, data);
  if (written == kExitOk && cells_cut > 0) PrintError(CellsCutText(cells_cut));
  return written;
}

bool AnySiteFailure(const Rows& rows) {
  for (const auto& row : rows) {
    if (IsSiteFailure(row.judgement.reason.outcome)) return true;
  }
  return false;
}

bool AnyOutdated(const Rows& rows) {
  for (const auto& row : rows) {
    if (IsOutdated(row.judgement)) return true;
  }
  return false;
}

}  // namespace

bool EveryLookupFailed(const Rows& rows) {
  bool failed = false;
  for (const auto& row : rows) {
    const Outcome outcome = row.judgement.reason.outcome;
    if (outcome == Outcome::kNone || outcome == Outcome::kNoYear || outcome == Outcome::kEmpty) {
      continue;  // nothing was asked for it
    }
    if (!IsSiteFailure(outcome)) return false;
    failed = true;
  }
  return failed;
}

XlsxPrintInfo OperandPrintInfo(const Options& options, const Rows& rows, const Site& site) {
  return WorkbookPrintInfo(rows, options.operand == "-" ? std::string() : options.operand, site);
}

bool OperandIsFolder(const Options& options) {
  return options.operand != "-" && platform::IsFolder(options.operand);
}

namespace {

// A folder's documents read, the count on a terminal's stderr as they are; every note said.
bool ImportFolder(const Options& options, std::vector<ImportedRow>& rows, FolderListing& listing) {
  std::string reason;
  if (!ListFolderDocuments(options.operand, listing, reason)) {
    PrintUnreadable(options, reason);
    return false;
  }
  const bool terminal = platform::IsTerminal(platform::Stream::kErr);
  const std::size_t total = listing.documents.size();
  FolderRows read;
  RowsFromFolder(listing, read, [&](int done) {
    if (!terminal) return;
    platform::WriteText(platform::Stream::kErr, "\r" + std::to_string(done) + "/" +
                                                    std::to_string(total) + " documents read");
    if (static_cast<std::size_t>(done) == total) platform::WriteText(platform::Stream::kErr, "\n");
  });
  for (const std::string& note : read.notes) PrintError("warning: " + note);
  rows = std::move(read.rows);
  return true;
}

}  // namespace

bool ImportOperand(const Options& options, Bytes* keep, RowStore& table, FolderListing* folder) {
  std::vector<ImportedRow> rows;
  if (OperandIsFolder(options)) {
    FolderListing listing;
    if (!ImportFolder(options, rows, listing)) return false;
    if (folder != nullptr) *folder = std::move(listing);
  } else {
    Bytes bytes;
    std::string reason;
    if (!ReadOperand(options, bytes, reason)) {
      PrintUnreadable(options, reason);
      return false;
    }
    DocumentError why = DocumentError::kNone;
    std::vector<std::string> notes;
    if (!RowsFromBytes(bytes, OperandKind(options), rows, why, options.citations, &notes)) {
      PrintUnreadable(options, DocumentErrorWords(why));
      return false;
    }
    for (const std::string& note : notes) PrintError("warning: " + note);
    if (keep != nullptr) *keep = std::move(bytes);
  }
  // Said before the lookups: they would be for nothing.
  if (const std::string refusal = RowCountRefusal(options, rows.size()); !refusal.empty()) {
    PrintError(refusal);
    return false;
  }
  FillTable(table, rows);
  return true;
}

int LookUpRows(const Options& options, const Site& site, RowStore& table,
               const WriteLookedUp& write) {
  StdMessagePump pump;
  BatchSession session(table, pump, site);
  std::string warning;
  std::shared_ptr<LookupArchive> archive =
      LookupArchive::Open(LookupArchivePath(options.no_store), warning);
  if (!warning.empty()) PrintError("warning: " + warning);
  session.UseArchive(archive, std::chrono::hours(24) * options.max_age_days);
  std::atomic<bool> interrupted{false};
  int written = kExitOk;
  std::optional<int> refusals_stopped;
  Rows looked_up;
  {
    // Made before any worker, so every thread inherits the blocked signals; kept until the
    // output is written, so a signal meanwhile waits for its end instead of cutting a row.
    // Its end takes a signal its thread had no time for, so the exit status tells of it.
    platform::InterruptWatcher watcher([&] {
      interrupted.store(true);
      session.RequestEnd();
    });
    bool all_ended = QueryWithRetries(session, pump, table, options);
    // The summary tells what the lookups found, before any rows are left out.
    looked_up = table.Snapshot();
    written = write(session, looked_up, all_ended);
    platform::WriteText(platform::Stream::kErr, SummaryLine(looked_up));
    refusals_stopped = session.RowsLeftAfterRefusals();
    if (const std::string late = archive->TakeWarning(); !late.empty()) {
      PrintError("warning: " + late);
    }
    if (refusals_stopped.has_value()) PrintError(RefusalStopWords(*refusals_stopped));
    // Workers stuck past the grace still use the session: leave them behind.
    if (!all_ended) platform::ExitNow(written == kExitOk ? kExitInterrupted : written);
  }
  if (written != kExitOk) return written;
  if (interrupted.load()) return kExitInterrupted;
  // An incomplete check says so before what it found: a row that could not be checked is no
  // current one to whoever gates on the outdated ones, and a copy or change list that misses
  // rows is not the whole answer.
  const bool incomplete_fails = options.strict || options.fail_on_outdated ||
                                options.command == Options::Command::kMark ||
                                options.command == Options::Command::kChanges;
  if (incomplete_fails && (AnySiteFailure(looked_up) || refusals_stopped.has_value())) {
    return kExitSiteFailed;
  }
  return options.fail_on_outdated && AnyOutdated(looked_up) ? kExitOutdated : kExitOk;
}

int RunBatch(const Options& options, const Site& site) {
  if (OutputRefused(options)) return kExitUsage;
  RowStore table;
  if (!ImportOperand(options, nullptr, table)) return kExitUsage;
  if (!OutputFolderWritable(options)) return kExitFailure;
  return LookUpRows(options, site, table, [&](BatchSession& session, const Rows&, bool& all_ended) {
    if (all_ended) all_ended = RemoveAsked(session, options);
    Rows rows = table.Snapshot();
    if (options.changed_only) {
      std::erase_if(rows, [](const TableRow& row) { return !row.judgement.previous.has_value(); });
    }
    return WriteTable(options, rows, site);
  });
}

}  // namespace kelvaro::cli
