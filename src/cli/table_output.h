// What the command line prints: the Result table as TSV, CSV or JSON, and the single
// query as a report or JSON. Everything printed is UTF-8; the table's cells are GBK.
#pragma once

#include <string>
#include <vector>

#include "batch/row_store.h"
#include "cli/options.h"
#include "text/text.h"

namespace kelvaro::cli {

// A JSON string literal (quotes included) of UTF-8 text: quote, backslash and every
// control character escaped.
std::string JsonString(const std::string& utf8);
// One TSV cell: tab, CR, LF and backslash written as \t \r \n \\, other control
// characters as \xNN.
std::string TsvCell(const std::string& utf8);
// One CSV field: a leading apostrophe when it starts with = + - or @ (a spreadsheet would
// run it as a formula), then quoted (inner quotes doubled) when it holds a comma, quote,
// CR or LF.
std::string CsvField(const std::string& utf8);

using Rows = std::vector<RowStore::Row>;

// A row's reason as one cell: "found", ..., "http-error 503", "network: <error>"; empty
// for a row never looked up.
std::string ReasonCell(const RowReason& reason);

// TSV: header line, then one line per row; LF line ends.
// CSV: UTF-8 byte-order mark, header record, one record per row; CR LF record ends.
// Both with a sixth column 原因 (ReasonCell) when `reasons` is set.
// JSON: an array of objects {ordinal, number, status, latest_number, latest_title, reason,
// and http_status (a number) and error when the reason has them}.
std::string FormatTable(Format format, const Rows& rows, bool reasons = false);

// One line for stderr: the rows, how many hold each status word, the 未知 ones by reason.
std::string SummaryLine(const Rows& rows);

// The single query's fields, UTF-8.
struct CheckFields {
  std::string input;
  std::string cleaned;
  std::string keyword;
  std::string address;
  std::string status;
  std::string number;
  std::string title;
  std::string release_date;
  std::string department;
  RowReason reason;
};
std::string FormatCheckJson(const CheckFields& fields);

// A report text (GBK, CR LF lines) as the terminal shows it: UTF-8, LF lines, control
// characters other than tab, CR and LF written as \xNN.
std::string ReportForTerminal(const Text& report);

}  // namespace kelvaro::cli
