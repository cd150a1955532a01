// The result page parse done the plain way, narrowing the row one "<tr bgcolor=" at a time
// with the text primitives: quadratic on long rows, but the reference the linear parser is
// checked against.
#pragma once

#include "site/national_site.h"

namespace kelvaro::test {

CurrentStandardRecord ParseResultPageLiteral(const Text& body_text);

}  // namespace kelvaro::test
