// The seam for the Result table: five text columns, rows addressed by 0-based index,
// and by a stable id that survives other rows' removal.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "citation/citation.h"
#include "document/location.h"
#include "rows/judgement.h"
#include "text/text.h"

namespace kelvaro {

// The five columns, in their order (ResultTable's operations take the index).
enum class Column { kOrdinal, kNumber, kStatus, kLatestNumber, kLatestTitle };
inline constexpr int kColumnCount = 5;
constexpr int ColumnIndex(Column column) { return static_cast<int>(column); }

// One more place a row's citation stands, with the citation as written there.
struct CitedPlace {
  Location location;
  Citation citation;
  bool operator==(const CitedPlace&) const = default;
};

// Where a row came from: the line, paragraph, cell or page, and the citation it looks up.
struct RowSource {
  Location location;                 // kNone for a row typed in or added otherwise
  std::optional<Citation> citation;  // as read; the row looks up its canonical number
  bool from_document = false;        // pasted text or a document, not a list of numbers
  // The same standard cited again further on in the document, in reading order.
  std::vector<CitedPlace> cited_again;
  // Column 1 as written (UTF-8) when its GBK cell cannot hold it whole ("한국어 GB 50016"):
  // what every output shows instead. Empty when the cell says it all.
  std::string number_utf8;
  bool operator==(const RowSource&) const = default;
};

// A row with everything it holds.
struct TableRow {
  RowId id = 0;
  std::array<Text, kColumnCount> cells;
  // The last lookup's, whole; empty for a row never looked up. Cells 2 to 4 show it.
  Judgement judgement;
  RowSource source;
};

struct CellHit {
  int row = -1;
  int column = -1;
};

class ResultTable {
 public:
  virtual ~ResultTable() = default;
  // Every operation may be called from any thread and completes before it returns.
  virtual int RowCount() = 0;
  virtual int AppendRow(const Text& ordinal) = 0;
  virtual Text GetCellText(int row, int column) = 0;
  virtual std::string GetCellUtf8(int row, int column) = 0;  // CellUtf8 of the row
  virtual void SetCellText(int row, int column, const Text& text) = 0;
  virtual void DeleteRow(int row) = 0;
  virtual void ClearRows() = 0;
  virtual int FindRow(const Text& text, int column) = 0;
  virtual CellHit HitTestCell(int x, int y) = 0;

  // Stable identity: a batch takes the ids when it starts and works by id.
  virtual std::vector<RowId> RowIds() = 0;
  virtual int RowIndexOf(RowId id) = 0;                    // -1 when removed
  virtual Text GetCellTextById(RowId id, int column) = 0;  // empty when removed
  virtual void SetCellTextById(RowId id, int column, const Text& text) = 0;
  virtual void DeleteRowById(RowId id) = 0;
  virtual void MakeRowVisibleById(RowId id) = 0;
  // A lookup's judgement, stored whole in one step with the three cells it shows (the status
  // word, the current number and title): no reader sees half of it.
  virtual void SetJudgementById(RowId id, const Judgement& judgement) = 0;
  // The row's last judgement; empty for a row never looked up or removed.
  virtual Judgement JudgementById(RowId id) = 0;
  // Where the row came from; empty for a row removed or added without one.
  virtual void SetSourceById(RowId id, const RowSource& source) = 0;
  virtual RowSource SourceById(RowId id) = 0;
  // A consistent copy of every row, in the table's order.
  virtual std::vector<TableRow> Snapshot() = 0;
};

}  // namespace kelvaro

// What a ResultTable declares, but Snapshot (whose rows' order is the table's own).
#define KELVARO_RESULT_TABLE_OVERRIDES                                   \
  int RowCount() override;                                               \
  int AppendRow(const Text& ordinal) override;                           \
  Text GetCellText(int row, int column) override;                        \
  std::string GetCellUtf8(int row, int column) override;                 \
  void SetCellText(int row, int column, const Text& text) override;      \
  void DeleteRow(int row) override;                                      \
  void ClearRows() override;                                             \
  int FindRow(const Text& text, int column) override;                    \
  CellHit HitTestCell(int x, int y) override;                            \
  std::vector<RowId> RowIds() override;                                  \
  int RowIndexOf(RowId id) override;                                     \
  Text GetCellTextById(RowId id, int column) override;                   \
  void SetCellTextById(RowId id, int column, const Text& text) override; \
  void DeleteRowById(RowId id) override;                                 \
  void MakeRowVisibleById(RowId id) override;                            \
  void SetJudgementById(RowId id, const Judgement& judgement) override;  \
  Judgement JudgementById(RowId id) override;                            \
  void SetSourceById(RowId id, const RowSource& source) override;        \
  RowSource SourceById(RowId id) override;
