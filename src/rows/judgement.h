// What one lookup made of a row's standard, as one value: the verdict, why the lookup ended
// as it did, what the site listed of the standard and where and when it said so. A row
// stores it whole (ResultTable::SetJudgementById), and every output reads it from there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rows/verdicts.h"
#include "site/standard_site.h"
#include "text/text.h"

namespace kelvaro {

using RowId = std::uint64_t;  // a row's stable identity; 0 is no row

// Why a lookup ended as it did, finer than its verdict: what the command line's reason column
// names and the status cell's tooltip says (rows/reason.h holds their words).
enum class Outcome {
  kNone,           // not looked up (yet)
  kFound,          // a current row was found; the verdict says the rest
  kNotFound,       // a result page without a current row
  kNoYear,         // the number does not end in "-" and a four-digit year
  kEmpty,          // no keyword: nothing to search for
  kHttpError,      // the site answered with a status other than 200
  kNetwork,        // no answer: refused, time-out, unknown host, reset, too large
  kAborted,        // ended by a stop before its answer came
  kWithdrawn,      // listed as 废止 or 作废, and no current standard of its code and serial is
  kNotInForce,     // listed as 即将实施
  kRefused,        // the site answered with a page refusing the client (无权访问)
  kUnrecognised,   // the site answered with a page that is neither results nor "nothing found"
  kNewerThanSite,  // the cited year is later than the site's current standard's
};
struct RowReason {
  Outcome outcome = Outcome::kNone;
  int http_status = 0;    // kHttpError
  Text error;             // kNetwork: the request object's short error text (ASCII);
                          // kUnrecognised: the page's title (GBK)
  Text effective_date{};  // kNotInForce: its 实施日期 as the site writes it; may be empty
  // kNotFound on a page that lists other standards only: the cited code and serial ("JGJ 8"),
  // the first number listed instead, and how many rows were.
  Text standard{};
  Text instead{};
  int others = 0;
  // kWithdrawn: the number of the standard that replaces it, as its detail page names it;
  // or that the detail page could not be read, so what replaces it is not known.
  Text successor{};
  bool detail_unread = false;
  // kNewerThanSite: the cited year and the site's current one.
  int cited_year = 0;
  int site_year = 0;
  bool operator==(const RowReason&) const = default;
};

// A standard the site lists as coming into force (即将实施). GBK.
struct ComingStandard {
  Text number;
  Text title;
  Text effective_date;  // empty when the site gives none
  bool operator==(const ComingStandard&) const = default;
};

// What a lookup found beside its verdict and reason.
struct RowNotes {
  // 现行 or 有新标准, and a later standard of the same code and serial is 即将实施.
  std::optional<ComingStandard> coming;
  // The edition note of the site's current standard (UTF-8 "2018年版"); empty for none.
  std::string site_edition;
  // A 现行 row whose site shows an edition: whether the citation gives that same edition.
  std::optional<bool> edition_matches;
  // The site's current standard's release date as the site writes it (GBK); empty for none.
  Text release_date = {};
  // A 现行 row whose citation names a title: whether the site's title is that title (spaces,
  // punctuation, width and an edition note aside) in every place the row stands for; false
  // when any place cites another. Nothing otherwise.
  std::optional<bool> title_matches = {};
  bool operator==(const RowNotes&) const = default;
};

// What an earlier lookup of the same standard found, when its verdict was another.
struct PreviousVerdict {
  Verdict verdict = Verdict::kNone;
  std::string looked_up_at;  // "2026-11-02 09:12:40"
  bool operator==(const PreviousVerdict&) const = default;
};

struct Judgement {
  Verdict verdict = Verdict::kNone;
  RowReason reason;
  // The site's current standard of the keyword, as the page gave it (the number and title
  // cells show it); the not-found record, or empty when nothing was asked.
  CurrentStandardRecord record;
  // The page's rows of the cited code and serial, in page order: what the verdict was read
  // from beside the current standard.
  std::vector<ListedStandard> listed;
  RowNotes notes;
  // The standard that replaces a withdrawn one, as its detail page names it and the site
  // lists it; nothing when none is named, or the one named is withdrawn in its turn.
  std::optional<ListedStandard> replaced_by;
  std::string site;         // the name of the site asked; empty when none was
  Text address;             // the search address asked (GBK); empty when nothing was asked
  std::string read_at;      // local time the page was read (or the judgement made without one),
                            // "2026-12-08 22:00:13"; empty for a row never looked up
  bool from_store = false;  // the page came from what an earlier run kept, not the site
  std::optional<PreviousVerdict> previous;  // the last lookup before this one, when it differs
  bool operator==(const Judgement&) const = default;
};

// The standard the number and title cells show: the successor of a withdrawn standard, else
// the site's current standard.
inline const Text& LatestNumber(const Judgement& judgement) {
  return judgement.replaced_by.has_value() ? judgement.replaced_by->number
                                           : judgement.record.number;
}
inline const Text& LatestTitle(const Judgement& judgement) {
  return judgement.replaced_by.has_value() ? judgement.replaced_by->title : judgement.record.title;
}

}  // namespace kelvaro
