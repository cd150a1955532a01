// The package's relationships and content types, read and added to in place.
#include "document/containers/package_edit.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvaro::package {
namespace {

constexpr char kType[] = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string Rels(const std::string& inside, const std::string& prefix = "") {
  const std::string ns = prefix.empty() ? "xmlns" : "xmlns:" + prefix.substr(0, prefix.size() - 1);
  return "<?xml version=\"1.0\"?><" + prefix + "Relationships " + ns +
         "=\"http://schemas.openxmlformats.org/package/2006/relationships\">" + inside + "</" +
         prefix + "Relationships>";
}

std::string Rel(const std::string& id, const std::string& kind, const std::string& target,
                const std::string& prefix = "", const std::string& more = "") {
  return "<" + prefix + "Relationship Id=\"" + id + "\" Type=\"" + kType + kind + "\" Target=\"" +
         target + "\"" + more + "/>";
}

TEST(PackageRelationships, ReadWithTheirKindsAndPartsResolvedFromTheSource) {
  const std::string xml =
      Rels(Rel("rId1", "styles", "styles.xml") +
           Rel("rId2", "hyperlink", "http://x", "", " TargetMode=\"External\"") +
           Rel("rId3", "header", "../custom/h.xml"));
  Relationships rels;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(rels.Read("word/document.xml", &xml, {}, error));
  ASSERT_EQ(rels.All().size(), 3u);
  EXPECT_EQ(rels.All()[0].Kind(), "styles");
  EXPECT_EQ(rels.All()[0].part, "word/styles.xml");
  EXPECT_TRUE(rels.All()[1].external);
  EXPECT_EQ(rels.All()[1].part, "");
  EXPECT_EQ(rels.All()[2].part, "custom/h.xml");
  EXPECT_EQ(rels.Find("header"), &rels.All()[2]);
  EXPECT_EQ(rels.Find("hyperlink"), nullptr) << "an external target is no part";
  EXPECT_EQ(rels.Find("comments"), nullptr);
}

TEST(PackageRelationships, AddedOnesTakeTheFirstFreeIdAndTheRootsPrefixAndKeepTheRest) {
  const std::string xml =
      Rels(Rel("rId1", "styles", "s.xml", "r:") + Rel("rId3", "x", "x.xml", "r:"), "r:");
  Relationships rels;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(rels.Read("xl/workbook.xml", &xml, {}, error));
  EXPECT_EQ(rels.Add("worksheet", "worksheets/sheet2.xml"), "rId4") << "rId3 is taken";
  EXPECT_EQ(rels.Add("styles", "a&b.xml"), "rId5");
  const std::string added = rels.Xml();
  EXPECT_EQ(added.substr(0, xml.size() - 18), xml.substr(0, xml.size() - 18));
  EXPECT_NE(added.find(Rel("rId4", "worksheet", "worksheets/sheet2.xml", "r:") +
                       Rel("rId5", "styles", "a&amp;b.xml", "r:") + "</r:Relationships>"),
            std::string::npos)
      << added;
  Relationships again;
  ASSERT_TRUE(again.Read("xl/workbook.xml", &added, {}, error)) << "what we write reads";
  EXPECT_EQ(again.All().size(), 4u);
}

TEST(PackageRelationships, APartMadeAnewOrAnEmptyRootTakesTheAddedOnes) {
  Relationships none;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(none.Read("word/document.xml", nullptr, {}, error));
  EXPECT_EQ(none.Add("comments", "comments.xml"), "rId1");
  EXPECT_EQ(
      none.Xml(),
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">" +
          Rel("rId1", "comments", "comments.xml") + "</Relationships>");
  const std::string empty =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>";
  Relationships rels;
  ASSERT_TRUE(rels.Read("word/document.xml", &empty, {}, error));
  rels.Add("comments", "comments.xml");
  EXPECT_EQ(rels.Xml(), empty.substr(0, empty.size() - 2) + ">" +
                            Rel("rId1", "comments", "comments.xml") + "</Relationships>");
}

TEST(PackageRelationships, XmlThatDoesNotReadIsRefusedWithTheReadersReason) {
  const std::string xml = "<!DOCTYPE x [<!ENTITY a \"b\">]><Relationships/>";
  Relationships rels;
  DocumentError error = DocumentError::kNone;
  EXPECT_FALSE(rels.Read("", &xml, {}, error));
  EXPECT_EQ(error, DocumentError::kXmlEntity);
}

TEST(PackageContentTypes, AnOverrideIsAddedOnceAndNamesCompareWithoutCase) {
  const std::string xml =
      "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
      "<Override PartName=\"/XL/Styles.xml\" ContentType=\"s\"/></Types>";
  ContentTypes types;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(types.Read(xml, {}, error));
  EXPECT_TRUE(types.Overrides("xl/styles.xml"));
  EXPECT_FALSE(types.Overrides("xl/worksheets/sheet2.xml"));
  types.Add("xl/styles.xml", "other");
  EXPECT_EQ(types.Xml(), xml) << "an override the part has already stays alone";
  types.Add("xl/worksheets/sheet2.xml", "w");
  types.Add("xl/worksheets/sheet2.xml", "w");
  EXPECT_EQ(types.Xml(), xml.substr(0, xml.size() - 8) +
                             "<Override PartName=\"/xl/worksheets/sheet2.xml\" ContentType=\"w\"/>"
                             "</Types>");
}

TEST(PackageEdits, EditsAtOnePlaceKeepTheirOrder) {
  EXPECT_EQ(ApplyEdits("<a><b/></a>", {{7, 0, "2"}, {3, 4, "<c/>"}, {7, 0, "3"}}), "<a><c/>23</a>");
  EXPECT_EQ(PrefixOf("x:sheet"), "x:");
  EXPECT_EQ(PrefixOf("sheet"), "");
}

}  // namespace
}  // namespace kelvaro::package
