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
constexpr char32_t kTitleOpen = 0x300A;          // 《
constexpr char32_t kTitleClose = 0x300B;         // 》
constexpr char32_t kListComma = 0x3001;          // 、
constexpr char32_t kWaveDash = 0x301C;           // 〜
constexpr char32_t kYearSign = 0x5E74;           // 年
constexpr char32_t kMonthSign = 0x6708;          // 月
constexpr char32_t kDaySign = 0x65E5;            // 日
constexpr char32_t kEditionSign = 0x7248;        // 版
constexpr char32_t kEditionSecondSign = 0x672C;  // 本, as in 版本
constexpr char32_t kRangeWord = 0x81F3;          // 至

constexpr std::string_view kTitleCloseBytes = "\xE3\x80\x8B";
constexpr std::string_view kTitleOpenBytes = "\xE3\x80\x8A";
constexpr std::string_view kFullWidthOpenBracket = "\xEF\xBC\x88";  // （
constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
constexpr std::string_view kNoBreakSpace = "\xC2\xA0";
constexpr std::string_view kEditionWords = "\xE5\xB9\xB4\xE7\x89\x88";  // 年版
constexpr std::string_view kNoteWords =
    "\xE5\xB1\x80\xE9\x83\xA8\xE4\xBF\xAE\xE8\xAE\xA2";  // 局部修订
constexpr std::string_view kTraditionalNoteWords =
    "\xE5\xB1\x80\xE9\x83\xA8\xE4\xBF\xAE\xE8\xA8\x82";  // 局部修訂

// Long enough for any standard's title (about 100 Chinese characters); it bounds the search
// for the opening mark, so a stray 》 costs little.
constexpr std::size_t kMaxTitleBytes = 300;

// The most serials one range stands for: real ones name a handful, and a typo must not turn
// into thousands of rows.
constexpr int kMaxRange = 20;

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
bool IsSmall(char32_t c) { return c >= 'a' && c <= 'z'; }
bool IsLetter(char32_t c) { return IsCapital(c) || IsSmall(c); }
bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool IsLetterIn(char32_t c, bool small) { return small ? IsSmall(c) : IsCapital(c); }
char Upper(char32_t c) { return static_cast<char>(IsSmall(c) ? c - 'a' + 'A' : c); }
bool IsHan(char32_t c) { return (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF); }
// A code starts only on a word boundary: not against a letter, a digit or a slash.
bool BlocksCode(char32_t c) { return IsLetter(c) || IsDigit(c) || c == '/'; }
// What separates the citations of a list: 、，； and their ASCII forms.
bool IsListSeparator(char32_t c) { return c == kListComma || c == ',' || c == ';'; }

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

