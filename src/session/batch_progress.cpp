#include "session/batch_progress.h"

#include <algorithm>

namespace kelvaro {

void BatchProgress::Begin(int rows) {
  if (!active_) {
    active_ = true;
    base_.store(session_.FinishedRows());
    total_.store(0);
  }
  AddRows(rows);
  ++depth_;
}

void BatchProgress::End() { depth_ = std::max(0, depth_ - 1); }

void BatchProgress::AddRows(int rows) { total_.fetch_add(std::max(0, rows)); }

bool BatchProgress::Finish() {
  if (!active_ || depth_ > 0 || session_.IsRunning()) return false;
  active_ = false;
  return true;
}

int BatchProgress::Done() const {
  return std::clamp(session_.FinishedRows() - base_.load(), 0, total_.load());
}

}  // namespace kelvaro
