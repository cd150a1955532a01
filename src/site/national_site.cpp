#include "site/national_site.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace kelvaro {

// <td ><font color="#000000">现行</font></td>
const Text kCurrentCell =
    "<td ><font color=\"#000000\">"
    "\xCF\xD6\xD0\xD0"
    "</font></td>";

namespace {

const std::string_view kRowStart = "<tr bgcolor=";
const std::string_view kBgcolor = "bgcolor";
const std::string_view kNumberMarker = "\xB1\xE0\xBA\xC5\xA3\xBA";  // 编号：
const std::string_view kTitleMarker = "\xB1\xEA\xCC\xE2\xA3\xBA";   // 标题：
const std::string_view kReleaseDateMarker =
    "\xB7\xA2\xB2\xBC\xC8\xD5\xC6\xDA\xA3\xBA";  // 发布日期：
const std::string_view kDepartmentMarker =
    "\xB7\xA2\xB2\xBC\xB2\xBF\xC3\xC5\xA3\xBA";  // 发布部门：
const std::string_view kEffectiveDateMarker =
    "\xCA\xB5\xCA\xA9\xC8\xD5\xC6\xDA\xA3\xBA";  // 实施日期：
const std::string_view kFieldEnd = "&";
const std::string_view kNoHitWords = "\xC3\xBB\xD3\xD0\xD5\xD2\xB5\xBD";    // 没有找到
const std::string_view kRefusedWords = "\xCE\xDE\xC8\xA8\xB7\xC3\xCE\xCA";  // 无权访问
// 条符合状态条件的标准，共 (after 共有N), then M and 页.
const std::string_view kPageCountMarker =
    "\xCC\xF5\xB7\xFB\xBA\xCF\xD7\xB4\xCC\xAC\xCC\xF5\xBC\xFE\xB5\xC4\xB1\xEA"
    "\xD7\xBC\xA3\xAC\xB9\xB2";
const std::string_view kPagesWord = "\xD2\xB3";  // 页
constexpr long long kMostPages = 1000000;
constexpr std::size_t kLongestTitle = 120;
// The status cell: kCurrentCell with any colour and any word.
const std::string_view kStatusCellOpen = "<td ><font color=\"";
const std::string_view kStatusCellClose = "</font></td>";

struct StandingWord {
  std::string_view word;
  Standing standing;
};
constexpr StandingWord kStandingWords[] = {
    {"\xCF\xD6\xD0\xD0", Standing::kCurrent},                 // 现行
    {"\xB7\xCF\xD6\xB9", Standing::kWithdrawn},               // 废止
    {"\xD7\xF7\xB7\xCF", Standing::kWithdrawn},               // 作废
    {"\xBC\xB4\xBD\xAB\xCA\xB5\xCA\xA9", Standing::kComing},  // 即将实施
};

constexpr std::size_t kNone = std::string_view::npos;

std::size_t NextChar(std::string_view text, std::size_t i) {
  return i + (static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1);
}

bool MatchAt(std::string_view text, std::size_t i, std::string_view pattern, std::size_t end) {
  return i + pattern.size() <= end && text[i] == pattern[0] &&
         text.compare(i, pattern.size(), pattern) == 0;
}

// First occurrence at a character start in [from, end), wholly inside the range; `from`
// must itself be a character start.
std::size_t FindIn(std::string_view text, std::string_view pattern, std::size_t from,
                   std::size_t end) {
  for (std::size_t i = from; i < end; i = NextChar(text, i)) {
    if (MatchAt(text, i, pattern, end)) return i;
  }
  return kNone;
}

// The bytes between the first `marker` in [from, end) and the first "&" after it.
Text FieldIn(std::string_view text, std::string_view marker, std::size_t from, std::size_t end) {
  const std::size_t p = FindIn(text, marker, from, end);
  if (p == kNone) return Text();
  const std::size_t e = p + marker.size();
  const std::size_t q = FindIn(text, kFieldEnd, e, end);
  if (q == kNone) return Text();
  return Text(text.substr(e, q - e));
}

bool IsAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsFullWidthSpace(std::string_view text, std::size_t i) {
  return i + 1 < text.size() && text[i] == '\xA1' && text[i + 1] == '\xA1';
}

// Runs of white space made one space, then spaces (full-width ones too) dropped at both ends:
// a field as the site means it, whatever its markup's layout.
Text Tidy(std::string_view text) {
  Text out;
  out.reserve(text.size());
  bool space = false;
  for (std::size_t i = 0; i < text.size();) {
    if (IsAsciiSpace(text[i])) {
      space = true;
      ++i;
      continue;
    }
    if (space && !out.empty()) out += ' ';
    space = false;
    const std::size_t next = std::min(NextChar(text, i), text.size());
    out.append(text.substr(i, next - i));
    i = next;
  }
  std::string_view kept = out;
  for (;;) {
    if (!kept.empty() && kept.front() == ' ') {
      kept.remove_prefix(1);
    } else if (IsFullWidthSpace(kept, 0)) {
      kept.remove_prefix(2);
    } else {
      break;
    }
  }
  // From the end only whole characters: a trailing "\xA1\xA1" must start at a character.
  std::size_t end = 0;
  std::size_t i = 0;
  while (i < kept.size()) {
    const bool blank = kept[i] == ' ' || IsFullWidthSpace(kept, i);
    i = std::min(NextChar(kept, i), kept.size());
    if (!blank) end = i;
  }
  return Text(kept.substr(0, end));
}

bool StartsWithAt(std::string_view text, std::size_t i, std::string_view start) {
  return text.substr(i, start.size()) == start;
}

// The few references a cell's text uses: the markup's own characters, spaces, and characters
// by their ASCII code. Anything else stays as written.
Text DecodeReferences(std::string_view text) {
  struct Named {
    std::string_view name;
    std::string_view text;
  };
  static constexpr Named kNamed[] = {{"&amp;", "&"},   {"&lt;", "<"},   {"&gt;", ">"},
                                     {"&quot;", "\""}, {"&apos;", "'"}, {"&nbsp;", " "}};
  Text out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] != '&') {
      const std::size_t next = std::min(NextChar(text, i), text.size());
      out.append(text.substr(i, next - i));
      i = next;
      continue;
    }
    bool done = false;
    for (const Named& named : kNamed) {
      if (StartsWithAt(text, i, named.name)) {
        out.append(named.text);
        i += named.name.size();
        done = true;
        break;
      }
    }
    if (!done && StartsWithAt(text, i, "&#")) {
      std::size_t j = i + 2;
      const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
      if (hex) ++j;
      unsigned value = 0;
      std::size_t digits = 0;
      for (; j < text.size() && digits < 7; ++j, ++digits) {
        const char c = text[j];
        int d = -1;
        if (c >= '0' && c <= '9') d = c - '0';
        if (hex && c >= 'a' && c <= 'f') d = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') d = c - 'A' + 10;
        if (d < 0) break;
        value = value * (hex ? 16 : 10) + static_cast<unsigned>(d);
      }
      if (digits > 0 && j < text.size() && text[j] == ';') {
        if (value == 0xA0 || (value > 0 && value < 0x20)) {
          out += ' ';
          done = true;
        } else if (value >= 0x20 && value < 0x7F) {
          out += static_cast<char>(value);
          done = true;
        } else if (value == 0x3000) {
          out += "\xA1\xA1";
          done = true;
        }
        if (done) i = j + 1;
      }
    }
    if (!done) {
      out += '&';
      ++i;
    }
  }
  return out;
}

