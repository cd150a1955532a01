#include "text/encoding.h"
#include "text/utf16.h"

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/code_page.h"

namespace kelvaro {

namespace {

// Both directions of code page 936, asked of the system once: per character a lookup
// instead of a call, so a file of many megabytes converts at once.
struct GbkTables {
  platform::GbkEncodeTable encode{};
  platform::GbkDecodeTable decode{};

  GbkTables() {
    platform::FillCodePage936Tables(encode, decode);
    for (char32_t c = 0; c < 0x80; ++c) encode[c] = static_cast<std::uint16_t>(c);
    encode[kReplacementCharacter] = 0;  // U+FFFD stands for what was invalid: it stays "?"
  }

  std::uint16_t Encode(char32_t c) const { return c < 0x10000 ? encode[c] : 0; }
  char32_t Decode(unsigned char lead, unsigned char trail) const {
    return decode[(lead - 0x80u) * 256u + trail];
  }
};

const GbkTables& Tables() {
  static const auto* tables = new GbkTables();  // never destroyed: no exit-order trouble
  return *tables;
}

// Dashes and spaces GBK lacks that a number may be typed or pasted with: their ASCII form,
// so that the lookup still reads them as its separators.
char32_t AsciiNeighbour(char32_t c) {
  switch (c) {
    case 0x2011:  // non-breaking hyphen
    case 0x2212:  // minus sign
      return '-';
    case 0x00A0:  // no-break space
    case 0x2007:  // figure space
    case 0x202F:  // narrow no-break space
      return ' ';
    default:
      return c;
  }
}

// One character in GBK; "?" for what GBK cannot hold and for a zero, which text never holds.
void AppendGbk(Text& out, const GbkTables& tables, char32_t c) {
  std::uint16_t g = c == 0 ? 0 : tables.Encode(c);
  if (g == 0) g = tables.Encode(AsciiNeighbour(c));
  if (g == 0) {
    out += '?';
  } else if (g < 0x100) {
    out += static_cast<char>(g);
  } else {
    out += static_cast<char>(g >> 8);
    out += static_cast<char>(g & 0xFF);
  }
}

}  // namespace

Text Utf8ToGbk(const std::string& utf8) {
  const std::size_t n = utf8.size();
  Text out;
  out.reserve(n);
  std::size_t i = 0;
  if (n >= 3 && utf8.compare(0, 3, "\xEF\xBB\xBF") == 0) i = 3;  // byte-order mark
  const GbkTables* tables = nullptr;
  while (i < n) {
    // ASCII is the same in both: copy whole runs (a zero byte is no text).
    std::size_t run = i;
    while (run < n && static_cast<unsigned char>(utf8[run]) < 0x80 && utf8[run] != '\0') ++run;
    if (run > i) {
      out.append(utf8, i, run - i);
      i = run;
      if (i >= n) break;
    }
    if (tables == nullptr) tables = &Tables();
    AppendGbk(out, *tables, DecodeUtf8(utf8, i));
  }
  return out;
}

Text Utf16ToGbk(const Bytes& utf16, bool big_endian) {
  const GbkTables& tables = Tables();
  const std::size_t units = utf16.size() / 2;
  auto unit = [&](std::size_t k) -> char32_t {
    const std::uint8_t a = utf16[2 * k];
    const std::uint8_t b = utf16[2 * k + 1];
    return big_endian ? static_cast<char32_t>((a << 8) | b) : static_cast<char32_t>((b << 8) | a);
  };
  Text out;
  out.reserve(utf16.size());
  for (std::size_t k = 0; k < units; ++k) {
    const char32_t c = NextCodePoint(unit, units, k);
    AppendGbk(out, tables, IsSurrogate(c) ? kReplacementCharacter : c);
  }
  if (utf16.size() % 2 != 0) out += '?';
  return out;
}

std::string GbkToUtf8(const Text& gbk) {
  const std::size_t n = gbk.size();
  std::string out;
  out.reserve(n + n / 2);
  const GbkTables* tables = nullptr;
  std::size_t i = 0;
  while (i < n) {
    const auto b = static_cast<unsigned char>(gbk[i]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++i;
      continue;
    }
    if (i + 1 >= n) {  // lone lead byte at the end
      AppendUtf8(out, kReplacementCharacter);
      break;
    }
    if (tables == nullptr) tables = &Tables();
    const char32_t c = tables->Decode(b, static_cast<unsigned char>(gbk[i + 1]));
    AppendUtf8(out, c == 0 ? kReplacementCharacter : c);
    i += 2;
  }
  return out;
}

std::string SanitizeUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    AppendUtf8(out, DecodeUtf8(bytes, i));
  }
  return out;
}

Text Gbk(const char8_t* utf8) {
  if (utf8 == nullptr) return {};
  return Utf8ToGbk(std::string(reinterpret_cast<const char*>(utf8)));
}

}  // namespace kelvaro
