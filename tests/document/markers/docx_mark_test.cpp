#include "document/markers/docx_mark.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "document/containers/zip_reader.h"
#include "document/containers/zip_writer.h"
#include "document/readers/pieces.h"
#include "document/readers/read_document.h"
#include "support/named_case.h"
#include "support/office_builder.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace kelvaro {
namespace {

std::string R(const std::string& inside, const std::string& rpr = "") {
  return "<w:r>" + (rpr.empty() ? "" : "<w:rPr>" + rpr + "</w:rPr>") + inside + "</w:r>";
}
std::string T(const std::string& text, const std::string& rpr = "") {
  return R("<w:t xml:space=\"preserve\">" + text + "</w:t>", rpr);
}
std::string P(const std::string& inside) { return "<w:p>" + inside + "</w:p>"; }
std::string FieldChar(const std::string& type) {
  return R("<w:fldChar w:fldCharType=\"" + type + "\"/>");
}

const MarkAuthor kAuthor{"Kelvaro", "2026-12-09T15:04:05Z"};
constexpr char kShading[] = "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"FFE699\"/>";

// Every citation: a comment, amber, the year 2099 and a new title where it cites one.
std::optional<CitationMark> MarkAll(const Citation& c) {
  CitationMark mark;
  mark.comment = "请核对 " + c.number;
  mark.fill = CellFill::kAmber;
  mark.number = c.code + " " + c.serial + "-2099";
  if (!c.title.empty()) mark.title = "新名称";
  return mark;
}

using Members = std::vector<std::pair<std::string, std::string>>;

Members Unpack(const Bytes& docx) {
  ZipReader zip;
  DocumentError error = DocumentError::kNone;
  EXPECT_TRUE(zip.Open(docx, error));
  Members out;
  for (const ZipMember& m : zip.Members()) {
    std::string data;
    EXPECT_TRUE(zip.Extract(m, data, error)) << m.name;
    out.emplace_back(m.name, std::move(data));
  }
  return out;
}

// Word's "accept all" or "reject all" on the revisions, as plain rewriting of the XML.
Bytes Resolve(const Bytes& docx, bool accept) {
  static const std::regex kIns("<w:ins(?: [^>]*)?>(.*?)</w:ins>");
  static const std::regex kDel("<w:del(?: [^>]*)?>(.*?)</w:del>");
  static const std::regex kDelText("w:delText");
  ZipWriter zip;
  for (auto& [name, data] : Unpack(docx)) {
    if (name.ends_with(".xml")) {
      data = std::regex_replace(data, accept ? kDel : kIns, "");
      data = std::regex_replace(data, accept ? kIns : kDel, "$1");
      if (!accept) data = std::regex_replace(data, kDelText, "w:t");
    }
    zip.Add(name, data);
  }
  return zip.Finish();
}

std::string ReplaceAll(std::string text,
                       const std::vector<std::pair<std::string, std::string>>& by) {
  for (const auto& [from, to] : by) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
      text.replace(at, from.size(), to);
      at += to.size();
    }
  }
  return text;
}

nlohmann::json PythonDocx(const Bytes& docx) {
  const test::TempDir dir;
  const std::string path = dir.Write("note.docx", std::string(docx.begin(), docx.end()));
  const test::ProcessResult run = test::RunProcess(
      {"/usr/bin/python3", KELVARO_SOURCE_DIR "/tests/support/docx_dump.py", path});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  return run.exit_code == 0 ? nlohmann::json::parse(run.out) : nlohmann::json();
}

// The paragraphs' text as python-docx reads it, one line each.
std::string PythonText(const Bytes& docx) {
  std::string text;
  const nlohmann::json read = PythonDocx(docx);
  for (const nlohmann::json& paragraph : read["paragraphs"]) {
    for (const nlohmann::json& run : paragraph) text += run[0].get<std::string>();
    text += '\n';
  }
  return text;
}

struct MarkCase {
  std::string name;
  test::DocxParts parts;
  std::vector<std::pair<std::string, std::string>> replaced;  // in the text, by accept-all
  int marked;
  int comments;
  std::set<std::string> changed;  // parts that hold a marked citation
};
KELVARO_PRINT_CASES_BY_NAME()

test::DocxParts Body(const std::string& body, std::vector<std::string> headers = {},
                     std::vector<std::string> footers = {}, std::string footnotes = {}) {
  test::DocxParts parts;
  parts.body = body;
  parts.headers = std::move(headers);
  parts.footers = std::move(footers);
  parts.footnotes = std::move(footnotes);
  return parts;
}

