// The single query: one number looked up without the query lock, for the report.
#pragma once

#include "query/current_standard.h"
#include "text/text.h"

namespace kelvaro {

struct SingleQueryResult {
  Text cleaned;  // the number box's text, cleaned
  Text keyword;  // what was (or would have been) searched
  StandardLookup lookup;
  bool requested = false;  // false for an empty keyword: no request was made
};

// The number box's text is copied, never changed. An empty keyword makes no request and
// gives the not-found record with the address that would have been requested.
SingleQueryResult RunSingleQuery(const Text& number_box_text);

// The report text for a result (ReportText of its record, address and cleaned number).
Text SingleQueryReport(const SingleQueryResult& result);

}  // namespace kelvaro
