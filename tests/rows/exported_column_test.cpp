// The number column of a table Kelvaro exported, read back from .csv or .xlsx.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/readers/pieces.h"
#include "document/readers/read_document.h"
#include "rows/import.h"
#include "support/office_builder.h"

namespace kelvaro {
namespace {

TEST(ExportedNumberColumnTest, TakesTheNumberColumnOfAnExportedTable) {
  const Bytes csv = test::AsBytes(
      "\xEF\xBB\xBF序号,待查标准编号,是否现行\r\n1,GB 50016-2014,现行\r\n2,,\r\n3,'=GB 1,\r\n");
  std::vector<TextPiece> cells;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(ReadDocument(csv, DocumentKind::kCsv, cells, error));
  const auto column = ExportedNumberColumn(cells);
  ASSERT_TRUE(column.has_value());
  EXPECT_EQ(test::Describe(*column), "第 2 行第 2 列=GB 50016-2014;第 4 行第 2 列==GB 1;");

  const Bytes xlsx = test::BuildXlsx(
      {{"结果",
        test::SheetRow(1, test::InlineCell("A1", "序号") + test::InlineCell("B1", "待查标准编号")) +
            test::SheetRow(
                2, test::NumberCell("A2", "1") + test::InlineCell("B2", "GB/T 50001-2017"))},
       {"其他", test::SheetRow(3, test::InlineCell("B3", "GB 9"))}},
      {});
  ASSERT_TRUE(ReadDocument(xlsx, DocumentKind::kXlsx, cells, error));
  const auto sheet_column = ExportedNumberColumn(cells);
  ASSERT_TRUE(sheet_column.has_value());
  EXPECT_EQ(test::Describe(*sheet_column), "结果!B2=GB/T 50001-2017;");
}

TEST(ExportedNumberColumnTest, NothingForOtherTables) {
  std::vector<TextPiece> cells;
  DocumentError error = DocumentError::kNone;
  for (const char* csv : {"编号,名称\r\nGB 1,x\r\n", "待查标准编号\r\nGB 1\r\n", ""}) {
    ASSERT_TRUE(ReadDocument(test::AsBytes(csv), DocumentKind::kCsv, cells, error));
    EXPECT_FALSE(ExportedNumberColumn(cells).has_value()) << csv;
  }
  ASSERT_TRUE(
      ReadDocument(test::AsBytes("序号\n待查标准编号\n"), DocumentKind::kText, cells, error));
  EXPECT_FALSE(ExportedNumberColumn(cells).has_value());
}

}  // namespace
}  // namespace kelvaro
