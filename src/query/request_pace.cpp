#include "query/request_pace.h"

#include <algorithm>
#include <utility>

namespace kelvaro {

RequestPace::RequestPace(Wait wait) : wait_(std::move(wait)) {}

bool RequestPace::BeforeRequest() {
  std::chrono::milliseconds due{0};
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (stopped_) return false;
    due = std::exchange(due_, std::chrono::milliseconds{0});
  }
  if (due.count() > 0 && wait_) wait_(due);
  return true;
}

void RequestPace::Answered(bool refused) {
  std::lock_guard<std::mutex> hold(mutex_);
  if (!refused) {
    in_a_row_ = 0;
    return;
  }
  // The wait keeps growing over the batch: a site that refused once is asked gently after.
  backoff_ =
      backoff_.count() == 0 ? kFirstRefusalWait : std::min(backoff_ * 2, kLongestRefusalWait);
  due_ = backoff_;
  stopped_ = ++in_a_row_ >= kRefusalsBeforeStop;
}

bool RequestPace::Stopped() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return stopped_;
}

void RequestPace::LeftUnasked() {
  std::lock_guard<std::mutex> hold(mutex_);
  ++unasked_;
}

int RequestPace::Unasked() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return unasked_;
}

}  // namespace kelvaro
