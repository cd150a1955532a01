// XmlReader's events as one line, for tables of expected results: "<a x=1>", "T:text",
// "</a>"; adjacent texts merged; "ERROR" when the document is refused.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

#include "document/containers/xml_reader.h"

namespace kelvaro::test {

// A document handed over `piece` bytes at a time, failing at the end when `fail`.
class PieceSource : public XmlSource {
 public:
  PieceSource(std::string_view xml, std::size_t piece, bool fail = false)
      : xml_(xml), piece_(piece), fail_(fail) {}
  bool Read(std::string& out) override {
    const std::size_t n = std::min(piece_, xml_.size() - at_);
    out.append(xml_, at_, n);
    at_ += n;
    return at_ < xml_.size();
  }
  bool Failed() const override { return fail_ && at_ == xml_.size(); }

 private:
  std::string_view xml_;
  std::size_t piece_;
  bool fail_;
  std::size_t at_ = 0;
};

inline std::string XmlEvents(XmlReader& reader) {
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

inline std::string XmlEvents(std::string_view xml) {
  XmlReader reader(xml);
  return XmlEvents(reader);
}

}  // namespace kelvaro::test
