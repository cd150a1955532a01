// Standard numbers: cleaning, search keyword, year comparison.
#pragma once

#include "rows/verdicts.h"
#include "text/text.h"

namespace kelvaro {

// Replaces `number` with the cleaned number and returns it.
Text CleanNumber(Text& number);
// The year a number (as entered) ends in, spaces aside: "-" or ":" and four digits
// ("CECS 102:2002"), or "-" or ":" and two digits after a digit of the serial
// ("GB 50045-95": 1995, "GBJ 16-07": 2007).
struct NumberYear {
  int digits = 0;  // 4, 2, or 0 for none
  int full = 0;    // the year in four digits; 0 for none
};
NumberYear YearOf(const Text& number);

// Replaces `number` with the cleaned number and returns the search keyword: the cleaned
// number without its year (four or two digits), the whole cleaned number when it has no
// year, and nothing for a cleaned number of four bytes or fewer.
Text NormalizeNumber(Text& number);
// Full-width forms count as ASCII; then the leading decimal integer, saturated to 32 bits.
int TextToInteger(const Text& text);
// The status for a four-digit year: equal year tails (kCurrent), else the later of the two
// (kSuperseded when the site's is later); a site that lists no such year or later is
// kNotListed (its status word is 未知).
Verdict ClassifyStatus(const Text& hit_number, const Text& cleaned_number);
// The status of `entered_number` (as entered) against the site's current number: years of
// four digits as ClassifyStatus compares them, two-digit years as full years; no year of its
// own is undetermined (kNotListed).
Verdict ClassifyNumber(const Text& hit_number, const Text& entered_number);

// The standard a number names, whatever its year: its code and serial as the citation reader
// reads them ("GB/T" and "14048.1", "JTG/T" and "D60-01"; empty for a number it does not
// take), and its search keyword upper-cased. ASCII.
struct StandardIdentity {
  Text code;
  Text serial;
  Text key;
};
StandardIdentity IdentityOf(const Text& number);
// One standard: code and serial equal when both numbers have them, else equal keywords
// ("JGJ 8", which the reader does not take without a year, is JGJ 8-2016's).
bool SameStandard(const StandardIdentity& a, const StandardIdentity& b);
// SameStandard(IdentityOf(number), cited), reading `number` with the citation reader only when
// its keyword and the cited one begin alike (one is the other's beginning).
bool IsStandard(const Text& number, const StandardIdentity& cited);
// "JGJ 8", as people name a standard without its year.
Text IdentityText(const StandardIdentity& identity);

// The first test of ClassifyStatus alone: equal year tails.
bool YearTailsEqual(const Text& hit_number, const Text& cleaned_number);

}  // namespace kelvaro
