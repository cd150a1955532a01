// The compound file reader on any bytes: no crash or sanitizer report; every entry it lists
// has a UTF-8 name and is found again; a stream read has exactly its declared size, never
// more than the file; a refusal always has a reason and leaves no bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "document/containers/compound_file.h"
#include "fuzz_support.h"
#include "text/encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kelvaro::CompoundFile file;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
  if (!file.Open(std::span<const std::uint8_t>(data, size), error)) {
    FUZZ_EXPECT(error != kelvaro::DocumentError::kNone, "Open failed without a reason");
    return 0;
  }
  FUZZ_EXPECT(error == kelvaro::DocumentError::kNone,
              std::string("Open succeeded with a reason: ") + kelvaro::DocumentErrorWords(error));
  for (const kelvaro::CompoundEntry& e : file.Entries()) {
    const std::string name = kelvaro::fuzz::Hex(e.name);
    FUZZ_EXPECT(kelvaro::SanitizeUtf8(e.name) == e.name, "name not UTF-8: " + name);
    if (!e.is_stream) continue;
    const kelvaro::CompoundEntry* found = file.Find(e.name);
    FUZZ_EXPECT(found != nullptr && found->name.size() == e.name.size(), "not found: " + name);
    std::string out;
    if (file.Read(e, out, error)) {
      FUZZ_EXPECT_EQ(static_cast<std::uint64_t>(out.size()), e.size, "size of " + name);
      FUZZ_EXPECT(out.size() <= size, "stream larger than the file: " + name);
    } else {
      FUZZ_EXPECT(error != kelvaro::DocumentError::kNone, "Read failed without a reason: " + name);
      FUZZ_EXPECT(out.empty(), "Read failed and left bytes: " + name);
    }
  }
  return 0;
}