// A maximal run of letters of one case, as capitals; empty when it is longer than `max`.
std::string ReadLetters(Reader& r, std::size_t max, bool small) {
  std::string run;
  std::size_t count = 0;
  for (; IsLetterIn(r.Peek(), small); r.Next()) {
    if (++count <= max) run += Upper(r.Peek());
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
  std::string_view suffixes;   // the letters it may take after a slash: "GB/T", "GB/Z"
  bool yearless = false;       // a citation without a year anywhere, given three serial digits
  bool dated_only = false;     // never without a year, not even in a list
  bool dashed = false;         // its serials may hold one inner dash: "08-11"
  bool small = false;          // written in lower case: "gb/t"
  bool spaced = false;         // "/T" written as a space: counts only before a four-digit year
  char serial_letter = 0;      // a serial letter written against the code: "JTGD60"
  std::size_t max_digits = 5;  // of the serial's first group
};

std::optional<Code> LetterCode(std::string_view run, bool small) {
  struct Entry {
    std::string_view name;
    std::string_view suffixes;
    bool dashed;
  };
  // GBZ/T (occupational health), GJB/Z (military guides) and GJB/J (military construction)
  // exist as written.
  static constexpr Entry kCodes[] = {
      {"GB", "TZ", false},  {"GBJ", "", false},   {"GBZ", "T", false},  {"GJB", "ZJ", false},
      {"JJF", "", false},   {"JJG", "", false},   {"JGJ", "TZ", false}, {"CJJ", "TZ", false},
      {"JTG", "TZ", false}, {"JTS", "TZ", false}, {"JTJ", "TZ", false}, {"CECS", "TZ", false},
      {"DBJ", "T", true}};
  Code code;
  code.text = std::string(run);
  code.small = small;
  for (const Entry& e : kCodes) {
    if (e.name == run) {
      code.suffixes = e.suffixes;
      code.yearless = true;
      code.dashed = e.dashed;
      return code;
    }
  }
  if (run.size() == 2 && std::binary_search(kIndustryCodes.begin(), kIndustryCodes.end(), run)) {
    code.suffixes = "TZ";
    return code;
  }
  return std::nullopt;
}

// "/T" or "/Z" after a code, spaces allowed around the slash; "JTG/TF50" writes the serial's
// letter against it.
bool ReadSuffix(Reader& r, Code& code) {
  if (code.suffixes.empty()) return false;
  Reader probe = r;
  probe.SkipSpaces();
  if (!probe.Take('/')) return false;
  probe.SkipSpacesOrLineBreak();
  const char letter = Upper(probe.Peek());
  if (!IsLetter(probe.Peek()) || code.suffixes.find(letter) == std::string_view::npos) {
    return false;
  }
  probe.Next();
  if (IsLetter(probe.Peek())) {
    Reader serial = probe;
    const char serial_letter = Upper(serial.Peek());
    serial.Next();
    if (!IsDigit(serial.Peek())) return false;
    code.serial_letter = serial_letter;
    probe = serial;
  }
  code.text += '/';
  code.text += letter;
  r = probe;
  return true;
}

// The slash written as a space: "GB T 5080.2", "DL T5088". A letter serial may start with
// the same letter, so the caller keeps this reading only before a four-digit year.
void ReadSpacedSuffix(Reader& r, Code& code) {
  Reader probe = r;
  if (!probe.SkipSpaces() || !IsLetterIn(probe.Peek(), code.small)) return;
  const char letter = Upper(probe.Peek());
  if (code.suffixes.find(letter) == std::string_view::npos) return;
  probe.Next();
  Reader serial = probe;
  serial.SkipSpaces();
  if (!IsDigit(serial.Peek())) return;
  code.text += '/';
  code.text += letter;
  code.spaced = true;
  r = probe;
}

// After "T": "/CECS". Without a space before the serial the code ends at its last letter
// ("T/CECS102"); with one it may end in digits ("T/ABC1 23").
std::optional<Code> ReadGroupCode(Reader& r, bool small) {
  constexpr std::size_t kMaxRun = 15;
  r.SkipSpaces();
  if (!r.Take('/')) return std::nullopt;
  r.SkipSpacesOrLineBreak();
  std::string run;
  std::array<std::size_t, kMaxRun> after{};
  while (IsLetterIn(r.Peek(), small) || IsDigit(r.Peek())) {
    if (run.size() == kMaxRun) return std::nullopt;
    run += Upper(r.Peek());
    r.Next();
    after[run.size() - 1] = r.Pos();
  }
  const std::size_t last_letter = run.find_last_not_of("0123456789");
  if (last_letter == std::string::npos) return std::nullopt;
  std::size_t length = run.size();
  if (last_letter + 1 < run.size()) {
    Reader probe = r;
    const bool spaced = probe.SkipSpaces();
    if (!spaced || !(IsDigit(probe.Peek()) || IsLetterIn(probe.Peek(), small))) {
      length = last_letter + 1;
      r.Seek(after[last_letter]);
    }
  }
  if (length < 2 || length > 10) return std::nullopt;
  Code code;
  code.text = "T/" + run.substr(0, length);
  code.yearless = true;
  code.small = small;
  return code;
}

// After "Q": "/CSG", an enterprise's own standards, whose serials run longer; they are
// cited with a year or not at all.
std::optional<Code> ReadEnterpriseCode(Reader& r, bool small) {
  r.SkipSpaces();
  if (!r.Take('/')) return std::nullopt;
  r.SkipSpaces();
  const std::string run = ReadLetters(r, 10, small);
  if (run.size() < 2) return std::nullopt;
  Code code;
  code.text = "Q/" + run;
  code.dated_only = true;
  code.small = small;
  code.max_digits = 8;
  return code;
}

// After "DB" or "DBJ": the province, 11 to 82, then "/T", or the bare slash of a mandatory
// local standard ("DB11/ 687-2015"), which the canonical number always shows. A space
// after the letters ("DB 44/26-2001"), or `slash_needed`, wants the slash written.
std::optional<Code> ReadLocalCode(Reader& r, std::string_view letters, bool small,
                                  bool slash_needed) {
  Reader probe = r;
  if (probe.SkipSpaces()) slash_needed = true;
  const std::string province = ReadDigits(probe, 2);
  if (province.size() != 2) return std::nullopt;
  const int number = (province[0] - '0') * 10 + (province[1] - '0');
  if (number < 11 || number > 82) return std::nullopt;
  Code code;
  code.text = std::string(letters) + province + '/';
  code.yearless = true;
  code.small = small;
  Reader slash = probe;
  slash.SkipSpaces();
  if (slash.Take('/')) {
    // A break after the bare slash is the one before the serial.
    Reader letter = slash;
    letter.SkipSpacesOrLineBreak();
    if (ReadLetters(letter, 1, small) == "T") {
      code.text += 'T';
      probe = letter;
    } else {
      probe = slash;
    }
  } else if (slash_needed) {
    return std::nullopt;
  }
  r = probe;
  return code;
}

std::optional<Code> ReadCode(Reader& r, bool spaced_suffix) {
  const bool small = IsSmall(r.Peek());
  const std::string run = ReadLetters(r, 5, small);
  // A letter of the other case goes on the word: "Gb" is no code.
  if (run.empty() || IsLetter(r.Peek())) return std::nullopt;
  if (run == "T") return ReadGroupCode(r, small);
  if (run == "Q") return ReadEnterpriseCode(r, small);
  if (run == "DB") return ReadLocalCode(r, run, small, false);
  if (run == "DBJ") {
    // "DBJ33/T 1309-2023"; without the slash, "DBJ 15-31" is a serial with its dash.
    Reader probe = r;
    if (std::optional<Code> code = ReadLocalCode(probe, run, small, true)) {
      r = probe;
      return code;
    }
  }
  if (run == "DG") {
    r.SkipSpaces();
    if (!r.Take('/')) return std::nullopt;
    r.SkipSpacesOrLineBreak();
    if (ReadLetters(r, 2, small) != "TJ") return std::nullopt;
    Code code;
    code.text = "DG/TJ";
    code.yearless = true;
    code.dashed = true;
    code.small = small;
    return code;
  }
  if (std::optional<Code> code = LetterCode(run, small)) {
    if (!ReadSuffix(r, *code) && spaced_suffix) ReadSpacedSuffix(r, *code);
    return code;
  }
  // Written against what follows: "GBT50001" (file names cannot hold the slash) for GB/T,
  // "JTGD60" for JTG D60.
  std::optional<Code> code = LetterCode(std::string_view(run).substr(0, run.size() - 1), small);
  if (!code) return std::nullopt;
  const char last = run.back();
  if (last == 'T' && code->suffixes.find('T') != std::string_view::npos) {
    code->text += "/T";
    return code;
  }
  // Another letter the code takes after a slash is no serial's: "GJBJ5553" is neither.
  const bool suffix = last == 'Z' || code->suffixes.find(last) != std::string_view::npos;
  if (last != 'T' && !suffix && IsDigit(r.Peek())) {
    code->serial_letter = last;
    return code;
  }
  return std::nullopt;
}

struct Year {
  char separator = '-';
  std::string digits;
  bool spaced = false;  // a space stood for the dash
};

// Four digits or two. Four running into a clause number are the year: "-20065.3.1" is 2006
// and clause 5.3.1.
std::string ReadYearDigits(Reader& r) {
  std::string run;
  Reader fourth = r;
  while (IsDigit(r.Peek()) && run.size() < 7) {
    run += static_cast<char>(r.Peek());
    r.Next();
    if (run.size() == 4) fourth = r;
  }
  if (run.size() <= 4) return run;
  if (run.size() > 6 || FullYear(run.substr(0, 4)) == 0 || r.Peek() != '.') return {};
  Reader clause = r;
  clause.Next();
  if (!IsDigit(clause.Peek())) return {};
  r = fourth;
  return run.substr(0, 4);
}

// After four digits that a space set off: no digit, letter or 年月日 against them, and no
// separator with a digit after it, which would make them a date ("2014-08-27").
bool EndsAYear(Reader r) {
  const char32_t c = r.Peek();
  if (IsDigit(c) || IsLetter(c) || c == kYearSign || c == kMonthSign || c == kDaySign) {
    return false;
  }
  if (c != '-' && c != '.' && c != '/' && c != ':') return true;
  r.Next();
  return !IsDigit(r.Peek());
}

// "-2014", ":2002", " - 95"; a line may end after the separator, never before it, so a
// serial ending one line and a number starting the next stay apart. With `spaced`, a space
// may stand for the dash before four digits: "JGJ 107 2003".
std::optional<Year> ReadYear(Reader& r, bool spaced) {
  Reader probe = r;
  const bool space = probe.SkipSpaces();
  const char32_t separator = probe.Peek();
  std::string digits;
  if (separator == '-' || separator == ':') {
    probe.Next();
    probe.SkipSpacesOrLineBreak();
    digits = ReadYearDigits(probe);
  } else if (spaced && space && IsDigit(separator)) {
    digits = ReadDigits(probe, 4);
    if (digits.size() != 4 || !EndsAYear(probe)) return std::nullopt;
  }
  if (FullYear(digits) == 0) return std::nullopt;
  r = probe;
  return Year{separator == ':' ? ':' : '-', std::move(digits), IsDigit(separator)};
}

// After a year of two digits, a separator and a digit: the year was a month.
bool IsDate(Reader r) {
  const char32_t c = r.Peek();
  if (c != '-' && c != '.' && c != '/') return false;
  r.Next();
  return IsDigit(r.Peek());
}

struct Serial {
  std::string text;
  std::size_t digits = 0;
  bool dotted = false;
  bool plain = false;        // digits alone: it may open a range
  bool short_parts = false;  // one or two digits after a dash are a part, never a year
};

// A revision's letter after the serial: "GJB 151B", "JB/T 4730.3A". Not against a letter,
// a digit or a slash (two numbers glued, "GB50235GB50236"); in lower case only with a year
// after it, since units follow numbers too ("120m").
bool ReadRevisionLetter(Reader& r, const Code& code, Serial& serial) {
  const char32_t c = r.Peek();
  if (!IsLetter(c)) return false;
  Reader probe = r;
  probe.Next();
  const char32_t after = probe.Peek();
  if (IsLetter(after) || IsDigit(after) || after == '/') return false;
  if (IsSmall(c)) {
    Reader year = probe;
    if (!code.small || !ReadYear(year, false)) return false;
  }
  serial.text += Upper(c);
  r = probe;
  return true;
}

// At most two parts ("GB/T 15629.11", "GB/T 1.1"); false for more, an address ("GB 10.0.0.1").
bool ReadDottedParts(Reader& r, Serial& serial) {
  for (int parts = 0; r.Peek() == '.'; ++parts) {
    Reader probe = r;
    probe.Next();
    const std::string part = ReadDigits(probe, 5);
    if (part.empty()) break;
    if (parts == 2) return false;
    serial.text += '.' + part;
    serial.digits += part.size();
    serial.dotted = true;
    r = probe;
  }
  return true;
}

// A letter serial's part after a slash: "JTG F80/1".
void ReadSlashPart(Reader& r, Serial& serial) {
  if (r.Peek() != '/') return;
  Reader probe = r;
  probe.Next();
  const std::string part = ReadDigits(probe, 2);
  if (part.empty()) return;
  serial.text += '/' + part;
  serial.digits += part.size();
  r = probe;
}

// Whether "-" and digits after the serial are part of it; read into `serial` when they are.
bool ReadInnerDash(Reader& r, const Code& code, bool lettered, Serial& serial) {
  if (r.Peek() != '-') return false;
  Reader probe = r;
  probe.Next();
  probe.SkipLineBreak();
  const std::string part = ReadDigits(probe, 5);
  Reader after = probe;
  std::optional<Year> year = part.empty() ? std::nullopt : ReadYear(after, false);
  if (year && year->digits.size() == 2 && serial.short_parts) year.reset();
  bool inner = false;
  if (code.dashed) {
    inner = year || !(part.size() == 4 && FullYear(part) != 0);
  } else if (lettered) {
    inner = year && part.size() <= 3;
  } else {
    inner = year && year->digits.size() == 4 && part.size() <= 3;
  }
  if (!year && part.size() <= 2 && serial.short_parts) inner = true;
  if (!inner || part.empty()) return false;
  serial.text += '-' + part;
  serial.digits += part.size();
  r = probe;
  return true;
}

std::optional<Serial> ReadSerial(Reader& r, const Code& code) {
  Serial serial;
  bool lettered = code.serial_letter != 0;
  if (lettered) {
    serial.text += code.serial_letter;
  } else if (IsLetterIn(r.Peek(), code.small) && !code.text.ends_with('/')) {
    // Local serials are digits: "DB11/ T60" would read back as "DB11/T 60". A letter the
    // code takes after a slash is that slash written as a space ("DL T5088"), never a serial.
    const bool suffix = code.suffixes.find(Upper(r.Peek())) != std::string_view::npos;
    if (suffix && code.text.find('/') == std::string::npos) return std::nullopt;
    serial.text += Upper(r.Peek());
    r.Next();
    lettered = true;
  }
  const std::string digits = ReadDigits(r, code.max_digits);
  if (digits.empty()) return std::nullopt;
  serial.text += digits;
  serial.digits = digits.size();
  if (!ReadDottedParts(r, serial)) return std::nullopt;
  if (lettered) ReadSlashPart(r, serial);
  const bool revised = ReadRevisionLetter(r, code, serial);
  // An inner dash: "DG/TJ 08-11-2018", "JTG/T B07-01-2006", "JTS 144-1-2010". DBJ and DG/TJ
  // keep it without a year too, unless the group is a year itself; other codes only before
  // a year (four digits but after a letter serial), and with a group of three digits or
  // fewer, so "GB 50016-2014-2015" stays a year. A letter serial's or a JTG serial's group
  // of one or two digits is a part, never a year: "JTG/T D60-01", "JTG/T 2231-01".
  serial.short_parts = lettered || code.text.starts_with("JTG");
  const bool inner = ReadInnerDash(r, code, lettered, serial);
  serial.plain = !lettered && !serial.dotted && !revised && !inner;
  return serial;
}

struct Range {
  int first = 0;
  int last = 0;
  std::size_t width = 0;
};

// "GB 50254~50259-96": the serials from one to the other, the same width each, the year
// shared. Signs ~ ～ 〜 and 至; a dash only between groups of three digits or more, the
// second no year.
std::optional<Range> ReadRange(Reader& r, const Serial& serial) {
  if (!serial.plain) return std::nullopt;
  Reader probe = r;
  probe.SkipSpaces();
  const char32_t sign = probe.Peek();
  if (sign != '~' && sign != kWaveDash && sign != kRangeWord && sign != '-') return std::nullopt;
  probe.Next();
  probe.SkipSpaces();
  const std::string last = ReadDigits(probe, serial.digits);
  if (last.size() != serial.digits) return std::nullopt;
  if (sign == '-' && (last.size() < 3 || FullYear(last) != 0)) return std::nullopt;
  const auto value = [](const std::string& digits) {
    int v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    return v;
  };
  const Range range{value(serial.text), value(last), serial.digits};
  if (range.last <= range.first || range.last - range.first >= kMaxRange) return std::nullopt;
  r = probe;
  return range;
}

// Font and encoding names of drawings ("仿宋_GB2312"), never cited without a year.
bool IsEncodingName(const Code& code, const Serial& serial) {
  return code.text == "GB" &&
         (serial.text == "2312" || serial.text == "18030" || serial.text == "13000");
}

struct Number {
  Code code;
  Serial serial;
  std::optional<Range> range;
  std::optional<Year> year;
  bool wrapped = false;  // the code ended a line and the serial started the next
  bool glued = false;    // nothing between code and serial: "SC20"
};

// Where a number without a year counts: a number beside a 《title》 or in a list of
// citations is one for every known code; elsewhere only for the national, engineering,
// group and local codes with three serial digits (or a dotted serial: "GBZ 2.1").
enum class Undated { kNever, kBesideTitle, kInList, kAnywhere };

Undated UndatedIn(const Number& n) {
  if (n.wrapped || n.code.dated_only || n.code.spaced || IsEncodingName(n.code, n.serial)) {
    return Undated::kNever;
  }
  if (n.code.yearless && (n.serial.digits >= 3 || (n.serial.dotted && n.serial.digits >= 2))) {
    return Undated::kAnywhere;
  }
  // Conduits and transformers are listed so: "SC20、SC25", "SCB13".
  if (n.glued && !n.code.yearless) return Undated::kBesideTitle;
  return Undated::kInList;
}

std::optional<Number> ReadNumber(Reader& r, bool spaced_suffix) {
  const Reader start = r;
  std::optional<Code> code = ReadCode(r, spaced_suffix);
  if (!code) return std::nullopt;
  Number n;
  n.code = std::move(*code);
  if (n.code.serial_letter != 0) {
    n.glued = true;
  } else if (n.code.spaced) {
    r.SkipSpaces();
  } else {
    const std::size_t before = r.Pos();
    n.wrapped = r.SkipSpacesOrLineBreak();
    n.glued = r.Pos() == before && n.code.text.find('/') == std::string::npos;
  }
  std::optional<Serial> serial = ReadSerial(r, n.code);
  if (!serial) return std::nullopt;
  n.serial = std::move(*serial);
  n.range = ReadRange(r, n.serial);
  Reader after_year = r;
  if (std::optional<Year> year = ReadYear(after_year, !n.wrapped)) {
    // Two years side by side are a span of years: "MT 2015 2016"; "JTG D60 - 15" has no year.
    const bool span = year->spaced && n.serial.plain && FullYear(n.serial.text) != 0;
    if (!span && !(year->digits.size() == 2 && n.serial.short_parts)) {
      n.year = std::move(year);
      r = after_year;
    }
  }
  if (n.code.spaced && !(n.year && n.year->digits.size() == 4)) {
    r = start;
    return ReadNumber(r, false);
  }
  // A code before a date: "GB 2014-08-27".
  if (n.year && n.year->digits.size() == 2 && IsDate(r)) return std::nullopt;
  return n;
}

// A bare serial and year after a citation and a list separator take its code:
// "GB 50016-2014、50017-2017". The year has four digits and the serial is none itself, so
// "2014、2016-2018年" stays a span of years.
std::optional<Number> ReadCarriedNumber(Reader& r, const Code& code) {
  Number n;
  n.code = code;
  n.code.serial_letter = 0;
  n.code.spaced = false;
  std::optional<Serial> serial = ReadSerial(r, n.code);
  if (!serial || (serial->plain && FullYear(serial->text) != 0)) return std::nullopt;
  n.serial = std::move(*serial);
  n.range = ReadRange(r, n.serial);
  n.year = ReadYear(r, false);
  if (!n.year || n.year->digits.size() != 4) return std::nullopt;
  if (r.Peek() == kYearSign || r.Peek() == kMonthSign) return std::nullopt;
  return n;
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

// "局部修订", also as traditional text writes it.
bool TakeNoteWords(Reader& r) {
  return r.TakeBytes(kNoteWords) || r.TakeBytes(kTraditionalNoteWords);
}

struct Edition {
  std::string text;
  bool note = false;  // "（2018年局部修订版）"
};

// "（2018年版）", "(2015年版)", "(2018版)", "(2018 版本)", "(2015)", all as "2018年版";
// "（2018年局部修订版）" is that edition with the note.
std::optional<Edition> ReadEdition(Reader& r) {
  Reader probe = r;
  probe.SkipSpaces();
  if (!probe.Take('(')) return std::nullopt;
  probe.SkipSpaces();
  const std::string year = ReadDigits(probe, 4);
  if (year.size() != 4 || FullYear(year) == 0) return std::nullopt;
  probe.SkipSpaces();
  probe.Take(kYearSign);
  const bool note = TakeNoteWords(probe);
  if (probe.Take(kEditionSign)) probe.Take(kEditionSecondSign);
  probe.SkipSpaces();
  if (!probe.Take(')')) return std::nullopt;
  r = probe;
  return Edition{year + std::string(kEditionWords), note};
}

bool ReadNote(Reader& r) {
  Reader probe = r;
  probe.SkipSpaces();
  if (!TakeNoteWords(probe)) return false;
  r = probe;
  return true;
}

// One line of valid text, neither empty nor holding a title mark.
bool IsTitleText(std::string_view text) {
  if (text.empty()) return false;
  for (Reader r(text, 0); r.Pos() < text.size(); r.Next()) {
    const char32_t c = r.Peek();
    if (c == kNothing || c < 0x20 || c == 0x7F || c == kTitleOpen || c == kTitleClose) return false;
  }
  return true;
}

struct Title {
  std::size_t open = 0;       // the opening mark
  std::size_t close_end = 0;  // just past the closing mark
  std::string_view text;
};

// The title text from `from` to the closing mark, on one line.
std::optional<Title> TitleFrom(std::string_view s, std::size_t open, std::size_t from) {
  const std::size_t close =
      s.substr(from, kMaxTitleBytes + kTitleCloseBytes.size()).find(kTitleCloseBytes);
  if (close == std::string_view::npos) return std::nullopt;
  const std::string_view text = s.substr(from, close);
  if (!IsTitleText(text)) return std::nullopt;
  return Title{open, from + close + kTitleCloseBytes.size(), text};
}

std::optional<Title> ReadTitleAfter(Reader& r, std::string_view s) {
  Reader probe = r;
  probe.SkipSpaces();
  const std::size_t open = probe.Pos();
  if (!probe.Take(kTitleOpen)) return std::nullopt;
  std::optional<Title> title = TitleFrom(s, open, probe.Pos());
  if (title) r.Seek(title->close_end);
  return title;
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

// A title ending just before the number, spaces allowed between, or ending the line before;
// `bracketed` when the number stands in brackets after it: "《建筑设计防火规范》（GB 50016-2014）".
// Read backwards on bytes: every mark looked for starts with a lead byte, so it is a whole
// character.
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
  if (!EndsWithAt(s, floor, k, kTitleCloseBytes) && EndsWithAt(s, floor, k, "\n")) {
    k -= 1;
    if (EndsWithAt(s, floor, k, "\r")) k -= 1;
    k = SkipSpacesBack(s, floor, k);
  }
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

// A number that opens the title's marks, the title after it: "《GJB 151A-1997军用设备…要求》".
std::optional<Title> ReadTitleAround(std::string_view s, std::size_t floor, std::size_t number,
                                     Reader r) {
  const std::size_t open = SkipSpacesBack(s, floor, number);
  if (!EndsWithAt(s, floor, open, kTitleOpenBytes)) return std::nullopt;
  r.SkipSpaces();
  if (!IsHan(r.Peek())) return std::nullopt;
  return TitleFrom(s, open - kTitleOpenBytes.size(), r.Pos());
}

// The last citation, a list separator, then `to`.
bool ListSeparatorBetween(std::string_view s, std::size_t from, std::size_t to) {
  constexpr std::size_t kNear = 32;
  if (to < from || to - from > kNear) return false;
  Reader r(s, from);
  r.SkipSpaces();
  if (!IsListSeparator(r.Peek())) return false;
  r.Next();
  r.SkipSpaces();
  return r.Pos() == to;
}

// A list separator, perhaps a title, and a number that a list would count: "JTG B01、JTG/T
// F50". It looks no further, so a long list costs each number two readings.
bool NextInList(std::string_view s, std::size_t pos) {
  Reader r(s, pos);
  r.SkipSpaces();
  if (!IsListSeparator(r.Peek())) return false;
  r.Next();
  r.SkipSpaces();
  if (r.Peek() == kTitleOpen) {
    if (!ReadTitleAfter(r, s)) return false;
    r.SkipSpaces();
  }
  if (!IsLetter(r.Peek())) return false;
  const std::optional<Number> next = ReadNumber(r, true);
  return next && (next->year || UndatedIn(*next) >= Undated::kInList);
}

struct Found {
  Citation citation;
  Code code;
  std::optional<Range> range;
  char separator = '-';
};

// `in_list`: the last citation and a list separator stand just before; `carried`: the code
// a bare serial there takes.
std::optional<Found> ReadCitation(std::string_view s, std::size_t at, std::size_t floor,
                                  bool in_list, const Code* carried) {
  Reader r(s, at);
  std::optional<Number> number = carried ? ReadCarriedNumber(r, *carried) : ReadNumber(r, true);
  if (!number) return std::nullopt;

  Citation c;
  c.code = number->code.text;
  c.serial = number->serial.text;
  c.number = c.code + ' ' + c.serial;
  if (number->year) {
    c.year = number->year->digits;
    c.full_year = FullYear(c.year);
    c.number += number->year->separator + c.year;
  }
  if (std::optional<std::string> amendment = ReadAmendment(r)) c.amendment = std::move(*amendment);
  if (std::optional<Edition> edition = ReadEdition(r)) {
    c.edition = std::move(edition->text);
    if (edition->note) c.note = kNoteWords;
  }
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
  } else if ((title = ReadTitleAround(s, floor, at, r))) {
    c.begin = title->open;
    c.end = title->close_end;
  } else if ((title = ReadTitleAfter(r, s))) {
    c.end = title->close_end;
  } else {
    c.end = r.Pos();
  }
  if (!number->year) {
    const Undated undated = UndatedIn(*number);
    if (undated == Undated::kNever || (undated == Undated::kBesideTitle && !title) ||
        (undated == Undated::kInList && !title && !in_list && !NextInList(s, r.Pos()))) {
      return std::nullopt;
    }
  }
  if (title) c.title = title->text;
  c.written = s.substr(c.begin, c.end - c.begin);
  c.number_as_written = s.substr(at, number_end - at);
  const char separator = number->year ? number->year->separator : '-';
  return Found{std::move(c), std::move(number->code), number->range, separator};
}

// One citation, or one per serial of a range, all with the range's place and text.
void Append(std::vector<Citation>& found, Found& read) {
  if (!read.range) {
    found.push_back(std::move(read.citation));
    return;
  }
  const Range& range = *read.range;
  for (int value = range.first; value <= range.last; ++value) {
    Citation c = read.citation;
    c.serial = std::to_string(value);
    if (c.serial.size() < range.width) c.serial.insert(0, range.width - c.serial.size(), '0');
    c.number = c.code + ' ' + c.serial;
    if (!c.year.empty()) c.number += read.separator + c.year;
    found.push_back(std::move(c));
  }
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
    if (std::optional<Edition> edition = ReadEdition(probe)) {
      return {std::move(edition->text), r.Pos(), probe.Pos()};
    }
  }
  return {};
}

std::vector<Citation> FindCitations(std::string_view utf8) {
  std::vector<Citation> found;
  std::size_t floor = 0;     // the end of the last citation: the next one starts no earlier
  std::optional<Code> last;  // the last citation's code, which a bare serial after it takes
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
    if (boundary && (IsLetter(c) || (last && IsDigit(c)))) {
      const bool in_list = last && ListSeparatorBetween(utf8, floor, i);
      std::optional<Found> read;
      if (IsLetter(c)) {
        read = ReadCitation(utf8, i, floor, in_list, nullptr);
      } else if (in_list) {
        read = ReadCitation(utf8, i, floor, true, &*last);
      }
      if (read) {
        // Whatever ends a citation, the next may follow at once: "GB50235GB50236".
        i = floor = read->citation.end;
        boundary = true;
        last = read->code;
        Append(found, *read);
        continue;
      }
    }
    boundary = !BlocksCode(c);
    i = next;
  }
  return found;
}

}  // namespace kelvaro
