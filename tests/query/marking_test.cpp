#include "query/marking.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "citation/citation.h"
#include "document/containers/zip_reader.h"
#include "rows/reason.h"
#include "rows/verdicts.h"
#include "support/named_case.h"
#include "support/office_builder.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

// A row citing `written`, judged `verdict` for `outcome`, the site's current standard
// GB 50017-2017 钢结构设计标准 where one was found.
TableRow Row(const std::string& written, Verdict verdict, Outcome outcome, RowNotes notes = {}) {
  TableRow row;
  const std::vector<Citation> found = FindCitations(written);
  if (!found.empty()) row.source.citation = found.front();
  row.judgement.verdict = verdict;
  row.cells[ColumnIndex(Column::kStatus)] = StatusWord(verdict);
  if (outcome == Outcome::kFound) {
    row.judgement.record.number = "GB 50017-2017";
    row.judgement.record.title = Utf8ToGbk("钢结构设计标准");
    row.cells[ColumnIndex(Column::kLatestNumber)] = row.judgement.record.number;
    row.cells[ColumnIndex(Column::kLatestTitle)] = row.judgement.record.title;
  }
  row.judgement.reason.outcome = outcome;
  row.judgement.notes = std::move(notes);
  if (outcome == Outcome::kFound) row.judgement.notes.release_date = "2017-12-12";
  return row;
}

// The site writes an edition into the title: "钢结构设计标准（2018年版）".
TableRow EditionInSiteTitle() {
  TableRow row = Row("《钢结构设计规范》GB 50017-2003", Verdict::kSuperseded, Outcome::kFound,
                     {std::nullopt, "2018年版", std::nullopt});
  row.cells[ColumnIndex(Column::kLatestTitle)] = Utf8ToGbk("钢结构设计标准（2018年版）");
  return row;
}

TableRow Failed() {
  TableRow row = Row("GB 50017-2003", Verdict::kFailed, Outcome::kHttpError);
  row.judgement.reason.http_status = 503;
  return row;
}

TableRow NotInForce() {
  TableRow row = Row("GB 50017-2003", Verdict::kNotInForce, Outcome::kNotInForce);
  row.judgement.reason.effective_date = "2027-03-01";
  return row;
}

// Withdrawn, and its detail page names the standard that replaced it.
TableRow WithdrawnWithASuccessor() {
  TableRow row =
      Row("《高层民用建筑设计防火规范》GB 50045-95", Verdict::kWithdrawn, Outcome::kWithdrawn);
  ListedStandard successor;
  successor.number = "GB 50016-2014";
  successor.title = Utf8ToGbk("建筑设计防火规范");
  successor.standing = Standing::kCurrent;
  row.judgement.replaced_by = successor;
  row.judgement.reason.successor = successor.number;
  row.cells[ColumnIndex(Column::kLatestNumber)] = LatestNumber(row.judgement);
  row.cells[ColumnIndex(Column::kLatestTitle)] = LatestTitle(row.judgement);
  return row;
}

const RowNotes kOtherEdition{std::nullopt, "2018年版", false};
const RowNotes kSameEdition{std::nullopt, "2018年版", true};
const RowNotes kComing{ComingStandard{"GB 50017-2024", "", "2027-03-01"}, "", std::nullopt};

CitationMark Mark(Verdict verdict, std::string comment, std::string number = "",
                  std::string title = "") {
  return {std::move(comment), SpecOf(verdict).fill, std::move(number), std::move(title)};
}

struct MarkCase {
  const char* name;
  TableRow row;
  bool replace;
  std::optional<CitationMark> want;
};
KELVARO_PRINT_CASES_BY_NAME()

class MarkOfRowTest : public ::testing::TestWithParam<MarkCase> {};

TEST_P(MarkOfRowTest, MarksWhatNeedsAttention) {
  EXPECT_EQ(MarkOfRow(GetParam().row, GetParam().replace), GetParam().want);
}

const char kSuperseded[] = "有新标准：现行为《钢结构设计标准》GB 50017-2017（2017-12-12 发布）";