const std::pair<std::string, std::string> k50016{"GB 50016-2014", "GB 50016-2099"};

test::DocxParts Notes(const std::string& footnote, const std::string& endnote) {
  test::DocxParts parts = Body(P(T("正文")));
  parts.footnotes = "<w:footnote w:id=\"1\">" + P(T(footnote)) + "</w:footnote>";
  parts.endnotes = "<w:endnote w:id=\"1\">" + P(T(endnote)) + "</w:endnote>";
  return parts;
}

// A drawing's text box, as title blocks and notes on drawings hold them.
std::string TextBox(const std::string& paragraphs) {
  return R(
      "<w:pict><v:shape xmlns:v=\"urn:schemas-microsoft-com:vml\"><v:textbox>"
      "<w:txbxContent>" +
      paragraphs + "</w:txbxContent></v:textbox></v:shape></w:pict>");
}

const MarkCase kMarkCases[] = {
    {"RunsSplitMidNumber",
     Body(P(T("依据 GB 500") + T("16-2014", "<w:b/><w:shd w:val=\"clear\" w:fill=\"00FF00\"/>") +
            T("。", "<w:i/><w:lang w:val=\"zh-CN\"/>"))),
     {k50016},
     1,
     1,
     {"word/document.xml"}},
    {"NumberAcrossAFieldResult",
     Body(P(T("按 GB ") + FieldChar("begin") + R("<w:instrText> REF x </w:instrText>") +
            FieldChar("separate") + T("50016") + FieldChar("end") + T("-2014 执行"))),
     {{"按 GB 50016-2014 执行", "按 GB 50016-2099 执行"}},
     1,
     1,
     {"word/document.xml"}},
    {"BesideBookmarksAndProofing",
     Body(P("<w:bookmarkStart w:id=\"0\" w:name=\"a\"/>" + T("GB 50") +
            "<w:proofErr w:type=\"spellStart\"/>" + T("016-2014") + "<w:bookmarkEnd w:id=\"0\"/>" +
            "<w:proofErr w:type=\"spellEnd\"/>")),
     {k50016},
     1,
     1,
     {"word/document.xml"}},
    {"InAHyperlinkAndATableCell",
     Body(P("<w:hyperlink w:anchor=\"x\">" + T("GB 50016-2014") + "</w:hyperlink>") +
          test::WordTable({{"序号", "标准"}, {"1", "GB/T 50001-2010"}})),
     {k50016, {"GB/T 50001-2010", "GB/T 50001-2099"}},
     2,
     2,
     {"word/document.xml"}},
    {"TwoCitationsAndATitle",
     Body(P(T("GB 50016-2014（2018年版）与《民用建筑设计统一标准》GB 50352-2005"))),
     {{"GB 50016-2014（2018年版）", "GB 50016-2099"},
      {"民用建筑设计统一标准", "新名称"},
      {"GB 50352-2005", "GB 50352-2099"}},
     2,
     2,
     {"word/document.xml"}},
    {"HeaderShadedWithoutComment",
     Body(P(T("正文")), {P(T("GB 50016-2014"))}),
     {k50016},
     1,
     0,
     {"word/header1.xml"}},
    {"Footnote",
     Body(P(T("正文")), {}, {},
          "<w:footnote w:id=\"1\">" + P(T("见 GB 50016-2014")) + "</w:footnote>"),
     {k50016},
     1,
     0,  // LibreOffice cannot open a document with a comment in a note
     {"word/footnotes.xml"}},
    {"FootnoteAndEndnote",
     Notes("见 GB 50016-2014", "另见 GB/T 50001-2010"),
     {k50016, {"GB/T 50001-2010", "GB/T 50001-2099"}},
     2,
     0,
     {"word/footnotes.xml", "word/endnotes.xml"}},
    {"InATextBox",
     Body(P(T("见图框") + TextBox(P(T("依据 GB 500") + T("16-2014")) + P(T("GB/T 50001-2010"))) +
            T("。"))),
     {k50016, {"GB/T 50001-2010", "GB/T 50001-2099"}},
     2,
     2,
     {"word/document.xml"}},
    {"InsertedTextCounts",
     Body(P("<w:ins w:id=\"7\" w:author=\"A\">" + T("GB 50016-2014") + "</w:ins>")),
     {k50016},
     1,
     1,
     {"word/document.xml"}},
    {"DeletedTextNeverMarked",
     Body(P("<w:del w:id=\"7\" w:author=\"A\">" + R("<w:delText>GB 50016-2014</w:delText>") +
            "</w:del>" + T("无"))),
     {},
     0,
     0,
     {}},
};

