#include "rows/export.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "rows/import.h"
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

// A current standard cited under another title says so once per title, naming the places
// when the row stands in several; a place citing the site's title or none is not named.
struct MiscitedCase {
  const char* name;
  std::string pasted;
  std::vector<std::string> lines;
};

class TitleMismatchTest : public ::testing::TestWithParam<MiscitedCase> {};

TEST_P(TitleMismatchTest, NamesThePlacesThatMiscite) {
  const std::vector<ImportedRow> imported = PastedRows(GetParam().pasted);
  ASSERT_EQ(imported.size(), 1u);
  RowStore::Row row;
  row.source = imported[0].source;
  row.judgement.verdict = Verdict::kCurrent;
  row.judgement.record.title = Utf8ToGbk("钢结构设计标准");
  row.judgement.notes.title_matches = false;
  EXPECT_EQ(TitleMismatchLines(row), GetParam().lines);
  // A row whose every title is the site's, or that was not checked, says nothing.
  row.judgement.notes.title_matches = true;
  EXPECT_TRUE(TitleMismatchLines(row).empty());
  row.judgement.notes.title_matches.reset();
  EXPECT_TRUE(TitleMismatchLines(row).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Places, TitleMismatchTest,
    ::testing::Values(
        MiscitedCase{"OnePlace",
                     "《钢结构设计规范》GB 50017-2017",
                     {"题名不符：引用《钢结构设计规范》，网站为《钢结构设计标准》"}},
        MiscitedCase{"TheSecondOfTwo",
                     "《钢结构设计标准》GB 50017-2017\n见《钢结构设计规范》GB 50017-2017",
                     {"题名不符：第 2 行引用《钢结构设计规范》，网站为《钢结构设计标准》"}},
        MiscitedCase{"AnUntitledPlaceIsNotNamed",
                     "GB 50017-2017\n《钢结构规范》GB 50017-2017\n《钢结构设计标准》GB 50017-2017",
                     {"题名不符：第 2 行引用《钢结构规范》，网站为《钢结构设计标准》"}},
        MiscitedCase{"TwoWrongTitles",
                     "《钢结构规范》GB 50017-2017\n《钢结构设计规范》GB 50017-2017\n"
                     "《钢结构规范》GB 50017-2017",
                     {"题名不符：第 1 行、第 3 行引用《钢结构规范》，网站为《钢结构设计标准》",
                      "题名不符：第 2 行引用《钢结构设计规范》，网站为《钢结构设计标准》"}},
        MiscitedCase{"ManyPlacesAreCounted",
                     "《钢结构规范》GB 50017-2017\n《钢结构规范》GB 50017-2017\n"
                     "《钢结构规范》GB 50017-2017\n《钢结构规范》GB 50017-2017 与《钢结构规范》"
                     "GB 50017-2017\n《钢结构设计标准》GB 50017-2017",
                     {"题名不符：第 1 行、第 2 行、第 3 行 等 4 处引用《钢结构规范》，"
                      "网站为《钢结构设计标准》"}}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
