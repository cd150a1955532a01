// A checked document handed back: a Word copy with its citations marked (and, if asked,
// replaced), or an Excel copy with a first sheet 核查结果 that lists them.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "document/document.h"
#include "document/markers/docx_mark.h"
#include "document/writers/xlsx_writer.h"
#include "rows/folder.h"
#include "rows/result_table.h"
#include "text/text.h"

namespace kelvaro {

inline constexpr char kCheckSheetName[] = "核查结果";

// What a row's citations get in a Word copy: nothing for a 现行 row of the cited edition
// and no coming successor, nor for a row never looked up. `replace`: a superseded citation
// (or one of another edition) takes the current number and, when it differs, the title.
std::optional<CitationMark> MarkOfRow(const TableRow& row, bool replace);

// The sheet an Excel copy gains: a line per place a row's standard is cited (序号, 原文, 位置
// linked to its cell, 状态, 现行标准编号, 现行标准名称, 原因), filled by verdict.
XlsxSheet CheckSheet(const std::vector<TableRow>& rows);

// Whether rows read from `kind` can be handed back marked (.docx, .xlsx).
bool CanMark(DocumentKind kind);
// Whether writing a marked copy to `output` would write over `original` (the document would
// be lost with nothing checked to show for it): one path once normalised, or one file by two.
bool WritesOver(const std::string& original, const std::string& output);
// "设计说明.docx" -> "设计说明（已核查）.docx", or "设计说明（已核查并替换）.docx" for the
// copy with tracked replacements; the folder kept.
std::string MarkedCopyName(const std::string& path, bool replaced = false);

// Whether the document `bytes` (read as `kind`) can be handed back marked at all, asked
// before its rows are looked up: false with the reason when its copy would be refused.
bool CanMarkDocument(const Bytes& bytes, DocumentKind kind, DocumentError& error);

// The marked copy of the document `bytes` (read as `kind`) whose rows are `rows`, each
// citation found by its standard. `time`: the check's time, ISO 8601. False with the reason
// (kNotMarkable for a kind that cannot be marked) when the document cannot be read or
// marked; then `out` is empty.
bool MarkDocument(const Bytes& bytes, DocumentKind kind, const std::vector<TableRow>& rows,
                  bool replace, const std::string& time, Bytes& out, DocumentError& error);

// What marking a folder's documents did: copies written, documents whose copy failed, and a
// line (UTF-8) for each document not marked and why.
struct FolderMarks {
  int written = 0;
  int failed = 0;
  std::vector<std::string> notes;
};
// Each .docx and .xlsx of `documents` that cites a standard of `rows` (the rows of the
// whole folder) marked with its own places, its copy written under `out_folder` at the same
// path from the folder, named as MarkedCopyName names it. The rest go on when one fails.
FolderMarks MarkFolderDocuments(const std::vector<FolderDocument>& documents,
                                const std::vector<TableRow>& rows, const std::string& out_folder,
                                bool replace, const std::string& time);

}  // namespace kelvaro
