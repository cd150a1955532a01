#include "support/literal_parser.h"

namespace kelvaro::test {

CurrentStandardRecord ParseResultPageLiteral(const Text& body_text) {
  const Text& m = kCurrentCell;
  CurrentStandardRecord record;
  if (FindText(body_text, m, 1, false) == -1) {
    record.status = kRecordNotFound;
    return record;
  }
  Text row = TextBetween(body_text, "<tr bgcolor=", m, 1, false) + m;
  while (FindText(row, "bgcolor", 1, false) != -1) {
    row = TextBetween(row, "<tr bgcolor=", m, 1, false) + m;
  }
  record.number = TextBetween(row, "\xB1\xE0\xBA\xC5\xA3\xBA", "&", 1, false);  // 编号：
  record.title = TextBetween(row, "\xB1\xEA\xCC\xE2\xA3\xBA", "&", 1, false);   // 标题：
  // 发布日期：
  record.release_date = TextBetween(row, "\xB7\xA2\xB2\xBC\xC8\xD5\xC6\xDA\xA3\xBA", "&", 1, false);
  // 发布部门：
  record.department = TextBetween(row, "\xB7\xA2\xB2\xBC\xB2\xBF\xC3\xC5\xA3\xBA", "&", 1, false);
  record.status = "\xCF\xD6\xD0\xD0";  // 现行
  return record;
}

}  // namespace kelvaro::test
