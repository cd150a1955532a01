#include "document/containers/xml_reader.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "document/containers/xml_cases.h"
#include "document/containers/xml_events.h"
#include "support/named_case.h"

namespace kelvaro {
namespace {

using test::XmlCase;

class XmlReaderTest : public testing::TestWithParam<XmlCase> {};

TEST_P(XmlReaderTest, GivesTheEventsOrRefuses) {
  EXPECT_EQ(test::XmlEvents(GetParam().xml), GetParam().events);
}

INSTANTIATE_TEST_SUITE_P(WellFormed, XmlReaderTest, testing::ValuesIn(test::WellFormedXml()),
                         test::CaseName());
INSTANTIATE_TEST_SUITE_P(Refused, XmlReaderTest, testing::ValuesIn(test::RefusedXml()),
                         test::CaseName());

// The same documents handed over a few bytes at a time, characters cut between pieces.
class XmlStreamTest : public testing::TestWithParam<std::tuple<XmlCase, std::size_t>> {};

TEST_P(XmlStreamTest, GivesTheSameEventsPieceByPiece) {
  const auto& [c, piece] = GetParam();
  test::PieceSource source(c.xml, piece);
  XmlReader reader(source);
  EXPECT_EQ(test::XmlEvents(reader), c.events);
}

const auto kStreamName = [](const testing::TestParamInfo<std::tuple<XmlCase, std::size_t>>& info) {
  return std::get<0>(info.param).name + "_" + std::to_string(std::get<1>(info.param));
};

INSTANTIATE_TEST_SUITE_P(WellFormed, XmlStreamTest,
                         testing::Combine(testing::ValuesIn(test::WellFormedXml()),
                                          testing::Values(1, 5)),
                         kStreamName);
INSTANTIATE_TEST_SUITE_P(Refused, XmlStreamTest,
                         testing::Combine(testing::ValuesIn(test::RefusedXml()),
                                          testing::Values(1, 5)),
                         kStreamName);

// Where each tag stands, with enough text before the last ones that a streamed document is
// cut back from its front on the way.
class XmlTagOffsetTest : public testing::TestWithParam<std::size_t> {};

TEST_P(XmlTagOffsetTest, GivesEachTagsBytes) {
  const std::string xml = "\xEF\xBB\xBF<?xml version=\"1.0\"?><!--c--><a x=\"1\" >" +
                          std::string(200000, 't') + "<b/><c ></c >\n</a>";
  test::PieceSource source(xml, GetParam());
  XmlReader streamed(source);
  XmlReader whole(xml);
  XmlReader& reader = GetParam() == 0 ? whole : streamed;
  std::vector<std::string> tags;
  for (XmlReader::Event e = reader.Next(); e != XmlReader::Event::kDone; e = reader.Next()) {
    ASSERT_NE(e, XmlReader::Event::kError) << reader.Error();
    if (e == XmlReader::Event::kText) continue;
    tags.push_back(xml.substr(reader.TagBegin(), reader.TagEnd() - reader.TagBegin()));
  }
  EXPECT_EQ(tags,
            (std::vector<std::string>{"<a x=\"1\" >", "<b/>", "<b/>", "<c >", "</c >", "</a>"}));
}

INSTANTIATE_TEST_SUITE_P(Pieces, XmlTagOffsetTest, testing::Values(0, 7, 4096),
                         [](const testing::TestParamInfo<std::size_t>& info) {
                           return info.param == 0 ? std::string("Whole")
                                                  : "Piece" + std::to_string(info.param);
                         });

// Where each text begins in the document, also past what the streamed reader has let go.
class XmlTextOffsetTest : public testing::TestWithParam<std::size_t> {};

TEST_P(XmlTextOffsetTest, TextsBeginWhereTheirBytesDo) {
  const std::string long_text(70000, 'x');
  const std::string xml =
      "<?xml version='1.0'?>\n<a><!--c--><b/>t&amp;u<c>" + long_text + "</c><d/>z</a>";
  test::PieceSource source(xml, GetParam() == 0 ? xml.size() : GetParam());
  XmlReader streamed(source);
  XmlReader whole(xml);
  XmlReader& reader = GetParam() == 0 ? whole : streamed;
  std::vector<std::size_t> texts;
  for (auto e = reader.Next(); e != XmlReader::Event::kDone; e = reader.Next()) {
    ASSERT_NE(e, XmlReader::Event::kError);
    if (e == XmlReader::Event::kText) texts.push_back(reader.TextBegin());
  }
  EXPECT_EQ(texts,
            (std::vector<std::size_t>{xml.find("t&amp;u"), xml.find(long_text), xml.rfind('z')}));
}

INSTANTIATE_TEST_SUITE_P(Pieces, XmlTextOffsetTest, testing::Values(0, 1, 4096),
                         [](const testing::TestParamInfo<std::size_t>& info) {
                           return info.param == 0 ? std::string("Whole")
                                                  : "By" + std::to_string(info.param);
                         });

// What a document may make the reader hold, at the limit and one past it.
struct LimitCase {
  std::string name;
  std::string xml;
  XmlLimits limits;
  std::size_t piece;  // 0: the document whole
  std::string events;
  bool refused_size;
};
KELVARO_PRINT_CASES_BY_NAME()

XmlLimits Markup(std::size_t bytes) { return {bytes, std::numeric_limits<int>::max()}; }
XmlLimits Depth(int depth) { return {std::numeric_limits<std::size_t>::max(), depth}; }

const std::string kLongText(100, 'x');
const std::string kNested = "<a><b><c/></b></a>";
// Each open element holds its name and declarations: 1 + 7 + 1000 twice, and 1.
const std::string kUri(1000, 'u');
const std::string kDeclarations =
    "<a xmlns:p='" + kUri + "'><b xmlns:q='" + kUri + "'><c/></b></a>";

std::string Repeated(const std::string& s, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += s;
  return out;
}

class XmlLimitTest : public testing::TestWithParam<LimitCase> {};

TEST_P(XmlLimitTest, ReadsUpToTheLimitAndRefusesPastIt) {
  const LimitCase& c = GetParam();
  test::PieceSource source(c.xml, c.piece);
  XmlReader reader = c.piece == 0 ? XmlReader(c.xml, c.limits) : XmlReader(source, c.limits);
  EXPECT_EQ(test::XmlEvents(reader), c.events);
  EXPECT_EQ(reader.RefusedSize(), c.refused_size);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, XmlLimitTest,
    testing::Values(
        LimitCase{"TextAtTheLimit", "<a>" + kLongText + "</a>", Markup(100), 0,
                  "<a>|T:" + kLongText + "|</a>|", false},
        LimitCase{"TextPastTheLimit", "<a>" + kLongText + "</a>", Markup(99), 0, "ERROR", true},
        LimitCase{"StreamedCommentPastTheLimit", "<a><!--" + kLongText + "--></a>", Markup(64), 7,
                  "ERROR", true},
        LimitCase{"StreamedMarkupPassedIsForgotten",
                  "<a>" + Repeated("<b/>", 200) + "<!--" + kLongText + "--></a>", Markup(120), 7,
                  "<a>|" + Repeated("<b>|</b>|", 200) + "</a>|", false},
        LimitCase{"StreamedPastTheBuffer", "<a>" + Repeated("<b>标准</b>", 20000) + "</a>",
                  Markup(64), 1000, "<a>|" + Repeated("<b>|T:标准|</b>|", 20000) + "</a>|", false},
        LimitCase{"AttributesCountTheirRecords", test::ManyAttributes(40),
                  Markup(40 * sizeof(XmlAttribute)), 0, "ERROR", true},
        LimitCase{"AttributesWithinTheLimit", test::ManyAttributes(40),
                  Markup(60 * sizeof(XmlAttribute)), 0, test::ManyAttributeEvents(40), false},
        LimitCase{"DepthAtTheLimit", kNested, Depth(3), 0, "<a>|<b>|<c>|</c>|</b>|</a>|", false},
        LimitCase{"DepthPastTheLimit", kNested, Depth(2), 0, "ERROR", true},
        LimitCase{"OpenDeclarationsAtTheLimit", kDeclarations, Markup(2017), 0,
                  "<a xmlns:p=" + kUri + ">|<b xmlns:q=" + kUri + ">|<c>|</c>|</b>|</a>|", false},
        LimitCase{"OpenDeclarationsPastTheLimit", kDeclarations, Markup(2016), 0, "ERROR", true},
        LimitCase{
            "BadCharacterLateInAStream", "<a>" + kLongText + "\x01</a>", {}, 7, "ERROR", false}),
    test::CaseName());

TEST(XmlReaderStateTest, ASourceThatFailsEndsInAnError) {
  test::PieceSource source("<a>x</a>", 3, true);
  XmlReader reader(source);
  EXPECT_EQ(test::XmlEvents(reader), "ERROR");
  EXPECT_FALSE(reader.RefusedSize());
}

TEST(XmlReaderScaleTest, TwoHundredThousandAttributesOnOneElement) {
  const std::string xml = test::ManyAttributes(200000);
  XmlReader reader(xml);
  ASSERT_EQ(reader.Next(), XmlReader::Event::kStart);
  ASSERT_EQ(reader.Attributes().size(), 200000u);
  EXPECT_EQ(reader.Attributes().back().name, "a199999");
  EXPECT_EQ(reader.Attributes().back().value, "199999");
}

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

// What the writers put in a part reads back as the text, less what XML cannot hold.
TEST(XmlEscapeTest, EscapesMarkupAndDropsWhatXmlForbids) {
  const std::pair<std::string, std::string> cases[] = {
      {"a&b<c>\"d'", "a&b<c>\"d'"},
      {"GB\x1b[31m 50016\x07\x08\x7f", "GB[31m 50016\x7f"},
      {"tab\tline\ncr", "tab\tline\ncr"},
      {"\xEF\xBF\xBE\xEF\xBF\xBF\xEF\xBF\xBD规范", "\xEF\xBF\xBD规范"},
      {std::string("nul\0end", 7), "nulend"},
  };
  for (const auto& [text, read] : cases) {
    std::string xml = "<a v=\"";
    AppendXmlEscaped(xml, text);
    xml += "\">";
    AppendXmlEscaped(xml, text);
    xml += "</a>";
    XmlReader reader(xml);
    ASSERT_EQ(reader.Next(), XmlReader::Event::kStart) << xml;
    const std::string* value = reader.FindAttribute("v");
    ASSERT_NE(value, nullptr);
    // An attribute's tab and line end read as spaces.
    std::string spaced = read;
    for (char& c : spaced) {
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    EXPECT_EQ(*value, spaced);
    ASSERT_EQ(reader.Next(), XmlReader::Event::kText) << xml;
    EXPECT_EQ(reader.Text(), read);
  }
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

TEST(XmlNamespacesTest, FiftyThousandDeclarationsLookedUpAHundredThousandTimes) {
  std::string xml = "<w:body xmlns:w='urn:w'";
  for (int i = 0; i < 50000; ++i) xml += " xmlns:n" + std::to_string(i) + "='urn:n'";
  xml += "><n7:x xmlns:w='urn:inner'><w:p/></n7:x>";
  for (int i = 0; i < 100000; ++i) xml += "<w:p/>";
  xml += "</w:body>";
  XmlReader reader(xml);
  XmlNamespaces ns;
  int outer = 0, inner = 0;
  for (XmlReader::Event e; (e = reader.Next()) != XmlReader::Event::kDone;) {
    ASSERT_NE(e, XmlReader::Event::kError);
    if (e == XmlReader::Event::kEnd) ns.Pop();
    if (e != XmlReader::Event::kStart) continue;
    ns.Push(reader);
    if (LocalName(reader.Name()) != "p") continue;
    outer += ns.Uri(reader.Name()) == "urn:w";
    inner += ns.Uri(reader.Name()) == "urn:inner";
  }
  EXPECT_EQ(outer, 100000);
  EXPECT_EQ(inner, 1);
}

}  // namespace
}  // namespace kelvaro