class DocxMarkTest : public testing::TestWithParam<MarkCase> {};

TEST_P(DocxMarkTest, MarksWhatTheReaderFindsAndRevisionsUndoOrRedoIt) {
  const MarkCase& c = GetParam();
  const Bytes original = test::BuildDocx(c.parts);
  MarkedDocument marked;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(MarkDocx(original, MarkAll, kAuthor, marked, error)) << DocumentErrorWords(error);
  EXPECT_EQ(marked.marked, c.marked);

  // Members: the same names in the same order, the untouched ones byte for byte.
  const Members before = Unpack(original);
  const Members after = Unpack(marked.bytes);
  std::set<std::string> changed = c.changed;
  if (c.comments > 0) {
    changed.insert({"word/_rels/document.xml.rels", "[Content_Types].xml"});
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back().first, "word/comments.xml");
  } else {
    ASSERT_EQ(after.size(), before.size());
  }
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(after[i].first, before[i].first);
    if (changed.count(before[i].first) == 0) {
      EXPECT_EQ(after[i].second, before[i].second) << before[i].first;
    } else if (c.changed.count(before[i].first) != 0) {
      EXPECT_NE(after[i].second.find(kShading), std::string::npos) << after[i].second;
      EXPECT_EQ(after[i].second.find("commentRangeStart") != std::string::npos, c.comments > 0);
    }
  }

  const std::string accepted = test::Read(Resolve(original, true), DocumentKind::kDocx);
  EXPECT_EQ(test::Read(Resolve(marked.bytes, true), DocumentKind::kDocx),
            ReplaceAll(accepted, c.replaced));
  EXPECT_EQ(test::Read(Resolve(marked.bytes, false), DocumentKind::kDocx),
            test::Read(Resolve(original, false), DocumentKind::kDocx));

  // Another reader: the same runs and formatting once rejected; the comments by their author.
  const nlohmann::json python = PythonDocx(marked.bytes);
  const nlohmann::json rejected = PythonDocx(Resolve(marked.bytes, false));
  EXPECT_EQ(rejected["paragraphs"], PythonDocx(Resolve(original, false))["paragraphs"]);
  ASSERT_EQ(python["comments"].size(), static_cast<std::size_t>(c.comments));
  for (const nlohmann::json& comment : python["comments"]) {
    EXPECT_EQ(comment["author"], "Kelvaro");
    EXPECT_EQ(comment["date"], kAuthor.date);
    EXPECT_TRUE(comment["text"].get<std::string>().starts_with("请核对 GB")) << comment;
  }
  EXPECT_EQ(PythonText(Resolve(marked.bytes, true)),
            ReplaceAll(PythonText(Resolve(original, true)), c.replaced));
}

INSTANTIATE_TEST_SUITE_P(Documents, DocxMarkTest, testing::ValuesIn(kMarkCases), test::CaseName());

TEST(DocxMarkTest, OnlyTheMarkedParagraphChanges) {
  const std::string first = test::WordParagraph("前言");
  const std::string last = test::WordParagraph("后记 GB 50016");
  const Bytes original = test::BuildDocx(first + P(T("GB 50016-2014")) + last);
  MarkedDocument marked;
  DocumentError error = DocumentError::kNone;
  // Only citations with a year: the one in the last paragraph is passed over.
  const auto with_year = [](const Citation& c) {
    return c.year.empty() ? std::nullopt : MarkAll(c);
  };
  ASSERT_TRUE(MarkDocx(original, with_year, kAuthor, marked, error));
  const std::string before = Unpack(original)[2].second;
  const std::string after = Unpack(marked.bytes)[2].second;
  const std::size_t head = before.find(first) + first.size();
  const std::size_t tail = before.size() - before.find(last);
  EXPECT_EQ(after.substr(0, head), before.substr(0, head));
  EXPECT_EQ(after.substr(after.size() - tail), before.substr(before.size() - tail));
}