// A cell of a result row: from its "<td" to its "</td>", the next cell or the row's end.
struct Cell {
  std::size_t begin = 0;
  Text text;       // what it shows, tags dropped (raw: references not read, not tidied)
  Text link_text;  // what its first link shows (raw)
  Text href;       // its first link's href as written
  bool has_link = false;
};

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// `text` is `lower` in any case of its ASCII letters.
bool SameLetters(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c =
        text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != lower[i]) return false;
  }
  return true;
}

// The value of attribute `name` (lower case) in a tag's bytes, as written; empty without one.
Text AttributeValue(std::string_view tag, std::string_view name) {
  for (std::size_t i = 0; i + name.size() < tag.size(); ++i) {
    const char before = i == 0 ? ' ' : tag[i - 1];
    if (!IsAsciiSpace(before)) continue;
    if (!SameLetters(tag.substr(i, name.size()), name)) continue;
    std::size_t j = i + name.size();
    while (j < tag.size() && IsAsciiSpace(tag[j])) ++j;
    if (j >= tag.size() || tag[j] != '=') continue;
    ++j;
    while (j < tag.size() && IsAsciiSpace(tag[j])) ++j;
    if (j >= tag.size()) return Text();
    if (tag[j] == '"' || tag[j] == '\'') {
      const std::size_t close = tag.find(tag[j], j + 1);
      return Text(
          tag.substr(j + 1, (close == std::string_view::npos ? tag.size() : close) - j - 1));
    }
    std::size_t e = j;
    while (e < tag.size() && !IsAsciiSpace(tag[e]) && tag[e] != '>') ++e;
    return Text(tag.substr(j, e - j));
  }
  return Text();
}

