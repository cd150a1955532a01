#include "batch/table_export.h"

#include <string_view>

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

std::string PlainCell(const Text& gbk) {
  std::string cell = GbkToUtf8(gbk);
  for (char& c : cell) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return cell;
}

}  // namespace

std::string PlainTextRow(const RowStore::Row& row) {
  std::string line;
  for (int column = 0; column < kColumnCount; ++column) {
    if (column > 0) line += '\t';
    line += PlainCell(row.cells[static_cast<std::size_t>(column)]);
  }
  return line;
}

std::string PlainTextTable(const std::vector<RowStore::Row>& rows, const char* line_end) {
  std::string out;
  for (int column = 0; column < kColumnCount; ++column) {
    if (column > 0) out += '\t';
    out += ColumnHeader(column);
  }
  out += line_end;
  for (const auto& row : rows) out += PlainTextRow(row) + line_end;
  return out;
}

std::string FormatCsv(const std::vector<RowStore::Row>& rows, bool reasons) {
  // The byte-order mark lets spreadsheet programs read the file as UTF-8.
  std::string out = "\xEF\xBB\xBF";
  for (int column = 0; column < kColumnCount; ++column) {
    if (column > 0) out += ',';
    out += CsvField(ColumnHeader(column));
  }
  if (reasons) out.append(",").append(CsvField(kReasonHeader));
  out += "\r\n";
  for (const auto& row : rows) {
    for (int column = 0; column < kColumnCount; ++column) {
      if (column > 0) out += ',';
      out += CsvField(GbkToUtf8(row.cells[static_cast<std::size_t>(column)]));
    }
    if (reasons) out.append(",").append(CsvField(ReasonCell(row.reason)));
    out += "\r\n";
  }
  return out;
}

}  // namespace kelvaro
