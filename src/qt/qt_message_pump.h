// The message pump of the window's thread: waits dispatch Qt's events.
#pragma once

#include <QThread>
#include <atomic>

#include "batch/message_pump.h"

namespace kelvaro {

class QtMessagePump : public MessagePump {
 public:
  // Pumps the thread that creates it (the window's thread).
  QtMessagePump();

  void PumpingWait(int microseconds) override;
  void ProcessPendingMessages() override;
  void TrimWorkingSet() override;
  void WakeUp() override;

 private:
  QThread* thread_;
  std::atomic<bool> woken_{false};
};

}  // namespace kelvaro
