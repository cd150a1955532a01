// A batch's pace at a site that refuses it for asking too often: after a refused page the
// next request waits, 2 s at first and twice as long after every further refusal, up to 60 s,
// whatever the speed box says; after 3 refusals in a row the batch asks nothing more. Its
// requests are one at a time already (the query lock), so one pace serves every worker.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>

namespace kelvaro {

inline constexpr std::chrono::milliseconds kFirstRefusalWait{2000};
inline constexpr std::chrono::milliseconds kLongestRefusalWait{60000};
inline constexpr int kRefusalsBeforeStop = 3;

class RequestPace {
 public:
  // How a wait is made; tests record it instead of sleeping.
  using Wait = std::function<void(std::chrono::milliseconds)>;
  explicit RequestPace(Wait wait);

  // Before a request: waits as the refusals so far ask; false once the batch has stopped
  // asking (then nothing is waited for).
  bool BeforeRequest();
  // After a request: whether the site refused it.
  void Answered(bool refused);
  bool Stopped() const;
  // A row left as it was because the batch had stopped asking.
  void LeftUnasked();
  int Unasked() const;

 private:
  Wait wait_;
  mutable std::mutex mutex_;
  std::chrono::milliseconds due_{0};      // what the next request waits
  std::chrono::milliseconds backoff_{0};  // the last refusal's wait
  int in_a_row_ = 0;
  bool stopped_ = false;
  int unasked_ = 0;
};

}  // namespace kelvaro
