// The national standards search site: "/s.jsp?keyword=…&pageNum=1", a GBK result page whose
// rows start with "<tr bgcolor=", each with a status cell of kCurrentCell's shape
// (`<td ><font color="#FF0000">废止</font></td>`); the current row holds kCurrentCell itself.
#pragma once

#include "site/standard_site.h"

namespace kelvaro {

extern const Text kCurrentCell;  // the 43-byte cell that marks a current row

// How the national site is asked and read.
const SitePages& NationalSitePages();

// The page's first current row cut into its fields (linear time).
CurrentStandardRecord ParseResultPage(const Text& body_text);

// Every result row, in page order (linear time). A row runs from just after its
// "<tr bgcolor=" to the next one or the page's end; its fields are cut as the current row's
// are, before its status cell when it has one.
std::vector<ListedStandard> ReadResultRows(const Text& body_text);

}  // namespace kelvaro
