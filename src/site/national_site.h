// The national standards search site: "/s.jsp?keyword=…&pageNum=1", a GBK result page whose
// rows start with "<tr bgcolor=" and whose current row holds kCurrentCell.
#pragma once

#include "site/standard_site.h"

namespace kelvaro {

extern const Text kCurrentCell;  // the 43-byte cell that marks a current row

const StandardSite& NationalSite();

// The page's first current row cut into its fields (linear time).
CurrentStandardRecord ParseResultPage(const Text& body_text);

}  // namespace kelvaro
