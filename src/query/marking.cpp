#include "query/marking.h"

#include <cstddef>
#include <filesystem>
#include <unordered_map>
#include <utility>

#include "document/errors.h"
#include "document/location.h"
#include "document/markers/xlsx_mark.h"
#include "platform/files.h"
#include "rows/export.h"
#include "rows/import.h"
#include "rows/reason.h"
#include "rows/verdicts.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

std::string CellOf(const TableRow& row, Column column) {
  return GbkToUtf8(row.cells[ColumnIndex(column)]);
}

void AddWords(std::string& out, const std::string& words) {
  if (words.empty()) return;
  if (!out.empty()) out += "；";
  out += words;
}

// Why the row is marked: what its verdict opens with, then the notes.
std::string MarkWords(const TableRow& row, CommentOpening opening) {
  const Judgement& judgement = row.judgement;
  std::string words;
  if (opening == CommentOpening::kCurrentStandard) {
    const std::string title = CellOf(row, Column::kLatestTitle);
    const std::string released = GbkToUtf8(judgement.notes.release_date);
    words = "有新标准：现行为" + (title.empty() ? std::string() : "《" + title + "》") +
            CellOf(row, Column::kLatestNumber) +
            (released.empty() ? std::string() : "（" + released + " 发布）");
  } else if (opening == CommentOpening::kReason) {
    words = ReasonDescription(judgement.reason);
  }
  for (const std::string& line : NoteLines(judgement.notes)) AddWords(words, line);
  for (const std::string& line : TitleMismatchLines(row)) AddWords(words, line);
  return words;
}

// The sheet's cell address quoted for a link: 'It''s'!C5.
std::string CellLink(const Location& location) {
  if (location.kind != Location::Kind::kSheetCell || location.cell.empty()) return {};
  std::string link = "'";
  for (const char c : location.sheet) {
    if (c == '\'') link += '\'';
    link += c;
  }
  return link + "'!" + location.cell;
}

// The row as one of its places sees it: that place's citation alone, and whether its title
// is the site's.
TableRow AtOnePlace(const TableRow& row, const Citation& citation) {
  TableRow here;
  here.cells = row.cells;
  here.judgement = row.judgement;
  here.source.citation = citation;
  std::optional<bool>& matches = here.judgement.notes.title_matches;
  if (matches.has_value()) {
    matches = citation.title.empty() ? std::nullopt
                                     : std::optional<bool>(SameTitle(
                                           citation.title, GbkToUtf8(here.judgement.record.title)));
  }
  return here;
}

}  // namespace

XlsxSheet CheckSheet(const std::vector<TableRow>& rows) {
  XlsxSheet sheet;
  sheet.name = kCheckSheetName;
  sheet.header = {"序号", "原文", "位置", "状态", "现行标准编号", "现行标准名称", "原因"};
  sheet.number_column = 0;
  sheet.link_column = 2;
  sheet.fill_column = 3;
  for (const TableRow& row : rows) {
    const CellFill fill = SpecOf(row.judgement.verdict).fill;
    std::string reason = ReasonDescription(row.judgement.reason);
    for (const std::string& line : NoteLines(row.judgement.notes)) AddWords(reason, line);
    const auto add = [&](const Location& location, const std::string& written,
                         const std::optional<Citation>& citation) {
      // Each line speaks of its own place's title.
      std::string said = reason;
      if (citation.has_value()) {
        for (const std::string& line : TitleMismatchLines(AtOnePlace(row, *citation))) {
          AddWords(said, line);
        }
      }
      sheet.rows.push_back({CellOf(row, Column::kOrdinal), written, LocationWords(location),
                            CellOf(row, Column::kStatus), CellOf(row, Column::kLatestNumber),
                            CellOf(row, Column::kLatestTitle), said});
      sheet.row_fills.push_back(fill);
      sheet.row_links.push_back(CellLink(location));
    };
    const std::string written = row.source.citation.has_value()  ? SourceWritten(row)
                                : row.source.number_utf8.empty() ? CellOf(row, Column::kNumber)
                                                                 : row.source.number_utf8;
    add(row.source.location, written, row.source.citation);
    for (const CitedPlace& again : row.source.cited_again) {
      add(again.location, again.citation.written, again.citation);
    }
  }
  return sheet;
}

