#include "batch/lock_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <set>
#include <thread>
#include <vector>

namespace kelvaro {
namespace {

using namespace std::chrono_literals;

// True when another thread can take the lock within a generous time.
bool OtherThreadCanTake(LockRegistry& registry, int handle) {
  auto taken = std::async(std::launch::async, [&] {
    ScopedLock lock(registry, handle);
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

TEST(LockRegistry, TakingADeadHandleDoesNothing) {
  LockRegistry registry;
  const int h = registry.CreateLock();
  ASSERT_TRUE(registry.DeleteLock(h));
  EXPECT_EQ(registry.Acquire(0), nullptr);
  LockRegistry::Unlock(nullptr);  // must not crash
  ScopedLock scoped(registry, h);
  EXPECT_FALSE(scoped.Holds());
  EXPECT_EQ(registry.Acquire(h), nullptr);
}

TEST(LockRegistry, TakingTwiceOnOneThreadNests) {
  LockRegistry registry;
  const int h = registry.CreateLock();
  auto outer = std::make_unique<ScopedLock>(registry, h);
  { ScopedLock inner(registry, h); }
  std::atomic<bool> got{false};
  std::thread other([&] {
    ScopedLock lock(registry, h);
    got = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(got.load()) << "one release must not free a lock taken twice";
  outer.reset();
  other.join();
  EXPECT_TRUE(got.load());
}

TEST(LockRegistry, LocksOfTwoRegistriesWithTheSameHandleAreDistinct) {
  LockRegistry a;
  LockRegistry b;
  const int ha = a.CreateLock();
  const int hb = b.CreateLock();
  ASSERT_EQ(ha, hb);
  auto held = std::make_unique<ScopedLock>(a, ha);
  EXPECT_TRUE(OtherThreadCanTake(b, hb));
  held.reset();
  EXPECT_TRUE(OtherThreadCanTake(a, ha));
}

TEST(LockRegistryConcurrency, DeletionWhileHeldAndAwaitedIsSafe) {
  LockRegistry registry;
  const int h = registry.CreateLock();
  auto held = std::make_unique<ScopedLock>(registry, h);

  std::promise<void> waiter_started;
  std::atomic<bool> waiter_got{false};
  std::thread waiter([&] {
    waiter_started.set_value();
    ScopedLock lock(registry, h);  // blocks: we hold it
    waiter_got = lock.Holds();
  });
  waiter_started.get_future().wait();
  std::this_thread::sleep_for(50ms);  // let it reach the lock
  EXPECT_TRUE(registry.DeleteLock(h));
  EXPECT_FALSE(registry.IsLive(h));
  EXPECT_FALSE(waiter_got.load());
  // Our release still frees the lock we hold, so whoever waits on it goes on.
  held.reset();
  waiter.join();
  EXPECT_TRUE(waiter_got.load());
  // The handle is dead now: taking it does nothing.
  EXPECT_FALSE(ScopedLock(registry, h).Holds());
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

TEST(LockRegistryConcurrency, CreateAndDeleteFromManyThreads) {
  LockRegistry registry;
  std::vector<std::vector<int>> made(8);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        const int h = registry.CreateLock();
        EXPECT_TRUE(ScopedLock(registry, h).Holds());
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
