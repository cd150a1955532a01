// Why a row's lookup ended as it did, in every form the front ends show it: its name in the
// command line's output, its Chinese words in the windows and the notes' lines, and the rows
// worth asking again.
#pragma once

#include <string>
#include <vector>

#include "rows/judgement.h"

namespace kelvaro {

class ResultTable;

// Everything about a reason, in one table.
struct OutcomeSpec {
  Outcome outcome;
  const char* name;   // the command line's: "found", "not-found", ...; "" for kNone
  bool site_failure;  // the site could not be asked: --retry and --strict look at it
  // The status cell's tooltip (UTF-8): "网站未收录该编号", "网站返回 503", ...
  std::string (*words)(const RowReason& reason);
};
const OutcomeSpec& SpecOf(Outcome outcome);

// "found", "not-found", "no-year", "empty", "http-error", "network", "aborted", "withdrawn",
// "not-in-force", "refused", "unrecognised" ("" for none).
const char* OutcomeName(Outcome outcome);
// The site could not be asked: trying again may help.
bool IsSiteFailure(Outcome outcome);

// A reason as one cell of the command line's tables: "found", ..., "http-error 503",
// "network: <error>"; empty for a row never looked up.
std::string ReasonCell(const RowReason& reason);
// Why a row's lookup ended, in the words of the status cell's tooltip (UTF-8): for
// example "网站未收录该编号", "网站返回 503", "网络错误：连接被拒绝"; empty for none.
std::string ReasonDescription(const RowReason& reason);
// The notes in words (UTF-8), one a line, for the lines under the reason:
// "新标准即将实施：GB/T 50001-2024（2027-03-01 实施）", and "现行为 2018年版" when the
// citation does not give the site's edition.
std::vector<std::string> NoteLines(const RowNotes& notes);

// A verdict that changed since the standard's previous lookup, in words (UTF-8):
// "自 2026-11-02 查询以来：现行 → 有新标准（GB 50016-2024，2027-03-01 实施）"; empty when
// `judgement` has no previous verdict.
std::string ChangedSinceText(const Judgement& judgement);

// What a batch that stopped asking after the site refused it again and again says, in the
// window's title and on the command line's stderr: "网站拒绝查询，已停止：N 行未查询".
std::string RefusalStopWords(int rows_left);

// The rows "重新查询未知" asks again for: their verdict says so (the site could not be asked,
// or the lookup was stopped).
std::vector<RowId> FailedRows(ResultTable& table);
// Rows whose last lookup failed at the site (network or HTTP error, a refusal, a page of
// another kind): the command line's --retry asks again for these, the windows' batch button
// counts them.
std::vector<RowId> SiteFailedRows(ResultTable& table);

}  // namespace kelvaro
