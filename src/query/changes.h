// The change list: what a checked document's author has to fix, one entry per cited standard
// that needs attention, in the order the document first cites them.
#pragma once

#include <string>
#include <vector>

#include "document/writers/xlsx_writer.h"
#include "rows/result_table.h"
#include "site/standard_site.h"
#include "text/text.h"

namespace kelvaro {

// The search address the row's lookup asks (or would ask) `site` for, as sent on the wire;
// empty for a row that names no standard.
std::string RowSearchAddress(const Site& site, const TableRow& row);

struct ChangeEntry {
  std::string written;  // 原文: the citation as written, with its title
  std::string places;   // 出处: every place, joined by "；"
  std::string verdict;  // 结论: the verdict's summary label, and why
  std::string suggestion;  // 建议改为: "《建筑设计防火规范》GB 50016-2014（2018年版）"; empty
                           // unless superseded or of another edition
  std::string address;  // 查询结果网页: the address the lookup asked
  // For print: the first places and "等 N 处" when there are many; empty when `places` is short.
  std::string places_brief = {};
  // 文档: for a folder's documents, the one these places are in (its path from the folder);
  // the list then goes document by document, and a standard cited in several is listed in each.
  std::string document = {};
  bool operator==(const ChangeEntry&) const = default;
};

// Entries for the rows that are 有新标准, withdrawn, not in force, current in another
// edition, not listed or failed, one per distinct standard, in the rows' import order.
std::vector<ChangeEntry> ChangeList(const std::vector<TableRow>& rows);

inline constexpr char kChangeSheetName[] = "修改清单";
// The list's header: 原文, 出处, 结论, 建议改为, 查询结果网页 (with 序号 first, and 文档
// after it for a folder's documents).
const std::vector<std::string>& ChangeHeader(bool documents = false);
enum class ChangeFormat { kTsv, kCsv, kJson };
// The list as text: TSV (header line, UTF-8), CSV (as the table's CSV export) or JSON (an
// array of objects).
std::string FormatChanges(const std::vector<ChangeEntry>& entries, ChangeFormat format);
// The list as the sheet 修改清单, coloured by verdict.
XlsxSheet ChangeSheet(const std::vector<TableRow>& rows);

// What the printed pages of a workbook of `rows` say: the name of `document` (a path; empty
// when the rows came from no file), the day of the latest lookup (today's when none was
// made) and `site`'s address.
XlsxPrintInfo WorkbookPrintInfo(const std::vector<TableRow>& rows, const std::string& document,
                                const Site& site);

// The Excel export: the table's sheet 查询结果, then 修改清单, then for a folder of at most
// kMaxDocumentSheets documents a sheet per document with its rows. No workbook when a sheet
// does not fit.
inline constexpr std::size_t kMaxDocumentSheets = 50;
XlsxWorkbook FormatWorkbook(const std::vector<TableRow>& rows, const XlsxPrintInfo& print = {});

}  // namespace kelvaro
