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
  // Appended piece by piece: GCC 12 at -O3 mistakes "literal" + string for an overlapping copy.
  if (reason.http_status != 0) cell.append(" ").append(std::to_string(reason.http_status));
  if (!reason.error.empty()) cell.append(": ").append(GbkToUtf8(reason.error));
  return cell;
}

namespace {

// The request object's short texts for the failures users meet, in words they read.
std::string NetworkErrorDescription(const Text& error) {
  struct Known {
    const char* error;
    const char* shown;
  };
  static constexpr Known kKnown[] = {
      {"Couldn't connect to server", "连接被拒绝"},
      {"Timeout was reached", "连接超时"},
      {"Couldn't resolve host name", "无法解析主机名"},
      {"Couldn't resolve proxy name", "无法解析代理服务器名"},
      {"Failure when receiving data from the peer", "连接被重置或关闭"},
      {"Failed sending data to the peer", "连接被重置或关闭"},
      {"Server returned nothing (no headers, no data)", "连接被重置或关闭"},
      {"Transferred a partial file", "连接被重置或关闭"},
      {"response too large", "网页过大"},
      {"no response", "没有应答"},
  };
  for (const Known& known : kKnown) {
    if (error == known.error) return known.shown;
  }
  return GbkToUtf8(error);
}

std::string PlainCell(const Text& gbk) {
  std::string cell = GbkToUtf8(gbk);
  for (char& c : cell) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return cell;
}

}  // namespace

std::string ReasonDescription(const RowReason& reason) {
  switch (reason.outcome) {
    case Outcome::kNone:
      return {};
    case Outcome::kFound:
      return "网站上查到该编号的现行标准";
    case Outcome::kNotFound:
      return "网站未收录该编号";
    case Outcome::kNoYear:
      return "编号缺少四位年份";
    case Outcome::kEmpty:
      return "编号为空，未查询";
    case Outcome::kHttpError:
      return std::string("网站返回 ").append(std::to_string(reason.http_status));
    case Outcome::kNetwork:
      return reason.error.empty()
                 ? std::string("网络错误")
                 : std::string("网络错误：").append(NetworkErrorDescription(reason.error));
    case Outcome::kAborted:
      return "查询被中止";
  }
  return {};
}

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