// Where the tag whose attributes start at `i` ends: just after its ">" (quoted values kept
// whole), or `end`. `in_value` says `i` follows an "=", so a quote there opens a value.
std::size_t TagEnd(std::string_view text, std::size_t i, std::size_t end, bool in_value) {
  bool after_equals = in_value;
  while (i < end) {
    const char c = text[i];
    if (c == '>') return i + 1;
    if (after_equals && (c == '"' || c == '\'')) {
      std::size_t close = i + 1;
      while (close < end && text[close] != c) close = NextChar(text, close);
      if (close >= end) return end;
      i = close + 1;
      after_equals = false;
      continue;
    }
    if (c == '=') {
      after_equals = true;
    } else if (!IsAsciiSpace(c)) {
      after_equals = false;
    }
    i = NextChar(text, i);
  }
  return end;
}

// The tag's name in lower case with its "/" ("td", "/td", "a"); at most a few letters.
std::string TagName(std::string_view tag) {
  std::string name;
  std::size_t i = 0;
  if (i < tag.size() && tag[i] == '/') name += tag[i++];
  for (; i < tag.size() && IsNameChar(tag[i]) && name.size() < 8; ++i) {
    name += static_cast<char>(tag[i] >= 'A' && tag[i] <= 'Z' ? tag[i] - 'A' + 'a' : tag[i]);
  }
  return name;
}

// The cells of the row whose "<tr bgcolor=" ends at `from`, in one pass over [from, end):
// tags are stepped over whole, the text between them goes to the open cell (and its first
// link). The row's cells end at "</tr>", "</table>" or another "<tr".
std::vector<Cell> ReadCells(std::string_view text, std::size_t from, std::size_t end) {
  std::vector<Cell> cells;
  bool open = false;
  bool in_link = false;
  std::size_t i = TagEnd(text, from, end, true);
  while (i < end) {
    if (text[i] != '<') {
      std::size_t run = i;
      while (run < end && text[run] != '<') run = NextChar(text, run);
      run = std::min(run, end);
      if (open) {
        cells.back().text.append(text.substr(i, run - i));
        if (in_link) cells.back().link_text.append(text.substr(i, run - i));
      }
      i = run;
      continue;
    }
    const std::size_t close = TagEnd(text, i + 1, end, false);
    const std::string_view tag = text.substr(i + 1, close - i - 1);
    const std::string name = TagName(tag);
    if (name == "td" || name == "th") {
      cells.emplace_back().begin = i;
      open = true;
      in_link = false;
    } else if (name == "/td" || name == "/th") {
      open = false;
      in_link = false;
    } else if (name == "tr" || name == "/tr" || name == "table" || name == "/table") {
      break;
    } else if (name == "a" && open && !cells.back().has_link) {
      cells.back().has_link = true;
      cells.back().href = AttributeValue(tag, "href");
      in_link = true;
    } else if (name == "/a") {
      in_link = false;
    } else if (open && (name == "br" || name == "p" || name == "div")) {
      cells.back().text += ' ';
    }
    i = close;
  }
  return cells;
}

