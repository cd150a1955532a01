#include "rows/reason.h"

#include <utility>

#include "rows/result_table.h"
#include "rows/verdicts.h"
#include "text/encoding.h"

namespace kelvaro {
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

template <const char* kWords>
std::string Fixed(const RowReason&) {
  return kWords;
}

constexpr char kNoWords[] = "";
constexpr char kFoundWords[] = "网站上查到该编号的现行标准";
constexpr char kNoYearWords[] = "编号缺少四位年份";
constexpr char kEmptyWords[] = "编号为空，未查询";
constexpr char kAbortedWords[] = "查询被中止";
constexpr char kRefusedWords[] = "网站拒绝查询（无权访问），请稍后再试或降低速度";

std::string NotFoundWords(const RowReason& reason) {
  if (reason.instead.empty()) return "网站未收录该编号";
  return "网站未收录 " + GbkToUtf8(reason.standard) + "；列出的是 " + GbkToUtf8(reason.instead) +
         (reason.others > 1 ? " 等" : "");
}

std::string WithdrawnWords(const RowReason& reason) {
  if (!reason.successor.empty()) return "已废止，被 " + GbkToUtf8(reason.successor) + " 代替";
  std::string words = "已废止：网站列为废止，无现行版本";
  if (reason.detail_unread) words += "（详情页未能读取，替代情况不明）";
  return words;
}

std::string NewerWords(const RowReason& reason) {
  return "引用的版本（" + std::to_string(reason.cited_year) + "）比网站列出的现行版本（" +
         std::to_string(reason.site_year) + "）新，请核对编号或年份";
}

std::string HttpErrorWords(const RowReason& reason) {
  return std::string("网站返回 ").append(std::to_string(reason.http_status));
}

std::string NetworkWords(const RowReason& reason) {
  return reason.error.empty()
             ? std::string("网络错误")
             : std::string("网络错误：").append(NetworkErrorDescription(reason.error));
}

std::string NotInForceWords(const RowReason& reason) {
  return reason.effective_date.empty()
             ? std::string("尚未实施")
             : std::string("尚未实施：实施日期 ").append(GbkToUtf8(reason.effective_date));
}

std::string UnrecognisedWords(const RowReason& reason) {
  return reason.error.empty()
             ? std::string("网站返回的不是查询结果页")
             : std::string("网站返回的不是查询结果页：").append(GbkToUtf8(reason.error));
}

const OutcomeSpec kOutcomes[] = {
    {Outcome::kNone, "", false, &Fixed<kNoWords>},
    {Outcome::kFound, "found", false, &Fixed<kFoundWords>},
    {Outcome::kNotFound, "not-found", false, &NotFoundWords},
    {Outcome::kNoYear, "no-year", false, &Fixed<kNoYearWords>},
    {Outcome::kEmpty, "empty", false, &Fixed<kEmptyWords>},
    {Outcome::kHttpError, "http-error", true, &HttpErrorWords},
    {Outcome::kNetwork, "network", true, &NetworkWords},
    {Outcome::kAborted, "aborted", false, &Fixed<kAbortedWords>},
    {Outcome::kWithdrawn, "withdrawn", false, &WithdrawnWords},
    {Outcome::kNotInForce, "not-in-force", false, &NotInForceWords},
    {Outcome::kRefused, "refused", true, &Fixed<kRefusedWords>},
    {Outcome::kUnrecognised, "unrecognised", true, &UnrecognisedWords},
    {Outcome::kNewerThanSite, "newer-than-site", false, &NewerWords},
};

}  // namespace

const OutcomeSpec& SpecOf(Outcome outcome) {
  for (const OutcomeSpec& spec : kOutcomes) {
    if (spec.outcome == outcome) return spec;
  }
  return kOutcomes[0];
}

const char* OutcomeName(Outcome outcome) { return SpecOf(outcome).name; }

bool IsSiteFailure(Outcome outcome) { return SpecOf(outcome).site_failure; }

std::string ReasonCell(const RowReason& reason) {
  std::string cell = OutcomeName(reason.outcome);
  // Appended piece by piece: GCC 12 at -O3 mistakes "literal" + string for an overlapping copy.
  if (reason.http_status != 0) cell.append(" ").append(std::to_string(reason.http_status));
  if (!reason.error.empty()) cell.append(": ").append(GbkToUtf8(reason.error));
  return cell;
}

std::string ReasonDescription(const RowReason& reason) {
  return SpecOf(reason.outcome).words(reason);
}

std::string ChangedSinceText(const Judgement& judgement) {
  if (!judgement.previous.has_value()) return {};
  const std::string& then = judgement.previous->looked_up_at;
  std::string text = "自 " + then.substr(0, then.find(' ')) + " 查询以来：" +
                     SpecOf(judgement.previous->verdict).summary_label + " → " +
                     SpecOf(judgement.verdict).summary_label;
  const Text& latest = LatestNumber(judgement);
  if (latest.empty()) return text;
  // The 实施 date of the standard shown as the latest, as its row gives it.
  Text effective = judgement.replaced_by ? judgement.replaced_by->effective_date : Text();
  for (const ListedStandard& row : judgement.listed) {
    if (effective.empty() && TrimSpaces(row.number) == TrimSpaces(latest)) {
      effective = row.effective_date;
    }
  }
  text += "（" + GbkToUtf8(TrimSpaces(latest));
  if (!TrimSpaces(effective).empty()) text += "，" + GbkToUtf8(TrimSpaces(effective)) + " 实施";
  return text + "）";
}

std::vector<std::string> NoteLines(const RowNotes& notes) {
  std::vector<std::string> lines;
  if (notes.coming.has_value()) {
    std::string line = "新标准即将实施：" + GbkToUtf8(notes.coming->number);
    if (!notes.coming->effective_date.empty()) {
      line.append("（").append(GbkToUtf8(notes.coming->effective_date)).append(" 实施）");
    }
    lines.push_back(std::move(line));
  }
  if (notes.edition_matches == false) lines.push_back("现行为 " + notes.site_edition);
  return lines;
}

std::string RefusalStopWords(int rows_left) {
  return "网站拒绝查询，已停止：" + std::to_string(rows_left) + " 行未查询";
}

std::vector<RowId> FailedRows(ResultTable& table) {
  std::vector<RowId> failed;
  for (const RowId id : table.RowIds()) {
    if (SpecOf(table.JudgementById(id).verdict).asked_again) failed.push_back(id);
  }
  return failed;
}

std::vector<RowId> SiteFailedRows(ResultTable& table) {
  std::vector<RowId> failed;
  for (const RowId id : table.RowIds()) {
    if (IsSiteFailure(table.JudgementById(id).reason.outcome)) failed.push_back(id);
  }
  return failed;
}

}  // namespace kelvaro
