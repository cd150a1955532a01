// The XML reader on any bytes: no crash; end tags match their start tags and the depth
// follows them; texts and attribute values are valid UTF-8; no attribute twice; the end
// comes only with every element closed; after the end or an error the same comes again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/xml_reader.h"
#include "fuzz_support.h"
#include "text/encoding.h"

namespace {

bool ValidUtf8(const std::string& s) { return kelvaro::SanitizeUtf8(s) == s; }

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
  return 0;
}
