// Word 97-2003: the text of the WordDocument stream through the piece table, paragraphs and
// table cells told apart by the paragraph properties, deleted revisions by the character
// properties. Body first, then headers, footers, footnotes and endnotes, as for .docx;
// comments and text boxes are left out.
#include <algorithm>
#include <unordered_set>

#include "document/errors.h"
#include "document/readers/binary_office.h"
#include "text/encoding.h"
#include "text/utf16.h"

namespace kelvaro::binary {

namespace {

constexpr std::uint32_t kWordIdent = 0xA5EC;
constexpr std::uint32_t kWord97 = 0x00C1;
constexpr std::uint32_t kEncrypted = 0x0100;
constexpr std::uint32_t kTable1 = 0x0200;
constexpr std::size_t kPage = 512;

// FibRgFcLcb97 pairs.
constexpr std::size_t kStyleSheet = 1;
constexpr std::size_t kHeaderStories = 11;
constexpr std::size_t kCharacterRuns = 12;
constexpr std::size_t kParagraphRuns = 13;
constexpr std::size_t kPieceTable = 33;

// A compressed piece's byte is the character of that number, but most of 0x80-0x9F stand
// for the characters code page 1252 puts there.
char32_t FromCompressed(std::uint8_t b) {
  static constexpr char16_t k80[32] = {
      0x0080, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x008E, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178};
  return b >= 0x80 && b < 0xA0 ? k80[b - 0x80] : b;
}

struct Piece {
  std::uint32_t cp_start, cp_end;
  std::uint64_t fc;  // byte offset of its first character in WordDocument
  bool compressed;
};

// A stretch of file positions and what the formatting there says.
struct Run {
  std::uint32_t fc_start, fc_end;
  int depth = 0;  // table nesting of the paragraph that ends here
  bool row_end = false, inner_row_end = false, deleted = false;
  std::uint32_t style = 0;  // the paragraph's style index
  int outline = -1;         // its own outline level; -1 when it gives none
};

// Calls `each(opcode, operand)` for every property modifier of a grpprl.
template <typename Each>
void ForEachSprm(std::string_view grpprl, Each each) {
  std::size_t at = 0;
  while (at + 2 <= grpprl.size()) {
    const std::uint32_t sprm = U16(grpprl, at);
    at += 2;
    std::size_t size = 0;
    switch (sprm >> 13) {
      case 0:
      case 1:
        size = 1;
        break;
      case 2:
      case 4:
      case 5:
        size = 2;
        break;
      case 3:
        size = 4;
        break;
      case 7:
        size = 3;
        break;
      default:  // 6: the operand says its size
        if (sprm == 0xD608 || sprm == 0xD606) {
          size = 2 + std::max<std::uint32_t>(U16(grpprl, at), 1) - 1;
        } else if (sprm == 0xC615 && U8(grpprl, at) == 255) {
          return;  // tab changes of the old kind: nothing we need follows reliably
        } else {
          size = 1 + U8(grpprl, at);
        }
    }
    if (at + size > grpprl.size()) return;
    each(sprm, grpprl.substr(at, size));
    at += size;
  }
}

// The runs of every formatted disk page a bin table names, sorted by position.
template <typename Properties>
std::vector<Run> ReadPages(std::string_view word, std::string_view table, std::uint32_t fc,
                           std::uint32_t lcb, Properties properties) {
  std::vector<Run> runs;
  if (lcb < 4 || std::uint64_t{fc} + lcb > table.size()) return runs;
  const std::size_t count = (lcb - 4) / 8;
  // A page named again gives the same runs: each is read once, so the work is bounded by the
  // pages the stream holds, whatever the table's length.
  std::unordered_set<std::uint32_t> read;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t pn = U32(table, fc + 4 * (count + 1) + 4 * i) & 0x3FFFFF;
    const std::uint64_t page_at = std::uint64_t{pn} * kPage;
    if (page_at + kPage > word.size() || !read.insert(pn).second) continue;
    const std::string_view page = word.substr(page_at, kPage);
    const std::size_t crun = U8(page, kPage - 1);
    if (4 * (crun + 1) > kPage - 1) continue;
    for (std::size_t r = 0; r < crun; ++r) {
      Run run;
      run.fc_start = U32(page, 4 * r);
      run.fc_end = U32(page, 4 * (r + 1));
      if (run.fc_end <= run.fc_start) continue;
      properties(page, r, crun, run);
      runs.push_back(run);
    }
  }
  std::sort(runs.begin(), runs.end(),
            [](const Run& a, const Run& b) { return a.fc_start < b.fc_start; });
  return runs;
}

void ParagraphProperties(std::string_view page, std::size_t r, std::size_t crun, Run& run) {
  const std::size_t offset = 2 * U8(page, 4 * (crun + 1) + 13 * r);
  if (offset == 0) return;
  std::size_t size = U8(page, offset);
  std::size_t start = offset + 1;
  if (size == 0) {
    size = 2 * U8(page, start);
    ++start;
  } else {
    size = 2 * size - 1;
  }
  if (size < 2 || start + size > kPage) return;
  bool in_table = false;
  run.style = U16(page, start);
  ForEachSprm(page.substr(start + 2, size - 2), [&](std::uint32_t sprm, std::string_view op) {
    switch (sprm) {
      case 0x2640:  // outline level
        run.outline = static_cast<int>(U8(op, 0));
        break;
      case 0x2416:  // in a table
        in_table = U8(op, 0) != 0;
        break;
      case 0x2417:  // the end of a row
        run.row_end = U8(op, 0) != 0;
        break;
      case 0x244C:  // the end of a row of a nested table
        run.inner_row_end = U8(op, 0) != 0;
        break;
      case 0x6649:  // table depth
        run.depth = static_cast<int>(std::min<std::uint32_t>(U32(op, 0), 64));
        break;
    }
  });
  if (in_table && run.depth == 0) run.depth = 1;
  if (!in_table && run.depth == 0) run.row_end = false;
}

void CharacterProperties(std::string_view page, std::size_t r, std::size_t crun, Run& run) {
  const std::size_t offset = 2 * U8(page, 4 * (crun + 1) + r);
  if (offset == 0) return;
  const std::size_t size = U8(page, offset);
  if (offset + 1 + size > kPage) return;
  ForEachSprm(page.substr(offset + 1, size), [&](std::uint32_t sprm, std::string_view op) {
    if (sprm == 0x0800) run.deleted = U8(op, 0) == 1 || U8(op, 0) == 0x81;
  });
}

// The run holding `fc`, found from the one used last.
class RunFinder {
 public:
  explicit RunFinder(const std::vector<Run>& runs) : runs_(runs) {}
  const Run* Find(std::uint64_t fc) {
    if (last_ < runs_.size() && runs_[last_].fc_start <= fc && fc < runs_[last_].fc_end) {
      return &runs_[last_];
    }
    auto it = std::upper_bound(runs_.begin(), runs_.end(), fc,
                               [](std::uint64_t x, const Run& r) { return x < r.fc_start; });
    if (it == runs_.begin()) return nullptr;
    --it;
    if (fc >= it->fc_end) return nullptr;
    last_ = static_cast<std::size_t>(it - runs_.begin());
    return &*it;
  }