// A citation's shading is its verdict's colour taken towards white, light enough that a
// tracked change's colour (LibreOffice's dark amber for the first author) reads on it.
TEST(DocxMarkTest, ShadingIsALightTintOfTheVerdictsColour) {
  const auto luminance = [](std::uint32_t rgb) {
    double sum = 0;
    const double weights[] = {0.2126, 0.7152, 0.0722};
    for (int i = 0; i < 3; ++i) {
      const double v = ((rgb >> (16 - 8 * i)) & 0xFF) / 255.0;
      sum += weights[i] * (v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
    }
    return sum;
  };
  std::set<std::uint32_t> seen;
  for (const FillColour& colour : kFillColours) {
    MarkedDocument marked;
    DocumentError error = DocumentError::kNone;
    ASSERT_TRUE(MarkDocx(
        test::BuildDocx(P(T("GB 50016-2014"))),
        [&](const Citation&) {
          CitationMark mark;
          mark.fill = colour.fill;
          return std::optional<CitationMark>(mark);
        },
        kAuthor, marked, error));
    const std::string body = Unpack(marked.bytes)[2].second;
    std::smatch fill;
    ASSERT_TRUE(std::regex_search(body, fill, std::regex("w:fill=\"([0-9A-F]{6})\""))) << body;
    const auto shading = static_cast<std::uint32_t>(std::stoul(fill[1], nullptr, 16));
    EXPECT_GE(luminance(shading), 0.8) << fill[1];
    for (int shift : {16, 8, 0}) {
      EXPECT_GE((shading >> shift) & 0xFF, (colour.rgb >> shift) & 0xFF) << fill[1];
    }
    EXPECT_TRUE(seen.insert(shading).second) << fill[1];
  }
  EXPECT_EQ(seen.count(*FillRgb(CellFill::kAmber)), 0u) << "amber as it is";
}

TEST(DocxMarkTest, KeepsCommentsThereWereAndTakesUnusedIds) {
  test::ZipBuilder zip = test::DocxArchive(
      Body(P("<w:commentRangeStart w:id=\"3\"/>" + T("GB 50016-2014") +
             "<w:commentRangeEnd w:id=\"3\"/>" + R("<w:commentReference w:id=\"3\"/>"))));
  const std::string ns = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
  zip.Add("word/comments.xml", "<w:comments " + ns + "><w:comment w:id=\"3\" w:author=\"张工\">" +
                                   P(T("旧意见")) + "</w:comment></w:comments>");
  for (test::ZipEntry& e : zip.Entries()) {
    if (e.name == "word/_rels/document.xml.rels") {
      e.data.insert(e.data.rfind("</Relationships>"),
                    "<Relationship Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/"
                    "officeDocument/2006/relationships/comments\" Target=\"comments.xml\"/>");
    }
  }
  const Bytes original = test::AsBytes(zip.Build());
  MarkedDocument marked;
  DocumentError error = DocumentError::kNone;
  const auto comment = [](const Citation& c) {
    CitationMark mark;
    mark.comment = "请核对 " + c.number;
    return std::optional(mark);
  };
  ASSERT_TRUE(MarkDocx(original, comment, kAuthor, marked, error));
  const Members before = Unpack(original);
  const Members after = Unpack(marked.bytes);
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[3].second, before[3].second);  // the relationships named the part already
  const nlohmann::json python = PythonDocx(marked.bytes);
  ASSERT_EQ(python["comments"].size(), 2u) << python;
  EXPECT_EQ(python["comments"][0]["text"], "旧意见");
  EXPECT_EQ(python["comments"][1]["text"], "请核对 GB 50016-2014");
  EXPECT_NE(after[2].second.find("<w:commentRangeStart w:id=\"4\"/>"), std::string::npos);
}

Bytes WithDocument(const std::string& xml);

// A title from the site holding a terminal's controls: the copy still reads, without them.
TEST(DocxMarkTest, ControlCharactersXmlCannotHoldAreLeftOut) {
  const auto controls = [](const Citation& c) {
    CitationMark mark;
    mark.comment = "请核对\x1b[31m " + c.number + "\x07";
    mark.number = c.code + " " + c.serial + "-\x1b" + "2099\x08";
    mark.title = "新\x01名称";
    return std::optional(mark);
  };
  MarkedDocument marked;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(
      MarkDocx(test::BuildDocx(P(T("《旧名称》GB 50016-2014"))), controls, kAuthor, marked, error))
      << DocumentErrorWords(error);
  const nlohmann::json python = PythonDocx(marked.bytes);
  ASSERT_EQ(python["comments"].size(), 1u);
  EXPECT_EQ(python["comments"][0]["text"], "请核对[31m GB 50016-2014");
  EXPECT_EQ(test::Read(Resolve(marked.bytes, true), DocumentKind::kDocx),
            test::Read(test::BuildDocx(P(T("《新名称》GB 50016-2099"))), DocumentKind::kDocx));
}

