#include "document/cell_name.h"

#include <gtest/gtest.h>

namespace kelvaro {
namespace {

TEST(CellName, LettersCountFromOneAsExcelWritesThem) {
  EXPECT_EQ(ColumnName(1), "A");
  EXPECT_EQ(ColumnName(26), "Z");
  EXPECT_EQ(ColumnName(27), "AA");
  EXPECT_EQ(ColumnName(702), "ZZ");
  EXPECT_EQ(ColumnName(703), "AAA");
  EXPECT_EQ(ColumnName(16384), "XFD");
  EXPECT_EQ(CellName(3, 5), "C5");
  EXPECT_EQ(CellName(16384, 1048576), "XFD1048576");
}

}  // namespace
}  // namespace kelvaro
