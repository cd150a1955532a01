// PDF pages made pieces: each page's body with the line it starts on, and the running
// headers and footers once.
#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "citation/citation.h"
#include "document/pdf/pdf.h"
#include "document/readers/formats.h"

namespace kelvaro::formats {

namespace {

bool IsBlank(std::string_view line) {
  return line.find_first_not_of(" \t\r\f\v") == std::string_view::npos;
}

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether a citation runs from the end of `line` onto `next` ("按 GB/T" / "50105-2010 绘制"):
// only a line ending as a number can break, before one starting as a number goes on, is asked.
bool WrapsCitation(std::string_view line, std::string_view next) {
  const std::size_t last = line.find_last_not_of(" \t\r\f\v");
  const std::size_t first = next.find_first_not_of(" \t\r\f\v");
  if (last == std::string_view::npos || first == std::string_view::npos) return false;
  const char end = line[last];
  const bool breaks = IsAsciiAlnum(end) || end == '/' || end == '-' || end == ':' ||
                      line.substr(0, last + 1).ends_with("—");
  if (!breaks || !IsAsciiAlnum(next[first])) return false;
  std::string both(line);
  both += '\n';
  both += next;
  for (const Citation& citation : FindCitations(both)) {
    if (citation.begin < line.size() && citation.end > line.size() + 1) return true;
  }
  return false;
}

// A page's lines that hold text; blank lines are layout, and the readers differ on them. A
// citation wrapped onto the next line makes the two one line (the break kept), so that a
// running header or footer that holds one is recognised whole.
std::vector<std::string_view> TextLines(std::string_view page) {
  std::vector<std::string_view> lines;
  std::string_view last_physical;  // the last line's own last line
  std::size_t start = 0;
  while (start <= page.size()) {
    std::size_t end = page.find('\n', start);
    if (end == std::string_view::npos) end = page.size();
    const std::string_view line = page.substr(start, end - start);
    if (!IsBlank(line)) {
      const bool joins = !lines.empty() &&
                         lines.back().data() + lines.back().size() + 1 == line.data() &&
                         WrapsCitation(last_physical, line);
      if (joins) {
        lines.back() = std::string_view(lines.back().data(), lines.back().size() + 1 + line.size());
      } else {
        lines.push_back(line);
      }
      last_physical = line;
    }
    start = end + 1;
  }
  return lines;
}

// How many lines of the page `lines` stand on.
int PhysicalLines(const std::vector<std::string_view>& lines, std::size_t from, std::size_t to) {
  int count = 0;
  for (std::size_t i = from; i < to; ++i) {
    count += 1 + static_cast<int>(std::count(lines[i].begin(), lines[i].end(), '\n'));
  }
  return count;
}

// A line with its runs of digits taken out: what stays the same from page to page.
struct LineShape {
  std::string rest;
  std::vector<std::string_view> numbers;
};

LineShape ShapeOf(std::string_view line) {
  LineShape shape;
  std::size_t i = line.find_first_not_of(" \t\r\f\v");
  const std::size_t last = line.find_last_not_of(" \t\r\f\v");
  while (i <= last) {
    if (line[i] >= '0' && line[i] <= '9') {
      const std::size_t start = i;
      while (i <= last && line[i] >= '0' && line[i] <= '9') ++i;
      shape.numbers.push_back(line.substr(start, i - start));
      shape.rest += '#';
    } else {
      shape.rest += line[i++];
    }
  }
  return shape;
}

// A line standing on a page as a header or footer does: at least this many pages and more
// than half of the pages with text. One of its numbers may change from page to page (the
// page number); a second that changes makes it text of its own.
constexpr std::size_t kMinRepeatedPages = 3;
constexpr int kMaxRepeatedLines = 3;  // a header or footer of up to this many lines

// Of the candidates (a page and its line), the pages whose line repeats; none when no line
// repeats on enough pages.
std::vector<std::size_t> RepeatedLine(
    const std::vector<std::pair<std::size_t, std::string_view>>& candidates,
    std::size_t pages_with_text) {
  std::unordered_map<std::string, std::vector<std::size_t>> by_shape;
  std::vector<LineShape> shapes;
  shapes.reserve(candidates.size());
  const std::vector<std::size_t>* best = nullptr;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    shapes.push_back(ShapeOf(candidates[i].second));
    std::vector<std::size_t>& same = by_shape[shapes.back().rest];
    same.push_back(i);
    if (best == nullptr || same.size() > best->size()) best = &same;
  }
  if (best == nullptr || best->size() < kMinRepeatedPages || best->size() * 2 <= pages_with_text) {
    return {};
  }
  const std::vector<std::string_view>& first = shapes[best->front()].numbers;
  int changing = 0;
  for (std::size_t n = 0; n < first.size(); ++n) {
    for (const std::size_t i : *best) {
      if (shapes[i].numbers[n] != first[n]) {
        ++changing;
        break;
      }
    }
  }
  if (changing > 1) return {};
  std::vector<std::size_t> pages;
  for (const std::size_t i : *best) pages.push_back(candidates[i].first);
  return pages;
}

struct PageText {
  std::vector<std::string_view> lines;
  int top = 0;     // lines of the header
  int bottom = 0;  // lines of the footer
  int Body() const { return static_cast<int>(lines.size()) - top - bottom; }
};

// Takes the running lines off the top (or bottom) of the pages, one line deep at a time;
// gives the lines as the first page holding them has them, top to bottom.
std::vector<std::string_view> TakeRunningLines(std::vector<PageText>& pages, bool top,
                                               std::size_t pages_with_text) {
  std::vector<std::string_view> running;
  for (int depth = 0; depth < kMaxRepeatedLines; ++depth) {
    std::vector<std::pair<std::size_t, std::string_view>> candidates;
    for (std::size_t p = 0; p < pages.size(); ++p) {
      PageText& page = pages[p];
      if ((top ? page.top : page.bottom) != depth || page.Body() == 0) continue;
      candidates.emplace_back(p, top ? page.lines[static_cast<std::size_t>(page.top)]
                                     : page.lines[page.lines.size() - 1 - page.bottom]);
    }
    const std::vector<std::size_t> repeated = RepeatedLine(candidates, pages_with_text);
    if (repeated.empty()) break;
    const PageText& first = pages[repeated.front()];
    if (top) {
      running.push_back(first.lines[static_cast<std::size_t>(first.top)]);
    } else {
      running.insert(running.begin(), first.lines[first.lines.size() - 1 - first.bottom]);
    }
    for (const std::size_t p : repeated) ++(top ? pages[p].top : pages[p].bottom);
  }
  return running;
}

std::string Joined(const std::vector<std::string_view>& lines, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t i = from; i < to; ++i) {
    if (i > from) text += '\n';
    text += lines[i];
  }
  return text;
}

