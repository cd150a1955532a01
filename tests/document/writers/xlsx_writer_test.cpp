// The workbook as openpyxl, a reader written by others, sees it.
#include "document/writers/xlsx_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <nlohmann/json.hpp>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "document/readers/read_document.h"
#include "support/named_case.h"
#include "support/openpyxl_read.h"

namespace kelvaro {
namespace {

using nlohmann::json;

json ReadBack(const Bytes& bytes) { return test::OpenpyxlRead(bytes); }

json ReadBack(const XlsxSheet& sheet) { return ReadBack(WriteXlsx(sheet).bytes); }

std::string Times(const std::string& piece, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += piece;
  return out;
}

// ---- Cell texts ----------------------------------------------------------------------

struct TextCase {
  const char* name;
  std::string text;
  std::string read;  // what a reader gets back
};

KELVARO_PRINT_CASES_BY_NAME()

const std::vector<TextCase>& TextCases() {
  static const std::vector<TextCase> cases = {
      {"Formula", "=1+1", "=1+1"},
      {"FormulaSigns", "+A1 @SUM(A1) -1", "+A1 @SUM(A1) -1"},
      {"LeadingZero", "0123", "0123"},
      {"Date", "2014-08-27", "2014-08-27"},
      {"Decimal", "12.50", "12.50"},
      {"Exponent", "1E5", "1E5"},
      {"Percent", "50%", "50%"},
      {"Boolean", "TRUE", "TRUE"},
      {"SpacesAtEnds", "  GB 50001 ", "  GB 50001 "},
      {"OnlySpaces", "   ", "   "},
      {"TabAndLineBreaks", "a\tb\nc\r\nd\re", "a\tb\nc\r\nd\re"},
      {"ControlCharacters",
       std::string("\x01"
                   "a\x1F\x0B"
                   "b\0c",
                   7),
       std::string("\x01"
                   "a\x1F\x0B"
                   "b\0c",
                   7)},
      {"LiteralEscape", "_x0041_", "_x0041_"},
      {"LowerCaseEscape", "x_x00e9_y", "x_x00e9_y"},
      {"EscapedEscape", "_x005F_x0041_", "_x005F_x0041_"},
      {"NoEscape", "_x00G1_ _x12_ _x0041", "_x00G1_ _x12_ _x0041"},
      {"Markup", "<b>&amp;</b> ]]> \"'", "<b>&amp;</b> ]]> \"'"},
      {"Chinese", "建筑制图标准 GB/T 50001-2010", "建筑制图标准 GB/T 50001-2010"},
      {"Emoji", "现行😀", "现行😀"},
      {"NonCharacter", "a\uFFFEb", "a\uFFFEb"},
      {"InvalidByte",
       "a\xFF"
       "b",
       "a\uFFFDb"},
      {"TruncatedSequence", "\xE4\xB8", "\uFFFD"},
      {"Overlong", "\xC0\xAF", "\uFFFD\uFFFD"},
      {"Surrogate", "\xED\xA0\x80", "\uFFFD\uFFFD\uFFFD"},
      {"TooLong", std::string(40000, 'a'), std::string(32767, 'a')},
      {"TooLongChinese", Times("标", 33000), Times("标", 32767)},
      // An emoji takes two of Excel's units: the cut never splits it.
      {"CutBeforeEmoji", std::string(32766, 'a') + "😀b", std::string(32766, 'a')},
  };
  return cases;
}

// All cases in one workbook, row i + 2 holding case i, read once.
class XlsxTextTest : public ::testing::TestWithParam<TextCase> {
 protected:
  static void SetUpTestSuite() {
    XlsxSheet sheet{"查询结果", {"文本"}, {}, -1, {}, -1, -1, {}};
    for (const TextCase& c : TextCases()) sheet.rows.push_back({c.text});
    read_ = new json(ReadBack(sheet));
  }
  static void TearDownTestSuite() {
    delete read_;
    read_ = nullptr;
  }
  static const json& Cell(const TextCase& c) {
    std::size_t row = 1;
    while (TextCases()[row - 1].name != c.name) ++row;
    return (*read_)["rows"][row][0];
  }
  static json* read_;
};

json* XlsxTextTest::read_ = nullptr;

TEST_P(XlsxTextTest, ReadsBackAsTheSameText) {
  const json& cell = Cell(GetParam());
  EXPECT_EQ(cell["type"], "s");
  EXPECT_EQ(cell["format"], "@");
  EXPECT_EQ(cell["value"], GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(Texts, XlsxTextTest, ::testing::ValuesIn(TextCases()), test::CaseName());

TEST(XlsxWriterTest, NoFormulaAndEveryEdgeSpaceKept) {
  XlsxSheet sheet{"查询结果", {" 序号"}, {{"=SUM(1)"}, {"a "}, {"\tb"}, {"c\n"}}, -1, {}, -1,
                  -1,         {}};
  const json read = ReadBack(sheet);
  EXPECT_EQ(read["formulas"], 0);
  EXPECT_EQ(read["unpreserved"], json::array());
}

// ---- The sheet: name, header, filter, fills, parts -----------------------------------

class XlsxResultSheetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    XlsxSheet sheet;
    sheet.name = "查询结果";
    sheet.header = {"序号", "标准编号", "标准名称", "状态", "新标准"};
    sheet.rows = {{"1", "GB/T 50001-2010", "房屋建筑制图统一标准", "现行", ""},
                  {"2", "GB 50009-2001", "建筑结构荷载规范", "有新标准", "GB 50009-2012"},
                  {"3", "GB 1-1900", "", "未知", ""},
                  {"4", "GB 2-1900", "", "", ""}};
    sheet.fill_column = 3;
    sheet.row_fills = {CellFill::kLightGreen, CellFill::kAmber, CellFill::kGrey};
    read_ = new json(ReadBack(sheet));
  }
  static void TearDownTestSuite() {
    delete read_;
    read_ = nullptr;
  }
  static const json& Read() { return *read_; }
  static json* read_;
};

json* XlsxResultSheetTest::read_ = nullptr;

TEST_F(XlsxResultSheetTest, OneSheetWithItsName) {
  EXPECT_EQ(Read()["sheets"], json::array({"查询结果"}));
}

TEST_F(XlsxResultSheetTest, HeaderFrozenBoldAndFiltered) {
  EXPECT_EQ(Read()["freeze_panes"], "A2");
  EXPECT_EQ(Read()["auto_filter"], "A1:E5");
  EXPECT_EQ(Read()["defined_names"], json::parse(R"([{"name": "_xlnm._FilterDatabase", "sheet": "0",
                             "text": "'查询结果'!$A$1:$E$5"},
                            {"name": "_xlnm.Print_Titles", "sheet": "0",
                             "text": "'查询结果'!$1:$1"}])"));
  const json& rows = Read()["rows"];
  ASSERT_EQ(rows.size(), 5u);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (const json& cell : rows[r]) EXPECT_EQ(cell["bold"], r == 0) << cell;
  }
  EXPECT_EQ(rows[0][2]["value"], "标准名称");
}

