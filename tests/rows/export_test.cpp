#include "rows/export.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

struct PlainRowCase {
  const char* name;
  const char* number;  // UTF-8, the number cell
  const char* line;    // UTF-8
};

KELVARO_PRINT_CASES_BY_NAME()

class PlainTextRowTest : public ::testing::TestWithParam<PlainRowCase> {};

// A cell's own tab or line break would add a column or a row in a spreadsheet.
TEST_P(PlainTextRowTest, KeepsFiveColumnsOnOneLine) {
  RowStore::Row row;
  row.cells = {"7", Utf8ToGbk(GetParam().number), Utf8ToGbk("现行"), "", ""};
  EXPECT_EQ(PlainTextRow(row), GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, PlainTextRowTest,
    ::testing::Values(PlainRowCase{"Plain", "GB 1-2010", "7\tGB 1-2010\t现行\t\t"},
                      PlainRowCase{"Tab", "GB\t1-2010", "7\tGB 1-2010\t现行\t\t"},
                      PlainRowCase{"LineBreaks", "GB\r\n1-2010\r", "7\tGB  1-2010 \t现行\t\t"},
                      PlainRowCase{"Chinese", "建标 1-2010", "7\t建标 1-2010\t现行\t\t"}),
    test::CaseName());

// 序号 written as numbers sorts 1, 2, ... 10; the status cell carries the fill.
TEST(ExportSheet, NumbersTheOrdinalAndFillsTheStatus) {
  RowStore::Row row;
  row.cells = {"10", "GB 1-2010", Utf8ToGbk("现行"), "", ""};
  row.judgement.verdict = Verdict::kCurrent;
  const XlsxSheet sheet = ExportSheet({row});
  EXPECT_EQ(sheet.name, "查询结果");
  ASSERT_EQ(sheet.rows.size(), 1u);
  EXPECT_EQ(sheet.header.at(static_cast<std::size_t>(sheet.number_column)), "序号");
  EXPECT_EQ(sheet.rows[0].at(static_cast<std::size_t>(sheet.number_column)), "10");
  EXPECT_EQ(sheet.header.at(static_cast<std::size_t>(sheet.fill_column)), "是否现行");
  EXPECT_EQ(sheet.row_fills, std::vector<CellFill>{CellFill::kLightGreen});
}

}  // namespace
}  // namespace kelvaro
