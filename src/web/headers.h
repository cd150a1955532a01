// Request-header text and cookie-string routines (CR LF lines, "; " separated cookies).
#pragma once

#include "text/text.h"

namespace kelvaro {

Text NormalizeRequestHeaders(const Text& text);
Text CapitalizeFirst(const Text& text);
Text HeaderName(const Text& line);
Text HeaderValue(const Text& line);
Text CollectCookies(const Text& header_block);
// Rewrites both arguments (spaces removed); the result is also left in `old_cookies`.
Text MergeCookies(Text& old_cookies, Text& new_cookies);
Text CookieName(const Text& item);
bool HasCookieNamed(const TextList& items, const Text& name);
Text RemoveDuplicateItems(const Text& text, const Text& separator);
int IndexOfItem(const TextList& items, const Text& text);

}  // namespace kelvaro
