#include "query/verdict.h"

#include <utility>

#include "citation/citation.h"
#include "platform/clock.h"
#include "query/number.h"
#include "rows/export.h"
#include "rows/reason.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

constexpr int kHttpOk = 200;

RowReason ReasonOf(const Text& entered, const Text& keyword, const StandardLookup* lookup) {
  RowReason reason;
  if (keyword.empty() || lookup == nullptr) {
    reason.outcome = Outcome::kEmpty;
  } else if (lookup->http_status == 0) {
    reason.outcome = Outcome::kNetwork;
    reason.error = lookup->error;
  } else if (lookup->http_status != kHttpOk) {
    reason.outcome = Outcome::kHttpError;
    reason.http_status = lookup->http_status;
  } else if (lookup->kind == PageKind::kRefused) {
    reason.outcome = Outcome::kRefused;
  } else if (lookup->kind == PageKind::kUnrecognised) {
    reason.outcome = Outcome::kUnrecognised;
    reason.error = lookup->page_title;
  } else if (YearOf(entered).digits == 0) {
    reason.outcome = Outcome::kNoYear;
  } else {
    reason.outcome = lookup->record.status == kRecordCurrent ? Outcome::kFound : Outcome::kNotFound;
  }
  return reason;
}

// What the page lists of the cited standard's code and serial.
struct Listing {
  std::vector<ListedStandard> rows;        // every such row, in page order
  const ListedStandard* own = nullptr;     // the cited number itself (the first such row)
  const ListedStandard* coming = nullptr;  // the first 即将实施 one of a later year
  bool current = false;                    // any of them 现行
};

Listing ListingOf(const std::vector<ListedStandard>& listed, const StandardKey& cited) {
  Listing listing;
  std::vector<StandardKey> keys;
  for (const ListedStandard& row : listed) {
    StandardKey key = KeyOf(row.number);
    if (key.series != cited.series) continue;
    listing.rows.push_back(row);
    keys.push_back(std::move(key));
  }
  // Pointers into `rows` once it no longer grows.
  for (std::size_t i = 0; i < listing.rows.size(); ++i) {
    const ListedStandard& row = listing.rows[i];
    listing.current = listing.current || row.standing == Standing::kCurrent;
    if (keys[i].year == cited.year && listing.own == nullptr) listing.own = &row;
    if (row.standing == Standing::kComing && keys[i].year > cited.year &&
        listing.coming == nullptr) {
      listing.coming = &row;
    }
  }
  return listing;
}

// The edition note the site's current standard carries in its number or its title.
std::string SiteEdition(const CurrentStandardRecord& record) {
  std::string edition = FindEdition(GbkToUtf8(record.number)).edition;
  return edition.empty() ? FindEdition(GbkToUtf8(record.title)).edition : edition;
}

// The verdict of an answer the years could not settle: what the reason says of it.
Verdict Undetermined(Outcome outcome) {
  if (IsSiteFailure(outcome) || outcome == Outcome::kAborted) return Verdict::kFailed;
  if (outcome == Outcome::kWithdrawn) return Verdict::kWithdrawn;
  if (outcome == Outcome::kNotInForce) return Verdict::kNotInForce;
  return Verdict::kNotListed;
}

// The years' verdict, then what the reason makes of an undetermined one.
Verdict Settle(Verdict compared, Outcome outcome) {
  return compared == Verdict::kNotListed ? Undetermined(outcome) : compared;
}

// What the listed rows add to a judgement the years made: withdrawn, not in force, a
// successor coming, the edition in force.
void ReadListing(Judgement& judgement, const Listing& listing, const std::string& cited_edition) {
  const Standing own = listing.own == nullptr ? Standing::kOther : listing.own->standing;
  if (own == Standing::kWithdrawn && !listing.current) {
    judgement.verdict = Verdict::kWithdrawn;
    judgement.reason = {Outcome::kWithdrawn, 0, {}, {}};
    return;
  }
  if (own == Standing::kComing) {
    judgement.verdict = Verdict::kNotInForce;
    judgement.reason = {Outcome::kNotInForce, 0, {}, listing.own->effective_date};
    return;
  }
  judgement.notes.site_edition = SiteEdition(judgement.record);
  judgement.notes.release_date = judgement.record.release_date;
  if (judgement.verdict != Verdict::kCurrent && judgement.verdict != Verdict::kSuperseded) return;
  if (listing.coming != nullptr) {
    judgement.notes.coming = ComingStandard{listing.coming->number, listing.coming->title,
                                            listing.coming->effective_date};
    if (judgement.verdict == Verdict::kCurrent) judgement.verdict = Verdict::kCurrentComing;
  }
  if (judgement.verdict != Verdict::kSuperseded && !judgement.notes.site_edition.empty()) {
    judgement.notes.edition_matches = cited_edition == judgement.notes.site_edition;
  }
}

}  // namespace

Judgement JudgeLookup(const Text& entered, const Text& keyword, const StandardLookup* lookup,
                      const CitedAs& cited) {
  Judgement judgement;
  judgement.reason = ReasonOf(entered, keyword, lookup);
  if (keyword.empty() || lookup == nullptr) {
    judgement.verdict = Undetermined(judgement.reason.outcome);
    judgement.read_at = platform::LocalTimeText();
    return judgement;
  }
  judgement.record = lookup->record;
  judgement.site = lookup->site;
  judgement.address = lookup->address;
  judgement.read_at = lookup->read_at;
  // A page without a current row leaves the number empty, which no year matches.
  judgement.verdict =
      Settle(ClassifyNumber(judgement.record.number, entered), judgement.reason.outcome);
  const Outcome outcome = judgement.reason.outcome;
  // An error page, and a number without a year, say nothing of the cited standard.
  if (outcome == Outcome::kFound || outcome == Outcome::kNotFound) {
    Listing listing = ListingOf(lookup->listed, KeyOf(entered));
    ReadListing(judgement, listing, cited.edition);
    judgement.listed = std::move(listing.rows);
  }
  if (SpecOf(judgement.verdict).in_force && !cited.title.empty()) {
    judgement.notes.title_matches = SameTitle(cited.title, GbkToUtf8(judgement.record.title));
  }
  return judgement;
}

Judgement StoppedLookup(Judgement previous) {
  const bool answered = previous.verdict == Verdict::kNone || SpecOf(previous.verdict).in_force ||
                        previous.verdict == Verdict::kSuperseded;
  if (!answered) previous.verdict = Verdict::kFailed;
  previous.reason = {Outcome::kAborted, 0, {}, {}};
  previous.read_at = platform::LocalTimeText();
  return previous;
}

}  // namespace kelvaro
