#include "query/report.h"

#include <string>
#include <utility>
#include <vector>

#include "query/number.h"
#include "rows/reason.h"
#include "text/encoding.h"

namespace kelvaro {

namespace {

const Text kEntryEnd = "\r\n\r\n";
const Text kUnknownState = "\xD7\xB4\xCC\xAC\xCE\xB4\xD6\xAA";  // 状态未知
// 请查看查询结果网页：
const Text kSeeResultPage =
    "\xC7\xEB\xB2\xE9\xBF\xB4\xB2\xE9\xD1\xAF\xBD\xE1\xB9\xFB\xCD\xF8\xD2\xB3\xA3\xBA";
const Text kStateCurrent =
    "\xB1\xEA\xD7\xBC\xD7\xB4\xCC\xAC\xA3\xBA\xCF\xD6\xD0\xD0";  // 标准状态：现行
const Text kStateUnknown =
    "\xB1\xEA\xD7\xBC\xD7\xB4\xCC\xAC\xA3\xBA\xCE\xB4\xD6\xAA";             // 标准状态：未知
const Text kNumberLabel = "\xB1\xEA\xD7\xBC\xB1\xE0\xBA\xC5\xA3\xBA";       // 标准编号：
const Text kTitleLabel = "\xB1\xEA\xD7\xBC\xC3\xFB\xB3\xC6\xA3\xBA";        // 标准名称：
const Text kLatestLabel = "\xD7\xEE\xD0\xC2\xB1\xEA\xD7\xBC\xA3\xBA";       // 最新标准：
const Text kReleaseDateLabel = "\xB7\xA2\xB2\xBC\xC8\xD5\xC6\xDA\xA3\xBA";  // 发布日期：
const Text kDepartmentLabel = "\xB7\xA2\xB2\xBC\xB2\xBF\xC3\xC5\xA3\xBA";   // 发布部门：
// 查询结果网页：
const Text kResultPageLabel = "\xB2\xE9\xD1\xAF\xBD\xE1\xB9\xFB\xCD\xF8\xD2\xB3\xA3\xBA";

}  // namespace

TextList ReportEntries(const CurrentStandardRecord& record, const Text& address,
                       const Text& cleaned_number) {
  return ReportEntriesOf(record, address, YearTailsEqual(record.number, cleaned_number));
}

TextList ReportEntriesOf(const CurrentStandardRecord& record, const Text& address, bool current) {
  TextList entries;
  auto add = [&entries](const Text& line) { entries.push_back(line + kEntryEnd); };
  if (record.status != kRecordCurrent) {
    add(kUnknownState);
    add(kSeeResultPage + address);
  } else if (current) {
    add(kStateCurrent);
    add(kNumberLabel + record.number);
    add(kTitleLabel + record.title);
    add(kResultPageLabel + address);
  } else {
    add(kStateUnknown);
    add(kLatestLabel + record.number);
    add(kTitleLabel + record.title);
    add(kReleaseDateLabel + record.release_date);
    add(kDepartmentLabel + record.department);
    add(kResultPageLabel + address);
  }
  return entries;
}

Text NoteEntry(const Judgement& judgement) {
  std::vector<std::string> parts;
  if (SpecOf(judgement.verdict).reason_in_report) {
    parts.push_back(ReasonDescription(judgement.reason));
  }
  for (std::string& line : NoteLines(judgement.notes)) parts.push_back(std::move(line));
  if (parts.empty()) return {};
  std::string note = "说明：";
  for (std::size_t i = 0; i < parts.size(); ++i) note.append(i > 0 ? "；" : "").append(parts[i]);
  return Utf8ToGbk(note) + kEntryEnd;
}

Text ReportText(const CurrentStandardRecord& record, const Text& address,
                const Text& cleaned_number) {
  Text text = "\r\n";
  for (const Text& entry : ReportEntries(record, address, cleaned_number)) text += entry;
  return text;
}

}  // namespace kelvaro
