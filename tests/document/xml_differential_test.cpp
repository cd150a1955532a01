// The XML reader against expat over the same documents: the same elements, attributes and
// text, or both refusing. Expat is used as a careful caller uses it: a declared entity
// stops it, as our reader refuses one.
#include <expat.h>
#include <gtest/gtest.h>

#include <string>

#include "document/xml_events.h"

namespace kelvaro {
namespace {

struct ExpatState {
  XML_Parser parser;
  std::string out;
  std::string text;
  void Flush() {
    if (!text.empty()) out += "T:" + text + "|";
    text.clear();
  }
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto* s = static_cast<ExpatState*>(data);
  s->Flush();
  s->out += "<" + std::string(name);
  for (int i = 0; attributes[i] != nullptr; i += 2) {
    s->out += " " + std::string(attributes[i]) + "=" + attributes[i + 1];
  }
  s->out += ">|";
}

void XMLCALL OnEnd(void* data, const XML_Char* name) {
  auto* s = static_cast<ExpatState*>(data);
  s->Flush();
  s->out += "</" + std::string(name) + ">|";
}

void XMLCALL OnText(void* data, const XML_Char* text, int size) {
  static_cast<ExpatState*>(data)->text.append(text, static_cast<std::size_t>(size));
}

void XMLCALL OnEntity(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                      const XML_Char*, const XML_Char*, const XML_Char*) {
  XML_StopParser(static_cast<ExpatState*>(data)->parser, XML_FALSE);
}

std::string ExpatEvents(const std::string& xml) {
  ExpatState state;
  state.parser = XML_ParserCreate(nullptr);
  XML_SetUserData(state.parser, &state);
  XML_SetElementHandler(state.parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(state.parser, OnText);
  XML_SetEntityDeclHandler(state.parser, OnEntity);
  const XML_Status status =
      XML_Parse(state.parser, xml.data(), static_cast<int>(xml.size()), XML_TRUE);
  XML_ParserFree(state.parser);
  if (status != XML_STATUS_OK) return "ERROR";
  state.Flush();
  return state.out;
}

struct XmlInput {
  std::string name;
  std::string xml;
};

class XmlDifferentialTest : public testing::TestWithParam<XmlInput> {};

TEST_P(XmlDifferentialTest, SameEventsAsExpat) {
  EXPECT_EQ(test::XmlEvents(GetParam().xml), ExpatEvents(GetParam().xml));
}

INSTANTIATE_TEST_SUITE_P(
    Documents, XmlDifferentialTest,
    testing::Values(
        XmlInput{"WordParagraph",
                 "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                 "<w:document xmlns:w=\"urn:w\"><w:body><w:p><w:r><w:t xml:space=\"preserve\">"
                 "GB 500</w:t></w:r><w:r><w:t>16-2014 规范</w:t></w:r></w:p></w:body>"
                 "</w:document>"},
        XmlInput{"ByteOrderMark", "\xEF\xBB\xBF<a>x</a>"},
        XmlInput{"Attributes", "<a b='1' c = \"2\" d=\"&lt;&amp;&gt;&quot;&apos;\"/>"},
        XmlInput{"AttributeWhiteSpace", "<a v=\"1\r\n2\t3\n4\"/>"},
        XmlInput{"AttributeReferencedWhiteSpace", "<a v=\"&#9;&#10;&#13;\"/>"},
        XmlInput{"TextLineEnds", "<a>x\r\ny\rz\n</a>"},
        XmlInput{"CharacterReferences", "<a>&#71;&#x42;&#x6807;&#x1F600;&#xFFFD;</a>"},
        XmlInput{"Cdata", "<a>x<![CDATA[<b>&amp;\r\n]]>y</a>"},
        XmlInput{"CommentsAndInstructions",
                 "<!-- c --><?pi data?><a>1<!-- i -->2<?x y?></a><!-- e -->"},
        XmlInput{"Nesting", "<a><b>1</b><c/>2<d><e/></d></a>"},
        XmlInput{"ChineseNames", "<标准 编号=\"GB 50016\">现行</标准>"},
        XmlInput{"DoctypeWithoutEntities", "<!DOCTYPE a [<!ELEMENT a ANY>]><a/>"},
        XmlInput{"WhiteSpaceAroundRoot", "\n <a> </a>\n"}, XmlInput{"Empty", ""},
        XmlInput{"OnlyText", "text"}, XmlInput{"Unclosed", "<a><b></b>"},
        XmlInput{"Mismatched", "<a></b>"}, XmlInput{"TwoRoots", "<a/><b/>"},
        XmlInput{"TextAfterRoot", "<a/>x"},
        XmlInput{"EntityBomb",
                 "<!DOCTYPE a [<!ENTITY l \"lol\"><!ENTITY l2 \"&l;&l;&l;&l;\">]><a>&l2;</a>"},
        XmlInput{"ExternalEntity",
                 "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>"},
        XmlInput{"UndeclaredEntity", "<a>&nbsp;</a>"}, XmlInput{"LoneAmpersand", "<a>a & b</a>"},
        XmlInput{"LessThanInAttribute", "<a b=\"<\"/>"}, XmlInput{"UnquotedAttribute", "<a b=1/>"},
        XmlInput{"DuplicateAttribute", "<a b=\"1\" b=\"2\"/>"},
        XmlInput{"AttributesNotSpaced", "<a b=\"1\"c=\"2\"/>"},
        XmlInput{"ReferenceToZero", "<a>&#0;</a>"},
        XmlInput{"ReferenceToSurrogate", "<a>&#xD800;</a>"},
        XmlInput{"ReferencePastUnicode", "<a>&#x110000;</a>"},
        XmlInput{"ControlCharacter", "<a>\x01</a>"},
        XmlInput{"ZeroByte", std::string("<a>\0</a>", 8)},
        XmlInput{"OverlongUtf8", "<a>\xC0\xAF</a>"},
        XmlInput{"GbkBytes", "<a>\xB1\xEA\xD7\xBC</a>"},
        XmlInput{"UnknownEncoding", "<?xml version=\"1.0\" encoding=\"GBK\"?><a/>"},
        XmlInput{"LateDeclaration", "<a><?xml version=\"1.0\"?></a>"},
        XmlInput{"CdataEndInText", "<a>]]></a>"},
        XmlInput{"DoubleDashInComment", "<a><!-- a -- b --></a>"},
        XmlInput{"UnclosedCdata", "<a><![CDATA[x</a>"}, XmlInput{"NameStartsWithDigit", "<1a/>"},
        XmlInput{"DeclarationWithoutVersion", "<?xml encoding=\"UTF-8\"?><a/>"}),
    [](const testing::TestParamInfo<XmlInput>& info) { return info.param.name; });

}  // namespace
}  // namespace kelvaro
