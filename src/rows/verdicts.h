// What a looked-up row comes to, told more finely than its status word: the verdicts a
// batch's summary counts and a row's fill shows. A new verdict is one more value and one more
// line of the table.
#pragma once

#include <string>
#include <vector>

#include "document/writers/xlsx_writer.h"
#include "rows/result_table.h"

namespace kelvaro {

enum class RowVerdict {
  kNone,           // not looked up (yet)
  kCurrent,        // 现行
  kCurrentComing,  // 现行, and its successor is listed as 即将实施
  kSuperseded,     // 有新标准
  kWithdrawn,      // 未知: withdrawn without a current version
  kNotInForce,     // 未知: listed as 即将实施
  kNotListed,      // 未知: the site lists no such number (also no year, nothing to search)
  kFailed,         // 未知: the site could not be asked, or the lookup was stopped
};

struct VerdictSpec {
  RowVerdict verdict;
  const char* summary_label;  // UTF-8; verdicts of the same label are counted together
  CellFill fill;
};

// Every verdict but kNone, in the order summaries count them.
const std::vector<VerdictSpec>& Verdicts();
const VerdictSpec& SpecOf(RowVerdict verdict);
RowVerdict VerdictOf(const TableRow& row);
// Every row's verdict, in the table's order, without copying the rows.
std::vector<RowVerdict> VerdictsOf(ResultTable& table);
std::vector<RowVerdict> VerdictsOf(const std::vector<TableRow>& rows);

// "50 行：20 现行，4 有新标准，3 已废止，1 尚未实施，20 未收录，2 查询失败", then "，N 未查询"
// for rows never looked up (UTF-8, no line end).
std::string VerdictSummary(const std::vector<RowVerdict>& verdicts);

// 有新标准, withdrawn, not yet in force, or 现行 in another edition than the one cited.
bool IsOutdated(const TableRow& row);

}  // namespace kelvaro