TEST_F(XlsxResultSheetTest, OnlyTheFillColumnIsColouredByRow) {
  const json& rows = Read()["rows"];
  const json expected[] = {nullptr, "FFC6EFCE", "FFFFC000", "FFD9D9D9", nullptr};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      EXPECT_EQ(rows[r][c]["fill"], c == 3 ? expected[r] : json(nullptr)) << r << "," << c;
    }
  }
}

TEST(XlsxFills, EveryFillReadsBackInItsColour) {
  const CellFill fills[] = {CellFill::kLightGreen, CellFill::kAmber,     CellFill::kGrey,
                            CellFill::kRose,       CellFill::kLightBlue, CellFill::kViolet};
  XlsxSheet sheet;
  sheet.name = "s";
  sheet.header = {"a"};
  sheet.fill_column = 0;
  for (const CellFill fill : fills) {
    sheet.rows.push_back({"x"});
    sheet.row_fills.push_back(fill);
  }
  const json rows = ReadBack(sheet)["rows"];
  ASSERT_EQ(rows.size(), std::size(fills) + 1);
  std::set<std::string> seen;
  for (std::size_t i = 0; i < std::size(fills); ++i) {
    char argb[9];
    std::snprintf(argb, sizeof argb, "FF%06X", static_cast<unsigned>(*FillRgb(fills[i])));
    EXPECT_EQ(rows[i + 1][0]["fill"], argb) << i;
    EXPECT_TRUE(seen.insert(argb).second) << argb;
  }
}

