// The user's workbook with our sheet put first, as openpyxl and our own reader see it.
#include "document/markers/xlsx_mark.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "document/containers/zip_reader.h"
#include "document/readers/read_document.h"
#include "support/named_case.h"
#include "support/office_builder.h"
#include "support/openpyxl_read.h"

namespace kelvaro {
namespace {

using nlohmann::json;

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr char kRelationshipType[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

// Two sheets of the user's, the second active, with a name of each kind, a styles part, a
// picture and the document's properties.
test::ZipBuilder UserArchive() {
  test::ZipBuilder zip = test::XlsxArchive(
      {{"设计依据", test::SheetRow(1, test::SharedCell("A1", 0) + test::InlineCell("C1", "页码")) +
                        test::SheetRow(5, test::NumberCell("A5", "7") + test::SharedCell("C5", 1))},
       {"Sheet2", test::SheetRow(1, test::InlineCell("A1", "附录"))}},
      {"引用标准", "GB 50009-2012"});
  for (test::ZipEntry& entry : zip.Entries()) {
    if (entry.name == "xl/workbook.xml") {
      entry.data = std::string(kDeclaration) +
                   "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                   "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                   "relationships\"><bookViews><workbookView firstSheet=\"1\" activeTab=\"1\"/>"
                   "</bookViews><sheets><sheet name=\"设计依据\" sheetId=\"3\" r:id=\"rId1\"/>"
                   "<sheet name=\"Sheet2\" sheetId=\"7\" r:id=\"rId2\"/></sheets><definedNames>"
                   "<definedName name=\"_xlnm.Print_Area\" localSheetId=\"1\">Sheet2!$A$1:$B$2"
                   "</definedName><definedName name=\"总表\">'设计依据'!$A$1:$C$5</definedName>"
                   "</definedNames><calcPr calcId=\"0\"/></workbook>";
    } else if (entry.name == "xl/_rels/workbook.xml.rels") {
      const std::string ns = "http://schemas.openxmlformats.org/package/2006/relationships";
      entry.data = std::string(kDeclaration) + "<Relationships xmlns=\"" + ns + "\">";
      const char* rels[][3] = {{"rId1", "worksheet", "worksheets/sheet1.xml"},
                               {"rId2", "worksheet", "worksheets/sheet2.xml"},
                               {"rId3", "sharedStrings", "sharedStrings.xml"},
                               {"rId4", "styles", "styles.xml"}};
      for (const auto& r : rels) {
        entry.data += std::string("<Relationship Id=\"") + r[0] + "\" Type=\"" + kRelationshipType +
                      r[1] + "\" Target=\"" + r[2] + "\"/>";
      }
      entry.data += "</Relationships>";
    } else if (entry.name == "[Content_Types].xml") {
      // openpyxl finds the shared strings by their content type.
      entry.data.insert(entry.data.rfind("</Types>"),
                        "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"application/"
                        "vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>");
    }
  }
  zip.Add("xl/styles.xml",
          std::string(kDeclaration) +
              "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
              "<fonts count=\"1\"><font><sz val=\"12\"/><name val=\"宋体\"/></font></fonts>"
              "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
              "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
              "<borders count=\"1\"><border/></borders>"
              "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
              "borderId=\"0\"/></cellStyleXfs><cellXfs count=\"2\">"
              "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
              "<xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>"
              "</cellXfs></styleSheet>");
  zip.Add("xl/media/image1.png", std::string("\x89PNG\r\n\x1A\n\0\0\0\0", 12), false);
  zip.Add("docProps/app.xml", std::string(kDeclaration) + "<Properties/>");
  return zip;
}

XlsxSheet OurSheet() {
  XlsxSheet sheet;
  sheet.name = "设计依据";
  sheet.header = {"序号", "位置", "状态"};
  sheet.rows = {{"1", "第5行", "现行"}, {"2", "附录", "作废"}};
  sheet.fill_column = 2;
  sheet.row_fills = {CellFill::kLightGreen, CellFill::kRose};
  sheet.number_column = 0;
  sheet.link_column = 1;
  sheet.row_links = {"'设计依据'!C5", "'Sheet2'!A1"};
  return sheet;
}

std::vector<std::pair<std::string, std::string>> Members(const Bytes& bytes) {
  ZipReader zip;
  DocumentError error = DocumentError::kNone;
  std::vector<std::pair<std::string, std::string>> out;
  if (!zip.Open(std::span<const std::uint8_t>(bytes.data(), bytes.size()), error)) {
    ADD_FAILURE() << "not a zip";
    return out;
  }
  for (const ZipMember& member : zip.Members()) {
    std::string data;
    EXPECT_TRUE(zip.Extract(member, data, error)) << member.name;
    out.emplace_back(member.name, data);
  }
  return out;
}

Bytes Copy(const Bytes& xlsx, const XlsxSheet& sheet = OurSheet()) {
  Bytes out;
  DocumentError error = DocumentError::kNone;
  EXPECT_TRUE(AddFirstSheet(xlsx, sheet, out, error)) << static_cast<int>(error);
  return out;
}

class XlsxAddSheetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    original_ = new Bytes(test::AsBytes(UserArchive().Build()));
    copy_ = new Bytes(Copy(*original_));
    before_ = new json(test::OpenpyxlRead(*original_));
    after_ = new json(test::OpenpyxlRead(*copy_));
  }
  static void TearDownTestSuite() {
    delete original_;
    delete copy_;
    delete before_;
    delete after_;
  }
  static Bytes* original_;
  static Bytes* copy_;
  static json* before_;
  static json* after_;
};

Bytes* XlsxAddSheetTest::original_ = nullptr;
Bytes* XlsxAddSheetTest::copy_ = nullptr;
json* XlsxAddSheetTest::before_ = nullptr;
json* XlsxAddSheetTest::after_ = nullptr;

TEST_F(XlsxAddSheetTest, OursComesFirstUnderAnUnusedNameAndTheUsersActiveSheetStays) {
  EXPECT_EQ((*after_)["sheets"], json({"设计依据 (2)", "设计依据", "Sheet2"}));
  EXPECT_EQ((*before_)["active"], "Sheet2");
  EXPECT_EQ((*after_)["active"], "Sheet2");
}

TEST_F(XlsxAddSheetTest, TheUsersSheetsReadAsBefore) {
  for (const char* name : {"设计依据", "Sheet2"}) {
    EXPECT_EQ((*after_)["values"][name], (*before_)["values"][name]) << name;
  }
  EXPECT_EQ((*before_)["values"]["设计依据"][4][2], "GB 50009-2012");
}

TEST_F(XlsxAddSheetTest, OurSheetIsWrittenAsTheWriterWritesIt) {
  const json& rows = (*after_)["rows"];
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0]["value"], "序号");
  EXPECT_TRUE(rows[0][0]["bold"]);
  EXPECT_EQ(rows[1][0]["value"], 1);
  EXPECT_EQ(rows[1][2]["fill"], "FFC6EFCE");
  EXPECT_EQ(rows[2][2]["fill"], "FFFFC7CE");
  EXPECT_EQ(rows[2][2]["value"], "作废");
  EXPECT_EQ(rows[2][2]["format"], "@");
  EXPECT_EQ((*after_)["freeze_panes"], "A2");
  EXPECT_EQ((*after_)["auto_filter"], "A1:C3");
  EXPECT_EQ((*after_)["print"]["paper_size"], 9);
  EXPECT_EQ((*after_)["print"]["title_rows"], "$1:$1");
}

