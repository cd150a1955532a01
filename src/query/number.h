// Standard numbers: cleaning, search keyword, year comparison.
#pragma once

#include "batch/reason.h"
#include "text/text.h"

namespace kelvaro {

// Replaces `number` with the cleaned number and returns it.
Text CleanNumber(Text& number);
// Replaces `number` with the cleaned number and returns the search keyword.
Text NormalizeNumber(Text& number);
// Full-width forms count as ASCII; then the leading decimal integer, saturated to 32 bits.
int TextToInteger(const Text& text);
Text ClassifyStatus(const Text& hit_number, const Text& cleaned_number);
// The first test of ClassifyStatus alone: equal year tails.
bool YearTailsEqual(const Text& hit_number, const Text& cleaned_number);
// True when the number (spaces aside) ends in "-" and four ASCII digits, as
// GB/T50001-2010 does: only then do the keyword and the year comparison work.
bool EndsInYear(const Text& number);

}  // namespace kelvaro
