// Why a lookup ended as it did: network failure, an error page, a standard the site does
// not list, or a number without its year, all of which the status word alone calls 未知.
#pragma once

#include "batch/result_table.h"
#include "query/current_standard.h"
#include "text/text.h"

namespace kelvaro {

// True when the number (spaces aside) ends in "-" and four ASCII digits, as
// GB/T50001-2010 does: only then do the keyword and the year comparison work.
bool EndsInYear(const Text& number);

// The reason for a lookup of `number` (as entered) whose keyword was `keyword`; `lookup`
// is null when no request was made.
RowReason LookupReason(const Text& number, const Text& keyword, const StandardLookup* lookup);

}  // namespace kelvaro
