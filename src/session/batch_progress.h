// How far the batches a front end started have got, for its progress display: rows of every
// batch begun since the first one (nested and overlapping ones too) against the rows finished
// since, until the last starting call has returned and the last worker has ended.
#pragma once

#include <atomic>

#include "session/batch_session.h"

namespace kelvaro {

class BatchProgress {
 public:
  explicit BatchProgress(const BatchSession& session) : session_(session) {}

  // Around a batch over `rows` rows: Begin before it starts, End once the starting call has
  // returned (its last workers may still run). The starting thread only.
  void Begin(int rows);
  void End();
  // Any thread: rows looked up again count as rows of their own.
  void AddRows(int rows);

  // Begun and not yet seen finished.
  bool Active() const { return active_; }
  // Every batch begun has returned and no worker runs; the next Begin starts counting anew.
  // The starting thread only; true once per progress.
  bool Finish();
  int Done() const;  // any thread
  int Total() const { return total_.load(); }

 private:
  const BatchSession& session_;
  bool active_ = false;
  int depth_ = 0;  // starting calls not yet returned
  std::atomic<int> base_{0};
  std::atomic<int> total_{0};
};

}  // namespace kelvaro
