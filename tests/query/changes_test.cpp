#include "query/changes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "citation/citation.h"
#include "rows/verdicts.h"
#include "site/standard_site.h"
#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {

void PrintTo(const ChangeEntry& e, std::ostream* os) {
  *os << "{" << e.written << " | " << e.places << " | " << e.verdict << " | " << e.suggestion
      << " | " << e.address << "}";
}

namespace {

constexpr char kPrefix[] = "http://127.0.0.1:9";

// The site's answers reach no server: only the addresses are asked for.
class ChangeListTest : public ::testing::Test {};

Site TestSite() { return SiteAt(kPrefix); }

// The row judged `verdict` for `outcome`, its lookup having asked the test's site.
void Judge(TableRow& row, Verdict verdict, Outcome outcome) {
  row.judgement.verdict = verdict;
  row.judgement.reason.outcome = outcome;
  row.judgement.record.number = row.cells[ColumnIndex(Column::kLatestNumber)];
  row.judgement.record.title = row.cells[ColumnIndex(Column::kLatestTitle)];
  row.cells[ColumnIndex(Column::kStatus)] = StatusWord(verdict);
  if (verdict != Verdict::kNone) {
    row.judgement.address = Utf8ToGbk(RowSearchAddress(TestSite(), row));
  }
}

Location Paragraph(int n) {
  Location location;
  location.kind = Location::Kind::kParagraph;
  location.paragraph = n;
  return location;
}

Location Line(int n) {
  Location location;
  location.kind = Location::Kind::kLine;
  location.line = n;
  return location;
}

// A row read from `written` at `where`, looked up to `status` and `outcome`.
TableRow Cited(const std::string& written, Location where, Verdict verdict, Outcome outcome,
               const std::string& latest_number = "", const std::string& latest_title = "") {
  TableRow row;
  const std::vector<Citation> found = FindCitations(written);
  EXPECT_EQ(found.size(), 1u) << written;
  if (!found.empty()) {
    row.source.citation = found.front();
    row.cells[ColumnIndex(Column::kNumber)] = Utf8ToGbk(found.front().number_as_written);
  }
  row.source.location = where;
  row.source.from_document = true;
  row.cells[ColumnIndex(Column::kLatestNumber)] = Utf8ToGbk(latest_number);
  row.cells[ColumnIndex(Column::kLatestTitle)] = Utf8ToGbk(latest_title);
  Judge(row, verdict, outcome);
  return row;
}

TableRow Listed(const std::string& number, int line, Verdict verdict, Outcome outcome) {
  TableRow row;
  row.cells[ColumnIndex(Column::kNumber)] = number;
  row.source.location = Line(line);
  Judge(row, verdict, outcome);
  return row;
}

std::string Address(const std::string& keyword) {
  return std::string(kPrefix) + "/s.jsp?keyword=" + keyword + "&pageNum=1";
}

// A withdrawn standard whose detail page names its successor: that is what to write instead.
TEST_F(ChangeListTest, WithdrawnSuggestsItsSuccessor) {
  TableRow withdrawn = Cited("《高层民用建筑设计防火规范》GB 50045-95", Paragraph(1),
                             Verdict::kWithdrawn, Outcome::kWithdrawn);
  ListedStandard successor;
  successor.number = "GB 50016-2014";
  successor.title = Utf8ToGbk("建筑设计防火规范");
  withdrawn.judgement.replaced_by = successor;
  withdrawn.judgement.reason.successor = successor.number;
  withdrawn.cells[ColumnIndex(Column::kLatestNumber)] = LatestNumber(withdrawn.judgement);
  withdrawn.cells[ColumnIndex(Column::kLatestTitle)] = LatestTitle(withdrawn.judgement);
  const TableRow unknown =
      Cited("GBJ 16-87", Paragraph(2), Verdict::kWithdrawn, Outcome::kWithdrawn);

  const std::vector<ChangeEntry> entries = ChangeList({withdrawn, unknown});
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].verdict, "已废止，被 GB 50016-2014 代替");
  EXPECT_EQ(entries[0].suggestion, "《建筑设计防火规范》GB 50016-2014");
  EXPECT_EQ(entries[1].verdict, "已废止：网站列为废止，无现行版本");
  EXPECT_EQ(entries[1].suggestion, "");
}

