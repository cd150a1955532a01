// Documents made to hurt: each is refused with its reason, leaves no piece and no file.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "document/document.h"
#include "document/errors.h"
#include "document/readers/pieces.h"
#include "support/binary_office_builder.h"
#include "support/named_case.h"
#include "support/office_builder.h"

namespace kelvaro {
namespace {

using test::InlineCell;
using test::SharedCell;
using test::SheetRow;
using test::ZipBuilder;
using test::ZipEntry;

constexpr std::uint64_t kBombSize = 300ull << 20;

// 300 MiB of zeros deflated (about 300 KB), made once.
const std::string& BombStream() {
  static const std::string stream = test::DeflateZeros(kBombSize);
  return stream;
}

// A sound .docx with the member `name` changed by `change`.
Bytes DocxWith(const std::string& name, const std::function<void(ZipEntry&)>& change) {
  ZipBuilder zip = test::DocxArchive({test::WordParagraph("GB 50016-2014"), {}, {}, {}, {}, {}});
  for (ZipEntry& e : zip.Entries()) {
    if (e.name == name) change(e);
  }
  return test::AsBytes(zip.Build());
}

Bytes XlsxWith(const std::string& name, const std::function<void(ZipEntry&)>& change) {
  ZipBuilder zip =
      test::XlsxArchive({{"S", test::SheetRow(1, test::SharedCell("A1", 0))}}, {"GB 1"});
  for (ZipEntry& e : zip.Entries()) {
    if (e.name == name) change(e);
  }
  return test::AsBytes(zip.Build());
}

std::string OleFile(bool encrypted) {
  std::string ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  ole += std::string(504, '\0');
  const std::string name = encrypted ? "EncryptedPackage" : "WordDocument";
  for (char c : name) {
    ole += c;
    ole += '\0';
  }
  return ole + std::string(512, '\0');
}

// A Word 97-2003 file whose piece table is `clx`, after the table stream's own data.
Bytes WordWithPieceTable(const std::string& clx, std::uint32_t length) {
  test::WordFile file;
  file.body = u"GB 50016-2014\r";
  std::vector<test::CompoundStream> streams = test::WordStreams(file);
  std::string& word = streams[0].data;
  std::string& table = streams[1].data;
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) word[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put32(0x9A + 8 * 33, static_cast<std::uint32_t>(table.size()));  // fcClx, lcbClx
  put32(0x9A + 8 * 33 + 4, length);
  table += clx;
  return test::BuildCompound(streams).AsBytes();
}

// A piece table of `count` pieces, each of 2,000 16-bit characters from offset 1024.
std::string RepeatedPieces(std::uint32_t count) {
  std::string plc;
  auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) plc += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  for (std::uint32_t i = 0; i <= count; ++i) put(i * 2000, 4);
  for (std::uint32_t i = 0; i < count; ++i) {
    put(0, 2);
    put(1024, 4);
    put(0, 2);
  }
  std::string clx = "\x02";
  const std::string size = {static_cast<char>(plc.size() & 0xFF),
                            static_cast<char>((plc.size() >> 8) & 0xFF),
                            static_cast<char>((plc.size() >> 16) & 0xFF), '\0'};
  return clx + size + plc;
}

const char kBillionLaughs[] =
    "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
    "<!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
    "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">]>"
    "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
    "<w:body><w:p><w:r><w:t>&lol3;</w:t></w:r></w:p></w:body></w:document>";

const char kExternalEntity[] =
    "<?xml version=\"1.0\"?><!DOCTYPE sst [<!ENTITY x SYSTEM \"http://127.0.0.1:9/x\">]>"
    "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
    "<si><t>&x;</t></si></sst>";

struct HostileCase {
  std::string name;
  DocumentKind kind;
  std::function<Bytes()> bytes;
  std::string reason;
};
KELVARO_PRINT_CASES_BY_NAME()