 private:
  const std::vector<Run>& runs_;
  std::size_t last_ = 0;
};

// Paragraphs of one story into pieces. The body numbers its paragraphs and the cells of its
// top-level tables; the other parts count every paragraph, cells too, within `part`.
class Story {
 public:
  // `headings`: which styles are headings, by style index (the body's; null elsewhere).
  Story(formats::Budget& budget, std::vector<TextPiece>& pieces, Location::Part part,
        int& paragraphs, const std::vector<bool>* headings = nullptr)
      : budget_(budget),
        pieces_(pieces),
        part_(part),
        paragraphs_(paragraphs),
        headings_(headings) {}

  // Whether the budget ran out: nothing more is taken then.
  bool TooLarge() const { return too_large_; }

  void Character(char32_t c, const Run* paragraph, bool ends_paragraph) {
    if (c == 0x13) {
      fields_.push_back(false);
      ++hidden_fields_;
      return;
    }
    if (c == 0x14) {
      if (!fields_.empty() && !fields_.back()) {
        fields_.back() = true;
        --hidden_fields_;
      }
      return;
    }
    if (c == 0x15) {
      if (!fields_.empty()) {
        if (!fields_.back()) --hidden_fields_;
        fields_.pop_back();
      }
      return;
    }
    if (ends_paragraph) {
      if (c != 0x0D && c != 0x07 && c != 0x0C) Text(c);
      EndParagraph(paragraph, c);
      return;
    }
    Text(c);
  }

