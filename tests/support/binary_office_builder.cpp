#include "support/binary_office_builder.h"

#include <algorithm>
#include <map>
#include <utility>

#include "support/little_endian_writer.h"

namespace kelvaro::test {

namespace {

constexpr std::size_t kPage = 512;

void Set32(std::string& out, std::size_t at, std::uint32_t v) {
  std::string b;
  Put32(b, v);
  out.replace(at, 4, b);
}

// The byte code page 1252 gives `c` in a compressed piece.
char Compressed(char16_t c) {
  static const std::u16string k80 =
      u"\u0080\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D"
      u"\u008E\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A"
      u"\u0153\u009D\u009E\u0178";
  const std::size_t at = k80.find(c);
  if (at != std::u16string::npos) return static_cast<char>(0x80 + at);
  return c < 0x100 && !(c >= 0x80 && c < 0xA0) ? static_cast<char>(c) : '?';
}

struct FcRun {
  std::uint32_t from, to;
  std::string properties;   // grpprl (PAPX: after the style index)
  std::uint16_t style = 0;  // PAPX: the style index
};

// Formatted disk pages of `runs` (which follow one another without a gap) at the end of
// `word`, and their bin table.
void Pages(const std::vector<FcRun>& runs, bool paragraphs, std::string& word,
           std::string& bin_table) {
  constexpr std::size_t kPerPage = 8;
  std::string fcs, pns;
  for (std::size_t at = 0; at < runs.size(); at += kPerPage) {
    const std::size_t n = std::min(kPerPage, runs.size() - at);
    std::string page(kPage, '\0');
    std::size_t offset = 0;
    for (std::size_t r = 0; r <= n; ++r) {
      Set32(page, offset, r < n ? runs[at + r].from : runs[at + n - 1].to);
      offset += 4;
    }
    std::size_t data_end = kPage - 1;
    for (std::size_t r = 0; r < n; ++r) {
      const std::string& grpprl = runs[at + r].properties;
      std::string chunk;
      if (paragraphs) {
        const std::size_t size = grpprl.size() + 2;  // the style index first
        if (size % 2 == 1) {
          chunk += static_cast<char>((size + 1) / 2);
        } else {
          chunk += '\0';
          chunk += static_cast<char>(size / 2);
        }
        Put16(chunk, runs[at + r].style);
        chunk += grpprl;
      } else if (grpprl.empty()) {
        continue;  // offset 0: no properties
      } else {
        chunk += static_cast<char>(grpprl.size());
        chunk += grpprl;
      }
      data_end = (data_end - chunk.size()) & ~std::size_t{1};
      page.replace(data_end, chunk.size(), chunk);
      page[offset + (paragraphs ? 13 : 1) * r] = static_cast<char>(data_end / 2);
    }
    page[kPage - 1] = static_cast<char>(n);
    word.resize((word.size() + kPage - 1) / kPage * kPage, '\0');
    Put32(fcs, runs[at].from);
    Put32(pns, static_cast<std::uint32_t>(word.size() / kPage));
    word += page;
  }
  if (!runs.empty()) {
    Put32(fcs, runs.back().to);
    bin_table = fcs + pns;
  }
}

}  // namespace

std::vector<CompoundStream> WordStreams(const WordFile& file) {
  const std::u16string text = file.body + file.footnotes + file.headers + file.endnotes;
  const auto length = static_cast<std::uint32_t>(text.size());

  // The FIB: FibBase, 14 16-bit words, 22 longs, 93 (offset, length) pairs.
  std::string word;
  Put16(word, 0xA5EC);
  Put16(word, file.version);
  word += std::string(6, '\0');
  Put16(word, static_cast<std::uint32_t>(file.flags | (file.table1 ? 0x0200 : 0)));
  word.resize(32, '\0');
  Put16(word, 14);
  word += std::string(28, '\0');
  Put16(word, 22);
  const std::size_t longs = word.size();
  word += std::string(88, '\0');
  Set32(word, longs + 12, static_cast<std::uint32_t>(file.body.size()));
  Set32(word, longs + 16, static_cast<std::uint32_t>(file.footnotes.size()));
  Set32(word, longs + 20, static_cast<std::uint32_t>(file.headers.size()));
  Set32(word, longs + 32, static_cast<std::uint32_t>(file.endnotes.size()));
  Put16(word, 93);
  const std::size_t pairs = word.size();
  word += std::string(93 * 8, '\0');
  word.resize(1024, '\0');

  // Pieces, laid out last first.
  std::vector<std::uint32_t> starts = {0};
  for (std::uint32_t s : file.piece_starts) {
    if (s > starts.back() && s < length) starts.push_back(s);
  }
  starts.push_back(length);
  const std::size_t pieces = starts.size() - 1;
  std::vector<std::uint32_t> piece_fc(pieces);
  std::vector<bool> compressed(pieces);
  for (std::size_t i = pieces; i-- > 0;) {
    compressed[i] = file.compressed[i % file.compressed.size()];
    piece_fc[i] = static_cast<std::uint32_t>(word.size());
    for (std::uint32_t cp = starts[i]; cp < starts[i + 1]; ++cp) {
      if (compressed[i]) {
        word += Compressed(text[cp]);
      } else {
        Put16(word, text[cp]);
      }
    }
  }
  auto piece_of = [&](std::uint32_t cp) {
    return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), cp) -
                                    starts.begin() - 1);
  };
  auto fc_of = [&](std::uint32_t cp) {
    const std::size_t p = piece_of(cp);
    return piece_fc[p] + (cp - starts[p]) * (compressed[p] ? 1 : 2);
  };
  // Runs that cover the text without a gap: a paragraph run ends right after each mark, in
  // the order of the stream, as Word writes them.
  std::vector<FcRun> paragraph_runs;
  std::map<std::uint32_t, WordParagraph97> marked;
  for (const WordParagraph97& p : file.paragraphs) marked[p.mark] = p;
  for (std::uint32_t cp = 0; cp < length; ++cp) {
    if (text[cp] != u'\r' && text[cp] != u'\a') continue;
    std::string grpprl;
    const auto m = marked.find(cp);
    std::uint16_t style = 0;
    if (m != marked.end() && m->second.depth > 0) {
      grpprl += std::string("\x16\x24\x01", 3);  // in a table
      if (m->second.row_end) grpprl += std::string("\x17\x24\x01", 3);
      grpprl += std::string("\x49\x66", 2);
      Put32(grpprl, static_cast<std::uint32_t>(m->second.depth));
    }
    if (m != marked.end()) {
      style = m->second.style;
      if (m->second.outline >= 0) {
        grpprl += std::string("\x40\x26", 2);  // outline level
        grpprl += static_cast<char>(m->second.outline);
      }
    }
    const std::uint32_t end = fc_of(cp) + (compressed[piece_of(cp)] ? 1 : 2);
    paragraph_runs.push_back({end, end, grpprl, style});
  }
  std::vector<FcRun> character_runs;
  for (const auto& [from, to] : file.deleted) {
    for (std::uint32_t cp = from; cp < to;) {
      const std::size_t p = piece_of(cp);
      const std::uint32_t end = std::min(to, starts[p + 1]);
      character_runs.push_back(
          {fc_of(cp), fc_of(end - 1) + (compressed[p] ? 1 : 2), std::string("\x00\x08\x01", 3)});
      cp = end;
    }
  }
  auto by_fc = [](const FcRun& a, const FcRun& b) { return a.from < b.from; };
  std::sort(paragraph_runs.begin(), paragraph_runs.end(), by_fc);
  std::sort(character_runs.begin(), character_runs.end(), by_fc);
  const auto text_end = static_cast<std::uint32_t>(word.size());
  std::uint32_t from = 1024;
  for (FcRun& r : paragraph_runs) {
    r.from = std::exchange(from, r.to);
  }
  std::vector<FcRun> filled;
  from = 1024;
  for (const FcRun& r : character_runs) {
    if (r.from > from) filled.push_back({from, r.from, {}});
    filled.push_back(r);
    from = r.to;
  }
  if (!filled.empty() && from < text_end) filled.push_back({from, text_end, {}});

  std::string table;
  auto pair = [&](std::size_t index, const std::string& data) {
    if (data.empty()) return;
    Set32(word, pairs + 8 * index, static_cast<std::uint32_t>(table.size()));
    Set32(word, pairs + 8 * index + 4, static_cast<std::uint32_t>(data.size()));
    table += data;
  };
  std::string bin;
  Pages(paragraph_runs, true, word, bin);
  pair(13, bin);
  bin.clear();
  Pages(filled, false, word, bin);
  pair(12, bin);
  std::string hdd;
  for (std::uint32_t s : file.header_stories) Put32(hdd, s);
  pair(11, hdd);
  if (!file.styles.empty()) {
    // STSH: the STSHI (count, base size 10), then each STD by its size.
    std::string stsh;
    Put16(stsh, 18);
    Put16(stsh, static_cast<std::uint32_t>(file.styles.size()));
    Put16(stsh, 10);
    stsh += std::string(14, '\0');
    for (const WordStyle97& style : file.styles) {
      std::string std_bytes;
      Put16(std_bytes, style.built_in);
      Put16(std_bytes, 1u | (std::uint32_t{style.based_on} << 4));  // a paragraph style
      Put16(std_bytes, 2u);                                         // two UPXs
      Put16(std_bytes, 0);
      Put16(std_bytes, 0);
      Put16(std_bytes, static_cast<std::uint32_t>(style.name.size()));
      for (const char16_t c : style.name) Put16(std_bytes, c);
      Put16(std_bytes, 0);
      std::string upx = std::string(2, '\0');  // the style index
      if (style.outline >= 0) {
        upx += std::string("\x40\x26", 2);
        upx += static_cast<char>(style.outline);
      }
      Put16(std_bytes, static_cast<std::uint32_t>(upx.size()));
      std_bytes += upx;
      if (std_bytes.size() % 2 == 1) std_bytes += '\0';
      Put16(std_bytes, 0);  // the characters' UPX, empty
      Put16(stsh, static_cast<std::uint32_t>(std_bytes.size()));
      stsh += std_bytes;
    }
    pair(1, stsh);
  }
  std::string clx = "\x02";
  Put32(clx, static_cast<std::uint32_t>(4 * (pieces + 1) + 8 * pieces));
  for (std::uint32_t s : starts) Put32(clx, s);
  for (std::size_t i = 0; i < pieces; ++i) {
    Put16(clx, 0);
    Put32(clx, compressed[i] ? (piece_fc[i] * 2) | 0x40000000u : piece_fc[i]);
    Put16(clx, 0);
  }
  pair(33, clx);
  // Word's streams are never small enough for the mini stream; some readers need that.
  word.resize(std::max<std::size_t>(word.size(), 4096), '\0');
  Set32(word, longs, static_cast<std::uint32_t>(word.size()));
  return {{"WordDocument", word}, {file.table1 ? "1Table" : "0Table", table}};
}

