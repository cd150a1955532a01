// What a looked-up row comes to, and everything that hangs on it, in one table: the word its
// status cell holds, its summary label and fill, and what each output does with it. A new
// verdict is one more value, one more line of the table and its case in JudgeLookup.
#pragma once

#include <string>
#include <vector>

#include "document/cell_fill.h"
#include "text/text.h"

namespace kelvaro {

class ResultTable;
struct Judgement;
struct TableRow;

enum class Verdict {
  kNone,           // not looked up (yet)
  kCurrent,        // 现行
  kCurrentComing,  // 现行, and its successor is listed as 即将实施
  kSuperseded,     // 有新标准
  kWithdrawn,      // 未知: withdrawn without a current version
  kNotInForce,     // 未知: listed as 即将实施
  kNotListed,      // 未知: the site lists no such number (also no year, nothing to search)
  kFailed,         // 未知: the site could not be asked, or the lookup was stopped
};

// When a verdict calls for something: never, when the citation gives another edition than
// the one in force (RowNotes::edition_matches is false), when it gives another edition or, in
// any of its places, another title (RowNotes::title_matches is false), when the site names a
// successor (Judgement::replaced_by), or always.
enum class When { kNever, kOtherEdition, kCitedOtherwise, kSuccessorNamed, kAlways };

// What a marked copy's comment opens with, before the notes: nothing, the current standard
// that replaces the cited one, or why the lookup ended as it did.
enum class CommentOpening { kNotes, kCurrentStandard, kReason };

struct VerdictSpec {
  Verdict verdict;
  Text status_word;            // GBK, as the status cell holds it: 现行, 有新标准, 未知
  const char* summary_label;   // UTF-8; verdicts of the same label are counted together
  CellFill fill;               // the status cell's, the sheets' and the Word copy's
  bool in_force;               // the report says "标准状态：现行"; a cited title is checked
  When outdated;               // `--fail-on outdated` fails
  When listed;                 // the change list has an entry for it
  When marked;                 // a marked copy shades and comments the citation
  When replaced;               // the site's number is offered: 建议改为, `--replace`
  CommentOpening comment;      // what the marked copy's comment opens with
  bool reason_in_report;       // the single query's 说明 line gives the reason
  bool asked_again;            // 重新查询未知 looks it up again
  const char* removal_button;  // the layout's button removing rows of its status word, or null
};

// Every verdict but kNone, in the order summaries count them.
const std::vector<VerdictSpec>& Verdicts();
const VerdictSpec& SpecOf(Verdict verdict);
// The word a status cell holds for `verdict` (GBK; empty for kNone).
const Text& StatusWord(Verdict verdict);
// Whether `when` holds for `judgement`.
bool Holds(When when, const Judgement& judgement);

// Every row's verdict, in the table's order.
std::vector<Verdict> VerdictsOf(ResultTable& table);
std::vector<Verdict> VerdictsOf(const std::vector<TableRow>& rows);

// "50 行：20 现行，4 有新标准，3 已废止，1 尚未实施，20 未收录，2 查询失败", then "，N 未查询"
// for rows never looked up (UTF-8, no line end).
std::string VerdictSummary(const std::vector<Verdict>& verdicts);

// 有新标准, withdrawn, not yet in force, or 现行 in another edition than the one cited.
bool IsOutdated(const Judgement& judgement);

}  // namespace kelvaro
