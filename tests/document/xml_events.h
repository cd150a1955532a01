// XmlReader's events as one line, for tables of expected results: "<a x=1>", "T:text",
// "</a>"; adjacent texts merged; "ERROR" when the document is refused.
#pragma once

#include <string>
#include <string_view>

#include "document/xml_reader.h"

namespace kelvaro::test {

inline std::string XmlEvents(std::string_view xml) {
  XmlReader reader(xml);
  std::string out, text;
  auto flush = [&] {
    if (!text.empty()) out += "T:" + text + "|";
    text.clear();
  };
  for (;;) {
    switch (reader.Next()) {
      case XmlReader::Event::kStart:
        flush();
        out += "<" + std::string(reader.Name());
        for (const XmlAttribute& a : reader.Attributes()) {
          out += " " + std::string(a.name) + "=" + a.value;
        }
        out += ">|";
        break;
      case XmlReader::Event::kEnd:
        flush();
        out += "</" + std::string(reader.Name()) + ">|";
        break;
      case XmlReader::Event::kText:
        text += reader.Text();
        break;
      case XmlReader::Event::kDone:
        flush();
        return out;
      case XmlReader::Event::kError:
        return "ERROR";
    }
  }
}

}  // namespace kelvaro::test
