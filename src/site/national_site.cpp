#include "site/national_site.h"

#include <string_view>
#include <vector>

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

ListedStandard ReadRow(std::string_view text, std::size_t row, std::size_t end) {
  ListedStandard listed;
  const StatusCell cell = FindStatusCell(text, row, end);
  const std::size_t fields_end = cell.begin == kNone ? end : cell.begin;
  listed.number = FieldIn(text, kNumberMarker, row, fields_end);
  listed.title = FieldIn(text, kTitleMarker, row, fields_end);
  listed.release_date = FieldIn(text, kReleaseDateMarker, row, fields_end);
  listed.department = FieldIn(text, kDepartmentMarker, row, fields_end);
  listed.effective_date = FieldIn(text, kEffectiveDateMarker, row, fields_end);
  listed.status = Text(cell.word);
  listed.standing = StandingOf(cell.word);
  return listed;
}

CurrentStandardRecord FoundRecord() {
  CurrentStandardRecord record;
  record.status = kRecordCurrent;
  return record;
}

class National final : public SitePages {
 public:
  Text SearchAddress(const Text& prefix, const Text& keyword) const override {
    return prefix + "/s.jsp?keyword=" + EscapeKeyword(keyword) + "&pageNum=1";
  }
  PageRecords ReadPage(const Text& body_text) const override {
    PageRecords page;
    page.record = ParseResultPage(body_text);
    page.listed = ReadResultRows(body_text);
    return page;
  }
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
    rows.push_back(ReadRow(text, start, next == kNone ? n : next));
    row = next;
  }
  return rows;
}

}  // namespace kelvaro
