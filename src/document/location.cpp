#include "document/location.h"

namespace kelvaro {

namespace {

std::string Number(int n) { return std::to_string(n); }

}  // namespace

std::string LocationWords(const Location& at) {
  const std::string under = at.heading.empty() ? std::string() : at.heading + " › ";
  switch (at.kind) {
    case Location::Kind::kNone:
      return {};
    case Location::Kind::kLine:
      return "第 " + Number(at.line) + " 行";
    case Location::Kind::kParagraph:
      if (!at.heading.empty() && at.under_heading == 0) return at.heading;
      return under + "第 " + Number(at.heading.empty() ? at.paragraph : at.under_heading) + " 段";
    case Location::Kind::kTableCell: {
      const std::string cell = "第 " + Number(at.row) + " 行第 " + Number(at.column) + " 列";
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