TEST_F(XlsxResultSheetTest, PartsHaveTheirContentTypes) {
  const std::string ml = "application/vnd.openxmlformats-officedocument.spreadsheetml.";
  EXPECT_EQ(Read()["parts"], json({{"/xl/workbook.xml", ml + "sheet.main+xml"},
                                   {"/xl/worksheets/sheet1.xml", ml + "worksheet+xml"},
                                   {"/xl/styles.xml", ml + "styles+xml"},
                                   {"/xl/sharedStrings.xml", ml + "sharedStrings+xml"}}));
  EXPECT_EQ(Read()["defaults"],
            json({{"rels", "application/vnd.openxmlformats-package.relationships+xml"},
                  {"xml", "application/xml"}}));
  EXPECT_EQ(Read()["members"].front(), "[Content_Types].xml");
  EXPECT_EQ(Read()["dates"], json::array({"1980-01-01 00:00:00"}));
}

// ---- On paper ------------------------------------------------------------------------

struct PrintCase {
  const char* name;
  std::vector<int> widths;  // one column per entry, its one cell this many digits wide
  XlsxPrintInfo print;
  json setup;  // the first sheet's page setup as read back
  json header;
  json footer;
};

const XlsxPrintInfo kPrinted{"设计说明 R&D.docx", "2026-12-11", "http://127.0.0.1:8765"};
constexpr char kPageFooter[] = "&R第 &P 页 共 &N 页";

const std::vector<PrintCase>& PrintCases() {
  const auto setup = [](const char* orientation, json fit, json scale) {
    return json{{"orientation", orientation},
                {"fit_to_page", fit},
                {"fit_to_width", fit == true ? json(1) : json(nullptr)},
                {"fit_to_height", fit == true ? json(0) : json(nullptr)},
                {"title_rows", "$1:$1"},
                {"paper_size", 9},
                {"scale", scale}};
  };
  const std::string header = "&L设计说明 R&&D.docx&R核查日期 2026-12-11";
  const std::string footer = std::string("&L查询网站 http://127.0.0.1:8765") + kPageFooter;
  static const std::vector<PrintCase> cases = {
      {"NarrowUpright", {4, 15, 10}, kPrinted, setup("portrait", true, nullptr), header, footer},
      // 5 columns of 38 + 2 digits: too wide upright, fitted across at about 72%.
      {"WideFittedAcross", std::vector<int>(5, 38), kPrinted, setup("landscape", true, nullptr),
       header, footer},
      // Nine columns held at 40 digits would print at 40%: across, at 70% on more pages.
      {"TooWideRunsOn", std::vector<int>(9, 300), kPrinted, setup("landscape", nullptr, 70), header,
       footer},
      {"NothingToSay", {4}, {}, setup("portrait", true, nullptr), nullptr, kPageFooter},
      {"LongOddName",
       {4},
       {std::string("\x1B") + "\a" + std::string(120, 'x'), "", "http://h"},
       setup("portrait", true, nullptr),
       "&L" + std::string(100, 'x') + "…",
       std::string("&L查询网站 http://h") + kPageFooter},
  };
  return cases;
}

class XlsxPrintTest : public ::testing::TestWithParam<PrintCase> {};

