#include <gtest/gtest.h>

#include <string>

#include "document/document.h"
#include "document/readers/pieces.h"
#include "support/named_case.h"
#include "support/office_builder.h"

namespace kelvaro {
namespace {

using test::WordParagraph;
using test::WordTable;

struct DocxCase {
  std::string name;
  std::string body;
  std::string expected;
};
KELVARO_PRINT_CASES_BY_NAME()

class DocxBodyTest : public testing::TestWithParam<DocxCase> {};

TEST_P(DocxBodyTest, GivesParagraphsAndCellsInReadingOrder) {
  EXPECT_EQ(test::Read(test::BuildDocx(GetParam().body), DocumentKind::kDocx), GetParam().expected);
}

std::string Run(const std::string& inside) { return "<w:r>" + inside + "</w:r>"; }
std::string T(const std::string& text) { return Run("<w:t>" + text + "</w:t>"); }
std::string P(const std::string& inside) { return "<w:p>" + inside + "</w:p>"; }
std::string FieldChar(const std::string& type) {
  return Run("<w:fldChar w:fldCharType=\"" + type + "\"/>");
}
std::string Instr(const std::string& text) {
  return Run("<w:instrText>" + text + "</w:instrText>");
}

const std::string kMc = "http://schemas.openxmlformats.org/markup-compatibility/2006";

INSTANTIATE_TEST_SUITE_P(
    Paragraphs, DocxBodyTest,
    testing::Values(
        DocxCase{
            "EmptyParagraphsCountButGiveNoPiece",
            WordParagraph("GB 50016-2014") + WordParagraph("") + "<w:p/>" + WordParagraph("第二段"),
            "第 1 段=GB 50016-2014;第 4 段=第二段;"},
        DocxCase{"RunsJoined", P(T("GB 500") + Run("<w:rPr><w:b/></w:rPr><w:t>16-2014</w:t>")),
                 "第 1 段=GB 50016-2014;"},
        DocxCase{"TabsBreaksAndHyphens",
                 P(Run("<w:t>a</w:t><w:tab/><w:t>b</w:t><w:br/><w:t>c</w:t><w:cr/><w:t>d</w:t>"
                       "<w:noBreakHyphen/><w:t>e</w:t><w:softHyphen/>")),
                 "第 1 段=a\tb\nc\nd-e;"},
        DocxCase{
            "TabStopsAreNoText",
            P("<w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"720\"/></w:tabs></w:pPr>" + T("x")),
            "第 1 段=x;"},
        DocxCase{"EntitiesDecoded", P(T("GB&lt;1&gt; &amp; &#x6807;")), "第 1 段=GB<1> & 标;"},
        DocxCase{"ContentControl",
                 "<w:sdt><w:sdtPr/><w:sdtContent>" + WordParagraph("in control") +
                     "</w:sdtContent></w:sdt>" + WordParagraph("next"),
                 "第 1 段=in control;第 2 段=next;"},
        DocxCase{"DeletedRevisionLeftOut",
                 P("<w:ins>" + T("new") + "</w:ins><w:del>" + Run("<w:delText>old</w:delText>") +
                   "</w:del>" + "<w:moveFrom>" + T("gone") + "</w:moveFrom>"),
                 "第 1 段=new;"},
        DocxCase{"OtherPrefixForWord",
                 "<x:p xmlns:x=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                 "<x:r><x:t>ok</x:t></x:r></x:p>",
                 "第 1 段=ok;"},
        DocxCase{"TextOfOtherNamespacesLeftOut",
                 P(Run("<o:t xmlns:o=\"urn:other\">no</o:t><w:t>yes</w:t>")), "第 1 段=yes;"},
        DocxCase{"TextBoxOnceBetweenItsLines",
                 P(T("before") +
                   Run("<mc:AlternateContent xmlns:mc=\"" + kMc +
                       "\"><mc:Choice Requires=\"wps\"><w:drawing><w:txbxContent>" +
                       WordParagraph("boxed") + WordParagraph("twice") +
                       "</w:txbxContent></w:drawing></mc:Choice><mc:Fallback>"
                       "<w:pict><w:txbxContent>" +
                       WordParagraph("boxed") +
                       "</w:txbxContent></w:pict></mc:Fallback>"
                       "</mc:AlternateContent>") +
                   T("after")) +
                     WordParagraph("second"),
                 "第 1 段=before\nboxed\ntwice\nafter;第 2 段=second;"}),
    test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Fields, DocxBodyTest,
    testing::Values(
        DocxCase{"SimpleFieldShowsItsResult",
                 P("<w:fldSimple w:instr=\" REF bm \">" + T("GB/T 50001") + "</w:fldSimple>"),
                 "第 1 段=GB/T 50001;"},
        DocxCase{"ComplexFieldShowsOnlyItsResult",
                 P(T("see ") + FieldChar("begin") + Instr(" HYPERLINK \"http://x\" ") +
                   FieldChar("separate") + T("GB 500") + T("16") + FieldChar("end") + T(".")),
                 "第 1 段=see GB 50016.;"},
        DocxCase{"FieldInsideAnInstructionIsPartOfIt",
                 P(FieldChar("begin") + Instr("IF ") + FieldChar("begin") + Instr("PAGE") +
                   FieldChar("separate") + T("1") + FieldChar("end") + Instr(" = 1 ") +
                   FieldChar("separate") + T("result") + FieldChar("end")),
                 "第 1 段=result;"},
        DocxCase{"FieldWithoutResult",
                 P(FieldChar("begin") + Instr("TOC") + T("hidden") + FieldChar("end") + T("after")),
                 "第 1 段=after;"},
        DocxCase{"FieldAcrossParagraphs",
                 P(FieldChar("begin") + Instr("TOC \\o") + FieldChar("separate") + T("one")) +
                     P(T("two") + FieldChar("end")),
                 "第 1 段=one;第 2 段=two;"}),
    test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Tables, DocxBodyTest,
    testing::Values(DocxCase{"CellsByTableRowAndColumn",
                             WordParagraph("before") + WordTable({{"a", "b"}, {"c", ""}}) +
                                 WordParagraph("after") + WordTable({{"d"}}),
                             "第 1 段=before;表 1 第 1 行第 1 列=a;表 1 第 1 行第 2 列=b;"
                             "表 1 第 2 行第 1 列=c;第 2 段=after;表 2 第 1 行第 1 列=d;"},
                    DocxCase{"CellParagraphsJoinedByLineBreaks",
                             "<w:tbl><w:tr><w:tc>" + WordParagraph("GB 1") + WordParagraph("") +
                                 WordParagraph("GB 2") + "</w:tc></w:tr></w:tbl>",
                             "表 1 第 1 行第 1 列=GB 1\nGB 2;"},
                    DocxCase{"MergedCellsKeepGridColumns",
                             "<w:tbl><w:tr><w:trPr><w:gridBefore w:val=\"1\"/></w:trPr>"
                             "<w:tc><w:tcPr><w:gridSpan w:val=\"2\"/></w:tcPr>" +
                                 WordParagraph("wide") + "</w:tc><w:tc>" + WordParagraph("next") +
                                 "</w:tc></w:tr></w:tbl>",
                             "表 1 第 1 行第 2 列=wide;表 1 第 1 行第 4 列=next;"},
                    DocxCase{"NestedTableBelongsToItsCell",
                             "<w:tbl><w:tr><w:tc>" + WordParagraph("outer") +
                                 WordTable({{"in1", "in2"}}) + "</w:tc><w:tc>" +
                                 WordParagraph("b") + "</w:tc></w:tr></w:tbl>" +
                                 WordTable({{"second"}}),
                             "表 1 第 1 行第 1 列=outer\nin1\nin2;表 1 第 1 行第 2 列=b;"
                             "表 2 第 1 行第 1 列=second;"},
                    DocxCase{"ParagraphsCountOutsideTablesOnly",
                             WordTable({{"x"}}) + WordParagraph("first"),
                             "表 1 第 1 行第 1 列=x;第 1 段=first;"}),
    test::CaseName());

TEST(DocxPartsTest, HeadersFootersFootnotesAndEndnotesFollowTheBody) {
  test::DocxParts parts;
  parts.body = WordParagraph("body");
  parts.headers = {WordParagraph("h1"), WordParagraph("h2a") + WordTable({{"h2b"}})};
  parts.footers = {WordParagraph("f")};
  parts.footnotes =
      "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p>"
      "</w:footnote><w:footnote w:type=\"continuationSeparator\" w:id=\"0\">" +
      WordParagraph("sep") + "</w:footnote><w:footnote w:id=\"1\">" + WordParagraph("note") +
      "</w:footnote>";
  parts.endnotes = "<w:endnote w:id=\"1\">" + WordParagraph("end") + "</w:endnote>";
  EXPECT_EQ(test::Read(test::BuildDocx(parts), DocumentKind::kDocx),
            "第 1 段=body;页眉第 1 段=h1;页眉第 2 段=h2a;页眉第 3 段=h2b;页脚第 1 段=f;"
            "脚注第 1 段=note;尾注第 1 段=end;");
}

TEST(DocxPartsTest, HeadersInTheOrderOfTheirNumbers) {
  test::DocxParts parts;
  for (int i = 1; i <= 11; ++i) parts.headers.push_back(WordParagraph("h" + std::to_string(i)));
  test::ZipBuilder zip = test::DocxArchive(parts);
  // Relationships list the parts in any order; the part names decide.
  for (test::ZipEntry& e : zip.Entries()) {
    if (e.name != "word/_rels/document.xml.rels") continue;
    const std::size_t first = e.data.find("<Relationship ");
    const std::size_t second = e.data.find("<Relationship ", first + 1);
    e.data = e.data.substr(0, first) +
             e.data.substr(second, e.data.find("</Relationships>") - second) +
             e.data.substr(first, second - first) + "</Relationships>";
  }
  std::string expected;
  for (int i = 1; i <= 11; ++i) {
    expected += "页眉第 " + std::to_string(i) + " 段=h" + std::to_string(i) + ";";
  }
  EXPECT_EQ(test::Read(test::AsBytes(zip.Build()), DocumentKind::kDocx), expected);
}

TEST(DocxPartsTest, APartNamedAgainIsReadOnce) {
  test::DocxParts parts;
  parts.body = WordParagraph("body");
  parts.headers = {WordParagraph("h")};
  test::ZipBuilder zip = test::DocxArchive(parts);
  // The header again, spelt otherwise, as a footer, and the body as a header.
  const std::string type = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
  for (test::ZipEntry& e : zip.Entries()) {
    if (e.name != "word/_rels/document.xml.rels") continue;
    e.data.insert(e.data.find("</Relationships>"), "<Relationship Id=\"a\" Type=\"" + type +
                                                       "header\" Target=\"Header1.xml\"/>"
                                                       "<Relationship Id=\"b\" Type=\"" +
                                                       type +
                                                       "footer\" Target=\"header1.xml\"/>"
                                                       "<Relationship Id=\"c\" Type=\"" +
                                                       type + "header\" Target=\"document.xml\"/>");
  }
  EXPECT_EQ(test::Read(test::AsBytes(zip.Build()), DocumentKind::kDocx),
            "第 1 段=body;页眉第 1 段=h;");
}

// A paragraph style: its id, name, the style it is based on and its outline level.
std::string Style(const std::string& id, const std::string& name, const std::string& based_on = "",
                  const std::string& outline = "") {
  return "<w:style w:type=\"paragraph\" w:styleId=\"" + id + "\"><w:name w:val=\"" + name + "\"/>" +
         (based_on.empty() ? "" : "<w:basedOn w:val=\"" + based_on + "\"/>") +
         (outline.empty() ? "" : "<w:pPr><w:outlineLvl w:val=\"" + outline + "\"/></w:pPr>") +
         "</w:style>";
}

const std::string kStyles = Style("Normal", "Normal") + Style("Heading1", "heading 1", "Normal") +
                            Style("2", "标题 2") + Style("MyHead", "My head", "Heading1") +
                            Style("Outlined", "Plain", "", "1") +
                            Style("BodyLevel", "Plain", "Heading1", "9") +
                            Style("Caption", "caption") + Style("Loop", "Loop", "Loop");

std::string StyledP(const std::string& style, const std::string& text) {
  return P("<w:pPr><w:pStyle w:val=\"" + style + "\"/></w:pPr>" + T(text));
}

class DocxHeadingTest : public testing::TestWithParam<DocxCase> {};

TEST_P(DocxHeadingTest, NamesTheNearestHeadingOrTheCaption) {
  test::DocxParts parts;
  parts.body = GetParam().body;
  parts.styles = kStyles;
  EXPECT_EQ(test::Read(test::BuildDocx(parts), DocumentKind::kDocx), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Headings, DocxHeadingTest,
    testing::Values(
        DocxCase{"ByStyleNameCountedFromIt",
                 P(T("intro")) + StyledP("Heading1", "3 设计依据") + P(T("a")) + P("") + P(T("b")),
                 "第 1 段=intro;3 设计依据=3 设计依据;3 设计依据 › 第 1 段=a;"
                 "3 设计依据 › 第 3 段=b;"},
        DocxCase{"ChineseNameThenTheNextHeading",
                 StyledP("2", "1 总则") + P(T("a")) + StyledP("Heading1", "2\t术语") + P(T("b")),
                 "1 总则=1 总则;1 总则 › 第 1 段=a;2 术语=2\t术语;2 术语 › 第 1 段=b;"},
        DocxCase{"BasedOnAHeading", StyledP("MyHead", "附录") + P(T("a")),
                 "附录=附录;附录 › 第 1 段=a;"},
        DocxCase{"OutlineLevelOfStyleAndOwn",
                 StyledP("Outlined", "概述") + P(T("a")) +
                     P("<w:pPr><w:outlineLvl w:val=\"0\"/></w:pPr>" + T("总结")) + P(T("b")),
                 "概述=概述;概述 › 第 1 段=a;总结=总结;总结 › 第 1 段=b;"},
        DocxCase{"BodyTextLevelIsNoHeading",
                 StyledP("BodyLevel", "plain") + StyledP("Loop", "loop") + P(T("a")),
                 "第 1 段=plain;第 2 段=loop;第 3 段=a;"},
        DocxCase{"RevisedStyleIsNotTheOld",
                 P("<w:pPr><w:pStyle w:val=\"Normal\"/><w:pPrChange><w:pPr><w:pStyle "
                   "w:val=\"Heading1\"/></w:pPr></w:pPrChange></w:pPr>" +
                   T("a")) +
                     P(T("b")),
                 "第 1 段=a;第 2 段=b;"},
        DocxCase{
            "CaptionAboveByItsWords",
            StyledP("Heading1", "3 设计依据") + P(T("表 2 主要规范")) + WordTable({{"a", "b"}}),
            "3 设计依据=3 设计依据;3 设计依据 › 第 1 段=表 2 主要规范;"
            "表 2 主要规范 › 第 1 行第 1 列=a;表 2 主要规范 › 第 1 行第 2 列=b;"},
        DocxCase{"CaptionBelowByItsStyle",
                 WordTable({{"a"}}) + P("") + StyledP("Caption", "Main codes"),
                 "Main codes › 第 1 行第 1 列=a;第 2 段=Main codes;"},
        DocxCase{"CaptionBelowIsNotTheNextTables",
                 WordTable({{"a"}}) + P(T("表１ x")) + WordTable({{"b"}}),
                 "表１ x › 第 1 行第 1 列=a;第 1 段=表１ x;表 2 第 1 行第 1 列=b;"},
        DocxCase{"TablesCountedFromTheHeading",
                 WordTable({{"z"}}) + StyledP("Heading1", "3 设计依据") + WordTable({{"a"}}) +
                     P(T("表示")) + WordTable({{"b"}}),
                 "表 1 第 1 行第 1 列=z;3 设计依据=3 设计依据;3 设计依据 › 表 1 第 1 行第 1 列=a;"
                 "3 设计依据 › 第 1 段=表示;3 设计依据 › 表 2 第 1 行第 1 列=b;"},
        DocxCase{"ListItemsByTheirOwnNumbers",
                 StyledP("Heading1", "2 设计依据") + P(T("（19）a")) + P(T(" (20) b")) +
                     P(T("21) c")) + P(T("22、d")) + P(T("2019、e")) + P(T("(1 f")) + P(T("（3)g")),
                 "2 设计依据=2 设计依据;2 设计依据 › （19）=（19）a;2 设计依据 › (20)= (20) b;"
                 "2 设计依据 › 21)=21) c;2 设计依据 › 22、=22、d;2 设计依据 › 第 5 段=2019、e;"
                 "2 设计依据 › 第 6 段=(1 f;2 设计依据 › 第 7 段=（3)g;"},
        DocxCase{
            "RowsCountedBelowAHeaderRow",
            WordTable({{"序号", "标准"}, {"1", "a"}, {"2", "b"}}) +
                WordTable({{"名称", "编号"}, {"c", "d"}}),
            "表 1 表头第 1 列=序号;表 1 表头第 2 列=标准;表 1 第 1 行第 1 列（不计表头）=1;"
            "表 1 第 1 行第 2 列（不计表头）=a;表 1 第 2 行第 1 列（不计表头）=2;"
            "表 1 第 2 行第 2 列（不计表头）=b;表 2 第 1 行第 1 列=名称;表 2 第 1 行第 2 列=编号;"
            "表 2 第 2 行第 1 列=c;表 2 第 2 行第 2 列=d;"}),
    test::CaseName());

// Damaged styles cost only the headings: the text is read with plain paragraph places.
TEST(DocxStyles, DamagedStylesLeaveTheBodyReadable) {
  test::DocxParts parts;
  parts.body = StyledP("Heading1", "3 设计依据") + P(T("a"));
  parts.styles = Style("Heading1", "heading 1") + "<w:style><w:name w:val=";
  EXPECT_EQ(test::Read(test::BuildDocx(parts), DocumentKind::kDocx),
            "第 1 段=3 设计依据;第 2 段=a;");
}

}  // namespace
}  // namespace kelvaro
