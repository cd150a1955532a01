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

std::string ReasonCell(const RowReason& reason) {
  std::string cell = OutcomeName(reason.outcome);
  if (reason.http_status != 0) cell += " " + std::to_string(reason.http_status);
  if (!reason.error.empty()) cell += ": " + GbkToUtf8(reason.error);
  return cell;
}

std::string FormatCsv(const std::vector<RowStore::Row>& rows, bool reasons) {
  // The byte-order mark lets spreadsheet programs read the file as UTF-8.
  std::string out = "\xEF\xBB\xBF";
  for (int column = 0; column < kColumnCount; ++column) {
    if (column > 0) out += ',';
    out += CsvField(ColumnHeader(column));
  }
  if (reasons) out += "," + CsvField(kReasonHeader);
  out += "\r\n";
  for (const auto& row : rows) {
    for (int column = 0; column < kColumnCount; ++column) {
      if (column > 0) out += ',';
      out += CsvField(GbkToUtf8(row.cells[static_cast<std::size_t>(column)]));
    }
    if (reasons) out += "," + CsvField(ReasonCell(row.reason));
    out += "\r\n";
  }
  return out;
}

}  // namespace kelvaro
