// Plain text and CSV files: decoding, lines and cells.
#include <algorithm>
#include <array>

#include "document/errors.h"
#include "document/readers/formats.h"
#include "document/readers/read_document.h"
#include "text/encoding.h"
#include "text/utf16.h"

namespace kelvaro {

namespace {

constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

bool StartsWith(const Bytes& b, std::initializer_list<std::uint8_t> prefix) {
  return b.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), b.begin());
}

struct Utf8Counts {
  std::size_t long_sequences = 0;  // valid, of three or four bytes
  std::size_t invalid = 0;
};

// UTF-8 as it is, one "?" for each maximal invalid sequence and each zero byte.
std::string CleanUtf8(std::string_view bytes, Utf8Counts& counts) {
  counts = {};
  std::string out;
  out.reserve(bytes.size());
  const std::string s(bytes);
  std::size_t i = 0;
  while (i < s.size()) {
    const std::size_t from = i;
    const char32_t c = DecodeUtf8(s, i);
    const bool invalid =
        c == 0 || (c == 0xFFFD && s.compare(from, i - from, kReplacementUtf8) != 0);
    if (invalid) {
      ++counts.invalid;
      out += '?';
    } else {
      if (i - from >= 3) ++counts.long_sequences;
      out.append(s, from, i - from);
    }
  }
  return out;
}

std::string Utf16ToUtf8(const Bytes& bytes, std::size_t start, bool big_endian) {
  auto unit = [&](std::size_t k) -> char32_t {
    const std::uint8_t a = bytes[start + 2 * k], b = bytes[start + 2 * k + 1];
    return big_endian ? static_cast<char32_t>((a << 8) | b) : static_cast<char32_t>((b << 8) | a);
  };
  const std::size_t units = (bytes.size() - start) / 2;
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t k = 0; k < units; ++k) {
    const char32_t c = NextCodePoint(unit, units, k);
    if (IsSurrogate(c) || c == 0) {
      out += '?';
    } else {
      AppendUtf8(out, c);
    }
  }
  if ((bytes.size() - start) % 2 != 0) out += '?';  // half a unit at the end
  return out;
}

}  // namespace

std::string DecodeTextFile(const Bytes& bytes) {
  const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  Utf8Counts counts;
  if (StartsWith(bytes, {0xEF, 0xBB, 0xBF})) return CleanUtf8(raw.substr(3), counts);
  if (StartsWith(bytes, {0xFF, 0xFE})) return Utf16ToUtf8(bytes, 2, false);
  if (StartsWith(bytes, {0xFE, 0xFF})) return Utf16ToUtf8(bytes, 2, true);
  const ZeroBytes zeros = ZeroBytesOf(raw);
  if (zeros == ZeroBytes::kUtf16Le || zeros == ZeroBytes::kUtf16Be) {
    return Utf16ToUtf8(bytes, 0, zeros == ZeroBytes::kUtf16Be);
  }
  std::string utf8 = CleanUtf8(raw, counts);
  // UTF-8 with a sequence broken here and there (a line cut short) stays UTF-8: Chinese takes
  // three bytes a character in UTF-8, while GBK text breaks UTF-8 at nearly every character
  // and seldom forms a valid sequence of three.
  if (counts.invalid == 0 || counts.long_sequences >= 2 * counts.invalid) return utf8;
  // GBK never decodes to U+FFFD, so one in the result marks a byte pair it does not define
  // (or a lead byte left alone at the end).
  Text gbk_bytes(raw);
  std::replace(gbk_bytes.begin(), gbk_bytes.end(), '\0', '?');  // a stray zero is one "?"
  std::string gbk = GbkToUtf8(gbk_bytes);
  if (gbk.find(kReplacementUtf8) == std::string::npos) return gbk;
  return utf8;
}

namespace formats {

bool ReadText(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
              DocumentError& error) {
  const std::string text = DecodeTextFile(bytes);
  // Lines end as the numbers import ends them: at LF, a CR before it dropped.
  int line = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t stop = text.find('\n', start);
    if (stop == std::string::npos) stop = text.size();
    std::size_t end = stop;
    if (end > start && text[end - 1] == '\r') --end;
    ++line;
    if (end > start) {
      TextPiece piece;
      piece.text = text.substr(start, end - start);
      piece.location.kind = Location::Kind::kLine;
      piece.location.line = line;
      if (!budget.Add(pieces, std::move(piece))) {
        error = DocumentError::kContentTooLarge;
        return false;
      }
    }
    start = stop + 1;
  }
  return true;
}

namespace {

// The separator of the first record: whichever of , ; and tab occurs most often outside
// quotes, a comma when tied or none.
char FindSeparator(std::string_view text) {
  std::array<int, 3> counts{};
  constexpr std::array<char, 3> kCandidates = {',', ';', '\t'};
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == '\n' || c == '\r') break;
    for (std::size_t k = 0; k < kCandidates.size(); ++k) {
      if (c == kCandidates[k]) ++counts[k];
    }
  }
  std::size_t best = 0;
  for (std::size_t k = 1; k < counts.size(); ++k) {
    if (counts[k] > counts[best]) best = k;
  }
  return kCandidates[best];
}

}  // namespace

namespace {

// A quoted field from the quote at `i`: quotes doubled inside, line breaks kept (CR LF as
// LF); `i` is left past the closing quote.
void ReadQuoted(const std::string& text, std::size_t& i, std::string& field) {
  const std::size_t n = text.size();
  ++i;
  while (i < n) {
    if (text[i] == '"') {
      if (i + 1 < n && text[i + 1] == '"') {
        field += '"';
        i += 2;
        continue;
      }
      ++i;
      break;
    }
    if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ++i;
    field += text[i] == '\r' ? '\n' : text[i];
    ++i;
  }
}

}  // namespace

bool ReadCsv(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
             DocumentError& error) {
  const std::string text = DecodeTextFile(bytes);
  const char separator = FindSeparator(text);
  int row = 1, column = 1;
  std::string field;
  bool too_large = false;
  auto emit = [&] {
    if (!field.empty()) {
      TextPiece piece;
      piece.text = std::move(field);
      piece.location.kind = Location::Kind::kCsvCell;
      piece.location.row = row;
      piece.location.column = column;
      too_large = too_large || !budget.Add(pieces, std::move(piece));
    }
    field.clear();
  };
  const std::size_t n = text.size();
  std::size_t i = 0;
  bool record_open = false;  // something of the current record has been read
  while (i < n) {
    const char c = text[i];
    record_open = true;
    if (c == '"' && field.empty()) {
      // What follows the closing quote up to the separator is kept as it stands.
      ReadQuoted(text, i, field);
    } else if (c == separator) {
      emit();
      ++column;
      ++i;
    } else if (c == '\n' || c == '\r') {
      emit();
      ++row;
      column = 1;
      record_open = false;
      i += (c == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
    } else {
      field += c;
      ++i;
    }
  }
  if (record_open) emit();
  return too_large ? Fail(error, DocumentError::kContentTooLarge) : true;
}

}  // namespace formats

}  // namespace kelvaro
