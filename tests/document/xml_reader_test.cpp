#include "document/xml_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "document/xml_events.h"

namespace kelvaro {
namespace {

struct XmlCase {
  std::string name;
  std::string xml;
  std::string events;
};

class XmlReaderTest : public testing::TestWithParam<XmlCase> {};

TEST_P(XmlReaderTest, GivesTheEventsOrRefuses) {
  EXPECT_EQ(test::XmlEvents(GetParam().xml), GetParam().events);
}

const auto kXmlName = [](const testing::TestParamInfo<XmlCase>& info) { return info.param.name; };

INSTANTIATE_TEST_SUITE_P(
    WellFormed, XmlReaderTest,
    testing::Values(
        XmlCase{"EmptyElement", "<a/>", "<a>|</a>|"},
        XmlCase{"Declaration",
                "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<a/>", "<a>|</a>|"},
        XmlCase{"ByteOrderMark", "\xEF\xBB\xBF<a>x</a>", "<a>|T:x|</a>|"},
        XmlCase{"AttributesAsWritten", "<w:p w:val='1' b = \"two\"/>",
                "<w:p w:val=1 b=two>|</w:p>|"},
        XmlCase{"PredefinedEntities", "<a t=\"&lt;&amp;&quot;\">&lt;&gt;&amp;&apos;&quot;</a>",
                "<a t=<&\">|T:<>&'\"|</a>|"},
        XmlCase{"CharacterReferences", "<a>&#71;&#x42;&#x6807;&#x1F600;</a>",
                "<a>|T:GB\xE6\xA0\x87\xF0\x9F\x98\x80|</a>|"},
        XmlCase{"Cdata", "<a>x<![CDATA[<b>&amp;]]>y</a>", "<a>|T:x<b>&amp;y|</a>|"},
        XmlCase{"CommentsAndInstructions",
                "<!-- c --><?pi data?><a>1<!-- inner -->2<?x?></a><!-- after -->",
                "<a>|T:12|</a>|"},
        XmlCase{"LineEndsNormalised", "<a v=\"1\r\n2\t3\">x\r\ny\rz</a>",
                "<a v=1 2 3>|T:x\ny\nz|</a>|"},
        XmlCase{"ReferencedLineEndsKept", "<a v=\"&#10;\">&#13;</a>", "<a v=\n>|T:\r|</a>|"},
        XmlCase{"ChineseNames", "<标准 编号=\"GB 50016\">现行</标准>",
                "<标准 编号=GB 50016>|T:现行|</标准>|"},
        XmlCase{"DoctypeWithoutEntities", "<!DOCTYPE a [<!ELEMENT a ANY>]><a/>", "<a>|</a>|"},
        XmlCase{"SpaceInEndTag", "<a>1</a >", "<a>|T:1|</a>|"},
        XmlCase{"Nested", "<a><b>1</b><c/>2</a>", "<a>|<b>|T:1|</b>|<c>|</c>|T:2|</a>|"}),
    kXmlName);

INSTANTIATE_TEST_SUITE_P(
    Refused, XmlReaderTest,
    testing::Values(
        XmlCase{"Empty", "", "ERROR"}, XmlCase{"OnlyText", "text", "ERROR"},
        XmlCase{"Unclosed", "<a><b></b>", "ERROR"}, XmlCase{"Mismatched", "<a></b>", "ERROR"},
        XmlCase{"TwoRoots", "<a/><b/>", "ERROR"}, XmlCase{"TextAfterRoot", "<a/>x", "ERROR"},
        XmlCase{"EntityDeclaration", "<!DOCTYPE a [<!ENTITY e \"lol\">]><a>&e;</a>", "ERROR"},
        XmlCase{"ExternalEntity",
                "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>", "ERROR"},
        XmlCase{"ParameterEntity", "<!DOCTYPE a [%p;]><a/>", "ERROR"},
        XmlCase{"UndeclaredEntity", "<a>&nbsp;</a>", "ERROR"},
        XmlCase{"LoneAmpersand", "<a>a & b</a>", "ERROR"},
        XmlCase{"LessThanInAttribute", "<a b=\"<\"/>", "ERROR"},
        XmlCase{"UnquotedAttribute", "<a b=1/>", "ERROR"},
        XmlCase{"DuplicateAttribute", "<a b=\"1\" b=\"2\"/>", "ERROR"},
        XmlCase{"AttributesNotSpaced", "<a b=\"1\"c=\"2\"/>", "ERROR"},
        XmlCase{"ReferenceToZero", "<a>&#0;</a>", "ERROR"},
        XmlCase{"ReferenceToSurrogate", "<a>&#xD800;</a>", "ERROR"},
        XmlCase{"ReferencePastUnicode", "<a>&#x110000;</a>", "ERROR"},
        XmlCase{"ControlCharacter", std::string("<a>\x01</a>"), "ERROR"},
        XmlCase{"ZeroByte", std::string("<a>\0</a>", 8), "ERROR"},
        XmlCase{"InvalidUtf8", "<a>\xC0\xAF</a>", "ERROR"},
        XmlCase{"Gbk", "<a>\xB1\xEA\xD7\xBC</a>", "ERROR"},
        XmlCase{"OtherEncoding", "<?xml version=\"1.0\" encoding=\"GBK\"?><a/>", "ERROR"},
        XmlCase{"LateDeclaration", "<a><?xml version=\"1.0\"?></a>", "ERROR"},
        XmlCase{"CdataEndInText", "<a>]]></a>", "ERROR"},
        XmlCase{"DoubleDashInComment", "<a><!-- a -- b --></a>", "ERROR"},
        XmlCase{"UnclosedCdata", "<a><![CDATA[x</a>", "ERROR"},
        XmlCase{"NameStartsWithDigit", "<1a/>", "ERROR"}),
    kXmlName);

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