// Word as the default namespace (no "w:"), as other producers write it: what we add has its
// attributes in Word's namespace all the same.
TEST(DocxMarkTest, AWordNamespaceWithoutPrefix) {
  const Bytes original = WithDocument(
      "<document xmlns=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><body>"
      "<p><r><rPr><b/></rPr><t>依据 GB 50016-2014 执行</t></r></p></body></document>");
  MarkedDocument marked;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(MarkDocx(original, MarkAll, kAuthor, marked, error)) << DocumentErrorWords(error);
  const std::string part = Unpack(marked.bytes)[2].second;
  for (const char* unqualified : {" id=\"", " author=\"", " date=\"", " val=\"", " fill=\""}) {
    EXPECT_EQ(part.find(unqualified), std::string::npos) << unqualified << " in " << part;
  }
  EXPECT_NE(part.find("<commentRangeStart xmlns:w="), std::string::npos) << part;
  EXPECT_EQ(PythonDocx(marked.bytes)["comments"].size(), 1u);
  // Our reader leaves deletions out and takes insertions in.
  EXPECT_EQ(test::Read(marked.bytes, DocumentKind::kDocx),
            test::Read(test::BuildDocx(P(T("依据 GB 50016-2099 执行"))), DocumentKind::kDocx));
}

// Relationships that call another part the comments: that part is left as it was, and ours
// go into a part of their own that the relationship then names.
TEST(DocxMarkTest, ACommentsRelationshipToAPartThatIsNone) {
  for (const std::string target : {"styles.xml", "document.xml"}) {
    test::DocxParts parts = Body(P(T("GB 50016-2014")));
    parts.styles = "<w:style w:styleId=\"a\"/>";
    test::ZipBuilder zip = test::DocxArchive(parts);
    for (test::ZipEntry& e : zip.Entries()) {
      if (e.name == "word/_rels/document.xml.rels") {
        e.data.insert(e.data.rfind("</Relationships>"),
                      "<Relationship Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/"
                      "officeDocument/2006/relationships/comments\" Target=\"" +
                          target + "\"/>");
      }
    }
    const Bytes original = test::AsBytes(zip.Build());
    MarkedDocument marked;
    DocumentError error = DocumentError::kNone;
    ASSERT_TRUE(MarkDocx(original, MarkAll, kAuthor, marked, error)) << DocumentErrorWords(error);
    const Members before = Unpack(original);
    const Members after = Unpack(marked.bytes);
    ASSERT_EQ(after.size(), before.size() + 1) << target;
    for (std::size_t i = 0; i < before.size(); ++i) {
      if (before[i].first == "word/styles.xml") {
        EXPECT_EQ(after[i].second, before[i].second);
      }
      if (before[i].first == "word/document.xml") {
        EXPECT_EQ(after[i].second.find("<w:comment "), std::string::npos) << after[i].second;
      }
      if (before[i].first == "word/_rels/document.xml.rels") {
        EXPECT_NE(after[i].second.find("Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/"
                                       "officeDocument/2006/relationships/comments\" "
                                       "Target=\"comments.xml\""),
                  std::string::npos)
            << after[i].second;
      }
    }
    EXPECT_EQ(after.back().first, "word/comments.xml");
    const nlohmann::json python = PythonDocx(marked.bytes);
    ASSERT_EQ(python["comments"].size(), 1u) << target;
    EXPECT_EQ(python["comments"][0]["text"], "请核对 GB 50016-2014");
  }
}

TEST(DocxMarkTest, ADocumentLibreOfficeWrote) {
  const std::string file =
      test::ReadWholeFile(KELVARO_TEST_DATA_DIR "/binary_office/design_note.docx");
  const Bytes original(file.begin(), file.end());
  MarkedDocument marked;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(MarkDocx(original, MarkAll, kAuthor, marked, error));
  EXPECT_GE(marked.marked, 3);
  EXPECT_EQ(test::Read(Resolve(marked.bytes, false), DocumentKind::kDocx),
            test::Read(Resolve(original, false), DocumentKind::kDocx));
  EXPECT_EQ(PythonText(Resolve(marked.bytes, false)), PythonText(Resolve(original, false)));
  const std::string accepted = test::Read(Resolve(marked.bytes, true), DocumentKind::kDocx);
  EXPECT_NE(accepted.find("-2099"), std::string::npos) << accepted;
}

