#include "query/report.h"

#include <gtest/gtest.h>

#include "query/number.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

const Text kAddress = "http://127.0.0.1:8765/s.jsp?keyword=GBT50001&pageNum=1";

CurrentStandardRecord Found(const char8_t* number) {
  CurrentStandardRecord r;
  r.number = Gbk(number);
  r.title = Gbk(u8"房屋建筑制图统一标准");
  r.release_date = "2017-09-27";
  r.department = Gbk(u8"住房和城乡建设部");
  r.status = Gbk(u8"现行");
  return r;
}

TEST(Report, NotFoundHasTwoEntries) {
  CurrentStandardRecord r;
  r.status = Gbk(u8"未找到现行");
  const TextList entries = ReportEntries(r, kAddress, "GBT500012010");
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], Gbk(u8"状态未知\r\n\r\n"));
  EXPECT_EQ(entries[1], Gbk(u8"请查看查询结果网页：") + kAddress + "\r\n\r\n");
  EXPECT_EQ(ReportText(r, kAddress, "GBT500012010"), "\r\n" + entries[0] + entries[1]);
}

TEST(Report, AnyStatusButCurrentIsNotFound) {
  CurrentStandardRecord r = Found(u8"GB/T 50001-2010");
  r.status = Gbk(u8"未知");
  EXPECT_EQ(ReportEntries(r, kAddress, "GBT500012010").size(), 2u);
  r.status.clear();
  EXPECT_EQ(ReportEntries(r, kAddress, "GBT500012010").size(), 2u);
}

TEST(Report, SameYearHasFourEntries) {
  const CurrentStandardRecord r = Found(u8"GB/T 50001-2010");
  const Text expected =
      Gbk(u8"\r\n"
          u8"标准状态：现行\r\n\r\n"
          u8"标准编号：GB/T 50001-2010\r\n\r\n"
          u8"标准名称：房屋建筑制图统一标准\r\n\r\n"
          u8"查询结果网页：http://127.0.0.1:8765/s.jsp?keyword=GBT50001&pageNum=1\r\n\r\n");
  EXPECT_EQ(ReportText(r, kAddress, "GBT500012010"), expected);
  EXPECT_EQ(ReportEntries(r, kAddress, "GBT500012010").size(), 4u);
}

TEST(Report, FullWidthSpacesInTheNumberAreIgnoredForTheYear) {
  CurrentStandardRecord r = Found(u8"GB/T　50001-20　10");
  const TextList entries = ReportEntries(r, kAddress, "GBT500012010");
  ASSERT_EQ(entries.size(), 4u);
  // The number is shown as parsed, spaces included.
  EXPECT_EQ(entries[1], Gbk(u8"标准编号：GB/T　50001-20　10\r\n\r\n"));
}

// The worked example: GB/T50001-2010 typed, the page's current row is GB/T 50001-2017.
TEST(Report, OtherYearHasSixEntries) {
  Text number = "GB/T50001-2010";
  const Text keyword = NormalizeNumber(number);
  ASSERT_EQ(keyword, "GBT50001");
  const Text address = "http://127.0.0.1:8765/s.jsp?keyword=" + keyword + "&pageNum=1";
  const CurrentStandardRecord r = Found(u8"GB/T 50001-2017");
  const Text expected =
      Gbk(u8"\r\n"
          u8"标准状态：未知\r\n\r\n"
          u8"最新标准：GB/T 50001-2017\r\n\r\n"
          u8"标准名称：房屋建筑制图统一标准\r\n\r\n"
          u8"发布日期：2017-09-27\r\n\r\n"
          u8"发布部门：住房和城乡建设部\r\n\r\n"
          u8"查询结果网页：http://127.0.0.1:8765/s.jsp?keyword=GBT50001&pageNum=1\r\n\r\n");
  EXPECT_EQ(ReportText(r, address, number), expected);
  EXPECT_EQ(ReportEntries(r, address, number).size(), 6u);
}

TEST(Report, EarlierYearIsReportedLikeALaterOne) {
  const TextList entries = ReportEntries(Found(u8"GB/T 50001-2001"), kAddress, "GBT500012010");
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[0], Gbk(u8"标准状态：未知\r\n\r\n"));
  EXPECT_EQ(entries[1], Gbk(u8"最新标准：GB/T 50001-2001\r\n\r\n"));
}

TEST(Report, EmptyFieldsStillMakeTheirEntries) {
  CurrentStandardRecord r;
  r.status = Gbk(u8"现行");
  // Cleaned number and found number both empty: the tails are equal.
  EXPECT_EQ(ReportText(r, "A", ""), Gbk(u8"\r\n标准状态：现行\r\n\r\n标准编号：\r\n\r\n标准名称：\r"
                                        u8"\n\r\n查询结果网页：A\r\n\r\n"));
  EXPECT_EQ(ReportText(r, "A", "GB1"),
            Gbk(u8"\r\n标准状态：未知\r\n\r\n最新标准：\r\n\r\n标准名称：\r\n\r\n发布日期：\r\n\r\n"
                u8"发布部门：\r\n\r\n查询结果网页：A\r\n\r\n"));
}

}  // namespace
}  // namespace kelvaro
