#include "ui/batch_progress.h"

#include <algorithm>

#include "ui/program.h"
#include "ui/window_handlers.h"

namespace kelvaro {

namespace {
constexpr int kUpdateIntervalMs = 100;
}  // namespace

BatchProgress::BatchProgress(ProgramContext& context) : QObject(context.window), context_(context) {
  timer_.setInterval(kUpdateIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &BatchProgress::Update);
}

void BatchProgress::Begin(int rows) {
  if (context_.window == nullptr || context_.session == nullptr) return;
  if (!active_) {
    active_ = true;
    title_ = context_.window->windowTitle();
    base_ = context_.session->FinishedRows();
    total_ = 0;
    timer_.start();
  }
  total_ += std::max(0, rows);
  ++depth_;
  Update();
}

void BatchProgress::End() {
  if (!active_) return;
  depth_ = std::max(0, depth_ - 1);
  Update();
}

void BatchProgress::Update() {
  if (!active_ || context_.window == nullptr || context_.session == nullptr) return;
  if (depth_ == 0 && !context_.session->IsRunning()) {
    active_ = false;
    timer_.stop();
    context_.window->setWindowTitle(title_);
    UpdateRetryHint(context_);
    return;
  }
  const int done = std::clamp(context_.session->FinishedRows() - base_, 0, total_);
  context_.window->setWindowTitle(QStringLiteral("%1/%2 \u2013 ").arg(done).arg(total_) + title_);
}

}  // namespace kelvaro
