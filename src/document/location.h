// Where a piece of text stood in the file or text it came from.
#pragma once

#include <string>

namespace kelvaro {

struct Location {
  enum class Kind { kNone, kLine, kParagraph, kTableCell, kSheetCell, kCsvCell, kPage, kPart };
  // The parts of a Word document beside its body; a PDF's running lines are its header and
  // footer too. Their words are PartWords'.
  enum class Part { kNone, kHeader, kFooter, kFootnote, kEndnote };
  Kind kind = Kind::kNone;
  // 1-based. kPage: `line` is the page's line, blank lines not counted. kParagraph and
  // kTableCell: `paragraph` and `table` are counted through the whole body.
  int line = 0, paragraph = 0, table = 0, row = 0, column = 0, page = 0;
  std::string sheet;  // UTF-8 sheet name (kSheetCell)
  std::string cell;   // "C5" (kSheetCell; `row` and `column` hold 5 and 3)
  // kPart: which part, with `paragraph` counted within it; a PDF's running header or footer
  // has no paragraph.
  Part part = Part::kNone;
  // .docx body (UTF-8, on one line): the nearest heading above, and the paragraph (or table)
  // counted from it, 0 for the heading itself; a table's caption.
  std::string heading;
  int under_heading = 0;
  std::string caption;
  // kParagraph: the number a list item begins with, as written ("（19）", "19、"), which names
  // it under its heading instead of its count; empty for none.
  std::string item;
  // kTableCell: the table has a header row, and `row` counts the rows below it (0 is the
  // header itself).
  bool below_header = false;
  // A document of a folder checked in one go: its path from the folder, "/" between folders
  // (UTF-8); empty for a document checked alone.
  std::string document;

  bool operator==(const Location&) const = default;
};

// The location in words (UTF-8): "第 3 行", "第 N 段", "3 设计依据 › 第 2 段",
// "3 设计依据 › （19）", "表 T 第 R 行第 C 列", "表 2 主要规范 › 第 R 行第 C 列",
// "3 设计依据 › 表 1 第 R 行第 C 列", "表 1 第 5 行第 C 列（不计表头）", "表 1 表头第 C 列",
// "设计依据!C5", CSV "第 R 行第 C 列", "第 3 页第 12 行", "页眉第 N 段", "页眉"; empty for
// kNone. A folder's document comes first: "结构设计说明.docx：3 设计依据 › 第 2 段".
std::string LocationWords(const Location& location);

// The number a paragraph begins with when it is a list item: "（19）", "(19)", "19)", "19）"
// or "19、" as written, one to three digits, after any spaces; empty otherwise.
std::string ListItemNumber(const std::string& utf8);
// "页眉", "页脚", "脚注", "尾注"; empty for kNone.
const char* PartWords(Location::Part part);

}  // namespace kelvaro
