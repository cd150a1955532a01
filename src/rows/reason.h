// What a row's lookup ended with, in every form the front ends show it: the status words,
// why the lookup ended (kept beside the status word, not a column), its name in the command
// line's output and its Chinese words in the windows, and the rows worth asking again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/text.h"

namespace kelvaro {

class ResultTable;
using RowId = std::uint64_t;  // a row's stable identity; 0 is no row

enum class Outcome {
  kNone,        // not looked up (yet)
  kFound,       // a current row was found; the status word says the rest
  kNotFound,    // a result page without a current row
  kNoYear,      // the number does not end in "-" and a four-digit year
  kEmpty,       // no keyword: nothing to search for
  kHttpError,   // the site answered with a status other than 200
  kNetwork,     // no answer: refused, time-out, unknown host, reset, too large
  kAborted,     // ended by a stop before its answer came
  kWithdrawn,   // listed as 废止 or 作废, and no current standard of its code and serial is
  kNotInForce,  // listed as 即将实施
};
struct RowReason {
  Outcome outcome = Outcome::kNone;
  int http_status = 0;    // kHttpError
  Text error;             // kNetwork: the request object's short error text (ASCII)
  Text effective_date{};  // kNotInForce: its 实施日期 as the site writes it; may be empty
  bool operator==(const RowReason&) const = default;
};

// A standard the site lists as coming into force (即将实施). GBK.
struct ComingStandard {
  Text number;
  Text title;
  Text effective_date;  // empty when the site gives none
  bool operator==(const ComingStandard&) const = default;
};

// What a lookup found beside its status and reason.
struct RowNotes {
  // 现行 or 有新标准, and a later standard of the same code and serial is 即将实施.
  std::optional<ComingStandard> coming;
  // The edition note of the site's current standard (UTF-8 "2018年版"); empty for none.
  std::string site_edition;
  // A 现行 row whose site shows an edition: whether the citation gives that same edition.
  std::optional<bool> edition_matches;
  // The site's current standard's release date as the site writes it (GBK); empty for none.
  Text release_date = {};
  bool operator==(const RowNotes&) const = default;
};

// "found", "not-found", "no-year", "empty", "http-error", "network", "aborted", "withdrawn",
// "not-in-force" ("" for none).
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

// The rows "重新查询未知" asks again for: 未知 because the site could not be asked or the
// lookup was aborted.
std::vector<RowId> FailedRows(ResultTable& table);
// Rows whose last lookup failed at the site (network or HTTP error): the command line's
// --retry asks again for these, the windows' batch button counts them.
std::vector<RowId> SiteFailedRows(ResultTable& table);

}  // namespace kelvaro
