#include "qt/qt_message_pump.h"

#include <gtest/gtest.h>
#include <time.h>

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <thread>

#include "qt_test_app.h"

namespace kelvaro {
namespace {

using Clock = std::chrono::steady_clock;
using testing::TestApp;

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TEST(QtMessagePumpTest, AClickArrivingDuringAWaitIsHandledInsideIt) {
  TestApp();
  QtMessagePump pump;
  QPushButton button(QStringLiteral("b"));
  button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
  bool waiting = false;
  int clicks_inside = 0;
  int clicks_outside = 0;
  QObject::connect(&button, &QPushButton::clicked,
                   [&] { ++(waiting ? clicks_inside : clicks_outside); });
  // Queued: the click is delivered only when someone dispatches.
  QMetaObject::invokeMethod(
      &button, [&button] { QTest::mouseClick(&button, Qt::LeftButton); }, Qt::QueuedConnection);
  waiting = true;
  pump.PumpingWait(1);
  waiting = false;
  EXPECT_EQ(clicks_inside, 1);
  EXPECT_EQ(clicks_outside, 0);
}

TEST(QtMessagePumpTest, ProcessPendingMessagesDispatchesWhatIsQueued) {
  TestApp();
  QtMessagePump pump;
  int ran = 0;
  for (int i = 0; i < 3; ++i) {
    QMetaObject::invokeMethod(
        qApp, [&ran] { ++ran; }, Qt::QueuedConnection);
  }
  pump.ProcessPendingMessages();
  EXPECT_EQ(ran, 3);
}

TEST(QtMessagePumpTest, WaitLastsAtLeastTheTimeAskedWithoutSpinning) {
  TestApp();
  QtMessagePump pump;
  const auto start = Clock::now();
  const double cpu_start = ThreadCpuSeconds();
  pump.PumpingWait(200000);
  const double cpu = ThreadCpuSeconds() - cpu_start;
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, std::chrono::milliseconds(199));
  EXPECT_LT(cpu, 0.1) << "the wait must sleep, not spin";
  const auto short_start = Clock::now();
  pump.PumpingWait(1);
  EXPECT_GE(Clock::now() - short_start, std::chrono::microseconds(900));
}

TEST(QtMessagePumpTest, WakeUpFromAnotherThreadEndsAWaitAtOnce) {
  TestApp();
  QtMessagePump pump;
  std::thread waker([&pump] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    pump.WakeUp();
  });
  const auto start = Clock::now();
  pump.PumpingWait(60 * 1000 * 1000);
  const auto elapsed = Clock::now() - start;
  waker.join();
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_GE(elapsed, std::chrono::milliseconds(40));
}

TEST(QtMessagePumpTest, WithoutATimerTheWaitStillEnds) {
  TestApp();
  // A thread Qt did not start has no event dispatcher: no timer can be set.
  std::atomic<bool> returned{false};
  std::thread plain([&returned] {
    QtMessagePump pump;
    for (int i = 0; i < 5; ++i) pump.PumpingWait(1000000);
    returned = true;
  });
  plain.join();
  EXPECT_TRUE(returned.load());
}

// A quit asked for inside a handler that waits does not end the handler's waits;
// the main loop ends once the handler has returned.
TEST(QtMessagePumpTest, QuitDuringAWaitEndsTheMainLoopAfterTheHandler) {
  QApplication& app = TestApp();
  QtMessagePump pump;
  bool handler_done = false;
  bool quit_asked = false;
  int waits_after_quit = 0;
  QTimer::singleShot(0, &app, [&] {
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::milliseconds(300)) {
      pump.PumpingWait(1);
      if (quit_asked) ++waits_after_quit;
    }
    handler_done = true;
  });
  QTimer::singleShot(50, &app, [&] {
    quit_asked = true;
    QCoreApplication::quit();
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(2); });
  watchdog.start(10000);
  const int code = QApplication::exec();
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(quit_asked);
  EXPECT_TRUE(handler_done);
  EXPECT_GT(waits_after_quit, 10);
}

}  // namespace
}  // namespace kelvaro