// Every sheet prints on A4 with its header row on each page, its wide texts wrapped in
// columns held at kXlsxMaxColumnWidth, and says what was checked, when, where, and which page.
TEST_P(XlsxPrintTest, PrintsReadably) {
  const PrintCase& c = GetParam();
  XlsxSheet sheet{"查询结果", {}, {{}}, -1, {}, -1, -1, {}};
  for (std::size_t i = 0; i < c.widths.size(); ++i) {
    sheet.header.push_back("h");
    sheet.rows[0].push_back(std::string(static_cast<std::size_t>(c.widths[i]), 'x'));
  }
  XlsxSheet changes = sheet;
  changes.name = "修改清单";
  const json read = ReadBack(WriteXlsx({sheet, changes}, c.print).bytes);
  EXPECT_EQ(read["print"], c.setup);
  for (const char* part : {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"}) {
    EXPECT_EQ(read["headers"][part], json({{"header", c.header}, {"footer", c.footer}})) << part;
  }
  for (std::size_t i = 0; i < c.widths.size(); ++i) {
    const std::string letter(1, static_cast<char>('A' + i));
    const bool wraps = c.widths[i] + 2 > kXlsxMaxColumnWidth;
    EXPECT_EQ(read["widths"][letter], wraps ? kXlsxMaxColumnWidth : c.widths[i] + 2) << letter;
    EXPECT_EQ(read["rows"][1][i]["wrap"], wraps) << letter;
    EXPECT_EQ(read["rows"][0][i]["wrap"], false) << letter;
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, XlsxPrintTest, ::testing::ValuesIn(PrintCases()), test::CaseName());

// ---- Numbers and links -----------------------------------------------------------------

struct NumberCase {
  const char* name;
  std::string text;
  json read;  // a number, or the text itself
};

const std::vector<NumberCase>& NumberCases() {
  static const std::vector<NumberCase> cases = {
      {"Whole", "12", 12},
      {"Zero", "0", 0},
      {"FifteenDigits", "123456789012345", 123456789012345},
      {"SixteenDigits", "1234567890123456", "1234567890123456"},
      {"LeadingZero", "007", "007"},
      {"Decimal", "1.5", "1.5"},
      {"Negative", "-3", "-3"},
      {"Spaced", " 12", " 12"},
      {"FullWidth", "１２", "１２"},
  };
  return cases;
}

class XlsxNumberTest : public ::testing::TestWithParam<NumberCase> {
 protected:
  static void SetUpTestSuite() {
    XlsxSheet sheet;
    sheet.header = {"序号", "文本"};
    sheet.number_column = 0;
    for (const NumberCase& c : NumberCases()) sheet.rows.push_back({c.text, c.text});
    read_ = new json(ReadBack(sheet));
  }
  static void TearDownTestSuite() {
    delete read_;
    read_ = nullptr;
  }
  static json* read_;
};

json* XlsxNumberTest::read_ = nullptr;

TEST_P(XlsxNumberTest, OnlyWholeNumbersOfTheNumberColumnAreNumbers) {
  std::size_t row = 1;
  while (NumberCases()[row - 1].name != GetParam().name) ++row;
  const json& cells = (*read_)["rows"][row];
  EXPECT_EQ(cells[0]["value"], GetParam().read);
  EXPECT_EQ(cells[0]["type"], GetParam().read.is_number() ? "n" : "s");
  EXPECT_EQ(cells[1]["value"], GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Numbers, XlsxNumberTest, ::testing::ValuesIn(NumberCases()),
                         test::CaseName());

TEST(XlsxLinks, LinkedCellsJumpToTheirPlaceAndLookLikeLinks) {
  XlsxSheet sheet;
  sheet.header = {"序号", "位置"};
  sheet.rows = {{"1", "第5行"}, {"2", "第6行"}, {"3", "第7行"}, {"4", ""}};
  sheet.link_column = 1;
  sheet.row_links = {"'设计依据'!C5", "", "'it''s'!A1", "'设计依据'!C9"};
  const json rows = ReadBack(sheet)["rows"];
  ASSERT_EQ(rows.size(), 5u);
  const json links[] = {nullptr, "'设计依据'!C5", nullptr, "'it''s'!A1", nullptr};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    EXPECT_EQ(rows[r][1]["link"], links[r]) << r;
    EXPECT_EQ(rows[r][1]["underline"], links[r].is_null() ? json(nullptr) : json("single")) << r;
    EXPECT_EQ(rows[r][0]["link"], nullptr) << r;
  }
}

// ---- Several sheets --------------------------------------------------------------------

TEST(XlsxSheets, InOrderTheFirstActiveNamesMadeUnique) {
  std::vector<XlsxSheet> sheets(5);
  const std::string names[] = {"结果", "结果", "Result", "RESULT", std::string(31, 'x')};
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    sheets[i].name = names[i];
    sheets[i].header = {"表" + std::to_string(i)};
  }
  sheets.push_back(sheets.back());
  const json read = ReadBack(WriteXlsx(sheets).bytes);
  const json expected = {"结果",       "结果 (2)",           "Result",
                         "RESULT (2)", std::string(31, 'x'), std::string(27, 'x') + " (2)"};
  EXPECT_EQ(read["sheets"], expected);
  EXPECT_EQ(read["active"], "结果");
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(read["values"][expected[i].get<std::string>()][0][0],
              "表" + std::to_string(std::min<std::size_t>(i, 4)));
  }
  // Each sheet's defined names stay on that sheet.
  ASSERT_EQ(read["defined_names"].size(), 2 * expected.size());
  for (std::size_t i = 0; i < read["defined_names"].size(); ++i) {
    const json& name = read["defined_names"][i];
    const std::string sheet = expected[i / 2];
    EXPECT_EQ(name["sheet"], std::to_string(i / 2));
    EXPECT_EQ(name["text"].get<std::string>().substr(0, sheet.size() + 3), "'" + sheet + "'!");
  }
}

