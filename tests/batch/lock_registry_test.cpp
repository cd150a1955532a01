#include "batch/lock_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <set>
#include <thread>
#include <vector>

namespace kelvaro {
namespace {

using namespace std::chrono_literals;

// True when another thread can take the lock within a generous time.
bool OtherThreadCanTake(LockRegistry& registry, int handle) {
  auto taken = std::async(std::launch::async, [&] {
    registry.TakeLock(handle);
    registry.ReleaseLock(handle);
    return true;
  });
  return taken.wait_for(10s) == std::future_status::ready;
}

TEST(LockRegistry, CreateGivesFreshPositiveHandles) {
  LockRegistry registry;
  std::set<int> handles;
  for (int i = 0; i < 100; ++i) {
    const int h = registry.CreateLock();
    EXPECT_GT(h, 0);
    EXPECT_TRUE(handles.insert(h).second) << "handle reused: " << h;
    EXPECT_TRUE(registry.IsLive(h));
  }
}

TEST(LockRegistry, DeleteReportsWhetherTheHandleWasLive) {
  LockRegistry registry;
  const int h = registry.CreateLock();
  EXPECT_TRUE(registry.DeleteLock(h));
  EXPECT_FALSE(registry.IsLive(h));
  EXPECT_FALSE(registry.DeleteLock(h));  // twice
  for (int bad : {0, -1, h + 1, 12345}) {
    EXPECT_FALSE(registry.DeleteLock(bad)) << bad;
    EXPECT_FALSE(registry.IsLive(bad)) << bad;
  }
  // A deleted handle is never handed out again.
  EXPECT_NE(registry.CreateLock(), h);
}

TEST(LockRegistry, TakeAndReleaseOfADeadHandleDoNothing) {
  LockRegistry registry;
  const int h = registry.CreateLock();
  ASSERT_TRUE(registry.DeleteLock(h));
  registry.TakeLock(h);  // must not block or crash
  registry.ReleaseLock(h);
  registry.TakeLock(0);
  registry.ReleaseLock(-7);
  ScopedLock scoped(registry, h);
  EXPECT_FALSE(scoped.Holds());
  EXPECT_EQ(registry.Acquire(h), nullptr);
}

TEST(LockRegistry, ReleaseWithoutTakeDoesNotUnlockAnotherThreadsHold) {
  LockRegistry registry;
  const int h = registry.CreateLock();
  registry.TakeLock(h);
  std::async(std::launch::async, [&] { registry.ReleaseLock(h); }).get();
  // Still ours: another thread cannot take it until we release.
  std::atomic<bool> got{false};
  std::thread other([&] {
    registry.TakeLock(h);
    got = true;
    registry.ReleaseLock(h);
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(got.load());
  registry.ReleaseLock(h);
  other.join();
  EXPECT_TRUE(got.load());
}

TEST(LockRegistry, TakingTwiceOnOneThreadNests) {
  LockRegistry registry;
  const int h = registry.CreateLock();
  registry.TakeLock(h);
  registry.TakeLock(h);
  registry.ReleaseLock(h);
  std::atomic<bool> got{false};
  std::thread other([&] {
    registry.TakeLock(h);
    got = true;
    registry.ReleaseLock(h);
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(got.load()) << "one release must not free a lock taken twice";
  registry.ReleaseLock(h);
  other.join();
  EXPECT_TRUE(got.load());
}

TEST(LockRegistry, LocksOfTwoRegistriesWithTheSameHandleAreDistinct) {
  LockRegistry a;
  LockRegistry b;
  const int ha = a.CreateLock();
  const int hb = b.CreateLock();
  ASSERT_EQ(ha, hb);
  a.TakeLock(ha);
  b.ReleaseLock(hb);  // not held in b: nothing
  EXPECT_TRUE(OtherThreadCanTake(b, hb));
  a.ReleaseLock(ha);
  EXPECT_TRUE(OtherThreadCanTake(a, ha));
}

TEST(LockRegistryConcurrency, DeletionWhileHeldAndAwaitedIsSafe) {
  LockRegistry registry;
  const int h = registry.CreateLock();
  registry.TakeLock(h);

  std::promise<void> waiter_started;
  std::atomic<bool> waiter_got{false};
  std::thread waiter([&] {
    waiter_started.set_value();
    registry.TakeLock(h);  // blocks: we hold it
    waiter_got = true;
    registry.ReleaseLock(h);
  });
  waiter_started.get_future().wait();
  std::this_thread::sleep_for(50ms);  // let it reach the lock
  EXPECT_TRUE(registry.DeleteLock(h));
  EXPECT_FALSE(registry.IsLive(h));
  EXPECT_FALSE(waiter_got.load());
  // Our release still frees the lock we hold, so whoever waits on it goes on.
  registry.ReleaseLock(h);
  waiter.join();
  EXPECT_TRUE(waiter_got.load());
  // The handle is dead now: taking it does nothing.
  registry.TakeLock(h);
  registry.ReleaseLock(h);
}

TEST(LockRegistryConcurrency, ScopedLockSurvivesDeletionOfItsHandle) {
  LockRegistry registry;
  const int h = registry.CreateLock();
  std::atomic<int> inside{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        ScopedLock lock(registry, h);
        if (lock.Holds()) {
          EXPECT_EQ(inside.fetch_add(1), 0);
          inside.fetch_sub(1);
        }
      }
    });
  }
  std::this_thread::sleep_for(5ms);
  registry.DeleteLock(h);
  for (auto& thread : threads) thread.join();
  EXPECT_FALSE(registry.IsLive(h));
}

TEST(LockRegistryConcurrency, TakeAndScopedLockAreMutuallyExclusive) {
  LockRegistry registry;
  const int h = registry.CreateLock();
  constexpr int kThreads = 8;
  constexpr int kRounds = 5000;
  long counter = 0;  // deliberately plain: only the lock protects it
  std::atomic<int> inside{0};
  std::atomic<int> overlaps{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        if ((i + t) % 2 == 0) {
          registry.TakeLock(h);
          if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
          ++counter;
          inside.fetch_sub(1);
          registry.ReleaseLock(h);
        } else {
          ScopedLock lock(registry, h);
          if (inside.fetch_add(1) != 0) overlaps.fetch_add(1);
          ++counter;
          inside.fetch_sub(1);
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
}

TEST(LockRegistryConcurrency, AThreadEndingWhileHoldingGivesTheLockUp) {
  LockRegistry registry;
  const int kept = registry.CreateLock();
  const int deleted = registry.CreateLock();
  std::thread([&] {
    registry.TakeLock(kept);
    registry.TakeLock(kept);
    registry.TakeLock(deleted);
    EXPECT_TRUE(registry.DeleteLock(deleted));
  }).join();
  EXPECT_TRUE(OtherThreadCanTake(registry, kept));
  registry.TakeLock(kept);
  registry.ReleaseLock(kept);
}

TEST(LockRegistryConcurrency, CreateAndDeleteFromManyThreads) {
  LockRegistry registry;
  std::vector<std::vector<int>> made(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        const int h = registry.CreateLock();
        registry.TakeLock(h);
        registry.ReleaseLock(h);
        if (i % 2 == 0) {
          EXPECT_TRUE(registry.DeleteLock(h));
        } else {
          made[static_cast<std::size_t>(t)].push_back(h);
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  std::set<int> all;
  for (const auto& handles : made) {
    for (int h : handles) {
      EXPECT_TRUE(all.insert(h).second);
      EXPECT_TRUE(registry.IsLive(h));
    }
  }
  EXPECT_EQ(all.size(), 8u * 250u);
}

}  // namespace
}  // namespace kelvaro
