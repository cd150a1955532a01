#include "query/verdict.h"

#include "query/number.h"

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

}  // namespace

Verdict JudgeLookup(const Text& entered, const Text& keyword, const StandardLookup* lookup) {
  Verdict verdict;
  verdict.reason = ReasonOf(entered, keyword, lookup);
  if (keyword.empty() || lookup == nullptr) return verdict;
  verdict.record = lookup->record;
  // A page without a current row leaves the number empty, which no year matches.
  verdict.status = ClassifyNumber(verdict.record.number, entered);
  return verdict;
}

}  // namespace kelvaro
