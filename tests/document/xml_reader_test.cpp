#include "document/xml_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "document/xml_cases.h"
#include "document/xml_events.h"

namespace kelvaro {
namespace {

using test::XmlCase;

class XmlReaderTest : public testing::TestWithParam<XmlCase> {};

TEST_P(XmlReaderTest, GivesTheEventsOrRefuses) {
  EXPECT_EQ(test::XmlEvents(GetParam().xml), GetParam().events);
}

const auto kXmlName = [](const testing::TestParamInfo<XmlCase>& info) { return info.param.name; };

INSTANTIATE_TEST_SUITE_P(WellFormed, XmlReaderTest, testing::ValuesIn(test::WellFormedXml()),
                         kXmlName);
INSTANTIATE_TEST_SUITE_P(Refused, XmlReaderTest, testing::ValuesIn(test::RefusedXml()), kXmlName);

TEST(XmlReaderStateTest, AnErrorAndTheEndRepeatAndDepthFollowsTheElements) {
  XmlReader bad("<a><b>");
  EXPECT_EQ(bad.Next(), XmlReader::Event::kStart);
  EXPECT_EQ(bad.Depth(), 1);
  EXPECT_EQ(bad.Next(), XmlReader::Event::kStart);
  EXPECT_EQ(bad.Depth(), 2);
  EXPECT_EQ(bad.Next(), XmlReader::Event::kError);
  EXPECT_FALSE(bad.Error().empty());
  EXPECT_EQ(bad.Next(), XmlReader::Event::kError);

  XmlReader good("<a/>");
  while (good.Next() != XmlReader::Event::kDone) {
  }
  EXPECT_EQ(good.Depth(), 0);
  EXPECT_EQ(good.Next(), XmlReader::Event::kDone);
}

TEST(XmlReaderStateTest, SaysWhenItRefusedAnEntityOrAnEncoding) {
  XmlReader entity("<!DOCTYPE a [<!ENTITY e \"x\">]><a/>");
  EXPECT_EQ(entity.Next(), XmlReader::Event::kError);
  EXPECT_TRUE(entity.RefusedEntity());
  XmlReader encoding("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>");
  EXPECT_EQ(encoding.Next(), XmlReader::Event::kError);
  EXPECT_TRUE(encoding.RefusedEncoding());
  EXPECT_FALSE(encoding.RefusedEntity());
}

TEST(XmlNamespacesTest, ResolvesPrefixesInTheirScope) {
  XmlReader reader(
      "<a xmlns='urn:d' xmlns:w='urn:w1'><w:b xmlns:w='urn:w2' w:x='1'/><w:c/><d/></a>");
  XmlNamespaces ns;
  std::string seen;
  for (;;) {
    const XmlReader::Event e = reader.Next();
    if (e == XmlReader::Event::kDone || e == XmlReader::Event::kError) break;
    if (e == XmlReader::Event::kStart) {
      ns.Push(reader);
      seen += std::string(LocalName(reader.Name())) + "=" + std::string(ns.Uri(reader.Name()));
      for (const XmlAttribute& a : reader.Attributes()) {
        if (a.name == "w:x") seen += " @x=" + std::string(ns.Uri(a.name, false));
      }
      seen += ";";
    } else if (e == XmlReader::Event::kEnd) {
      ns.Pop();
    }
  }
  EXPECT_EQ(seen, "a=urn:d;b=urn:w2 @x=urn:w2;c=urn:w1;d=urn:d;");
}

}  // namespace
}  // namespace kelvaro
