#include "query/batch_query.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "query/number.h"
#include "query/verdict.h"

namespace kelvaro {
namespace {

// Calls WorkerFinished when the worker leaves, whichever way it leaves: the runner's
// count must come down exactly once per worker. Declared first, so it runs last.
class FinishGuard {
 public:
  explicit FinishGuard(BatchRunner* runner, std::atomic<int>* finished = nullptr)
      : runner_(runner), finished_(finished) {}
  ~FinishGuard() {
    if (finished_ != nullptr) finished_->fetch_add(1);
    if (runner_ != nullptr) runner_->WorkerFinished();
  }
  FinishGuard(const FinishGuard&) = delete;
  FinishGuard& operator=(const FinishGuard&) = delete;

 private:
  BatchRunner* runner_;
  std::atomic<int>* finished_;
};

constexpr int kHttpOk = 200;

bool Stopping(const BatchRunner* runner) {
  return runner->IsShuttingDown() || runner->StopRequested();
}

RowId IdOf(const std::vector<RowId>& ids, int row_number) {
  if (row_number < 1 || static_cast<std::size_t>(row_number) > ids.size()) return 0;
  return ids[static_cast<std::size_t>(row_number) - 1];
}

// Removal workers make their read and their deletion one step among themselves, so a
// row is deleted only if its status cell held the target at that moment.
std::mutex& RemovalMutex() {
  static std::mutex mutex;
  return mutex;
}

void RemoveIfStatus(ResultTable* table, RowId id, const Text& target_word) {
  if (id == 0) return;
  std::lock_guard<std::mutex> hold(RemovalMutex());
  if (table->RowIndexOf(id) < 0) return;
  if (table->GetCellTextById(id, ColumnIndex(Column::kStatus)) == target_word)
    table->DeleteRowById(id);
}

// The keyword's page: from the cache when this batch already fetched it, else one
// request (kept for the rows after it when it succeeded).
StandardLookup LookUp(const QueryServices& services, const Text& keyword, bool& requested) {
  const StandardSite& site = ActiveSite();
  if (services.cache != nullptr) {
    if (std::optional<StandardLookup> known = services.cache->Find(site, keyword)) {
      requested = false;
      return std::move(*known);
    }
  }
  requested = true;
  StandardLookup lookup = FetchCurrentStandard(site, keyword);
  if (services.cache != nullptr) services.cache->Store(site, keyword, lookup);
  return lookup;
}

}  // namespace

std::optional<StandardLookup> KeywordCache::Find(const StandardSite& site,
                                                 const Text& keyword) const {
  std::lock_guard<std::mutex> hold(mutex_);
  const auto it = pages_.find({site.Name(), keyword});
  if (it == pages_.end()) return std::nullopt;
  return it->second;
}

void KeywordCache::Store(const StandardSite& site, const Text& keyword,
                         const StandardLookup& lookup) {
  if (lookup.http_status != kHttpOk) return;
  std::lock_guard<std::mutex> hold(mutex_);
  pages_.emplace(std::pair<std::string, Text>(site.Name(), keyword), lookup);
}

Text EnteredNumber(const RowSource& source, const Text& number_cell) {
  // A citation's number cell shows it as written: the canonical number is what the site knows.
  return source.citation.has_value() ? source.citation->number : number_cell;
}

void QueryRow(const QueryServices& services, const std::vector<RowId>& ids, int row_number) {
  FinishGuard finish(services.runner, services.finished_rows);
  ResultTable* table = services.table;
  const RowId id = IdOf(ids, row_number);
  if (id == 0 || table->RowIndexOf(id) < 0) return;  // removed since the batch began

  const RowSource source = table->SourceById(id);
  const Text entered =
      EnteredNumber(source, table->GetCellTextById(id, ColumnIndex(Column::kNumber)));
  table->MakeRowVisibleById(id);
  Text number = entered;
  const Text keyword = NormalizeNumber(number);  // `number` is now the cleaned number
  const RowReason aborted{Outcome::kAborted, 0, {}};
  if (Stopping(services.runner)) {
    table->SetReasonById(id, aborted);
    return;
  }

  ScopedLock hold(*services.locks, services.query_lock);
  // Workers that were waiting for the lock when the batch was ended skip their request.
  if (services.runner->IsShuttingDown()) {
    table->SetReasonById(id, aborted);
    return;
  }
  const std::string cited_edition =
      source.citation.has_value() ? source.citation->edition : std::string();
  Verdict verdict = JudgeLookup(entered, keyword, nullptr);
  if (!keyword.empty()) {
    // Under the query lock: a row waiting for it finds the page the row before fetched.
    bool requested = false;
    StandardLookup lookup = LookUp(services, keyword, requested);
    // An aborted request must not leave a false "未知" in its row.
    if (requested && services.runner->IsShuttingDown()) {
      table->SetReasonById(id, aborted);
      return;
    }
    verdict = JudgeLookup(entered, keyword, &lookup, cited_edition);
  }
  // An empty keyword names no standard: no request, and the row says so.
  table->SetCellTextById(id, ColumnIndex(Column::kStatus), StatusWord(verdict.status));
  table->SetCellTextById(id, ColumnIndex(Column::kLatestNumber), verdict.record.number);
  table->SetCellTextById(id, ColumnIndex(Column::kLatestTitle), verdict.record.title);
  table->SetNotesById(id, verdict.notes);
  table->SetReasonById(id, verdict.reason);
}

void StartBatchQuery(const QueryServices& services, const Text& speed_text) {
  QueryRowsById(services, speed_text, services.table->RowIds());
}

void QueryRowsById(const QueryServices& services, const Text& speed_text,
                   std::vector<RowId> row_ids) {
  const int speed = ClampBound(TextToInteger(speed_text));
  // The workers outlive RunBatch: they share the ids with the closure that made them.
  auto ids = std::make_shared<const std::vector<RowId>>(std::move(row_ids));
  QueryServices shared = services;
  services.runner->RunBatch(
      [shared, ids](int row_number) {
        QueryRow(shared, *ids, row_number);
        return 0;
      },
      speed, static_cast<int>(ids->size()));
}

void RemoveRowIfStatus(const QueryServices& services, const std::vector<RowId>& ids,
                       const Text& target_word, int row_number) {
  FinishGuard finish(services.runner);
  RemoveIfStatus(services.table, IdOf(ids, row_number), target_word);
}

void RemoveRowsWithStatus(const QueryServices& services, const Text& target_word) {
  BatchRunner* runner = services.runner;
  ResultTable* table = services.table;
  while (!runner->IsShuttingDown() &&
         table->FindRow(target_word, ColumnIndex(Column::kStatus)) != -1) {
    auto ids = std::make_shared<const std::vector<RowId>>(table->RowIds());
    // Workers of this pass that have not ended yet; each lowers it before WorkerFinished.
    auto pending = std::make_shared<std::atomic<int>>(static_cast<int>(ids->size()));
    const Text target = target_word;
    ResultTable* shared_table = table;
    runner->RunBatch(
        [runner, shared_table, ids, pending, target](int row_number) {
          FinishGuard finish(runner);
          RemoveIfStatus(shared_table, IdOf(*ids, row_number), target);
          pending->fetch_sub(1);
          return 0;
        },
        kRemovalBound, static_cast<int>(ids->size()));
    // A pass removes every match present when it began, but RunBatch returns before its
    // last workers end: wait for them, or the next FindRow would start a needless pass.
    // A pass cut short (stop, shutdown, a thread never started) leaves `pending` above
    // zero for good, so the wait also ends when no worker of any run is running.
    // Without a pump there is no wait that lets the workers' table calls through; an
    // extra pass is then merely wasteful, never wrong.
    while (services.pump != nullptr && pending->load() > 0 && runner->RunningCount() > 0 &&
           !runner->IsShuttingDown()) {
      services.pump->PumpingWait(10000);
    }
    if (runner->StopRequested()) break;
  }
}

}  // namespace kelvaro
