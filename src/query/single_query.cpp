#include "query/single_query.h"

#include <optional>
#include <utility>

#include "citation/citation.h"
#include "query/asking.h"
#include "query/number.h"
#include "query/report.h"
#include "text/encoding.h"

namespace kelvaro {

SingleQueryResult RunSingleQuery(const Site& site, const Text& number_box_text) {
  SingleQueryResult result;
  const std::vector<Citation> citations = FindCitations(GbkToUtf8(number_box_text));
  result.entered = citations.empty() ? number_box_text : Utf8ToGbk(citations.front().number);
  const CitedAs cited =
      citations.empty() ? CitedAs{} : CitedAs{citations.front().edition, citations.front().title};
  result.cleaned = result.entered;
  result.keyword = NormalizeNumber(result.cleaned);
  if (result.keyword.empty()) {
    // An empty keyword names no standard; a request would only fetch an arbitrary list.
    result.lookup.record.status = kRecordNotFound;
    result.lookup.site = site.name;
    result.lookup.address = site.SearchAddress(result.keyword);
    result.judgement = JudgeLookup(result.entered, result.keyword, nullptr);
    return result;
  }
  Asking asking{site};
  if (std::optional<StandardLookup> lookup = LookUpCited(asking, result.entered, result.keyword)) {
    result.lookup = std::move(*lookup);
  }
  result.requested = true;
  result.judgement = JudgeLookup(result.entered, result.keyword, &result.lookup, cited);
  FindSuccessor(asking, result.entered, result.judgement);
  return result;
}

TextList SingleQueryEntries(const SingleQueryResult& result) {
  const Judgement& judgement = result.judgement;
  TextList entries =
      ReportEntriesOf(judgement.record, result.lookup.address, SpecOf(judgement.verdict).in_force);
  const Text note = NoteEntry(judgement);
  if (!note.empty()) entries.push_back(note);
  return entries;
}

Text SingleQueryReport(const SingleQueryResult& result) {
  Text text = "\r\n";
  for (const Text& entry : SingleQueryEntries(result)) text += entry;
  return text;
}

}  // namespace kelvaro
