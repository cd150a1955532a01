#include "query/asking.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "citation/citation.h"
#include "query/number.h"
#include "query/verdict.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

constexpr int kHttpOk = 200;

bool MayAsk(Asking& asking) {
  if (asking.ending && asking.ending()) return false;
  return asking.pace == nullptr || asking.pace->BeforeRequest();
}

void Answered(Asking& asking, bool refused) {
  ++asking.requests;
  if (asking.pace != nullptr) asking.pace->Answered(refused);
}

bool ReadAsResults(const StandardLookup& lookup) {
  return lookup.http_status == kHttpOk && lookup.kind == PageKind::kResults;
}

bool ListsCited(const StandardLookup& lookup, const Text& entered) {
  const StandardIdentity cited = IdentityOf(entered);
  // A page read without rows speaks through its current record alone.
  if (lookup.listed.empty()) {
    return !lookup.record.number.empty() && IsStandard(lookup.record.number, cited);
  }
  for (const ListedStandard& row : lookup.listed) {
    if (IsStandard(row.number, cited)) return true;
  }
  return false;
}

// The number a detail page names: the first standard number in what it says, else the words.
Text NamedNumber(const Text& named) {
  const std::vector<Citation> citations = FindCitations(GbkToUtf8(named));
  return citations.empty() ? named : Utf8ToGbk(citations.front().number);
}

// One number however it is spaced or dashed: "GB 50016-2014" is "GB50016—2014".
Text SameNumberKey(const Text& number) {
  Text cleaned = number;
  return UpperCase(CleanNumber(cleaned));
}

// The row of `judgement`'s own standard of `number`'s year.
const ListedStandard* OwnRow(const Judgement& judgement, const Text& number) {
  const int year = YearOf(number).full;
  for (const ListedStandard& row : judgement.listed) {
    if (YearOf(row.number).full == year) return &row;
  }
  return nullptr;
}

}  // namespace

std::optional<StandardLookup> AskSearch(Asking& asking, const Text& keyword, int page) {
  if (asking.store != nullptr) {
    if (std::optional<StandardLookup> known = asking.store->Find(asking.site, keyword, page)) {
      return known;
    }
  }
  if (!MayAsk(asking)) return std::nullopt;
  StandardLookup lookup = FetchCurrentStandard(asking.site, keyword, page);
  Answered(asking, lookup.kind == PageKind::kRefused);
  if (asking.store != nullptr) asking.store->Keep(asking.site, keyword, page, lookup);
  return lookup;
}

std::optional<DetailLookup> AskDetail(Asking& asking, const Text& address) {
  if (asking.store != nullptr) {
    if (std::optional<DetailLookup> known = asking.store->FindDetail(address)) return known;
  }
  if (!MayAsk(asking)) return std::nullopt;
  DetailLookup lookup = FetchDetailPage(address);
  Answered(asking, lookup.records.refused);
  if (asking.store != nullptr) asking.store->KeepDetail(lookup);
  return lookup;
}

std::optional<StandardLookup> LookUpCited(Asking& asking, const Text& entered,
                                          const Text& keyword) {
  std::optional<StandardLookup> first = AskSearch(asking, keyword);
  if (!first.has_value() || !ReadAsResults(*first) || first->page_count <= 1 ||
      ListsCited(*first, entered)) {
    return first;
  }
  const int last = std::min(first->page_count, 1 + kFurtherPages);
  for (int page = 2; page <= last; ++page) {
    std::optional<StandardLookup> next = AskSearch(asking, keyword, page);
    if (!next.has_value()) return next;
    if (next->http_status != kHttpOk || next->kind == PageKind::kRefused ||
        next->kind == PageKind::kUnrecognised) {
      return next;
    }
    // Past the last hit the site answers without rows.
    if (next->listed.empty()) break;
    first->listed.insert(first->listed.end(), next->listed.begin(), next->listed.end());
    first->address = next->address;
    first->read_at = next->read_at;
    first->from_store = first->from_store && next->from_store;
    if (ListsCited(*next, entered)) break;
  }
  return first;
}

void FindSuccessor(Asking& asking, const Text& entered, Judgement& judgement) {
  if (judgement.verdict != Verdict::kWithdrawn) return;
  const ListedStandard* own = OwnRow(judgement, entered);
  if (own == nullptr || own->detail.empty()) return;
  Text detail = own->detail;
  std::vector<Text> seen = {SameNumberKey(entered)};
  for (int step = 0; step <= kSuccessorSteps; ++step) {
    const std::optional<DetailLookup> page =
        AskDetail(asking, asking.site.pages->DetailAddress(asking.site.prefix, detail));
    if (!page.has_value()) return;
    if (!page->Read()) {
      judgement.reason.detail_unread = true;
      return;
    }
    if (page->records.replaced_by.empty()) return;
    const Text named = NamedNumber(page->records.replaced_by.front());
    const Text key = SameNumberKey(named);
    for (const Text& before : seen) {
      if (before == key) return;  // round a loop: no successor stands
    }
    seen.push_back(key);
    // How the site lists the successor: current, coming, withdrawn in its turn, or not at all.
    Text keyword = named;
    keyword = NormalizeNumber(keyword);
    ListedStandard successor;
    successor.number = named;
    const std::optional<StandardLookup> lookup =
        keyword.empty() ? std::nullopt : LookUpCited(asking, named, keyword);
    if (lookup.has_value()) {
      const Judgement said = JudgeLookup(named, keyword, &*lookup);
      if (said.verdict == Verdict::kWithdrawn) {
        const ListedStandard* withdrawn = OwnRow(said, named);
        if (withdrawn == nullptr || withdrawn->detail.empty()) return;
        detail = withdrawn->detail;
        continue;
      }
      if (said.record.status == kRecordCurrent) {
        successor = AsListed(said.record);
      } else if (const ListedStandard* listed = OwnRow(said, named)) {
        successor = *listed;
      }
    }
    judgement.reason.successor = successor.number;
    judgement.replaced_by = std::move(successor);
    return;
  }
}

}  // namespace kelvaro