INSTANTIATE_TEST_SUITE_P(
    Verdicts, MarkOfRowTest,
    ::testing::Values(
        MarkCase{"NeverLookedUp", Row("GB 50017-2003", Verdict::kNone, Outcome::kNone), true,
                 std::nullopt},
        MarkCase{"Current", Row("GB 50017-2017", Verdict::kCurrent, Outcome::kFound), true,
                 std::nullopt},
        MarkCase{"CurrentOfTheCitedEdition",
                 Row("GB 50017-2017（2018年版）", Verdict::kCurrent, Outcome::kFound, kSameEdition),
                 true, std::nullopt},
        MarkCase{"CurrentOfAnotherEdition",
                 Row("《钢结构设计标准》GB 50017-2017", Verdict::kCurrent, Outcome::kFound,
                     kOtherEdition),
                 false, Mark(Verdict::kCurrent, "现行为 2018年版")},
        MarkCase{"CurrentOfAnotherEditionReplaced",
                 Row("《钢结构设计标准》GB 50017-2017", Verdict::kCurrent, Outcome::kFound,
                     kOtherEdition),
                 true, Mark(Verdict::kCurrent, "现行为 2018年版", "GB 50017-2017（2018年版）")},
        MarkCase{"SuccessorComing",
                 Row("GB 50017-2017", Verdict::kCurrentComing, Outcome::kFound, kComing), true,
                 Mark(Verdict::kCurrentComing, "新标准即将实施：GB 50017-2024（2027-03-01 实施）")},
        MarkCase{"Superseded",
                 Row("《钢结构设计规范》GB 50017-2003", Verdict::kSuperseded, Outcome::kFound),
                 false, Mark(Verdict::kSuperseded, kSuperseded)},
        MarkCase{"SupersededReplacedWithItsTitle",
                 Row("《钢结构设计规范》GB 50017-2003", Verdict::kSuperseded, Outcome::kFound),
                 true, Mark(Verdict::kSuperseded, kSuperseded, "GB 50017-2017", "钢结构设计标准")},
        MarkCase{
            "SupersededEditionOnceAfterTheNumber", EditionInSiteTitle(), true,
            Mark(Verdict::kSuperseded,
                 "有新标准：现行为《钢结构设计标准（2018年版）》GB 50017-2017（2017-12-12 发布）",
                 "GB 50017-2017（2018年版）", "钢结构设计标准")},
        MarkCase{"SupersededTitleTheSameButForSpaces",
                 Row("《钢结构 设计标准》GB 50017-2003", Verdict::kSuperseded, Outcome::kFound),
                 true, Mark(Verdict::kSuperseded, kSuperseded, "GB 50017-2017")},
        MarkCase{
            "SupersededWithoutATitle",
            Row("GB 50017-2003", Verdict::kSuperseded, Outcome::kFound, kComing), true,
            Mark(Verdict::kSuperseded,
                 std::string(kSuperseded) + "；新标准即将实施：GB 50017-2024（2027-03-01 实施）",
                 "GB 50017-2017")},
        MarkCase{"WithdrawnNeverReplaced",
                 Row("《钢结构设计规范》GB 50017-2003", Verdict::kWithdrawn, Outcome::kWithdrawn),
                 true, Mark(Verdict::kWithdrawn, "已废止：网站列为废止，无现行版本")},
        MarkCase{"WithdrawnWithASuccessor", WithdrawnWithASuccessor(), false,
                 Mark(Verdict::kWithdrawn, "已废止，被 GB 50016-2014 代替")},
        MarkCase{"WithdrawnReplacedByItsSuccessor", WithdrawnWithASuccessor(), true,
                 Mark(Verdict::kWithdrawn, "已废止，被 GB 50016-2014 代替", "GB 50016-2014",
                      "建筑设计防火规范")},
        MarkCase{"NotInForce", NotInForce(), true,
                 Mark(Verdict::kNotInForce, "尚未实施：实施日期 2027-03-01")},
        MarkCase{"NotListed", Row("GB 50017-2003", Verdict::kNotListed, Outcome::kNotFound), true,
                 Mark(Verdict::kNotListed, "网站未收录该编号")},
        MarkCase{"Failed", Failed(), true, Mark(Verdict::kFailed, "网站返回 503")}),
    test::CaseName());

