#include "document/location.h"

#include <string_view>

namespace kelvaro {

namespace {

std::string Number(int n) { return std::to_string(n); }

}  // namespace

namespace {

std::string PlaceWords(const Location& at) {
  const std::string under = at.heading.empty() ? std::string() : at.heading + " › ";
  switch (at.kind) {
    case Location::Kind::kNone:
      return {};
    case Location::Kind::kLine:
      return "第 " + Number(at.line) + " 行";
    case Location::Kind::kParagraph:
      if (!at.heading.empty() && at.under_heading == 0) return at.heading;
      // A number alone says little without the heading whose list it is in.
      if (!at.item.empty() && !at.heading.empty()) return under + at.item;
      return under + "第 " + Number(at.heading.empty() ? at.paragraph : at.under_heading) + " 段";
    case Location::Kind::kTableCell: {
      const std::string column = "第 " + Number(at.column) + " 列";
      const std::string cell = !at.below_header ? "第 " + Number(at.row) + " 行" + column
                               : at.row > 0
                                   ? "第 " + Number(at.row) + " 行" + column + "（不计表头）"
                                   : "表头" + column;
      if (!at.caption.empty()) return at.caption + " › " + cell;
      return under + "表 " + Number(at.heading.empty() ? at.table : at.under_heading) + " " + cell;
    }
    case Location::Kind::kSheetCell:
      return at.sheet + "!" + at.cell;
    case Location::Kind::kCsvCell:
      return "第 " + Number(at.row) + " 行第 " + Number(at.column) + " 列";
    case Location::Kind::kPage:
      return "第 " + Number(at.page) + " 页" + (at.line > 0 ? "第 " + Number(at.line) + " 行" : "");
    case Location::Kind::kPart:
      return at.paragraph > 0 ? PartWords(at.part) + ("第 " + Number(at.paragraph) + " 段")
                              : PartWords(at.part);
  }
  return {};
}

}  // namespace

std::string LocationWords(const Location& at) {
  std::string words = PlaceWords(at);
  if (at.document.empty()) return words;
  return words.empty() ? at.document : at.document + "：" + words;
}

std::string ListItemNumber(const std::string& utf8) {
  std::size_t at = 0;
  // Spaces before the number: ASCII, and the full-width one (U+3000).
  while (true) {
    if (at < utf8.size() && (utf8[at] == ' ' || utf8[at] == '\t')) {
      ++at;
    } else if (utf8.compare(at, 3, "\u3000") == 0) {
      at += 3;
    } else {
      break;
    }
  }
  const std::size_t begin = at;
  const auto digits = [&] {
    const std::size_t first = at;
    while (at < utf8.size() && at - first < 4 && utf8[at] >= '0' && utf8[at] <= '9') ++at;
    return at > first && at - first <= 3;
  };
  const auto takes = [&](std::string_view mark) {
    if (utf8.compare(at, mark.size(), mark) != 0) return false;
    at += mark.size();
    return true;
  };
  std::string_view closing;
  if (takes("（")) {
    closing = "）";
  } else if (takes("(")) {
    closing = ")";
  }
  if (!digits()) return {};
  const bool closed = closing.empty() ? takes(")") || takes("）") || takes("、") : takes(closing);
  if (!closed) return {};
  return utf8.substr(begin, at - begin);
}

const char* PartWords(Location::Part part) {
  switch (part) {
    case Location::Part::kNone:
      return "";
    case Location::Part::kHeader:
      return "页眉";
    case Location::Part::kFooter:
      return "页脚";
    case Location::Part::kFootnote:
      return "脚注";
    case Location::Part::kEndnote:
      return "尾注";
  }
  return "";
}

}  // namespace kelvaro