TEST_F(ChangeListTest, OneEntryPerStandardNeedingAttentionInImportOrder) {
  TableRow superseded = Cited("《钢结构设计规范》GB 50017-2003", Paragraph(1), Verdict::kSuperseded,
                              Outcome::kFound, "GB 50017-2017", "钢结构设计标准");
  superseded.source.cited_again.push_back({Paragraph(4), superseded.source.citation.value()});
  TableRow other_edition = Cited("《建筑给水排水设计规范》GB 50015-2003", Paragraph(2),
                                 Verdict::kCurrent, Outcome::kFound, "GB 50015-2003",
                                 "建筑给水排水设计规范（2009年版）");  // as the site writes it
  other_edition.judgement.notes = {std::nullopt, "2009年版", false};
  TableRow coming = Cited("GB/T 50353-2013", Paragraph(3), Verdict::kCurrentComing, Outcome::kFound,
                          "GB/T 50353-2013", "建筑工程建筑面积计算规范");
  coming.judgement.notes.coming = ComingStandard{"GB/T 50353-2024", "", "2027-03-01"};
  TableRow failed = Cited("GB 50352-2019", Paragraph(6), Verdict::kFailed, Outcome::kHttpError);
  failed.judgement.reason.http_status = 503;

  const std::vector<TableRow> rows = {
      superseded,
      Cited("GB 50016-2014", Paragraph(2), Verdict::kCurrent, Outcome::kFound, "GB 50016-2014"),
      other_edition,
      coming,
      Cited("GB 50045-95", Paragraph(5), Verdict::kWithdrawn, Outcome::kWithdrawn),
      Cited("GB 50011-2010", Paragraph(5), Verdict::kNone, Outcome::kNone),
      Listed("GB/T99999-2010", 7, Verdict::kNotListed, Outcome::kNotFound),
      failed,
      Listed("GB/T99999-2010", 9, Verdict::kNotListed, Outcome::kNotFound),
      Listed("  ", 10, Verdict::kNotListed, Outcome::kEmpty),
  };
  const std::vector<ChangeEntry> want = {
      {"《钢结构设计规范》GB 50017-2003", "第 1 段；第 4 段", "有新标准",
       "《钢结构设计标准》GB 50017-2017", Address("GB50017")},
      {"《建筑给水排水设计规范》GB 50015-2003", "第 2 段", "现行为 2009年版",
       "《建筑给水排水设计规范》GB 50015-2003（2009年版）", Address("GB50015")},
      {"GB 50045-95", "第 5 段", "已废止：网站列为废止，无现行版本", "", Address("GB50045")},
      {"GB/T99999-2010", "第 7 行；第 9 行", "未收录：网站未收录该编号", "", Address("GBT99999")},
      {"GB 50352-2019", "第 6 段", "查询失败：网站返回 503", "", Address("GB50352")},
  };
  EXPECT_EQ(ChangeList(rows), want);
}

// A current standard cited again under another title is an entry that names that place.
TEST_F(ChangeListTest, ACurrentStandardMiscitedInOnePlaceNamesIt) {
  TableRow current = Cited("《钢结构设计标准》GB 50017-2017", Paragraph(1), Verdict::kCurrent,
                           Outcome::kFound, "GB 50017-2017", "钢结构设计标准");
  const std::vector<Citation> again = FindCitations("《钢结构设计规范》GB 50017-2017");
  current.source.cited_again.push_back({Paragraph(4), again.front()});
  current.judgement.notes.title_matches = false;
  TableRow right = Cited("《建筑设计防火规范》GB 50016-2014", Paragraph(2), Verdict::kCurrent,
                         Outcome::kFound, "GB 50016-2014", "建筑设计防火规范");
  right.judgement.notes.title_matches = true;

  const std::vector<ChangeEntry> want = {
      {"《钢结构设计标准》GB 50017-2017", "第 1 段；第 4 段",
       "现行：题名不符：第 4 段引用《钢结构设计规范》，网站为《钢结构设计标准》", "",
       Address("GB50017")}};
  EXPECT_EQ(ChangeList({current, right}), want);
}

TEST_F(ChangeListTest, SearchAddressIsTheOneTheLookupAsksFor) {
  // A citation's lookup asks for its canonical number, not the number as written.
  EXPECT_EQ(RowSearchAddress(TestSite(), Cited("GB 50016—2014（2018年版）", Paragraph(1),
                                               Verdict::kNone, Outcome::kNone)),
            Address("GB50016"));
  EXPECT_EQ(
      RowSearchAddress(TestSite(), Listed("  GB 50011-2010 ", 1, Verdict::kNone, Outcome::kNone)),
      Address("GB50011"));
  EXPECT_EQ(RowSearchAddress(TestSite(), Listed("", 1, Verdict::kNone, Outcome::kNone)), "");
}

