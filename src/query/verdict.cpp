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

RowReason ReasonOf(const Text& entered, const Text& keyword, const StandardLookup* lookup,
                   const CurrentStandardRecord& record) {
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
    reason.outcome = record.status == kRecordCurrent ? Outcome::kFound : Outcome::kNotFound;
  }
  return reason;
}

// The rows a page lists, or, for a page read without rows, its current record as one.
std::vector<ListedStandard> RowsOf(const StandardLookup& lookup) {
  if (!lookup.listed.empty() || lookup.record.status != kRecordCurrent) return lookup.listed;
  return {AsListed(lookup.record)};
}

// What the page lists of the cited standard (its code and serial; a longer serial that begins
// alike is another standard).
struct Listing {
  std::vector<ListedStandard> rows;         // every such row, in page order
  const ListedStandard* own = nullptr;      // the cited number itself (the first such row)
  const ListedStandard* coming = nullptr;   // the first 即将实施 one of a later year
  const ListedStandard* current = nullptr;  // the first 现行 one: the site's current standard
  const ListedStandard* other = nullptr;    // the first row of another standard
  int others = 0;                           // rows of other standards
};

Listing ListingOf(const std::vector<ListedStandard>& listed, const StandardIdentity& cited,
                  int cited_year) {
  Listing listing;
  std::vector<int> years;
  std::size_t first_other = listed.size();
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const ListedStandard& row = listed[i];
    if (!IsStandard(row.number, cited)) {
      if (listing.others++ == 0) first_other = i;
      continue;
    }
    listing.rows.push_back(row);
    years.push_back(YearOf(row.number).full);
  }
  if (first_other < listed.size()) listing.other = &listed[first_other];
  // Pointers into `rows` once it no longer grows.
  for (std::size_t i = 0; i < listing.rows.size(); ++i) {
    const ListedStandard& row = listing.rows[i];
    if (row.standing == Standing::kCurrent && listing.current == nullptr) listing.current = &row;
    if (years[i] == cited_year && listing.own == nullptr) listing.own = &row;
    if (row.standing == Standing::kComing && years[i] > cited_year && listing.coming == nullptr) {
      listing.coming = &row;
    }
  }
  return listing;
}

CurrentStandardRecord RecordOf(const ListedStandard* current) {
  CurrentStandardRecord record;
  if (current == nullptr) {
    record.status = kRecordNotFound;
    return record;
  }
  return {current->number, current->title, current->release_date, current->department,
          kRecordCurrent};
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
  if (own == Standing::kWithdrawn && listing.current == nullptr) {
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
  if (keyword.empty() || lookup == nullptr) {
    judgement.reason = ReasonOf(entered, keyword, lookup, {});
    judgement.verdict = Undetermined(judgement.reason.outcome);
    judgement.read_at = platform::LocalTimeText();
    return judgement;
  }
  // Only the rows of the cited code and serial speak of it: the site also lists every number
  // that begins with the keyword, in an order of its own.
  const StandardIdentity identity = IdentityOf(entered);
  const std::vector<ListedStandard> rows = RowsOf(*lookup);
  Listing listing = ListingOf(rows, identity, YearOf(entered).full);
  judgement.record = RecordOf(listing.current);
  judgement.reason = ReasonOf(entered, keyword, lookup, judgement.record);
  judgement.site = lookup->site;
  judgement.address = lookup->address;
  judgement.read_at = lookup->read_at;
  judgement.from_store = lookup->from_store;
  // A page without a current row leaves the number empty, which no year matches.
  judgement.verdict =
      Settle(ClassifyNumber(judgement.record.number, entered), judgement.reason.outcome);
  const Outcome outcome = judgement.reason.outcome;
  // An error page, and a number without a year, say nothing of the cited standard.
  if (outcome == Outcome::kFound || outcome == Outcome::kNotFound) {
    ReadListing(judgement, listing, cited.edition);
    if (listing.rows.empty() && listing.other != nullptr) {
      judgement.reason.standard = IdentityText(identity);
      judgement.reason.instead = TrimSpaces(listing.other->number);
      judgement.reason.others = listing.others;
    }
    judgement.listed = std::move(listing.rows);
  }
  // A year later than the site's current standard is a typo, or a standard the site does not
  // list yet: said as such, not as found.
  const int cited_year = YearOf(entered).full;
  const int site_year = YearOf(judgement.record.number).full;
  if (judgement.reason.outcome == Outcome::kFound && judgement.verdict == Verdict::kNotListed &&
      site_year > 0 && cited_year > site_year) {
    judgement.reason.outcome = Outcome::kNewerThanSite;
    judgement.reason.cited_year = cited_year;
    judgement.reason.site_year = site_year;
  }
  if (SpecOf(judgement.verdict).in_force) {
    // One place citing another title is a title to correct, whichever place it is.
    const std::string site_title = GbkToUtf8(judgement.record.title);
    const auto check = [&](const std::string& title) {
      if (title.empty()) return;
      const bool same = SameTitle(title, site_title);
      judgement.notes.title_matches = judgement.notes.title_matches.value_or(true) && same;
    };
    check(cited.title);
    for (const std::string& title : cited.titles_again) check(title);
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
