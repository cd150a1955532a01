#include "rows/status.h"

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace kelvaro {
namespace {

TEST(StatusTable, WordsMatchTheirReadableSpellingAndReadBack) {
  EXPECT_EQ(StatusWord(Status::kCurrent), Gbk(u8"现行"));
  EXPECT_EQ(StatusWord(Status::kSuperseded), Gbk(u8"有新标准"));
  EXPECT_EQ(StatusWord(Status::kUnknown), Gbk(u8"未知"));
  for (const StatusSpec& spec : Statuses()) {
    EXPECT_EQ(StatusOfCell(spec.word), spec.status) << GbkToUtf8(spec.word);
  }
}

TEST(StatusTable, OnlyTheWholeWordIsAStatus) {
  EXPECT_EQ(StatusOfCell(Text()), Status::kNone);
  EXPECT_EQ(StatusOfCell(StatusWord(Status::kCurrent) + " "), Status::kNone);
  EXPECT_EQ(StatusOfCell(Gbk(u8"未找到现行")), Status::kNone);
  EXPECT_TRUE(StatusWord(Status::kNone).empty());
}

}  // namespace
}  // namespace kelvaro
