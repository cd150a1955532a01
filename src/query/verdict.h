// What one lookup tells of the number looked up: its status, why, and the site's current
// standard. The batch row, the query page's report and the command line's check all judge
// through here.
#pragma once

#include "rows/reason.h"
#include "rows/status.h"
#include "site/standard_site.h"
#include "text/text.h"

namespace kelvaro {

struct Verdict {
  Status status = Status::kUnknown;
  RowReason reason;
  CurrentStandardRecord record;  // empty unless the site listed a current standard
};

// `entered` is the number as looked up, `keyword` its search keyword; `lookup` is null when
// no request was made (an empty keyword). The status compares the years of `entered` and of
// the site's current number.
Verdict JudgeLookup(const Text& entered, const Text& keyword, const StandardLookup* lookup);

}  // namespace kelvaro