TEST(XlsxSheets, NoSheetsNoWorkbook) {
  EXPECT_TRUE(WriteXlsx(std::vector<XlsxSheet>{}).bytes.empty());
}

TEST(XlsxSheets, OurReaderReadsEverySheet) {
  std::vector<XlsxSheet> sheets(2);
  sheets[0] = {"结果", {"序号", "编号"}, {{"1", "GB 1"}}, -1, {}, 0, -1, {}};
  sheets[1] = {"结果", {"位置"}, {{"A1"}}, -1, {}, -1, 0, {"'结果'!A1"}};
  std::vector<TextPiece> pieces;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(ReadDocument(WriteXlsx(sheets).bytes, DocumentKind::kXlsx, pieces, error));
  std::vector<std::string> read;
  for (const TextPiece& piece : pieces) read.push_back(piece.location.sheet + "!" + piece.text);
  // The number is a number, no text.
  EXPECT_EQ(read, (std::vector<std::string>{"结果!序号", "结果!编号", "结果!GB 1", "结果 (2)!位置",
                                            "结果 (2)!A1"}));
}

// ---- Column widths -------------------------------------------------------------------

struct WidthCase {
  const char* name;
  std::string header;
  std::vector<std::string> cells;
  double width;
};

// Widths count digits: the text's, two for the margin, two more in the header for its
// filter button.
const std::vector<WidthCase>& WidthCases() {
  static const std::vector<WidthCase> cases = {
      {"HeaderOnly", "序号", {}, 8},
      {"LongestCell", "No", {"GB/T 50001-2010", "GB 1"}, 17},
      {"ChineseCountsTwice", "", {"建筑制图标准"}, 14},
      {"FullWidthCountsTwice", "", {"ＡＢＣ"}, 8},
      {"LongestLine", "", {"ab\nabcdef\nabc"}, 8},
      {"Capped", "", {std::string(200, 'x')}, kXlsxMaxColumnWidth},
  };
  return cases;
}

