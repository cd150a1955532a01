// One front end's batches, from its window's creation to its closing: the runner, the
// lock registry and the query lock, and the few things the window and the command line
// do with them. The top of the core: it drives the row query of query/.
#pragma once

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "batch/batch_runner.h"
#include "batch/lock_registry.h"
#include "batch/message_pump.h"
#include "query/batch_query.h"
#include "query/single_query.h"
#include "rows/result_table.h"
#include "store/lookup_archive.h"
#include "text/text.h"

namespace kelvaro {

// Whether a batch may answer from what earlier runs kept (when fresh), or asks the site for
// every row: a retry, or a re-check that must not trust the store.
enum class StoreUse { kAnswerFresh, kAskSite };

class BatchSession {
 public:
  static constexpr std::chrono::seconds kDefaultMaxAge = std::chrono::hours(24 * 7);

  static constexpr std::chrono::milliseconds kWaitForEver = std::chrono::milliseconds::max();

  // `table` and `pump` outlive the session; `pump` belongs to the calling thread, which
  // every member below but RequestEnd must be called on. Standards are looked up on `site`.
  // Creates the query lock.
  BatchSession(ResultTable& table, MessagePump& pump, Site site,
               ThreadStarter starter = StartDetachedThread);
  // Ends everything (EndAll) unless that was done.
  ~BatchSession();
  BatchSession(const BatchSession&) = delete;
  BatchSession& operator=(const BatchSession&) = delete;

  // The batch query button: one worker per row present now, at most `speed_text` (read
  // with TextToInteger, clamped to 1..64) running at once. Returns when the last worker
  // has been started; the last ones may still be running. A keyword fetched successfully
  // is asked for once while the batch lasts: until it has returned and its last worker
  // has ended. Batches started meanwhile (nested in its wait, or over its last workers)
  // share its pages; one started afterwards asks the site afresh.
  void StartBatchQuery(const Text& speed_text, StoreUse use = StoreUse::kAnswerFresh);
  // The same over the given rows only, in their order (rows removed meanwhile are skipped).
  void QueryRows(const Text& speed_text, std::vector<RowId> row_ids,
                 StoreUse use = StoreUse::kAnswerFresh);
  // Where batches started from now on keep every lookup, and answer from it those younger
  // than `max_age` (zero: none). Without a call nothing outlives a batch.
  void UseArchive(std::shared_ptr<LookupArchive> archive,
                  std::chrono::seconds max_age = kDefaultMaxAge) {
    archive_ = std::move(archive);
    max_age_ = max_age;
  }
  const std::shared_ptr<LookupArchive>& archive() const { return archive_; }
  // The removal buttons: passes of up to 10 workers until no row holds `target_word`.
  void RemoveRowsWithStatus(const Text& target_word);
  // The site lookups ask from now on (batches running go on with theirs).
  void SetSite(const Site& site) { site_ = site; }
  const Site& site() const { return site_; }
  // The single query, its request made off this thread while the pump dispatches.
  // Nothing when the session was ended meanwhile.
  std::optional<SingleQueryResult> RunSingleQuery(const Text& number_box_text);

  // Any thread: no further row starts, workers that have not made their request skip
  // it, and requests in flight are aborted. Waits in progress go on.
  void RequestEnd();
  // Pumps until no worker of any run is running. Once an end has been requested, aborts
  // again at every wake-up and gives up after `grace`: false when workers were left.
  bool WaitForWorkers(std::chrono::milliseconds grace = kWaitForEver);
  // Closing the window, Ctrl-C: RequestEnd, WaitForWorkers(grace), then the query lock
  // is deleted (only when no worker can use it any more). The first call decides; later
  // calls give its result.
  bool EndAll(std::chrono::milliseconds grace = kWaitForEver);

  bool IsRunning() const;
  bool IsEnding() const;
  // When the last batch query stopped asking because the site refused it again and again:
  // how many of its rows were left as they were. Nothing otherwise.
  std::optional<int> RowsLeftAfterRefusals() const;
  // How the batches wait after a refusal (a test seam: the default sleeps, waking early when
  // the session ends).
  void SetRefusalWait(RequestPace::Wait wait) { refusal_wait_ = std::move(wait); }
  // Query workers that have finished since the session began (progress).
  int FinishedRows() const;

  BatchRunner& runner() { return runner_; }

 private:
  QueryServices Services();
  // The store and pace of the batch now running, or new ones when none runs.
  void ShareBatch(QueryServices& services, StoreUse use);
  // A batch query over `services` (store set), counted in batch_calls_.
  template <typename Start>
  void RunQuery(StoreUse use, Start start);

  ResultTable& table_;
  MessagePump& pump_;
  Site site_;
  BatchRunner runner_;
  LockRegistry locks_;
  int query_lock_ = 0;
  // Owned by the batch calls and their workers; gone when the last of them has ended.
  std::weak_ptr<LookupStore> store_;
  std::shared_ptr<LookupArchive> archive_ = LookupArchive::None();
  std::chrono::seconds max_age_ = kDefaultMaxAge;
  std::shared_ptr<RequestPace> pace_;  // the last batch query's, kept to say how it ended
  RequestPace::Wait refusal_wait_;
  int batch_calls_ = 0;  // query batches on the stack of this thread (nested ones too)
  std::atomic<int> finished_rows_{0};
  std::atomic<bool> end_requested_{false};
  std::optional<bool> ended_;  // EndAll's result, once it has run
};

}  // namespace kelvaro
