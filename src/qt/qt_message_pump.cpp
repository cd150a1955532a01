#include "qt/qt_message_pump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <thread>

namespace kelvaro {

QtMessagePump::QtMessagePump() : thread_(QThread::currentThread()) {}

void QtMessagePump::PumpingWait(int microseconds) {
  // Qt's timers count whole milliseconds; the shortest wait is one.
  const int ms = std::max(1, static_cast<int>((static_cast<long long>(microseconds) + 999) / 1000));
  bool fired = false;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, [&fired] { fired = true; });
  timer.start(ms);
  // A timer that could not be made has id 0 (isActive() still says true).
  if (timer.timerId() <= 0) {
    // No timer on this thread: a plain short sleep, then dispatch what came.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ProcessPendingMessages();
    woken_.store(false);
    return;
  }
  while (!fired) {
    if (woken_.exchange(false)) break;
    // Sleeps in the dispatcher until an event, the timer or a wake-up arrives.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  timer.stop();
}

void QtMessagePump::ProcessPendingMessages() {
  // A quit request only marks the running loops for exit; the main loop still
  // ends once the handler that waits here has returned.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtMessagePump::TrimWorkingSet() { TrimProcessMemory(); }

void QtMessagePump::WakeUp() {
  woken_.store(true);
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread_)) {
    dispatcher->wakeUp();
  }
}

}  // namespace kelvaro
