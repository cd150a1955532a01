#include "rows/export.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <unordered_set>

#include "citation/citation.h"
#include "document/location.h"
#include "document/writers/xlsx_writer.h"
#include "rows/columns.h"
#include "text/encoding.h"

namespace kelvaro {

std::string CsvField(const std::string& utf8) {
  const bool formula = !utf8.empty() && std::string_view("=+-@").find(utf8[0]) != std::string::npos;
  const std::string cell = formula ? "'" + utf8 : utf8;
  if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
  std::string out = "\"";
  for (const char c : cell) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

namespace {

// C0 controls, DEL and the C1 controls: a terminal may take any of them as a command.
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

std::string TsvCell(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = DecodeUtf8(utf8, i);
    switch (c) {
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\\':
        out += "\\\\";
        break;
      default:
        if (IsControl(c)) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(c));
          out += escaped;
        } else {
          AppendUtf8(out, c);
        }
    }
  }
  return out;
}

namespace {

// Spaces, punctuation and width do not make two titles differ.
std::string TitleKey(const std::string& utf8) {
  std::string key;
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t c = DecodeUtf8(utf8, i);
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFEE0;  // full-width forms
    const bool ascii_mark =
        c < 0x80 && !(c >= '0' && c <= '9') && !(c >= 'A' && c <= 'Z') && !(c >= 'a' && c <= 'z');
    const bool wide_mark = (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x303F) ||
                           (c >= 0xFE30 && c <= 0xFE6F) || c == 0xA0 || c == 0xB7 || c == 0xFFFD;
    if (ascii_mark || wide_mark) continue;
    AppendUtf8(key, c);
  }
  return key;
}

}  // namespace

std::string WithoutEdition(const std::string& title) {
  const EditionNote note = FindEdition(title);
  if (note.edition.empty()) return title;
  return title.substr(0, note.begin) + title.substr(note.end);
}

std::vector<std::string> SourcePlaces(const RowStore::Row& row) {
  std::vector<std::string> places;
  std::string first = LocationWords(row.source.location);
  std::unordered_set<std::string> said = {first};
  if (!first.empty()) places.push_back(std::move(first));
  for (const CitedPlace& again : row.source.cited_again) {
    // Cited twice in one paragraph or cell: one place to look.
    std::string words = LocationWords(again.location);
    if (words.empty() || !said.insert(words).second) continue;
    places.push_back(std::move(words));
  }
  return places;
}

std::string SourceWhere(const RowStore::Row& row) {
  std::string where;
  for (const std::string& place : SourcePlaces(row)) where += (where.empty() ? "" : "；") + place;
  return where;
}

std::string SourceWritten(const RowStore::Row& row) {
  return row.source.citation.has_value() ? row.source.citation->written : std::string();
}

bool SameTitle(const std::string& a, const std::string& b) {
  return TitleKey(WithoutEdition(a)) == TitleKey(WithoutEdition(b));
}

std::string TitleMismatchWords(const std::string& places, const std::string& cited,
                               const std::string& site) {
  return "题名不符：" + places + "引用《" + cited + "》，网站为《" + site + "》";
}

namespace {

// A standard cited hundreds of times under one wrong title would make a tooltip of pages.
constexpr std::size_t kNamedPlaces = 3;

struct Miscited {
  std::string title;
  std::vector<std::string> places;
  std::size_t count = 0;
};

}  // namespace

std::vector<std::string> TitleMismatchLines(const RowStore::Row& row) {
  if (row.judgement.notes.title_matches != false) return {};
  const std::string site = GbkToUtf8(row.judgement.record.title);
  const bool several = !row.source.cited_again.empty();
  std::vector<Miscited> miscited;
  std::unordered_set<std::string> said;
  const auto check = [&](const Location& at, const Citation& citation) {
    if (citation.title.empty() || SameTitle(citation.title, site)) return;
    auto same = std::find_if(miscited.begin(), miscited.end(),
                             [&](const Miscited& m) { return m.title == citation.title; });
    if (same == miscited.end()) same = miscited.insert(miscited.end(), {citation.title, {}, 0});
    std::string place = LocationWords(at);
    // Cited twice in one paragraph or cell: one place to look.
    if (place.empty() || !said.insert(citation.title + "\n" + place).second) return;
    ++same->count;
    if (same->places.size() < kNamedPlaces) same->places.push_back(std::move(place));
  };
  if (row.source.citation.has_value()) check(row.source.location, *row.source.citation);
  for (const CitedPlace& again : row.source.cited_again) check(again.location, again.citation);
  std::vector<std::string> lines;
  for (const Miscited& m : miscited) {
    std::string places;
    if (several) {
      for (const std::string& place : m.places) places += (places.empty() ? "" : "、") + place;
      if (m.count > m.places.size()) places += " 等 " + std::to_string(m.count) + " 处";
    }
    lines.push_back(TitleMismatchWords(places, m.title, site));
  }
  return lines;
}

bool AnyFromDocument(const std::vector<RowStore::Row>& rows) {
  for (const auto& row : rows) {
    if (row.source.from_document) return true;
  }
  return false;
}

namespace {

std::string PlainCells(const std::vector<std::string>& cells) {
  std::string line;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i > 0) line += '\t';
    for (char c : cells[i]) line += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
  }
  return line;
}

std::string CsvRecord(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ',';
    line += CsvField(fields[i]);
  }
  return line + "\r\n";
}

}  // namespace

std::string PlainTextRow(const RowStore::Row& row, TableExtras extras) {
  return PlainCells(RowCells(row, ColumnsFor(TableOutputs(extras))));
}

std::string PlainTextTable(const std::vector<RowStore::Row>& rows, const char* line_end,
                           TableExtras extras) {
  std::string out;
  for (const auto& record : TableRecords(rows, ColumnsFor(TableOutputs(extras)))) {
    out += PlainCells(record) + line_end;
  }
  return out;
}

std::string FormatCsv(const std::vector<RowStore::Row>& rows, TableExtras extras) {
  // The byte-order mark lets spreadsheet programs read the file as UTF-8.
  std::string out = "\xEF\xBB\xBF";
  for (const auto& record : TableRecords(rows, ColumnsFor(TableOutputs(extras)))) {
    out += CsvRecord(record);
  }
  return out;
}

XlsxSheet ExportSheet(const std::vector<RowStore::Row>& rows) {
  const std::vector<const ColumnSpec*> columns = ColumnsFor(kInWorkbook);
  XlsxSheet sheet;
  sheet.name = kExportSheetName;
  sheet.header = HeaderCells(columns);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if ((columns[i]->outputs & kFilledByStatus) != 0) sheet.fill_column = static_cast<int>(i);
    if ((columns[i]->outputs & kSortedAsNumber) != 0) sheet.number_column = static_cast<int>(i);
  }
  for (const auto& row : rows) {
    sheet.rows.push_back(RowCells(row, columns));
    sheet.row_fills.push_back(RowFill(row));
  }
  return sheet;
}

XlsxWorkbook FormatXlsx(const std::vector<RowStore::Row>& rows) {
  return WriteXlsx(ExportSheet(rows));
}

}  // namespace kelvaro
