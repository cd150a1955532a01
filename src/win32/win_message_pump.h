// The window thread's waiting: a one-shot waitable timer and the message queue.
#pragma once

#include <windows.h>

#include <functional>

#include "batch/message_pump.h"

namespace kelvaro::win {

class WinMessagePump : public MessagePump {
 public:
  // Sees each message before it is translated and dispatched; true when it was handled.
  using PreTranslate = std::function<bool(MSG&)>;

  WinMessagePump();
  ~WinMessagePump() override;
  WinMessagePump(const WinMessagePump&) = delete;
  WinMessagePump& operator=(const WinMessagePump&) = delete;

  void PumpingWait(int microseconds) override;
  void ProcessPendingMessages() override;
  void TrimWorkingSet() override;
  void WakeUp() override;

  void SetPreTranslate(PreTranslate pre_translate) { pre_translate_ = std::move(pre_translate); }
  // One message taken from the queue: pre-translated, translated and dispatched.
  void Dispatch(MSG& message);
  // The main loop: until a quit message arrives; returns its exit code.
  int RunMainLoop();

 private:
  HANDLE wake_event_ = nullptr;  // auto-reset: one WakeUp ends one wait
  PreTranslate pre_translate_;
};

}  // namespace kelvaro::win
