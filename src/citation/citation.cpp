#include "citation/citation.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

#include "text/utf8.h"

namespace kelvaro {

namespace {

// What an invalid sequence and the end of the text read as: equal to nothing a rule looks for.
constexpr char32_t kNothing = 0xFFFFFFFF;
constexpr char32_t kTitleOpen = 0x300A;    // 《
constexpr char32_t kTitleClose = 0x300B;   // 》
constexpr char32_t kYearSign = 0x5E74;     // 年
constexpr char32_t kEditionSign = 0x7248;  // 版

constexpr std::string_view kTitleCloseBytes = "\xE3\x80\x8B";
constexpr std::string_view kTitleOpenBytes = "\xE3\x80\x8A";
constexpr std::string_view kFullWidthOpenBracket = "\xEF\xBC\x88";  // （
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
constexpr std::string_view kNoBreakSpace = "\xC2\xA0";
constexpr std::string_view kEditionWords = "\xE5\xB9\xB4\xE7\x89\x88";  // 年版
constexpr std::string_view kNoteWords =
    "\xE5\xB1\x80\xE9\x83\xA8\xE4\xBF\xAE\xE8\xAE\xA2";  // 局部修订

// Long enough for any standard's title (about 100 Chinese characters); it bounds the search
// for the opening mark, so a stray 》 costs little.
constexpr std::size_t kMaxTitleBytes = 300;

// Two-letter industry codes, sorted for the binary search.
constexpr std::array<std::string_view, 69> kIndustryCodes = {
    "AQ", "BB", "CB", "CH", "CJ", "CY", "DA", "DL", "DZ", "EJ", "FZ", "GA", "GH", "GM", "GY", "HB",
    "HG", "HJ", "HS", "HY", "JB", "JC", "JG", "JR", "JT", "JY", "LB", "LD", "LS", "LY", "MH", "MT",
    "MZ", "NY", "QB", "QC", "QJ", "QX", "SB", "SC", "SH", "SJ", "SL", "SN", "SY", "TB", "TD", "TJ",
    "TY", "WB", "WH", "WJ", "WM", "WS", "WW", "XB", "YB", "YC", "YD", "YS", "YY", "YZ", "ZY"};

struct Decoded {
  char32_t c;
  std::size_t next;
};

// An invalid sequence reads as kNothing, which no rule matches.
inline Decoded DecodeAt(std::string_view s, std::size_t i) {
  const char32_t c = DecodeUtf8(s, i);
  return {c == kReplacementCharacter ? kNothing : c, i};
}

// The hyphens and dashes of Unicode's dash punctuation, and the minus sign. The wave dashes
// (U+301C, U+3030) mark ranges, not years, and stay out.
constexpr std::array<char32_t, 23> kDashes = {
    0x058A, 0x05BE, 0x1400, 0x1806, 0x2010, 0x2011, 0x2012, 0x2013, 0x2014, 0x2015, 0x2212, 0x2E17,
    0x2E1A, 0x2E3A, 0x2E3B, 0x2E40, 0x2E5D, 0x30A0, 0xFE31, 0xFE32, 0xFE58, 0xFE63, 0x10EAD};

// Full-width ASCII forms as ASCII, every space as ' ', every dash as '-'.
inline char32_t Normalised(char32_t c) {
  if (c < 0x80) return c;
  // Chinese characters, most of the text, lie between the dashes.
  if (c > 0x30A0 && c < 0xFE31) return c;
  if (c >= 0xFF01 && c <= 0xFF5E) return c - 0xFEE0;
  if (c == 0x3000 || c == 0xA0) return ' ';
  if (std::binary_search(kDashes.begin(), kDashes.end(), c)) return '-';
  return c;
}

bool IsCapital(char32_t c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
// A code starts only on a word boundary: not against a letter, a digit or a slash.
bool BlocksCode(char32_t c) {
  return IsCapital(c) || IsDigit(c) || (c >= 'a' && c <= 'z') || c == '/';
}

// The text as the rules see it (normalised characters), with positions that stay byte
// offsets into the input.
class Reader {
 public:
  Reader(std::string_view text, std::size_t pos) : text_(text) { Seek(pos); }

  char32_t Peek() const { return c_; }
  std::size_t Pos() const { return pos_; }
  void Next() { Seek(next_); }
  bool Take(char32_t c) {
    if (c_ != c) return false;
    Next();
    return true;
  }
  // A run of spaces counts as one; true when there was one.
  bool SkipSpaces() {
    const std::size_t from = pos_;
    while (c_ == ' ') Next();
    return pos_ != from;
  }
  // One line break, LF or CR LF, with spaces either side. A blank line, a lone CR or a form
  // feed (a page's end) is none.
  bool SkipLineBreak() {
    Reader probe = *this;
    probe.SkipSpaces();
    probe.Take('\r');
    if (!probe.Take('\n')) return false;
    probe.SkipSpaces();
    *this = probe;
    return true;
  }
  // Spaces, or one line break with spaces around it; true when it was a break.
  bool SkipSpacesOrLineBreak() {
    if (SkipLineBreak()) return true;
    SkipSpaces();
    return false;
  }
  bool TakeBytes(std::string_view bytes) {
    if (!text_.substr(pos_).starts_with(bytes)) return false;
    Seek(pos_ + bytes.size());
    return true;
  }
  void Seek(std::size_t pos) {
    pos_ = pos;
    if (pos >= text_.size()) {
      c_ = kNothing;
      next_ = pos;
      return;
    }
    const Decoded d = DecodeAt(text_, pos);
    c_ = Normalised(d.c);
    next_ = d.next;
    // A run of dashes ("——", the double em dash of Chinese input methods) is one dash.
    while (c_ == '-' && next_ < text_.size()) {
      const Decoded more = DecodeAt(text_, next_);
      if (Normalised(more.c) != '-') break;
      next_ = more.next;
    }
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t next_ = 0;
  char32_t c_ = kNothing;
};

// A maximal run of capitals; empty when it is longer than `max`.
std::string ReadCapitals(Reader& r, std::size_t max) {
  std::string run;
  std::size_t count = 0;
  for (; IsCapital(r.Peek()); r.Next()) {
    if (++count <= max) run += static_cast<char>(r.Peek());
  }
  if (count > max) run.clear();
  return run;
}

// A maximal run of digits; empty when it is longer than `max`.
std::string ReadDigits(Reader& r, std::size_t max) {
  std::string run;
  std::size_t count = 0;
  for (; IsDigit(r.Peek()); r.Next()) {
    if (++count <= max) run += static_cast<char>(r.Peek());
  }
  if (count > max) run.clear();
  return run;
}

struct Code {
  std::string text;
  std::string_view suffixes;  // the letters it may take after a slash: "GB/T", "GB/Z"
  bool yearless = false;      // a citation without a year, given three serial digits
  bool dashed = false;        // its serials may hold one inner dash: "08-11"
  char serial_letter = 0;     // a serial letter written against the code: "JTGD60"
};

std::optional<Code> LetterCode(std::string_view run) {
  struct Entry {
    std::string_view name;
    std::string_view suffixes;
    bool yearless;
    bool dashed;
  };
  // GBZ/T (occupational health) and GJB/Z (military guides) exist as written.
  static constexpr Entry kCodes[] = {
      {"GB", "TZ", true, false},  {"GBJ", "", true, false},    {"GBZ", "T", false, false},
      {"GJB", "Z", false, false}, {"JJF", "", false, false},   {"JJG", "", false, false},
      {"JGJ", "TZ", true, false}, {"CJJ", "TZ", true, false},  {"JTG", "TZ", true, false},
      {"JTS", "TZ", true, false}, {"JTJ", "TZ", false, false}, {"CECS", "TZ", true, false},
      {"DBJ", "T", true, true}};
  for (const Entry& e : kCodes) {
    if (e.name == run) return Code{std::string(run), e.suffixes, e.yearless, e.dashed};
  }
  if (run.size() == 2 && std::binary_search(kIndustryCodes.begin(), kIndustryCodes.end(), run)) {
    return Code{std::string(run), "TZ", false, false};
  }
  return std::nullopt;
}

// "/T" or "/Z" after a code, spaces allowed around the slash.
void ReadSuffix(Reader& r, Code& code) {
  if (code.suffixes.empty()) return;
  Reader probe = r;
  probe.SkipSpaces();
  if (!probe.Take('/')) return;
  probe.SkipSpacesOrLineBreak();
  const std::string letter = ReadCapitals(probe, 1);
  if (letter.empty() || code.suffixes.find(letter[0]) == std::string_view::npos) return;
  code.text += '/';
  code.text += letter;
  r = probe;
}

// After "T": "/CECS". Without a space before the serial the code ends at its last letter
// ("T/CECS102"); with one it may end in digits ("T/ABC1 23").
std::optional<Code> ReadGroupCode(Reader& r) {
  constexpr std::size_t kMaxRun = 15;
  r.SkipSpaces();
  if (!r.Take('/')) return std::nullopt;
  r.SkipSpacesOrLineBreak();
  std::string run;
  std::array<std::size_t, kMaxRun> after{};
  while (IsCapital(r.Peek()) || IsDigit(r.Peek())) {
    if (run.size() == kMaxRun) return std::nullopt;
    run += static_cast<char>(r.Peek());
    r.Next();
    after[run.size() - 1] = r.Pos();
  }
  const std::size_t last_letter = run.find_last_not_of("0123456789");
  if (last_letter == std::string::npos) return std::nullopt;
  std::size_t length = run.size();
  if (last_letter + 1 < run.size()) {
    Reader probe = r;
    const bool spaced = probe.SkipSpaces();
    if (!spaced || !(IsDigit(probe.Peek()) || IsCapital(probe.Peek()))) {
      length = last_letter + 1;
      r.Seek(after[last_letter]);
    }
  }
  if (length < 2 || length > 10) return std::nullopt;
  return Code{"T/" + run.substr(0, length), "", true, false};
}

// After "DB": the province, 11 to 82, then "/T", or the bare slash of a mandatory local
// standard ("DB11/ 687-2015").
std::optional<Code> ReadLocalCode(Reader& r) {
  const std::string province = ReadDigits(r, 2);
  if (province.size() != 2) return std::nullopt;
  const int number = (province[0] - '0') * 10 + (province[1] - '0');
  if (number < 11 || number > 82) return std::nullopt;
  Code code{"DB" + province, "", true, false};
  Reader probe = r;
  probe.SkipSpaces();
  if (probe.Take('/')) {
    // A break after the bare slash is the one before the serial.
    Reader letter = probe;
    letter.SkipSpacesOrLineBreak();
    if (ReadCapitals(letter, 1) == "T") {
      code.text += "/T";
      r = letter;
    } else {
      r = probe;
    }
  }
  return code;
}

std::optional<Code> ReadCode(Reader& r) {
  const std::string run = ReadCapitals(r, 5);
  if (run.empty()) return std::nullopt;
  if (run == "T") return ReadGroupCode(r);
  if (run == "DB") return ReadLocalCode(r);
  if (run == "DG") {
    r.SkipSpaces();
    if (!r.Take('/')) return std::nullopt;
    r.SkipSpacesOrLineBreak();
    if (ReadCapitals(r, 2) != "TJ") return std::nullopt;
    return Code{"DG/TJ", "", true, true};
  }
  if (std::optional<Code> code = LetterCode(run)) {
    ReadSuffix(r, *code);
    return code;
  }
  // Written against what follows: "GBT50001" (file names cannot hold the slash) for GB/T,
  // "JTGD60" for JTG D60.
  std::optional<Code> code = LetterCode(std::string_view(run).substr(0, run.size() - 1));
  if (!code) return std::nullopt;
  const char last = run.back();
  if (last == 'T' && code->suffixes.find('T') != std::string_view::npos) {
    code->text += "/T";
    return code;
  }
  if (last != 'T' && last != 'Z' && IsDigit(r.Peek())) {
    code->serial_letter = last;
    return code;
  }
  return std::nullopt;
}

struct Year {
  char separator = '-';
  std::string digits;
};

// "-2014", ":2002", " - 95"; a line may end after the separator, never before it, so a
// serial ending one line and a number starting the next stay apart.
std::optional<Year> ReadYear(Reader& r) {
  Reader probe = r;
  probe.SkipSpaces();
  const char32_t separator = probe.Peek();
  if (separator != '-' && separator != ':') return std::nullopt;
  probe.Next();
  probe.SkipSpacesOrLineBreak();
  std::string digits = ReadDigits(probe, 4);
  if (FullYear(digits) == 0) return std::nullopt;
  r = probe;
  return Year{static_cast<char>(separator), std::move(digits)};
}

struct Serial {
  std::string text;
  std::size_t digits = 0;
};

std::optional<Serial> ReadSerial(Reader& r, const Code& code) {
  Serial serial;
  bool lettered = code.serial_letter != 0;
  if (lettered) {
    serial.text += code.serial_letter;
  } else if (IsCapital(r.Peek())) {
    serial.text += static_cast<char>(r.Peek());
    r.Next();
    lettered = true;
  }
  const std::string digits = ReadDigits(r, 5);
  if (digits.empty()) return std::nullopt;
  serial.text += digits;
  serial.digits = digits.size();
  // At most two parts ("GB/T 15629.11", "GB/T 1.1"): more make an address ("GB 10.0.0.1").
  for (int parts = 0; r.Peek() == '.'; ++parts) {
    Reader probe = r;
    probe.Next();
    const std::string part = ReadDigits(probe, 5);
    if (part.empty()) break;
    if (parts == 2) return std::nullopt;
    serial.text += '.' + part;
    serial.digits += part.size();
    r = probe;
  }
  // An inner dash: "DG/TJ 08-11-2018", "JTG/T B07-01-2006", "JTS 144-1-2010". DBJ and DG/TJ
  // keep it without a year too, unless the group is a year itself; other codes only before
  // a four-digit year, and with a short group, so "GB 50016-2014-2015" stays a year.
  if (r.Peek() == '-') {
    Reader probe = r;
    probe.Next();
    probe.SkipLineBreak();
    const std::string part = ReadDigits(probe, 5);
    Reader after = probe;
    const std::optional<Year> year = part.empty() ? std::nullopt : ReadYear(after);
    bool inner = false;
    if (code.dashed || lettered) {
      inner = year || (code.dashed && !(part.size() == 4 && FullYear(part) != 0));
    } else {
      inner = year && year->digits.size() == 4 && part.size() <= 3;
    }
    if (inner && !part.empty()) {
      serial.text += '-' + part;
      serial.digits += part.size();
      r = probe;
    }
  }
  return serial;
}

// "/XG1-2006".
std::optional<std::string> ReadAmendment(Reader& r) {
  Reader probe = r;
  probe.SkipSpaces();
  if (!probe.Take('/')) return std::nullopt;
  probe.SkipSpaces();
  if (!probe.Take('X') || !probe.Take('G')) return std::nullopt;
  const std::string count = ReadDigits(probe, 2);
  if (count.empty()) return std::nullopt;
  std::string amendment = "XG" + count;
  Reader year = probe;
  if (year.Take('-')) {
    const std::string digits = ReadDigits(year, 4);
    if (FullYear(digits) != 0) {
      amendment += '-' + digits;
      probe = year;
    }
  }
  r = probe;
  return amendment;
}

// "（2018年版）", "(2015年版)", "(2018版)", "(2015)", all as "2018年版".
std::optional<std::string> ReadEdition(Reader& r) {
  Reader probe = r;
  probe.SkipSpaces();
  if (!probe.Take('(')) return std::nullopt;
  probe.SkipSpaces();
  const std::string year = ReadDigits(probe, 4);
  if (year.size() != 4 || FullYear(year) == 0) return std::nullopt;
  probe.SkipSpaces();
  probe.Take(kYearSign);
  probe.Take(kEditionSign);
  probe.SkipSpaces();
  if (!probe.Take(')')) return std::nullopt;
  r = probe;
  return year + std::string(kEditionWords);
}

bool ReadNote(Reader& r) {
  Reader probe = r;
  probe.SkipSpaces();
  if (!probe.TakeBytes(kNoteWords)) return false;
  r = probe;
  return true;
}

// One line of valid text, neither empty nor holding a title mark.
bool IsTitleText(std::string_view text) {
  if (text.empty()) return false;
  for (Reader r(text, 0); r.Pos() < text.size(); r.Next()) {
    const char32_t c = r.Peek();
    if (c == kNothing || c < 0x20 || c == 0x7F || c == kTitleOpen || c == kTitleClose) {
      return false;
    }
  }
  return true;
}

struct Title {
  std::size_t open = 0;       // the opening mark
  std::size_t close_end = 0;  // just past the closing mark
  std::string_view text;
};

std::optional<Title> ReadTitleAfter(Reader& r, std::string_view s) {
  Reader probe = r;
  probe.SkipSpaces();
  const std::size_t open = probe.Pos();
  if (!probe.Take(kTitleOpen)) return std::nullopt;
  const std::size_t from = probe.Pos();
  const std::size_t close =
      s.substr(from, kMaxTitleBytes + kTitleCloseBytes.size()).find(kTitleCloseBytes);
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view text = s.substr(from, close);
  if (!IsTitleText(text)) return std::nullopt;
  probe.Seek(from + close + kTitleCloseBytes.size());
  r = probe;
  return Title{open, probe.Pos(), text};
}

bool EndsWithAt(std::string_view s, std::size_t floor, std::size_t end, std::string_view bytes) {
  return end >= floor + bytes.size() && s.substr(end - bytes.size(), bytes.size()) == bytes;
}

std::size_t SkipSpacesBack(std::string_view s, std::size_t floor, std::size_t end) {
  for (;;) {
    if (EndsWithAt(s, floor, end, " ")) {
      end -= 1;
    } else if (EndsWithAt(s, floor, end, kNoBreakSpace)) {
      end -= kNoBreakSpace.size();
    } else if (EndsWithAt(s, floor, end, kIdeographicSpace)) {
      end -= kIdeographicSpace.size();
    } else {
      return end;
    }
  }
}

// A title ending just before the number, spaces allowed between; `bracketed` when the
// number stands in brackets after it: "《建筑设计防火规范》（GB 50016-2014）". Read backwards on
// bytes: every mark looked for starts with a lead byte, so it is a whole character.
std::optional<Title> ReadTitleBefore(std::string_view s, std::size_t floor, std::size_t number,
                                     bool& bracketed) {
  std::size_t k = SkipSpacesBack(s, floor, number);
  bracketed = false;
  if (EndsWithAt(s, floor, k, "(")) {
    k -= 1;
    bracketed = true;
  } else if (EndsWithAt(s, floor, k, kFullWidthOpenBracket)) {
    k -= kFullWidthOpenBracket.size();
    bracketed = true;
  }
  if (bracketed) k = SkipSpacesBack(s, floor, k);
  if (!EndsWithAt(s, floor, k, kTitleCloseBytes)) return std::nullopt;
  const std::size_t close = k - kTitleCloseBytes.size();
  const std::size_t lowest =
      close - std::min(close - floor, kMaxTitleBytes + kTitleOpenBytes.size());
  for (std::size_t j = close; j >= lowest + kTitleOpenBytes.size(); --j) {
    if (s.substr(j - kTitleOpenBytes.size(), kTitleOpenBytes.size()) == kTitleOpenBytes) {
      const std::string_view text = s.substr(j, close - j);
      if (!IsTitleText(text)) return std::nullopt;
      return Title{j - kTitleOpenBytes.size(), k, text};
    }
  }
  return std::nullopt;
}

// Font and encoding names of drawings ("仿宋_GB2312"), never cited without a year.
bool IsEncodingName(const Code& code, const Serial& serial) {
  return code.text == "GB" &&
         (serial.text == "2312" || serial.text == "18030" || serial.text == "13000");
}

std::optional<Citation> ReadCitation(std::string_view s, std::size_t at, std::size_t floor) {
  Reader r(s, at);
  std::optional<Code> code = ReadCode(r);
  if (!code) return std::nullopt;
  const bool wrapped = code->serial_letter == 0 && r.SkipSpacesOrLineBreak();
  std::optional<Serial> serial = ReadSerial(r, *code);
  if (!serial) return std::nullopt;

  Citation c;
  c.code = code->text;
  c.serial = serial->text;
  c.number = c.code + ' ' + c.serial;
  if (std::optional<Year> year = ReadYear(r)) {
    c.year = year->digits;
    c.full_year = FullYear(c.year);
    c.number += year->separator + c.year;
  } else if (wrapped || !code->yearless || serial->digits < 3 || IsEncodingName(*code, *serial)) {
    // A code ending a line and a number starting the next are one citation only with its year.
    return std::nullopt;
  }
  if (std::optional<std::string> amendment = ReadAmendment(r)) c.amendment = std::move(*amendment);
  if (std::optional<std::string> edition = ReadEdition(r)) c.edition = std::move(*edition);
  const std::size_t number_end = r.Pos();
  if (ReadNote(r)) c.note = kNoteWords;

  bool bracketed = false;
  std::optional<Title> title = ReadTitleBefore(s, floor, at, bracketed);
  if (title && bracketed) {
    Reader close = r;
    close.SkipSpaces();
    if (close.Take(')')) {
      r = close;
    } else {
      title.reset();
    }
  }
  c.begin = at;
  if (title) {
    c.begin = title->open;
    c.end = r.Pos();
  } else if ((title = ReadTitleAfter(r, s))) {
    c.end = title->close_end;
  } else {
    c.end = r.Pos();
  }
  if (title) c.title = title->text;
  c.written = s.substr(c.begin, c.end - c.begin);
  c.number_as_written = s.substr(at, number_end - at);
  return c;
}

// The character that ends just before `end`, normalised; kNothing when none does.
char32_t CharBefore(std::string_view s, std::size_t end) {
  std::size_t start = end;
  while (start > 0 && end - start < 4) {
    --start;
    if ((static_cast<unsigned char>(s[start]) & 0xC0) != 0x80) break;
  }
  if (start == end) return kNothing;
  const Decoded d = DecodeAt(s, start);
  return d.next == end ? Normalised(d.c) : kNothing;
}

}  // namespace

int FullYear(std::string_view year) {
  if (!std::all_of(year.begin(), year.end(), [](char c) { return IsDigit(c); })) return 0;
  int value = 0;
  for (char c : year) value = value * 10 + (c - '0');
  if (year.size() == 2) return value >= 50 ? 1900 + value : 2000 + value;
  if (year.size() == 4 && value >= 1950 && value <= 2099) return value;
  return 0;
}

EditionNote FindEdition(std::string_view utf8) {
  for (Reader r(utf8, 0); r.Pos() < utf8.size(); r.Next()) {
    if (r.Peek() != '(') continue;
    Reader probe = r;
    if (std::optional<std::string> edition = ReadEdition(probe)) {
      return {std::move(*edition), r.Pos(), probe.Pos()};
    }
  }
  return {};
}

std::vector<Citation> FindCitations(std::string_view utf8) {
  std::vector<Citation> found;
  std::size_t floor = 0;  // the end of the last citation: the next one starts no earlier
  bool boundary = true;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    char32_t c = b;
    std::size_t next = i + 1;
    if (b >= 0x80) {
      const Decoded d = DecodeAt(utf8, i);
      c = Normalised(d.c);
      next = d.next;
    }
    if (boundary && IsCapital(c)) {
      if (std::optional<Citation> citation = ReadCitation(utf8, i, floor)) {
        i = floor = citation->end;
        boundary = !BlocksCode(CharBefore(utf8, i));
        found.push_back(std::move(*citation));
        continue;
      }
    }
    boundary = !BlocksCode(c);
    i = next;
  }
  return found;
}

}  // namespace kelvaro
