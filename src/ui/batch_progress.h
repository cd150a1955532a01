// The window's title during a batch: "done/total – " before the usual title, from the
// first batch's start until the last worker of every batch (nested ones too) has ended.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

namespace kelvaro {

struct ProgramContext;

class BatchProgress : public QObject {
 public:
  // Lives as long as the window (its parent).
  explicit BatchProgress(ProgramContext& context);

  // Around a query batch started from the window over `rows` rows: Begin before the
  // start, End once the starting call has returned (its last workers may still run).
  void Begin(int rows);
  void End();

  bool Active() const { return active_; }

 private:
  void Update();

  ProgramContext& context_;
  QTimer timer_;
  QString title_;  // the title before the first batch began
  int base_ = 0;   // finished rows when it began
  int total_ = 0;  // rows of every batch since
  int depth_ = 0;  // starting calls not yet returned
  bool active_ = false;
};

}  // namespace kelvaro
