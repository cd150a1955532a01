// The body of a PDF file: its cross-reference (tables, streams, /Prev chains, hybrids, or a
// scan for "N G obj" when it is broken), its objects (object streams too), its encryption
// and the decoded bytes of its streams, all within limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "document/errors.h"

#include "document/pdf/objects.h"
#include "document/pdf/security.h"

namespace kelvaro::pdf {

struct Limits {
  std::size_t max_stream_size = 256u << 20;      // decoded bytes of one stream
  std::uint64_t max_decoded_total = 1ull << 30;  // decoded bytes, all streams, all uses
  std::size_t max_objects = 1000000;
  int max_nesting = 64;               // arrays and dictionaries inside each other
  std::size_t max_parts = 8'000'000;  // array items and dictionary entries read from the body
  int max_form_depth = 12;
  std::uint64_t max_form_draws = 100'000;    // forms drawn on one page, forms inside forms too
  std::uint64_t max_operators = 20'000'000;  // content operators run, all pages
  std::size_t max_text = 64u << 20;          // UTF-8 bytes of text, all pages
};

class File {
 public:
  // False with the reason (errors.h) when the file is no PDF, needs a password, or neither
  // its cross-reference nor a scan finds the document's catalog.
  bool Open(std::string_view data, const Limits& limits, DocumentError& error);

  // The object a reference names (followed through chains of references), or the object
  // itself; null for a missing, damaged or looping one.
  Object Resolve(const Object& object);
  const Object& Catalog() const { return catalog_; }

  // A stream's bytes after decryption and its filters. False for image data and damage; a
  // stream past the limits also sets Failure().
  bool StreamData(const Object& stream, std::string& out);
  // The reason reading has to stop, once a limit is passed; empty until then.
  DocumentError Failure() const { return failure_; }
  void Fail(DocumentError reason) {
    if (failure_ == DocumentError::kNone) failure_ = reason;
  }
  const Limits& GetLimits() const { return limits_; }
  // Counts the content operators run and the text given, for the whole document; false (and
  // a failure) past the limits.
  bool Spend(std::uint64_t operators, std::size_t text_bytes);

 private:
  struct Entry {
    enum class Type : std::uint8_t { kNone, kFree, kOffset, kCompressed };
    Type type = Type::kNone;
    std::uint64_t offset = 0;  // or the object stream's number
    int index = 0;             // in the object stream
    int gen = 0;
  };
  struct ObjectStream {
    std::string data;
    std::map<int, std::size_t> offsets;  // object number -> start in data
  };

  bool ReadCrossReference(std::size_t start);
  bool ReadTable(std::size_t at, Object& trailer);
  bool ReadXrefStream(std::size_t at, Object& trailer);
  // Without a sound cross-reference the file is scanned for its objects, as readers do:
  // every "N G obj", the trailers and cross-reference streams, the object streams' members.
  void Reconstruct();
  bool ScanObjects(std::vector<int>& object_stream_candidates);
  // The number, generation and start of an object whose "obj" keyword stands at `at`.
  bool ObjectHeaderBefore(std::size_t at, std::int64_t& num, std::int64_t& gen,
                          std::size_t& start) const;
  // Calls visit(after, num, gen, start) for every "N G obj" header in file order, `after`
  // being just past its "obj"; stops when visit gives false.
  template <typename Visit>
  void ForEachObjectHeader(Visit visit) const;
  // The starts of the "N G obj" headers in the file, and where each "endstream" stands, in
  // order: made once, so that finding where streams end stays linear in the file.
  const std::vector<std::size_t>& ObjectStarts();
  const std::vector<std::size_t>& StreamEnds();
  void ScanTrailers();
  void IndexObjectStreams(const std::vector<int>& candidates);
  bool SetEntry(std::int64_t num, const Entry& entry);
  bool LoadAt(std::size_t offset, int num, int gen, Object& out);
  bool ParseStreamBody(Lexer& lexer, Object& object, Ref owner);
  Object Load(int num);
  Object LoadCompressed(int stream_num, int num);
  void DecryptStrings(Object& object, Ref owner, int depth) const;
  bool FindCatalog(DocumentError& error);
  Parser BodyParser(Lexer& lexer) { return Parser(lexer, true, limits_.max_nesting, &parts_left_); }

  std::string_view data_;
  Limits limits_;
  std::vector<Entry> entries_;
  std::vector<Object> trailers_;  // newest first
  Object catalog_;
  std::unordered_map<int, Object> cache_;
  std::unordered_set<int> loading_;
  std::unordered_map<int, std::shared_ptr<ObjectStream>> object_streams_;
  std::optional<std::vector<std::size_t>> object_starts_;
  std::optional<std::vector<std::size_t>> stream_ends_;
  std::optional<Security> security_;
  int encrypt_num_ = -1;
  bool reconstructed_ = false;
  std::uint64_t decoded_total_ = 0;
  std::size_t parts_left_ = 0;
  int load_depth_ = 0;
  std::uint64_t operators_ = 0;
  std::uint64_t text_bytes_ = 0;
  DocumentError failure_ = DocumentError::kNone;
};

}  // namespace kelvaro::pdf