TEST_F(XlsxAddSheetTest, LinksJumpToTheirSheetAndCell) {
  const json& rows = (*after_)["rows"];
  EXPECT_EQ(rows[1][1]["link"], "'设计依据'!C5");
  EXPECT_EQ(rows[2][1]["link"], "'Sheet2'!A1");
  EXPECT_EQ(rows[1][1]["underline"], "single");
}

TEST_F(XlsxAddSheetTest, DefinedNamesStayOnTheirSheets) {
  EXPECT_EQ((*after_)["defined_names"], json::parse(R"([
      {"name": "_xlnm._FilterDatabase", "sheet": "0", "text": "'设计依据 (2)'!$A$1:$C$3"},
      {"name": "_xlnm.Print_Titles", "sheet": "0", "text": "'设计依据 (2)'!$1:$1"},
      {"name": "_xlnm.Print_Area", "sheet": "2", "text": "Sheet2!$A$1:$B$2"},
      {"name": "总表", "sheet": null, "text": "'设计依据'!$A$1:$C$5"}])"));
}

TEST_F(XlsxAddSheetTest, EveryOtherMemberIsCopiedAsItWas) {
  const auto before = Members(*original_);
  const auto after = Members(*copy_);
  ASSERT_EQ(after.size(), before.size() + 1);
  const std::set<std::string> changed = {"[Content_Types].xml", "xl/workbook.xml",
                                         "xl/_rels/workbook.xml.rels", "xl/styles.xml"};
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(after[i].first, before[i].first);
    EXPECT_EQ(after[i].second == before[i].second, !changed.contains(before[i].first))
        << before[i].first;
  }
  EXPECT_EQ(after.back().first, "xl/worksheets/sheet3.xml");
}