// Hundreds of citations in one paragraph, a character per run: time stays linear.
TEST(DocxMarkScaleTest, FiveHundredCitationsCutIntoSevenThousandRuns) {
  std::string runs;
  for (int i = 0; i < 500; ++i) {
    for (const char c : std::string("GB 50016-2014 ")) runs += T(std::string(1, c));
  }
  MarkedDocument marked;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(MarkDocx(test::BuildDocx(P(runs)), MarkAll, kAuthor, marked, error));
  EXPECT_EQ(marked.marked, 500);
  const std::string part = Unpack(marked.bytes)[2].second;
  std::size_t insertions = 0;
  for (std::size_t at = part.find("<w:ins "); at != std::string::npos;
       at = part.find("<w:ins ", at + 1)) {
    ++insertions;
  }
  EXPECT_EQ(insertions, 500u);
}

struct RefusedCase {
  std::string name;
  Bytes bytes;
};

class DocxMarkRefusedTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(DocxMarkRefusedTest, GivesTheReadersReasonAndNothing) {
  std::vector<TextPiece> pieces;
  DocumentError read_error = DocumentError::kNone;
  ASSERT_FALSE(ReadDocument(GetParam().bytes, DocumentKind::kDocx, pieces, read_error));
  MarkedDocument marked{.bytes = {1, 2, 3}, .marked = 5};
  DocumentError error = DocumentError::kNone;
  EXPECT_FALSE(MarkDocx(GetParam().bytes, MarkAll, kAuthor, marked, error));
  EXPECT_EQ(error, read_error);
  EXPECT_TRUE(marked.bytes.empty());
  EXPECT_EQ(marked.marked, 0);
}

Bytes WithDocument(const std::string& xml) {
  test::ZipBuilder zip = test::DocxArchive(Body(""));
  for (test::ZipEntry& e : zip.Entries()) {
    if (e.name == "word/document.xml") e.data = xml;
  }
  return test::AsBytes(zip.Build());
}

Bytes Truncated() {
  Bytes b = test::BuildDocx(P(T("GB 50016-2014")));
  b.resize(b.size() / 2);
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, DocxMarkRefusedTest,
    testing::Values(RefusedCase{"NotAZip", test::AsBytes("GB 50016-2014")},
                    RefusedCase{"CutShort", Truncated()},
                    RefusedCase{
                        "EntityDeclared",
                        WithDocument("<!DOCTYPE x [<!ENTITY a \"GB 50016-2014\">]><w:document "
                                     "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/"
                                     "2006/main\"><w:body><w:p><w:r><w:t>&a;</w:t></w:r></w:p>"
                                     "</w:body></w:document>")},
                    RefusedCase{"DamagedXmlAfterACitation",
                                test::BuildDocx(Body(P(T("GB 50016-2014")), {}, {"<w:p>"}))}),
    test::CaseName());

// LibreOffice, where it is installed, opens the marked copy and shows the tracked change:
// the old number struck through beside the new. (LibreOffice 7.4 prints no comments into a
// PDF, so they are not looked for.)
TEST(DocxMarkLibreOfficeTest, ShowsTheTrackedChange) {
  if (std::system("command -v soffice >/dev/null 2>&1") != 0) GTEST_SKIP() << "no soffice";
  MarkedDocument marked;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(MarkDocx(test::BuildDocx(P(T("依据 GB 500") + T("16-2014", "<w:b/>"))), MarkAll,
                       kAuthor, marked, error));
  const test::TempDir dir;
  const std::string path =
      dir.Write("marked.docx", std::string(marked.bytes.begin(), marked.bytes.end()));
  const test::ProcessResult run =
      test::RunProcess({"/bin/sh", "-c", "exec soffice \"$@\"", "soffice",
                        "-env:UserInstallation=file://" + dir.File("profile"), "--headless",
                        "--convert-to", "pdf", "--outdir", dir.File(""), path});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const std::string pdf = test::ReadWholeFile(dir.File("marked.pdf"));
  std::vector<TextPiece> pages;
  ASSERT_TRUE(ReadDocument(Bytes(pdf.begin(), pdf.end()), DocumentKind::kPdf, pages, error))
      << DocumentErrorWords(error);
  std::string text;
  for (const TextPiece& p : pages) text += p.text;
  EXPECT_NE(text.find("GB 50016-2014"), std::string::npos) << text;
  EXPECT_NE(text.find("GB 50016-2099"), std::string::npos) << text;
}

}  // namespace
}  // namespace kelvaro
