#include "document/document.h"

#include <algorithm>

#include "document/formats.h"
#include "platform/pdf.h"

namespace kelvaro {

namespace {

std::string Number(int n) { return std::to_string(n); }

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string_view TrimAsciiSpaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

}  // namespace

std::string LocationWords(const Location& at) {
  switch (at.kind) {
    case Location::Kind::kNone:
      return {};
    case Location::Kind::kLine:
      return "第 " + Number(at.line) + " 行";
    case Location::Kind::kParagraph:
      return "第 " + Number(at.paragraph) + " 段";
    case Location::Kind::kTableCell:
      return "表 " + Number(at.table) + " 第 " + Number(at.row) + " 行第 " + Number(at.column) +
             " 列";
    case Location::Kind::kSheetCell:
      return at.sheet + "!" + at.cell;
    case Location::Kind::kCsvCell:
      return "第 " + Number(at.row) + " 行第 " + Number(at.column) + " 列";
    case Location::Kind::kPage:
      return "第 " + Number(at.page) + " 页";
    case Location::Kind::kPart:
      return at.part + "第 " + Number(at.paragraph) + " 段";
  }
  return {};
}

DocumentKind DocumentKindOf(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  const std::string_view file = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = file.rfind('.');
  if (dot == std::string_view::npos) return DocumentKind::kText;
  const std::string extension = LowerAscii(file.substr(dot + 1));
  if (extension == "docx" || extension == "docm") return DocumentKind::kDocx;
  if (extension == "xlsx" || extension == "xlsm") return DocumentKind::kXlsx;
  if (extension == "csv") return DocumentKind::kCsv;
  if (extension == "pdf") return DocumentKind::kPdf;
  if (extension == "doc") return DocumentKind::kDoc;
  if (extension == "xls") return DocumentKind::kXls;
  if (extension == "wps") return DocumentKind::kWps;
  return DocumentKind::kText;
}

namespace formats {

bool ReadPdf(const Bytes& bytes, std::vector<TextPiece>& pieces, std::string& error) {
  std::vector<std::string> pages;
  if (!platform::ReadPdfPages(bytes, pages, error)) return false;
  for (std::size_t i = 0; i < pages.size(); ++i) {
    std::string& text = pages[i];
    // The text layer ends pages with line and form feeds; they are no part of the page.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\f' || text.back() == '\r' ||
                             text.back() == ' ')) {
      text.pop_back();
    }
    if (text.empty()) continue;
    TextPiece piece;
    piece.text = std::move(text);
    piece.location.kind = Location::Kind::kPage;
    piece.location.page = static_cast<int>(i) + 1;
    pieces.push_back(std::move(piece));
  }
  return true;
}

}  // namespace formats

bool ReadDocument(const Bytes& bytes, DocumentKind kind, std::vector<TextPiece>& pieces,
                  std::string& error) {
  pieces.clear();
  error.clear();
  bool ok = false;
  switch (kind) {
    case DocumentKind::kText:
      ok = formats::ReadText(bytes, pieces);
      break;
    case DocumentKind::kCsv:
      ok = formats::ReadCsv(bytes, pieces);
      break;
    case DocumentKind::kDocx:
      ok = formats::ReadDocx(bytes, pieces, error);
      break;
    case DocumentKind::kXlsx:
      ok = formats::ReadXlsx(bytes, pieces, error);
      break;
    case DocumentKind::kPdf:
      ok = formats::ReadPdf(bytes, pieces, error);
      break;
    case DocumentKind::kDoc:
      ok = formats::ReadDoc(bytes, pieces, error);
      break;
    case DocumentKind::kXls:
      ok = formats::ReadXls(bytes, pieces, error);
      break;
    case DocumentKind::kWps:
      ok = formats::ReadWps(bytes, pieces, error);
      break;
  }
  if (!ok) {
    pieces.clear();
    if (error.empty()) error = "文件已损坏";
  } else {
    error.clear();
  }
  return ok;
}

std::optional<std::vector<TextPiece>> ExportedNumberColumn(const std::vector<TextPiece>& cells) {
  if (cells.empty()) return std::nullopt;
  const Location::Kind kind = cells.front().location.kind;
  if (kind != Location::Kind::kSheetCell && kind != Location::Kind::kCsvCell) return std::nullopt;
  const std::string& sheet = cells.front().location.sheet;
  auto in_table = [&](const TextPiece& p) {
    return p.location.kind == kind && p.location.sheet == sheet;
  };
  int number_column = 0;
  bool has_ordinal = false;
  for (const TextPiece& p : cells) {
    if (!in_table(p) || p.location.row != 1) continue;
    const std::string_view header = TrimAsciiSpaces(p.text);
    if (header == "待查标准编号" && number_column == 0) number_column = p.location.column;
    if (header == "序号") has_ordinal = true;
  }
  if (number_column == 0 || !has_ordinal) return std::nullopt;
  std::vector<TextPiece> column;
  for (const TextPiece& p : cells) {
    if (!in_table(p) || p.location.row <= 1 || p.location.column != number_column) continue;
    TextPiece piece = p;
    // The export guards a cell a spreadsheet would run as a formula with an apostrophe.
    if (piece.text.size() >= 2 && piece.text[0] == '\'' &&
        std::string_view("=+-@").find(piece.text[1]) != std::string_view::npos) {
      piece.text.erase(0, 1);
    }
    column.push_back(std::move(piece));
  }
  std::stable_sort(column.begin(), column.end(), [](const TextPiece& a, const TextPiece& b) {
    return a.location.row < b.location.row;
  });
  return column;
}

}  // namespace kelvaro
