// The site's result page: the first row marked current, cut into its fields.
#pragma once

#include "batch/reason.h"
#include "text/text.h"

namespace kelvaro {

struct CurrentStandardRecord {
  Text number;
  Text title;
  Text release_date;
  Text department;
  Text status;  // 现行, or 未找到现行 when the page has no current cell
};

struct StandardLookup {
  CurrentStandardRecord record;
  Text address;         // the search address requested
  int http_status = 0;  // 0: no response
  Text error;           // why there was no response (the request object's words)
};

extern const Text kCurrentCell;     // the 43-byte cell that marks a current row
extern const Text kStatusNotFound;  // 未找到现行

// The site prefix: an override set by a front end, else KELVARO_SITE, else the build default.
Text SitePrefix();
void SetSitePrefixOverride(const Text& prefix);  // empty clears it

Text SearchAddress(const Text& keyword);
// The parsing steps on a body already cut at its first zero byte (linear time).
CurrentStandardRecord ParseResultPage(const Text& body_text);
// One request for the keyword (empty keyword included), then the parse.
StandardLookup FetchCurrentStandard(const Text& keyword);

// Why the lookup of `number` (as entered) whose keyword was `keyword` ended as it did;
// `lookup` is null when no request was made.
RowReason LookupReason(const Text& number, const Text& keyword, const StandardLookup* lookup);

}  // namespace kelvaro
