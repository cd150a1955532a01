// The status a row's lookup ends with, and what hangs on it: the word its cell holds and the
// button that removes such rows (the finer verdicts, their fills and summary labels stand in
// rows/verdicts.h). A new status is one more value and one more line of the table.
#pragma once

#include <vector>

#include "text/text.h"

namespace kelvaro {

enum class Status { kNone, kCurrent, kSuperseded, kUnknown };

struct StatusSpec {
  Status status;
  Text word;                   // GBK, as the cell holds it; empty for kNone
  const char* removal_button;  // the layout's name of the button removing such rows, or null
};

// Every status but kNone.
const std::vector<StatusSpec>& Statuses();
const StatusSpec& SpecOf(Status status);
// The word a cell holds for `status` (GBK; empty for kNone).
const Text& StatusWord(Status status);
// The status whose word `cell` holds byte for byte; kNone for any other text.
Status StatusOfCell(const Text& cell);

}  // namespace kelvaro