class HostileDocumentTest : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileDocumentTest, IsRefusedWithItsReason) {
  EXPECT_EQ(test::Read(GetParam().bytes(), GetParam().kind), "error: " + GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Word, HostileDocumentTest,
    testing::Values(
        HostileCase{"PlainText", DocumentKind::kDocx, [] { return test::AsBytes("GB 50016"); },
                    DocumentErrorWords(DocumentError::kNotWord)},
        HostileCase{"EmptyFile", DocumentKind::kDocx, [] { return Bytes(); },
                    DocumentErrorWords(DocumentError::kNotWord)},
        HostileCase{"Pdf", DocumentKind::kDocx, [] { return test::AsBytes("%PDF-1.4\n"); },
                    DocumentErrorWords(DocumentError::kNotWord)},
        // Read as the Word 97-2003 file its bytes say it is, whose streams this one lacks.
        HostileCase{"OldWordFile", DocumentKind::kDocx,
                    [] { return test::AsBytes(OleFile(false)); },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"PasswordProtected", DocumentKind::kDocx,
                    [] { return test::AsBytes(OleFile(true)); },
                    DocumentErrorWords(DocumentError::kEncrypted)},
        HostileCase{"ZipWithoutDocument", DocumentKind::kDocx,
                    [] { return test::AsBytes(ZipBuilder().Add("a.txt", "GB 1").Build()); },
                    DocumentErrorWords(DocumentError::kNotWord)},
        HostileCase{"WorkbookNamedDocx", DocumentKind::kDocx,
                    [] {
                      return test::BuildXlsx({{"S", ""}}, {});
                    },
                    DocumentErrorWords(DocumentError::kNotWord)},
        HostileCase{"CutShort", DocumentKind::kDocx,
                    [] {
                      Bytes b = test::BuildDocx(test::WordParagraph("GB 50016-2014"));
                      b.resize(b.size() * 2 / 3);
                      return b;
                    },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"BrokenXml", DocumentKind::kDocx,
                    [] {
                      return DocxWith("word/document.xml", [](ZipEntry& e) {
                        e.data = e.data.substr(0, e.data.size() - 10);
                      });
                    },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"EntityBomb", DocumentKind::kDocx,
                    [] {
                      return DocxWith("word/document.xml",
                                      [](ZipEntry& e) { e.data = kBillionLaughs; });
                    },
                    DocumentErrorWords(DocumentError::kXmlEntity)},
        HostileCase{"ZipBomb", DocumentKind::kDocx,
                    [] {
                      return DocxWith("word/document.xml", [](ZipEntry& e) {
                        e.compressed = BombStream();
                        e.size = static_cast<std::uint32_t>(kBombSize);
                      });
                    },
                    DocumentErrorWords(DocumentError::kTooLarge)},
        HostileCase{"ZipBombUnderASmallSize", DocumentKind::kDocx,
                    [] {
                      return DocxWith("word/document.xml", [](ZipEntry& e) {
                        e.compressed = BombStream();
                        e.size = 1 << 20;
                      });
                    },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{
            "HundredThousandMembers", DocumentKind::kDocx,
            [] {
              ZipBuilder zip = test::DocxArchive({test::WordParagraph("x"), {}, {}, {}, {}, {}});
              for (int i = 0; i < 100000; ++i) zip.Add("m/" + std::to_string(i), "", false);
              return test::AsBytes(zip.Build());
            },
            DocumentErrorWords(DocumentError::kTooManyMembers)},
        HostileCase{
            "ClimbingPath", DocumentKind::kDocx,
            [] {
              ZipBuilder zip = test::DocxArchive({test::WordParagraph("x"), {}, {}, {}, {}, {}});
              zip.Add("../../.bashrc", "echo");
              return test::AsBytes(zip.Build());
            },
            DocumentErrorWords(DocumentError::kUnsafePath)},
        HostileCase{
            "EncryptedMember", DocumentKind::kDocx,
            [] { return DocxWith("word/document.xml", [](ZipEntry& e) { e.flags = 0x0001; }); },
            DocumentErrorWords(DocumentError::kEncrypted)},
        HostileCase{
            "Zip64", DocumentKind::kDocx,
            [] {
              ZipBuilder zip = test::DocxArchive({test::WordParagraph("x"), {}, {}, {}, {}, {}});
              zip.Zip64Locator();
              return test::AsBytes(zip.Build());
            },
            DocumentErrorWords(DocumentError::kZip64)},
        HostileCase{"BrokenHeader", DocumentKind::kDocx,
                    [] {
                      test::DocxParts parts;
                      parts.headers = {"<w:p>"};
                      return test::BuildDocx(parts);
                    },
                    DocumentErrorWords(DocumentError::kDamaged)}),
    test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Word97, HostileDocumentTest,
    testing::Values(HostileCase{"PieceTablePastItsStream", DocumentKind::kDoc,
                                [] { return WordWithPieceTable(RepeatedPieces(1), 1u << 30); },
                                DocumentErrorWords(DocumentError::kDamaged)},
                    // 100,000 pieces of the same text: more characters than the stream holds.
                    HostileCase{"PiecesThatRepeatTheText", DocumentKind::kDoc,
                                [] {
                                  const std::string clx = RepeatedPieces(100000);
                                  return WordWithPieceTable(clx,
                                                            static_cast<std::uint32_t>(clx.size()));
                                },
                                DocumentErrorWords(DocumentError::kDamaged)},
                    HostileCase{"PiecesOutOfOrder", DocumentKind::kDoc,
                                [] {
                                  std::string clx = RepeatedPieces(2);
                                  clx.replace(5 + 4, 4, std::string("\x10\x27\0\0", 4));  // 10000
                                  return WordWithPieceTable(clx,
                                                            static_cast<std::uint32_t>(clx.size()));
                                },
                                DocumentErrorWords(DocumentError::kDamaged)},
                    HostileCase{"FibCutShort", DocumentKind::kDoc,
                                [] {
                                  return test::BuildCompound(
                                             {{"WordDocument", std::string("\xEC\xA5\xC1\0", 4) +
                                                                   std::string(200, '\0')},
                                              {"1Table", "x"}})
                                      .AsBytes();
                                },
                                DocumentErrorWords(DocumentError::kDamaged)}),
    test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Excel, HostileDocumentTest,
    testing::Values(
        HostileCase{"PlainText", DocumentKind::kXlsx, [] { return test::AsBytes("a,b\n"); },
                    DocumentErrorWords(DocumentError::kNotExcel)},
        HostileCase{"PasswordProtected", DocumentKind::kXlsx,
                    [] { return test::AsBytes(OleFile(true)); },
                    DocumentErrorWords(DocumentError::kEncrypted)},
        HostileCase{"WordNamedXlsx", DocumentKind::kXlsx,
                    [] { return test::BuildDocx(test::WordParagraph("x")); },
                    DocumentErrorWords(DocumentError::kNotExcel)},
        HostileCase{"SheetMissing", DocumentKind::kXlsx,
                    [] {
                      return XlsxWith("xl/worksheets/sheet1.xml",
                                      [](ZipEntry& e) { e.name = "xl/worksheets/other.xml"; });
                    },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"ExternalEntityInSharedStrings", DocumentKind::kXlsx,
                    [] {
                      return XlsxWith("xl/sharedStrings.xml",
                                      [](ZipEntry& e) { e.data = kExternalEntity; });
                    },
                    DocumentErrorWords(DocumentError::kXmlEntity)},
        HostileCase{"SheetBomb", DocumentKind::kXlsx,
                    [] {
                      return XlsxWith("xl/worksheets/sheet1.xml", [](ZipEntry& e) {
                        e.compressed = BombStream();
                        e.size = static_cast<std::uint32_t>(kBombSize);
                      });
                    },
                    DocumentErrorWords(DocumentError::kTooLarge)},
        HostileCase{"CutShort", DocumentKind::kXlsx,
                    [] {
                      Bytes b = test::BuildXlsx({{"S", ""}}, {"x"});
                      b.resize(b.size() - 30);
                      return b;
                    },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"WrongCrc", DocumentKind::kXlsx,
                    [] { return XlsxWith("xl/workbook.xml", [](ZipEntry& e) { e.crc = 7; }); },
                    DocumentErrorWords(DocumentError::kDamaged)}),
    test::CaseName());

// Bounds on the whole document: each case is read at the bound and refused one past it.
struct BoundCase {
  std::string name;
  DocumentKind kind;
  std::function<Bytes()> bytes;
  std::function<void(DocumentLimits&, std::size_t)> bound;  // sets the bound being tested
  std::size_t at;                                           // the least bound that reads it
  std::string reason = DocumentErrorWords(DocumentError::kContentTooLarge);
};

void Text(DocumentLimits& l, std::size_t n) { l.max_text = n; }
void Pieces(DocumentLimits& l, std::size_t n) { l.max_pieces = n; }
void Markup(DocumentLimits& l, std::size_t n) { l.max_markup = n; }
void Depth(DocumentLimits& l, std::size_t n) { l.max_depth = static_cast<int>(n); }

std::string Lines(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += "GB " + std::to_string(i) + "\n";
  return text;
}

// A body paragraph and two header paragraphs of 400 bytes; a header's piece counts "页眉" too.
Bytes BodyAndHeaders() {
  test::DocxParts parts;
  parts.body = test::WordParagraph(std::string(400, 'b'));
  parts.headers = {test::WordParagraph(std::string(400, 'h')),
                   test::WordParagraph(std::string(400, 'i'))};
  return test::BuildDocx(parts);
}

// What reading a one-paragraph .docx inflates: every part but the content types.
std::size_t XmlOfOneParagraph() {
  ZipBuilder zip = test::DocxArchive({test::WordParagraph("x"), {}, {}, {}, {}, {}});
  std::size_t n = 0;
  for (const ZipEntry& e : zip.Entries()) {
    if (e.name != "[Content_Types].xml") n += e.data.size();
  }
  return n;
}

// The relationships of the body name `count` images besides the header.
Bytes WithImages(int count) {
  test::DocxParts parts;
  parts.body = test::WordParagraph("x");
  ZipBuilder zip = test::DocxArchive(parts);
  for (ZipEntry& e : zip.Entries()) {
    if (e.name != "word/_rels/document.xml.rels") continue;
    std::string images;
    for (int i = 0; i < count; ++i) {
      images += "<Relationship Id=\"i" + std::to_string(i) +
                "\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                "image\" Target=\"media/i.png\"/>";
    }
    e.data.insert(e.data.find("</Relationships>"), images);
  }
  return test::AsBytes(zip.Build());
}

std::string Nested(int depth) {
  std::string xml;
  for (int i = 0; i < depth; ++i) xml += "<w:customXml>";
  xml += test::WordParagraph("deep");
  for (int i = 0; i < depth; ++i) xml += "</w:customXml>";
  return xml;
}

class BoundedDocumentTest : public testing::TestWithParam<BoundCase> {};

TEST_P(BoundedDocumentTest, IsReadAtTheBoundAndRefusedPastIt) {
  const BoundCase& c = GetParam();
  const Bytes bytes = c.bytes();
  const std::string whole = test::Read(bytes, c.kind);
  ASSERT_EQ(whole.rfind("error", 0), std::string::npos) << whole;
  DocumentLimits limits;
  c.bound(limits, c.at);
  EXPECT_EQ(test::Read(bytes, c.kind, limits), whole);
  c.bound(limits, c.at - 1);
  EXPECT_EQ(test::Read(bytes, c.kind, limits), "error: " + c.reason);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, BoundedDocumentTest,
    testing::Values(
        BoundCase{"TextOverTheBodyAndHeaders", DocumentKind::kDocx, BodyAndHeaders, Text,
                  400 + 2 * (400 + std::string("页眉").size())},
        BoundCase{
            "WordPieces", DocumentKind::kDocx,
            [] { return test::BuildDocx(test::WordParagraph("a") + test::WordParagraph("b")); },
            Pieces, 2},
        // The package's relationship, and the body's thirty.
        BoundCase{"RelationshipsHeld", DocumentKind::kDocx, [] { return WithImages(30); }, Pieces,
                  31},
        BoundCase{"ExcelCellsWithTheirNames", DocumentKind::kXlsx,
                  [] {
                    return test::BuildXlsx(
                        {{"表", SheetRow(1, InlineCell("B7", std::string(400, 'x')))}}, {});
                  },
                  Text, std::string("表").size() + 2 + 400},
        // Three relationships, the sheet's name and three strings.
        BoundCase{"SharedStringsHeld", DocumentKind::kXlsx,
                  [] {
                    return test::BuildXlsx({{"S", ""}}, {"a", "b", "c"});
                  },
                  Pieces, 7},
        BoundCase{"WordPiecesOfADoc", DocumentKind::kDoc,
                  [] {
                    test::WordFile f;
                    f.body = u"a\rb\r";
                    return test::BuildWord(f);
                  },
                  Pieces, 2},
        BoundCase{"WordTextOfADoc", DocumentKind::kDoc,
                  [] {
                    test::WordFile f;
                    f.body = std::u16string(400, u'b') + u"\r";
                    return test::BuildWord(f);
                  },
                  Text, 400},
        // The sheet's name when held, then the cell with its sheet's and its own name.
        BoundCase{"ExcelCellsOfAnXls", DocumentKind::kXls,
                  [] {
                    return test::BuildXls(
                        "", {{u"表", test::BiffRecord(
                                         0x0204, test::XlsCell(6, 1) +
                                                     test::XlsString(std::u16string(400, u'x')))}});
                  },
                  Text, 2 * std::string("表").size() + 2 + 400},
        BoundCase{"TextLines", DocumentKind::kText, [] { return test::AsBytes(Lines(3)); }, Pieces,
                  3},
        BoundCase{"CsvCells", DocumentKind::kCsv, [] { return test::AsBytes("a,b\nc,d\n"); },
                  Pieces, 4},
        BoundCase{"PdfPages", DocumentKind::kPdf,
                  [] {
                    return test::AsBytes(test::BuildPdf({{"GB 1"}, {"GB 2"}}));
                  },
                  Pieces, 2},
        BoundCase{"RunOfText", DocumentKind::kDocx,
                  [] { return test::BuildDocx(test::WordParagraph(std::string(3000, 'x'))); },
                  Markup, 3000},
        // document, body, twenty wrappers, then the paragraph's p, r and t.
        BoundCase{"NestedElements", DocumentKind::kDocx, [] { return test::BuildDocx(Nested(20)); },
                  Depth, 2 + 20 + 3},
        BoundCase{"XmlInflated", DocumentKind::kDocx,
                  [] { return test::BuildDocx(test::WordParagraph("x")); },
                  [](DocumentLimits& l, std::size_t n) { l.max_xml = n; }, XmlOfOneParagraph(),
                  DocumentErrorWords(DocumentError::kTooLarge)}),
    test::CaseName());

// The sizes that hurt before there were bounds, at the bounds every reader has.
TEST(DocumentBoundsTest, OneLargeSharedStringCopiedIntoEveryCellIsRefused) {
  std::string cells;
  for (int r = 1; r <= 1000; ++r) cells += SheetRow(r, SharedCell("A" + std::to_string(r), 0));
  std::string citations;
  while (citations.size() < 100000) citations += "GB 50016-2014 ";
  EXPECT_EQ(test::Read(test::BuildXlsx({{"S", cells}}, {citations}), DocumentKind::kXlsx),
            "error: " + std::string(DocumentErrorWords(DocumentError::kContentTooLarge)));
}

TEST(DocumentBoundsTest, ElementsNestedPastAThousandAreRefused) {
  EXPECT_EQ(test::Read(test::BuildDocx(Nested(1000)), DocumentKind::kDocx),
            "error: " + std::string(DocumentErrorWords(DocumentError::kContentTooLarge)));
}

}  // namespace
}  // namespace kelvaro
