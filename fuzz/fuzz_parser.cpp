// The linear result page parser against the step-by-step one (and against a third version
// built on the naive primitives here): any difference in any field stops the run.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "reference.h"
#include "site/national_site.h"
#include "support/literal_parser.h"

namespace {

using kelvaro::CurrentStandardRecord;
using kelvaro::Text;
namespace ref = kelvaro::ref;
using kelvaro::fuzz::Show;

const Text kCell = "<td ><font color=\"#000000\">\xCF\xD6\xD0\xD0</font></td>";  // 现行
const Text kFound = "\xCF\xD6\xD0\xD0";                                          // 现行
const Text kNotFound = "\xCE\xB4\xD5\xD2\xB5\xBD\xCF\xD6\xD0\xD0";               // 未找到现行

CurrentStandardRecord ParseNaively(const Text& body) {
  CurrentStandardRecord record;
  if (ref::Find(body, kCell) == -1) {
    record.status = kNotFound;
    return record;
  }
  Text row = ref::Between(body, "<tr bgcolor=", kCell) + kCell;
  while (ref::Find(row, "bgcolor") != -1) row = ref::Between(row, "<tr bgcolor=", kCell) + kCell;
  record.number = ref::Between(row, "\xB1\xE0\xBA\xC5\xA3\xBA", "&");  // 编号：
  record.title = ref::Between(row, "\xB1\xEA\xCC\xE2\xA3\xBA", "&");   // 标题：
  record.release_date = ref::Between(row, "\xB7\xA2\xB2\xBC\xC8\xD5\xC6\xDA\xA3\xBA", "&");
  record.department = ref::Between(row, "\xB7\xA2\xB2\xBC\xB2\xBF\xC3\xC5\xA3\xBA", "&");
  record.status = kFound;
  return record;
}

void Compare(const CurrentStandardRecord& got, const CurrentStandardRecord& want,
             const std::string& what, const Text& body) {
  const auto ctx = [&] {
    return std::string("ParseResultPage vs " + what + " on body " + Show(body));
  };
  FUZZ_EXPECT_EQ(got.number, want.number, ctx() + " (number)");
  FUZZ_EXPECT_EQ(got.title, want.title, ctx() + " (title)");
  FUZZ_EXPECT_EQ(got.release_date, want.release_date, ctx() + " (release_date)");
  FUZZ_EXPECT_EQ(got.department, want.department, ctx() + " (department)");
  FUZZ_EXPECT_EQ(got.status, want.status, ctx() + " (status)");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text body = kelvaro::fuzz::TextUpToZero(data, size);
  FUZZ_EXPECT_EQ(kelvaro::kCurrentCell, kCell, "the current cell constant");
  FUZZ_EXPECT_EQ(kelvaro::kRecordNotFound, kNotFound, "the not-found status constant");

  const CurrentStandardRecord got = kelvaro::ParseResultPage(body);
  Compare(got, kelvaro::test::ParseResultPageLiteral(body), "ParseResultPageLiteral", body);
  Compare(got, ParseNaively(body), "the naive parse", body);

  const auto ctx = [&] { return std::string("ParseResultPage on body " + Show(body)); };
  FUZZ_EXPECT(got.status == kFound || got.status == kNotFound, ctx());
  if (got.status == kNotFound) {
    FUZZ_EXPECT(got.number.empty() && got.title.empty() && got.release_date.empty() &&
                    got.department.empty(),
                ctx() + " (not-found record with fields)");
  }
  for (const Text* field : {&got.number, &got.title, &got.release_date, &got.department}) {
    FUZZ_EXPECT(body.find(*field) != Text::npos, ctx() + " (field not from the body)");
    FUZZ_EXPECT(field->find('&') == Text::npos || ref::Find(*field, "&") == -1,
                ctx() + " (field holds its end marker)");
  }
  // Every row read, under the sanitizers: its fields are trimmed (a space may still end one
  // as a lead byte's second half), and the status word says the row's standing.
  const std::vector<kelvaro::ListedStandard> rows = kelvaro::ReadResultRows(body);
  for (const kelvaro::ListedStandard& row : rows) {
    for (const Text* field : {&row.number, &row.title, &row.release_date, &row.department,
                              &row.effective_date, &row.status}) {
      FUZZ_EXPECT(field->empty() || (field->front() != ' ' && field->front() != '\n'),
                  ctx() + " (row field not trimmed)");
    }
    FUZZ_EXPECT((row.standing == kelvaro::Standing::kCurrent) == (row.status == kFound),
                ctx() + " (standing and word disagree)");
  }
  // The whole page: the same rows, at least one page, rows only on a result page.
  const kelvaro::PageRecords page = kelvaro::NationalSitePages().ReadPage(body);
  FUZZ_EXPECT(page.listed.size() == rows.size(), ctx() + " (ReadPage's rows differ)");
  FUZZ_EXPECT(page.page_count >= 1, ctx() + " (page count below 1)");
  FUZZ_EXPECT(page.kind == kelvaro::PageKind::kResults || page.listed.empty(),
              ctx() + " (rows on a page that is no result page)");
  return 0;
}