 private:
  void Text(char32_t c) {
    if (hidden_fields_ > 0) return;
    switch (c) {
      case 0x09:
        Append(U'\t');
        return;
      case 0x0B:
      case 0x0C:
      case 0x0D:
      case 0x0E:
        Append(U'\n');
        return;
      case 0x1E:
        Append(U'-');
        return;
    }
    if (c < 0x20) return;  // anchors of pictures, notes, comments; optional hyphens
    Append(c);
  }

  void Append(char32_t c) {
    const bool line_break = pending_break_ && !text_.empty();
    const std::size_t bytes = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    if (!budget_.Fits(text_.size() + bytes + (line_break ? 1 : 0))) {
      too_large_ = true;
      return;
    }
    if (line_break) text_ += '\n';
    pending_break_ = false;
    AppendUtf8(text_, c);
  }

  void Emit(Location at) {
    if (!text_.empty() && !budget_.Add(pieces_, {std::move(text_), std::move(at)})) {
      too_large_ = true;
    }
    text_.clear();
    pending_break_ = false;
  }

  void EndParagraph(const Run* paragraph, char32_t mark) {
    const int depth = paragraph == nullptr ? 0 : paragraph->depth;
    if (part_ != Location::Part::kNone) {
      if (depth > 0 && (paragraph->row_end || paragraph->inner_row_end)) {
        text_.clear();  // a row's end mark is no paragraph of its own
        return;
      }
      Location at;
      at.kind = Location::Kind::kPart;
      at.part = part_;
      at.paragraph = ++paragraphs_;
      Emit(std::move(at));
      return;
    }
    if (depth == 0) {
      in_table_ = false;
      Location at;
      at.kind = Location::Kind::kParagraph;
      at.paragraph = ++paragraphs_;
      UnderHeading(at, paragraph);
      Emit(std::move(at));
      return;
    }
    if (!in_table_) {
      in_table_ = true;
      ++table_;
      ++tables_under_;
      row_ = 1;
      column_ = 1;
    }
    if (depth == 1 && paragraph->row_end) {
      text_.clear();
      pending_break_ = false;
      ++row_;
      column_ = 1;
    } else if (depth == 1 && mark == 0x07) {
      Location at;
      at.kind = Location::Kind::kTableCell;
      at.table = table_;
      at.row = row_;
      at.column = column_++;
      at.heading = heading_;
      at.under_heading = tables_under_;
      Emit(std::move(at));
    } else if (!(depth > 1 && paragraph->inner_row_end)) {
      pending_break_ = true;  // the cell's next paragraph, or a nested table's cell
    }
  }

  // A heading names the paragraphs and tables below it, counted from it, as in a .docx.
  void UnderHeading(Location& at, const Run* paragraph) {
    if (headings_ == nullptr) return;
    const bool heading = paragraph != nullptr && !text_.empty() &&
                         (paragraph->outline >= 0 ? paragraph->outline < 9
                                                  : paragraph->style < headings_->size() &&
                                                        (*headings_)[paragraph->style]);
    if (heading) {
      heading_ = formats::PlaceName(text_);
      paragraphs_under_ = tables_under_ = 0;
      at.heading = heading_;
    } else if (!heading_.empty()) {
      at.heading = heading_;
      at.under_heading = ++paragraphs_under_;
    }
  }

  formats::Budget& budget_;
  std::vector<TextPiece>& pieces_;
  Location::Part part_;  // kNone for the body
  int& paragraphs_;
  const std::vector<bool>* headings_;
  std::string heading_;
  int paragraphs_under_ = 0, tables_under_ = 0;
  bool too_large_ = false;
  std::string text_;
  bool pending_break_ = false;
  std::vector<bool> fields_;
  int hidden_fields_ = 0;
  bool in_table_ = false;
  int table_ = 0, row_ = 0, column_ = 0;
};

class Document {
 public:
  Document(std::string_view word, std::vector<Piece> pieces, std::vector<Run> paragraphs,
           std::vector<Run> characters)
      : word_(word),
        pieces_(std::move(pieces)),
        paragraphs_(std::move(paragraphs)),
        characters_(std::move(characters)) {}

