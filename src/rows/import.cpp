#include "rows/import.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <unordered_map>

#include "citation/citation.h"
#include "document/readers/formats.h"
#include "document/readers/read_document.h"
#include "platform/files.h"
#include "rows/columns.h"
#include "text/encoding.h"

namespace kelvaro {

namespace {

std::string_view TrimAsciiSpaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A line ends at LF, with the CR of a CR LF dropped; a lone CR stays in its line.
std::vector<std::string> SplitLines(const std::string& utf8) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < utf8.size()) {
    const std::size_t end = utf8.find('\n', start);
    std::string line =
        utf8.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (end != std::string::npos && !line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

bool IsAscii(const std::string& s) {
  return std::all_of(s.begin(), s.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Column 1 is GBK for the lookup; what GBK cannot hold of the user's text stays beside it.
void SetNumber(ImportedRow& row, const std::string& utf8) {
  row.number = Utf8ToGbk(utf8);
  if (!IsAscii(utf8) && GbkToUtf8(row.number) != utf8) row.source.number_utf8 = utf8;
}

// A number that wrapped onto the next line is shown on one: the break goes, with the spaces
// around it, after a dash, slash or colon, and becomes one space elsewhere.
std::string OnOneLine(const std::string& written) {
  if (written.find('\n') == std::string::npos) return written;
  std::string out;
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (written[i] != '\n' && written[i] != '\r') {
      out += written[i];
      continue;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    while (i + 1 < written.size() &&
           (written[i + 1] == ' ' || written[i + 1] == '\r' || written[i + 1] == '\n')) {
      ++i;
    }
    const char before = out.empty() ? '-' : out.back();
    if (before != '-' && before != '/' && before != ':') out += ' ';
  }
  return out;
}

// What column 1 shows of a citation: as written when that reads back as this one citation,
// else its canonical number and edition (a code carried over from the citation before it,
// one serial of a range).
std::string ShownNumber(const Citation& citation, const std::string& written) {
  const std::vector<Citation> again = FindCitations(written);
  if (again.size() == 1 && again.front().number == citation.number) return written;
  return citation.edition.empty() ? citation.number
                                  : citation.number + "（" + citation.edition + "）";
}

ImportedRow ListRow(const std::string& utf8_line, const Location& location) {
  ImportedRow row;
  SetNumber(row, utf8_line);
  row.source.location = location;
  return row;
}

void AddListLine(const std::string& utf8_line, const Location& location,
                 std::vector<ImportedRow>& rows) {
  std::vector<Citation> citations = FindCitations(utf8_line);
  if (citations.size() <= 1) {
    ImportedRow row = ListRow(utf8_line, location);
    if (!citations.empty()) row.source.citation = std::move(citations.front());
    rows.push_back(std::move(row));
    return;
  }
  for (Citation& citation : citations) {
    ImportedRow row = ListRow(ShownNumber(citation, citation.written), location);
    row.source.citation = std::move(citation);
    rows.push_back(std::move(row));
  }
}

}  // namespace

TextList ImportLines(const Bytes& bytes) {
  TextList lines;
  for (const std::string& line : SplitLines(DecodeTextFile(bytes))) {
    lines.push_back(Utf8ToGbk(line));
  }
  return lines;
}

namespace {

std::vector<ImportedRow> ListRowsOfUtf8(const std::vector<std::string>& lines) {
  std::vector<ImportedRow> rows;
  rows.reserve(lines.size());
  Location location;
  location.kind = Location::Kind::kLine;
  for (const std::string& line : lines) {
    ++location.line;
    AddListLine(line, location, rows);
  }
  return rows;
}

// Appends the rows, ordinals from 1, then gives each its source.
int AppendRows(ResultTable& table, const std::vector<ImportedRow>& rows) {
  const std::size_t before = static_cast<std::size_t>(table.RowCount());
  int ordinal = 0;
  for (const ImportedRow& imported : rows) {
    const int row = table.AppendRow(std::to_string(++ordinal));
    table.SetCellText(row, ColumnIndex(Column::kNumber), imported.number);
  }
  const std::vector<RowId> ids = table.RowIds();
  for (std::size_t i = 0; i < rows.size() && before + i < ids.size(); ++i) {
    if (rows[i].source != RowSource{}) table.SetSourceById(ids[before + i], rows[i].source);
  }
  return ordinal;
}

}  // namespace

std::vector<ImportedRow> ListRows(const TextList& lines) {
  std::vector<std::string> utf8;
  utf8.reserve(lines.size());
  for (const Text& line : lines) utf8.push_back(GbkToUtf8(line));
  return ListRowsOfUtf8(utf8);
}

std::vector<ImportedRow> ListRows(const std::vector<TextPiece>& lines) {
  std::vector<ImportedRow> rows;
  rows.reserve(lines.size());
  for (const TextPiece& line : lines) AddListLine(line.text, line.location, rows);
  return rows;
}

bool AddCitationRows(const std::vector<TextPiece>& pieces, std::vector<ImportedRow>& rows) {
  for (const TextPiece& piece : pieces) {
    for (Citation& citation : FindCitations(piece.text)) {
      if (rows.size() == kMaxImportedRows) return false;
      ImportedRow row;
      SetNumber(row, ShownNumber(citation, OnOneLine(citation.number_as_written)));
      row.source.location = LocationAt(piece, citation.begin);
      row.source.citation = std::move(citation);
      row.source.from_document = true;
      rows.push_back(std::move(row));
    }
  }
  return true;
}

std::string SameStandardKey(const Citation& citation) {
  return citation.number + '\n' + citation.amendment + '\n' + citation.edition;
}

void GatherCitedAgain(std::vector<ImportedRow>& rows) {
  std::unordered_map<std::string, std::size_t> first_row;
  std::vector<ImportedRow> gathered;
  for (ImportedRow& row : rows) {
    if (!row.source.citation.has_value()) {
      gathered.push_back(std::move(row));
      continue;
    }
    const auto [at, added] =
        first_row.try_emplace(SameStandardKey(*row.source.citation), gathered.size());
    if (added) {
      gathered.push_back(std::move(row));
    } else {
      // A row already gathered (a document of a folder) brings its own places along.
      std::vector<CitedPlace>& places = gathered[at->second].source.cited_again;
      places.push_back({std::move(row.source.location), std::move(*row.source.citation)});
      std::move(row.source.cited_again.begin(), row.source.cited_again.end(),
                std::back_inserter(places));
    }
  }
  rows = std::move(gathered);
}

std::optional<std::vector<TextPiece>> ExportedNumberColumn(const std::vector<TextPiece>& cells) {
  if (cells.empty()) return std::nullopt;
  const Location::Kind kind = cells.front().location.kind;
  if (kind != Location::Kind::kSheetCell && kind != Location::Kind::kCsvCell) return std::nullopt;
  const std::string& sheet = cells.front().location.sheet;
  auto in_table = [&](const TextPiece& p) {
    return p.location.kind == kind && p.location.sheet == sheet;
  };
  // The headers the export gives these columns.
  const std::string_view ordinal = ShownColumns()[ColumnIndex(Column::kOrdinal)]->header;
  const std::string_view number = ShownColumns()[ColumnIndex(Column::kNumber)]->header;
  int number_column = 0;
  bool has_ordinal = false;
  for (const TextPiece& p : cells) {
    if (!in_table(p) || p.location.row != 1) continue;
    const std::string_view header = TrimAsciiSpaces(p.text);
    if (header == number && number_column == 0) number_column = p.location.column;
    if (header == ordinal) has_ordinal = true;
  }
  if (number_column == 0 || !has_ordinal) return std::nullopt;
  std::vector<TextPiece> column;
  for (const TextPiece& p : cells) {
    if (!in_table(p) || p.location.row <= 1 || p.location.column != number_column) continue;
    TextPiece piece = p;
    // The export guards a cell a spreadsheet would run as a formula with an apostrophe.
    if (piece.text.size() >= 2 && piece.text[0] == '\'' &&
        std::string_view("=+-@").find(piece.text[1]) != std::string_view::npos) {
      piece.text.erase(0, 1);
    }
    column.push_back(std::move(piece));
  }
  std::stable_sort(column.begin(), column.end(), [](const TextPiece& a, const TextPiece& b) {
    return a.location.row < b.location.row;
  });
  return column;
}

std::vector<ImportedRow> CitationRows(const std::vector<TextPiece>& pieces) {
  std::vector<ImportedRow> rows;
  AddCitationRows(pieces, rows);
  return rows;
}

bool RowsFromBytes(const Bytes& bytes, DocumentKind kind, std::vector<ImportedRow>& rows,
                   DocumentError& error, bool citations, std::vector<std::string>* notes) {
  rows.clear();
  if (notes != nullptr) notes->clear();
  error = DocumentError::kNone;
  if (!KindOfContent(bytes, kind, error)) return false;
  if (kind == DocumentKind::kText && !citations) {
    rows = ListRowsOfUtf8(SplitLines(DecodeTextFile(bytes)));
    return true;
  }
  std::vector<TextPiece> pieces;
  if (!ReadDocument(bytes, kind, pieces, error, {}, notes)) return false;
  // A list Kelvaro saved is checked again as it was, not cell by cell.
  if (const std::optional<std::vector<TextPiece>> column =
          kind == DocumentKind::kText ? std::nullopt : ExportedNumberColumn(pieces)) {
    rows = ListRows(*column);
  } else if (!AddCitationRows(pieces, rows)) {
    std::vector<ImportedRow>().swap(rows);
    if (notes != nullptr) notes->clear();
    return Fail(error, DocumentError::kContentTooLarge);
  } else {
    GatherCitedAgain(rows);
  }
  return true;
}

std::vector<ImportedRow> PastedRows(const std::string& utf8) {
  // Text whatever its bytes: a clipboard is no file whose kind they would tell.
  std::vector<TextPiece> lines;
  formats::Budget budget{DocumentLimits{}};
  DocumentError error = DocumentError::kNone;
  formats::ReadText(Bytes(utf8.begin(), utf8.end()), budget, lines, error);
  std::vector<ImportedRow> rows = CitationRows(lines);
  GatherCitedAgain(rows);
  return rows;
}

int FillTable(ResultTable& table, const std::vector<ImportedRow>& rows) {
  table.ClearRows();
  return AppendRows(table, rows);
}

int ImportNumbersFromBytes(ResultTable& table, const Bytes& bytes) {
  std::vector<ImportedRow> rows;
  DocumentError error = DocumentError::kNone;
  RowsFromBytes(bytes, DocumentKind::kText, rows, error);
  return AppendRows(table, rows);
}

std::string ImportErrorWords(const ImportError& error) {
  return error.file.empty() ? std::string(DocumentErrorWords(error.document)) : error.file;
}

bool ImportNumbersFromFile(ResultTable& table, const std::string& path, ImportError* error) {
  Bytes bytes;
  ImportError why;
  std::vector<ImportedRow> rows;
  // Read first: a file that cannot be read leaves the earlier rows as they were.
  if (!platform::ReadWholeFile(path, bytes, why.file) ||
      !RowsFromBytes(bytes, DocumentKindOf(path), rows, why.document)) {
    if (error != nullptr) *error = std::move(why);
    return false;
  }
  Bytes().swap(bytes);
  FillTable(table, rows);
  return true;
}

}  // namespace kelvaro
