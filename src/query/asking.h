// What one lookup asks a site, one request at a time: the keyword's page, the pages after it
// when the cited standard is not on the first of several, and the detail pages that name a
// withdrawn standard's successor. Through the batch's store and at
// its pace when there are; the single query has neither.
#pragma once

#include <functional>
#include <optional>

#include "query/request_pace.h"
#include "rows/judgement.h"
#include "site/lookup_store.h"
#include "site/standard_site.h"
#include "text/text.h"

namespace kelvaro {

struct Asking {
  Site site;
  LookupStore* store = nullptr;    // the batch's; null asks the site every time
  RequestPace* pace = nullptr;     // the batch's; null never waits
  std::function<bool()> ending{};  // true once the lookup's batch is being ended
  int requests = 0;                // made so far
};

// Page `page` of the hits for `keyword`, from the store or one request; nothing when the pace
// has stopped asking or the batch is ending.
std::optional<StandardLookup> AskSearch(Asking& asking, const Text& keyword, int page = 1);
// The detail page at `address` (absolute), likewise.
std::optional<DetailLookup> AskDetail(Asking& asking, const Text& address);

// Pages asked after the first one when it does not list the cited standard.
inline constexpr int kFurtherPages = 5;

// What judges `entered`: its keyword's first page, unless that page says it is one of several
// (共M页) and lists no row of the cited standard. Then pages 2 to M (kFurtherPages at most)
// are asked in turn until one lists it, and the answer holds the rows of every page read,
// in order, with the address of the last. A further page the site fails on is the answer
// (the row fails, rather than being judged on part of the hits). Nothing when it could not
// be asked.
std::optional<StandardLookup> LookUpCited(Asking& asking, const Text& entered, const Text& keyword);

// Steps past a withdrawn successor: "被X代替" followed while X is itself withdrawn.
inline constexpr int kSuccessorSteps = 3;

// A withdrawn standard's successor, when its row links a detail page that names one: the
// first standard down the chain of "被X代替" that the site does not list as withdrawn
// (kSuccessorSteps at most, never round a loop) becomes judgement.replaced_by and its number
// the reason's. A detail page that cannot be read leaves the verdict and says so.
void FindSuccessor(Asking& asking, const Text& entered, Judgement& judgement);

}  // namespace kelvaro
