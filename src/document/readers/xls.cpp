// Excel 97-2003 (BIFF8): the cells with text of every worksheet, sheets in workbook order,
// cells by row. Text is what the shared strings, LABEL and RSTRING records and formulas'
// string results hold; numbers, dates and booleans are no text and are left out.
#include <algorithm>
#include <set>

#include "document/cell_name.h"
#include "document/errors.h"
#include "document/readers/binary_office.h"
#include "text/encoding.h"
#include "text/utf16.h"

namespace kelvaro::binary {

namespace {

constexpr std::uint32_t kFormula = 0x0006;
constexpr std::uint32_t kEof = 0x000A;
constexpr std::uint32_t kFilePass = 0x002F;
constexpr std::uint32_t kContinue = 0x003C;
constexpr std::uint32_t kBoundSheet = 0x0085;
constexpr std::uint32_t kRString = 0x00D6;
constexpr std::uint32_t kSst = 0x00FC;
constexpr std::uint32_t kLabelSst = 0x00FD;
constexpr std::uint32_t kLabel = 0x0204;
constexpr std::uint32_t kString = 0x0207;
constexpr std::uint32_t kBof = 0x0809;
constexpr std::uint32_t kSharedFormula = 0x04BC;
constexpr std::uint32_t kArray = 0x0221;
constexpr std::uint32_t kTable = 0x0236;
constexpr std::uint32_t kBiff8 = 0x0600;

struct Record {
  std::uint32_t type = 0;
  std::string_view data;
  std::size_t next = 0;  // where the record after it starts
};

// The record at `at`; false past the end or when it runs out of the stream.
bool RecordAt(std::string_view stream, std::size_t at, Record& r) {
  if (at + 4 > stream.size()) return false;
  const std::size_t size = U16(stream, at + 2);
  if (at + 4 + size > stream.size()) return false;
  r.type = U16(stream, at);
  r.data = stream.substr(at + 4, size);
  r.next = at + 4 + size;
  return true;
}

// A record's data with that of the CONTINUE records after it, and where each of those
// began: a string's characters that reach one start again with a byte of flags.
class Continued {
 public:
  // Joins the record at `record` with its continuations; `next` is left after them.
  Continued(std::string_view stream, const Record& record, std::size_t& next) {
    data_ = record.data;
    next = record.next;
    Record r;
    while (RecordAt(stream, next, r) && r.type == kContinue) {
      starts_.push_back(data_.size());
      data_ += r.data;
      next = r.next;
    }
  }

  std::size_t Position() const { return at_; }
  void Seek(std::size_t at) { at_ = at; }
  bool Left(std::size_t n) const { return at_ + n <= data_.size(); }
  std::uint32_t Take8() { return U8(data_, at_++); }
  std::uint32_t Take16() {
    const std::uint32_t v = U16(data_, at_);
    at_ += 2;
    return v;
  }
  std::uint32_t Take32() {
    const std::uint32_t v = U32(data_, at_);
    at_ += 4;
    return v;
  }

  // An XLUnicodeRichExtendedString (or a plain XLUnicodeString when `rich` is false): the
  // characters as UTF-8, runs and phonetic data skipped. False, and nothing, when it runs
  // out.
  bool String(std::string& out, bool rich) {
    out.clear();
    if (!Left(3)) return false;
    std::size_t count = Take16();
    std::uint32_t flags = Take8();
    std::uint32_t runs = 0, extended = 0;
    if (rich && (flags & 0x08) != 0) runs = Take16();
    if (rich && (flags & 0x04) != 0) extended = Take32();
    char16_t high = 0;
    while (count > 0) {
      const std::size_t width = (flags & 0x01) != 0 ? 2 : 1;
      const auto boundary = std::upper_bound(starts_.begin(), starts_.end(), at_);
      const std::size_t end = boundary == starts_.end() ? data_.size() : *boundary;
      std::size_t here = std::min(count, (end - std::min(end, at_)) / width);
      for (; here > 0; --here, --count) {
        char32_t c = width == 2 ? U16(data_, at_) : U8(data_, at_);
        at_ += width;
        if (high != 0) {
          if (IsLowSurrogate(c)) {
            AppendUtf8(out, JoinSurrogates(high, c));
            high = 0;
            continue;
          }
          AppendUtf8(out, kReplacementCharacter);
          high = 0;
        }
        if (IsHighSurrogate(c)) {
          high = static_cast<char16_t>(c);
        } else {
          AppendUtf8(out, IsLowSurrogate(c) ? kReplacementCharacter : c);
        }
      }
      if (count == 0) break;
      if (boundary == starts_.end()) {
        out.clear();  // cut short: no part of a string is taken for the whole
        return false;
      }
      at_ = *boundary;  // characters go on in the next CONTINUE, after their own flags
      flags = Take8();
    }
    if (high != 0) AppendUtf8(out, kReplacementCharacter);
    at_ += 4 * std::size_t{runs} + extended;
    return true;
  }

