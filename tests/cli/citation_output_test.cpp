// What `extract` prints and a row's source in JSON, in process.
#include "cli/citation_output.h"
#include "support/named_case.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kelvaro::cli {
namespace {

Location At(Location::Kind kind) {
  Location at;
  at.kind = kind;
  return at;
}

struct LocationCase {
  std::string name;
  Location location;
  std::string json;
};

KELVARO_PRINT_CASES_BY_NAME()

class LocationObjects : public ::testing::TestWithParam<LocationCase> {};

TEST_P(LocationObjects, NameOnlyWhatTheKindHas) {
  EXPECT_EQ(LocationJson(GetParam().location), GetParam().json);
}

Location Filled(Location::Kind kind) {
  Location at = At(kind);
  at.line = 3, at.paragraph = 4, at.table = 1, at.row = 7, at.column = 2, at.page = 5;
  at.sheet = "设计\"依据";
  at.cell = "B7";
  at.part = Location::Part::kHeader;
  return at;
}

Location RunningHeader() {
  Location at = Filled(Location::Kind::kPart);
  at.paragraph = 0;
  return at;
}

Location CaptionedUnderHeading() {
  Location at = Filled(Location::Kind::kTableCell);
  at.heading = "3 设计依据";
  at.under_heading = 2;
  at.caption = "表 2 主要规范";
  return at;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LocationObjects,
    ::testing::Values(
        LocationCase{"None", Filled(Location::Kind::kNone), "{}"},
        LocationCase{"Line", Filled(Location::Kind::kLine), "{\"line\": 3}"},
        LocationCase{"Paragraph", Filled(Location::Kind::kParagraph), "{\"paragraph\": 4}"},
        LocationCase{"TableCell", Filled(Location::Kind::kTableCell),
                     "{\"table\": 1, \"row\": 7, \"column\": 2}"},
        LocationCase{"SheetCell", Filled(Location::Kind::kSheetCell),
                     "{\"sheet\": \"设计\\\"依据\", \"cell\": \"B7\"}"},
        LocationCase{"CsvCell", Filled(Location::Kind::kCsvCell), "{\"row\": 7, \"column\": 2}"},
        LocationCase{"Page", Filled(Location::Kind::kPage), "{\"page\": 5, \"line\": 3}"},
        LocationCase{"Part", Filled(Location::Kind::kPart),
                     "{\"part\": \"页眉\", \"paragraph\": 4}"},
        LocationCase{"RunningHeader", RunningHeader(), "{\"part\": \"页眉\"}"},
        LocationCase{"CaptionedUnderHeading", CaptionedUnderHeading(),
                     "{\"table\": 1, \"row\": 7, \"column\": 2, \"caption\": \"表 2 主要规范\", "
                     "\"heading\": \"3 设计依据\", \"under_heading\": 2}"}),
    test::CaseName());

// A citation from a sheet whose name holds a tab, with a title a spreadsheet would run.
ImportedRow SheetRow() {
  ImportedRow row;
  Citation c;
  c.number = "GB 50016";
  c.code = "GB";
  c.serial = "50016";
  c.title = "=HYPERLINK(1)";
  c.written = "《=HYPERLINK(1)》GB 50016";
  row.source.citation = c;
  row.source.location = At(Location::Kind::kSheetCell);
  row.source.location.sheet = "a\tb";
  row.source.location.cell = "C2";
  return row;
}

TEST(Citations, TablesWriteEachCellDefensivelyAndNoYearAsEmpty) {
  const std::vector<ImportedRow> rows = {SheetRow()};
  EXPECT_EQ(FormatCitations(Format::kTsv, rows),
            "序号\t标准编号\t代号\t顺序号\t年份\t完整年份\t版次\t修改单\t题名\t原文\t出处\n"
            "1\tGB 50016\tGB\t50016\t\t\t\t\t=HYPERLINK(1)\t《=HYPERLINK(1)》GB 50016\ta\\tb!C2\n");
  EXPECT_EQ(FormatCitations(Format::kCsv, rows),
            "\xEF\xBB\xBF序号,标准编号,代号,顺序号,年份,完整年份,版次,修改单,题名,原文,出处\r\n"
            "1,GB 50016,GB,50016,,,,,'=HYPERLINK(1),《=HYPERLINK(1)》GB 50016,a\tb!C2\r\n");
}

}  // namespace
}  // namespace kelvaro::cli
