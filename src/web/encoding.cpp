#include "web/encoding.h"

#include <iconv.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace kelvaro {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// glibc knows code page 936 under both names; whichever opens first is used.
iconv_t OpenIconv(const char* to_gbk_or_utf32, bool to_gbk) {
  for (const char* gbk : {"CP936", "GBK"}) {
    iconv_t cd = to_gbk ? iconv_open(gbk, to_gbk_or_utf32) : iconv_open(to_gbk_or_utf32, gbk);
    if (cd != reinterpret_cast<iconv_t>(-1)) return cd;
  }
  return reinterpret_cast<iconv_t>(-1);
}

// GBK spelling of every code point of the Basic Multilingual Plane, asked of iconv once:
// per character a lookup instead of a call, so a file of many megabytes converts at once.
// 0 means GBK has no such character; a value below 0x100 is one ASCII byte.
class GbkEncoderTable {
 public:
  GbkEncoderTable() : table_(std::make_unique<std::array<std::uint16_t, 0x10000>>()) {
    table_->fill(0);
    for (char32_t c = 0; c < 0x80; ++c) (*table_)[c] = static_cast<std::uint16_t>(c);
    iconv_t cd = OpenIconv("UTF-32LE", true);
    if (cd == reinterpret_cast<iconv_t>(-1)) return;  // no converter: every non-ASCII is "?"
    for (char32_t c = 0x80; c < 0x10000; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      if (c == kReplacement) continue;
      unsigned char in[4] = {static_cast<unsigned char>(c & 0xFF),
                             static_cast<unsigned char>((c >> 8) & 0xFF), 0, 0};
      char out[8];
      char* in_ptr = reinterpret_cast<char*>(in);
      std::size_t in_left = sizeof in;
      char* out_ptr = out;
      std::size_t out_left = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      const std::size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
      if (r == static_cast<std::size_t>(-1) || in_left != 0) continue;
      const std::size_t len = sizeof out - out_left;
      const auto b0 = static_cast<unsigned char>(out[0]);
      if (len == 2 && b0 >= 0x80) {
        (*table_)[c] = static_cast<std::uint16_t>((b0 << 8) | static_cast<unsigned char>(out[1]));
      } else if (len == 1 && b0 != 0 && b0 < 0x80) {
        (*table_)[c] = b0;
      }
      // Anything else (a single high byte would read as half a character here) stays "?".
    }
    iconv_close(cd);
  }

  std::uint16_t operator[](char32_t c) const { return c < 0x10000 ? (*table_)[c] : 0; }

 private:
  std::unique_ptr<std::array<std::uint16_t, 0x10000>> table_;
};

const GbkEncoderTable& EncoderTable() {
  static const GbkEncoderTable table;
  return table;
}

// Code point of every two-byte GBK character, indexed by (lead - 0x80) * 256 + trail;
// 0 for a pair that is no character.
class GbkDecoderTable {
 public:
  GbkDecoderTable() : table_(std::make_unique<std::array<char32_t, 0x8000>>()) {
    table_->fill(0);
    iconv_t cd = OpenIconv("UTF-32LE", false);
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        unsigned char out[16];
        char* in_ptr = in;
        std::size_t in_left = sizeof in;
        char* out_ptr = reinterpret_cast<char*>(out);
        std::size_t out_left = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        const std::size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
        if (r == static_cast<std::size_t>(-1) || in_left != 0 || sizeof out - out_left != 4) {
          continue;
        }
        const char32_t c = static_cast<char32_t>(out[0]) | (static_cast<char32_t>(out[1]) << 8) |
                           (static_cast<char32_t>(out[2]) << 16) |
                           (static_cast<char32_t>(out[3]) << 24);
        if (c >= 0x80 && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF)) {
          (*table_)[(lead - 0x80) * 256 + trail] = c;
        }
      }
    }
    iconv_close(cd);
  }

  char32_t Decode(unsigned char lead, unsigned char trail) const {
    return (*table_)[(lead - 0x80u) * 256u + trail];
  }

 private:
  std::unique_ptr<std::array<char32_t, 0x8000>> table_;
};

const GbkDecoderTable& DecoderTable() {
  static const GbkDecoderTable table;
  return table;
}

// Decodes one character at i; on return i is past the bytes it used. An invalid sequence
// yields U+FFFD and uses its maximal subpart: the longest prefix of a valid sequence, at
// least one byte (the Unicode "substitution of maximal subparts" practice).
char32_t DecodeUtf8(const std::string& s, std::size_t& i) {
  const std::size_t n = s.size();
  const auto b0 = static_cast<unsigned char>(s[i]);
  ++i;
  if (b0 < 0x80) return b0;
  int need = 0;
  unsigned char lower = 0x80;
  unsigned char upper = 0xBF;
  char32_t c = 0;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    c = b0 & 0x0F;
    if (b0 == 0xE0) lower = 0xA0;
    if (b0 == 0xED) upper = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    c = b0 & 0x07;
    if (b0 == 0xF0) lower = 0x90;
    if (b0 == 0xF4) upper = 0x8F;  // nothing above U+10FFFF
  } else {
    return kReplacement;  // 80..C1, F5..FF never start a character
  }
  for (int k = 0; k < need; ++k) {
    if (i >= n) return kReplacement;
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < lower || b > upper) return kReplacement;  // b is not used
    lower = 0x80;
    upper = 0xBF;
    c = (c << 6) | (b & 0x3F);
    ++i;
  }
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

Text Utf8ToGbk(const std::string& utf8) {
  const std::size_t n = utf8.size();
  Text out;
  out.reserve(n);
  std::size_t i = 0;
  if (n >= 3 && utf8.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;  // byte-order mark
  const GbkEncoderTable* table = nullptr;
  while (i < n) {
    // ASCII is the same in both: copy whole runs.
    std::size_t run = i;
    while (run < n && static_cast<unsigned char>(utf8[run]) < 0x80) ++run;
    if (run > i) {
      out.append(utf8, i, run - i);
      i = run;
      if (i >= n) break;
    }
    const char32_t c = DecodeUtf8(utf8, i);
    if (table == nullptr) table = &EncoderTable();
    const std::uint16_t g = c == kReplacement ? 0 : (*table)[c];
    if (g == 0) {
      out += '?';
    } else if (g < 0x100) {
      out += static_cast<char>(g);
    } else {
      out += static_cast<char>(g >> 8);
      out += static_cast<char>(g & 0xFF);
    }
  }
  return out;
}

std::string GbkToUtf8(const Text& gbk) {
  const std::size_t n = gbk.size();
  std::string out;
  out.reserve(n + n / 2);
  const GbkDecoderTable* table = nullptr;
  std::size_t i = 0;
  while (i < n) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    if (i + 1 >= n) {  // lone lead byte at the end
      AppendUtf8(out, kReplacement);
      break;
    }
    if (table == nullptr) table = &DecoderTable();
    const char32_t c = table->Decode(b, static_cast<unsigned char>(gbk[i + 1]));
    AppendUtf8(out, c == 0 ? kReplacement : c);
    i += 2;
  }
  return out;
}

Text Gbk(const char8_t* utf8) {
  if (utf8 == nullptr) return {};
  return Utf8ToGbk(std::string(reinterpret_cast<const char*>(utf8)));
}

}  // namespace kelvaro