  // Feeds the characters of [from, to) to `story`.
  void Walk(std::uint32_t from, std::uint32_t to, Story& story) {
    RunFinder paragraphs(paragraphs_), characters(characters_);
    auto piece = std::upper_bound(pieces_.begin(), pieces_.end(), from,
                                  [](std::uint32_t cp, const Piece& p) { return cp < p.cp_end; });
    for (; piece != pieces_.end() && piece->cp_start < to; ++piece) {
      const std::uint32_t first = std::max(from, piece->cp_start);
      const std::uint32_t last = std::min(to, piece->cp_end);
      const std::uint64_t width = piece->compressed ? 1 : 2;
      for (std::uint32_t cp = first; cp < last && !story.TooLarge(); ++cp) {
        const std::uint64_t fc = piece->fc + (cp - piece->cp_start) * width;
        char32_t c = piece->compressed ? FromCompressed(static_cast<std::uint8_t>(word_[fc]))
                                       : U16(word_, fc);
        const Run* character = characters.Find(fc);
        if (character != nullptr && character->deleted) continue;
        if (IsHighSurrogate(c) && cp + 1 < last) {
          const char32_t low = U16(word_, fc + 2);
          if (IsLowSurrogate(low)) {
            story.Character(JoinSurrogates(c, low), nullptr, false);
            ++cp;
            continue;
          }
        }
        if (IsSurrogate(c)) c = kReplacementCharacter;
        const Run* paragraph = paragraphs.Find(fc);
        const bool ends =
            paragraph != nullptr ? fc + width == paragraph->fc_end : c == 0x0D || c == 0x07;
        story.Character(c, paragraph, ends);
      }
    }
  }

 private:
  std::string_view word_;
  std::vector<Piece> pieces_;
  std::vector<Run> paragraphs_;
  std::vector<Run> characters_;
};

bool ReadPieceTable(std::string_view word, std::string_view table, std::uint32_t fc,
                    std::uint32_t lcb, std::vector<Piece>& pieces, DocumentError& error) {
  if (std::uint64_t{fc} + lcb > table.size()) return Fail(error, DocumentError::kDamaged);
  const std::string_view clx = table.substr(fc, lcb);
  std::size_t at = 0;
  while (at < clx.size() && clx[at] == 0x01) at += 3 + U16(clx, at + 1);  // property lists
  if (at >= clx.size() || clx[at] != 0x02) return Fail(error, DocumentError::kDamaged);
  const std::uint32_t size = U32(clx, at + 1);
  at += 5;
  if (size < 4 || at + size > clx.size()) return Fail(error, DocumentError::kDamaged);
  const std::size_t count = (size - 4) / 12;
  const std::size_t descriptors = at + 4 * (count + 1);
  std::uint64_t characters = 0;
  for (std::size_t i = 0; i < count; ++i) {
    Piece p;
    p.cp_start = U32(clx, at + 4 * i);
    p.cp_end = U32(clx, at + 4 * (i + 1));
    const std::uint32_t raw = U32(clx, descriptors + 8 * i + 2);
    p.compressed = (raw & 0x40000000) != 0;
    p.fc = p.compressed ? (raw & 0x3FFFFFFF) / 2 : raw & 0x3FFFFFFF;
    if (p.cp_end < p.cp_start || (!pieces.empty() && p.cp_start < pieces.back().cp_end)) {
      return Fail(error, DocumentError::kDamaged);
    }
    const std::uint64_t length = std::uint64_t{p.cp_end - p.cp_start} * (p.compressed ? 1 : 2);
    characters += length;
    // Pieces never share text, so together they hold no more than the stream.
    if (p.fc + length > word.size() || characters > word.size()) {
      return Fail(error, DocumentError::kDamaged);
    }
    if (p.cp_end > p.cp_start) pieces.push_back(p);
  }
  return true;
}

}  // namespace

