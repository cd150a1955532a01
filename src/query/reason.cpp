#include "query/reason.h"

#include "query/number.h"

namespace kelvaro {
namespace {

constexpr int kHttpOk = 200;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool EndsInYear(const Text& number) {
  const Text bare = RemoveAllSpaces(number);
  const std::size_t n = bare.size();
  if (n < 5 || bare[n - 5] != '-') return false;
  for (std::size_t i = n - 4; i < n; ++i) {
    if (!IsDigit(bare[i])) return false;
  }
  return true;
}

RowReason LookupReason(const Text& number, const Text& keyword, const StandardLookup* lookup) {
  RowReason reason;
  if (keyword.empty() || lookup == nullptr) {
    reason.outcome = Outcome::kEmpty;
  } else if (lookup->http_status == 0) {
    reason.outcome = Outcome::kNetwork;
    reason.error = lookup->error;
  } else if (lookup->http_status != kHttpOk) {
    reason.outcome = Outcome::kHttpError;
    reason.http_status = lookup->http_status;
  } else if (!EndsInYear(number)) {
    reason.outcome = Outcome::kNoYear;
  } else {
    reason.outcome = lookup->record.status == kStatusCurrent ? Outcome::kFound : Outcome::kNotFound;
  }
  return reason;
}

}  // namespace kelvaro
