#include "cli/commands.h"
#include "cli/table_output.h"
#include "query/single_query.h"
#include "text/encoding.h"

namespace kelvaro::cli {

int RunCheck(const Options& options, const Site& site) {
  const SingleQueryResult result = RunSingleQuery(site, Utf8ToGbk(options.operand));
  if (!options.json) return WriteOutput(ReportForTerminal(SingleQueryReport(result)));

  const CurrentStandardRecord& record = result.judgement.record;
  CheckFields fields;
  fields.input = SanitizeUtf8(options.operand);
  fields.cleaned = GbkToUtf8(result.cleaned);
  fields.keyword = GbkToUtf8(result.keyword);
  fields.address = GbkToUtf8(result.lookup.address);
  fields.status = GbkToUtf8(StatusWord(result.judgement.verdict));
  fields.number = GbkToUtf8(record.number);
  fields.title = GbkToUtf8(record.title);
  fields.release_date = GbkToUtf8(record.release_date);
  fields.department = GbkToUtf8(record.department);
  fields.judgement = result.judgement;
  return WriteOutput(FormatCheckJson(fields));
}

}  // namespace kelvaro::cli
