// The batch query and the removal by status, shared by the window and the command line.
// Both work on row ids taken when a pass starts, so rows removed or moved meanwhile
// never receive another row's result.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "batch/batch_runner.h"
#include "batch/lock_registry.h"
#include "batch/message_pump.h"
#include "query/request_pace.h"
#include "rows/result_table.h"
#include "site/lookup_store.h"
#include "site/standard_site.h"
#include "text/text.h"

namespace kelvaro {

// What a batch and its workers share. Everything pointed to outlives the workers:
// a front end waits for every worker to end before tearing these down.
struct QueryServices {
  ResultTable* table = nullptr;
  BatchRunner* runner = nullptr;
  LockRegistry* locks = nullptr;
  int query_lock = 0;
  // The pump the runner waits with (set it): the removal loop waits on it for the
  // workers of one pass before it looks for matches again.
  MessagePump* pump = nullptr;
  // Optional: raised once by every query worker just before it finishes (progress).
  std::atomic<int>* finished_rows = nullptr;
  // The site the rows are looked up on.
  Site site;
  // Optional: asked before the site and told every answer, shared by the rows of a batch and
  // its nested batches; null asks the site for every row.
  std::shared_ptr<LookupStore> store;
  // Optional, shared likewise: the batch's pace at a site that refuses it; null never waits
  // and never stops asking.
  std::shared_ptr<RequestPace> pace{};
};

// The worker for row `row_number` (1-based) of a batch over `ids`. Calls
// runner->WorkerFinished() exactly once, last.
// The number a row looks up, before cleaning: its citation's canonical number, else its
// number cell.
Text EnteredNumber(const RowSource& source, const Text& number_cell);

void QueryRow(const QueryServices& services, const std::vector<RowId>& ids, int row_number);

// The query button: one worker per row present now, at most `speed_text` (read with
// TextToInteger, clamped to 1..64) at once. Returns when RunBatch returns; the last
// workers may still be running.
void StartBatchQuery(const QueryServices& services, const Text& speed_text);

// The same over the given rows only (a second try of some rows), in their order.
void QueryRowsById(const QueryServices& services, const Text& speed_text,
                   std::vector<RowId> row_ids);

// The removal worker for row `row_number` of a pass over `ids`: deletes the row when its
// status cell equals `target_word` byte for byte. Calls WorkerFinished exactly once, last.
void RemoveRowIfStatus(const QueryServices& services, const std::vector<RowId>& ids,
                       const Text& target_word, int row_number);

// The removal buttons: passes of up to 10 workers until no row holds `target_word`.
void RemoveRowsWithStatus(const QueryServices& services, const Text& target_word);

inline constexpr int kRemovalBound = 10;

}  // namespace kelvaro