std::optional<CitationMark> MarkOfRow(const TableRow& row, bool replace) {
  const Judgement& judgement = row.judgement;
  const VerdictSpec& spec = SpecOf(judgement.verdict);
  if (!Holds(spec.marked, judgement)) return std::nullopt;
  CitationMark mark;
  mark.fill = spec.fill;
  mark.comment = MarkWords(row, spec.comment);
  const std::string number = CellOf(row, Column::kLatestNumber);
  if (replace && Holds(spec.replaced, judgement) && !number.empty()) {
    mark.number = number;
    const std::string& edition = judgement.notes.site_edition;
    if (!edition.empty()) mark.number += "（" + edition + "）";
    // The edition goes with the number, not twice.
    const std::string title = WithoutEdition(CellOf(row, Column::kLatestTitle));
    if (row.source.citation.has_value() && !row.source.citation->title.empty() && !title.empty() &&
        !SameTitle(row.source.citation->title, title)) {
      mark.title = title;
    }
  }
  return mark;
}

bool CanMark(DocumentKind kind) {
  return kind == DocumentKind::kDocx || kind == DocumentKind::kXlsx;
}

bool WritesOver(const std::string& original, const std::string& output) {
  return std::filesystem::path(original).lexically_normal() ==
             std::filesystem::path(output).lexically_normal() ||
         platform::SameFile(original, output);
}

std::string MarkedCopyName(const std::string& path, bool replaced) {
  const std::string note = replaced ? "（已核查并替换）" : "（已核查）";
  const std::size_t folder_end = path.find_last_of("/\\");
  const std::size_t name = folder_end == std::string::npos ? 0 : folder_end + 1;
  const std::size_t dot = path.find_last_of('.');
  // A name that only starts with a dot (".docx") has no extension to keep.
  if (dot == std::string::npos || dot <= name) return path + note;
  return path.substr(0, dot) + note + path.substr(dot);
}

bool CanMarkDocument(const Bytes& bytes, DocumentKind kind, DocumentError& error) {
  // The copy of no rows: every refusal the real one meets but the read back, which its
  // marks could still fail.
  Bytes copy;
  return MarkDocument(bytes, kind, {}, false, {}, copy, error);
}

bool MarkDocument(const Bytes& bytes, DocumentKind kind, const std::vector<TableRow>& rows,
                  bool replace, const std::string& time, Bytes& out, DocumentError& error) {
  out.clear();
  error = DocumentError::kNone;
  if (kind == DocumentKind::kXlsx) return AddFirstSheet(bytes, CheckSheet(rows), out, error);
  if (kind != DocumentKind::kDocx) return Fail(error, DocumentError::kNotMarkable);

  std::unordered_map<std::string, const TableRow*> by_standard;
  for (const TableRow& row : rows) {
    if (row.source.citation.has_value()) {
      by_standard.try_emplace(SameStandardKey(*row.source.citation), &row);
    }
  }
  const MarkDecider decide = [&](const Citation& citation) -> std::optional<CitationMark> {
    const auto found = by_standard.find(SameStandardKey(citation));
    if (found == by_standard.end()) return std::nullopt;
    // Each place's own title decides whether the title is replaced there, and whether its
    // comment says the title is not the site's.
    return MarkOfRow(AtOnePlace(*found->second, citation), replace);
  };
  MarkedDocument marked;
  if (!MarkDocx(bytes, decide, MarkAuthor{"Kelvaro", time}, marked, error)) return false;
  out = std::move(marked.bytes);
  return true;
}

FolderMarks MarkFolderDocuments(const std::vector<FolderDocument>& documents,
                                const std::vector<TableRow>& rows, const std::string& out_folder,
                                bool replace, const std::string& time) {
  FolderMarks marks;
  const auto skip = [&](const FolderDocument& document, const std::string& why) {
    marks.notes.push_back(document.relative + "：" + why);
  };
  for (const FolderDocument& document : documents) {
    DocumentKind kind = DocumentKindOf(document.path);
    if (!CanMark(kind)) continue;
    // The copy is of one document: its places need not name it.
    const std::vector<TableRow> own = RowsOfDocumentAlone(rows, document.relative);
    if (own.empty()) continue;
    Bytes bytes, marked;
    std::string why;
    DocumentError error = DocumentError::kNone;
    DocumentKind content = kind;
    if (!platform::ReadWholeFile(document.path, bytes, why)) {
      skip(document, why);
    } else if (!KindOfContent(bytes, content, error) || content != kind) {
      skip(document, "不是 .docx 或 .xlsx 文档，未标注");
      continue;
    } else if (!MarkDocument(bytes, kind, own, replace, time, marked, error)) {
      skip(document, DocumentErrorWords(error));
    } else {
      const std::string target =
          platform::JoinPath(out_folder, MarkedCopyName(document.relative, replace));
      const std::string_view data(reinterpret_cast<const char*>(marked.data()), marked.size());
      if (platform::MakeDirectories(platform::ParentFolder(target), why) &&
          platform::WriteWholeFile(target, data, why)) {
        ++marks.written;
        continue;
      }
      skip(document, why);
    }
    ++marks.failed;
  }
  return marks;
}

}  // namespace kelvaro
