// The Result table's columns and the columns its outputs add, once: the header, how the window
// shows it, the key a JSON row gives it, how its text is read from a row, and which outputs
// carry it. The window's table, the copies and the TSV, CSV, JSON and Excel forms all read
// this table; a new column is one more entry.
#pragma once

#include <string>
#include <vector>

#include "document/writers/xlsx_writer.h"
#include "rows/result_table.h"

namespace kelvaro {

enum class ColumnAlignment { kLeft, kCentre };

// Which outputs carry a column.
enum ColumnOutput : unsigned {
  kShown = 1u << 0,           // the window's table, its copies and every written table
  kWithReasons = 1u << 1,     // TSV and CSV when the reasons are asked for
  kWithSources = 1u << 2,     // copies, TSV and CSV when the rows came from a document
  kInWorkbook = 1u << 3,      // the Excel export
  kFilledByStatus = 1u << 4,  // the workbook and the windows fill the cell by the row's status
  kSortedAsNumber = 1u << 5,  // the windows sort the column by its number, not as text
};

struct ColumnSpec {
  const char* header;  // UTF-8
  int width;           // pixels, in the window (kShown)
  ColumnAlignment alignment;
  const char* json_key;  // the key in a JSON row, or null when JSON leaves it out
  std::string (*value)(const TableRow& row);  // UTF-8
  unsigned outputs;
};

const std::vector<ColumnSpec>& Columns();
// The columns carrying any of `outputs`, in the table's order.
std::vector<const ColumnSpec*> ColumnsFor(unsigned outputs);
// The window's columns (kShown), by their index in the window.
const std::vector<const ColumnSpec*>& ShownColumns();
// What a written table carries: the shown columns, the reason's cell with `reasons`, where
// the row came from with `sources`.
unsigned TableOutputs(bool reasons, bool sources);

// The fill of a row's status cell (kFilledByStatus), in the workbook and in both windows.
CellFill RowFill(const TableRow& row);

// A shown column's text of a row, as the window shows it (UTF-8); empty for no such column.
std::string CellUtf8(const TableRow& row, int column);

std::vector<std::string> HeaderCells(const std::vector<const ColumnSpec*>& columns);
std::vector<std::string> RowCells(const TableRow& row,
                                  const std::vector<const ColumnSpec*>& columns);
// The header's cells, then each row's: what every written table is made of.
std::vector<std::vector<std::string>> TableRecords(const std::vector<TableRow>& rows,
                                                   const std::vector<const ColumnSpec*>& columns);

}  // namespace kelvaro
