#include "document/pdf/file.h"

#include <algorithm>

#include "document/errors.h"
#include "document/pdf/filters.h"

namespace kelvaro::pdf {

namespace {

constexpr int kMaxSections = 1000;  // cross-reference sections along /Prev
constexpr int kMaxChain = 32;       // references to references
constexpr int kMaxLoadDepth = 32;   // objects needed to load one (lengths of lengths)
constexpr std::size_t kTailSearch = 4096;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool StartsWith(std::string_view data, std::size_t at, std::string_view word) {
  return at <= data.size() && data.substr(at, word.size()) == word;
}

// The integer token at the lexer, or -1.
std::int64_t ReadInteger(Lexer& lexer) {
  std::string text;
  std::int64_t value = 0;
  double real = 0;
  if (lexer.Next(text, value, real) != Lexer::Token::kInt) return -1;
  return value;
}

bool ReadKeyword(Lexer& lexer, std::string_view keyword) {
  std::string text;
  std::int64_t value = 0;
  double real = 0;
  return lexer.Next(text, value, real) == Lexer::Token::kKeyword && text == keyword;
}

}  // namespace

bool File::SetEntry(std::int64_t num, const Entry& entry) {
  if (num < 0) return true;
  if (static_cast<std::uint64_t>(num) >= limits_.max_objects) {
    Fail(DocumentError::kPdfTooComplex);
    return false;
  }
  const auto at = static_cast<std::size_t>(num);
  if (at >= entries_.size()) entries_.resize(at + 1);
  // Sections are read newest first: an older one never replaces what a newer one said.
  if (entries_[at].type == Entry::Type::kNone) entries_[at] = entry;
  return true;
}

bool File::ReadTable(std::size_t at, Object& trailer) {
  Lexer lexer(data_, at);
  if (!ReadKeyword(lexer, "xref")) return false;
  std::string text;
  std::int64_t value = 0;
  double real = 0;
  for (;;) {
    const std::size_t back = lexer.Pos();
    const Lexer::Token token = lexer.Next(text, value, real);
    if (token == Lexer::Token::kKeyword && text == "trailer") break;
    if (token != Lexer::Token::kInt) return false;
    const std::int64_t first = value;
    const std::int64_t count = ReadInteger(lexer);
    if (first < 0 || count < 0) return false;
    if (static_cast<std::uint64_t>(first) + static_cast<std::uint64_t>(count) >
        limits_.max_objects) {
      Fail(DocumentError::kPdfTooComplex);
      return false;
    }
    for (std::int64_t i = 0; i < count; ++i) {
      const std::size_t row = lexer.Pos();
      const std::int64_t offset = ReadInteger(lexer);
      const std::int64_t gen = ReadInteger(lexer);
      const Lexer::Token kind = lexer.Next(text, value, real);
      if (offset < 0 || gen < 0 || kind != Lexer::Token::kKeyword || (text != "n" && text != "f")) {
        // Fewer rows than the count says: the next subsection or the trailer follows.
        lexer.Seek(row);
        break;
      }
      Entry entry;
      entry.type = text == "n" ? Entry::Type::kOffset : Entry::Type::kFree;
      entry.offset = static_cast<std::uint64_t>(offset);
      entry.gen = static_cast<int>(std::min<std::int64_t>(gen, 65535));
      if (!SetEntry(first + i, entry)) return false;
    }
    if (lexer.Pos() == back) return false;
  }
  Parser parser = BodyParser(lexer);
  std::string keyword;
  return parser.Read(trailer, keyword) && trailer.Is(Object::Kind::kDict);
}

bool File::ReadXrefStream(std::size_t at, Object& trailer) {
  Object stream;
  if (!LoadAt(at, -1, -1, stream) || !stream.Is(Object::Kind::kStream) ||
      !stream.Get("Type").IsName("XRef")) {
    return false;
  }
  const Array& widths = stream.Get("W").Items();
  if (widths.size() < 3) return false;
  int w[3];
  int row_size = 0;
  for (int i = 0; i < 3; ++i) {
    w[i] = static_cast<int>(widths[static_cast<std::size_t>(i)].Integer(-1));
    if (w[i] < 0 || w[i] > 8) return false;
    row_size += w[i];
  }
  if (row_size == 0) return false;
  std::string rows;
  if (!StreamData(stream, rows)) return false;
  Array index = stream.Get("Index").Items();
  if (index.empty()) index = {Object::Int(0), Object::Int(stream.Get("Size").Integer())};
  std::size_t pos = 0;
  for (std::size_t k = 0; k + 1 < index.size(); k += 2) {
    const std::int64_t first = index[k].Integer(-1);
    const std::int64_t count = index[k + 1].Integer(-1);
    if (first < 0 || count < 0) return false;
    if (static_cast<std::uint64_t>(first) + static_cast<std::uint64_t>(count) >
        limits_.max_objects) {
      Fail(DocumentError::kPdfTooComplex);
      return false;
    }
    for (std::int64_t i = 0; i < count && pos + static_cast<std::size_t>(row_size) <= rows.size();
         ++i) {
      std::uint64_t field[3] = {1, 0, 0};  // a missing type field means type 1
      for (int f = 0; f < 3; ++f) {
        if (w[f] == 0) continue;
        std::uint64_t v = 0;
        for (int b = 0; b < w[f]; ++b) v = v << 8 | static_cast<unsigned char>(rows[pos++]);
        field[f] = v;
      }
      Entry entry;
      if (field[0] == 0) {
        entry.type = Entry::Type::kFree;
      } else if (field[0] == 1) {
        entry.type = Entry::Type::kOffset;
        entry.offset = field[1];
        entry.gen = static_cast<int>(std::min<std::uint64_t>(field[2], 65535));
      } else if (field[0] == 2) {
        if (field[1] >= limits_.max_objects) continue;
        entry.type = Entry::Type::kCompressed;
        entry.offset = field[1];
        entry.index = static_cast<int>(std::min<std::uint64_t>(field[2], INT32_MAX));
      } else {
        continue;  // a type of a later version: treated as a null object
      }
      if (!SetEntry(first + i, entry)) return false;
    }
  }
  trailer = Object::MakeDict(stream.stream->dict);
  return true;
}

bool File::ReadCrossReference(std::size_t start) {
  std::vector<std::size_t> pending{start};
  std::unordered_set<std::size_t> seen;
  int sections = 0;
  while (!pending.empty()) {
    const std::size_t at = pending.back();
    pending.pop_back();
    if (at >= data_.size() || !seen.insert(at).second) continue;
    if (++sections > kMaxSections) return false;
    Object trailer;
    Lexer lexer(data_, at);
    lexer.SkipSpace();
    if (StartsWith(data_, lexer.Pos(), "xref")) {
      // A hybrid file's hidden stream holds the objects in object streams.
      const std::size_t table = lexer.Pos();
      if (!ReadTable(table, trailer)) return false;
      const std::int64_t hidden = trailer.Get("XRefStm").Integer(-1);
      if (hidden >= 0 && seen.insert(static_cast<std::size_t>(hidden)).second) {
        Object ignored;
        if (!ReadXrefStream(static_cast<std::size_t>(hidden), ignored) &&
            failure_ != DocumentError::kNone) {
          return false;
        }
      }
    } else if (!ReadXrefStream(lexer.Pos(), trailer)) {
      return false;
    }
    trailers_.push_back(trailer);
    const std::int64_t previous = trailer.Get("Prev").Integer(-1);
    if (previous >= 0) pending.push_back(static_cast<std::size_t>(previous));
  }
  return !trailers_.empty();
}

void File::Reconstruct() {
  if (reconstructed_) return;
  reconstructed_ = true;
  entries_.clear();
  cache_.clear();
  object_streams_.clear();
  std::vector<int> object_stream_candidates;
  if (!ScanObjects(object_stream_candidates)) return;
  ScanTrailers();
  IndexObjectStreams(object_stream_candidates);
}

bool File::ObjectHeaderBefore(std::size_t at, std::int64_t& num, std::int64_t& gen,
                              std::size_t& start) const {
  // Backwards: white space, generation, white space, number.
  std::size_t p = at;
  const std::size_t space1 = p;
  while (p > 0 && IsPdfSpace(static_cast<unsigned char>(data_[p - 1]))) --p;
  if (p == space1) return false;
  const std::size_t gen_end = p;
  while (p > 0 && IsDigit(data_[p - 1]) && gen_end - p < 6) --p;
  if (p == gen_end) return false;
  const std::size_t gen_start = p;
  while (p > 0 && IsPdfSpace(static_cast<unsigned char>(data_[p - 1]))) --p;
  if (p == gen_start) return false;
  const std::size_t num_end = p;
  while (p > 0 && IsDigit(data_[p - 1]) && num_end - p < 10) --p;
  if (p == num_end) return false;
  if (p > 0 && !IsPdfSpace(static_cast<unsigned char>(data_[p - 1])) &&
      !IsPdfDelimiter(static_cast<unsigned char>(data_[p - 1]))) {
    return false;
  }
  num = 0;
  for (std::size_t i = p; i < num_end; ++i) num = num * 10 + (data_[i] - '0');
  gen = 0;
  for (std::size_t i = gen_start; i < gen_end; ++i) gen = gen * 10 + (data_[i] - '0');
  start = p;
  return true;
}

template <typename Visit>
void File::ForEachObjectHeader(Visit visit) const {
  for (std::size_t at = data_.find("obj"); at != std::string_view::npos;
       at = data_.find("obj", at + 3)) {
    const std::size_t after = at + 3;
    if (after < data_.size() && !IsPdfSpace(static_cast<unsigned char>(data_[after])) &&
        !IsPdfDelimiter(static_cast<unsigned char>(data_[after]))) {
      continue;
    }
    std::int64_t num = 0, gen = 0;
    std::size_t start = 0;
    if (ObjectHeaderBefore(at, num, gen, start) && !visit(after, num, gen, start)) return;
  }
}

const std::vector<std::size_t>& File::ObjectStarts() {
  if (!object_starts_) {
    object_starts_.emplace();
    ForEachObjectHeader([this](std::size_t, std::int64_t, std::int64_t, std::size_t start) {
      object_starts_->push_back(start);
      return true;
    });
  }
  return *object_starts_;
}

const std::vector<std::size_t>& File::StreamEnds() {
  if (!stream_ends_) {
    stream_ends_.emplace();
    for (std::size_t at = data_.find("endstream"); at != std::string_view::npos;
         at = data_.find("endstream", at + 9)) {
      stream_ends_->push_back(at);
    }
  }
  return *stream_ends_;
}

bool File::ScanObjects(std::vector<int>& object_stream_candidates) {
  std::size_t objects = 0;
  bool within_limits = true;
  ForEachObjectHeader([&](std::size_t after, std::int64_t num, std::int64_t gen,
                          std::size_t start) {
    if (++objects > limits_.max_objects || num >= static_cast<std::int64_t>(limits_.max_objects)) {
      within_limits = false;
      return false;
    }
    const auto n = static_cast<std::size_t>(num);
    if (n >= entries_.size()) entries_.resize(n + 1);
    // A later definition (an incremental update) replaces an earlier one.
    entries_[n].type = Entry::Type::kOffset;
    entries_[n].offset = start;
    entries_[n].gen = static_cast<int>(std::min<std::int64_t>(gen, 65535));
    const std::string_view head = data_.substr(after, 2048);
    const std::size_t type = head.find("/ObjStm");
    if (type != std::string_view::npos && type < head.find("endobj")) {
      object_stream_candidates.push_back(static_cast<int>(num));
    }
    return true;
  });
  if (!within_limits) Fail(DocumentError::kPdfTooComplex);
  return within_limits;
}

void File::ScanTrailers() {
  std::vector<Object> found;
  for (std::size_t at = data_.find("trailer"); at != std::string_view::npos;
       at = data_.find("trailer", at + 7)) {
    Lexer lexer(data_, at + 7);
    Parser parser = BodyParser(lexer);
    Object trailer;
    std::string keyword;
    if (parser.Read(trailer, keyword) && trailer.Is(Object::Kind::kDict)) {
      found.push_back(trailer);
    }
  }
  // Cross-reference streams are trailers too.
  for (std::size_t n = 0; n < entries_.size(); ++n) {
    if (entries_[n].type != Entry::Type::kOffset) continue;
    const std::string_view head = data_.substr(entries_[n].offset, 1024);
    if (head.find("/XRef") == std::string_view::npos) continue;
    Object stream;
    if (LoadAt(entries_[n].offset, static_cast<int>(n), -1, stream) &&
        stream.Is(Object::Kind::kStream) && stream.Get("Type").IsName("XRef")) {
      found.push_back(Object::MakeDict(stream.stream->dict));
    }
  }
  trailers_.assign(found.rbegin(), found.rend());
}

void File::IndexObjectStreams(const std::vector<int>& candidates) {
  for (const int num : candidates) {
    const Object stream = Load(num);
    if (!stream.Is(Object::Kind::kStream) || !stream.Get("Type").IsName("ObjStm")) continue;
    std::string data;
    if (!StreamData(stream, data)) continue;
    Lexer lexer(data);
    const std::int64_t count = std::min<std::int64_t>(
        stream.Get("N").Integer(), static_cast<std::int64_t>(limits_.max_objects));
    for (std::int64_t i = 0; i < count; ++i) {
      const std::int64_t member = ReadInteger(lexer);
      if (member < 0 || ReadInteger(lexer) < 0) break;
      if (member >= static_cast<std::int64_t>(limits_.max_objects)) break;
      const auto m = static_cast<std::size_t>(member);
      if (m >= entries_.size()) entries_.resize(m + 1);
      if (entries_[m].type == Entry::Type::kNone) {
        entries_[m].type = Entry::Type::kCompressed;
        entries_[m].offset = static_cast<std::uint64_t>(num);
        entries_[m].index = static_cast<int>(i);
      }
    }
  }
}

bool File::ParseStreamBody(Lexer& lexer, Object& object, Ref owner) {
  std::size_t start = lexer.Pos();
  if (StartsWith(data_, start, "\r\n")) {
    start += 2;
  } else if (StartsWith(data_, start, "\n") || StartsWith(data_, start, "\r")) {
    start += 1;
  }
  const Object length = Resolve(object.Get("Length"));
  std::size_t end = std::string_view::npos;
  if (length.Is(Object::Kind::kInt) && length.integer >= 0 &&
      static_cast<std::uint64_t>(length.integer) <= data_.size() - start) {
    const std::size_t candidate = start + static_cast<std::size_t>(length.integer);
    Lexer after(data_, candidate);
    after.SkipSpace();
    if (StartsWith(data_, after.Pos(), "endstream")) end = candidate;
  }
  if (end == std::string_view::npos) {
    // A wrong or missing length: the data runs up to "endstream", or up to the next object
    // when that "endstream" is missing.
    const std::vector<std::size_t>& ends = StreamEnds();
    const auto stream_end = std::lower_bound(ends.begin(), ends.end(), start);
    end = stream_end == ends.end() ? data_.size() : *stream_end;
    const std::vector<std::size_t>& objects = ObjectStarts();
    const auto next_object = std::lower_bound(objects.begin(), objects.end(), start);
    if (next_object != objects.end()) end = std::min(end, *next_object);
    if (end > start && data_[end - 1] == '\n') --end;
    if (end > start && data_[end - 1] == '\r') --end;
  }
  auto stream = std::make_shared<Stream>();
  stream->dict = object.dict ? *object.dict : Dict();
  stream->raw = data_.substr(start, end - start);
  stream->owner = owner;
  object.kind = Object::Kind::kStream;
  object.dict.reset();
  object.stream = std::move(stream);
  return true;
}

bool File::LoadAt(std::size_t offset, int num, int gen, Object& out) {
  if (offset >= data_.size()) return false;
  Lexer lexer(data_, offset);
  const std::int64_t read_num = ReadInteger(lexer);
  const std::int64_t read_gen = ReadInteger(lexer);
  if (read_num < 0 || read_gen < 0 || !ReadKeyword(lexer, "obj")) return false;
  if (num >= 0 && read_num != num) return false;
  if (gen >= 0 && read_gen != gen) return false;
  Parser parser = BodyParser(lexer);
  std::string keyword;
  out = Object();
  if (!parser.Read(out, keyword)) {
    if (keyword == "endobj") return true;  // an empty object is null
    return false;
  }
  if (out.Is(Object::Kind::kDict) && ReadKeyword(lexer, "stream")) {
    return ParseStreamBody(lexer, out, {static_cast<int>(read_num), static_cast<int>(read_gen)});
  }
  return true;
}

Object File::LoadCompressed(int stream_num, int num) {
  std::shared_ptr<ObjectStream> holder;
  const auto known = object_streams_.find(stream_num);
  if (known != object_streams_.end()) {
    holder = known->second;
  } else {
    holder = std::make_shared<ObjectStream>();
    object_streams_[stream_num] = holder;  // stays empty when broken: tried once
    const Object stream = Load(stream_num);
    if (!stream.Is(Object::Kind::kStream) || !StreamData(stream, holder->data)) return {};
    Lexer lexer(holder->data);
    const std::int64_t count = std::min<std::int64_t>(
        stream.Get("N").Integer(), static_cast<std::int64_t>(limits_.max_objects));
    const std::int64_t first = stream.Get("First").Integer();
    if (count < 0 || first < 0 || static_cast<std::uint64_t>(first) > holder->data.size()) {
      return {};
    }
    for (std::int64_t i = 0; i < count; ++i) {
      const std::int64_t member = ReadInteger(lexer);
      const std::int64_t offset = ReadInteger(lexer);
      if (member < 0 || offset < 0) break;
      holder->offsets.emplace(static_cast<int>(std::min<std::int64_t>(member, INT32_MAX)),
                              static_cast<std::size_t>(first + offset));
    }
  }
  const auto at = holder->offsets.find(num);
  if (at == holder->offsets.end() || at->second >= holder->data.size()) return {};
  Lexer lexer(holder->data, at->second);
  Parser parser = BodyParser(lexer);
  Object out;
  std::string keyword;
  if (!parser.Read(out, keyword)) return {};
  return out;
}

void File::DecryptStrings(Object& object, Ref owner, int depth) const {
  if (depth > limits_.max_nesting) return;
  switch (object.kind) {
    case Object::Kind::kString:
      object.text = security_->DecryptString(object.text, owner);
      break;
    case Object::Kind::kArray: {
      Array items = *object.array;
      for (Object& item : items) DecryptStrings(item, owner, depth + 1);
      object.array = std::make_shared<const Array>(std::move(items));
      break;
    }
    case Object::Kind::kDict: {
      Dict entries = *object.dict;
      for (auto& [key, value] : entries) DecryptStrings(value, owner, depth + 1);
      object.dict = std::make_shared<const Dict>(std::move(entries));
      break;
    }
    case Object::Kind::kStream: {
      auto stream = std::make_shared<Stream>(*object.stream);
      for (auto& [key, value] : stream->dict) DecryptStrings(value, owner, depth + 1);
      object.stream = std::move(stream);
      break;
    }
    default:
      break;
  }
}

Object File::Load(int num) {
  if (num < 0) return {};
  const auto cached = cache_.find(num);
  if (cached != cache_.end()) return cached->second;
  if (static_cast<std::size_t>(num) >= entries_.size() || load_depth_ >= kMaxLoadDepth ||
      !loading_.insert(num).second) {
    return {};
  }
  ++load_depth_;
  Object out;
  Entry entry = entries_[static_cast<std::size_t>(num)];
  if (entry.type == Entry::Type::kOffset) {
    if (!LoadAt(entry.offset, num, -1, out) && !reconstructed_ &&
        failure_ == DocumentError::kNone) {
      // The cross-reference is wrong about this object: it is rebuilt from the objects.
      Reconstruct();
      if (static_cast<std::size_t>(num) < entries_.size()) {
        entry = entries_[static_cast<std::size_t>(num)];
        out = Object();
        if (entry.type == Entry::Type::kOffset && !LoadAt(entry.offset, num, -1, out)) {
          out = Object();
        }
      }
    }
    if (security_ && num != encrypt_num_ && entry.type == Entry::Type::kOffset) {
      DecryptStrings(out, {num, entry.gen}, 0);
    }
  }
  if (entry.type == Entry::Type::kCompressed) {
    out = LoadCompressed(static_cast<int>(entry.offset), num);
  }
  loading_.erase(num);
  --load_depth_;
  if (parts_left_ == 0) Fail(DocumentError::kPdfTooComplex);
  cache_[num] = out;
  return out;
}

Object File::Resolve(const Object& object) {
  Object current = object;
  for (int i = 0; i < kMaxChain && current.Is(Object::Kind::kRef); ++i) {
    current = Load(current.ref.num);
  }
  if (current.Is(Object::Kind::kRef)) return {};
  return current;
}

bool File::StreamData(const Object& stream, std::string& out) {
  out.clear();
  if (!stream.Is(Object::Kind::kStream) || failure_ != DocumentError::kNone) return false;
  const Stream& s = *stream.stream;
  std::string decrypted;
  std::string_view raw = s.raw;
  const Object type = Resolve(stream.Get("Type"));
  if (security_ && !s.in_object_stream && s.owner.num != encrypt_num_ && !type.IsName("XRef") &&
      !(type.IsName("Metadata") && security_->MetadataInClear())) {
    decrypted = security_->DecryptStream(raw, s.owner);
    raw = decrypted;
  }
  Object filters = Resolve(stream.Get("Filter"));
  Object parms = Resolve(stream.Get("DecodeParms"));
  if (filters.Is(Object::Kind::kArray)) {
    Array items;
    for (const Object& item : filters.Items()) items.push_back(Resolve(item));
    filters = Object::MakeArray(std::move(items));
  }
  if (parms.Is(Object::Kind::kArray)) {
    Array items;
    for (const Object& item : parms.Items()) items.push_back(Resolve(item));
    parms = Object::MakeArray(std::move(items));
  }
  const std::uint64_t left =
      limits_.max_decoded_total - std::min(limits_.max_decoded_total, decoded_total_);
  const std::size_t max_size =
      static_cast<std::size_t>(std::min<std::uint64_t>(limits_.max_stream_size, left));
  const Decoded result = DecodeFilters(raw, filters, parms, max_size, out);
  if (result == Decoded::kTooLarge) Fail(DocumentError::kTooLarge);
  if (result != Decoded::kOk) {
    out.clear();
    return false;
  }
  decoded_total_ += out.size();
  return true;
}

bool File::Spend(std::uint64_t operators, std::size_t text_bytes) {
  operators_ += operators;
  text_bytes_ += text_bytes;
  if (operators_ > limits_.max_operators || text_bytes_ > limits_.max_text) {
    Fail(DocumentError::kPdfTooComplex);
  }
  return failure_ == DocumentError::kNone;
}

bool File::FindCatalog(DocumentError& error) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    // A copy: resolving may rebuild the cross-reference and its trailers.
    const std::vector<Object> trailers = trailers_;
    for (const Object& trailer : trailers) {
      const Object root = Resolve(trailer.Get("Root"));
      if (root.Is(Object::Kind::kDict) && !root.Get("Pages").Is(Object::Kind::kNull)) {
        catalog_ = root;
        return true;
      }
    }
    if (failure_ != DocumentError::kNone) break;
    if (!reconstructed_) {
      Reconstruct();
      continue;
    }
    // No trailer names it: any object that says it is the catalog.
    for (std::size_t n = 0; n < entries_.size() && failure_ == DocumentError::kNone; ++n) {
      if (entries_[n].type != Entry::Type::kOffset) continue;
      if (data_.substr(entries_[n].offset, 4096).find("/Catalog") == std::string_view::npos) {
        continue;
      }
      const Object object = Load(static_cast<int>(n));
      if (object.Get("Type").IsName("Catalog")) {
        catalog_ = object;
        return true;
      }
    }
    break;
  }
  error = failure_ == DocumentError::kNone ? DocumentError::kDamaged : failure_;
  return false;
}

