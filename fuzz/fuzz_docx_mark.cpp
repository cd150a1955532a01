// MarkDocx on a sound package whose word/document.xml is the input after its first byte (the
// first byte's bits choose the marks): no crash; a refusal has the reader's reason and leaves
// nothing; a marked copy reads again, gives the same text when nothing was marked, and
// holds comments only when some were asked for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "document/containers/zip_reader.h"
#include "document/containers/zip_writer.h"
#include "document/markers/docx_mark.h"
#include "document/readers/formats.h"
#include "fuzz_support.h"

namespace {

kelvaro::Bytes Package(const std::string& document) {
  kelvaro::ZipWriter zip;
  zip.Add("[Content_Types].xml",
          "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Override PartName=\"/word/document.xml\" ContentType=\"application/"
          "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/></Types>");
  zip.Add("_rels/.rels",
          "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
          "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/"
          "2006/relationships/officeDocument\" Target=\"word/document.xml\"/></Relationships>");
  zip.Add("word/document.xml", document);
  return zip.Finish();
}

bool Read(const kelvaro::Bytes& docx, std::vector<kelvaro::TextPiece>& pieces,
          kelvaro::DocumentError& error) {
  kelvaro::formats::Budget budget(kelvaro::DocumentLimits{});
  return kelvaro::formats::ReadDocx(docx, budget, pieces, error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const kelvaro::Bytes docx =
      Package(std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  const auto decide = [flags](const kelvaro::Citation& c) -> std::optional<kelvaro::CitationMark> {
    if ((flags & 1) != 0 && c.year.empty()) return std::nullopt;
    kelvaro::CitationMark mark;
    if ((flags & 2) != 0) mark.comment = "核对\n" + c.number;
    if ((flags & 4) != 0) mark.fill = kelvaro::CellFill::kRose;
    if ((flags & 8) != 0) mark.number = c.code + " " + c.serial + "-2099";
    if ((flags & 16) != 0) mark.title = "新<名称>&";
    return mark;
  };
  kelvaro::MarkedDocument marked;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
  std::vector<kelvaro::TextPiece> before;
  kelvaro::DocumentError read_error = kelvaro::DocumentError::kNone;
  const bool read = Read(docx, before, read_error);
  if (!kelvaro::MarkDocx(docx, decide, kelvaro::MarkAuthor{}, marked, error)) {
    FUZZ_EXPECT(!read, "refused what the reader reads");
    FUZZ_EXPECT(error == read_error, "refused for another reason than the reader's");
    FUZZ_EXPECT(marked.bytes.empty() && marked.marked == 0, "refused with something written");
    return 0;
  }
  FUZZ_EXPECT(read, "marked what the reader refuses");
  std::vector<kelvaro::TextPiece> after;
  FUZZ_EXPECT(Read(marked.bytes, after, error), "the marked copy does not read");
  if (marked.marked == 0) FUZZ_EXPECT(after == before, "nothing marked, yet the text changed");
  kelvaro::ZipReader zip;
  FUZZ_EXPECT(zip.Open(marked.bytes, error), "the marked copy is no zip");
  const bool commented = (flags & 2) != 0 && marked.marked > 0;
  FUZZ_EXPECT((zip.Find("word/comments.xml") != nullptr) == commented,
              "comments part without a comment, or comments without their part");
  return 0;
}