// Pages named past this many in one note are counted, not named.
constexpr std::size_t kPagesNamed = 10;

// "第 3、7 页的图形嵌套过多，未能读完"
std::string CutShortNote(const std::vector<int>& pages) {
  std::string note = "第 ";
  for (std::size_t i = 0; i < pages.size() && i < kPagesNamed; ++i) {
    if (i > 0) note += "、";
    note += std::to_string(pages[i]);
  }
  note += " 页";
  if (pages.size() > kPagesNamed) note += "等 " + std::to_string(pages.size()) + " 页";
  return note + "的图形嵌套过多，未能读完";
}

}  // namespace

bool ReadPdf(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
             DocumentError& error) {
  std::vector<std::string> texts;
  std::vector<int> cut_short;
  if (!ReadPdfPages(bytes, texts, error, &cut_short)) return false;
  if (!cut_short.empty()) budget.Note(CutShortNote(cut_short));
  std::vector<PageText> pages(texts.size());
  std::size_t pages_with_text = 0;
  for (std::size_t p = 0; p < texts.size(); ++p) {
    pages[p].lines = TextLines(texts[p]);
    if (!pages[p].lines.empty()) ++pages_with_text;
  }
  const std::vector<std::string_view> header = TakeRunningLines(pages, true, pages_with_text);
  const std::vector<std::string_view> footer = TakeRunningLines(pages, false, pages_with_text);
  bool header_given = false, footer_given = false;
  const auto add = [&](std::string text, Location at) {
    if (text.empty() || budget.Add(pieces, {std::move(text), std::move(at)})) return true;
    error = DocumentError::kContentTooLarge;
    return false;
  };
  const auto running = [](Location::Part part) {
    Location at;
    at.kind = Location::Kind::kPart;
    at.part = part;
    return at;
  };
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const PageText& page = pages[p];
    // The running lines stand once, where they are first met.
    if (page.top > 0 && !header_given) {
      header_given = true;
      if (!add(Joined(header, 0, header.size()), running(Location::Part::kHeader))) return false;
    }
    Location at;
    at.kind = Location::Kind::kPage;
    at.page = static_cast<int>(p) + 1;
    at.line = PhysicalLines(page.lines, 0, static_cast<std::size_t>(page.top)) + 1;
    const std::size_t body_end = page.lines.size() - static_cast<std::size_t>(page.bottom);
    if (!add(Joined(page.lines, static_cast<std::size_t>(page.top), body_end), std::move(at))) {
      return false;
    }
    if (page.bottom > 0 && !footer_given) {
      footer_given = true;
      if (!add(Joined(footer, 0, footer.size()), running(Location::Part::kFooter))) return false;
    }
  }
  return true;
}

}  // namespace kelvaro::formats
