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

std::string FormatCsv(const std::vector<RowStore::Row>& rows) {
  // The byte-order mark lets spreadsheet programs read the file as UTF-8.
  std::string out = "\xEF\xBB\xBF";
  for (int column = 0; column < kColumnCount; ++column) {
    if (column > 0) out += ',';
    out += CsvField(ColumnHeader(column));
  }
  out += "\r\n";
  for (const auto& row : rows) {
    for (int column = 0; column < kColumnCount; ++column) {
      if (column > 0) out += ',';
      out += CsvField(GbkToUtf8(row.cells[static_cast<std::size_t>(column)]));
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace kelvaro
