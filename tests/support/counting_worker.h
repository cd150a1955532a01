// A worker routine for runner tests: records which rows started and finished, in
// which order, and how many were running at once; can hold rows back on demand.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "batch/batch_runner.h"

namespace kelvaro::test {

class CountingWorker {
 public:
  struct Options {
    std::chrono::milliseconds sleep{0};  // work time of every row
    // Rows wait (up to hold_timeout) until this many have been running at once.
    int hold_until_running = 0;
    std::chrono::milliseconds hold_timeout{5000};
    // Rows for which this is true wait for OpenGate (up to 60 s).
    std::function<bool(int row_number)> gated;
    // Called on the worker's thread when the row starts (after it is counted).
    std::function<void(int row_number)> on_start;
  };

  CountingWorker(BatchRunner& runner, Options options);
  explicit CountingWorker(BatchRunner& runner) : CountingWorker(runner, Options{}) {}

  WorkerRoutine Routine();
  void OpenGate();
  // Waits without pumping; false on time-out.
  bool WaitForStarted(int n, std::chrono::milliseconds timeout);
  bool WaitForFinished(int n, std::chrono::milliseconds timeout);

  int MaxRunning();
  int Running();
  std::vector<int> StartedRows();
  std::vector<int> FinishedRows();
  // "s<row>" when a row starts, "f<row>" just before it calls WorkerFinished;
  // `prefix` tells workers of different runs apart.
  std::vector<std::string> Events();
  void SetPrefix(std::string prefix);

 private:
  int Run(int row_number);

  BatchRunner& runner_;
  Options options_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string prefix_;
  int running_ = 0;
  int max_running_ = 0;
  bool hold_reached_ = false;
  bool gate_open_ = false;
  std::vector<int> started_;
  std::vector<int> finished_;
  std::vector<std::string> events_;
};

}  // namespace kelvaro::test
