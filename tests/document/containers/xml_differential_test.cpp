// The XML reader against expat over the same documents: the same elements, attributes and
// text, or both refusing. Expat is used as a careful caller uses it: a declared entity
// stops it, as our reader refuses one.
#include <expat.h>
#include <gtest/gtest.h>

#include <string>

#include "document/containers/xml_cases.h"
#include "document/containers/xml_events.h"
#include "support/named_case.h"

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

using test::XmlCase;

class XmlDifferentialTest : public testing::TestWithParam<XmlCase> {};

TEST_P(XmlDifferentialTest, SameEventsAsExpat) {
  if (GetParam().only_ours_refuses) {
    EXPECT_NE(ExpatEvents(GetParam().xml), "ERROR");
    EXPECT_EQ(test::XmlEvents(GetParam().xml), "ERROR");
  } else {
    EXPECT_EQ(test::XmlEvents(GetParam().xml), ExpatEvents(GetParam().xml));
  }
}

INSTANTIATE_TEST_SUITE_P(WellFormed, XmlDifferentialTest, testing::ValuesIn(test::WellFormedXml()),
                         test::CaseName());
INSTANTIATE_TEST_SUITE_P(Refused, XmlDifferentialTest, testing::ValuesIn(test::RefusedXml()),
                         test::CaseName());

}  // namespace
}  // namespace kelvaro
