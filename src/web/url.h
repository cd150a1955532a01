// Addresses as they go on the wire.
#pragma once

#include "text/text.h"

namespace kelvaro {

// Escapes a URL for the wire: non-ASCII as UTF-8 percent-escapes (the text is GBK),
// spaces and control bytes as percent-escapes, other ASCII unchanged. Escaping twice
// gives the same text.
Text EscapeUrlForWire(const Text& url);

}  // namespace kelvaro
