// A place in words, as every output gives it.
#include "document/location.h"

#include <gtest/gtest.h>

#include <string>

#include "support/named_case.h"

namespace kelvaro {
namespace {

struct WordsCase {
  std::string name;
  Location location;
  std::string words;
};
KELVARO_PRINT_CASES_BY_NAME()

class LocationWordsTest : public testing::TestWithParam<WordsCase> {};

TEST_P(LocationWordsTest, SaysWhereInChinese) {
  EXPECT_EQ(LocationWords(GetParam().location), GetParam().words);
}

Location At(Location::Kind kind, int a, int b = 0, int c = 0) {
  Location l;
  l.kind = kind;
  l.line = l.paragraph = l.page = a;
  l.table = a;
  l.row = b;
  l.column = c;
  if (kind == Location::Kind::kCsvCell) {
    l.row = a;
    l.column = b;
  }
  return l;
}

Location Sheet() {
  Location l;
  l.kind = Location::Kind::kSheetCell;
  l.sheet = "设计依据";
  l.cell = "C5";
  return l;
}

Location Part(int paragraph, Location::Part part = Location::Part::kHeader) {
  Location l;
  l.kind = Location::Kind::kPart;
  l.part = part;
  l.paragraph = paragraph;
  return l;
}

// A Word body's place under a heading, or in a table with a caption.
Location Under(Location l, int under, const char* caption = "") {
  l.heading = "3 设计依据";
  l.under_heading = under;
  l.caption = caption;
  return l;
}

Location Item(Location l, const char* item) {
  l.item = item;
  return l;
}

Location BelowHeader(Location l) {
  l.below_header = true;
  return l;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LocationWordsTest,
    testing::Values(
        WordsCase{"None", Location{}, ""},
        WordsCase{"Line", At(Location::Kind::kLine, 3), "第 3 行"},
        WordsCase{"Paragraph", At(Location::Kind::kParagraph, 12), "第 12 段"},
        WordsCase{"TableCell", At(Location::Kind::kTableCell, 2, 3, 4), "表 2 第 3 行第 4 列"},
        WordsCase{"SheetCell", Sheet(), "设计依据!C5"},
        WordsCase{"CsvCell", At(Location::Kind::kCsvCell, 7, 2), "第 7 行第 2 列"},
        WordsCase{"PageAndLine", At(Location::Kind::kPage, 5), "第 5 页第 5 行"},
        WordsCase{"Part", Part(2), "页眉第 2 段"}, WordsCase{"RunningHeader", Part(0), "页眉"},
        WordsCase{"RunningFooter", Part(0, Location::Part::kFooter), "页脚"},
        WordsCase{"Footnote", Part(1, Location::Part::kFootnote), "脚注第 1 段"},
        WordsCase{"Endnote", Part(3, Location::Part::kEndnote), "尾注第 3 段"},
        WordsCase{"Heading", Under(At(Location::Kind::kParagraph, 12), 0), "3 设计依据"},
        WordsCase{"UnderHeading", Under(At(Location::Kind::kParagraph, 12), 2),
                  "3 设计依据 › 第 2 段"},
        WordsCase{"TableUnderHeading", Under(At(Location::Kind::kTableCell, 4, 3, 2), 1),
                  "3 设计依据 › 表 1 第 3 行第 2 列"},
        WordsCase{"TableWithCaption",
                  Under(At(Location::Kind::kTableCell, 4, 6, 3), 1, "表 2 主要规范"),
                  "表 2 主要规范 › 第 6 行第 3 列"},
        WordsCase{"ListItem", Item(Under(At(Location::Kind::kParagraph, 20), 19), "（19）"),
                  "3 设计依据 › （19）"},
        WordsCase{"ListItemWithoutHeading", Item(At(Location::Kind::kParagraph, 20), "19、"),
                  "第 20 段"},
        WordsCase{"HeadingIsNoItem", Item(Under(At(Location::Kind::kParagraph, 20), 0), "3"),
                  "3 设计依据"},
        WordsCase{"RowBelowTheHeader", BelowHeader(At(Location::Kind::kTableCell, 1, 5, 3)),
                  "表 1 第 5 行第 3 列（不计表头）"},
        WordsCase{"TheHeaderRow", BelowHeader(At(Location::Kind::kTableCell, 1, 0, 2)),
                  "表 1 表头第 2 列"},
        WordsCase{"CaptionedRowBelowTheHeader",
                  BelowHeader(Under(At(Location::Kind::kTableCell, 4, 5, 3), 1, "表 2 主要规范")),
                  "表 2 主要规范 › 第 5 行第 3 列（不计表头）"}),
    test::CaseName());

struct ItemCase {
  const char* text;
  const char* item;
};

TEST(ListItemNumber, TakesTheNumberAParagraphBeginsWith) {
  const ItemCase cases[] = {
      {"（19）按 GB 50016-2014", "（19）"},
      {"(19) text", "(19)"},
      {"19) text", "19)"},
      {"19）text", "19）"},
      {"19、text", "19、"},
      {"\u3000 （1）a", "（1）"},
      {"1. text", ""},
      {"2019、text", ""},
      {"(19 text", ""},
      {"（19)text", ""},
      {"()text", ""},
      {"GB 50016", ""},
      {"", ""},
      {"（", ""},
      {"123、a", "123、"},
      {"1234)", ""},
  };
  for (const ItemCase& c : cases) EXPECT_EQ(ListItemNumber(c.text), c.item) << c.text;
}

}  // namespace
}  // namespace kelvaro