bool File::Open(std::string_view data, const Limits& limits, DocumentError& error) {
  data_ = data;
  limits_ = limits;
  parts_left_ = limits.max_parts;
  error = DocumentError::kNone;
  if (data_.substr(0, 1024).find("%PDF-") == std::string_view::npos) {
    error = DocumentError::kNotPdf;
    return false;
  }
  const std::size_t tail = data_.size() > kTailSearch ? data_.size() - kTailSearch : 0;
  const std::size_t startxref = data_.rfind("startxref");
  bool read = false;
  if (startxref != std::string_view::npos && startxref >= tail) {
    Lexer lexer(data_, startxref + 9);
    const std::int64_t offset = ReadInteger(lexer);
    if (offset >= 0) read = ReadCrossReference(static_cast<std::size_t>(offset));
  }
  if (!read && failure_ == DocumentError::kNone) {
    trailers_.clear();
    Reconstruct();
  }
  if (failure_ != DocumentError::kNone) {
    error = failure_;
    return false;
  }
  // The first trailer naming a thing is the newest word on it.
  Object encrypt_ref;
  std::string file_id;
  for (const Object& trailer : trailers_) {
    if (encrypt_ref.Is(Object::Kind::kNull)) encrypt_ref = trailer.Get("Encrypt");
    const Array& ids = trailer.Get("ID").Items();
    if (file_id.empty() && !ids.empty()) file_id = ids.front().text;
  }
  if (!encrypt_ref.Is(Object::Kind::kNull)) {
    if (encrypt_ref.Is(Object::Kind::kRef)) encrypt_num_ = encrypt_ref.ref.num;
    const Object encrypt = Resolve(encrypt_ref);
    Dict resolved;
    if (encrypt.Is(Object::Kind::kDict)) {
      for (const auto& [key, value] : *encrypt.dict) resolved.emplace_back(key, Resolve(value));
    }
    Security security;
    if (!security.Open(Object::MakeDict(std::move(resolved)), file_id, error)) return false;
    security_ = std::move(security);
    cache_.clear();  // objects read so far were read before decryption was known
  }
  return FindCatalog(error);
}

}  // namespace kelvaro::pdf