const std::vector<ChangeEntry> kTwoEntries = {
    {"《规范》GB 50016-2014", "第 1 段；第 3 段", "有新标准", "《新规范》GB 50016-2024",
     "http://h/s?a=1&b=2"},
    {"=GB\t1, \"x\"\n", "第 2 行", "未收录：网站未收录该编号", "《新\x1b[2J规范\x07\\》GB 1-2020",
     ""}};

struct FormatCase {
  const char* name;
  ChangeFormat format;
  std::string want;
};
KELVARO_PRINT_CASES_BY_NAME()

class FormatChangesTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatChangesTest, WritesEveryEntryUnderTheHeader) {
  EXPECT_EQ(FormatChanges(kTwoEntries, GetParam().format), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatChangesTest,
    ::testing::Values(
        FormatCase{"Tsv", ChangeFormat::kTsv,
                   "序号\t原文\t出处\t结论\t建议改为\t查询结果网页\n"
                   "1\t《规范》GB 50016-2014\t第 1 段；第 3 段\t有新标准\t《新规范》GB "
                   "50016-2024\thttp://h/s?a=1&b=2\n"
                   "2\t=GB 1, \"x\" \t第 2 行\t未收录：网站未收录该编号\t"
                   "《新\\x1b[2J规范\\x07\\\\》GB 1-2020\t\n"},
        FormatCase{"Csv", ChangeFormat::kCsv,
                   "\xEF\xBB\xBF序号,原文,出处,结论,建议改为,查询结果网页\r\n"
                   "1,《规范》GB 50016-2014,第 1 段；第 3 段,有新标准,《新规范》GB "
                   "50016-2024,http://h/s?a=1&b=2\r\n"
                   "2,\"'=GB\t1, \"\"x\"\"\n\",第 2 行,未收录：网站未收录该编号,"
                   "《新\x1b[2J规范\x07\\》GB 1-2020,\r\n"},
        FormatCase{"Json", ChangeFormat::kJson,
                   "[\n"
                   "  {\n"
                   "    \"written\": \"《规范》GB 50016-2014\",\n"
                   "    \"places\": \"第 1 段；第 3 段\",\n"
                   "    \"verdict\": \"有新标准\",\n"
                   "    \"suggestion\": \"《新规范》GB 50016-2024\",\n"
                   "    \"address\": \"http://h/s?a=1&b=2\"\n"
                   "  },\n"
                   "  {\n"
                   "    \"written\": \"=GB\\t1, \\\"x\\\"\\n\",\n"
                   "    \"places\": \"第 2 行\",\n"
                   "    \"verdict\": \"未收录：网站未收录该编号\",\n"
                   "    \"suggestion\": \"《新\\u001b[2J规范\\u0007\\\\》GB 1-2020\",\n"
                   "    \"address\": \"\"\n"
                   "  }\n"
                   "]\n"}),
    test::CaseName());

// A standard cited 300 times: print gives the first places and a count, the data keeps all.
TEST_F(ChangeListTest, ManyPlacesPrintAsTheFirstAndACount) {
  TableRow row =
      Cited("GB 50017-2003", Paragraph(1), Verdict::kSuperseded, Outcome::kFound, "GB 50017-2017");
  for (int n = 2; n <= 300; ++n) {
    row.source.cited_again.push_back({Paragraph(n), row.source.citation.value()});
  }
  const TableRow few = Cited("GB 50045-95", Paragraph(1), Verdict::kWithdrawn, Outcome::kWithdrawn);
  const std::vector<TableRow> rows = {row, few};
  const std::string brief = "第 1 段；第 2 段；第 3 段 等 300 处";

  const std::vector<ChangeEntry> entries = ChangeList(rows);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].places_brief, brief);
  EXPECT_TRUE(entries[0].places.ends_with("；第 299 段；第 300 段")) << entries[0].places;
  EXPECT_EQ(entries[1].places_brief, "");  // one place says it all

  EXPECT_EQ(ChangeSheet(rows).rows[0][2], brief);
  EXPECT_NE(FormatChanges(entries, ChangeFormat::kTsv).find("\t" + brief + "\t"),
            std::string::npos);
  for (const ChangeFormat whole : {ChangeFormat::kCsv, ChangeFormat::kJson}) {
    const std::string out = FormatChanges(entries, whole);
    EXPECT_EQ(out.find(" 等 300 处"), std::string::npos);
    EXPECT_NE(out.find("第 300 段"), std::string::npos);
  }
}

