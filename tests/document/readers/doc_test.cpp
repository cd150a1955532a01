// Word 97-2003: text through the piece table, paragraphs, cells, fields, deletions and the
// stories besides the body, on files built here and on one LibreOffice saved.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "document/document.h"
#include "document/errors.h"
#include "document/readers/pieces.h"
#include "support/binary_office_builder.h"
#include "support/named_case.h"

namespace kelvaro {
namespace {

KELVARO_PRINT_CASES_BY_NAME()

using test::WordFile;
using test::WordParagraph97;

struct DocCase {
  std::string name;
  WordFile file;
  std::string expected;
};

class DocTest : public testing::TestWithParam<DocCase> {};

TEST_P(DocTest, GivesTheTextWhereItStands) {
  EXPECT_EQ(test::Read(test::BuildWord(GetParam().file), DocumentKind::kDoc), GetParam().expected);
}

WordFile Body(std::u16string body) {
  WordFile f;
  f.body = std::move(body);
  return f;
}

WordFile Pieces(std::u16string body, std::vector<std::uint32_t> starts, std::vector<bool> packed) {
  WordFile f = Body(std::move(body));
  f.piece_starts = std::move(starts);
  f.compressed = std::move(packed);
  return f;
}

// A table of one row of two cells, "序号" and "GB 50016", then a paragraph.
WordFile Table() {
  WordFile f = Body(u"前\r序号\aGB 50016\a\a第二行\r续\a\a\a后\r");
  f.paragraphs = {{4, 1, false},  {13, 1, false}, {14, 1, true}, {18, 1, false},
                  {20, 1, false}, {21, 1, false}, {22, 1, true}};
  return f;
}

// Paragraphs styled as headings: a built-in 标题 1, a style based on it, an outline level
// in the style or of the paragraph itself; a body-text level (9) is none.
WordFile Headed() {
  WordFile f =
      Body(u"前言\r1 总则\r（1）GB 1-2010\rx\a\a2 设计依据\ra\r3 附录\rb\r正文级\r4 结语\r");
  f.styles = {{0, 0xFFF, -1, u"Normal"},
              {1, 0, -1, u"heading 1"},
              {0xFFE, 1, -1, u"My heading"},
              {0xFFE, 0, 1, u"Outlined"},
              {0xFFE, 1, 9, u"Body level"}};
  f.paragraphs = {{2, 0, false, 0},  {7, 0, false, 1},     {20, 0, false, 0},   {22, 1, false, 0},
                  {23, 1, true, 0},  {30, 0, false, 2},    {32, 0, false, 0},   {37, 0, false, 3},
                  {39, 0, false, 4}, {43, 0, false, 1, 9}, {48, 0, false, 0, 0}};
  return f;
}

WordFile Deleted() {
  WordFile f = Body(u"改按 GB 50099 GB 50010 执行\r删除的段\r留\r");
  f.deleted = {{3, 12}, {24, 28}};
  return f;
}

WordFile Stories() {
  WordFile f = Body(u"正文\r");
  f.footnotes = u"\x02 脚注 GB 1\r\x02 第二条\r\r";
  // Six separator stories (empty), then even header, odd header, even footer, odd footer.
  f.headers = u"偶数页眉\r页眉 GB 2\r页脚 GB 3\r\r";
  f.header_stories = {0, 0, 0, 0, 0, 0, 0, 5, 13, 13, 21, 21, 21, 22};
  f.endnotes = u"\x02 尾注\r\r";
  return f;
}

INSTANTIATE_TEST_SUITE_P(
    Text, DocTest,
    testing::Values(
        DocCase{"ParagraphsCountedEmptyOnesGiveNoPiece", Body(u"GB 50016-2014\r\r第三段\r"),
                "第 1 段=GB 50016-2014;第 3 段=第三段;"},
        DocCase{"CompressedPiecesAreCodePage1252",
                Pieces(u"Caf\u00e9 \u201cGB\u201d \u2013 \u2122\u0178\r", {}, {true}),
                "第 1 段=Caf\u00e9 \u201cGB\u201d \u2013 \u2122\u0178;"},
        DocCase{"PiecesOutOfStreamOrderAndMixedWidths",
                Pieces(u"GB 500\U00020BB7\u6807\u51c616-2014\r", {3, 10}, {true, false}),
                "第 1 段=GB 500\U00020BB7\u6807\u51c616-2014;"},
        DocCase{"TabsBreaksHyphensAndAnchors",
                Body(u"a\tb\vc\x1e"
                     u"d\x1f"
                     u"e\x01\x08\x02\x05"
                     u"f\r"),
                "第 1 段=a\tb\nc-def;"},
        DocCase{"FieldShowsItsResultNotItsInstruction",
                Body(u"见\x13 HYPERLINK \"http://x\" \x14GB 50300-2013\x15。\r"),
                "第 1 段=见GB 50300-2013。;"},
        DocCase{"FieldInsideAnInstructionIsPartOfIt",
                Body(u"\x13 IF \x13 PAGE \x14"
                     u"1\x15 = 1 \x14结果\x15\r"),
                "第 1 段=结果;"},
        DocCase{"FieldWithoutResult",
                Body(u"a\x13 TOC \x15"
                     u"b\r"),
                "第 1 段=ab;"},
        DocCase{"TableCellsAndRowsBelowTheHeader", Table(),
                "第 1 段=前;表 1 表头第 1 列=序号;表 1 表头第 2 列=GB 50016;"
                "表 1 第 1 行第 1 列（不计表头）=第二行\n续;第 2 段=后;"},
        DocCase{"HeadingsFromTheStylesheet", Headed(),
                "第 1 段=前言;1 总则=1 总则;1 总则 › （1）=（1）GB 1-2010;"
                "1 总则 › 表 1 第 1 行第 1 列=x;2 设计依据=2 设计依据;2 设计依据 › 第 1 段=a;"
                "3 附录=3 附录;3 附录 › 第 1 段=b;3 附录 › 第 2 段=正文级;4 结语=4 结语;"},
        DocCase{"CellMarksWithoutParagraphPropertiesAreParagraphs",
                [] {
                  WordFile f = Table();
                  f.paragraphs.clear();
                  return f;
                }(),
                "第 1 段=前;第 2 段=序号;第 3 段=GB 50016;第 5 段=第二行;第 6 段=续;"
                "第 9 段=后;"},
        DocCase{"NestedTableJoinsItsCell",
                [] {
                  WordFile f = Body(u"外\r内\r内2\r\r\a\a");
                  f.paragraphs = {{1, 1, false}, {3, 2, false}, {6, 2, false},
                                  {7, 2, true},  {8, 1, false}, {9, 1, true}};
                  return f;
                }(),
                "表 1 第 1 行第 1 列=外\n内\n内2;"},
        DocCase{"DeletedRevisionsLeftOut", Deleted(), "第 1 段=改按 GB 50010 执行;第 3 段=留;"},
        DocCase{"DeletionAcrossPieces",
                [] {
                  WordFile f = Deleted();
                  f.piece_starts = {5, 20};
                  f.compressed = {false, true};
                  return f;
                }(),
                "第 1 段=改按 GB 50010 执行;第 3 段=留;"},
        DocCase{"HeadersFootersAndNotes", Stories(),
                "第 1 段=正文;页眉第 1 段=偶数页眉;页眉第 2 段=页眉 GB 2;页脚第 1 段=页脚 GB 3;"
                "脚注第 1 段= 脚注 GB 1;脚注第 2 段= 第二条;尾注第 1 段= 尾注;"},
        DocCase{"TableInAHeaderCountsParagraphs",
                [] {
                  WordFile f = Body(u"x\r");
                  f.headers = u"a\ab\a\a\r";
                  f.header_stories = {0, 0, 0, 0, 0, 0, 0, 6};
                  f.paragraphs = {{3, 1, false}, {5, 1, false}, {6, 1, true}};
                  return f;
                }(),
                "第 1 段=x;页眉第 1 段=a;页眉第 2 段=b;"},
        DocCase{"HeaderStoriesThatGoBackAreNotFollowed",
                [] {
                  WordFile f = Body(u"x\r");
                  f.headers = u"页眉\r";
                  f.header_stories = {0, 0, 0, 0, 0, 0, 0, 3, 0, 3, 0, 3};
                  return f;
                }(),
                "第 1 段=x;"},
        DocCase{"TableStreamZero",
                [] {
                  WordFile f = Body(u"GB 1\r");
                  f.table1 = false;
                  return f;
                }(),
                "第 1 段=GB 1;"},
        DocCase{"Encrypted",
                [] {
                  WordFile f = Body(u"GB 1\r");
                  f.flags |= 0x0100;
                  return f;
                }(),
                std::string("error: ") + DocumentErrorWords(DocumentError::kEncrypted)},
        DocCase{"Word95",
                [] {
                  WordFile f = Body(u"GB 1\r");
                  f.version = 0x0068;
                  return f;
                }(),
                std::string("error: ") + DocumentErrorWords(DocumentError::kWord95)}),
    test::CaseName());

// `file` with a character bin table that names its first page `times` times.
Bytes WithPageNamedOverAndOver(const WordFile& file, std::uint32_t times) {
  std::vector<test::CompoundStream> streams = test::WordStreams(file);
  std::string& word = streams[0].data;
  std::string& table = streams[1].data;
  const std::size_t pair = 0x9A + 8 * 12;  // where the FIB gives the bin table
  auto get32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(word[at + i]);
    return v;
  };
  auto put32 = [](std::string& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  const std::uint32_t at = get32(pair);
  const std::uint32_t count = (get32(pair + 4) - 4) / 8;
  std::string bin;
  for (std::uint32_t i = 0; i < times; ++i) bin += table.substr(at, 4);
  bin += table.substr(at + 4 * count, 4);
  for (std::uint32_t i = 0; i < times; ++i) bin += table.substr(at + 4 * (count + 1), 4);
  put32(word, pair, static_cast<std::uint32_t>(table.size()));
  put32(word, pair + 4, static_cast<std::uint32_t>(bin.size()));
  table += bin;
  return test::BuildCompound(streams).AsBytes();
}

// Each page is read once, however often the table names it; its runs still apply.
TEST(DocBinTableTest, APageNamedOverAndOverReadsAsNamedOnce) {
  const std::string once = test::Read(test::BuildWord(Deleted()), DocumentKind::kDoc);
  ASSERT_EQ(once.find("GB 50099"), std::string::npos) << once;
  EXPECT_EQ(test::Read(WithPageNamedOverAndOver(Deleted(), 200000), DocumentKind::kDoc), once);
}

Bytes ReadFixture(const std::string& name) {
  std::ifstream in(std::string(KELVARO_TEST_DATA_DIR) + "/binary_office/" + name, std::ios::binary);
  const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return Bytes(s.begin(), s.end());
}

// LibreOffice's .doc of the design note reads as its .docx does: the table, header and footer,
// notes, the hyperlink's shown text, without the deleted revision.
TEST(DocFixtureTest, ReadsAsTheSameNoteSavedAsDocx) {
  const std::string doc = test::Read(ReadFixture("design_note.doc"), DocumentKind::kDoc);
  EXPECT_EQ(doc, test::Read(ReadFixture("design_note.docx"), DocumentKind::kDocx));
  EXPECT_EQ(doc,
            "第 1 段=一、设计依据：《建筑设计防火规范》GB 50016-2014。;"
            "第 2 段=二、已废止：改按 GB 50010-2010 执行;第 3 段=三、链接：GB 50300-2013;"
            "表 1 表头第 1 列=序号;表 1 表头第 2 列=标准编号;表 1 第 1 行第 1 列（不计表头）=1;"
            "表 1 第 1 行第 2 列（不计表头）=JGJ 3-2010\n高层建筑混凝土结构;"
            "表 1 第 2 行第 2 列（不计表头）=GB 50009-2012;"
            "第 5 段=四、其余按 CECS 102:2002 执行;第 6 段=Café “quotes” – dash € euro;"
            "页眉第 1 段=设计说明 依据 GB/T 50001-2017;页脚第 1 段=图纸目录见 JGJ/T 244-2011;"
            "脚注第 1 段=\t2018 年版，见 GB 50016-2014(2018);尾注第 1 段=\t尾注 GB 50204-2015;");
}

}  // namespace
}  // namespace kelvaro
