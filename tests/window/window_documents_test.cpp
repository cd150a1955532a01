// Numbers as engineers write them, through the window: pasted design notes, a Word document,
// the sources and the title check in the tooltips, the exports that carry them, an exported
// workbook read back by others and imported again, and the checked document handed back.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <nlohmann/json.hpp>
#include <ostream>
#include <random>
#include <regex>
#include <span>
#include <string>
#include <vector>

#include "document/containers/zip_reader.h"
#include "query/changes.h"
#include "query/marking.h"
#include "rows/export.h"
#include "rows/folder.h"
#include "support/fake_window.h"
#include "support/named_case.h"
#include "support/office_builder.h"
#include "support/process.h"
#include "support/sites.h"
#include "support/table_text.h"
#include "text/encoding.h"
#include "window/window_texts.h"

namespace kelvaro {
namespace {

using test::FakeWindow;

const int kNumber = ColumnIndex(Column::kNumber);
const int kStatus = ColumnIndex(Column::kStatus);

// A structural design note's 设计依据, as engineers write it.
const char kDesignNote[] =
    "设计依据：\n"
    "1.《建筑设计防火规范》GB 50016-2014（2018年版）\n"
    "2. GB/T 50001—2017、GB50011-2010(2016年版)；GB 50007－2011\n"
    "3. ＧＢ　50017-2017 钢结构设计标准\n"
    "4. GB 50009-2012 建筑结构荷载规范，混凝土 C30，钢筋 HRB400\n";

TEST(WindowPasteTest, PastedTextGivesARowPerCitationWithItsSource) {
  test::LoggedSite site;
  FakeWindow window;
  window.view.clipboard = kDesignNote;
  window.logic.RunTableCommand(TableCommand::kPaste);
  EXPECT_EQ(window.Column(kNumber),
            (std::vector<std::string>{"GB 50016-2014（2018年版）", "GB/T 50001—2017",
                                      "GB50011-2010(2016年版)", "GB 50007－2011",
                                      "ＧＢ　50017-2017", "GB 50009-2012"}));
  EXPECT_EQ(window.table.CellToolTip(0, kNumber),
            "第 2 行：《建筑设计防火规范》GB 50016-2014（2018年版）");
  EXPECT_EQ(window.table.CellToolTip(3, kNumber), "第 3 行：GB 50007－2011");

  window.logic.Clicked(kBatchQueryButton);
  ASSERT_TRUE(window.WaitForWorkers());
  // Every citation is looked up by its canonical number: all of them are current.
  EXPECT_EQ(window.Column(kStatus), std::vector<std::string>(6, "现行"));

  // A text without a standard number leaves the rows and says so.
  window.view.clipboard = "混凝土 C30，钢筋 HRB400，DN100";
  window.logic.Paste();
  EXPECT_EQ(window.table.RowCount(), 6);
  ASSERT_EQ(window.view.errors.size(), 1u);
  EXPECT_EQ(window.view.errors[0].second, kNothingToPaste);
}

// Rows that were looked up are replaced only when the user says so; rows never looked up
// are replaced without a question.
TEST(WindowPasteTest, PastingOverLookedUpRowsAsksFirst) {
  FakeWindow window;
  for (const char* number : {"GB 1-2010", "GB 2-2010", "GB 3-2010"}) window.AddRow({"", number});
  for (const auto& [row, verdict] : {std::pair{1, Verdict::kCurrent}, {2, Verdict::kFailed}}) {
    Judgement judgement;
    judgement.verdict = verdict;
    window.table.SetJudgementById(window.table.RowIds()[row], judgement);
  }
  window.view.clipboard = "GB 50016-2014";
  window.view.confirm_answer = false;
  window.logic.Paste();
  EXPECT_EQ(
      window.view.questions,
      (std::vector<std::pair<std::string, std::string>>{{kConfirmCaption, ReplaceResultsText(2)}}));
  EXPECT_EQ(window.Column(kNumber),
            (std::vector<std::string>{"GB 1-2010", "GB 2-2010", "GB 3-2010"}));

  window.view.confirm_answer = true;
  window.logic.Paste();
  EXPECT_EQ(window.Column(kNumber), std::vector<std::string>{"GB 50016-2014"});
  // Nothing looked up among the pasted rows: the next paste asks nothing.
  window.view.questions.clear();
  window.view.clipboard = "GB 50009-2012";
  window.logic.Paste();
  EXPECT_TRUE(window.view.questions.empty());
  EXPECT_EQ(window.Column(kNumber), std::vector<std::string>{"GB 50009-2012"});
}

TEST(WindowPasteTest, WhatGbkCannotHoldIsShownAndCopiedWhole) {
  FakeWindow window;
  window.view.clipboard = "依据 GB 50016−2014，见한국어 규격。";
  window.logic.Paste();
  ASSERT_EQ(window.table.RowCount(), 1);
  EXPECT_EQ(window.table.CellText(0, kNumber), "GB 50016−2014");  // what both windows draw
  window.logic.CopyCellOnDoubleClick(150, 5);
  EXPECT_EQ(window.view.clipboard, "GB 50016−2014");
  window.view.selected_row = 0;
  window.logic.CopySelectedRow();
  EXPECT_EQ(window.view.clipboard.rfind("1\tGB 50016−2014\t", 0), 0u) << window.view.clipboard;
}

// Whatever the clipboard holds, the paste ends at once; a text that cites nothing, or is too
// long to read, leaves the table as it was and says why.
struct HostilePasteCase {
  const char* name;
  std::string text;
  std::string number;  // the row made; none: the table is kept and `error` said
  std::string error;
};
KELVARO_PRINT_CASES_BY_NAME()

class WindowHostilePasteTest : public ::testing::TestWithParam<HostilePasteCase> {};

TEST_P(WindowHostilePasteTest, ReadsWhatItCitesOrKeepsTheTable) {
  FakeWindow window;
  window.AddRow({"1", "GB 1-2010"});
  window.view.clipboard = GetParam().text;
  window.logic.Paste();
  const bool kept = GetParam().number.empty();
  EXPECT_EQ(window.Column(kNumber),
            std::vector<std::string>{kept ? "GB 1-2010" : GetParam().number});
  ASSERT_EQ(window.view.errors.size(), kept ? 1u : 0u);
  if (kept) {
    EXPECT_EQ(window.view.errors[0].second, GetParam().error);
  }
}

std::string RandomBytes() {
  std::mt19937 random(20261209);
  std::string bytes(1 << 16, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Clipboards, WindowHostilePasteTest,
    ::testing::Values(HostilePasteCase{"ZeroBytesAroundACitation",
                                       std::string("\0GB 50016-2014\0", 15), "GB 50016-2014", ""},
                      HostilePasteCase{"LoneSurrogateBeforeACitation", "\xED\xA0\x80GB 50016-2014",
                                       "GB 50016-2014", ""},
                      HostilePasteCase{"AFileSignatureIsJustText", "%PDF-1.4\nGB 50016-2014",
                                       "GB 50016-2014", ""},
                      HostilePasteCase{"LoneSurrogatesAndInvalidUtf8",
                                       "\xED\xA0\x80\xED\xBF\xBF\xFF\xC0\xAF", "", kNothingToPaste},
                      HostilePasteCase{"RandomBytes", RandomBytes(), "", kNothingToPaste},
                      HostilePasteCase{
                          "TooLong",
                          "GB 50016-2014 " + std::string(WindowLogic::kMaxPasteBytes, 'x'), "",
                          kPasteTooLarge}),
    test::CaseName());

TEST(WindowDocumentTest, AWordNoteGivesItsCitationsWithTheirPlacesAndATitleThatDiffers) {
  test::LoggedSite site;
  FakeWindow window;
  const Bytes docx = test::BuildDocx(
      test::WordParagraph("本工程设计依据如下：") +
      test::WordParagraph("《建筑抗震规范》GB 50011-2010") +
      test::WordTable({{"序号", "标准"}, {"1", "GB/T 50001-2010 房屋建筑制图统一标准"}}));
  window.ImportBytes(std::string(docx.begin(), docx.end()), "设计说明.docx");
  ASSERT_TRUE(window.view.errors.empty()) << window.view.errors[0].second;
  ASSERT_EQ(window.table.RowCount(), 2);
  EXPECT_EQ(window.table.CellToolTip(0, kNumber), "第 2 段：《建筑抗震规范》GB 50011-2010");
  EXPECT_EQ(window.table.CellToolTip(1, kNumber),
            "表 1 第 1 行第 2 列（不计表头）：GB/T 50001-2010");

  window.logic.Clicked(kBatchQueryButton);
  ASSERT_TRUE(window.WaitForWorkers());
  EXPECT_EQ(window.Cell(0, kStatus), "现行");
  EXPECT_EQ(
      window.table.CellToolTip(0, kStatus),
      "网站上查到该编号的现行标准\n" + TitleMismatchWords("", "建筑抗震规范", "建筑抗震设计规范"));
  EXPECT_EQ(window.Cell(1, kStatus), "有新标准");

  // Copies and the CSV carry where each row came from.
  window.logic.CopyAllRows();
  EXPECT_NE(window.view.clipboard.find("\t出处\t原文\n"), std::string::npos);
  EXPECT_NE(window.view.clipboard.find("\t第 2 段\t《建筑抗震规范》GB 50011-2010\n"),
            std::string::npos)
      << window.view.clipboard;

  // A document that is not what its name says leaves the rows and says why.
  window.ImportBytes("not a zip", "坏的.docx");
  EXPECT_EQ(window.table.RowCount(), 2);
  ASSERT_EQ(window.view.errors.size(), 1u);
  EXPECT_EQ(window.view.errors[0].second.rfind("无法读取文件：", 0), 0u);
}

struct DocumentCase {
  const char* name;
  const char* file;
  std::function<std::string()> bytes;
  std::vector<std::string> tooltips;  // each row's number cell
};

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

class WindowDocumentKindTest : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(WindowDocumentKindTest, GivesARowPerCitationWithItsPlace) {
  FakeWindow window;
  window.ImportBytes(GetParam().bytes(), GetParam().file);
  ASSERT_TRUE(window.view.errors.empty()) << window.view.errors[0].second;
  std::vector<std::string> tooltips;
  for (int row = 0; row < window.table.RowCount(); ++row) {
    tooltips.push_back(window.table.CellToolTip(row, kNumber));
  }
  EXPECT_EQ(tooltips, GetParam().tooltips);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WindowDocumentKindTest,
    ::testing::Values(
        DocumentCase{
            "ExcelList",
            "标准清单.xlsx",
            [] {
              return AsString(test::BuildXlsx(
                  {{"设计依据", test::SheetRow(1, test::InlineCell("A1", "规范")) +
                                    test::SheetRow(5, test::InlineCell("C5", "GB 50016-2014") +
                                                          test::SharedCell("D5", 0))}},
                  {"《钢结构设计标准》GB 50017-2017"}));
            },
            {"设计依据!C5：GB 50016-2014", "设计依据!D5：《钢结构设计标准》GB 50017-2017"}},
        DocumentCase{"Csv",
                     "清单.csv",
                     [] { return std::string("序,编号\r\n1,\"GB 50009-2012，JGJ 3-2010\"\r\n"); },
                     {"第 2 行第 2 列：GB 50009-2012", "第 2 行第 2 列：JGJ 3-2010"}},
        DocumentCase{
            "PdfReport",
            "报告.pdf",
            [] {
              return test::BuildPdf({{"Design basis"}, {"GB 50016-2014", "GB/T 50001-2017"}});
            },
            {"第 2 页第 1 行：GB 50016-2014", "第 2 页第 2 行：GB/T 50001-2017"}}),
    test::CaseName());

TEST(WindowExcelTest, TheWorkbookReadsBackElsewhereAndImportsAgainAsItsList) {
  test::LoggedSite site;
  FakeWindow window;
  window.view.clipboard = "《建筑设计防火规范》GB 50016-2014；GB/T 50001-2010";
  window.logic.Paste();
  window.logic.Clicked(kBatchQueryButton);
  ASSERT_TRUE(window.WaitForWorkers());
  const std::string path = window.files.File("结果.xlsx");
  window.view.save_answer = path;
  window.logic.RunTableCommand(TableCommand::kExportXlsx);
  ASSERT_TRUE(window.view.errors.empty());
  ASSERT_EQ(window.view.save_asked.size(), 1u);
  EXPECT_EQ(window.view.save_asked[0], window.logic.program_directory() + "/结果.xlsx");

  const test::ProcessResult dump = test::RunProcess(
      {"/usr/bin/python3", KELVARO_SOURCE_DIR "/tests/support/openpyxl_dump.py", "xlsx", path});
  ASSERT_EQ(dump.exit_code, 0) << dump.err;
  const nlohmann::json book = nlohmann::json::parse(dump.out);
  const auto& rows = book["rows"];
  ASSERT_EQ(rows.size(), 3u);
  std::vector<std::string> header;
  for (const auto& cell : rows[0]) header.push_back(cell["value"]);
  EXPECT_EQ(header, (std::vector<std::string>{"序号", "待查标准编号", "是否现行", "最新标准编号",
                                              "最新标准名称", "原因", "出处", "原文", "查询时间"}));
  EXPECT_EQ(rows[1][1]["value"], "GB 50016-2014");
  EXPECT_EQ(rows[1][2]["value"], "现行");
  EXPECT_EQ(rows[2][2]["value"], "有新标准");
  EXPECT_EQ(rows[1][6]["value"], "第 1 行");
  EXPECT_EQ(rows[1][7]["value"], "《建筑设计防火规范》GB 50016-2014");
  EXPECT_EQ(std::string(rows[1][8]["value"]).size(), 19u);  // "2026-12-08 22:00:13"

  // Imported again, the saved list is checked again as it was.
  window.logic.ImportFile(path);
  EXPECT_EQ(window.Column(kNumber), (std::vector<std::string>{"GB 50016-2014", "GB/T 50001-2010"}));
  EXPECT_EQ(window.table.CellToolTip(1, kNumber), "查询结果!B3：GB/T 50001-2010");
}

// --- The checked document handed back ------------------------------------------------

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

const std::string kNoteDocx =
    AsString(test::BuildDocx(test::WordParagraph("《建筑抗震规范》GB 50011-2010") +
                             test::WordParagraph("GB/T 50001-2010 房屋建筑制图统一标准")));

struct HandBackCase {
  const char* name;
  std::function<void(FakeWindow&)> rows;
  bool marked;               // 导出核查后的文档…
  bool changes;              // 导出修改清单…
  bool search_page = false;  // 打开查询网页
};

class WindowHandBackEnabledTest : public ::testing::TestWithParam<HandBackCase> {};

TEST_P(WindowHandBackEnabledTest, TheExportsAreOfferedForTheRowsTheyCanServe) {
  FakeWindow window;
  GetParam().rows(window);
  EXPECT_EQ(window.logic.IsCommandEnabled(TableCommand::kExportMarked), GetParam().marked);
  EXPECT_EQ(window.logic.IsCommandEnabled(TableCommand::kExportChanges), GetParam().changes);
  EXPECT_EQ(window.logic.IsCommandEnabled(TableCommand::kOpenSearchPage), GetParam().search_page);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, WindowHandBackEnabledTest,
    ::testing::Values(
        HandBackCase{"NoRows", [](FakeWindow&) {}, false, false},
        HandBackCase{"WordDocument", [](FakeWindow& w) { w.ImportBytes(kNoteDocx, "说明.docx"); },
                     true, true},
        HandBackCase{
            "ExcelWorkbook",
            [](FakeWindow& w) {
              w.ImportBytes(
                  AsString(test::BuildXlsx(
                      {{"依据", test::SheetRow(1, test::InlineCell("A1", "GB 50016-2014"))}}, {})),
                  "清单.xlsx");
            },
            true, true},
        HandBackCase{"SelectedRowWithoutANumber",
                     [](FakeWindow& w) {
                       w.AddRow({"1", ""});
                       w.view.selected_row = 0;
                     },
                     false, true},
        HandBackCase{"ListOfNumbers", [](FakeWindow& w) { w.ImportLines({"GB 50016-2014"}); },
                     false, true},
        HandBackCase{"PastedAfterAWordDocument",
                     [](FakeWindow& w) {
                       w.ImportBytes(kNoteDocx, "说明.docx");
                       w.view.clipboard = "GB 50016-2014";
                       w.logic.Paste();
                     },
                     false, true},
        HandBackCase{"UnreadableFileAfterAWordDocument",
                     [](FakeWindow& w) {
                       w.ImportBytes(kNoteDocx, "说明.docx");
                       w.ImportBytes("not a zip", "坏的.docx");
                     },
                     true, true}),
    test::CaseName());

TEST(WindowHandBackTest, TheMarkedCopyIsNeverWrittenOverTheOriginal) {
  FakeWindow window;
  const std::string original = window.ImportBytes(kNoteDocx, "设计说明.docx");
  window.view.save_answer = original;
  window.logic.RunTableCommand(TableCommand::kExportMarked);
  EXPECT_EQ(window.view.save_asked, std::vector<std::string>{MarkedCopyName(original)});
  EXPECT_EQ(
      window.view.errors,
      (std::vector<std::pair<std::string, std::string>>{{kErrorCaption, kMarkedOverOriginal}}));
  EXPECT_EQ(FileText(original), kNoteDocx);
  // Refused before any lookup.
  EXPECT_EQ(window.Column(kStatus), std::vector<std::string>(2, ""));
  EXPECT_FALSE(window.logic.session()->IsRunning());
}

TEST(WindowHandBackTest, TheChangeListIsAWorkbookNamedAfterTheRowsFile) {
  FakeWindow window;
  const std::string original = window.ImportBytes(kNoteDocx, "设计说明.docx");
  const std::string path = window.files.File("清单.xlsx");
  window.view.save_answer = path;
  window.logic.RunTableCommand(TableCommand::kExportChanges);
  // Its printed pages name the rows' file.
  const auto rows = window.table.Snapshot();
  const Bytes expected =
      WriteXlsx(ChangeSheet(rows), WorkbookPrintInfo(rows, original, window.logic.site())).bytes;
  EXPECT_EQ(FileText(path), AsString(expected));
  EXPECT_TRUE(window.view.errors.empty());
  EXPECT_EQ(window.view.notices,
            (std::vector<std::pair<std::string, std::string>>{{kNoticeCaption, SavedText(path)}}));

  // Pasted rows have no file to be named after.
  window.view.clipboard = "GB 50016-2014";
  window.logic.Paste();
  window.logic.RunTableCommand(TableCommand::kExportChanges);
  EXPECT_EQ(window.view.save_asked,
            (std::vector<std::string>{DirectoryOf(original) + "/设计说明修改清单.xlsx",
                                      DirectoryOf(original) + "/修改清单.xlsx"}));
}

// A Word note not looked up yet: the export looks its rows up first, then writes the copy;
// the change list and the search pages follow from the same rows.
TEST(WindowHandBackTest, AWordNoteComesBackMarkedWithItsChangesAndSearchPages) {
  test::LoggedSite site;
  FakeWindow window;
  const std::string original = window.ImportBytes(kNoteDocx, "设计说明.docx");
  const std::string copy = window.files.File("核查.docx");
  window.view.save_answer = copy;
  bool enabled_meanwhile = true;
  window.During(
      [&] { enabled_meanwhile = window.logic.IsCommandEnabled(TableCommand::kExportMarked); });
  window.logic.RunTableCommand(TableCommand::kExportMarked);
  ASSERT_TRUE(window.PumpUntil([&] { return window.view.timer_ms == 0; }));
  EXPECT_FALSE(enabled_meanwhile);
  ASSERT_TRUE(window.view.errors.empty()) << window.view.errors[0].second;
  EXPECT_EQ(window.Column(kStatus), (std::vector<std::string>{"现行", "有新标准"}));
  EXPECT_EQ(window.view.notices,
            (std::vector<std::pair<std::string, std::string>>{{kNoticeCaption, SavedText(copy)}}));
  const std::string marked = FileText(copy);
  ZipReader zip;
  DocumentError error{};
  ASSERT_TRUE(zip.Open(
      std::span(reinterpret_cast<const std::uint8_t*>(marked.data()), marked.size()), error));
  const ZipMember* comments = zip.Find("word/comments.xml");
  ASSERT_NE(comments, nullptr);
  std::string xml;
  ASSERT_TRUE(zip.Extract(*comments, xml, error));
  EXPECT_NE(xml.find("有新标准"), std::string::npos) << xml;
  // Marked now, in UTC.
  EXPECT_TRUE(std::regex_search(xml, std::regex(R"(w:date="\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ")")))
      << xml;
  EXPECT_EQ(FileText(original), kNoteDocx);

  window.view.save_answer = window.files.File("清单.csv");
  window.logic.RunTableCommand(TableCommand::kExportChanges);
  std::string csv_error;
  const test::Table records = test::ReadCsv(FileText(*window.view.save_answer), csv_error);
  // The header, the title that is not the site's, the superseded standard.
  ASSERT_EQ(records.size(), 3u) << csv_error;
  EXPECT_EQ(records[1][3], "现行：" + TitleMismatchWords("", "建筑抗震规范", "建筑抗震设计规范"));
  EXPECT_NE(FileText(*window.view.save_answer).find("GB/T 50001-2010"), std::string::npos);

  window.view.selected_row = 1;
  ASSERT_TRUE(window.logic.IsCommandEnabled(TableCommand::kOpenSearchPage));
  window.logic.RunTableCommand(TableCommand::kOpenSearchPage);
  const std::string address = RowSearchAddress(window.logic.site(), *window.table.ShownRow(1));
  EXPECT_EQ(window.view.opened, std::vector<std::string>{address});
  EXPECT_EQ(address.rfind("http://127.0.0.1:", 0), 0u) << address;
  window.view.open_url_works = false;
  window.logic.RunTableCommand(TableCommand::kOpenSearchPage);
  ASSERT_EQ(window.view.errors.size(), 1u);
  EXPECT_EQ(window.view.errors[0].second, OpenPageErrorText(address));
}

std::string MemberText(const std::string& package, const char* name) {
  return test::ZipMemberText(package, name);
}

// The copy with tracked replacements: offered for a Word note only, proposed under its own
// name, and said where it went.
TEST(WindowHandBackTest, TheReplacedCopyCarriesTheCurrentNumberAsATrackedChange) {
  test::LoggedSite site;
  FakeWindow window;
  const std::string original = window.ImportBytes(kNoteDocx, "设计说明.docx");
  ASSERT_TRUE(window.logic.IsCommandEnabled(TableCommand::kExportReplaced));
  const std::string copy = window.files.File("替换.docx");
  window.view.save_answer = copy;
  window.logic.RunTableCommand(TableCommand::kExportReplaced);
  ASSERT_TRUE(window.PumpUntil([&] { return window.view.timer_ms == 0; }));
  ASSERT_TRUE(window.view.errors.empty()) << window.view.errors[0].second;
  EXPECT_EQ(window.view.save_asked, std::vector<std::string>{MarkedCopyName(original, true)});
  EXPECT_EQ(window.view.notices,
            (std::vector<std::pair<std::string, std::string>>{{kNoticeCaption, SavedText(copy)}}));
  const std::string document = MemberText(FileText(copy), "word/document.xml");
  EXPECT_TRUE(std::regex_search(document, std::regex("<w:ins [^>]*>.*50001-2017"))) << document;

  // The plain marked copy replaces nothing.
  window.view.save_answer = window.files.File("标记.docx");
  window.logic.RunTableCommand(TableCommand::kExportMarked);
  EXPECT_EQ(MemberText(FileText(*window.view.save_answer), "word/document.xml").find("<w:ins "),
            std::string::npos);

  window.ImportBytes(
      AsString(test::BuildXlsx(
          {{"依据", test::SheetRow(1, test::InlineCell("A1", "GB 50016-2014"))}}, {})),
      "清单.xlsx");
  EXPECT_TRUE(window.logic.IsCommandEnabled(TableCommand::kExportMarked));
  EXPECT_FALSE(window.logic.IsCommandEnabled(TableCommand::kExportReplaced));
}

// Rows removed since the import are left out of the copies: the user is told how many and
// may stop before anything is asked or written.
TEST(WindowHandBackTest, RowsRemovedSinceTheImportAreAnnouncedBeforeTheCopyOrTheChangeList) {
  test::LoggedSite site;
  FakeWindow window;
  window.ImportBytes(kNoteDocx, "设计说明.docx");
  window.logic.Clicked(kBatchQueryButton);
  ASSERT_TRUE(window.WaitForWorkers());
  // Nothing removed: nothing to ask.
  window.view.save_answer = window.files.File("清单.xlsx");
  window.logic.RunTableCommand(TableCommand::kExportChanges);
  EXPECT_TRUE(window.view.questions.empty());
  ASSERT_EQ(window.view.save_asked.size(), 1u);

  window.logic.RemoveRowsWithStatus(Verdict::kSuperseded);
  ASSERT_TRUE(window.WaitForWorkers());
  ASSERT_EQ(window.table.RowCount(), 1);
  window.view.confirm_answer = false;
  for (const TableCommand command :
       {TableCommand::kExportChanges, TableCommand::kExportMarked, TableCommand::kExportReplaced}) {
    window.view.questions.clear();
    window.logic.RunTableCommand(command);
    EXPECT_EQ(
        window.view.questions,
        (std::vector<std::pair<std::string, std::string>>{{kConfirmCaption, RemovedRowsText(1)}}))
        << static_cast<int>(command);
  }
  EXPECT_EQ(window.view.save_asked.size(), 1u);  // stopped before the dialog

  window.view.confirm_answer = true;
  window.view.save_answer = window.files.File("核查.docx");
  window.logic.RunTableCommand(TableCommand::kExportMarked);
  EXPECT_EQ(window.view.save_asked.size(), 2u);
  EXPECT_EQ(window.view.notices.back(), (std::pair<std::string, std::string>{
                                            kNoticeCaption, SavedText(*window.view.save_answer)}));
}

// --- A folder of documents ---------------------------------------------------------------

// 项目/坏的.docx (unreadable), 项目/清单.txt and 项目/sub/设计说明.docx: both cite GB 50011-2010.
std::string WriteProjectFolder(const test::TempDir& files) {
  files.Write("项目/坏的.docx", "not a zip");
  files.Write("项目/清单.txt", "设计依据：GB 50011-2010\r\n");
  files.Write("项目/sub/设计说明.docx", kNoteDocx);
  return files.File("项目");
}

std::vector<std::string> NumberToolTips(FakeWindow& window) {
  std::vector<std::string> tooltips;
  for (int row = 0; row < window.table.RowCount(); ++row) {
    tooltips.push_back(window.table.CellToolTip(row, kNumber));
  }
  return tooltips;
}

TEST(WindowFolderTest, AFolderFromTheMenuGivesRowsNamingTheirDocumentsAndSaysWhatWasPassedOver) {
  FakeWindow window;
  const std::string folder = WriteProjectFolder(window.files);
  window.view.folder_answer = folder;
  ASSERT_TRUE(window.logic.IsCommandEnabled(TableCommand::kImportFolder));
  window.logic.RunTableCommand(TableCommand::kImportFolder);
  ASSERT_EQ(window.view.folder_asked.size(), 1u);
  EXPECT_EQ(window.view.folder_asked[0].first, kImportFolderCaption);
  ASSERT_TRUE(window.view.errors.empty()) << window.view.errors[0].second;
  // One row per standard, every place naming its document.
  EXPECT_EQ(
      NumberToolTips(window),
      (std::vector<std::string>{"清单.txt：第 1 行；sub/设计说明.docx：第 1 段：GB 50011-2010",
                                "sub/设计说明.docx：第 2 段：GB/T 50001-2010"}));
  // The title counted the documents as they were read, then came back.
  EXPECT_NE(
      std::find(window.view.titles.begin(), window.view.titles.end(), ReadingDocumentsTitle(3, 3)),
      window.view.titles.end());
  EXPECT_EQ(window.view.title, WindowTitle());
  // What was passed over is said once.
  EXPECT_EQ(
      window.view.notices,
      (std::vector<std::pair<std::string, std::string>>{
          {kNoticeCaption, FolderNotesText({UnreadDocumentNote("坏的.docx", "不是 Word 文档")})}}));
  EXPECT_TRUE(window.logic.IsCommandEnabled(TableCommand::kExportMarked));

  // The next dialog opens beside the folder; cancel changes nothing.
  window.view.folder_answer.reset();
  window.logic.RunTableCommand(TableCommand::kImportFolder);
  EXPECT_EQ(window.view.folder_asked[1].second, DirectoryOf(folder));
  EXPECT_EQ(window.table.RowCount(), 2);
}

TEST(WindowFolderTest, ADroppedFolderAsksBeforeReplacingLookedUpRows) {
  FakeWindow window;
  const std::string folder = WriteProjectFolder(window.files);
  window.ImportLines({"GB 1-2010", "GB 2-2010"});
  Judgement judgement;
  judgement.verdict = Verdict::kCurrent;
  window.table.SetJudgementById(window.table.RowIds()[0], judgement);

  window.view.confirm_answer = false;
  window.logic.ImportDropped(folder);
  EXPECT_EQ(window.view.questions, (std::vector<std::pair<std::string, std::string>>{
                                       {kConfirmCaption, FolderReplaceResultsText(1)}}));
  EXPECT_EQ(window.Column(kNumber), (std::vector<std::string>{"GB 1-2010", "GB 2-2010"}));
  EXPECT_TRUE(window.view.notices.empty());

  window.view.confirm_answer = true;
  window.logic.ImportDropped(folder + "/");
  EXPECT_EQ(window.Column(kNumber), (std::vector<std::string>{"GB 50011-2010", "GB/T 50001-2010"}));
  EXPECT_EQ(window.view.notices.size(), 1u);

  // A folder citing nothing leaves the rows and says so in one message; a dropped file is
  // imported as a file.
  window.files.Write("空/说明.txt", "混凝土 C30");
  window.logic.ImportDropped(window.files.File("空"));
  EXPECT_EQ(window.table.RowCount(), 2);
  EXPECT_EQ(window.view.errors,
            (std::vector<std::pair<std::string, std::string>>{
                {kErrorCaption, NothingInFolderText(window.files.File("空"), {})}}));
  window.logic.ImportDropped(window.files.Write("list.txt", "GB 3-2010\r\n"));
  EXPECT_EQ(window.Column(kNumber), std::vector<std::string>{"GB 3-2010"});
  EXPECT_FALSE(window.logic.IsCommandEnabled(TableCommand::kExportMarked));
}

// Thousands of files passed over would make a message taller than the screen.
TEST(WindowFolderTest, ThePassedOverAreSaidUpToALimitThenCounted) {
  FakeWindow window;
  const std::size_t bad = kMaxNoteLines + 2;
  for (std::size_t i = 0; i < bad; ++i) {
    window.files.Write("多/" + std::to_string(100 + i) + ".docx", "not a zip");
  }
  window.files.Write("多/清单.txt", "GB 50011-2010");
  window.logic.ImportFolder(window.files.File("多"));
  ASSERT_EQ(window.view.notices.size(), 1u);
  const std::string& text = window.view.notices[0].second;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(kMaxNoteLines + 1))
      << text;
  EXPECT_NE(text.find("\n无法读取 100.docx："), std::string::npos) << text;
  EXPECT_TRUE(text.ends_with("……另有 2 项")) << text;
}

TEST(WindowFolderTest, ClosingWhileAFolderIsReadLeavesTheRows) {
  FakeWindow window;
  const std::string folder = WriteProjectFolder(window.files);
  window.During([&] {
    window.view.open = false;
    window.logic.Closing();
  });
  window.logic.ImportFolder(folder);
  EXPECT_EQ(window.table.RowCount(), 0);
  EXPECT_TRUE(window.view.notices.empty());
  EXPECT_TRUE(window.view.errors.empty());
}

// Rows from a folder not looked up yet: the copies wait for the lookups, then go into the
// new folder chosen, at their places under it; a folder among the originals or holding
// files is refused before any lookup.
TEST(WindowFolderTest, TheMarkedCopiesOfAFolderGoIntoANewFolder) {
  test::LoggedSite site;
  FakeWindow window;
  const std::string folder = WriteProjectFolder(window.files);
  window.logic.ImportFolder(folder);
  ASSERT_EQ(window.table.RowCount(), 2);
  window.files.Write("满/旧.txt", "");
  for (const auto& [chosen, error] : {std::pair{folder + "/sub", kMarkedFolderInside},
                                      {window.files.File("满"), kMarkedFolderNotEmpty}}) {
    window.view.errors.clear();
    window.view.folder_answer = chosen;
    window.logic.RunTableCommand(TableCommand::kExportMarked);
    EXPECT_EQ(window.view.errors,
              (std::vector<std::pair<std::string, std::string>>{{kErrorCaption, error}}))
        << chosen;
  }
  EXPECT_EQ(window.Column(kStatus), std::vector<std::string>(2, ""));

  window.view.errors.clear();
  window.view.notices.clear();
  const std::string out = window.files.File("核查");
  window.view.folder_answer = out;
  window.logic.RunTableCommand(TableCommand::kExportMarked);
  EXPECT_EQ(window.view.folder_asked.back(),
            (std::pair<std::string, std::string>{kMarkedFolderCaption, DirectoryOf(folder)}));
  ASSERT_TRUE(window.PumpUntil([&] { return window.view.timer_ms == 0; }));
  ASSERT_TRUE(window.view.errors.empty()) << window.view.errors[0].second;
  EXPECT_EQ(window.Column(kStatus), (std::vector<std::string>{"现行", "有新标准"}));
  EXPECT_EQ(window.view.notices, (std::vector<std::pair<std::string, std::string>>{
                                     {kNoticeCaption, FolderMarkedText(out, 1, {})}}));
  const std::string copy = FileText(out + "/" + MarkedCopyName("sub/设计说明.docx"));
  EXPECT_NE(MemberText(copy, "word/comments.xml").find("有新标准"), std::string::npos);
  EXPECT_EQ(FileText(folder + "/sub/设计说明.docx"), kNoteDocx);
}
}  // namespace
}  // namespace kelvaro
