#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "site/national_site.h"
#include "support/literal_parser.h"
#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

using test::ParseResultPageLiteral;

std::string Escaped(const Text& text) {
  std::string out;
  char hex[8];
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out.push_back(static_cast<char>(c));
    } else {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string Describe(const CurrentStandardRecord& r) {
  return "{number=\"" + Escaped(r.number) + "\" title=\"" + Escaped(r.title) + "\" date=\"" +
         Escaped(r.release_date) + "\" department=\"" + Escaped(r.department) + "\" status=\"" +
         Escaped(r.status) + "\"}";
}

bool Same(const CurrentStandardRecord& a, const CurrentStandardRecord& b) {
  return a.number == b.number && a.title == b.title && a.release_date == b.release_date &&
         a.department == b.department && a.status == b.status;
}

// Both parsers must give the same record; returns the linear one's.
CurrentStandardRecord ParseBoth(const Text& page) {
  const CurrentStandardRecord linear = ParseResultPage(page);
  const CurrentStandardRecord literal = ParseResultPageLiteral(page);
  EXPECT_TRUE(Same(linear, literal))
      << "page: \"" << Escaped(page) << "\"\n linear:  " << Describe(linear)
      << "\n literal: " << Describe(literal);
  return linear;
}

Text ReadPage(const std::string& name) {
  const std::string path = std::string(KELVARO_TEST_DATA_DIR) + "/pages/" + name;
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // As a response body: cut at the first zero byte.
  return BytesToText(Bytes(bytes.begin(), bytes.end()));
}

TEST(ResultPageMarkers, MatchTheirReadableSpelling) {
  EXPECT_EQ(kCurrentCell, Gbk(u8"<td ><font color=\"#000000\">现行</font></td>"));
  EXPECT_EQ(kCurrentCell.size(), 43u);
  EXPECT_EQ(kRecordNotFound, Gbk(u8"未找到现行"));
}

struct PageCase {
  const char* file;
  bool found;
  const char8_t* number;
  const char8_t* title;
  const char8_t* release_date;
  const char8_t* department;
};

void PrintTo(const PageCase& c, std::ostream* os) { *os << c.file; }

class SavedPageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(SavedPageTest, GivesTheFirstCurrentRow) {
  const PageCase& c = GetParam();
  const CurrentStandardRecord r = ParseBoth(ReadPage(c.file));
  EXPECT_EQ(r.status, c.found ? Gbk(u8"现行") : Gbk(u8"未找到现行"));
  EXPECT_EQ(r.number, Gbk(c.number));
  EXPECT_EQ(r.title, Gbk(c.title));
  EXPECT_EQ(r.release_date, Gbk(c.release_date));
  EXPECT_EQ(r.department, Gbk(c.department));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, SavedPageTest,
    ::testing::Values(
        // Withdrawn 2001 and 2010 rows first, the current 2017 row last.
        PageCase{"chain_current_last.html", true, u8"GB/T 50001-2017", u8"房屋建筑制图统一标准",
                 u8"2017-09-27", u8"住房和城乡建设部"},
        PageCase{"current_row_first.html", true, u8"GB 50011-2010", u8"建筑抗震设计规范",
                 u8"2010-05-31", u8"住房和城乡建设部"},
        PageCase{"two_current_rows.html", true, u8"GB/T 50104-2010", u8"建筑制图标准",
                 u8"2010-08-18", u8"住房和城乡建设部"},
        // Near misses of the current cell (no space, another colour) count for nothing.
        PageCase{"no_current_cell.html", false, u8"", u8"", u8"", u8""},
        PageCase{"no_rows.html", false, u8"", u8"", u8"", u8""},
        PageCase{"utf8_page.html", false, u8"", u8"", u8"", u8""},
        // "&amp;" inside the title ends the field.
        PageCase{"title_with_ampersand.html", true, u8"GB/T 50106-2010", u8"建筑给水排水",
                 u8"2010-08-18", u8"住房和城乡建设部"},
        PageCase{"zero_byte_before_cell.html", false, u8"", u8"", u8"", u8""},
        PageCase{"zero_byte_after_cell.html", true, u8"GB/T 50001-2017", u8"房屋建筑制图统一标准",
                 u8"2017-09-27", u8"住房和城乡建设部"},
        // A current cell before the first row: the first row pairs with the next cell.
        PageCase{"cell_before_first_row.html", true, u8"GB/T 50001-2017", u8"房屋建筑制图统一标准",
                 u8"2017-09-27", u8"住房和城乡建设部"},
        // ... and with no cell after the first row, the row is the cell alone.
        PageCase{"cell_before_first_row_only.html", true, u8"", u8"", u8"", u8""},
        // A cell with its own bgcolor in the current row leaves the cell alone.
        PageCase{"bgcolor_cell_in_current_row.html", true, u8"", u8"", u8"", u8""},
        PageCase{"missing_number_field.html", true, u8"", u8"房屋建筑制图统一标准", u8"2017-09-27",
                 u8""},
        // A field whose "&" comes only after the current cell is empty.
        PageCase{"field_without_ampersand.html", true, u8"GB/T 50001-2017",
                 u8"房屋建筑制图统一标准", u8"2017-09-27", u8""}),
    [](const ::testing::TestParamInfo<PageCase>& info) {
      std::string name = info.param.file;
      name = name.substr(0, name.find('.'));
      for (char& ch : name) {
        if (ch == '_') ch = 'X';
      }
      return name;
    });

// Small hand-made pages around the markers.
struct SnippetCase {
  const char* name;
  Text page;
  bool found;
  Text number;
  Text title;
};

KELVARO_PRINT_CASES_BY_NAME()

class SnippetTest : public ::testing::TestWithParam<SnippetCase> {};

TEST_P(SnippetTest, ParsesLikeTheStepByStepReading) {
  const SnippetCase& c = GetParam();
  const CurrentStandardRecord r = ParseBoth(c.page);
  EXPECT_EQ(r.status, c.found ? Gbk(u8"现行") : Gbk(u8"未找到现行"));
  EXPECT_EQ(r.number, c.number);
  EXPECT_EQ(r.title, c.title);
}

const Text M = Gbk(u8"<td ><font color=\"#000000\">现行</font></td>");
const Text kNo = Gbk(u8"编号：");
const Text kTi = Gbk(u8"标题：");

INSTANTIATE_TEST_SUITE_P(
    Snippets, SnippetTest,
    ::testing::Values(
        SnippetCase{"Empty", "", false, "", ""}, SnippetCase{"CellOnly", M, true, "", ""},
        SnippetCase{"RowThenCell", "<tr bgcolor=x>" + kNo + "A&" + kTi + "T&" + M, true, "A", "T"},
        SnippetCase{"FieldsAfterCellIgnored", "<tr bgcolor=x>" + M + kNo + "A&", true, "", ""},
        SnippetCase{"MarkersTouch", "<tr bgcolor=x>" + kNo + "&" + M, true, "", ""},
        SnippetCase{"FirstFieldMarkerWins", "<tr bgcolor=x>" + kNo + "A&" + kNo + "B&" + M, true,
                    "A", ""},
        SnippetCase{"StrayBgcolorBeforeLastRow",
                    "<tr bgcolor=1>bgcolor<tr bgcolor=2>" + kNo + "B&" + M, true, "B", ""},
        SnippetCase{"StrayBgcolorAfterLastRow", "<tr bgcolor=1>" + kNo + "A& bgcolor " + M, true,
                    "", ""},
        SnippetCase{"BgcolorRightAfterRowMarker", "<tr bgcolor=bgcolor " + kNo + "A&" + M, true, "",
                    ""},
        SnippetCase{"UpperCaseBgcolorIsNoBgcolor", "<tr bgcolor=1>" + kNo + "A& BGCOLOR " + M, true,
                    "A", ""},
        SnippetCase{"UpperCaseRowIsNoRow", "<TR BGCOLOR=1>" + kNo + "A&" + M, true, "", ""},
        SnippetCase{"RowsAfterCellIgnored",
                    "<tr bgcolor=1>" + kNo + "A&" + M + "<tr bgcolor=2>" + kNo + "B&" + M, true,
                    "A", ""},
        // A lead byte swallows the "<" of the row marker: no row starts there.
        SnippetCase{"LeadByteBeforeRowMarker",
                    "<tr bgcolor=1>" + kNo + "A&\x81<tr bgcolor=2>" + kNo + "B&" + M, true, "", ""},
        // ... or the "<" of the current cell: that cell does not count.
        SnippetCase{"LeadByteBeforeCell", "<tr bgcolor=1>" + kNo + "A&\x81" + M, false, "", ""},
        SnippetCase{"LeadByteBeforeAmpersand", "<tr bgcolor=1>" + kNo + "A\x81&B&" + M, true,
                    "A\x81&B", ""},
        SnippetCase{"LeadByteBeforeBgcolor",
                    "<tr bgcolor=1>" + kNo +
                        "A&\x81"
                        "bgcolor" +
                        M,
                    true, "A", ""},
        SnippetCase{"CharactersAroundMarkers",
                    Gbk(u8"现<tr bgcolor=行>现") + kNo + Gbk(u8"号&行") + M, true, Gbk(u8"号"),
                    ""}),
    test::CaseName());

// Every single-byte insertion and deletion in a saved page: lead bytes land before every
// marker and inside every character.
class PerturbedPageTest : public ::testing::TestWithParam<const char*> {};

TEST_P(PerturbedPageTest, LinearMatchesStepByStep) {
  const Text page = ReadPage(GetParam());
  ASSERT_FALSE(page.empty());
  const char inserts[] = {'\x81', '\xB1', '\xFF', '<', '&', 'b'};
  for (std::size_t i = 0; i <= page.size(); ++i) {
    for (char c : inserts) {
      Text changed = page;
      changed.insert(changed.begin() + static_cast<std::ptrdiff_t>(i), c);
      ParseBoth(changed);
    }
    if (i < page.size()) {
      Text shorter = page;
      shorter.erase(i, 1);
      ParseBoth(shorter);
    }
    if (HasFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Pages, PerturbedPageTest,
                         ::testing::Values("chain_current_last.html", "cell_before_first_row.html",
                                           "bgcolor_cell_in_current_row.html",
                                           "title_with_ampersand.html"));

// Random pages built from marker pieces, near misses and two-byte characters.
TEST(ResultPageDifferential, RandomFragmentPages) {
  const std::vector<Text> pieces = {"<tr bgcolor=",
                                    "<tr bgcolor=\"#FFFFFF\">",
                                    "bgcolor",
                                    "bgcolo",
                                    "<tr bgcolor",
                                    "<tr ",
                                    M,
                                    M.substr(0, 42),
                                    M.substr(1),
                                    "<td ><font color=\"#000000\">",
                                    Gbk(u8"现行"),
                                    kNo,
                                    kTi,
                                    Gbk(u8"发布日期："),
                                    Gbk(u8"发布部门："),
                                    Gbk(u8"编号"),
                                    "\xA3\xBA",
                                    "&",
                                    "&#10;",
                                    "&amp;",
                                    "a",
                                    "b",
                                    "<",
                                    ">",
                                    "x",
                                    " ",
                                    "\r\n",
                                    "\x81<",
                                    "\x81&",
                                    "\x81"
                                    "b",
                                    "\x81",
                                    "\xB1",
                                    "\xCF",
                                    "\xFF",
                                    "\x80",
                                    "\xA3",
                                    Gbk(u8"标准"),
                                    "GB/T 50001-2017",
                                    "</tr>",
                                    "<td>"};
  std::mt19937 rng(20261208);
  for (int n = 0; n < 4000; ++n) {
    const int count = static_cast<int>(rng() % 40);
    Text page;
    for (int k = 0; k < count; ++k) page += pieces[rng() % pieces.size()];
    ParseBoth(page);
    if (HasFailure()) return;
  }
}

Text RandomFiller(std::mt19937& rng) {
  static const std::vector<Text> filler = {"x",
                                           " ",
                                           "<td>",
                                           "</td>",
                                           "\xB0\xA1",
                                           "\x81<",
                                           "\x81&",
                                           "\x81"
                                           "b",
                                           Gbk(u8"标准"),
                                           "bgcolor",
                                           "&nbsp;",
                                           "\r\n"};
  Text out;
  const int count = static_cast<int>(rng() % 5);
  for (int k = 0; k < count; ++k) {
    // Stray "bgcolor" is rarer than the rest.
    const Text& piece = filler[rng() % filler.size()];
    if (piece == "bgcolor" && rng() % 4 != 0) continue;
    out += piece;
  }
  return out;
}

// Pages shaped like result pages: rows before and after, current cells, stray bgcolor.
TEST(ResultPageDifferential, RandomStructuredPages) {
  const Text markers[] = {kNo, kTi, Gbk(u8"发布日期："), Gbk(u8"发布部门：")};
  std::mt19937 rng(7);
  int found_with_number = 0;
  for (int n = 0; n < 3000; ++n) {
    Text page = "<html><body>" + RandomFiller(rng);
    if (rng() % 6 == 0) page += M + RandomFiller(rng);  // a legend before the rows
    const int rows = static_cast<int>(rng() % 6);
    for (int r = 0; r < rows; ++r) {
      page += "<tr bgcolor=\"#FFF\">" + RandomFiller(rng);
      for (const Text& marker : markers) {
        if (rng() % 5 == 0) continue;
        page += marker + "v" + std::to_string(r) + RandomFiller(rng);
        if (rng() % 6 != 0) page += "&#10;";
      }
      page += RandomFiller(rng);
      if (rng() % 3 == 0) page += M;
      page += "</tr>" + RandomFiller(rng);
    }
    page += "</body></html>";
    if (!ParseBoth(page).number.empty()) ++found_with_number;
    if (HasFailure()) return;
  }
  // The generator must reach the interesting case often, not just not-found pages.
  EXPECT_GT(found_with_number, 300);
}

TEST(ResultPageDifferential, LargePage) {
  Text page;
  for (int r = 0; r < 400; ++r) {
    page += "<tr bgcolor=\"#FFF\"><td>" + kNo + "GB " + std::to_string(r) + "&#10;" + kTi +
            Gbk(u8"标题") + "&#10;</td><td ><font color=\"#FF0000\">" + Gbk(u8"作废") +
            "</font></td></tr>\r\n";
  }
  page += "<tr bgcolor=\"#EEE\"><td>" + kNo + "GB 999&#10;</td>" + M + "</tr>";
  const CurrentStandardRecord r = ParseBoth(page);
  EXPECT_EQ(r.number, "GB 999");
}

// Every row read as a record, whatever its status cell says.
struct RowsCase {
  const char* name;
  Text page;
  std::vector<ListedStandard> rows;
};

Text StatusCell(const char* colour, const char8_t* word) {
  return "<td ><font color=\"" + std::string(colour) + "\">" + Gbk(word) + "</font></td>";
}

const Text kEffective = Gbk(u8"实施日期：");

ListedStandard Listed(Text number, const char8_t* word, Standing standing, Text effective = {}) {
  ListedStandard row;
  row.number = std::move(number);
  row.status = Gbk(word);
  row.standing = standing;
  row.effective_date = std::move(effective);
  return row;
}

class ResultRowsTest : public ::testing::TestWithParam<RowsCase> {};

TEST_P(ResultRowsTest, ReadsEveryRow) {
  const RowsCase& c = GetParam();
  const std::vector<ListedStandard> rows = ReadResultRows(c.page);
  ASSERT_EQ(rows.size(), c.rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(Escaped(rows[i].number), Escaped(c.rows[i].number)) << "row " << i;
    EXPECT_EQ(Escaped(rows[i].status), Escaped(c.rows[i].status)) << "row " << i;
    EXPECT_EQ(rows[i].standing, c.rows[i].standing) << "row " << i;
    EXPECT_EQ(Escaped(rows[i].effective_date), Escaped(c.rows[i].effective_date)) << "row " << i;
  }
}

const Text kRow = "<tr bgcolor=1>";

INSTANTIATE_TEST_SUITE_P(
    Rows, ResultRowsTest,
    ::testing::Values(RowsCase{"NoRows", M, {}},
                      RowsCase{"EachStatusWord",
                               kRow + kNo + "A&" + StatusCell("#FF0000", u8"废止") + kRow + kNo +
                                   "B&" + StatusCell("#FF0000", u8"作废") + kRow + kNo + "C&" + M +
                                   kRow + kNo + "D&" + StatusCell("#0000FF", u8"即将实施") + kRow +
                                   kNo + "E&" + StatusCell("#123456", u8"其他"),
                               {Listed("A", u8"废止", Standing::kWithdrawn),
                                Listed("B", u8"作废", Standing::kWithdrawn),
                                Listed("C", u8"现行", Standing::kCurrent),
                                Listed("D", u8"即将实施", Standing::kComing),
                                Listed("E", u8"其他", Standing::kOther)}},
                      RowsCase{"EffectiveDateCutAtAmpersand",
                               kRow + kNo + "A&#10;" + kEffective + "2027-03-01&#10;" +
                                   StatusCell("#0000FF", u8"即将实施"),
                               {Listed("A", u8"即将实施", Standing::kComing, "2027-03-01")}},
                      // Without a status cell the fields run to the next row.
                      RowsCase{"NoStatusCell",
                               kRow + kNo + "A&" + kRow + kNo + "B&",
                               {Listed("A", u8"", Standing::kOther),
                                Listed("B", u8"", Standing::kOther)}},
                      RowsCase{"UnclosedCellIsNoCell",
                               kRow + kNo + "A&<td ><font color=\"#FF0000\">x</td>",
                               {Listed("A", u8"", Standing::kOther)}},
                      RowsCase{"FieldsAfterTheCellIgnored",
                               kRow + StatusCell("#FF0000", u8"废止") + kNo + "A&",
                               {Listed("", u8"废止", Standing::kWithdrawn)}},
                      RowsCase{"FirstCellOfARowWins",
                               kRow + kNo + "A&" + StatusCell("#FF0000", u8"废止") + M,
                               {Listed("A", u8"废止", Standing::kWithdrawn)}}),
    test::CaseName());

TEST(ResultRows, SavedPageAndTheSeam) {
  const Text page = ReadPage("chain_current_last.html");
  const PageRecords read = NationalSitePages().ReadPage(page);
  EXPECT_TRUE(Same(read.record, ParseResultPage(page)));
  ASSERT_EQ(read.listed.size(), 3u);
  const Standing standings[] = {Standing::kWithdrawn, Standing::kWithdrawn, Standing::kCurrent};
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(read.listed[i].standing, standings[i]) << i;
  EXPECT_EQ(read.listed[0].number, "GB/T 50001-2001");
  EXPECT_EQ(read.listed[2].title, Gbk(u8"房屋建筑制图统一标准"));
  EXPECT_EQ(read.listed[2].release_date, "2017-09-27");
  EXPECT_EQ(read.listed[2].department, Gbk(u8"住房和城乡建设部"));
}

// Unclosed status cells and rows by the thousand: every byte is looked at a bounded number
// of times.
TEST(ResultRows, HostilePagesStayLinear) {
  Text cells;
  for (int i = 0; i < 50000; ++i) cells += "<td ><font color=\"#FF0000\">x";
  Text rows;
  for (int i = 0; i < 50000; ++i) rows += kRow + kNo + "A&<td ><font color=\"";
  EXPECT_EQ(ReadResultRows(kRow + kNo + "A&" + cells).size(), 1u);
  EXPECT_EQ(ReadResultRows(rows).size(), 50000u);
}

// Pages as the site writes them: five cells a row, the number a link, the row's fields again
// in its title attribute.
const Text kBlack = "<td ><font color=\"#000000\">";
const Text kEnd = "</font></td>";

Text Cell(const Text& shown) { return kBlack + shown + kEnd; }

Text NumberCell(const Text& number, const Text& href = "/detail/1.html") {
  return "<td align=\"left\"><a href=\"" + href + "\" target=\"_blank\"><font color=\"#0000FF\">" +
         number + "</font></a></td>";
}

// "编号：N &#xA;标题：T&#xA;…发布日期：R&#xA;发布日期：E" as the site writes it.
Text TitleAttribute(const char8_t* number, const char8_t* title, const char8_t* released,
                    const char8_t* effective, const char* separator = "&#xA;") {
  return " title=\"" + Gbk(u8"编号：") + Gbk(number) + " " + separator + Gbk(u8"标题：") +
         Gbk(title) + separator + Gbk(u8"英文标题：Unified standard") + separator +
         Gbk(u8"发布部门：中华人民共和国住房和城乡建设部") + separator + Gbk(u8"发布日期：") +
         Gbk(released) + separator + Gbk(u8"发布日期：") + Gbk(effective) + "\"";
}

Text SiteRow(const Text& attribute, const Text& cells) {
  return "<tr bgcolor=\"#FFFFFF\"" + attribute + ">\r\n" + cells + "\r\n</tr>\r\n";
}

const Text kHeaderRow =
    Gbk(u8"<tr bgcolor=\"#E6E6E6\"><td>标准编号</td><td>标准名称</td><td>发布部门</td>"
        u8"<td>实施日期</td><td>状态</td></tr>\r\n");

Text FiveCells(const char8_t* number, const char8_t* title, const char8_t* department,
               const char8_t* effective, const char8_t* status) {
  return NumberCell(Gbk(number)) + Cell(Gbk(title)) + Cell(Gbk(department)) + Cell(Gbk(effective)) +
         Cell(Gbk(status));
}

struct SiteRowCase {
  const char* name;
  Text row;
  // number, title, department, effective date, status, release date, detail (UTF-8)
  std::vector<const char8_t*> fields;
  Standing standing;
};

class SiteRowTest : public ::testing::TestWithParam<SiteRowCase> {};

TEST_P(SiteRowTest, ReadsTheRowByItsCells) {
  const SiteRowCase& c = GetParam();
  const std::vector<ListedStandard> rows = ReadResultRows(kHeaderRow + c.row);
  ASSERT_EQ(rows.size(), 1u);
  const ListedStandard& row = rows[0];
  const Text read[] = {row.number, row.title,        row.department, row.effective_date,
                       row.status, row.release_date, row.detail};
  ASSERT_EQ(c.fields.size(), std::size(read));
  const char* names[] = {"number", "title",    "department", "effective",
                         "status", "released", "detail"};
  for (std::size_t i = 0; i < std::size(read); ++i) {
    EXPECT_EQ(Escaped(read[i]), Escaped(Gbk(c.fields[i]))) << names[i];
  }
  EXPECT_EQ(row.standing, c.standing);
}

const Text kAttribute2017 =
    TitleAttribute(u8"GB/T 50001-2017", u8"房屋建筑制图统一标准", u8"2017-09-27", u8"2018-05-01");

INSTANTIATE_TEST_SUITE_P(
    Cells, SiteRowTest,
    ::testing::Values(
        SiteRowCase{
            "AsTheSiteWritesIt",
            SiteRow(kAttribute2017, FiveCells(u8"GB/T 50001-2017", u8"房屋建筑制图统一标准",
                                              u8"住房和城乡建设部", u8"2018-05-01", u8"现行")),
            {u8"GB/T 50001-2017", u8"房屋建筑制图统一标准", u8"住房和城乡建设部", u8"2018-05-01",
             u8"现行", u8"2017-09-27", u8"/detail/1.html"},
            Standing::kCurrent},
        // Spaces and line breaks around every field, full-width ones too, are not the field.
        SiteRowCase{
            "FieldsTrimmed",
            SiteRow("", NumberCell(Gbk(u8" GB 50045-95　"), " /detail/7.html ") +
                            Cell(Gbk(u8"\r\n 高层民用建筑设计防火规范 ")) + Cell(Gbk(u8" 建设部")) +
                            Cell(" 1995-11-01 ") + Cell(Gbk(u8" 废止\r\n"))),
            {u8"GB 50045-95", u8"高层民用建筑设计防火规范", u8"建设部", u8"1995-11-01", u8"废止",
             u8"", u8"/detail/7.html"},
            Standing::kWithdrawn},
        // A title that is a status word has the status cell's shape: its place tells it.
        SiteRowCase{
            "TitleCellWithTheStatusCellsShape",
            SiteRow("", FiveCells(u8"GB 1-2001", u8"作废", u8"部", u8"2001-01-01", u8"即将实施")),
            {u8"GB 1-2001", u8"作废", u8"部", u8"2001-01-01", u8"即将实施", u8"",
             u8"/detail/1.html"},
            Standing::kComing},
        SiteRowCase{
            "UnknownStatusWordKeptAsWritten",
            SiteRow("", FiveCells(u8"GB 2-2001", u8"标题", u8"部", u8"2001-01-01", u8"被代替")),
            {u8"GB 2-2001", u8"标题", u8"部", u8"2001-01-01", u8"被代替", u8"", u8"/detail/1.html"},
            Standing::kOther},
        // An empty date cell: the attribute's second 发布日期 is the date of coming into force.
        SiteRowCase{"NoDateInItsCell",
                    SiteRow(kAttribute2017, FiveCells(u8"GB/T 50001-2017", u8"房屋建筑制图统一标准",
                                                      u8"住房和城乡建设部", u8"", u8"现行")),
                    {u8"GB/T 50001-2017", u8"房屋建筑制图统一标准", u8"住房和城乡建设部",
                     u8"2018-05-01", u8"现行", u8"2017-09-27", u8"/detail/1.html"},
                    Standing::kCurrent},
        SiteRowCase{"NoDateAnywhere",
                    SiteRow("", FiveCells(u8"GB 3-2001", u8"标题", u8"部", u8"", u8"作废")),
                    {u8"GB 3-2001", u8"标题", u8"部", u8"", u8"作废", u8"", u8"/detail/1.html"},
                    Standing::kWithdrawn},
        SiteRowCase{"NoDateCellAtAll",
                    SiteRow("", NumberCell("GB 4-2001") + Cell(Gbk(u8"标题")) + Cell(Gbk(u8"部")) +
                                    Cell(Gbk(u8"现行"))),
                    {u8"GB 4-2001", u8"标题", u8"部", u8"", u8"现行", u8"", u8"/detail/1.html"},
                    Standing::kCurrent},
        // Cells the site left empty come from the attribute, "&#10;" separating as "&#xA;".
        SiteRowCase{
            "EmptyCellsFromTheAttribute",
            SiteRow(TitleAttribute(u8"GB/T 50001-2024", u8"房屋建筑制图统一标准", u8"2024-01-01",
                                   u8"2027-03-01", "&#10;"),
                    "<td><a href=\"/detail/9.html\"></a></td>" + Cell("") + Cell("") + Cell("") +
                        Cell(Gbk(u8"即将实施"))),
            {u8"GB/T 50001-2024", u8"房屋建筑制图统一标准", u8"中华人民共和国住房和城乡建设部",
             u8"2027-03-01", u8"即将实施", u8"2024-01-01", u8"/detail/9.html"},
            Standing::kComing},
        SiteRowCase{"EffectiveDateLabelInTheAttribute",
                    SiteRow(Gbk(u8" title=\"编号：GB "
                                u8"5-2001&#10;实施日期：2002-01-01&#10;发布日期：2001-06-01\""),
                            "<td>GB 5-2001</td>" + Cell(Gbk(u8"标题")) + Cell("") + Cell("") +
                                Cell(Gbk(u8"现行"))),
                    {u8"GB 5-2001", u8"标题", u8"", u8"2002-01-01", u8"现行", u8"2001-06-01", u8""},
                    Standing::kCurrent},
        // References in a cell read as the characters they stand for.
        SiteRowCase{"ReferencesRead",
                    SiteRow("", NumberCell("GB 6-2001", "/d.jsp?a=1&amp;b=2") +
                                    Cell(Gbk(u8"给水&amp;排水&nbsp;&#xA;标准")) +
                                    Cell("A &lt;B&gt;") + Cell("") + Cell(Gbk(u8"现行"))),
                    {u8"GB 6-2001", u8"给水&排水 标准", u8"A <B>", u8"", u8"现行", u8"",
                     u8"/d.jsp?a=1&amp;b=2"},
                    Standing::kCurrent}),
    test::CaseName());

TEST(SiteRows, OldRowsKeepTheirDetailLink) {
  const std::vector<ListedStandard> rows = ReadResultRows(ReadPage("chain_current_last.html"));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].detail, "detail.jsp?id=101");
  EXPECT_EQ(rows[2].detail, "detail.jsp?id=103");
}

Text SitePage(const Text& count_line, const Text& rows) {
  return Gbk(u8"<html><head><title>标准信息检索</title></head><body>") + count_line +
         "<table width=\"100%\" border=\"0\" cellpadding=\"3\" cellspacing=\"1\" "
         "bgcolor=\"#CCCCCC\">\r\n" +
         kHeaderRow + rows + "</table></body></html>";
}

TEST(SitePages, TwentyFiveRowsAndTheirCount) {
  Text rows;
  for (int i = 0; i < 25; ++i) {
    const std::string number = "JGJ " + std::to_string(80 + i) + "-2016";
    rows += SiteRow("", NumberCell(number, "/detail/" + std::to_string(i) + ".html") +
                            Cell(Gbk(u8"规范")) + Cell(Gbk(u8"住房和城乡建设部")) +
                            Cell("2016-12-01") + Cell(Gbk(i == 3 ? u8"现行" : u8"废止")));
  }
  const PageRecords page = NationalSitePages().ReadPage(
      SitePage(Gbk(u8"<span class=\"hei14\">共有40条符合状态条件的标准，共2页</span>"), rows));
  ASSERT_EQ(page.listed.size(), 25u);
  EXPECT_EQ(page.listed[24].number, "JGJ 104-2016");
  EXPECT_EQ(page.listed[24].detail, "/detail/24.html");
  EXPECT_EQ(page.kind, PageKind::kResults);
  EXPECT_EQ(page.page_count, 2);
  // The current standard is the first current row, as its cells give it.
  EXPECT_EQ(page.record.status, kRecordCurrent);
  EXPECT_EQ(page.record.number, "JGJ 83-2016");
  EXPECT_EQ(page.record.title, Gbk(u8"规范"));
}

struct KindCase {
  const char* name;
  Text page;
  PageKind kind;
  int page_count;
  const char8_t* title;
};

class PageKindTest : public ::testing::TestWithParam<KindCase> {};

TEST_P(PageKindTest, SaysWhatThePageIs) {
  const KindCase& c = GetParam();
  const PageRecords page = NationalSitePages().ReadPage(c.page);
  EXPECT_EQ(page.kind, c.kind);
  EXPECT_EQ(page.page_count, c.page_count);
  // Only an unrecognised page needs its title said.
  EXPECT_EQ(Escaped(page.page_title),
            Escaped(c.kind == PageKind::kUnrecognised ? Gbk(c.title) : Text()));
}

const Text kOneRow = SiteRow(
    "", FiveCells(u8"GB 50016-2014", u8"建筑设计防火规范", u8"部", u8"2015-05-01", u8"现行"));

INSTANTIATE_TEST_SUITE_P(
    Kinds, PageKindTest,
    ::testing::Values(
        KindCase{"Results", SitePage(Gbk(u8"共有1条符合状态条件的标准，共1页"), kOneRow),
                 PageKind::kResults, 1, u8"标准信息检索"},
        KindCase{"ManyPages", SitePage(Gbk(u8"共有 260 条符合状态条件的标准，共 11 页"), kOneRow),
                 PageKind::kResults, 11, u8"标准信息检索"},
        // Rows make a result page, with or without the count line.
        KindCase{"RowsWithoutTheCountLine", SitePage("", kOneRow), PageKind::kResults, 1,
                 u8"标准信息检索"},
        KindCase{"SavedPageOfTheFormerShape", ReadPage("chain_current_last.html"),
                 PageKind::kResults, 1, u8"标准信息检索"},
        KindCase{"CountLineWithoutRows", SitePage(Gbk(u8"共有0条符合状态条件的标准，共0页"), ""),
                 PageKind::kResults, 1, u8"标准信息检索"},
        KindCase{"NoHit", Gbk(u8"<title>标准信息检索</title><div>没有找到相关标准</div>"),
                 PageKind::kNoHit, 1, u8"标准信息检索"},
        KindCase{"SavedNoHitPage", ReadPage("no_rows.html"), PageKind::kNoHit, 1, u8"标准信息检索"},
        KindCase{"Refused", Gbk(u8"<html><title>提示</title><body>无权访问！</body></html>"),
                 PageKind::kRefused, 1, u8"提示"},
        // A row that mentions the refusal is still a row.
        KindCase{"RowsMentioningTheRefusal",
                 SitePage("", SiteRow("", FiveCells(u8"GB 7-2001", u8"无权访问", u8"部", u8"",
                                                    u8"现行"))),
                 PageKind::kResults, 1, u8"标准信息检索"},
        KindCase{"Unrecognised",
                 Gbk(u8"<HTML><TITLE> 系统维护&amp;升级\r\n中 </TITLE><body>请稍候</body></HTML>"),
                 PageKind::kUnrecognised, 1, u8"系统维护&升级 中"},
        KindCase{"EmptyBody", "", PageKind::kUnrecognised, 1, u8""},
        KindCase{
            "TitleCutToALine", "<title>" + Text(400, 'x') + "</title>", PageKind::kUnrecognised, 1,
            u8"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
            u8"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"}),
    test::CaseName());

struct DetailCase {
  const char* name;
  Text detail;
  Text address;
};

class DetailAddressTest : public ::testing::TestWithParam<DetailCase> {};

TEST_P(DetailAddressTest, OnTheSitesPrefix) {
  EXPECT_EQ(NationalSitePages().DetailAddress("http://site.example:81", GetParam().detail),
            GetParam().address);
}

INSTANTIATE_TEST_SUITE_P(
    Links, DetailAddressTest,
    ::testing::Values(
        DetailCase{"Path", "/detail/123456.html", "http://site.example:81/detail/123456.html"},
        DetailCase{"Relative", "detail.jsp?id=101", "http://site.example:81/detail.jsp?id=101"},
        DetailCase{"EscapedAmpersand", "d.jsp?a=1&amp;b=2", "http://site.example:81/d.jsp?a=1&b=2"},
        DetailCase{"Absolute", "https://other.example/d/1.html", "https://other.example/d/1.html"},
        DetailCase{"SchemeRelative", "//other.example/d/1.html", "http://other.example/d/1.html"},
        DetailCase{"SpacesAround", "  /d/1.html ", "http://site.example:81/d/1.html"},
        DetailCase{"None", "", ""}, DetailCase{"OtherScheme", "javascript:open(1)", ""},
        DetailCase{"LineBreakInside", "/d/1.html\r\nX-Injected: 1", ""}),
    test::CaseName());

// Hostile pages in the new shape: each byte is looked at a bounded number of times, so these
// sizes finish at once; a reader gone quadratic would not.
TEST(SiteRowsHostile, AHundredThousandRows) {
  Text many;
  many.reserve(4'000'000);
  for (int i = 0; i < 100000; ++i) {
    many.append("<tr bgcolor=1><td><a href=/d>GB ").append(std::to_string(i)).append("</a></td>");
  }
  const std::vector<ListedStandard> rows = ReadResultRows(many);
  ASSERT_EQ(rows.size(), 100000u);
  EXPECT_EQ(rows.back().number, "GB 99999");
}

TEST(SiteRowsHostile, ACellThatNeverCloses) {
  // Nor does its tag's quote: the row runs to the page's end.
  const Text unclosed = SiteRow("", NumberCell("GB 8-2001")) + "<td ><font color=\"" +
                        Text(2'000'000, 'x') + "<td>" + Text(2'000'000, '<');
  const std::vector<ListedStandard> rows = ReadResultRows(unclosed);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].number, "GB 8-2001");
}

TEST(SiteRowsHostile, ATitleAttributeOfTenMegabytes) {
  // Its first field never ended: every field's search runs to the row's end once.
  const Text attribute = " title=\"" + Gbk(u8"编号：") + Text(10'000'000, 'a') + "\"";
  const PageRecords page = NationalSitePages().ReadPage(
      SitePage("", SiteRow(attribute, FiveCells(u8"GB 9-2001", u8"标题", u8"部", u8"", u8"现行"))));
  ASSERT_EQ(page.listed.size(), 1u);
  EXPECT_EQ(page.listed[0].number, "GB 9-2001");
  EXPECT_EQ(page.record.number, "GB 9-2001");
}

}  // namespace
}  // namespace kelvaro
