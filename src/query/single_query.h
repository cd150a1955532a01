// The single query: one number looked up without the query lock, for the report.
#pragma once

#include "query/verdict.h"
#include "rows/judgement.h"
#include "site/standard_site.h"
#include "text/text.h"

namespace kelvaro {

struct SingleQueryResult {
  Text entered;  // what was looked up: the first citation's number in the box, else its text
  Text cleaned;  // that, cleaned
  Text keyword;  // what was (or would have been) searched
  StandardLookup lookup;
  bool requested = false;  // false for an empty keyword: no request was made
  Judgement judgement;
};

// The number box's text is copied, never changed; a citation in it ("《…》GB 50016-2014（2018
// 年版）") is looked up by its canonical number on `site`, other text as it stands. An empty
// keyword makes no request and gives the not-found record with the address that would have
// been requested.
SingleQueryResult RunSingleQuery(const Site& site, const Text& number_box_text);

// The report's entries and its whole text for a result.
TextList SingleQueryEntries(const SingleQueryResult& result);
Text SingleQueryReport(const SingleQueryResult& result);

}  // namespace kelvaro
