// Excel: the cells with text of every worksheet, sheets in workbook order, cells by row.
#include <algorithm>
#include <charconv>

#include "document/formats.h"
#include "document/package.h"
#include "document/reasons.h"
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

std::string CellName(int column, int row) {
  std::string letters;
  for (int c = column; c > 0; c = (c - 1) / 26) {
    letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
  }
  return letters + std::to_string(row);
}

bool Failed(const package::PartReader& reader, std::string& error) {
  error = reader.ErrorReason();
  return false;
}

// The shared string table: one entry per <si>, its runs joined, phonetic guides left out.
bool ReadSharedStrings(std::string_view xml, std::vector<std::string>& strings,
                       std::string& error) {
  package::PartReader reader(xml);
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
        strings.push_back(Unescape(current));
      }
    } else if (e == Event::kText && in_text && skip == 0) {
      current += reader.Reader().Text();
    }
  }
}

struct Cell {
  int row;
  int column;
  std::string text;
};

bool ReadSheet(std::string_view xml, const std::vector<std::string>& strings,
               std::vector<Cell>& cells, std::string& error) {
  package::PartReader reader(xml);
  int row = 0, column = 0;
  std::string type, value, inline_text;
  bool in_cell = false, in_value = false, in_inline = false, in_text = false;
  int skip = 0;
  for (;;) {
    const Event e = reader.Next();
    if (e == Event::kDone) return true;
    if (e == Event::kError) return Failed(reader, error);
    if (e == Event::kStart) {
      if (skip > 0 || (in_inline && reader.Is(Ns::kSheet, "rPh"))) {
        ++skip;
      } else if (reader.Is(Ns::kSheet, "row")) {
        const std::string* r = reader.Attribute(Ns::kOther, "r");
        const int number = r == nullptr ? -1 : IntValue(*r);
        row = number >= 1 && number <= kMaxRow ? number : row + 1;
        column = 0;
      } else if (reader.Is(Ns::kSheet, "c")) {
        const std::string* r = reader.Attribute(Ns::kOther, "r");
        int c = 0, rr = 0;
        if (r != nullptr && ParseCellReference(*r, c, rr)) {
          column = c;
          row = rr;
        } else {
          column = std::min(column + 1, kMaxColumn);
          row = std::max(row, 1);
        }
        const std::string* t = reader.Attribute(Ns::kOther, "t");
        type = t == nullptr ? "n" : *t;
        value.clear();
        inline_text.clear();
        in_cell = true;
      } else if (in_cell && reader.Is(Ns::kSheet, "v")) {
        in_value = true;
      } else if (in_cell && reader.Is(Ns::kSheet, "is")) {
        in_inline = true;
      } else if (in_inline && reader.Is(Ns::kSheet, "t")) {
        in_text = true;
      }
    } else if (e == Event::kEnd) {
      if (skip > 0) {
        --skip;
      } else if (reader.Is(Ns::kSheet, "v")) {
        in_value = false;
      } else if (reader.Is(Ns::kSheet, "t")) {
        in_text = false;
      } else if (reader.Is(Ns::kSheet, "is")) {
        in_inline = false;
      } else if (reader.Is(Ns::kSheet, "c") && in_cell) {
        in_cell = false;
        std::string text;
        if (type == "s") {
          // Numbers, booleans, errors and dates are no text; a number typed as text is a
          // shared or inline string like any other.
          const int index = IntValue(value);
          if (index >= 0 && static_cast<std::size_t>(index) < strings.size()) {
            text = strings[static_cast<std::size_t>(index)];
          }
        } else if (type == "inlineStr") {
          text = Unescape(inline_text);
        } else if (type == "str") {
          text = value;
        }
        if (!text.empty()) cells.push_back({row, column, std::move(text)});
      }
    } else if (e == Event::kText && skip == 0) {
      if (in_value) value += reader.Reader().Text();
      if (in_text) inline_text += reader.Reader().Text();
    }
  }
}

struct Sheet {
  std::string name;
  std::string id;
};

bool ReadWorkbook(std::string_view xml, std::vector<Sheet>& sheets, std::string& error) {
  package::PartReader reader(xml);
  bool first = true;
  for (;;) {
    const Event e = reader.Next();
    if (e == Event::kDone) return true;
    if (e == Event::kError) return Failed(reader, error);
    if (e != Event::kStart) continue;
    if (first) {
      first = false;
      if (!reader.Is(Ns::kSheet, "workbook")) {
        error = reason::kNotExcel;
        return false;
      }
    }
    if (!reader.Is(Ns::kSheet, "sheet")) continue;
    const std::string* name = reader.Attribute(Ns::kOther, "name");
    const std::string* id = reader.Attribute(Ns::kRelationships, "id");
    if (name != nullptr && id != nullptr) sheets.push_back({*name, *id});
  }
}

}  // namespace

bool ReadXlsx(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error) {
  ZipReader zip;
  if (!package::OpenPackage(bytes, zip, reason::kNotExcel, error)) return false;
  std::vector<package::Relationship> relationships;
  if (!package::ReadRelationships(zip, "", relationships, error)) return false;
  std::string main = package::MainPart(relationships, "xl/workbook.xml");
  if (zip.Find(main) == nullptr) main = "xl/workbook.xml";
  std::string xml;
  if (!package::ReadMember(zip, main, xml, error)) {
    if (error.empty()) error = reason::kNotExcel;
    return false;
  }
  std::vector<Sheet> sheets;
  if (!ReadWorkbook(xml, sheets, error)) return false;
  if (!package::ReadRelationships(zip, main, relationships, error)) return false;

  std::vector<std::string> strings;
  std::string strings_part = package::ResolveTarget(main, "sharedStrings.xml");
  for (const package::Relationship& r : relationships) {
    if (r.type == "sharedStrings") strings_part = r.target;
  }
  if (package::ReadMember(zip, strings_part, xml, error)) {
    if (!ReadSharedStrings(xml, strings, error)) return false;
  } else if (!error.empty()) {
    return false;
  }

  for (const Sheet& sheet : sheets) {
    const auto r = std::find_if(relationships.begin(), relationships.end(),
                                [&](const package::Relationship& x) { return x.id == sheet.id; });
    if (r == relationships.end() || r->type != "worksheet") continue;  // chart sheets and such
    if (!package::ReadMember(zip, r->target, xml, error)) {
      if (error.empty()) error = reason::kDamaged;
      return false;
    }
    std::vector<Cell> cells;
    if (!ReadSheet(xml, strings, cells, error)) return false;
    std::stable_sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) {
      return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    for (Cell& cell : cells) {
      TextPiece piece;
      piece.text = std::move(cell.text);
      piece.location.kind = Location::Kind::kSheetCell;
      piece.location.sheet = sheet.name;
      piece.location.cell = CellName(cell.column, cell.row);
      piece.location.row = cell.row;
      piece.location.column = cell.column;
      pieces.push_back(std::move(piece));
    }
  }
  return true;
}

}  // namespace kelvaro::formats
