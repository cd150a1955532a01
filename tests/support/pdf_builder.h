// PDF files written object by object for the PDF reader's tests: each kind of
// cross-reference (table, stream, object streams, hybrid, incremental update) and broken
// ones on purpose.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro::test {

class PdfWriter {
 public:
  enum class Xref {
    kTable,
    kStream,         // a cross-reference stream
    kObjectStreams,  // objects other than streams inside an object stream, and an xref stream
    kHybrid,         // a table for some objects, the hidden /XRefStm for those in the object stream
    kWrongOffsets,   // a table whose offsets all miss by a few bytes
    kNone            // neither table nor startxref
  };

  // The object's text between "N 0 obj" and "endobj"; gives its number.
  int Add(std::string body);
  // A stream with the dictionary entries `entries` and /Length, the true one unless `length`
  // says what to write instead (e.g. "9 0 R").
  int AddStream(std::string_view entries, std::string_view data,
                std::optional<std::string> length = {});
  int Reserve() { return Add("null"); }
  void Replace(int num, std::string body);
  // A page tree of one page per content stream, Helvetica as /F1 unless `resources` (inside
  // the page's << >>) says otherwise; sets the catalog. Gives the catalog's number.
  int Pages(const std::vector<std::string>& contents, std::string_view resources = {},
            std::string_view page_extra = {});

  std::string Build(Xref xref = Xref::kTable, std::string_view trailer_extra = {}) const;
  int Root() const { return root_; }

 private:
  std::vector<std::string> objects_;  // object n is objects_[n - 1]
  std::vector<bool> streams_;
  int root_ = 0;
};

// An incremental update of `pdf`: the objects given replace or add to its own, with a new
// table whose /Prev points to the one before.
std::string AppendUpdate(const std::string& pdf,
                         const std::vector<std::pair<int, std::string>>& objects, int root);

// Encoders for the filters, as writers apply them.
std::string ZlibDeflate(std::string_view data);
std::string AsciiHexEncode(std::string_view data);
std::string Ascii85Encode(std::string_view data);
std::string LzwEncode(std::string_view data);
std::string RunLengthEncode(std::string_view data);
// Rows of `columns` bytes, each after a PNG filter byte cycling through 0 to 4.
std::string PngPredict(std::string_view data, int columns);
// Each byte less the one before it in its row of `columns` bytes (TIFF predictor 2).
std::string TiffPredict(std::string_view data, int columns);

// A string in PDF hex notation: <...>.
std::string HexString(std::string_view bytes);

}  // namespace kelvaro::test