struct NameCase {
  const char* name;
  std::string path;
  std::string want;
};

class MarkedCopyNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(MarkedCopyNameTest, KeepsTheFolderAndTheExtension) {
  EXPECT_EQ(MarkedCopyName(GetParam().path), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MarkedCopyNameTest,
    ::testing::Values(NameCase{"InAFolder", "a/设计说明.docx", "a/设计说明（已核查）.docx"},
                      NameCase{"Bare", "表.xlsx", "表（已核查）.xlsx"},
                      NameCase{"WindowsFolder", "C:\\v1.2\\notes.docx",
                               "C:\\v1.2\\notes（已核查）.docx"},
                      NameCase{"NoExtensionDottedFolder", "v1.2/notes", "v1.2/notes（已核查）"},
                      NameCase{"OnlyADot", "a/.docx", "a/.docx（已核查）"}),
    test::CaseName());

TEST(CheckSheet, OneLinePerPlaceLinkedToItsCell) {
  const auto cell = [](const std::string& sheet, const std::string& ref) {
    Location location;
    location.kind = Location::Kind::kSheetCell;
    location.sheet = sheet;
    location.cell = ref;
    return location;
  };
  TableRow superseded =
      Row("《钢结构设计规范》GB 50017-2003", Verdict::kSuperseded, Outcome::kFound);
  superseded.cells[ColumnIndex(Column::kOrdinal)] = "1";
  superseded.source.location = cell("设计依据", "C5");
  const std::vector<Citation> again = FindCitations("GB 50017—2003");
  superseded.source.cited_again.push_back({cell("It's", "B2"), again.front()});
  TableRow withdrawn = Row("GB 50045-95", Verdict::kWithdrawn, Outcome::kWithdrawn);
  withdrawn.cells[ColumnIndex(Column::kOrdinal)] = "2";

  const XlsxSheet sheet = CheckSheet({superseded, withdrawn});
  EXPECT_EQ(sheet.name, "核查结果");
  EXPECT_EQ(sheet.header, (std::vector<std::string>{"序号", "原文", "位置", "状态", "现行标准编号",
                                                    "现行标准名称", "原因"}));
  const std::string found = ReasonDescription({Outcome::kFound, 0, {}});
  EXPECT_EQ(
      sheet.rows,
      (std::vector<std::vector<std::string>>{
          {"1", "《钢结构设计规范》GB 50017-2003", "设计依据!C5", "有新标准", "GB 50017-2017",
           "钢结构设计标准", found},
          {"1", "GB 50017—2003", "It's!B2", "有新标准", "GB 50017-2017", "钢结构设计标准", found},
          {"2", "GB 50045-95", "", "未知", "", "", "已废止：网站列为废止，无现行版本"}}));
  EXPECT_EQ(sheet.row_links, (std::vector<std::string>{"'设计依据'!C5", "'It''s'!B2", ""}));
  EXPECT_EQ(sheet.row_fills, (std::vector<CellFill>{SpecOf(Verdict::kSuperseded).fill,
                                                    SpecOf(Verdict::kSuperseded).fill,
                                                    SpecOf(Verdict::kWithdrawn).fill}));
  EXPECT_EQ(sheet.header[static_cast<std::size_t>(sheet.number_column)], "序号");
  EXPECT_EQ(sheet.header[static_cast<std::size_t>(sheet.link_column)], "位置");
  EXPECT_EQ(sheet.header[static_cast<std::size_t>(sheet.fill_column)], "状态");
}

// A row of a current standard cited twice, the second time under another title: the copy
// marks that place alone, and the sheet says it of that place alone.
TableRow CitedTwiceOnceMiscited() {
  TableRow row = Row("《钢结构设计标准》GB 50017-2017", Verdict::kCurrent, Outcome::kFound);
  row.cells[ColumnIndex(Column::kOrdinal)] = "1";
  row.source.location.kind = Location::Kind::kParagraph;
  row.source.location.paragraph = 1;
  CitedPlace again{row.source.location, FindCitations("《钢结构设计规范》GB 50017-2017").front()};
  again.location.paragraph = 2;
  row.source.cited_again.push_back(again);
  row.judgement.notes.title_matches = false;
  return row;
}

// A member of the copy's archive; empty when it has none.
std::string PartOf(const Bytes& archive, const std::string& name) {
  return test::ZipMemberText(
      std::string_view(reinterpret_cast<const char*>(archive.data()), archive.size()), name);
}

const char kMiscited[] = "题名不符：引用《钢结构设计规范》，网站为《钢结构设计标准》";

TEST(MarkDocument, MarksOnlyThePlaceThatMisciteTheTitle) {
  const Bytes docx = test::BuildDocx(test::WordParagraph("《钢结构设计标准》GB 50017-2017") +
                                     test::WordParagraph("《钢结构设计规范》GB 50017-2017"));
  Bytes out;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(MarkDocument(docx, DocumentKind::kDocx, {CitedTwiceOnceMiscited()}, false,
                           "2026-12-09T15:04:05Z", out, error));
  const std::string comments = PartOf(out, "word/comments.xml");
  EXPECT_NE(comments.find(kMiscited), std::string::npos) << comments;
  EXPECT_EQ(comments.find("<w:comment "), comments.rfind("<w:comment ")) << comments;
  const std::string body = PartOf(out, "word/document.xml");
  const std::size_t comment = body.find("commentRangeStart");
  ASSERT_NE(comment, std::string::npos);
  EXPECT_LT(body.find("钢结构设计标准》"), comment);
  EXPECT_GT(body.find("钢结构设计规范》"), comment);
}

TEST(CheckSheet, SaysAMiscitedTitleOfItsPlaceOnly) {
  const XlsxSheet sheet = CheckSheet({CitedTwiceOnceMiscited()});
  ASSERT_EQ(sheet.rows.size(), 2u);
  const std::string found = ReasonDescription({Outcome::kFound, 0, {}});
  EXPECT_EQ(sheet.rows[0].back(), found);
  EXPECT_EQ(sheet.rows[1].back(), found + "；" + kMiscited);
}

TEST(MarkDocument, RefusesWhatCannotBeMarked) {
  Bytes out = {1, 2, 3};
  DocumentError error = DocumentError::kNone;
  EXPECT_FALSE(MarkDocument(Bytes{'%', 'P', 'D', 'F'}, DocumentKind::kPdf, {}, false,
                            "2026-12-09T15:04:05Z", out, error));
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(error, DocumentError::kNotMarkable);
  EXPECT_STREQ(DocumentErrorWords(error), "只有 Word (.docx) 和 Excel (.xlsx) 文档能标注");
}

// Asked before the lookups: the refusals a real copy would meet, with none of its work.
TEST(CanMarkDocument, RefusesWhatNoCopyCanBeMadeOf) {
  test::ZipBuilder strict = test::StrictXlsxArchive("GB 50016-2014");
  const struct {
    const char* name;
    Bytes bytes;
    DocumentKind kind;
    DocumentError error;
  } cases[] = {
      {"Word", test::BuildDocx(test::WordParagraph("GB 50016-2014")), DocumentKind::kDocx,
       DocumentError::kNone},
      {"Excel",
       test::BuildXlsx({{"设计依据", test::SheetRow(1, test::InlineCell("A1", "GB 50016-2014"))}},
                       {}),
       DocumentKind::kXlsx, DocumentError::kNone},
      {"StrictExcel", test::AsBytes(strict.Build()), DocumentKind::kXlsx,
       DocumentError::kStrictXml},
      {"Pdf", Bytes{'%', 'P', 'D', 'F'}, DocumentKind::kPdf, DocumentError::kNotMarkable},
  };
  for (const auto& c : cases) {
    DocumentError error = DocumentError::kNone;
    EXPECT_EQ(CanMarkDocument(c.bytes, c.kind, error), c.error == DocumentError::kNone) << c.name;
    EXPECT_EQ(error, c.error) << c.name;
  }
}

}  // namespace
}  // namespace kelvaro
