#include "batch/message_pump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "support/open_handles.h"

namespace kelvaro {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::chrono::microseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
}

struct WaitCase {
  int microseconds;
  std::chrono::microseconds at_least;
};

void PrintTo(const WaitCase& c, std::ostream* os) { *os << c.microseconds << " us"; }

class StdMessagePumpWait : public ::testing::TestWithParam<WaitCase> {};

TEST_P(StdMessagePumpWait, LastsAtLeastTheAskedTimeAndOneMillisecond) {
  StdMessagePump pump;
  const auto start = Clock::now();
  pump.PumpingWait(GetParam().microseconds);
  EXPECT_GE(Since(start), GetParam().at_least);
}

INSTANTIATE_TEST_SUITE_P(Cases, StdMessagePumpWait,
                         ::testing::Values(WaitCase{1, 1ms}, WaitCase{0, 1ms}, WaitCase{-5, 1ms},
                                           WaitCase{500, 1ms}, WaitCase{3000, 3ms},
                                           WaitCase{20000, 20ms}));

TEST(StdMessagePump, ProcessPendingRunsQueuedTasksInOrder) {
  StdMessagePump pump;
  std::vector<int> ran;
  for (int i = 0; i < 5; ++i) pump.Post([&ran, i] { ran.push_back(i); });
  pump.ProcessPendingMessages();
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
  pump.ProcessPendingMessages();  // empty queue: returns at once
  EXPECT_EQ(ran.size(), 5u);
}

TEST(StdMessagePump, TasksPostedByTasksRunInTheSamePass) {
  StdMessagePump pump;
  std::vector<int> ran;
  pump.Post([&] {
    ran.push_back(1);
    pump.Post([&] { ran.push_back(2); });
  });
  pump.ProcessPendingMessages();
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(StdMessagePump, WakeUpBeforeTheWaitIsNotLost) {
  StdMessagePump pump;
  pump.WakeUp();
  const auto start = Clock::now();
  pump.PumpingWait(10'000'000);
  EXPECT_LT(Since(start), 5s);
  // Consumed: the next wait runs its full time.
  const auto again = Clock::now();
  pump.PumpingWait(5000);
  EXPECT_GE(Since(again), 5ms);
}

TEST(StdMessagePump, NestedWaitInsideATask) {
  StdMessagePump pump;
  std::vector<std::string> order;
  pump.Post([&] {
    order.push_back("outer task");
    pump.Post([&] { order.push_back("inner task"); });
    pump.PumpingWait(2000);  // runs the inner task
    order.push_back("outer task end");
  });
  pump.PumpingWait(5000);
  EXPECT_EQ(order, (std::vector<std::string>{"outer task", "inner task", "outer task end"}));
}

TEST(StdMessagePump, TrimmingIsRateLimited) {
  std::this_thread::sleep_for(110ms);  // any earlier trim is old enough now
  const auto before = ProcessMemoryTrims();
  const auto start = Clock::now();
  TrimProcessMemory();
  EXPECT_EQ(ProcessMemoryTrims(), before + 1);
  StdMessagePump pump;
  for (int i = 0; i < 1000; ++i) pump.TrimWorkingSet();
  const auto elapsed_ms = std::chrono::duration_cast<std::chrono::milliseconds>(Since(start));
  EXPECT_LE(ProcessMemoryTrims() - before,
            1u + static_cast<std::uint64_t>(elapsed_ms.count() / 100));
}

TEST(StdMessagePumpConcurrency, WakeUpFromAnotherThreadEndsTheWait) {
  StdMessagePump pump;
  std::thread waker([&] {
    std::this_thread::sleep_for(50ms);
    pump.WakeUp();
  });
  const auto start = Clock::now();
  pump.PumpingWait(30'000'000);
  const auto waited = Since(start);
  waker.join();
  EXPECT_GE(waited, 40ms);
  EXPECT_LT(waited, 10s);
}

TEST(StdMessagePumpConcurrency, PostedTasksRunInsideTheWaitOnTheWaitingThread) {
  StdMessagePump pump;
  const auto waiting_thread = std::this_thread::get_id();
  std::atomic<bool> ran{false};
  std::thread::id ran_on;
  Clock::time_point ran_at;
  std::thread poster([&] {
    std::this_thread::sleep_for(30ms);
    pump.Post([&] {
      ran_on = std::this_thread::get_id();
      ran_at = Clock::now();
      ran = true;
    });
  });
  const auto start = Clock::now();
  pump.PumpingWait(300'000);
  const auto waited = Since(start);
  poster.join();
  ASSERT_TRUE(ran.load());
  EXPECT_EQ(ran_on, waiting_thread);
  // The task did not end the wait: it went on until its time had passed.
  EXPECT_GE(waited, 300ms);
  EXPECT_LT(ran_at - start, waited);
}

TEST(StdMessagePumpConcurrency, ManyWaitsLeaveNoDescriptorsBehind) {
  StdMessagePump pump;
  const int before = test::OpenHandleCount();
  if (before < 0) GTEST_SKIP() << "this system does not count the process's open handles";
  std::atomic<bool> done{false};
  // Wake-ups from another thread shorten most waits, so 10,000 fit in a few seconds.
  std::thread waker([&] {
    while (!done.load()) {
      pump.WakeUp();
      std::this_thread::sleep_for(100us);
    }
  });
  for (int i = 0; i < 10000; ++i) pump.PumpingWait(1);
  done = true;
  waker.join();
  EXPECT_EQ(test::OpenHandleCount(), before);
}

TEST(StdMessagePumpConcurrency, TrimmingFromManyThreadsIsStillRateLimited) {
  std::this_thread::sleep_for(110ms);
  const auto before = ProcessMemoryTrims();
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([] {
      for (int i = 0; i < 2000; ++i) TrimProcessMemory();
    });
  }
  for (auto& thread : threads) thread.join();
  const auto elapsed_ms = std::chrono::duration_cast<std::chrono::milliseconds>(Since(start));
  const auto made = ProcessMemoryTrims() - before;
  EXPECT_GE(made, 1u);
  EXPECT_LE(made, 1u + static_cast<std::uint64_t>(elapsed_ms.count() / 100));
}

}  // namespace
}  // namespace kelvaro
