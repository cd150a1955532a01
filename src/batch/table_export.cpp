#include "batch/table_export.h"

#include <string_view>

#include "document/xlsx_writer.h"
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

std::string SourceWhere(const RowStore::Row& row) { return LocationWords(row.source.location); }

std::string SourceWritten(const RowStore::Row& row) {
  return row.source.citation.has_value() ? row.source.citation->written : std::string();
}

std::optional<bool> TitleMatches(const RowStore::Row& row) {
  if (!row.source.citation.has_value() || row.source.citation->title.empty() ||
      row.cells[ColumnIndex(Column::kStatus)] != kStatusCurrent) {
    return std::nullopt;
  }
  return TitleKey(row.source.citation->title) ==
         TitleKey(GbkToUtf8(row.cells[ColumnIndex(Column::kLatestTitle)]));
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

std::vector<std::string> Headers(bool sources) {
  std::vector<std::string> headers;
  for (int column = 0; column < kColumnCount; ++column) headers.emplace_back(ColumnHeader(column));
  if (sources) {
    headers.emplace_back(kWhereHeader);
    headers.emplace_back(kWrittenHeader);
  }
  return headers;
}

std::vector<std::string> Cells(const RowStore::Row& row, bool sources) {
  std::vector<std::string> cells;
  for (int column = 0; column < kColumnCount; ++column) cells.push_back(CellUtf8(row, column));
  if (sources) {
    cells.push_back(SourceWhere(row));
    cells.push_back(SourceWritten(row));
  }
  return cells;
}

}  // namespace

std::string PlainTextRow(const RowStore::Row& row, bool sources) {
  return PlainCells(Cells(row, sources));
}

std::string PlainTextTable(const std::vector<RowStore::Row>& rows, const char* line_end,
                           bool sources) {
  std::string out = PlainCells(Headers(sources)) + line_end;
  for (const auto& row : rows) out += PlainTextRow(row, sources) + line_end;
  return out;
}

std::string FormatCsv(const std::vector<RowStore::Row>& rows, bool reasons, bool sources) {
  const auto record = [](const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) line += ',';
      line += CsvField(fields[i]);
    }
    return line + "\r\n";
  };
  // The byte-order mark lets spreadsheet programs read the file as UTF-8.
  std::vector<std::string> headers = Headers(false);
  if (reasons) headers.emplace_back(kReasonHeader);
  if (sources) {
    headers.emplace_back(kWhereHeader);
    headers.emplace_back(kWrittenHeader);
  }
  std::string out = "\xEF\xBB\xBF" + record(headers);
  for (const auto& row : rows) {
    std::vector<std::string> fields = Cells(row, false);
    if (reasons) fields.push_back(ReasonCell(row.reason));
    if (sources) {
      fields.push_back(SourceWhere(row));
      fields.push_back(SourceWritten(row));
    }
    out += record(fields);
  }
  return out;
}

XlsxWorkbook FormatXlsx(const std::vector<RowStore::Row>& rows) {
  XlsxSheet sheet;
  sheet.name = kExportSheetName;
  sheet.header = Headers(false);
  for (const char* header : {kReasonHeader, kWhereHeader, kWrittenHeader, kLookedUpHeader}) {
    sheet.header.emplace_back(header);
  }
  sheet.fill_column = ColumnIndex(Column::kStatus);
  for (const auto& row : rows) {
    std::vector<std::string> cells = Cells(row, false);
    cells.push_back(ReasonDescription(row.reason));
    cells.push_back(SourceWhere(row));
    cells.push_back(SourceWritten(row));
    cells.push_back(row.looked_up_at);
    sheet.rows.push_back(std::move(cells));
    const Text& status = row.cells[ColumnIndex(Column::kStatus)];
    sheet.row_fills.push_back(status == kStatusCurrent      ? CellFill::kLightGreen
                              : status == kStatusSuperseded ? CellFill::kAmber
                              : status == kStatusUnknown    ? CellFill::kGrey
                                                            : CellFill::kNone);
  }
  return WriteXlsx(sheet);
}

}  // namespace kelvaro