// One column per case.
class XlsxWidthTest : public ::testing::TestWithParam<WidthCase> {
 protected:
  static void SetUpTestSuite() {
    XlsxSheet sheet{"查询结果", {}, {}, -1, {}, -1, -1, {}};
    const auto& cases = WidthCases();
    for (std::size_t c = 0; c < cases.size(); ++c) {
      sheet.header.push_back(cases[c].header);
      for (std::size_t r = 0; r < cases[c].cells.size(); ++r) {
        if (sheet.rows.size() <= r) sheet.rows.emplace_back(cases.size());
        sheet.rows[r][c] = cases[c].cells[r];
      }
    }
    read_ = new json(ReadBack(sheet));
  }
  static void TearDownTestSuite() {
    delete read_;
    read_ = nullptr;
  }
  static json* read_;
};

json* XlsxWidthTest::read_ = nullptr;

TEST_P(XlsxWidthTest, FitsTheTexts) {
  std::size_t column = 0;
  while (WidthCases()[column].name != GetParam().name) ++column;
  const std::string letter(1, static_cast<char>('A' + column));
  EXPECT_EQ((*read_)["widths"][letter], GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(Widths, XlsxWidthTest, ::testing::ValuesIn(WidthCases()),
                         test::CaseName());

// ---- Sheet names ---------------------------------------------------------------------

struct NameCase {
  const char* name;
  std::string given;
  std::string sheet;
};

class XlsxSheetNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(XlsxSheetNameTest, IsMadeValid) {
  const json read = ReadBack({GetParam().given, {"序号"}, {{"1"}}, -1, {}, -1, -1, {}});
  EXPECT_EQ(read["sheets"], json::array({GetParam().sheet}));
  std::string quoted;
  for (const char c : GetParam().sheet) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  ASSERT_EQ(read["defined_names"].size(), 2u);
  EXPECT_EQ(read["defined_names"][0]["text"], "'" + quoted + "'!$A$1:$A$2");
  EXPECT_EQ(read["defined_names"][1]["text"], "'" + quoted + "'!$1:$1");
}

INSTANTIATE_TEST_SUITE_P(
    Names, XlsxSheetNameTest,
    ::testing::Values(NameCase{"Chinese", "查询结果", "查询结果"},
                      NameCase{"ForbiddenCharacters", "a[b]c:d*e?f/g\\h", "a_b_c_d_e_f_g_h"},
                      NameCase{"ControlCharacter", "a\tb", "a_b"},
                      NameCase{"TooLong", std::string(40, 'x'), std::string(31, 'x')},
                      NameCase{"TooLongChinese", Times("查", 40), Times("查", 31)},
                      NameCase{"EmojiAtTheCut", std::string(30, 'x') + "😀", std::string(30, 'x')},
                      NameCase{"Empty", "", "Sheet1"},
                      NameCase{"ApostrophesAtTheEnds", "'quoted'", "_quoted_"},
                      NameCase{"ApostropheInside", "it's", "it's"},
                      NameCase{"Reserved", "History", "History_"},
                      NameCase{"InvalidUtf8", "a\xFF", "a\uFFFD"}),
    test::CaseName());

// ---- Table shapes --------------------------------------------------------------------

struct ShapeCase {
  const char* name;
  XlsxSheet sheet;
  json auto_filter;
  bool shared_strings;
};

class XlsxShapeTest : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(XlsxShapeTest, OpensWithTheFilterOverTheWidestRow) {
  const json read = ReadBack(GetParam().sheet);
  EXPECT_EQ(read["auto_filter"], GetParam().auto_filter);
  EXPECT_EQ(read["freeze_panes"], "A2");
  const json& members = read["members"];
  EXPECT_EQ(std::find(members.begin(), members.end(), "xl/sharedStrings.xml") != members.end(),
            GetParam().shared_strings);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, XlsxShapeTest,
    ::testing::Values(
        ShapeCase{"Nothing", {"查询结果", {}, {}, -1, {}, -1, -1, {}}, nullptr, false},
        ShapeCase{"HeaderOnly", {"查询结果", {"a", "b"}, {}, -1, {}, -1, -1, {}}, "A1:B1", true},
        ShapeCase{"RowWiderThanHeader",
                  {"查询结果", {"a"}, {{"1"}, {"1", "2", "3"}}, -1, {}, -1, -1, {}},
                  "A1:C3",
                  true},
        ShapeCase{"FillColumnPastTheTable",
                  {"查询结果", {"a"}, {{"1"}}, 5, {CellFill::kGrey}, -1, -1, {}},
                  "A1:A2",
                  true},
        ShapeCase{
            "EmptyTextsOnly", {"查询结果", {""}, {{""}}, -1, {}, -1, -1, {}}, "A1:A2", false}),
    test::CaseName());

// ---- Without a reader ----------------------------------------------------------------

TEST(XlsxWriterTest, SameTableSameBytes) {
  XlsxSheet sheet{"查询结果", {"序号", "状态"}, {{"1", "现行"}}, 1, {CellFill::kLightGreen}, -1, -1,
                  {}};
  const Bytes first = WriteXlsx(sheet).bytes;
  EXPECT_EQ(WriteXlsx(sheet).bytes, first);
  sheet.rows[0][1] = "作废";
  EXPECT_NE(WriteXlsx(sheet).bytes, first);
}

struct CutCase {
  const char* name;
  XlsxSheet sheet;
  std::size_t cells_cut;
};

class XlsxCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(XlsxCutTest, CountsTheCellsCut) {
  const XlsxWorkbook workbook = WriteXlsx(GetParam().sheet);
  EXPECT_FALSE(workbook.bytes.empty());
  EXPECT_EQ(workbook.cells_cut, GetParam().cells_cut);
}

const std::string kFull(kXlsxMaxCellLength, 'a');

INSTANTIATE_TEST_SUITE_P(
    Lengths, XlsxCutTest,
    ::testing::Values(
        CutCase{"AllWithin",
                {"s", {kFull}, {{kFull, Times("标", kXlsxMaxCellLength)}}, -1, {}, -1, -1, {}},
                0},
        CutCase{"OneUnitPast", {"s", {"h"}, {{kFull + "b"}}, -1, {}, -1, -1, {}}, 1},
        CutCase{
            "EmojiAcrossTheEnd", {"s", {"h"}, {{kFull.substr(1) + "😀"}}, -1, {}, -1, -1, {}}, 1},
        // The same text in three cells, the header's among them, is three cells cut.
        CutCase{"EveryCellCounted",
                {"s", {kFull + "b"}, {{kFull + "b", "c"}, {"d", kFull + "b"}}, -1, {}, -1, -1, {}},
                3}),
    test::CaseName());

struct FitCase {
  const char* name;
  std::size_t rows;
  std::size_t header_columns;
  std::size_t row_columns;
  bool fits;
};

class XlsxFitsTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(XlsxFitsTest, TellsWhetherExcelHoldsIt) {
  XlsxSheet sheet;
  sheet.header.resize(GetParam().header_columns);
  sheet.rows.resize(GetParam().rows);
  if (!sheet.rows.empty()) sheet.rows.back().resize(GetParam().row_columns);
  EXPECT_EQ(XlsxFits(sheet), GetParam().fits);
  // Nothing rather than a table cut short.
  if (!GetParam().fits) {
    EXPECT_TRUE(WriteXlsx(sheet).bytes.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, XlsxFitsTest,
    ::testing::Values(FitCase{"Small", 3, 5, 5, true}, FitCase{"LastRow", kXlsxMaxRows, 5, 5, true},
                      FitCase{"RowPastTheLast", kXlsxMaxRows + 1, 5, 5, false},
                      FitCase{"LastColumn", 1, kXlsxMaxColumns, kXlsxMaxColumns, true},
                      FitCase{"HeaderTooWide", 1, kXlsxMaxColumns + 1, 1, false},
                      FitCase{"RowTooWide", 1, 1, kXlsxMaxColumns + 1, false}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