TEST_F(XlsxAddSheetTest, OurReaderReadsOurSheetFirst) {
  std::vector<TextPiece> pieces;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(ReadDocument(*copy_, DocumentKind::kXlsx, pieces, error));
  ASSERT_FALSE(pieces.empty());
  EXPECT_EQ(pieces.front().location.sheet, "设计依据 (2)");
  EXPECT_EQ(pieces.front().text, "序号");
  EXPECT_EQ(pieces.back().location.sheet, "Sheet2");
}

// ---- Other workbooks -----------------------------------------------------------------

TEST(XlsxAddSheet, AWorkbookWeWroteGainsOurStylesAfterItsOwn) {
  XlsxSheet theirs = OurSheet();
  theirs.name = "查询结果";
  const json read = test::OpenpyxlRead(Copy(WriteXlsx(theirs).bytes));
  EXPECT_EQ(read["sheets"], json({"设计依据", "查询结果"}));
  EXPECT_EQ(read["values"]["查询结果"][1], json({1, "第5行", "现行"}));
  EXPECT_EQ(read["rows"][2][2]["fill"], "FFFFC7CE");
  EXPECT_TRUE(read["rows"][0][1]["bold"]);
  ASSERT_EQ(read["defined_names"].size(), 4u);
  EXPECT_EQ(read["defined_names"][2]["sheet"], "1");
  EXPECT_EQ(read["defined_names"][2]["text"], "'查询结果'!$A$1:$C$3");
}

TEST(XlsxAddSheet, AWorkbookWithoutStylesGetsOurs) {
  const Bytes plain =
      test::BuildXlsx({{"Sheet1", test::SheetRow(1, test::InlineCell("A1", "x"))}}, {});
  const Bytes copy = Copy(plain);
  const json read = test::OpenpyxlRead(copy);
  EXPECT_EQ(read["sheets"], json({"设计依据", "Sheet1"}));
  EXPECT_TRUE(read["rows"][0][0]["bold"]);
  EXPECT_EQ(read["rows"][1][2]["fill"], "FFC6EFCE");
  EXPECT_EQ(read["parts"]["/xl/styles.xml"],
            "application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml");
}

// Some writers spell the main namespace with a prefix (what we add must too), or declare the
// relationships' namespace on each <sheet> alone (openpyxl).
TEST(XlsxAddSheet, APrefixedWorkbookGetsPrefixedElements) {
  test::ZipBuilder zip =
      test::XlsxArchive({{"Sheet1", test::SheetRow(1, test::InlineCell("A1", "x"))}}, {});
  const std::string ns = " xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
  for (test::ZipEntry& entry : zip.Entries()) {
    if (entry.name == "xl/workbook.xml") {
      entry.data = "<x:workbook" + ns +
                   "><x:sheets><x:sheet name=\"Sheet1\" sheetId=\"1\" xmlns:rel=\""
                   "http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
                   "rel:id=\"rId1\"/></x:sheets></x:workbook>";
    } else if (entry.name == "xl/_rels/workbook.xml.rels") {
      entry.data.insert(entry.data.rfind("</Relationships>"),
                        std::string("<Relationship Id=\"rId9\" Type=\"") + kRelationshipType +
                            "styles\" Target=\"styles.xml\"/>");
    }
  }
  zip.Add("xl/styles.xml",
          "<x:styleSheet" + ns + "><x:cellXfs count=\"1\"><x:xf/></x:cellXfs>" + "</x:styleSheet>");
  const json read = test::OpenpyxlRead(Copy(test::AsBytes(zip.Build())));
  EXPECT_EQ(read["sheets"], json({"设计依据", "Sheet1"}));
  EXPECT_TRUE(read["rows"][0][0]["bold"]);
  EXPECT_EQ(read["rows"][1][2]["fill"], "FFC6EFCE");
  EXPECT_EQ(read["defined_names"].size(), 2u);
}