// A cell's text as a field: references read, white space tidied.
Text CellField(const Text& raw) { return Tidy(DecodeReferences(raw)); }

bool HasDigit(const Text& text) {
  for (const char c : text) {
    if (c >= '0' && c <= '9') return true;
  }
  return false;
}

// The same, ended by the first "&" or the quote that ends the attribute: a row's last field
// runs up to the attribute's end.
Text AttributeField(std::string_view text, std::string_view marker, std::size_t from,
                    std::size_t end) {
  const std::size_t p = FindIn(text, marker, from, end);
  if (p == kNone) return Text();
  const std::size_t e = p + marker.size();
  std::size_t q = e;
  while (q < end && text[q] != '&' && text[q] != '"') q = NextChar(text, q);
  if (q >= end) return Text();
  return Text(text.substr(e, q - e));
}

// Bytes that would end or split the query: "#" starts a fragment, "&" and "=" make
// parameters, "+" reads as a space and "%" as an escape. None is a GBK trail byte.
Text EscapeKeyword(const Text& keyword) {
  Text out;
  out.reserve(keyword.size());
  for (const char c : keyword) {
    switch (c) {
      case '#':
        out += "%23";
        break;
      case '%':
        out += "%25";
        break;
      case '&':
        out += "%26";
        break;
      case '+':
        out += "%2B";
        break;
      case '=':
        out += "%3D";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool StartsWith(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

// A link as the page writes it made an address: "&amp;" is "&"; a path is on the site's
// prefix; only http and https leave the site's prefix. Anything with bytes that end or split
// a request line, or another scheme (javascript:, file:), is no address.
Text DetailAddressOn(const Text& prefix, const Text& detail) {
  std::string_view link = detail;
  while (!link.empty() && (link.front() == ' ' || link.front() == '\t')) link.remove_prefix(1);
  while (!link.empty() && (link.back() == ' ' || link.back() == '\t')) link.remove_suffix(1);
  Text href;
  for (std::size_t i = 0; i < link.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(link[i]);
    if (c < 0x20 || c == 0x7F) return Text();
    if (c == '&' && link.substr(i, 5) == "&amp;") i += 4;
    href += static_cast<char>(c);
  }
  if (href.empty()) return Text();
  if (StartsWith(href, "http://") || StartsWith(href, "https://")) return href;
  if (StartsWith(href, "//")) {
    const std::size_t colon = prefix.find("://");
    return colon == Text::npos ? Text() : prefix.substr(0, colon + 1) + href;
  }
  const std::size_t colon = href.find(':');
  if (colon != Text::npos && href.find_first_of("/?#") > colon) return Text();
  return href.front() == '/' ? prefix + href : prefix + "/" + href;
}

Standing StandingOf(std::string_view word) {
  for (const StandingWord& known : kStandingWords) {
    if (word == known.word) return known.standing;
  }
  return Standing::kOther;
}

struct StatusCell {
  std::size_t begin = kNone;
  std::string_view word;
};

// The first well-formed status cell in [from, end). Every attempt stops at the first '<' or
// '"' it meets, where the next one starts, so the search stays linear.
StatusCell FindStatusCell(std::string_view text, std::size_t from, std::size_t end) {
  std::size_t open = FindIn(text, kStatusCellOpen, from, end);
  while (open != kNone) {
    std::size_t i = open + kStatusCellOpen.size();
    while (i < end && text[i] != '"' && text[i] != '<') i = NextChar(text, i);
    std::size_t resume = i;
    if (i + 1 < end && text[i] == '"' && text[i + 1] == '>') {
      const std::size_t word = i + 2;
      std::size_t j = word;
      while (j < end && text[j] != '<') j = NextChar(text, j);
      if (MatchAt(text, j, kStatusCellClose, end)) return {open, text.substr(word, j - word)};
      resume = j;
    }
    open = resume < end ? FindIn(text, kStatusCellOpen, resume, end) : kNone;
  }
  return {};
}

// The row as the site wrote it before: its fields in a title attribute, before its first
// status cell, which gives the status.
ListedStandard ReadAttributeRow(std::string_view text, std::size_t row, std::size_t end) {
  ListedStandard listed;
  const StatusCell cell = FindStatusCell(text, row, end);
  const std::size_t fields_end = cell.begin == kNone ? end : cell.begin;
  listed.number = Tidy(AttributeField(text, kNumberMarker, row, fields_end));
  listed.title = Tidy(AttributeField(text, kTitleMarker, row, fields_end));
  listed.release_date = Tidy(AttributeField(text, kReleaseDateMarker, row, fields_end));
  listed.department = Tidy(AttributeField(text, kDepartmentMarker, row, fields_end));
  listed.effective_date = Tidy(AttributeField(text, kEffectiveDateMarker, row, fields_end));
  listed.status = Tidy(cell.word);
  listed.standing = StandingOf(listed.status);
  return listed;
}

// The date a row's title attribute gives for coming into force: "实施日期：", or the second
// "发布日期：" (the site writes that label twice).
Text AttributeEffectiveDate(std::string_view text, std::size_t from, std::size_t end) {
  Text date = AttributeField(text, kEffectiveDateMarker, from, end);
  if (!date.empty()) return date;
  const std::size_t first = FindIn(text, kReleaseDateMarker, from, end);
  if (first == kNone) return Text();
  return AttributeField(text, kReleaseDateMarker, first + kReleaseDateMarker.size(), end);
}

// The row by its cells: number (its link), title, department, 实施日期, status. The status
// cell is the first after the title whose text is a status word, else the fifth; the title
// cell has the status cell's shape, so its place, not its shape, tells it. A field the cells
// leave empty comes from the row's title attribute.
ListedStandard ReadCellRow(std::string_view text, std::size_t row, std::size_t end,
                           const std::vector<Cell>& cells) {
  std::vector<Text> shown;
  shown.reserve(cells.size());
  for (const Cell& cell : cells) shown.push_back(CellField(cell.text));
  std::size_t status = kNone;
  for (std::size_t i = 2; i < shown.size() && status == kNone; ++i) {
    if (StandingOf(shown[i]) != Standing::kOther) status = i;
  }
  if (status == kNone && shown.size() >= 5) status = 4;
  const std::size_t before_status = status == kNone ? shown.size() : status;
  const auto shown_at = [&](std::size_t i) { return i < before_status ? shown[i] : Text(); };

  ListedStandard listed;
  const Cell& first = cells.front();
  if (first.has_link) {
    listed.number = CellField(first.link_text);
    listed.detail = Tidy(first.href);
  } else if (HasDigit(shown[0])) {
    listed.number = shown[0];
  }
  listed.title = shown_at(1);
  listed.department = shown_at(2);
  listed.effective_date = shown_at(3);
  if (status != kNone) {
    listed.status = shown[status];
    listed.standing = StandingOf(listed.status);
  }
  const std::size_t fields_end = status == kNone ? end : cells[status].begin;
  const auto fallback = [&](Text& field, std::string_view marker) {
    if (field.empty()) field = Tidy(AttributeField(text, marker, row, fields_end));
  };
  fallback(listed.number, kNumberMarker);
  fallback(listed.title, kTitleMarker);
  fallback(listed.department, kDepartmentMarker);
  listed.release_date = Tidy(AttributeField(text, kReleaseDateMarker, row, fields_end));
  if (listed.effective_date.empty()) {
    listed.effective_date = Tidy(AttributeEffectiveDate(text, row, fields_end));
  }
  return listed;
}

// A row read as the site writes it: by its cells when its first cell holds the link (or it
// has the five cells), else as the former pages wrote it.
ListedStandard ReadRow(std::string_view text, std::size_t row, std::size_t end) {
  const std::vector<Cell> cells = ReadCells(text, row, end);
  // Five cells that write out their field names ("编号：…") are the former fields, not cells.
  const bool labelled = std::any_of(cells.begin(), cells.end(), [](const Cell& cell) {
    return FindIn(cell.text, kNumberMarker, 0, cell.text.size()) != kNone;
  });
  if (!cells.empty() && (cells.front().has_link || (cells.size() >= 5 && !labelled))) {
    return ReadCellRow(text, row, end, cells);
  }
  ListedStandard listed = ReadAttributeRow(text, row, end);
  for (const Cell& cell : cells) {
    if (!cell.has_link) continue;
    listed.detail = Tidy(cell.href);
    break;
  }
  return listed;
}

// "共有N条符合状态条件的标准，共M页": M, or 0 when the page does not say.
int PageCountOf(std::string_view text) {
  const std::size_t at = FindIn(text, kPageCountMarker, 0, text.size());
  if (at == kNone) return 0;
  std::size_t i = at + kPageCountMarker.size();
  while (i < text.size() && text[i] == ' ') ++i;
  long long count = 0;
  std::size_t digits = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
    count = std::min<long long>(count * 10 + (text[i] - '0'), kMostPages);
  }
  while (i < text.size() && text[i] == ' ') ++i;
  if (digits == 0 || !MatchAt(text, i, kPagesWord, text.size())) return 0;
  return static_cast<int>(std::max<long long>(count, 1));
}

// The page's <title> as it shows, cut to a line's length at a character's end.
Text PageTitleOf(std::string_view text) {
  std::size_t open = FindIn(text, "<title", 0, text.size());
  if (open == kNone) open = FindIn(text, "<TITLE", 0, text.size());
  if (open == kNone) return Text();
  const std::size_t begin = TagEnd(text, open + 1, text.size(), false);
  std::size_t end = begin;
  while (end < text.size() && text[end] != '<') end = NextChar(text, end);
  Text title = Tidy(DecodeReferences(text.substr(begin, std::min(end, text.size()) - begin)));
  std::size_t cut = 0;
  while (cut < title.size()) {
    const std::size_t next = NextChar(title, cut);
    if (next > kLongestTitle) break;
    cut = next;
  }
  title.resize(std::min(cut, title.size()));
  return title;
}

PageRecords ReadWholePage(const Text& body_text) {
  const std::string_view text = body_text;
  PageRecords page;
  page.listed = ReadResultRows(body_text);
  // The first current row as its cells give it; a page without rows as the current cell
  // alone says.
  const auto current =
      std::find_if(page.listed.begin(), page.listed.end(),
                   [](const ListedStandard& row) { return row.standing == Standing::kCurrent; });
  if (current != page.listed.end()) {
    page.record = {current->number, current->title, current->release_date, current->department,
                   kRecordCurrent};
  } else if (page.listed.empty()) {
    page.record = ParseResultPage(body_text);
    page.record.number = Tidy(page.record.number);
    page.record.title = Tidy(page.record.title);
    page.record.release_date = Tidy(page.record.release_date);
    page.record.department = Tidy(page.record.department);
  } else {
    page.record.status = kRecordNotFound;
  }
  const int pages = PageCountOf(text);
  page.page_count = std::max(pages, 1);
  // Rows make a result page whatever else it says; a refusal or "nothing found" holds none.
  if (!page.listed.empty() || page.record.status == kRecordCurrent) {
    page.kind = PageKind::kResults;
  } else if (FindIn(text, kRefusedWords, 0, text.size()) != kNone) {
    page.kind = PageKind::kRefused;
  } else if (FindIn(text, kNoHitWords, 0, text.size()) != kNone) {
    page.kind = PageKind::kNoHit;
  } else if (pages > 0) {
    page.kind = PageKind::kResults;
  } else {
    page.kind = PageKind::kUnrecognised;
    page.page_title = PageTitleOf(text);
  }
  return page;
}

CurrentStandardRecord FoundRecord() {
  CurrentStandardRecord record;
  record.status = kRecordCurrent;
  return record;
}

class National final : public SitePages {
 public:
  Text SearchAddress(const Text& prefix, const Text& keyword, int page) const override {
    return prefix + "/s.jsp?keyword=" + EscapeKeyword(keyword) +
           "&pageNum=" + std::to_string(std::max(page, 1));
  }
  PageRecords ReadPage(const Text& body_text) const override { return ReadWholePage(body_text); }
  Text DetailAddress(const Text& prefix, const Text& detail) const override {
    return DetailAddressOn(prefix, detail);
  }
};

}  // namespace

const SitePages& NationalSitePages() {
  static const National pages;
  return pages;
}

// The page's first current cell and the row it belongs to, found in linear time.
// Cutting the row between the first "<tr bgcolor=" and the next current cell, then
// dropping everything up to each further "<tr bgcolor=" while "bgcolor" remains, leaves
// the part after the last "<tr bgcolor=" before that cell; should that part still hold
// "bgcolor", or either marker be missing, the row is the current cell alone. Neither
// "<tr bgcolor=", "bgcolor", a field marker nor "&" can overlap the current cell, so the
// fields lie wholly before it.
CurrentStandardRecord ParseResultPage(const Text& body_text) {
  const std::string_view text = body_text;
  const std::size_t n = text.size();
  if (FindIn(text, kCurrentCell, 0, n) == kNone) {
    CurrentStandardRecord record;
    record.status = kRecordNotFound;
    return record;
  }
  const std::size_t first_row = FindIn(text, kRowStart, 0, n);
  if (first_row == kNone) return FoundRecord();
  const std::size_t cell = FindIn(text, kCurrentCell, first_row + kRowStart.size(), n);
  if (cell == kNone) return FoundRecord();

  std::size_t last_row = first_row;
  std::size_t last_bgcolor = kNone;
  for (std::size_t i = first_row; i < cell; i = NextChar(text, i)) {
    if (text[i] == '<' && MatchAt(text, i, kRowStart, cell)) {
      last_row = i;
    } else if (text[i] == 'b' && MatchAt(text, i, kBgcolor, cell)) {
      last_bgcolor = i;
    }
  }
  const std::size_t row = last_row + kRowStart.size();
  if (last_bgcolor != kNone && last_bgcolor >= row) return FoundRecord();

  CurrentStandardRecord record = FoundRecord();
  record.number = FieldIn(text, kNumberMarker, row, cell);
  record.title = FieldIn(text, kTitleMarker, row, cell);
  record.release_date = FieldIn(text, kReleaseDateMarker, row, cell);
  record.department = FieldIn(text, kDepartmentMarker, row, cell);
  return record;
}

std::vector<ListedStandard> ReadResultRows(const Text& body_text) {
  const std::string_view text = body_text;
  const std::size_t n = text.size();
  std::vector<ListedStandard> rows;
  std::size_t row = FindIn(text, kRowStart, 0, n);
  while (row != kNone) {
    const std::size_t start = row + kRowStart.size();
    const std::size_t next = FindIn(text, kRowStart, start, n);
    ListedStandard listed = ReadRow(text, start, next == kNone ? n : next);
    // The header row (标准编号 … 状态) or a spacer: no number and no status word.
    if (!listed.number.empty() || listed.standing != Standing::kOther) {
      rows.push_back(std::move(listed));
    }
    row = next;
  }
  return rows;
}

}  // namespace kelvaro
