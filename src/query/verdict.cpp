#include "query/verdict.h"

#include "citation/citation.h"
#include "query/number.h"
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
  } else if (YearOf(entered).digits == 0) {
    reason.outcome = Outcome::kNoYear;
  } else {
    reason.outcome = lookup->record.status == kRecordCurrent ? Outcome::kFound : Outcome::kNotFound;
  }
  return reason;
}

// What the page lists of the cited standard's code and serial.
struct Listing {
  const ListedStandard* own = nullptr;     // the cited number itself (the first such row)
  const ListedStandard* coming = nullptr;  // the first 即将实施 one of a later year
  bool current = false;                    // any of them 现行
};

Listing ListingOf(const std::vector<ListedStandard>& listed, const StandardKey& cited) {
  Listing listing;
  for (const ListedStandard& row : listed) {
    const StandardKey key = KeyOf(row.number);
    if (key.series != cited.series) continue;
    listing.current = listing.current || row.standing == Standing::kCurrent;
    if (key.year == cited.year && listing.own == nullptr) listing.own = &row;
    if (row.standing == Standing::kComing && key.year > cited.year && listing.coming == nullptr) {
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

}  // namespace

Verdict JudgeLookup(const Text& entered, const Text& keyword, const StandardLookup* lookup,
                    const std::string& cited_edition) {
  Verdict verdict;
  verdict.reason = ReasonOf(entered, keyword, lookup);
  if (keyword.empty() || lookup == nullptr) return verdict;
  verdict.record = lookup->record;
  // A page without a current row leaves the number empty, which no year matches.
  verdict.status = ClassifyNumber(verdict.record.number, entered);
  const Outcome outcome = verdict.reason.outcome;
  // An error page, and a number without a year, say nothing of the cited standard.
  if (outcome != Outcome::kFound && outcome != Outcome::kNotFound) return verdict;

  const Listing listing = ListingOf(lookup->listed, KeyOf(entered));
  const Standing own = listing.own == nullptr ? Standing::kOther : listing.own->standing;
  if (own == Standing::kWithdrawn && !listing.current) {
    verdict.status = Status::kUnknown;
    verdict.reason = {Outcome::kWithdrawn, 0, {}, {}};
    return verdict;
  }
  if (own == Standing::kComing) {
    verdict.status = Status::kUnknown;
    verdict.reason = {Outcome::kNotInForce, 0, {}, listing.own->effective_date};
    return verdict;
  }
  verdict.notes.site_edition = SiteEdition(verdict.record);
  verdict.notes.release_date = verdict.record.release_date;
  if (verdict.status == Status::kUnknown) return verdict;
  if (listing.coming != nullptr) {
    verdict.notes.coming = ComingStandard{listing.coming->number, listing.coming->title,
                                          listing.coming->effective_date};
  }
  if (verdict.status == Status::kCurrent && !verdict.notes.site_edition.empty()) {
    verdict.notes.edition_matches = cited_edition == verdict.notes.site_edition;
  }
  return verdict;
}

}  // namespace kelvaro
