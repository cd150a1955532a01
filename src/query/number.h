// Standard numbers: cleaning, search keyword, year comparison.
#pragma once

#include "text/text.h"

namespace kelvaro {

// Status words (GBK).
extern const Text kStatusCurrent;     // 现行
extern const Text kStatusSuperseded;  // 有新标准
extern const Text kStatusUnknown;     // 未知

// Replaces `number` with the cleaned number and returns it.
Text CleanNumber(Text& number);
// Replaces `number` with the cleaned number and returns the search keyword.
Text NormalizeNumber(Text& number);
// Full-width forms count as ASCII; then the leading decimal integer, saturated to 32 bits.
int TextToInteger(const Text& text);
Text ClassifyStatus(const Text& hit_number, const Text& cleaned_number);
// The first test of ClassifyStatus alone: equal year tails.
bool YearTailsEqual(const Text& hit_number, const Text& cleaned_number);

}  // namespace kelvaro