TEST_F(ChangeListTest, SheetNumbersTheEntriesAndFillsThemByVerdict) {
  const std::vector<TableRow> rows = {
      Cited("GB 50045-95", Paragraph(1), Verdict::kWithdrawn, Outcome::kWithdrawn),
      Cited("GB 50016-2014", Paragraph(2), Verdict::kCurrent, Outcome::kFound, "GB 50016-2014"),
      Cited("GB 50017-2003", Paragraph(3), Verdict::kSuperseded, Outcome::kFound, "GB 50017-2017")};
  const XlsxSheet sheet = ChangeSheet(rows);
  EXPECT_EQ(sheet.name, "修改清单");
  EXPECT_EQ(sheet.header, ChangeHeader());
  ASSERT_EQ(sheet.rows.size(), 2u);
  EXPECT_EQ(sheet.rows[1], (std::vector<std::string>{"2", "GB 50017-2003", "第 3 段", "有新标准",
                                                     "GB 50017-2017", Address("GB50017")}));
  EXPECT_EQ(sheet.header[static_cast<std::size_t>(sheet.number_column)], "序号");
  EXPECT_EQ(sheet.header[static_cast<std::size_t>(sheet.fill_column)], "结论");
  EXPECT_EQ(sheet.row_fills, (std::vector<CellFill>{SpecOf(Verdict::kWithdrawn).fill,
                                                    SpecOf(Verdict::kSuperseded).fill}));
}

// A folder's list goes document by document, each with the places in it; a standard cited in
// two documents is listed in both. The export gains a sheet per document.
TEST_F(ChangeListTest, AFoldersListGoesDocumentByDocument) {
  const auto in = [](const char* document, Location location) {
    location.document = document;
    return location;
  };
  TableRow superseded = Cited("GB 50017-2003", in("b.docx", Paragraph(3)), Verdict::kSuperseded,
                              Outcome::kFound, "GB 50017-2017");
  superseded.source.cited_again = {{in("sub/a.txt", Line(2)), *superseded.source.citation},
                                   {in("b.docx", Paragraph(9)), *superseded.source.citation}};
  const std::vector<TableRow> rows = {superseded, Cited("GB 50045-95", in("sub/a.txt", Line(1)),
                                                        Verdict::kWithdrawn, Outcome::kWithdrawn)};
  const std::string csv = FormatChanges(ChangeList(rows), ChangeFormat::kCsv);
  EXPECT_EQ(csv,
            "\xEF\xBB\xBF序号,文档,原文,出处,结论,建议改为,查询结果网页\r\n"
            "1,b.docx,GB 50017-2003,第 3 段；第 9 段,有新标准,GB 50017-2017," +
                Address("GB50017") + "\r\n" +
                "2,sub/a.txt,GB 50017-2003,第 2 行,有新标准,GB 50017-2017," + Address("GB50017") +
                "\r\n" + "3,sub/a.txt,GB 50045-95,第 1 行,已废止：网站列为废止，无现行版本,," +
                Address("GB50045") + "\r\n");
  const XlsxSheet sheet = ChangeSheet(rows);
  EXPECT_EQ(sheet.header[static_cast<std::size_t>(sheet.fill_column)], "结论");
  EXPECT_EQ(sheet.rows.size(), 3u);
}

// A printed page names the file without its folder, the day of the latest lookup and the site.
TEST_F(ChangeListTest, PrintedPagesNameTheFileTheDayOfTheCheckAndTheSite) {
  std::vector<TableRow> rows(3);
  rows[0].judgement.read_at = "2026-12-09 23:59:59";
  rows[1].judgement.read_at = "2026-12-10 00:00:01";  // the latest, though not the last
  for (const char* path :
       {"/home/u/图纸/设计说明.docx", "C:\\图纸\\设计说明.docx", "设计说明.docx"}) {
    const XlsxPrintInfo print = WorkbookPrintInfo(rows, path, TestSite());
    EXPECT_EQ(print.document, "设计说明.docx") << path;
    EXPECT_EQ(print.date, "2026-12-10");
    EXPECT_EQ(print.site, kPrefix);
  }
  // Nothing looked up yet: today; pasted rows: no file.
  const XlsxPrintInfo unchecked = WorkbookPrintInfo({TableRow()}, "", TestSite());
  EXPECT_EQ(unchecked.document, "");
  EXPECT_EQ(unchecked.date.size(), std::string("2026-12-10").size());
  EXPECT_EQ(unchecked.date.substr(4, 1), "-");
}

}  // namespace
}  // namespace kelvaro
