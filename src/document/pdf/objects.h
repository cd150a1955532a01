// PDF objects and the parser shared by the file's body and page content streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelvaro::pdf {

struct Object;
using Array = std::vector<Object>;
using Dict = std::vector<std::pair<std::string, Object>>;

struct Ref {
  int num = 0;
  int gen = 0;
  bool operator==(const Ref&) const = default;
};

struct Stream;

struct Object {
  enum class Kind { kNull, kBool, kInt, kReal, kName, kString, kArray, kDict, kStream, kRef };
  Kind kind = Kind::kNull;
  bool boolean = false;
  std::int64_t integer = 0;
  double real = 0;
  std::string text;  // a name without its slash, or a string's bytes
  std::shared_ptr<const Array> array;
  std::shared_ptr<const Dict> dict;  // a dictionary's, or a stream's
  std::shared_ptr<const Stream> stream;
  Ref ref;

  bool Is(Kind k) const { return kind == k; }
  bool IsNumber() const { return kind == Kind::kInt || kind == Kind::kReal; }
  double Number(double fallback = 0) const;
  // The integer, or `fallback` for anything else (a real is truncated).
  std::int64_t Integer(std::int64_t fallback = 0) const;
  bool IsName(std::string_view name) const { return kind == Kind::kName && text == name; }
  // The entry of a dictionary or of a stream's dictionary; a null object when there is none.
  const Object& Get(std::string_view key) const;
  const Array& Items() const;  // empty unless an array

  static Object Null() { return {}; }
  static Object Int(std::int64_t v);
  static Object Real(double v);
  static Object Name(std::string v);
  static Object String(std::string v);
  static Object MakeArray(Array v);
  static Object MakeDict(Dict v);
};

// A stream: its dictionary and where its raw (still encoded, perhaps encrypted) bytes lie.
struct Stream {
  Dict dict;
  std::string_view raw;
  Ref owner;  // the object it belongs to, for decryption
  bool in_object_stream = false;
};

const Object& Lookup(const Dict& dict, std::string_view key);

// Bytes and positions of PDF syntax: white space, comments, tokens.
class Lexer {
 public:
  explicit Lexer(std::string_view data, std::size_t pos = 0) : data_(data), pos_(pos) {}

  enum class Token {
    kEnd,
    kInt,
    kReal,
    kName,
    kString,
    kHexString,
    kArrayOpen,
    kArrayClose,
    kDictOpen,
    kDictClose,
    kKeyword,
    kError
  };
  // The next token; its text (name without the slash and with #xx undone, string bytes with
  // escapes undone, keyword) in `text`.
  Token Next(std::string& text, std::int64_t& integer, double& real);
  void SkipSpace();
  std::size_t Pos() const { return pos_; }
  void Seek(std::size_t pos) { pos_ = pos < data_.size() ? pos : data_.size(); }
  std::string_view Data() const { return data_; }

 private:
  // One reader per kind of token, each from the token's first byte, as psparser keeps them.
  Token HexString(std::string& text);
  Token LiteralString(std::string& text);
  // The byte a backslash escape at pos_ stands for; false for an escaped line end, which
  // stands for nothing.
  bool Escape(char& out);
  Token Name(std::string& text);
  Token Number(std::int64_t& integer, double& real);
  Token Keyword(std::string& text);

  std::string_view data_;
  std::size_t pos_ = 0;
};

bool IsPdfSpace(unsigned char c);
bool IsPdfDelimiter(unsigned char c);

// Objects read from a lexer. References ("1 0 R") are read only with `refs`; the body of a
// stream is found by the caller. Arrays and dictionaries deeper than `max_depth` fail (with
// `refs`, they are read as null); so does one object of more than a million parts, and any
// object once `budget` (parts left to read, counted down) is spent.
class Parser {
 public:
  Parser(Lexer& lexer, bool refs, int max_depth = 64, std::size_t* budget = nullptr)
      : lexer_(lexer), refs_(refs), max_depth_(max_depth), budget_(budget) {}
  // An object; false at the end of data, at a keyword (left in `keyword`), or on bad syntax
  // (keyword empty then).
  bool Read(Object& out, std::string& keyword);

 private:
  bool FromToken(Lexer::Token token, Object& out, std::string& keyword, int depth);
  // An integer, or with `refs` the reference "num gen R" it starts.
  void IntegerOrRef(Object& out);
  bool ReadArray(Object& out, int depth);
  bool ReadDict(Object& out, int depth);
  // Passes over an array or dictionary opened past `max_depth` to its close, so that the
  // rest of a file's object is still read, the too deep one as null. Content streams are
  // not read so: their syntax errors are passed over one token at a time.
  bool SkipNested();
  bool Count();
  Lexer& lexer_;
  bool refs_;
  int max_depth_;
  std::size_t* budget_;
  std::size_t parts_ = 0;
  std::string text_;
  std::int64_t integer_ = 0;
  double real_ = 0;
};

}  // namespace kelvaro::pdf
