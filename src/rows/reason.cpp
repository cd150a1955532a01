#include "rows/reason.h"

#include <utility>

#include "rows/result_table.h"
#include "rows/status.h"
#include "text/encoding.h"

namespace kelvaro {

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kNone:
      return "";
    case Outcome::kFound:
      return "found";
    case Outcome::kNotFound:
      return "not-found";
    case Outcome::kNoYear:
      return "no-year";
    case Outcome::kEmpty:
      return "empty";
    case Outcome::kHttpError:
      return "http-error";
    case Outcome::kNetwork:
      return "network";
    case Outcome::kAborted:
      return "aborted";
    case Outcome::kWithdrawn:
      return "withdrawn";
    case Outcome::kNotInForce:
      return "not-in-force";
  }
  return "";
}

bool IsSiteFailure(Outcome outcome) {
  return outcome == Outcome::kNetwork || outcome == Outcome::kHttpError;
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
    case Outcome::kWithdrawn:
      return "已废止：网站列为废止，无现行版本";
    case Outcome::kNotInForce:
      return reason.effective_date.empty()
                 ? std::string("尚未实施")
                 : std::string("尚未实施：实施日期 ").append(GbkToUtf8(reason.effective_date));
  }
  return {};
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

std::vector<RowId> FailedRows(ResultTable& table) {
  std::vector<RowId> failed;
  for (const RowId id : table.RowIds()) {
    const Outcome outcome = table.ReasonById(id).outcome;
    if ((IsSiteFailure(outcome) || outcome == Outcome::kAborted) &&
        StatusOfCell(table.GetCellTextById(id, ColumnIndex(Column::kStatus))) == Status::kUnknown) {
      failed.push_back(id);
    }
  }
  return failed;
}

std::vector<RowId> SiteFailedRows(ResultTable& table) {
  std::vector<RowId> failed;
  for (const RowId id : table.RowIds()) {
    if (IsSiteFailure(table.ReasonById(id).outcome)) failed.push_back(id);
  }
  return failed;
}

}  // namespace kelvaro
