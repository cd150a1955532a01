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
  const std::string cited_edition = citations.empty() ? std::string() : citations.front().edition;
  result.cleaned = result.entered;
  result.keyword = NormalizeNumber(result.cleaned);
  if (result.keyword.empty()) {
    // An empty keyword names no standard; a request would only fetch an arbitrary list.
    result.lookup.record.status = kRecordNotFound;
    result.lookup.address = SearchAddress(result.keyword);
    result.verdict = JudgeLookup(result.entered, result.keyword, nullptr);
    return result;
  }
  result.lookup = FetchCurrentStandard(result.keyword);
  result.requested = true;
  result.verdict = JudgeLookup(result.entered, result.keyword, &result.lookup, cited_edition);
  return result;
}

TextList SingleQueryEntries(const SingleQueryResult& result) {
  TextList entries = ReportEntriesOf(result.verdict.record, result.lookup.address,
                                     result.verdict.status == Status::kCurrent);
  const Text note = NoteEntry(result.verdict.reason, result.verdict.notes);
  if (!note.empty()) entries.push_back(note);
  return entries;
}

Text SingleQueryReport(const SingleQueryResult& result) {
  Text text = "\r\n";
  for (const Text& entry : SingleQueryEntries(result)) text += entry;
  return text;
}

}  // namespace kelvaro
