#include "web/headers.h"

#include <climits>
#include <cstddef>

namespace kelvaro {

namespace {

const Text kLineBreak = "\r\n";
const Text kNameValueSeparator = ": ";
const Text kCookieSeparator = "; ";

// Drops the trailing `count` bytes (an appended separator); an empty text stays empty.
Text DropTail(const Text& text, int count) { return LeftText(text, TextLength(text) - count); }

}  // namespace

Text NormalizeRequestHeaders(const Text& text) {
  Text out;
  for (const Text& line : SplitText(text, kLineBreak)) {
    if (FindText(line, kNameValueSeparator) == -1) continue;
    const TextList parts = SplitText(line, kNameValueSeparator);
    if (parts.empty()) continue;
    Text name;
    if (FindText(parts[0], "-") != -1) {
      bool first = true;
      for (const Text& piece : SplitText(parts[0], "-")) {
        if (!first) name += '-';
        name += CapitalizeFirst(piece);
        first = false;
      }
    } else {
      name = CapitalizeFirst(parts[0]);
    }
    out += name;
    out += kNameValueSeparator;
    // A value that itself holds ": " is not kept: the header goes out with an empty value.
    if (parts.size() == 2) out += parts[1];
    out += kLineBreak;
  }
  return DropTail(out, 2);
}

Text CapitalizeFirst(const Text& text) {
  if (text.empty()) return text;
  Text out = text;
  if (out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - ('a' - 'A'));
  return out;
}

Text HeaderName(const Text& line) {
  const int colon = FindText(line, ":");
  if (colon == -1) return {};
  return TrimSpaces(LeftText(line, colon - 1));
}

Text HeaderValue(const Text& line) {
  const int colon = FindText(line, ":");
  if (colon == -1) return {};
  return TrimSpaces(RightText(line, TextLength(line) - colon));
}

namespace {

// A server's header block is not GBK text: a value may end in a byte of 0x80 or more,
// which a character-wise split would pair with the CR and so merge two lines. Split it
// at the bytes CR LF, keeping the split's rules for empty pieces.
TextList SplitAtLineBreakBytes(const Text& block) {
  TextList lines;
  std::size_t start = 0;
  for (std::size_t at = block.find(kLineBreak); at != Text::npos;
       at = block.find(kLineBreak, start)) {
    lines.push_back(block.substr(start, at - start));
    start = at + kLineBreak.size();
  }
  if (start < block.size()) lines.push_back(block.substr(start));
  return lines;
}

}  // namespace

Text CollectCookies(const Text& header_block) {
  Text cookies;
  for (const Text& line : SplitAtLineBreakBytes(header_block)) {
    if (TextBefore(line, kNameValueSeparator) != "Set-Cookie") continue;
    Text item;
    if (FindText(line, ";") != -1) {
      item = TextBetween(line, "Set-Cookie:", ";", 1, false);
    } else {
      item = ReplaceText(line, "Set-Cookie:", {}, true);
    }
    cookies += TrimSpaces(item);
    cookies += kCookieSeparator;
  }
  return DropTail(cookies, 2);
}

Text MergeCookies(Text& old_cookies, Text& new_cookies) {
  old_cookies = RemoveAllSpaces(old_cookies);
  new_cookies = RemoveAllSpaces(new_cookies);
  const TextList old_items = SplitText(old_cookies, ";");
  TextList items = SplitText(new_cookies, ";");
  for (const Text& item : old_items) {
    if (!HasCookieNamed(items, CookieName(item))) items.push_back(item);
  }
  old_cookies.clear();
  for (const Text& item : items) {
    if (RightText(item, 8) == "=deleted") continue;
    old_cookies += item;
    old_cookies += kCookieSeparator;
  }
  old_cookies = DropTail(old_cookies, 2);
  old_cookies = RemoveDuplicateItems(old_cookies, kCookieSeparator);
  return old_cookies;
}

Text CookieName(const Text& item) {
  const int equals = FindText(item, "=");
  return TrimSpaces(equals == -1 ? item : LeftText(item, equals - 1));
}

bool HasCookieNamed(const TextList& items, const Text& name) {
  for (const Text& item : items) {
    if (CookieName(item) == name) return true;
  }
  return false;
}

Text RemoveDuplicateItems(const Text& text, const Text& separator) {
  TextList seen;
  Text out;
  for (const Text& item : SplitText(text, separator)) {
    if (IndexOfItem(seen, item) != -1) continue;
    seen.push_back(item);
    out += item;
    out += separator;
  }
  return DropTail(out, TextLength(separator));
}

int IndexOfItem(const TextList& items, const Text& text) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] != text) continue;
    return i < static_cast<std::size_t>(INT_MAX) ? static_cast<int>(i) + 1 : -1;
  }
  return -1;
}

}  // namespace kelvaro