 private:
  std::string data_;
  std::vector<std::size_t> starts_;
  std::size_t at_ = 0;
};

struct Sheet {
  std::string name;
  std::uint32_t offset;
};

struct Cell {
  std::uint32_t row, column;
  std::string text;
};

// A cell record's row and column (0-based) and, after them, the XF index.
void Place(std::string_view data, Cell& cell) {
  cell.row = U16(data, 0);
  cell.column = U16(data, 2);
}

// The sheet's substream ends at its EOF or where the next sheet's begins, so that no part of
// the stream is read twice.
// A formula whose result is a string: its cell waits for the STRING record after it.
struct PendingFormula {
  bool string_result = false;
  Cell cell{};
};

// The cell a record of the sheet's own substream gives text to; empty text for none.
Cell CellOfRecord(std::string_view stream, const Record& r, std::size_t& next,
                  const std::vector<std::string>& strings, PendingFormula& formula) {
  // A STRING record holds the result of the FORMULA just before it (shared and array
  // formulas may stand between them), never of a cell further back.
  const bool after_formula = formula.string_result;
  if (r.type != kString && r.type != kSharedFormula && r.type != kArray && r.type != kTable) {
    formula.string_result = false;
  }
  Cell cell{};
  Place(r.data, cell);
  if (r.type == kLabelSst && r.data.size() >= 10) {
    const std::uint32_t index = U32(r.data, 6);
    if (index < strings.size()) cell.text = strings[index];
  } else if (r.type == kLabel || r.type == kRString) {
    Continued c(stream, r, next);
    c.Seek(6);
    c.String(cell.text, false);
  } else if (r.type == kFormula && r.data.size() >= 14) {
    // A string result is 0 in the value's first byte and 0xFFFF in its last two; the
    // string itself is the STRING record that follows.
    formula.string_result = U8(r.data, 6) == 0 && U16(r.data, 12) == 0xFFFF;
    formula.cell = cell;
  } else if (r.type == kString && after_formula) {
    Continued c(stream, r, next);
    cell = formula.cell;
    c.String(cell.text, false);
    formula.string_result = false;
  }
  return cell;
}

bool AddCell(Cell& cell, const Sheet& sheet, formats::Budget& budget,
             std::vector<TextPiece>& pieces) {
  TextPiece piece;
  piece.text = std::move(cell.text);
  piece.location.kind = Location::Kind::kSheetCell;
  piece.location.sheet = sheet.name;
  piece.location.row = static_cast<int>(cell.row) + 1;
  piece.location.column = static_cast<int>(cell.column) + 1;
  piece.location.cell = CellName(cell.column + 1, cell.row + 1);
  return budget.Add(pieces, std::move(piece));
}

bool ReadSheet(std::string_view stream, const Sheet& sheet, std::size_t limit,
               const std::vector<std::string>& strings, formats::Budget& budget,
               std::vector<TextPiece>& pieces, DocumentError& error) {
  Record r;
  if (!RecordAt(stream, sheet.offset, r) || r.type != kBof)
    return Fail(error, DocumentError::kDamaged);
  const std::size_t first = pieces.size();
  int depth = 1;
  PendingFormula formula;
  for (std::size_t at = r.next; depth > 0 && at < limit;) {
    if (!RecordAt(stream, at, r)) break;  // a sheet cut short keeps the cells it has
    std::size_t next = r.next;
    if (r.type == kBof) {
      ++depth;  // a chart's substream inside the sheet
    } else if (r.type == kEof) {
      --depth;
    } else if (depth == 1) {
      Cell cell = CellOfRecord(stream, r, next, strings, formula);
      if (!cell.text.empty() && !AddCell(cell, sheet, budget, pieces)) {
        return Fail(error, DocumentError::kContentTooLarge);
      }
    }
    at = next;
  }
  std::stable_sort(pieces.begin() + static_cast<std::ptrdiff_t>(first), pieces.end(),
                   [](const TextPiece& a, const TextPiece& b) {
                     return a.location.row != b.location.row
                                ? a.location.row < b.location.row
                                : a.location.column < b.location.column;
                   });
  return true;
}

}  // namespace

bool ReadExcelStreams(const CompoundFile& file, formats::Budget& budget,
                      std::vector<TextPiece>& pieces, DocumentError& error) {
  const CompoundEntry* entry = file.Find("Workbook");
  if (entry == nullptr) entry = file.Find("Book");
  if (entry == nullptr) return Fail(error, DocumentError::kNotWordOrExcel);
  std::string stream;
  if (!file.Read(*entry, stream, error)) return false;

  Record r;
  if (!RecordAt(stream, 0, r) || (r.type & 0xFF) != 0x09)
    return Fail(error, DocumentError::kDamaged);
  if (r.type != kBof || U16(r.data, 0) != kBiff8) return Fail(error, DocumentError::kExcel95);

  std::vector<Sheet> sheets;
  std::set<std::string> names;
  std::vector<std::string> strings;
  for (std::size_t at = r.next; RecordAt(stream, at, r) && r.type != kEof;) {
    std::size_t next = r.next;
    if (r.type == kFilePass) return Fail(error, DocumentError::kEncrypted);
    if (r.type == kBoundSheet && r.data.size() >= 8) {
      // Worksheets only: charts, macro and module sheets hold no cells.
      if (U8(r.data, 5) == 0) {
        // ShortXLUnicodeString: a one-byte length, then flags and characters.
        const std::uint32_t count = U8(r.data, 6);
        const std::size_t width = (U8(r.data, 7) & 1) != 0 ? 2 : 1;
        std::string name;
        for (std::size_t i = 0, at_char = 8; i < count && at_char + width <= r.data.size();
             ++i, at_char += width) {
          const char32_t c = width == 2 ? U16(r.data, at_char) : U8(r.data, at_char);
          AppendUtf8(name, c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
        }
        if (!budget.Take(name.size())) return Fail(error, DocumentError::kContentTooLarge);
        sheets.push_back({DistinctSheetName(name, names), U32(r.data, 0)});
      }
    } else if (r.type == kSst && r.data.size() >= 8) {
      Continued c(stream, r, next);
      const std::uint32_t unique = U32(r.data, 4);
      c.Seek(8);
      std::string s;
      for (std::uint32_t i = 0; i < unique && c.String(s, true); ++i) {
        if (!budget.Take(s.size())) return Fail(error, DocumentError::kContentTooLarge);
        strings.push_back(s);
      }
    }
    at = next;
  }
  std::vector<std::size_t> starts;
  for (const Sheet& sheet : sheets) starts.push_back(sheet.offset);
  std::sort(starts.begin(), starts.end());
  std::set<std::size_t> read;
  for (const Sheet& sheet : sheets) {
    if (!read.insert(sheet.offset).second) continue;
    const auto next = std::upper_bound(starts.begin(), starts.end(), sheet.offset);
    const std::size_t limit = next == starts.end() ? stream.size() : *next;
    if (!ReadSheet(stream, sheet, limit, strings, budget, pieces, error)) return false;
  }
  return true;
}

}  // namespace kelvaro::binary
