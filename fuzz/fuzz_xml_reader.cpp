// The XML reader on any bytes: no crash; end tags match their start tags and the depth
// follows them; texts and attribute values are valid UTF-8; no attribute twice; the end
// comes only with every element closed; after the end or an error the same comes again.
// Read piecewise, the same document gives the same events, or is refused as well.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/containers/xml_reader.h"
#include "fuzz_support.h"
#include "text/encoding.h"

namespace {

bool ValidUtf8(const std::string& s) { return kelvaro::SanitizeUtf8(s) == s; }

class PieceSource : public kelvaro::XmlSource {
 public:
  PieceSource(std::string_view xml, std::size_t piece) : xml_(xml), piece_(piece) {}
  bool Read(std::string& out) override {
    const std::string_view next = xml_.substr(at_, piece_);
    out += next;
    at_ += next.size();
    return at_ < xml_.size();
  }
  bool Failed() const override { return false; }

 private:
  std::string_view xml_;
  std::size_t piece_;
  std::size_t at_ = 0;
};

// The events in one line; "ERROR" for a refusal, whatever came before it.
std::string Events(kelvaro::XmlReader& reader) {
  using Event = kelvaro::XmlReader::Event;
  std::string out;
  for (;;) {
    const Event e = reader.Next();
    if (e == Event::kError) return "ERROR";
    if (e == Event::kDone) return out;
    if (e == Event::kText) {
      out += "T:" + reader.Text() + "|";
      continue;
    }
    out += (e == Event::kStart ? "<" : "</") + std::string(reader.Name());
    for (const kelvaro::XmlAttribute& a : reader.Attributes()) {
      out += " " + std::string(a.name) + "=" + a.value;
    }
    out += ">|";
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string xml(reinterpret_cast<const char*>(data), size);
  kelvaro::XmlReader reader(xml);
  kelvaro::XmlNamespaces namespaces;
  std::vector<std::string> open;
  int elements = 0;
  for (int steps = 0;; ++steps) {
    const kelvaro::XmlReader::Event e = reader.Next();
    using Event = kelvaro::XmlReader::Event;
    if (e == Event::kError) {
      FUZZ_EXPECT(!reader.Error().empty(), "error without a reason");
      FUZZ_EXPECT(reader.Next() == Event::kError, "an error does not repeat");
      break;
    }
    if (e == Event::kDone) {
      FUZZ_EXPECT(open.empty(), "end with elements open");
      FUZZ_EXPECT(elements > 0, "end without a root element");
      FUZZ_EXPECT(reader.Next() == Event::kDone, "the end does not repeat");
      break;
    }
    if (e == Event::kStart) {
      ++elements;
      open.emplace_back(reader.Name());
      namespaces.Push(reader);
      FUZZ_EXPECT(!reader.Name().empty(), "element without a name");
      const auto& attributes = reader.Attributes();
      for (std::size_t i = 0; i < attributes.size(); ++i) {
        FUZZ_EXPECT(ValidUtf8(attributes[i].value), "attribute value not UTF-8");
        for (std::size_t k = 0; k < i; ++k) {
          FUZZ_EXPECT(attributes[k].name != attributes[i].name, "attribute given twice");
        }
      }
    } else if (e == Event::kEnd) {
      FUZZ_EXPECT(!open.empty(), "end tag without a start tag");
      FUZZ_EXPECT_EQ(std::string(reader.Name()), open.back(), "end tag name");
      open.pop_back();
      namespaces.Pop();
    } else {
      FUZZ_EXPECT(!open.empty(), "text outside the root element");
      FUZZ_EXPECT(ValidUtf8(reader.Text()), "text not UTF-8");
    }
    FUZZ_EXPECT_EQ(reader.Depth(), static_cast<int>(open.size()), "depth");
    FUZZ_EXPECT(steps <= static_cast<int>(size) * 2 + 4, "more events than the input can hold");
  }
  kelvaro::XmlReader whole(xml);
  PieceSource source(xml, 1 + size % 7);
  kelvaro::XmlReader piecewise(source);
  FUZZ_EXPECT_EQ(Events(piecewise), Events(whole), "read piecewise");
  return 0;
}