namespace {

// What the File Information Block says: its flags, and past its 16-bit words the counts
// (32-bit) and the (offset, length) pairs of the tables in the table stream.
class Fib {
 public:
  bool Read(std::string_view word, DocumentError& error, DocumentError not_word) {
    word_ = word;
    if (word.size() < 0x22 || U16(word, 0) != kWordIdent) return Fail(error, not_word);
    if (U16(word, 2) < kWord97) return Fail(error, DocumentError::kWord95);
    flags_ = U16(word, 0x0A);
    if ((flags_ & kEncrypted) != 0) return Fail(error, DocumentError::kEncrypted);
    longs_ = 0x22 + 2 * std::uint64_t{U16(word, 0x20)} + 2;
    const std::uint64_t long_count = U16(word, longs_ - 2);
    pairs_ = longs_ + 4 * long_count + 2;
    const std::uint64_t pair_count = U16(word, pairs_ - 2);
    if (long_count < 11 || pair_count <= kPieceTable || pairs_ + 8 * pair_count > word.size()) {
      return Fail(error, DocumentError::kDamaged);
    }
    return true;
  }
  // The table stream's name: "1Table" or "0Table".
  const char* TableStream() const { return (flags_ & kTable1) != 0 ? "1Table" : "0Table"; }
  std::uint32_t Count(std::size_t i) const { return U32(word_, longs_ + 4 * i); }
  std::uint32_t Offset(std::size_t i) const { return U32(word_, pairs_ + 8 * i); }
  std::uint32_t Length(std::size_t i) const { return U32(word_, pairs_ + 8 * i + 4); }

 private:
  std::string_view word_;
  std::uint32_t flags_ = 0;
  std::uint64_t longs_ = 0;
  std::uint64_t pairs_ = 0;
};

// The header stories' starts (plcfHdd): six separators and notices, then six per section
// (even and odd header, even and odd footer, first-page header and footer). Stories follow
// one another; a table that goes back would have the same text read again and again, so it
// is not followed.
std::vector<std::uint32_t> HeaderStories(std::string_view table, const Fib& fib) {
  std::vector<std::uint32_t> stories;
  const std::uint32_t at = fib.Offset(kHeaderStories), size = fib.Length(kHeaderStories);
  if (std::uint64_t{at} + size <= table.size()) {
    for (std::size_t i = 0; i + 4 <= size; i += 4) stories.push_back(U32(table, at + i));
  }
  if (!std::is_sorted(stories.begin(), stories.end())) stories.clear();
  return stories;
}

// The headers' stories, then the footers', each kind counted on its own; `walk` reads a
// story (from, length, part, paragraphs).
template <typename Walk>
void WalkHeaders(const std::vector<std::uint32_t>& stories, std::uint64_t headers_at,
                 std::uint64_t headers, Walk& walk) {
  int header_paragraphs = 0, footer_paragraphs = 0;
  for (const bool footer : {false, true}) {
    for (std::size_t i = 6; i + 1 < stories.size(); ++i) {
      const std::size_t kind = (i - 6) % 6;
      if ((kind == 2 || kind == 3 || kind == 5) != footer) continue;
      const std::uint64_t from = std::min<std::uint64_t>(stories[i], headers);
      const std::uint64_t to = std::min<std::uint64_t>(stories[i + 1], headers);
      if (to > from) {
        walk(headers_at + from, to - from,
             footer ? Location::Part::kFooter : Location::Part::kHeader,
             footer ? footer_paragraphs : header_paragraphs);
      }
    }
  }
}

// Which paragraph styles are headings, by style index: an outline level of 0 to 8 in the
// style's paragraph properties (9 is body text), else Word's own 标题 1 to 9, else what the
// style it is based on says.
std::vector<bool> HeadingStyles(std::string_view table, const Fib& fib) {
  const std::uint64_t at = fib.Offset(kStyleSheet), size = fib.Length(kStyleSheet);
  if (at + size > table.size()) return {};
  const std::string_view sheet = table.substr(at, size);
  const std::size_t info = U16(sheet, 0);
  const std::size_t count = U16(sheet, 2), base = U16(sheet, 4);
  struct Style {
    int says = -1;  // 1 a heading, 0 not, -1 as its base
    std::uint32_t based_on = 0xFFF;
  };
  std::vector<Style> styles;
  styles.reserve(count);
  std::size_t pos = 2 + info;
  for (std::size_t i = 0; i < count && pos + 2 <= sheet.size(); ++i) {
    const std::size_t length = U16(sheet, pos);
    pos += 2;
    if (pos + length > sheet.size()) break;
    const std::string_view style_bytes = sheet.substr(pos, length);
    pos += length;
    Style style;
    constexpr std::uint32_t kParagraphStyle = 1;
    if (length >= 10 && (U16(style_bytes, 2) & 0xF) == kParagraphStyle) {
      const std::uint32_t built_in = U16(style_bytes, 0) & 0xFFF;
      if (built_in >= 1 && built_in <= 9) style.says = 1;
      style.based_on = U16(style_bytes, 2) >> 4;
      // Past the name, the paragraph's properties: their size, the style index, the sprms.
      const std::size_t upx = base + 2 + 2 * std::size_t{U16(style_bytes, base)} + 2;
      const std::size_t upx_size = U16(style_bytes, upx);
      if (upx_size >= 2 && upx + 2 + upx_size <= length) {
        ForEachSprm(style_bytes.substr(upx + 4, upx_size - 2),
                    [&](std::uint32_t sprm, std::string_view op) {
                      if (sprm == 0x2640) style.says = U8(op, 0) < 9 ? 1 : 0;
                    });
      }
    }
    styles.push_back(style);
  }
  std::vector<bool> headings(styles.size(), false);
  for (std::size_t i = 0; i < styles.size(); ++i) {
    std::size_t at_style = i;
    // Up the bases; a loop, or one too long, says no.
    for (int depth = 0; depth < 16 && at_style < styles.size(); ++depth) {
      if (styles[at_style].says >= 0) {
        headings[i] = styles[at_style].says == 1;
        break;
      }
      at_style = styles[at_style].based_on;
    }
  }
  return headings;
}

}  // namespace

