#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/commands.h"
#include "cli/table_output.h"
#include "query/number.h"
#include "store/lookup_archive.h"
#include "text/encoding.h"

namespace kelvaro::cli {
namespace {

// How the site answered, in the words of the table's reasons.
std::string Answer(const PastLookup& past) {
  if (past.http_status == 0) return "network: " + GbkToUtf8(past.error);
  if (past.http_status != 200) return "http-error " + std::to_string(past.http_status);
  switch (past.kind) {
    case PageKind::kNoHit:
      return "not-found";
    case PageKind::kRefused:
      return "refused";
    case PageKind::kUnrecognised:
      return "unrecognised";
    case PageKind::kResults:
      break;
  }
  return "found";
}

}  // namespace

int RunHistory(const Options& options) {
  Text number = Utf8ToGbk(options.operand);
  const Text keyword = NormalizeNumber(number);
  if (keyword.empty()) {
    PrintError("'" + options.operand + "' is no standard number to look for");
    return kExitUsage;
  }
  std::string warning;
  const std::shared_ptr<LookupArchive> archive =
      LookupArchive::Open(LookupArchivePath(false), warning);
  if (!warning.empty()) PrintError("warning: " + warning);
  const StandardIdentity cited = IdentityOf(Utf8ToGbk(options.operand));
  std::vector<std::vector<std::string>> records = {
      {"查询时间", "网站", "页", "结果", "列出的编号", "状态", "名称"}};
  for (const PastLookup& past : archive->History(keyword)) {
    std::vector<std::string> record = {past.read_at, past.site, std::to_string(past.page),
                                       Answer(past)};
    bool listed = false;
    for (const ListedStandard& row : past.listed) {
      if (!IsStandard(row.number, cited)) continue;
      listed = true;
      std::vector<std::string> line = record;
      line.insert(line.end(), {GbkToUtf8(TrimSpaces(row.number)), GbkToUtf8(TrimSpaces(row.status)),
                               GbkToUtf8(TrimSpaces(row.title))});
      records.push_back(std::move(line));
    }
    if (!listed) {
      record.insert(record.end(), {"", "", ""});
      records.push_back(std::move(record));
    }
  }
  if (records.size() == 1) {
    PrintError("the lookup store holds nothing for " + options.operand);
  }
  return WriteOutput(DelimitedRecords(Format::kTsv, records));
}

}  // namespace kelvaro::cli