// Our sheet's id: one past the largest, or where that leaves 32 bits the first one free.
TEST(XlsxAddSheet, TakesASheetIdWithinRange) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"3", "7"}, "8"},
      {{"4294967294"}, "4294967295"},
      {{"4294967295"}, "1"},
      {{"1", "2", "4294967295", "4"}, "3"},
  };
  for (const auto& [ids, want] : cases) {
    test::ZipBuilder zip = test::XlsxArchive(
        {{"A", test::SheetRow(1, test::InlineCell("A1", "GB 50009-2012"))}, {"B", ""}}, {});
    std::string sheets;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      // Only the first two sheets have parts; the ids are what is looked at.
      sheets += "<sheet name=\"S" + std::to_string(i) + "\" sheetId=\"" + ids[i] + "\" r:id=\"rId" +
                std::to_string(i % 2 + 1) + "\"/>";
    }
    for (test::ZipEntry& entry : zip.Entries()) {
      if (entry.name != "xl/workbook.xml") continue;
      const std::size_t begin = entry.data.find("<sheets>") + std::string("<sheets>").size();
      entry.data.replace(begin, entry.data.find("</sheets>") - begin, sheets);
    }
    const std::vector<std::pair<std::string, std::string>> members =
        Members(Copy(test::AsBytes(zip.Build())));
    const auto workbook = std::find_if(members.begin(), members.end(),
                                       [](const auto& m) { return m.first == "xl/workbook.xml"; });
    ASSERT_NE(workbook, members.end());
    EXPECT_NE(workbook->second.find("<sheet name=\"设计依据\" sheetId=\"" + want + "\""),
              std::string::npos)
        << workbook->second;
  }
}

// ---- Refused -------------------------------------------------------------------------

std::string OleWithEncryptedPackage() {
  std::string ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  ole += std::string(504, '\0');
  for (const char c : std::string("EncryptedPackage")) {
    ole += c;
    ole += '\0';
  }
  return ole + std::string(64, '\0');
}

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string WithMember(const std::string& name, const std::string& data) {
  test::ZipBuilder zip = UserArchive();
  for (test::ZipEntry& entry : zip.Entries()) {
    if (entry.name == name) entry.data = data;
  }
  return zip.Build();
}

struct RefusalCase {
  const char* name;
  std::string bytes;
  XlsxSheet sheet;
  DocumentError error;
};

KELVARO_PRINT_CASES_BY_NAME()

class XlsxAddSheetRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(XlsxAddSheetRefusalTest, GivesTheReasonAndNoCopy) {
  Bytes out = {1, 2, 3};
  DocumentError error = DocumentError::kNone;
  EXPECT_FALSE(AddFirstSheet(test::AsBytes(GetParam().bytes), GetParam().sheet, out, error));
  EXPECT_EQ(error, GetParam().error);
  EXPECT_TRUE(out.empty());
}

const std::string kEntity =
    "<?xml version=\"1.0\"?><!DOCTYPE a [<!ENTITY e \"x\">]><styleSheet>&e;</styleSheet>";
const std::string kStrictWorkbook =
    std::string(kDeclaration) +
    "<workbook xmlns=\"http://purl.oclc.org/ooxml/spreadsheetml/main\" "
    "xmlns:r=\"http://purl.oclc.org/ooxml/officeDocument/relationships\"><sheets>"
    "<sheet name=\"设计依据\" sheetId=\"3\" r:id=\"rId1\"/></sheets></workbook>";

INSTANTIATE_TEST_SUITE_P(
    Workbooks, XlsxAddSheetRefusalTest,
    ::testing::Values(
        RefusalCase{"NoZip", "not a workbook", OurSheet(), DocumentError::kNotExcel},
        RefusalCase{"CutShort", UserArchive().Build().substr(0, 300), OurSheet(),
                    DocumentError::kDamaged},
        RefusalCase{"Encrypted", OleWithEncryptedPackage(), OurSheet(), DocumentError::kEncrypted},
        RefusalCase{"WordDocument", AsString(test::BuildDocx("<w:p/>")), OurSheet(),
                    DocumentError::kNotExcel},
        RefusalCase{"EntityInStyles", WithMember("xl/styles.xml", kEntity), OurSheet(),
                    DocumentError::kXmlEntity},
        RefusalCase{"EntityInContentTypes", WithMember("[Content_Types].xml", kEntity), OurSheet(),
                    DocumentError::kXmlEntity},
        RefusalCase{"Strict", WithMember("xl/workbook.xml", kStrictWorkbook), OurSheet(),
                    DocumentError::kStrictXml},
        RefusalCase{
            "SheetTooWide", UserArchive().Build(),
            XlsxSheet{"s", std::vector<std::string>(kXlsxMaxColumns + 1), {}, -1, {}, -1, -1, {}},
            DocumentError::kContentTooLarge}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
