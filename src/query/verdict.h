// What one lookup tells of the number looked up: its status, why, the site's current
// standard, and what else the page lists of that standard. The batch row, the query page's
// report and the command line's check all judge through here.
#pragma once

#include <string>

#include "rows/reason.h"
#include "rows/status.h"
#include "site/standard_site.h"
#include "text/text.h"

namespace kelvaro {

struct Verdict {
  Status status = Status::kUnknown;
  RowReason reason;
  CurrentStandardRecord record;  // empty unless the site listed a current standard
  RowNotes notes;
};

// `entered` is the number as looked up, `keyword` its search keyword; `lookup` is null when
// no request was made (an empty keyword); `cited_edition` is the citation's edition note
// ("2018年版", UTF-8), empty when it gives none. The status compares the years of `entered`
// and of the site's current number, except that a number the page lists as withdrawn (with no
// current standard of its code and serial) or as not yet in force is 未知 for that reason.
Verdict JudgeLookup(const Text& entered, const Text& keyword, const StandardLookup* lookup,
                    const std::string& cited_edition = {});

}  // namespace kelvaro
