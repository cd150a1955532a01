#include "batch/batch_runner.h"

#include <gtest/gtest.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <future>
#include <mutex>
#include <numeric>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "support/counting_worker.h"

namespace kelvaro {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::CountingWorker;

// The standard pump, counting how the runner uses it.
class CountingPump : public StdMessagePump {
 public:
  void PumpingWait(int microseconds) override {
    waits.fetch_add(1);
    StdMessagePump::PumpingWait(microseconds);
  }
  void TrimWorkingSet() override {
    trims.fetch_add(1);
    StdMessagePump::TrimWorkingSet();
  }
  std::atomic<int> waits{0};
  std::atomic<int> trims{0};
};

// One ordered record shared by several workers and pump tasks.
class Log {
 public:
  void Add(std::string entry) {
    std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
  }
  std::vector<std::string> Entries() {
    std::lock_guard lock(mutex_);
    return entries_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> entries_;
};

std::vector<int> OneTo(int n) {
  std::vector<int> rows(static_cast<std::size_t>(std::max(n, 0)));
  std::iota(rows.begin(), rows.end(), 1);
  return rows;
}

std::vector<int> Sorted(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

// Pause is consulted only after a start: a worker that posts a pause holds on
// until it has taken effect, so the runner is still in its wait for this row.
void WaitUntilPaused(BatchRunner& runner) {
  const auto give_up = Clock::now() + 10s;
  while (!runner.Paused() && Clock::now() < give_up) std::this_thread::sleep_for(1ms);
}

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

struct ClampCase {
  int bound;
  int expected;
};

void PrintTo(const ClampCase& c, std::ostream* os) { *os << c.bound; }

class ClampBoundTest : public ::testing::TestWithParam<ClampCase> {};

TEST_P(ClampBoundTest, KeepsTheBoundWithinOneToSixtyFour) {
  EXPECT_EQ(ClampBound(GetParam().bound), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ClampBoundTest,
                         ::testing::Values(ClampCase{INT_MIN, 1}, ClampCase{-3, 1}, ClampCase{0, 1},
                                           ClampCase{1, 1}, ClampCase{2, 2}, ClampCase{10, 10},
                                           ClampCase{64, 64}, ClampCase{65, 64},
                                           ClampCase{100000, 64}, ClampCase{INT_MAX, 64}));

TEST(BatchRunner, FreshRunnerHasAllFieldsZeroAndFlagsAreSet) {
  StdMessagePump pump;
  BatchRunner runner(pump);
  EXPECT_EQ(runner.RunningCount(), 0);
  EXPECT_FALSE(runner.Paused());
  EXPECT_FALSE(runner.StopRequested());
  runner.PauseBatch();
  EXPECT_TRUE(runner.Paused());
  runner.ResumeBatch();
  EXPECT_FALSE(runner.Paused());
  runner.StopBatch();
  EXPECT_TRUE(runner.StopRequested());
  runner.Destroy();  // does nothing
  EXPECT_TRUE(runner.StopRequested());
  EXPECT_FALSE(runner.IsShuttingDown());
}

class BatchRunnerEmpty : public ::testing::TestWithParam<int> {};

TEST_P(BatchRunnerEmpty, StartsNothingAndTrimsOnce) {
  CountingPump pump;
  std::atomic<int> starts{0};
  BatchRunner runner(pump, [&](std::function<void()> body) {
    starts.fetch_add(1);
    return StartDetachedThread(std::move(body));
  });
  runner.PauseBatch();
  runner.StopBatch();
  const double elapsed = runner.RunBatch([](int) { return 0; }, 2, GetParam());
  EXPECT_EQ(starts.load(), 0);
  EXPECT_EQ(pump.trims.load(), 1);
  EXPECT_EQ(pump.waits.load(), 0);
  EXPECT_GE(elapsed, 0.0);
  EXPECT_LT(elapsed, 5.0);
  EXPECT_EQ(runner.RunningCount(), 0);
  // Every run starts with both flags cleared.
  EXPECT_FALSE(runner.Paused());
  EXPECT_FALSE(runner.StopRequested());
}

INSTANTIATE_TEST_SUITE_P(Counts, BatchRunnerEmpty, ::testing::Values(0, -1, INT_MIN));

TEST(BatchRunnerConcurrency, StartDetachedThreadRunsTheBody) {
  std::promise<std::thread::id> ran;
  ASSERT_TRUE(StartDetachedThread([&] { ran.set_value(std::this_thread::get_id()); }));
  auto id = ran.get_future();
  ASSERT_EQ(id.wait_for(10s), std::future_status::ready);
  EXPECT_NE(id.get(), std::this_thread::get_id());
}

class BatchRunnerBoundConcurrency : public ::testing::TestWithParam<int> {};

TEST_P(BatchRunnerBoundConcurrency, AtMostBoundWorkersRunAndTheBoundIsReached) {
  const int bound = GetParam();
  StdMessagePump pump;
  BatchRunner runner(pump);
  CountingWorker::Options options;
  options.sleep = 10ms;
  options.hold_until_running = bound;  // the first `bound` rows meet before going on
  CountingWorker worker(runner, options);
  const int count = 3 * bound + 1;
  runner.RunBatch(worker.Routine(), bound, count);
  runner.WaitForAllWorkers();
  EXPECT_EQ(worker.MaxRunning(), bound);
  EXPECT_EQ(Sorted(worker.FinishedRows()), OneTo(count));
  EXPECT_EQ(runner.RunningCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchRunnerBoundConcurrency, ::testing::Values(1, 2, 5));

struct OddBoundCase {
  int bound;
  int effective;
};

void PrintTo(const OddBoundCase& c, std::ostream* os) { *os << c.bound; }

class BatchRunnerOddBoundConcurrency : public ::testing::TestWithParam<OddBoundCase> {};

TEST_P(BatchRunnerOddBoundConcurrency, BehavesAsTheClampedBound) {
  const OddBoundCase& c = GetParam();
  StdMessagePump pump;
  BatchRunner runner(pump);
  CountingWorker::Options options;
  options.sleep = 5ms;
  if (c.effective > 1) options.hold_until_running = c.effective;
  CountingWorker worker(runner, options);
  const int count = c.effective + 6;
  const double elapsed = runner.RunBatch(worker.Routine(), c.bound, count);
  runner.WaitForAllWorkers();
  EXPECT_LT(elapsed, 60.0);
  EXPECT_EQ(worker.MaxRunning(), c.effective);
  EXPECT_EQ(Sorted(worker.FinishedRows()), OneTo(count));
  EXPECT_EQ(runner.RunningCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchRunnerOddBoundConcurrency,
                         ::testing::Values(OddBoundCase{0, 1}, OddBoundCase{-3, 1},
                                           OddBoundCase{100000, 64}));

TEST(BatchRunnerConcurrency, SpeedOneRunsRowsStrictlyOneAfterAnother) {
  StdMessagePump pump;
  BatchRunner runner(pump);
  CountingWorker::Options options;
  options.sleep = 3ms;
  CountingWorker worker(runner, options);
  runner.RunBatch(worker.Routine(), 1, 6);
  runner.WaitForAllWorkers();
  std::vector<std::string> expected;
  for (int i = 1; i <= 6; ++i) {
    expected.push_back("s" + std::to_string(i));
    expected.push_back("f" + std::to_string(i));
  }
  EXPECT_EQ(worker.Events(), expected);
}

TEST(BatchRunnerConcurrency, BoundAboveCountStartsEveryRowAtOnce) {
  CountingPump pump;
  BatchRunner runner(pump);
  CountingWorker::Options options;
  options.gated = [](int) { return true; };
  CountingWorker worker(runner, options);
  runner.RunBatch(worker.Routine(), 10, 5);
  // Nobody has finished, yet every row was started: none waited for another.
  EXPECT_EQ(runner.RunningCount(), 5);
  ASSERT_TRUE(worker.WaitForStarted(5, 30s));
  EXPECT_EQ(worker.Running(), 5);
  EXPECT_EQ(pump.waits.load(), 5);  // one wait after each start, no bound wait
  worker.OpenGate();
  runner.WaitForAllWorkers();
  EXPECT_EQ(Sorted(worker.FinishedRows()), OneTo(5));
  EXPECT_EQ(runner.RunningCount(), 0);
}

TEST(BatchRunnerConcurrency, ReturnsWhileTheLastWorkersStillRun) {
  StdMessagePump pump;
  BatchRunner runner(pump);
  CountingWorker::Options options;
  options.gated = [](int row) { return row >= 5; };
  CountingWorker worker(runner, options);
  runner.RunBatch(worker.Routine(), 3, 6);
  // Rows 5 and 6 are still at work: bound - 1 rows may outlive the run.
  EXPECT_EQ(runner.RunningCount(), 2);
  const auto finished = worker.FinishedRows();
  EXPECT_EQ(std::count_if(finished.begin(), finished.end(), [](int r) { return r >= 5; }), 0);
  EXPECT_EQ(Sorted(finished), OneTo(4));
  worker.OpenGate();
  runner.WaitForAllWorkers();
  EXPECT_EQ(Sorted(worker.FinishedRows()), OneTo(6));
  EXPECT_EQ(runner.RunningCount(), 0);
}

TEST(BatchRunnerConcurrency, NestedRunFromAPumpTaskFinishesBeforeTheOuterGoesOn) {
  StdMessagePump pump;
  BatchRunner runner(pump);
  Log log;
  CountingWorker::Options inner_options;
  inner_options.sleep = 2ms;
  inner_options.on_start = [&](int row) { log.Add("inner " + std::to_string(row)); };
  CountingWorker inner(runner, inner_options);

  CountingWorker::Options outer_options;
  outer_options.sleep = 5ms;
  outer_options.on_start = [&](int row) {
    log.Add("outer " + std::to_string(row));
    if (row == 1) {
      // A click during the batch: handled inside one of the outer run's waits.
      pump.Post([&] {
        log.Add("nested begin");
        runner.RunBatch(inner.Routine(), 1, 2);
        log.Add("nested end");
      });
    }
  };
  CountingWorker outer(runner, outer_options);
  runner.RunBatch(outer.Routine(), 1, 3);
  runner.WaitForAllWorkers();
  EXPECT_EQ(log.Entries(),
            (std::vector<std::string>{"outer 1", "nested begin", "inner 1", "inner 2", "nested end",
                                      "outer 2", "outer 3"}));
  EXPECT_EQ(runner.RunningCount(), 0);
}

TEST(BatchRunnerConcurrency, CountReturnsToZeroAfterManyOverlappingRuns) {
  StdMessagePump pump;
  BatchRunner runner(pump);
  std::atomic<int> uncounted{0};
  CountingWorker::Options options;
  options.on_start = [&](int row) {
    // A worker is always counted by the time it runs.
    if (runner.RunningCount() < 1) uncounted.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::microseconds(300 * (row % 4)));
  };
  CountingWorker worker(runner, options);
  int total = 0;
  for (int run = 0; run < 8; ++run) {
    const int bound = 1 + run % 4;
    const int count = 5 + run * 3;
    if (run % 3 == 0) {
      pump.Post([&runner, &worker] { runner.RunBatch(worker.Routine(), 2, 4); });
      total += 4;
    }
    runner.RunBatch(worker.Routine(), bound, count);
    total += count;
  }
  runner.WaitForAllWorkers();
  pump.ProcessPendingMessages();
  runner.WaitForAllWorkers();
  EXPECT_EQ(runner.RunningCount(), 0);
  EXPECT_EQ(static_cast<int>(worker.FinishedRows().size()), total);
  EXPECT_EQ(uncounted.load(), 0);
}

struct FailingStartCase {
  int failures;          // the first this many starts fail
  std::vector<int> ran;  // rows that end up running
};

void PrintTo(const FailingStartCase& c, std::ostream* os) { *os << c.failures << " failures"; }

class BatchRunnerFailingStartConcurrency : public ::testing::TestWithParam<FailingStartCase> {};

TEST_P(BatchRunnerFailingStartConcurrency, RetriesAndLeavesARowOnlyAfterTwentyTries) {
  StdMessagePump pump;
  std::atomic<int> calls{0};
  const int failures = GetParam().failures;
  BatchRunner runner(pump, [&](std::function<void()> body) {
    if (calls.fetch_add(1) < failures) return false;
    return StartDetachedThread(std::move(body));
  });
  CountingWorker worker(runner);
  runner.RunBatch(worker.Routine(), 2, 5);
  runner.WaitForAllWorkers();
  EXPECT_EQ(Sorted(worker.FinishedRows()), GetParam().ran);
  EXPECT_EQ(runner.RunningCount(), 0);  // failed starts were never counted
  EXPECT_EQ(calls.load(), failures + static_cast<int>(GetParam().ran.size()));
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchRunnerFailingStartConcurrency,
                         ::testing::Values(FailingStartCase{1, {1, 2, 3, 4, 5}},
                                           FailingStartCase{3, {1, 2, 3, 4, 5}},
                                           FailingStartCase{19, {1, 2, 3, 4, 5}},
                                           FailingStartCase{20, {2, 3, 4, 5}},
                                           FailingStartCase{25, {2, 3, 4, 5}}));

TEST(BatchRunnerConcurrency, FailedStartWaitsForARunningWorkerToFinish) {
  StdMessagePump pump;
  std::atomic<int> calls{0};
  BatchRunner runner(pump, [&](std::function<void()> body) {
    if (calls.fetch_add(1) == 2) return false;  // row 3's first try
    return StartDetachedThread(std::move(body));
  });
  CountingWorker::Options options;
  options.gated = [](int row) { return row <= 2; };
  CountingWorker worker(runner, options);
  std::thread opener([&] {
    std::this_thread::sleep_for(200ms);
    worker.OpenGate();
  });
  runner.RunBatch(worker.Routine(), 5, 3);
  runner.WaitForAllWorkers();
  opener.join();
  const auto events = worker.Events();
  const auto first_finish =
      std::find_if(events.begin(), events.end(), [](const std::string& e) { return e[0] == 'f'; });
  const auto row3 = std::find(events.begin(), events.end(), "s3");
  ASSERT_NE(row3, events.end());
  EXPECT_LT(first_finish, row3);
  EXPECT_EQ(Sorted(worker.FinishedRows()), OneTo(3));
}

TEST(BatchRunnerConcurrency, StopDuringARunStopsFurtherStarts) {
  StdMessagePump pump;
  BatchRunner runner(pump);
  CountingWorker::Options options;
  options.on_start = [&](int row) {
    if (row == 2) pump.Post([&runner] { runner.StopBatch(); });
  };
  CountingWorker worker(runner, options);
  runner.RunBatch(worker.Routine(), 1, 10);
  runner.WaitForAllWorkers();
  EXPECT_EQ(Sorted(worker.StartedRows()), OneTo(2));
  EXPECT_TRUE(runner.StopRequested());
  // The next run clears the request and runs every row.
  CountingWorker again(runner);
  runner.RunBatch(again.Routine(), 3, 4);
  runner.WaitForAllWorkers();
  EXPECT_EQ(Sorted(again.FinishedRows()), OneTo(4));
}

TEST(BatchRunnerConcurrency, PauseHoldsFurtherStartsUntilResumed) {
  StdMessagePump pump;
  BatchRunner runner(pump);
  Log log;
  std::thread resumer;
  CountingWorker::Options options;
  options.on_start = [&](int row) {
    log.Add("start " + std::to_string(row));
    if (row == 1) {
      pump.Post([&] {
        runner.PauseBatch();
        log.Add("paused");
        resumer = std::thread([&] {
          std::this_thread::sleep_for(150ms);
          pump.Post([&] {
            log.Add("resumed");
            runner.ResumeBatch();
          });
        });
      });
      WaitUntilPaused(runner);
    }
  };
  CountingWorker worker(runner, options);
  // Bound 1: the runner is still waiting for row 1 when the pause arrives.
  runner.RunBatch(worker.Routine(), 1, 3);
  runner.WaitForAllWorkers();
  resumer.join();
  EXPECT_EQ(log.Entries(),
            (std::vector<std::string>{"start 1", "paused", "resumed", "start 2", "start 3"}));
}

TEST(BatchRunnerConcurrency, ShutdownStopsStartsAndWaitsForEveryWorker) {
  StdMessagePump pump;
  BatchRunner runner(pump);
  CountingWorker::Options options;
  options.sleep = 20ms;
  options.on_start = [&](int row) {
    if (row == 3) pump.Post([&runner] { runner.Shutdown(); });
  };
  CountingWorker worker(runner, options);
  runner.RunBatch(worker.Routine(), 1, 10);
  EXPECT_TRUE(runner.IsShuttingDown());
  // Clearing the flags of a new run does not undo a shutdown.
  CountingWorker later(runner);
  runner.RunBatch(later.Routine(), 4, 4);
  runner.WaitForAllWorkers();
  EXPECT_EQ(runner.RunningCount(), 0);
  EXPECT_EQ(Sorted(worker.StartedRows()), OneTo(3));
  EXPECT_EQ(Sorted(worker.FinishedRows()), OneTo(3));
  EXPECT_TRUE(later.StartedRows().empty());
}

TEST(BatchRunnerConcurrency, ShutdownFromAnotherThreadEndsAPausedRun) {
  StdMessagePump pump;
  BatchRunner runner(pump);
  CountingWorker::Options options;
  options.on_start = [&](int row) {
    if (row == 1) {
      pump.Post([&runner] { runner.PauseBatch(); });
      WaitUntilPaused(runner);
    }
  };
  CountingWorker worker(runner, options);
  std::thread stopper([&] {
    std::this_thread::sleep_for(100ms);
    runner.Shutdown();
  });
  const double elapsed = runner.RunBatch(worker.Routine(), 1, 5);
  stopper.join();
  runner.WaitForAllWorkers();
  EXPECT_LT(elapsed, 30.0);
  EXPECT_EQ(Sorted(worker.StartedRows()), OneTo(1));
}

TEST(BatchRunnerConcurrency, WaitingThreadSleepsWhileWorkersWork) {
  CountingPump pump;
  BatchRunner runner(pump);
  CountingWorker::Options options;
  options.sleep = 500ms;
  CountingWorker worker(runner, options);
  const double cpu_before = ThreadCpuSeconds();
  const auto wall_start = Clock::now();
  runner.RunBatch(worker.Routine(), 1, 2);  // waits for row 1, then for row 2
  runner.WaitForAllWorkers();
  const double wall = std::chrono::duration<double>(Clock::now() - wall_start).count();
  const double cpu = ThreadCpuSeconds() - cpu_before;
  std::printf("[ figures  ] waiting thread: %.1f ms CPU over %.1f ms wall (%.2f%%), %d waits\n",
              cpu * 1e3, wall * 1e3, 100.0 * cpu / wall, pump.waits.load());
  ::testing::Test::RecordProperty("waiting_cpu_ms", std::to_string(cpu * 1e3));
  ::testing::Test::RecordProperty("wall_ms", std::to_string(wall * 1e3));
  EXPECT_GE(wall, 0.9);
  EXPECT_LT(cpu, 0.5 * wall);
}

}  // namespace
}  // namespace kelvaro
