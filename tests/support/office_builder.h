// Tiny Word and Excel files made in memory, on ZipBuilder: the parts a reader needs and
// nothing more, so each test writes only the XML it is about.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "support/zip_builder.h"

namespace kelvaro::test {

std::string XmlEscape(std::string_view text);

// <w:p> with one run holding `text`.
std::string WordParagraph(std::string_view text);
// A table, one <w:tc> with one paragraph per cell.
std::string WordTable(const std::vector<std::vector<std::string>>& rows);

struct DocxParts {
  std::string body;                  // inside <w:body>
  std::vector<std::string> headers;  // inside each <w:hdr>
  std::vector<std::string> footers;  // inside each <w:ftr>
  std::string footnotes;             // inside <w:footnotes>; none when empty
  std::string endnotes;              // inside <w:endnotes>; none when empty
  std::string styles;                // inside <w:styles>; none when empty
};
// The package: content types, relationships, word/document.xml and the other parts.
ZipBuilder DocxArchive(const DocxParts& parts);
Bytes BuildDocx(const DocxParts& parts);
Bytes BuildDocx(const std::string& body);

struct SheetContent {
  std::string name;
  std::string sheet_data;  // inside <sheetData>
};
// Cells for SheetContent::sheet_data.
std::string SharedCell(std::string_view ref, int index);
std::string InlineCell(std::string_view ref, std::string_view text);
std::string NumberCell(std::string_view ref, std::string_view number);
std::string FormulaStringCell(std::string_view ref, std::string_view formula,
                              std::string_view result);
std::string SheetRow(int row, const std::string& cells);

ZipBuilder XlsxArchive(const std::vector<SheetContent>& sheets,
                       const std::vector<std::string>& shared_strings);
Bytes BuildXlsx(const std::vector<SheetContent>& sheets,
                const std::vector<std::string>& shared_strings);
// A Strict Open XML workbook (the purl.oclc.org namespaces) of one sheet 设计依据 whose A1
// holds `text`.
ZipBuilder StrictXlsxArchive(const std::string& text);

// A PDF of one page per entry, each line of ASCII text in Helvetica below the one before,
// with a cross-reference table of the true offsets. `encrypt` adds a standard security
// handler whose user password is not empty.
std::string BuildPdf(const std::vector<std::vector<std::string>>& pages, bool encrypt = false);

}  // namespace kelvaro::test
