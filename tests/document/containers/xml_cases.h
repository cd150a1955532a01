// Documents with the events XmlReader gives for them: the reader's own tests check the
// events, the comparison with expat (Linux) runs the same documents through both.
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "support/named_case.h"

namespace kelvaro::test {

struct XmlCase {
  std::string name;
  std::string xml;
  std::string events;  // as XmlEvents writes them
  // A parameter entity reference may hide a declaration: refused here, passed over by expat.
  bool only_ours_refuses = false;
};
KELVARO_PRINT_CASES_BY_NAME()

// <a a0="0" ... /> with `count` attributes, and its events; past a few attributes the
// reader looks duplicates up rather than comparing each with every other.
inline std::string ManyAttributes(int count, std::string_view extra = "") {
  std::string xml = "<a";
  for (int i = 0; i < count; ++i)
    xml += " a" + std::to_string(i) + "=\"" + std::to_string(i) + "\"";
  return xml + std::string(extra) + "/>";
}
inline std::string ManyAttributeEvents(int count) {
  std::string events = "<a";
  for (int i = 0; i < count; ++i) events += " a" + std::to_string(i) + "=" + std::to_string(i);
  return events + ">|</a>|";
}

inline const std::vector<XmlCase>& WellFormedXml() {
  static const std::vector<XmlCase> cases = {

      XmlCase{"EmptyElement", "<a/>", "<a>|</a>|"},
      XmlCase{"Declaration", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<a/>",
              "<a>|</a>|"},
      XmlCase{"ByteOrderMark", "\xEF\xBB\xBF<a>x</a>", "<a>|T:x|</a>|"},
      XmlCase{"AttributesAsWritten", "<w:p w:val='1' b = \"two\"/>", "<w:p w:val=1 b=two>|</w:p>|"},
      XmlCase{"PredefinedEntities", "<a t=\"&lt;&amp;&quot;\">&lt;&gt;&amp;&apos;&quot;</a>",
              "<a t=<&\">|T:<>&'\"|</a>|"},
      XmlCase{"CharacterReferences", "<a>&#71;&#x42;&#x6807;&#x1F600;</a>",
              "<a>|T:GB\xE6\xA0\x87\xF0\x9F\x98\x80|</a>|"},
      XmlCase{"Cdata", "<a>x<![CDATA[<b>&amp;]]>y</a>", "<a>|T:x<b>&amp;y|</a>|"},
      XmlCase{"CommentsAndInstructions",
              "<!-- c --><?pi data?><a>1<!-- inner -->2<?x?></a><!-- after -->", "<a>|T:12|</a>|"},
      XmlCase{"LineEndsNormalised", "<a v=\"1\r\n2\t3\">x\r\ny\rz</a>",
              "<a v=1 2 3>|T:x\ny\nz|</a>|"},
      XmlCase{"ReferencedLineEndsKept", "<a v=\"&#10;\">&#13;</a>", "<a v=\n>|T:\r|</a>|"},
      XmlCase{"ChineseNames", "<标准 编号=\"GB 50016\">现行</标准>",
              "<标准 编号=GB 50016>|T:现行|</标准>|"},
      XmlCase{"DoctypeWithoutEntities", "<!DOCTYPE a [<!ELEMENT a ANY>]><a/>", "<a>|</a>|"},
      XmlCase{"SpaceInEndTag", "<a>1</a >", "<a>|T:1|</a>|"},
      XmlCase{"Nested", "<a><b>1</b><c/>2</a>", "<a>|<b>|T:1|</b>|<c>|</c>|T:2|</a>|"},
      XmlCase{"AttributeReferencedWhiteSpace", "<a v=\"&#9;&#10;&#13;\"/>", "<a v=\t\n\r>|</a>|"},
      XmlCase{"CdataLineEnds", "<a><![CDATA[x\r\ny]]></a>", "<a>|T:x\ny|</a>|"},
      XmlCase{"WhiteSpaceAroundRoot", "\n <a> </a>\n", "<a>|T: |</a>|"},
      XmlCase{"WordParagraph",
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
              "<w:document xmlns:w=\"urn:w\"><w:p><w:r><w:t xml:space=\"preserve\">GB 500</w:t>"
              "</w:r></w:p></w:document>",
              "<w:document xmlns:w=urn:w>|<w:p>|<w:r>|<w:t xml:space=preserve>|T:GB 500|</w:t>|"
              "</w:r>|</w:p>|</w:document>|"},
      XmlCase{"ManyAttributes", ManyAttributes(40), ManyAttributeEvents(40)}};
  return cases;
}

inline const std::vector<XmlCase>& RefusedXml() {
  static const std::vector<XmlCase> cases = {

      XmlCase{"Empty", "", "ERROR"},
      XmlCase{"OnlyText", "text", "ERROR"},
      XmlCase{"Unclosed", "<a><b></b>", "ERROR"},
      XmlCase{"Mismatched", "<a></b>", "ERROR"},
      XmlCase{"TwoRoots", "<a/><b/>", "ERROR"},
      XmlCase{"TextAfterRoot", "<a/>x", "ERROR"},
      XmlCase{"EntityDeclaration", "<!DOCTYPE a [<!ENTITY e \"lol\">]><a>&e;</a>", "ERROR"},
      XmlCase{"ExternalEntity",
              "<!DOCTYPE a [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><a>&e;</a>", "ERROR"},
      XmlCase{"ParameterEntity", "<!DOCTYPE a [%p;]><a/>", "ERROR", true},
      XmlCase{"UndeclaredEntity", "<a>&nbsp;</a>", "ERROR"},
      XmlCase{"LoneAmpersand", "<a>a & b</a>", "ERROR"},
      XmlCase{"LessThanInAttribute", "<a b=\"<\"/>", "ERROR"},
      XmlCase{"UnquotedAttribute", "<a b=1/>", "ERROR"},
      XmlCase{"DuplicateAttribute", "<a b=\"1\" b=\"2\"/>", "ERROR"},
      XmlCase{"DuplicateAmongMany", ManyAttributes(40, " a7=\"x\""), "ERROR"},
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
      XmlCase{"NameStartsWithDigit", "<1a/>", "ERROR"},
      XmlCase{"DeclarationWithoutVersion", "<?xml encoding=\"UTF-8\"?><a/>", "ERROR"}};
  return cases;
}

}  // namespace kelvaro::test
