#include "web/url.h"

#include "text/encoding.h"

namespace kelvaro {
namespace {

void PercentEscape(unsigned char byte, std::string& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

}  // namespace

Text EscapeUrlForWire(const Text& url) {
  std::string out;
  out.reserve(url.size());
  std::size_t i = 0;
  while (i < url.size()) {
    const auto byte = static_cast<unsigned char>(url[i]);
    if (byte >= 0x80) {
      // A run of two-byte characters is converted as a whole, then each UTF-8 byte escaped.
      std::size_t end = i;
      while (end < url.size() && static_cast<unsigned char>(url[end]) >= 0x80) {
        end += (end + 1 < url.size()) ? 2 : 1;
      }
      for (unsigned char c : GbkToUtf8(url.substr(i, end - i))) PercentEscape(c, out);
      i = end;
      continue;
    }
    if (byte <= 0x20 || byte == 0x7F) {
      PercentEscape(byte, out);
    } else {
      out += static_cast<char>(byte);
    }
    ++i;
  }
  return out;
}

}  // namespace kelvaro
