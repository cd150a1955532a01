#include "query/single_query.h"

#include "query/number.h"
#include "query/report.h"

namespace kelvaro {

SingleQueryResult RunSingleQuery(const Text& number_box_text) {
  SingleQueryResult result;
  result.cleaned = number_box_text;
  result.keyword = NormalizeNumber(result.cleaned);
  if (result.keyword.empty()) {
    // An empty keyword names no standard; a request would only fetch an arbitrary list.
    result.lookup.record.status = kStatusNotFound;
    result.lookup.address = SearchAddress(result.keyword);
    return result;
  }
  result.lookup = FetchCurrentStandard(result.keyword);
  result.requested = true;
  return result;
}

Text SingleQueryReport(const SingleQueryResult& result) {
  return ReportText(result.lookup.record, result.lookup.address, result.cleaned);
}

}  // namespace kelvaro
