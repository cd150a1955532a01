#include "query/batch_query.h"

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "query/asking.h"
#include "query/number.h"
#include "query/verdict.h"
#include "rows/reason.h"

namespace kelvaro {
namespace {

// What an earlier lookup of the cited standard found, kept in `judgement` when its verdict
// was another; this one is kept for the next. A failed lookup found nothing to compare.
void NotePrevious(const QueryServices& services, const Text& cleaned, Judgement& judgement) {
  if (services.store == nullptr || judgement.verdict == Verdict::kNone ||
      IsSiteFailure(judgement.reason.outcome) || judgement.read_at.empty()) {
    return;
  }
  const VerdictSeen now{static_cast<int>(judgement.verdict), LatestNumber(judgement),
                        judgement.reason.effective_date, judgement.read_at};
  const std::optional<VerdictSeen> before =
      services.store->NoteVerdict(services.site, UpperCase(cleaned), now, judgement.from_store);
  if (before.has_value() && before->verdict != now.verdict) {
    judgement.previous =
        PreviousVerdict{static_cast<Verdict>(before->verdict), before->looked_up_at};
  }
}

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

// What the row's citation says beside its number.
CitedAs CitedIn(const RowSource& source) {
  if (!source.citation.has_value()) return {};
  CitedAs cited{source.citation->edition, source.citation->title};
  for (const CitedPlace& again : source.cited_again) {
    cited.titles_again.push_back(again.citation.title);
  }
  return cited;
}

}  // namespace

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
  const auto stopped = [&] {
    table->SetJudgementById(id, StoppedLookup(table->JudgementById(id)));
  };
  if (Stopping(services.runner)) return stopped();

  ScopedLock hold(*services.locks, services.query_lock);
  // Workers that were waiting for the lock when the batch was ended skip their request.
  if (services.runner->IsShuttingDown()) return stopped();
  // An empty keyword names no standard: no request, and the row says so.
  if (keyword.empty()) return table->SetJudgementById(id, JudgeLookup(entered, keyword, nullptr));
  // Under the query lock: a row waiting for it finds the page the row before fetched.
  BatchRunner* runner = services.runner;
  Asking asking{services.site, services.store.get(), services.pace.get(),
                [runner] { return runner->IsShuttingDown(); }};
  const std::optional<StandardLookup> lookup = LookUpCited(asking, entered, keyword);
  if (!lookup.has_value()) {
    if (runner->IsShuttingDown() || services.pace == nullptr) return stopped();
    // The site refused too often and the batch knows no answer: the row is left as it was.
    return services.pace->LeftUnasked();
  }
  Judgement judgement = JudgeLookup(entered, keyword, &*lookup, CitedIn(source));
  FindSuccessor(asking, entered, judgement);
  // An aborted request must not leave a false "未知" in its row.
  if (asking.requests > 0 && runner->IsShuttingDown()) return stopped();
  NotePrevious(services, number, judgement);
  table->SetJudgementById(id, judgement);
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