bool ReadWordStreams(const CompoundFile& file, formats::Budget& budget,
                     std::vector<TextPiece>& pieces, DocumentError& error, DocumentError not_word) {
  const CompoundEntry* word_entry = file.Find("WordDocument");
  if (word_entry == nullptr) return Fail(error, not_word);
  std::string word;
  if (!file.Read(*word_entry, word, error)) return false;
  Fib fib;
  if (!fib.Read(word, error, not_word)) return false;
  const CompoundEntry* table_entry = file.Find(fib.TableStream());
  if (table_entry == nullptr) return Fail(error, DocumentError::kDamaged);
  std::string table;
  if (!file.Read(*table_entry, table, error)) return false;

  std::vector<Piece> piece_table;
  if (!ReadPieceTable(word, table, fib.Offset(kPieceTable), fib.Length(kPieceTable), piece_table,
                      error)) {
    return false;
  }
  Document document(word, std::move(piece_table),
                    ReadPages(word, table, fib.Offset(kParagraphRuns), fib.Length(kParagraphRuns),
                              ParagraphProperties),
                    ReadPages(word, table, fib.Offset(kCharacterRuns), fib.Length(kCharacterRuns),
                              CharacterProperties));

  // Stories follow one another in character positions: body, footnotes, headers, macros,
  // comments, endnotes.
  const std::uint64_t text = fib.Count(3), footnotes = fib.Count(4), headers = fib.Count(5);
  const std::uint64_t footnotes_at = text, headers_at = footnotes_at + footnotes;
  const std::uint64_t endnotes_at = headers_at + headers + fib.Count(6) + fib.Count(7);
  const std::uint64_t endnotes = fib.Count(8);
  if (endnotes_at + endnotes > 0xFFFFFFFFu) return Fail(error, DocumentError::kDamaged);
  bool too_large = false;
  const std::vector<bool> headings = HeadingStyles(table, fib);
  auto walk = [&](std::uint64_t from, std::uint64_t length, Location::Part part, int& paragraphs) {
    if (too_large) return;
    Story story(budget, pieces, part, paragraphs,
                part == Location::Part::kNone ? &headings : nullptr);
    document.Walk(static_cast<std::uint32_t>(from), static_cast<std::uint32_t>(from + length),
                  story);
    too_large = story.TooLarge();
  };
  int body = 0;
  walk(0, text, Location::Part::kNone, body);
  WalkHeaders(HeaderStories(table, fib), headers_at, headers, walk);
  int footnote_paragraphs = 0, endnote_paragraphs = 0;
  walk(footnotes_at, footnotes, Location::Part::kFootnote, footnote_paragraphs);
  walk(endnotes_at, endnotes, Location::Part::kEndnote, endnote_paragraphs);
  return too_large ? Fail(error, DocumentError::kContentTooLarge) : true;
}

}  // namespace kelvaro::binary
