#include "session/batch_session.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/web.h"
#include "query/number.h"

namespace kelvaro {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long a wait sleeps between looks while workers run, and once an end was asked for
// (then every wake-up also aborts a request that began after the last abort).
constexpr int kRunningPollUs = 200'000;
constexpr int kEndingPollUs = 20'000;

struct PendingQuery {
  std::atomic<bool> done{false};
  SingleQueryResult result;  // written by the worker before `done`
};

}  // namespace

BatchSession::BatchSession(ResultTable& table, MessagePump& pump, Site site, ThreadStarter starter)
    : table_(table), pump_(pump), site_(std::move(site)), runner_(pump, std::move(starter)) {
  query_lock_ = locks_.CreateLock();
}

BatchSession::~BatchSession() { EndAll(); }

QueryServices BatchSession::Services() {
  QueryServices services;
  services.table = &table_;
  services.runner = &runner_;
  services.locks = &locks_;
  services.query_lock = query_lock_;
  services.pump = &pump_;
  services.finished_rows = &finished_rows_;
  services.site = site_;
  return services;
}

void BatchSession::ShareBatch(QueryServices& services, StoreUse use) {
  // Nothing running: whatever a worker thread still holds belongs to a batch that ended.
  const bool running = batch_calls_ > 0 || IsRunning();
  std::shared_ptr<LookupStore> store = running ? store_.lock() : nullptr;
  if (store == nullptr) {
    store = std::make_shared<RememberingLookupStore>(
        archive_, use == StoreUse::kAskSite ? std::chrono::seconds(0) : max_age_);
    store_ = store;
    RequestPace::Wait wait = refusal_wait_;
    if (!wait) {
      BatchRunner* runner = &runner_;
      wait = [runner](std::chrono::milliseconds wait) {
        // In slices, so that ending the session does not wait for the site's patience.
        const auto until = Clock::now() + wait;
        while (Clock::now() < until && !runner->IsShuttingDown() && !runner->StopRequested()) {
          std::this_thread::sleep_for(std::min<Clock::duration>(until - Clock::now(), 50ms));
        }
      };
    }
    pace_ = std::make_shared<RequestPace>(std::move(wait));
  }
  services.store = std::move(store);
  services.pace = pace_;
}

template <typename Start>
void BatchSession::RunQuery(StoreUse use, Start start) {
  QueryServices services = Services();
  ShareBatch(services, use);
  ++batch_calls_;
  struct Leave {
    int& calls;
    ~Leave() { --calls; }
  } leave{batch_calls_};
  start(services);
}

void BatchSession::StartBatchQuery(const Text& speed_text, StoreUse use) {
  if (IsEnding()) return;
  RunQuery(use,
           [&](const QueryServices& services) { kelvaro::StartBatchQuery(services, speed_text); });
}

void BatchSession::QueryRows(const Text& speed_text, std::vector<RowId> row_ids, StoreUse use) {
  if (IsEnding()) return;
  RunQuery(use, [&](const QueryServices& services) {
    QueryRowsById(services, speed_text, std::move(row_ids));
  });
}

void BatchSession::RemoveRowsWithStatus(const Text& target_word) {
  if (IsEnding()) return;
  kelvaro::RemoveRowsWithStatus(Services(), target_word);
}

std::optional<SingleQueryResult> BatchSession::RunSingleQuery(const Text& number_box_text) {
  if (IsEnding()) return std::nullopt;
  auto pending = std::make_shared<PendingQuery>();
  MessagePump* pump = &pump_;
  auto lookup = [pending, site = site_, number_box_text, pump] {
    pending->result = kelvaro::RunSingleQuery(site, number_box_text);
    pending->done.store(true);
    pump->WakeUp();
  };
  std::thread worker;
  try {
    worker = std::thread(lookup);
  } catch (const std::system_error&) {
    lookup();  // no thread to be had: look it up here, the window waiting meanwhile
  }
  while (!pending->done.load()) {
    // Ended meanwhile: end the request now rather than at its time-out, and again on
    // every wake-up in case it had not begun yet.
    if (IsEnding()) platform::AbortAllRequests();
    pump_.PumpingWait(IsEnding() ? kEndingPollUs : kRunningPollUs);
  }
  if (worker.joinable()) worker.join();
  if (IsEnding()) return std::nullopt;
  return std::move(pending->result);
}

void BatchSession::RequestEnd() {
  end_requested_.store(true);
  runner_.Shutdown();
  platform::AbortAllRequests();
  pump_.WakeUp();
}

bool BatchSession::WaitForWorkers(std::chrono::milliseconds grace) {
  Clock::time_point give_up{};
  while (runner_.RunningCount() > 0) {
    if (IsEnding()) {
      if (give_up == Clock::time_point{}) {
        give_up = grace == kWaitForEver ? Clock::time_point::max() : Clock::now() + grace;
      }
      // A worker may begin its request just after an abort: abort again until the last
      // one has finished. Finishing workers wake the pump.
      platform::AbortAllRequests();
      if (Clock::now() >= give_up) return false;
    }
    pump_.PumpingWait(IsEnding() ? kEndingPollUs : kRunningPollUs);
  }
  runner_.WaitForAllWorkers();
  return true;
}

bool BatchSession::EndAll(std::chrono::milliseconds grace) {
  if (ended_.has_value()) return *ended_;
  RequestEnd();
  runner_.StopBatch();
  const bool all_ended = WaitForWorkers(grace);
  // Only now can no worker hold or wait for the query lock.
  if (all_ended) locks_.DeleteLock(query_lock_);
  ended_ = all_ended;
  return all_ended;
}

bool BatchSession::IsRunning() const { return runner_.RunningCount() > 0; }

bool BatchSession::IsEnding() const { return end_requested_.load(); }

int BatchSession::FinishedRows() const { return finished_rows_.load(); }

std::optional<int> BatchSession::RowsLeftAfterRefusals() const {
  if (pace_ == nullptr || !pace_->Stopped()) return std::nullopt;
  return pace_->Unasked();
}

}  // namespace kelvaro
