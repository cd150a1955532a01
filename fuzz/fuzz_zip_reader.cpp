// The zip reader on any bytes: no crash or sanitizer report; every member it lists has a
// name that stays inside the archive and can be found again; what it extracts has the
// declared size, and streaming it gives the same bytes or the same reason; a refusal
// always has a reason.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "document/containers/zip_reader.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kelvaro::ZipReader zip;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
  const std::span<const std::uint8_t> archive(data, size);
  if (!zip.Open(archive, error)) {
    FUZZ_EXPECT(error != kelvaro::DocumentError::kNone, "Open failed without a reason");
    return 0;
  }
  FUZZ_EXPECT(error == kelvaro::DocumentError::kNone,
              std::string("Open succeeded with a reason: ") + kelvaro::DocumentErrorWords(error));
  for (const kelvaro::ZipMember& m : zip.Members()) {
    const std::string name = kelvaro::fuzz::Hex(m.name);
    FUZZ_EXPECT(kelvaro::IsSafeMemberName(m.name), "unsafe name listed: " + name);
    const kelvaro::ZipMember* found = zip.Find(m.name);
    FUZZ_EXPECT(found == &m, "Find does not give the member back: " + name);
    std::string out;
    const bool extracted = zip.Extract(m, out, error);
    kelvaro::ZipStream stream;
    std::string streamed;
    kelvaro::DocumentError stream_error = kelvaro::DocumentError::kNone;
    if (stream.Open(zip, m, stream_error)) {
      while (stream.Read(streamed, 1 + size % 61)) {
      }
      stream_error = stream.Error();
    }
    FUZZ_EXPECT_EQ(std::string(kelvaro::DocumentErrorWords(stream_error)),
                   std::string(kelvaro::DocumentErrorWords(error)), "stream's reason for " + name);
    if (extracted) FUZZ_EXPECT_EQ(streamed, out, "streamed bytes of " + name);
    if (extracted) {
      FUZZ_EXPECT_EQ(static_cast<std::uint64_t>(out.size()), m.size, "extracted size of " + name);
      FUZZ_EXPECT(error == kelvaro::DocumentError::kNone, "Extract succeeded with a reason");
      FUZZ_EXPECT(m.size <= m.compressed_size * 1000, "ratio limit passed by " + name);
    } else {
      FUZZ_EXPECT(error != kelvaro::DocumentError::kNone,
                  "Extract failed without a reason: " + name);
      FUZZ_EXPECT(out.empty(), "Extract failed and left bytes: " + name);
    }
  }
  return 0;
}
