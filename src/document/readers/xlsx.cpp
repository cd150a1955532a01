// Excel: the cells with text of every worksheet, sheets in workbook order, cells by row.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <set>
#include <unordered_map>

#include "document/cell_name.h"
#include "document/containers/package.h"
#include "document/errors.h"
#include "document/readers/formats.h"
#include "text/encoding.h"

namespace kelvaro::formats {

namespace {

using package::Ns;
using Event = XmlReader::Event;

constexpr int kMaxColumn = 16384;  // XFD
constexpr int kMaxRow = 1048576;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Spreadsheet strings spell characters XML cannot hold as "_xHHHH_" (a carriage return is
// "_x000D_"; a literal "_x" before four hex digits is itself escaped as "_x005F_").
std::string Unescape(const std::string& s) {
  if (s.find("_x") == std::string::npos) return s;
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '_' && i + 6 < s.size() && s[i + 1] == 'x' && s[i + 6] == '_') {
      int value = 0;
      bool hex = true;
      for (std::size_t k = i + 2; k < i + 6; ++k) {
        const int d = HexDigit(s[k]);
        hex = hex && d >= 0;
        value = value * 16 + d;
      }
      if (hex) {
        const auto c = static_cast<char32_t>(value);
        if (c != 0 && !(c >= 0xD800 && c <= 0xDFFF)) AppendUtf8(out, c);
        i += 6;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

int IntValue(std::string_view text) {
  int value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return -1;
  return value;
}

// "C5" -> column 3, row 5; false for anything else.
bool ParseCellReference(std::string_view ref, int& column, int& row) {
  std::size_t i = 0;
  column = 0;
  while (i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z'))) {
    column = column * 26 + ((ref[i] | 0x20) - 'a' + 1);
    if (column > kMaxColumn) return false;
    ++i;
  }
  if (i == 0 || i == ref.size() || ref[i] == '0') return false;
  row = IntValue(ref.substr(i));
  return row >= 1 && row <= kMaxRow;
}

bool Failed(const package::PartReader& reader, DocumentError& error) {
  error = reader.ErrorReason();
  return false;
}

bool TooLarge(DocumentError& error) {
  error = DocumentError::kContentTooLarge;
  return false;
}

// The shared string table end to end, as a large one holds fewer allocations so.
struct SharedStrings {
  std::string text;
  std::vector<std::size_t> ends;
  std::string_view At(std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : ends[i - 1];
    return std::string_view(text).substr(begin, ends[i] - begin);
  }
};

// The shared string table: one entry per <si>, its runs joined, phonetic guides left out.
bool ReadSharedStrings(package::PartReader& reader, Budget& budget, SharedStrings& strings,
                       DocumentError& error) {
  std::string current;
  bool in_item = false, in_text = false;
  int skip = 0;
  for (;;) {
    const Event e = reader.Next();
    if (e == Event::kDone) return true;
    if (e == Event::kError) return Failed(reader, error);
    if (e == Event::kStart) {
      if (skip > 0 || reader.Is(Ns::kSheet, "rPh")) {
        ++skip;
      } else if (reader.Is(Ns::kSheet, "si")) {
        in_item = true;
        current.clear();
      } else if (in_item && reader.Is(Ns::kSheet, "t")) {
        in_text = true;
      }
    } else if (e == Event::kEnd) {
      if (skip > 0) {
        --skip;
      } else if (reader.Is(Ns::kSheet, "t")) {
        in_text = false;
      } else if (reader.Is(Ns::kSheet, "si")) {
        in_item = false;
        if (!budget.Take(current.size())) return TooLarge(error);
        strings.text += Unescape(current);
        strings.ends.push_back(strings.text.size());
      }
    } else if (e == Event::kText && in_text && skip == 0) {
      if (!budget.Fits(current.size() + reader.Reader().Text().size())) return TooLarge(error);
      current += reader.Reader().Text();
    }
  }
}

// The pieces from `first` on in the order of their rows and columns, cells of the same
// place as they came. Sheets nearly always hold them so already; otherwise a small key for
// each is sorted, and the pieces are moved round to match, cycle by cycle.
void SortCells(std::vector<TextPiece>& pieces, std::size_t first) {
  const std::size_t n = pieces.size() - first;
  auto place = [&](std::size_t i) {
    const Location& at = pieces[first + i].location;
    return static_cast<std::int64_t>(at.row) * (kMaxColumn + 1) + at.column;
  };
  std::size_t i = 1;
  while (i < n && place(i - 1) <= place(i)) ++i;
  if (i >= n) return;
  std::vector<std::pair<std::int64_t, std::size_t>> from;  // place, then where it was
  from.reserve(n);
  for (std::size_t k = 0; k < n; ++k) from.emplace_back(place(k), k);
  std::sort(from.begin(), from.end());
  for (std::size_t start = 0; start < n; ++start) {
    if (from[start].second == start) continue;
    TextPiece held = std::move(pieces[first + start]);
    std::size_t at = start;
    while (from[at].second != start) {
      const std::size_t next = from[at].second;
      pieces[first + at] = std::move(pieces[first + next]);
      from[at].second = at;
      at = next;
    }
    pieces[first + at] = std::move(held);
    from[at].second = at;
  }
}

// A worksheet's walk: where each cell stands and what it holds, a cell with text made a piece
// when it ends.
class SheetReader {
 public:
  SheetReader(const SharedStrings& strings, const std::string& sheet, Budget& budget,
              std::vector<TextPiece>& pieces)
      : strings_(strings), sheet_(sheet), budget_(budget), pieces_(pieces) {}

  // The sheet's cells with text, appended to `pieces` in the order of their rows and columns.
  bool Read(package::PartReader& reader, DocumentError& error) {
    const std::size_t first = pieces_.size();
    for (;;) {
      const Event e = reader.Next();
      if (e == Event::kDone) break;
      if (e == Event::kError) return Failed(reader, error);
      if (e == Event::kStart) {
        Start(reader);
      } else if (e == Event::kEnd && !End(reader)) {
        return TooLarge(error);
      } else if (e == Event::kText && skip_ == 0 && (in_value_ || in_text_) &&
                 !Text(reader.Reader().Text())) {
        return TooLarge(error);
      }
    }
    SortCells(pieces_, first);
    return true;
  }

 private:
  void Start(const package::PartReader& reader) {
    if (skip_ > 0 || (in_inline_ && reader.Is(Ns::kSheet, "rPh"))) {
      ++skip_;
    } else if (reader.Is(Ns::kSheet, "row")) {
      const std::string* r = reader.Attribute(Ns::kOther, "r");
      const int number = r == nullptr ? -1 : IntValue(*r);
      row_ = number >= 1 && number <= kMaxRow ? number : row_ + 1;
      column_ = 0;
    } else if (reader.Is(Ns::kSheet, "c")) {
      StartCell(reader);
    } else if (in_cell_ && reader.Is(Ns::kSheet, "v")) {
      in_value_ = true;
    } else if (in_cell_ && reader.Is(Ns::kSheet, "is")) {
      in_inline_ = true;
    } else if (in_inline_ && reader.Is(Ns::kSheet, "t")) {
      in_text_ = true;
    }
  }

  void StartCell(const package::PartReader& reader) {
    const std::string* r = reader.Attribute(Ns::kOther, "r");
    int c = 0, rr = 0;
    if (r != nullptr && ParseCellReference(*r, c, rr)) {
      column_ = c;
      row_ = rr;
    } else {
      column_ = std::min(column_ + 1, kMaxColumn);
      row_ = std::max(row_, 1);
    }
    const std::string* t = reader.Attribute(Ns::kOther, "t");
    type_ = t == nullptr ? "n" : *t;
    value_.clear();
    inline_text_.clear();
    in_cell_ = true;
  }

  // False past the budget.
  bool End(const package::PartReader& reader) {
    if (skip_ > 0) {
      --skip_;
    } else if (reader.Is(Ns::kSheet, "v")) {
      in_value_ = false;
    } else if (reader.Is(Ns::kSheet, "t")) {
      in_text_ = false;
    } else if (reader.Is(Ns::kSheet, "is")) {
      in_inline_ = false;
    } else if (reader.Is(Ns::kSheet, "c") && in_cell_) {
      in_cell_ = false;
      return EndCell();
    }
    return true;
  }

  bool EndCell() {
    std::string text;
    if (type_ == "s") {
      // Numbers, booleans, errors and dates are no text; a number typed as text is a
      // shared or inline string like any other.
      const int index = IntValue(value_);
      if (index >= 0 && static_cast<std::size_t>(index) < strings_.ends.size()) {
        text = strings_.At(static_cast<std::size_t>(index));
      }
    } else if (type_ == "inlineStr") {
      text = Unescape(inline_text_);
    } else if (type_ == "str") {
      text = value_;
    }
    if (text.empty()) return true;
    TextPiece piece;
    piece.text = std::move(text);
    piece.location.kind = Location::Kind::kSheetCell;
    piece.location.sheet = sheet_;
    piece.location.cell =
        CellName(static_cast<std::uint32_t>(column_), static_cast<std::uint32_t>(row_));
    piece.location.row = row_;
    piece.location.column = column_;
    return budget_.Add(pieces_, std::move(piece));
  }

  bool Text(const std::string& more) {
    if (!budget_.Fits(value_.size() + inline_text_.size() + more.size())) return false;
    if (in_value_) value_ += more;
    if (in_text_) inline_text_ += more;
    return true;
  }

  const SharedStrings& strings_;
  const std::string& sheet_;
  Budget& budget_;
  std::vector<TextPiece>& pieces_;
  int row_ = 0, column_ = 0;
  std::string type_, value_, inline_text_;
  bool in_cell_ = false, in_value_ = false, in_inline_ = false, in_text_ = false;
  int skip_ = 0;
};

struct Sheet {
  std::string name;
  std::string id;
};

bool ReadWorkbook(package::PartReader& reader, Budget& budget, std::vector<Sheet>& sheets,
                  DocumentError& error) {
  bool first = true;
  std::set<std::string> names;
  for (;;) {
    const Event e = reader.Next();
    if (e == Event::kDone) return true;
    if (e == Event::kError) return Failed(reader, error);
    if (e != Event::kStart) continue;
    if (first) {
      first = false;
      if (!reader.Is(Ns::kSheet, "workbook")) {
        error = DocumentError::kNotExcel;
        return false;
      }
    }
    if (!reader.Is(Ns::kSheet, "sheet")) continue;
    const std::string* name = reader.Attribute(Ns::kOther, "name");
    const std::string* id = reader.Attribute(Ns::kRelationships, "id");
    if (name == nullptr || id == nullptr) continue;
    if (!budget.Take(name->size() + id->size())) return TooLarge(error);
    sheets.push_back({DistinctSheetName(*name, names), *id});
  }
}

}  // namespace

bool ReadXlsx(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
              DocumentError& error) {
  package::Package package(budget.Limits());
  if (!package.Open(bytes, DocumentError::kNotExcel, error)) return false;
  std::vector<package::Relationship> relationships;
  if (!package::ReadRelationships(package, "", relationships, error)) return false;
  std::string main = package::MainPart(relationships, "xl/workbook.xml");
  if (package.Find(main) == nullptr) main = "xl/workbook.xml";
  const ZipMember* workbook = package.Find(main);
  if (workbook == nullptr) {
    error = DocumentError::kNotExcel;
    return false;
  }
  package.FirstRead(*workbook);
  std::vector<Sheet> sheets;
  {
    package::PartReader reader(package, *workbook);
    if (!ReadWorkbook(reader, package.Held(), sheets, error)) return false;
  }
  if (!package::ReadRelationships(package, main, relationships, error)) return false;
  std::unordered_map<std::string_view, const package::Relationship*> by_id;
  for (const package::Relationship& r : relationships) by_id.emplace(r.id, &r);

  SharedStrings strings;
  std::string strings_part = package::ResolveTarget(main, "sharedStrings.xml");
  for (const package::Relationship& r : relationships) {
    if (r.Kind() == "sharedStrings") strings_part = r.part;
  }
  if (const ZipMember* member = package.Find(strings_part);
      member != nullptr && package.FirstRead(*member)) {
    package::PartReader reader(package, *member);
    if (!ReadSharedStrings(reader, package.Held(), strings, error)) return false;
  }

  for (const Sheet& sheet : sheets) {
    const auto r = by_id.find(sheet.id);
    if (r == by_id.end() || r->second->Kind() != "worksheet") continue;  // chart sheets and such
    const ZipMember* member = package.Find(r->second->part);
    if (member == nullptr) {
      error = DocumentError::kDamaged;
      return false;
    }
    if (!package.FirstRead(*member)) continue;  // one worksheet named by several sheets
    package::PartReader reader(package, *member);
    if (!SheetReader(strings, sheet.name, budget, pieces).Read(reader, error)) return false;
  }
  return true;
}

}  // namespace kelvaro::formats
