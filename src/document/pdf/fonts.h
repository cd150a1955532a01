// Fonts as text needs them: how a string splits into character codes, what each code means
// in Unicode (ToUnicode maps, base encodings with /Differences, predefined Chinese and
// Unicode CMaps) and how far each moves the pen (/Widths, /W, standard fonts).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "document/pdf/file.h"
#include "document/pdf/objects.h"

namespace kelvaro::pdf {

// A CMap's parts that text needs: code space ranges, code -> CID and code -> Unicode.
class CMap {
 public:
  // Reads the PostScript-like text of an embedded CMap or ToUnicode stream.
  void Parse(std::string_view text);

  // The length in bytes of the code at the start of `bytes` (1 to 4; at least 1).
  int CodeLength(std::string_view bytes) const;
  bool HasCodeSpace() const { return !code_space_.empty(); }
  // The Unicode text of a code, UTF-8; false when the map says nothing of it.
  bool Unicode(std::uint32_t code, int length, std::string& utf8) const;
  bool Cid(std::uint32_t code, int length, std::uint32_t& cid) const;
  bool Vertical() const { return vertical_; }
  const std::string& UsedCMap() const { return used_; }

 private:
  struct Range {
    int length = 0;
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    std::u32string base;               // bfrange: the first code's text, last character counting up
    std::vector<std::u32string> list;  // bfrange with an array
    std::uint32_t cid = 0;             // cidrange
  };
  struct Space {
    int length = 0;
    std::uint8_t low[4] = {};
    std::uint8_t high[4] = {};
  };
  static std::uint64_t Key(std::uint32_t code, int length) {
    return static_cast<std::uint64_t>(length) << 32 | code;
  }
  static const Range* FindRange(const std::vector<Range>& ranges, std::uint32_t code, int length);
  // The operator `keyword` on the operands before it: a block's end takes the block.
  void Apply(const std::string& keyword, const std::vector<Object>& operands);
  void CodeSpaceRanges(const std::vector<Object>& operands);
  void UnicodeChars(const std::vector<Object>& operands);
  void UnicodeRanges(const std::vector<Object>& operands);
  void CidChars(const std::vector<Object>& operands);
  void CidRanges(const std::vector<Object>& operands);

  std::vector<Space> code_space_;
  std::unordered_map<std::uint64_t, std::u32string> unicode_chars_;
  std::vector<Range> unicode_ranges_;  // sorted by (length, low)
  std::unordered_map<std::uint64_t, std::uint32_t> cid_chars_;
  std::vector<Range> cid_ranges_;
  bool vertical_ = false;
  std::string used_;
};

struct Glyph {
  std::string text;         // UTF-8; empty when the font does not say
  double advance = 0;       // in text space units at size 1 (thousandths of an em / 1000)
  bool word_space = false;  // the one-byte code 32, which word spacing widens
};

class Font {
 public:
  // The font of a /Font resource (resolved); never null: an unknown font reads its bytes as
  // Latin-1 with a default width.
  static std::shared_ptr<const Font> Load(File& file, const Object& font);

  // The glyphs of `bytes`, at most `max_glyphs` of them; gives the bytes read.
  std::size_t Decode(std::string_view bytes, std::size_t max_glyphs, std::vector<Glyph>& out) const;
  bool Vertical() const { return vertical_; }

 private:
  enum class Kind { kSimple, kComposite };
  enum class Predefined { kNone, kIdentity, kGbk, kUcs2, kUtf16 };
  void LoadSimple(File& file, const Object& font);
  void LoadComposite(File& file, const Object& font);
  void SetPredefined(std::string_view name);
  double SimpleWidth(unsigned code, char32_t c) const;
  double CompositeWidth(std::uint32_t code, int length, std::string_view text) const;
  bool PredefinedText(std::string_view code_bytes, std::string& utf8) const;

  Kind kind_ = Kind::kSimple;
  // Simple fonts.
  char32_t code_points_[256] = {};
  std::vector<double> widths_;  // by code - first_char_, in thousandths
  int first_char_ = 0;
  double missing_width_ = 0;
  bool has_widths_ = false;
  int standard_ = 0;      // a StandardFont plus one, 0 for none
  double scale_ = 0.001;  // Type3 fonts: their font matrix
  // Composite fonts.
  Predefined predefined_ = Predefined::kNone;
  std::shared_ptr<CMap> encoding_;
  double default_width_ = 1000;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> width_ranges_;  // first, last CID
  std::vector<double> width_values_;
  // Both.
  std::shared_ptr<CMap> to_unicode_;
  bool vertical_ = false;
};

// Appends a code point as UTF-8 (a lone surrogate or zero gives nothing).
void AppendCodePoint(std::string& out, char32_t c);

}  // namespace kelvaro::pdf
