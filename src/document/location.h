// Where a piece of text stood in the file or text it came from.
#pragma once

#include <string>

namespace kelvaro {

struct Location {
  enum class Kind { kNone, kLine, kParagraph, kTableCell, kSheetCell, kCsvCell, kPage, kPart };
  Kind kind = Kind::kNone;
  int line = 0, paragraph = 0, table = 0, row = 0, column = 0, page = 0;  // 1-based
  std::string sheet;  // UTF-8 sheet name (kSheetCell)
  std::string cell;   // "C5" (kSheetCell; `row` and `column` hold 5 and 3)
  std::string part;  // kPart: "页眉", "页脚", "脚注", "尾注" with `paragraph` counted within them

  bool operator==(const Location&) const = default;
};

// The location in words (UTF-8): "第 3 行", "第 N 段", "表 T 第 R 行第 C 列", "设计依据!C5",
// CSV "第 R 行第 C 列", "第 N 页", "页眉第 N 段"; empty for kNone.
std::string LocationWords(const Location& location);

}  // namespace kelvaro
