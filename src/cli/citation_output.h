// What `extract` prints, and a row's source as the JSON of a batch carries it.
#pragma once

#include <string>
#include <vector>

#include "cli/options.h"
#include "rows/import.h"
#include "rows/result_table.h"

namespace kelvaro::cli {

// Where a piece stood, as a JSON object on one line: {"line": 3}, {"page": 2, "line": 12},
// {"paragraph": 4}, {"table": 1, "row": 2, "column": 3, "caption": "表 1 …"} (a caption when
// it has one), {"sheet": "…", "cell": "B7"}, a CSV cell {"row": 2, "column": 3},
// {"part": "页眉", "paragraph": 1} (a PDF's running header: no paragraph); a Word body's
// place under a heading adds "heading" and "under_heading"; {} for none.
std::string LocationJson(const Location& location);

// A citation and where it stood, as a JSON object on one line: {number, code, serial, year,
// full_year, edition, amendment, title, text, location, where}; empty strings for what the
// citation lacks, full_year 0 when it has none.
std::string CitationJson(const Citation& citation, const Location& location);

// The headers of `extract`'s TSV and CSV columns, UTF-8.
std::vector<std::string> CitationHeaders();

// `extract`'s output of rows that each hold a citation (CitationRows, every occurrence a
// row of its own: extract does not gather a standard cited again): TSV with a header line
// (cells as TsvCell writes them), CSV as the batch writes it (byte-order mark, CR LF, formula
// apostrophe), or a JSON array of CitationJson objects led by "ordinal", one per line. The
// tables leave 完整年份 empty when there is no year.
std::string FormatCitations(Format format, const std::vector<ImportedRow>& rows);

}  // namespace kelvaro::cli