Bytes BuildWord(const WordFile& file) { return BuildCompound(WordStreams(file)).AsBytes(); }

std::string BiffRecord(std::uint16_t type, const std::string& data) {
  std::string out;
  Put16(out, type);
  Put16(out, static_cast<std::uint32_t>(data.size()));
  return out + data;
}

namespace {

bool Fits8Bit(std::u16string_view s) {
  return std::all_of(s.begin(), s.end(), [](char16_t c) { return c < 0x100; });
}

std::string Characters(std::u16string_view s, bool wide) {
  std::string out;
  for (char16_t c : s) {
    if (wide) {
      Put16(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

std::string XlsString(const std::u16string& text) {
  std::string out;
  Put16(out, static_cast<std::uint32_t>(text.size()));
  const bool wide = !Fits8Bit(text);
  out += static_cast<char>(wide ? 1 : 0);
  return out + Characters(text, wide);
}

std::string XlsCell(std::uint16_t row, std::uint16_t column) {
  std::string out;
  Put16(out, row);
  Put16(out, column);
  Put16(out, 15);
  return out;
}

std::string SstRecords(const std::vector<std::u16string>& strings, std::size_t limit) {
  std::vector<std::string> records(1);
  Put32(records[0], static_cast<std::uint32_t>(strings.size()));
  Put32(records[0], static_cast<std::uint32_t>(strings.size()));
  for (const std::u16string& s : strings) {
    if (records.back().size() + 4 > limit) records.emplace_back();  // headers are not split
    std::string& first = records.back();
    Put16(first, static_cast<std::uint32_t>(s.size()));
    std::u16string_view rest = s;
    bool header = true;
    while (header || !rest.empty()) {
      std::string& r = records.back();
      if (!header) {
        if (r.size() + 1 >= limit) {
          records.emplace_back();
          continue;
        }
      }
      const std::size_t room = limit - r.size() - 1;
      // As many characters as fit, 8-bit when those fit in 8 bits.
      std::size_t n = std::min(rest.size(), room);
      bool wide = !Fits8Bit(rest.substr(0, n));
      if (wide) n = std::min(rest.size(), room / 2);
      wide = !Fits8Bit(rest.substr(0, n));
      r += static_cast<char>(wide ? 1 : 0);
      r += Characters(rest.substr(0, n), wide);
      rest.remove_prefix(n);
      header = false;
      if (!rest.empty()) records.emplace_back();
    }
  }
  std::string out = BiffRecord(0x00FC, records[0]);
  for (std::size_t i = 1; i < records.size(); ++i) out += BiffRecord(0x003C, records[i]);
  return out;
}

std::string WorkbookStream(const std::string& globals, const std::vector<XlsSheet>& sheets,
                           std::uint16_t version) {
  auto bof = [&](std::uint16_t type) {
    std::string data;
    Put16(data, version);
    Put16(data, type);
    data += std::string(12, '\0');
    return BiffRecord(0x0809, data);
  };
  const std::string eof = BiffRecord(0x000A, "");
  std::string head = bof(0x0005) + globals;
  std::vector<std::size_t> offset_at;
  for (const XlsSheet& sheet : sheets) {
    std::string data(4, '\0');
    data += '\0';
    data += static_cast<char>(sheet.type);
    const bool wide = !Fits8Bit(sheet.name);
    data += static_cast<char>(sheet.name.size());
    data += static_cast<char>(wide ? 1 : 0);
    data += Characters(sheet.name, wide);
    offset_at.push_back(head.size() + 4);
    head += BiffRecord(0x0085, data);
  }
  head += eof;
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    Set32(head, offset_at[i], static_cast<std::uint32_t>(head.size()));
    head += bof(sheets[i].type == 2 ? 0x0020 : 0x0010) + sheets[i].records + eof;
  }
  return head;
}

Bytes BuildXls(const std::string& globals, const std::vector<XlsSheet>& sheets) {
  return BuildCompound({{"Workbook", WorkbookStream(globals, sheets)}}).AsBytes();
}

}  // namespace kelvaro::test
