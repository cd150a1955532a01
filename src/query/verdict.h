// What one lookup tells of the number looked up, as one judgement: its verdict, why, the
// site's current standard, and what else the page lists of that standard. The batch row,
// the query page's report and the command line's check all judge through here.
#pragma once

#include <string>
#include <vector>

#include "rows/judgement.h"
#include "site/standard_site.h"
#include "text/text.h"

namespace kelvaro {

// What a citation says of the standard beside its number (UTF-8; empty when it says nothing).
struct CitedAs {
  std::string edition;  // the edition note, "2018年版"
  std::string title;    // the cited title, without 《》
  // The titles the same standard is cited under further on (a row made of several places):
  // each counts as the first does.
  std::vector<std::string> titles_again = {};
};

// `entered` is the number as looked up, `keyword` its search keyword; `lookup` is null when
// no request was made (an empty keyword). The verdict compares the years of `entered` and of
// the site's current number, except that a number the page lists as withdrawn (with no
// current standard of its code and serial) or as not yet in force is 未知 for that reason.
Judgement JudgeLookup(const Text& entered, const Text& keyword, const StandardLookup* lookup,
                      const CitedAs& cited = {});

// A lookup stopped before its answer came: the row keeps what it showed; a row that showed
// no answer (未知) now counts as failed, to be asked again.
Judgement StoppedLookup(Judgement previous);

}  // namespace kelvaro
