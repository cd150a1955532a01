// What the command line prints: the Result table as TSV, CSV or JSON, and the single
// query as a report or JSON. Everything printed is UTF-8; the table's cells are GBK.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "cli/options.h"
#include "document/writers/xlsx_writer.h"
#include "rows/export.h"
#include "rows/reason.h"
#include "rows/row_store.h"
#include "text/text.h"

namespace kelvaro::cli {

// A JSON string literal (quotes included) of UTF-8 text: quote, backslash and every
// control character escaped.
std::string JsonString(const std::string& utf8);
// One TSV cell, one CSV field and a row's reason as one cell: the core's, shared with the
// window's export and the change list.
using ::kelvaro::CsvField;
using ::kelvaro::ReasonCell;
using ::kelvaro::TsvCell;

using Rows = std::vector<RowStore::Row>;

// Records as TSV (TsvCell, LF line ends) or CSV (byte-order mark, CsvField, CR LF ends).
std::string DelimitedRecords(Format format, const std::vector<std::vector<std::string>>& records);

// TSV: header line, then one line per row; LF line ends.
// CSV: UTF-8 byte-order mark, header record, one record per row; CR LF record ends.
// Both with a sixth column 原因 (ReasonCell) when extras.reasons is set, then 出处 and 原文
// when extras.sources is.
// JSON: an array of objects {ordinal, number, status, latest_number, latest_title, reason,
// http_status (a number) and error when the reason has them, source (CitationJson) when the
// row looks a citation up, cited_again (an array of CitationJson) when the document cites it
// again, title_matches (true, false or null), then VerdictFields}.
// XLSX: the bytes of FormatWorkbook's workbook (查询结果 and 修改清单), and in `cells_cut` (when
// given) how many of its cells were cut at Excel's length; empty when the rows do not fit in a
// sheet; its printed pages say what `print` holds.
std::string FormatTable(Format format, const Rows& rows, TableExtras extras = {},
                        std::size_t* cells_cut = nullptr, const XlsxPrintInfo& print = {});
// "N cells cut to 32767 characters, ...": said when a workbook could not hold every text.
std::string CellsCutText(std::size_t cells);

// What a judgement adds to a JSON row and to check's object, in this order: coming (null, or
// {number, title, effective}), effective (a not-in-force row's 实施日期, else ""),
// site_edition ("2018年版", "" for none), edition_matches (true, false or null), replaced_by
// (null, or {number, title, status}: a withdrawn standard's successor).
std::vector<std::pair<std::string, nlohmann::ordered_json>> VerdictFields(
    const Judgement& judgement);

// One line for stderr: the rows counted by verdict (VerdictSummary).
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
  Judgement judgement;
};
std::string FormatCheckJson(const CheckFields& fields);

// A report text (GBK, CR LF lines) as the terminal shows it: UTF-8, LF lines, control
// characters other than tab, CR and LF written as \xNN.
std::string ReportForTerminal(const Text& report);

}  // namespace kelvaro::cli
