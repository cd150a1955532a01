#include "query/single_query.h"

#include "citation/citation.h"
#include "query/number.h"
#include "query/report.h"
#include "text/encoding.h"

namespace kelvaro {

SingleQueryResult RunSingleQuery(const Text& number_box_text) {
  SingleQueryResult result;
  const std::vector<Citation> citations = FindCitations(GbkToUtf8(number_box_text));
  result.entered = citations.empty() ? number_box_text : Utf8ToGbk(citations.front().number);
  result.cleaned = result.entered;
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

TextList SingleQueryEntries(const SingleQueryResult& result) {
  const CurrentStandardRecord& record = result.lookup.record;
  return ReportEntriesOf(record, result.lookup.address,
                         ClassifyNumber(record.number, result.entered) == kStatusCurrent);
}

Text SingleQueryReport(const SingleQueryResult& result) {
  Text text = "\r\n";
  for (const Text& entry : SingleQueryEntries(result)) text += entry;
  return text;
}

}  // namespace kelvaro
