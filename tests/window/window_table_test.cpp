// The Result table as every window shows it, with the test's thread as the window's thread
// and its control a grid (support/fake_window.h).
#include "window/window_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "rows/columns.h"
#include "rows/verdicts.h"
#include "support/fake_window.h"
#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

// A failed lookup's judgement that leaves the row's number and title cells as they are.
Judgement Failed(ResultTable& table, RowId id, int http_status) {
  Judgement judgement;
  judgement.verdict = Verdict::kFailed;
  judgement.reason = {Outcome::kHttpError, http_status, {}};
  judgement.record.number = table.GetCellTextById(id, ColumnIndex(Column::kLatestNumber));
  judgement.record.title = table.GetCellTextById(id, ColumnIndex(Column::kLatestTitle));
  return judgement;
}

class WindowTableTest : public ::testing::Test {
 protected:
  void AppendNumbered(int count) {
    for (int i = 1; i <= count; ++i) table_.AppendRow(std::to_string(i));
  }
  std::vector<Text> Column(int column) {
    std::vector<Text> cells;
    for (int row = 0; row < table_.RowCount(); ++row)
      cells.push_back(table_.GetCellText(row, column));
    return cells;
  }

  StdMessagePump pump_;
  WindowTable table_;
  test::GridControl control_{table_, pump_};
};

TEST_F(WindowTableTest, EmptyTableAndCellsOutOfRange) {
  EXPECT_EQ(table_.RowCount(), 0);
  EXPECT_EQ(table_.FindRow("", 2), -1);
  EXPECT_TRUE(table_.RowIds().empty());
  table_.DeleteRow(0);
  table_.SetCellText(0, 0, "x");
  EXPECT_EQ(table_.RowCount(), 0);
  AppendNumbered(3);
  table_.SetCellText(1, 4, "title");
  const struct {
    int row, column;
    Text expected;
  } cases[] = {{-1, 0, ""}, {3, 0, ""}, {1, -1, ""}, {1, 5, ""}, {1, 4, "title"}, {2, 0, "3"}};
  for (const auto& c : cases) {
    EXPECT_EQ(table_.GetCellText(c.row, c.column), c.expected) << c.row << "," << c.column;
  }
  EXPECT_EQ(control_.inserts, 3);
}

TEST_F(WindowTableTest, FindRowMatchesTheWholeTextOnly) {
  const Text current = Gbk(u8"现行");
  AppendNumbered(5);
  table_.SetCellText(0, 2, current + " ");
  table_.SetCellText(1, 2, Gbk(u8"有新标准"));
  table_.SetCellText(2, 2, current);
  table_.SetCellText(4, 1, "GB/T1-2000");
  const struct {
    Text text;
    int column;
    int expected;
  } cases[] = {
      {current, 2, 2},       {Gbk(u8"新标准"), 2, -1}, {current + " ", 2, 0}, {current, 1, -1},
      {"gb/t1-2000", 1, -1}, {"GB/T1-2000", 1, 4},     {current, 5, -1},      {"", 3, 0}};
  for (const auto& c : cases) EXPECT_EQ(table_.FindRow(c.text, c.column), c.expected);
}

TEST_F(WindowTableTest, RemovalsMoveRowsUpKeepOrdinalsAndIds) {
  AppendNumbered(4);
  const std::vector<RowId> ids = table_.RowIds();
  table_.DeleteRow(-1);
  table_.DeleteRow(4);
  EXPECT_TRUE(control_.removals.empty());
  table_.DeleteRow(1);
  EXPECT_EQ(control_.removals, (std::vector<std::pair<int, int>>{{1, 1}}));
  EXPECT_EQ(Column(0), (std::vector<Text>{"1", "3", "4"}));
  EXPECT_EQ(table_.RowIndexOf(ids[1]), -1);
  EXPECT_EQ(table_.RowIndexOf(ids[2]), 1);
  table_.SetCellTextById(ids[3], 3, "GB/T9-2020");
  EXPECT_EQ(table_.GetCellText(2, 3), "GB/T9-2020");
  table_.SetCellTextById(ids[1], 3, "lost");  // removed: nothing happens
  EXPECT_EQ(table_.FindRow("lost", 3), -1);
  table_.DeleteRowById(ids[2]);
  EXPECT_EQ(Column(0), (std::vector<Text>{"1", "4"}));
  table_.ClearRows();
  EXPECT_EQ(control_.resets, 1);
  EXPECT_EQ(table_.RowCount(), 0);
}

TEST_F(WindowTableTest, TheStatusCellsTooltipSaysWhyAndHitsAreRowsTheControlShows) {
  AppendNumbered(2);
  table_.SetJudgementById(table_.RowIds()[1], Failed(table_, table_.RowIds()[1], 503));
  EXPECT_EQ(table_.CellToolTip(1, ColumnIndex(Column::kStatus)), "网站返回 503");
  EXPECT_EQ(table_.CellToolTip(1, ColumnIndex(Column::kNumber)), "");
  EXPECT_EQ(table_.CellToolTip(0, ColumnIndex(Column::kStatus)), "");
  EXPECT_EQ(table_.HitTestCell(150, 15).row, 1);
  EXPECT_EQ(table_.HitTestCell(150, 15).column, 1);
  EXPECT_EQ(table_.HitTestCell(150, 25).row, -1);  // below the last row
  EXPECT_EQ(table_.HitTestCell(550, 5).row, -1);   // right of the last column
}

TEST_F(WindowTableTest, OnlyTheStatusCellIsFilledAsTheWorkbookFillsItsRowsVerdict) {
  const int status = ColumnIndex(Column::kStatus);
  // One row per verdict, made as a lookup leaves it.
  const struct {
    Verdict verdict;
    Outcome outcome;
    bool coming;
  } rows[] = {
      {Verdict::kCurrent, Outcome::kFound, false},
      {Verdict::kCurrentComing, Outcome::kFound, true},
      {Verdict::kSuperseded, Outcome::kFound, false},
      {Verdict::kWithdrawn, Outcome::kWithdrawn, false},
      {Verdict::kNotInForce, Outcome::kNotInForce, false},
      {Verdict::kNotListed, Outcome::kNotFound, false},
      {Verdict::kFailed, Outcome::kNetwork, false},
  };
  ASSERT_EQ(std::size(rows), Verdicts().size());
  for (const auto& row : rows) {
    table_.AppendRow("1");
    const RowId id = table_.RowIds().back();
    Judgement judgement;
    judgement.verdict = row.verdict;
    judgement.reason.outcome = row.outcome;
    if (row.coming) judgement.notes.coming = ComingStandard{};
    table_.SetJudgementById(id, judgement);
    EXPECT_EQ(table_.GetCellTextById(id, status), StatusWord(row.verdict));
  }
  table_.AppendRow("1");
  table_.SetCellText(table_.RowCount() - 1, status, Gbk(u8"现行 "));  // not a status word
  EXPECT_EQ(table_.CellColour(table_.RowCount() - 1, status), std::nullopt);
  for (std::size_t row = 0; row < std::size(rows); ++row) {
    const int at = static_cast<int>(row);
    const std::optional<std::uint32_t> fill = FillRgb(SpecOf(rows[row].verdict).fill);
    ASSERT_TRUE(fill.has_value()) << SpecOf(rows[row].verdict).summary_label;
    EXPECT_EQ(table_.CellColour(at, status), (CellColours{*fill, ReadableTextRgb(*fill)})) << row;
    for (const int other : {0, 1, 3, 4}) EXPECT_EQ(table_.CellColour(at, other), std::nullopt);
  }
  EXPECT_EQ(table_.CellColour(-1, status), std::nullopt);
}

TEST(ReadableTextTest, DarkTextOnLightFillsAndLightTextOnDarkOnes) {
  const struct {
    std::uint32_t background, text;
  } cases[] = {{0xFFFFFF, 0x000000}, {0xFFC000, 0x000000}, {0x000000, 0xFFFFFF},
               {0x00008B, 0xFFFFFF}, {0xC00000, 0xFFFFFF}, {0x808080, 0x000000}};
  for (const auto& c : cases) EXPECT_EQ(ReadableTextRgb(c.background), c.text) << c.background;
}

// --- Sorting -----------------------------------------------------------------------------

class WindowTableOrderTest : public WindowTableTest {
 protected:
  // Ordinals 1 to 12; column 3 holds "b", "a", "" in turn.
  void SetUp() override {
    AppendNumbered(12);
    ids_ = table_.RowIds();
    for (int row = 0; row < 12; ++row) table_.SetCellText(row, 3, kThirds[row % 3]);
  }
  std::vector<Text> Ordinals() { return Column(0); }
  static constexpr const char* kThirds[] = {"b", "a", ""};
  std::vector<RowId> ids_;
};

struct OrderCase {
  const char* name;
  RowOrder order;
  std::vector<Text> ordinals;  // shown, top to bottom
};
KELVARO_PRINT_CASES_BY_NAME()

class WindowTableSortTest : public WindowTableOrderTest,
                            public ::testing::WithParamInterface<OrderCase> {};

TEST_P(WindowTableSortTest, ShowsTheRowsInTheOrderWithTiesInTheImportsOrder) {
  table_.SetOrder(GetParam().order);
  EXPECT_EQ(Ordinals(), GetParam().ordinals);
  EXPECT_EQ(control_.shown_order, GetParam().order);
  ASSERT_EQ(control_.reorders.size(), 1u);
  // Row r before the sort is row new_rows[r] after.
  const std::vector<int>& moved = control_.reorders[0];
  for (std::size_t before = 0; before < ids_.size(); ++before) {
    EXPECT_EQ(table_.IdAt(moved[before]), ids_[before]) << before;
    EXPECT_EQ(table_.RowIndexOf(ids_[before]), moved[before]) << before;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Orders, WindowTableSortTest,
    ::testing::Values(OrderCase{"OrdinalsAsNumbers",
                                {0, false},
                                {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}},
                      OrderCase{"OrdinalsDescending",
                                {0, true},
                                {"12", "11", "10", "9", "8", "7", "6", "5", "4", "3", "2", "1"}},
                      OrderCase{"TextEmptyFirst",
                                {3, false},
                                {"3", "6", "9", "12", "2", "5", "8", "11", "1", "4", "7", "10"}},
                      OrderCase{"TextDescending",
                                {3, true},
                                {"1", "4", "7", "10", "2", "5", "8", "11", "3", "6", "9", "12"}}),
    test::CaseName());

TEST_F(WindowTableOrderTest, TextsSortByCodePointsAndOrdinalsThatAreNoNumberAfterNumbers) {
  table_.ClearRows();
  // 有 (U+6709) before 现 (U+73B0), which GBK's bytes would put the other way round.
  const struct {
    const char* ordinal;
    const char8_t* latest;
  } rows[] = {{"10", u8"现行"}, {"x", u8"a"}, {"9", u8"有新标准"}, {"09", u8"Z"}};
  for (const auto& row : rows) {
    const int added = table_.AppendRow(row.ordinal);
    table_.SetCellText(added, 3, Gbk(row.latest));
  }
  table_.SetOrder({3, false});
  EXPECT_EQ(Ordinals(), (std::vector<Text>{"09", "x", "9", "10"}));
  table_.SetOrder({0, false});
  EXPECT_EQ(Ordinals(), (std::vector<Text>{"09", "9", "10", "x"}));
}

TEST_F(WindowTableOrderTest, WritesByIdReachTheirRowsWhichStayWhereTheyAreUntilTheNextSort) {
  table_.SetOrder({3, false});
  control_.changes.clear();
  // Ordinal 3 shows at the top with an empty cell; "z" would sort it last.
  table_.SetCellTextById(ids_[2], 3, "z");
  EXPECT_EQ(control_.changes, (std::vector<std::pair<int, int>>{{0, 0}}));
  EXPECT_EQ(table_.GetCellText(0, 3), "z");
  EXPECT_EQ(table_.GetCellText(0, 0), "3");
  table_.SetJudgementById(ids_[1], Failed(table_, ids_[1], 503));
  EXPECT_EQ(table_.CellToolTip(4, ColumnIndex(Column::kStatus)), "网站返回 503");
  table_.SetOrder({3, false});
  EXPECT_EQ(table_.GetCellText(11, 0), "3");
}

TEST_F(WindowTableOrderTest, RemovedRowsVanishCopiesFollowAndAnImportEndsTheSort) {
  table_.SetOrder({0, true});
  table_.DeleteRowById(ids_[11]);
  table_.DeleteRow(0);  // ordinal 11
  EXPECT_EQ(Ordinals(), (std::vector<Text>{"10", "9", "8", "7", "6", "5", "4", "3", "2", "1"}));
  std::thread worker([&] { table_.DeleteRowById(ids_[0]); });
  worker.join();
  pump_.PumpingWait(1000);
  EXPECT_EQ(Ordinals(), (std::vector<Text>{"10", "9", "8", "7", "6", "5", "4", "3", "2"}));
  std::vector<Text> shown;
  for (const RowStore::Row& row : table_.Snapshot()) shown.push_back(row.cells[0]);
  EXPECT_EQ(shown, Ordinals());
  table_.ClearRows();
  EXPECT_EQ(table_.order(), RowOrder{});
  EXPECT_EQ(control_.shown_order, RowOrder{});
}

// Sixteen workers use the table at once while the window's thread pumps.
TEST(WindowTableConcurrency, SixteenThreadsThroughTheWindowThread) {
  StdMessagePump pump;
  WindowTable table;
  test::GridControl control(table, pump);
  constexpr int kThreads = 16;
  constexpr int kRowsEach = 60;
  std::atomic<int> done{0};
  std::atomic<int> appended{0};
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::vector<RowId> mine;
      // Phase 1: rows are only added, so a row's index stays put.
      for (int i = 0; i < kRowsEach; ++i) {
        const Text ordinal = "t" + std::to_string(t) + "-" + std::to_string(i);
        const int row = table.AppendRow(ordinal);
        if (row < 0 || table.GetCellText(row, 0) != ordinal) ++mismatches;
        if (table.FindRow(ordinal, 0) != row) ++mismatches;
        const std::vector<RowId> ids = table.RowIds();
        if (row < 0 || static_cast<std::size_t>(row) >= ids.size()) {
          ++mismatches;
          continue;
        }
        const RowId id = ids[static_cast<std::size_t>(row)];
        mine.push_back(id);
        table.SetCellText(row, 2, "s" + ordinal);
        table.SetCellTextById(id, 3, "n" + ordinal);
        table.MakeRowVisibleById(id);
        if (table.GetCellTextById(id, 2) != "s" + ordinal) ++mismatches;
        if (table.RowIndexOf(id) != row) ++mismatches;
        table.HitTestCell(5, 5);
      }
      ++appended;
      while (appended.load() < kThreads) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      // Phase 2: rows move up as others are removed; ids keep addressing them.
      for (std::size_t i = 0; i < mine.size(); ++i) {
        if (i % 4 == 0) {
          table.DeleteRowById(mine[i]);
        } else if (table.GetCellTextById(mine[i], 3).empty()) {
          ++mismatches;
        }
      }
      ++done;
    });
  }
  while (done.load() < kThreads) pump.PumpingWait(1000);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(table.RowCount(), kThreads * (kRowsEach - kRowsEach / 4));
  for (int row = 0; row < table.RowCount(); ++row) {
    const Text ordinal = table.GetCellText(row, 0);
    EXPECT_NE(std::stoi(ordinal.substr(ordinal.find('-') + 1)) % 4, 0) << ordinal;
    EXPECT_EQ(table.GetCellText(row, 3), "n" + ordinal);
  }
  table.SetControl(nullptr);
}

// Workers write whole judgements while the window's thread draws the rows: every row it reads
// shows one judgement, its status word, numbers, fill and tooltip all of that one.
TEST(WindowTableConcurrency, TheWindowNeverDrawsHalfAJudgement) {
  StdMessagePump pump;
  WindowTable table;
  test::GridControl control(table, pump);
  constexpr int kRows = 12;
  constexpr int kWrites = 300;
  for (int i = 1; i <= kRows; ++i) table.AppendRow(std::to_string(i));
  const std::vector<RowId> ids = table.RowIds();
  const auto judgement = [](int k) {
    Judgement made;
    made.verdict = k % 2 == 0 ? Verdict::kSuperseded : Verdict::kNotInForce;
    made.reason = k % 2 == 0 ? RowReason{Outcome::kFound, 0, {}}
                             : RowReason{Outcome::kNotInForce, 0, {}, std::to_string(k)};
    made.record.number = "GB " + std::to_string(k);
    made.record.title = std::to_string(k);
    return made;
  };
  std::atomic<int> writing{2};
  std::vector<std::thread> workers;
  for (int w = 0; w < 2; ++w) {
    workers.emplace_back([&, w] {
      for (int k = 1 + w; k <= kWrites; k += 2) {
        table.SetJudgementById(ids[static_cast<std::size_t>(k % kRows)], judgement(k));
      }
      --writing;
    });
  }
  const int status = ColumnIndex(Column::kStatus);
  int mismatches = 0;
  while (writing.load() > 0) {
    pump.PumpingWait(200);
    for (int row = 0; row < table.ViewRowCount(); ++row) {
      const std::optional<TableRow> shown = table.ShownRow(row);
      if (!shown.has_value() || shown->judgement.verdict == Verdict::kNone) continue;
      const int k = std::stoi(GbkToUtf8(shown->judgement.record.title));
      mismatches += shown->judgement == judgement(k) ? 0 : 1;
      mismatches += shown->cells[status] == StatusWord(judgement(k).verdict) ? 0 : 1;
      mismatches += shown->cells[3] == "GB " + std::to_string(k) ? 0 : 1;
      (void)table.CellColour(row, status);
      (void)table.CellToolTip(row, status);
    }
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(mismatches, 0);
  for (int row = 0; row < table.ViewRowCount(); ++row) {
    const TableRow shown = *table.ShownRow(row);
    const int k = std::stoi(GbkToUtf8(shown.judgement.record.title));
    EXPECT_EQ(shown.judgement, judgement(k));
    const std::optional<std::uint32_t> fill = FillRgb(SpecOf(judgement(k).verdict).fill);
    EXPECT_EQ(table.CellColour(row, status), (CellColours{*fill, ReadableTextRgb(*fill)}));
    EXPECT_EQ(table.CellToolTip(row, status), k % 2 == 0
                                                  ? "网站上查到该编号的现行标准"
                                                  : "尚未实施：实施日期 " + std::to_string(k));
  }
  table.SetControl(nullptr);
}

// Workers write and remove their rows by id while the window's thread sorts again and again.
TEST(WindowTableConcurrency, SortingWhileWorkersWriteSendsNoResultToAnotherRow) {
  StdMessagePump pump;
  WindowTable table;
  test::GridControl control(table, pump);
  constexpr int kThreads = 8;
  constexpr int kRows = 400;
  for (int i = 1; i <= kRows; ++i) table.AppendRow(std::to_string(i));
  const std::vector<RowId> ids = table.RowIds();
  std::atomic<int> done{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = t; i < kRows; i += kThreads) {
        const RowId id = ids[static_cast<std::size_t>(i)];
        if (i % 5 == 0) {
          table.DeleteRowById(id);
          continue;
        }
        const Text ordinal = table.GetCellTextById(id, 0);
        table.SetCellTextById(id, 3, "n" + ordinal);
        table.SetCellTextById(id, 4, std::to_string(kRows - i));
        table.SetJudgementById(id, Failed(table, id, 500 + i % 7));
      }
      ++done;
    });
  }
  int sorts = 0;
  while (done.load() < kThreads || sorts < 6) {
    table.SetOrder({sorts % 5, sorts % 2 == 1});
    ++sorts;
    pump.PumpingWait(5);
  }
  for (std::thread& thread : threads) thread.join();
  table.SetOrder({4, false});
  ASSERT_EQ(table.RowCount(), kRows - kRows / 5);
  Text previous;
  for (int row = 0; row < table.RowCount(); ++row) {
    const Text ordinal = table.GetCellText(row, 0);
    EXPECT_EQ(table.GetCellText(row, 3), "n" + ordinal);
    const int i = std::stoi(ordinal) - 1;
    EXPECT_EQ(table.GetCellText(row, 4), std::to_string(kRows - i));
    EXPECT_EQ(table.JudgementById(table.IdAt(row)).reason.http_status, 500 + i % 7);
    EXPECT_LE(previous, table.GetCellText(row, 4));  // as texts
    previous = table.GetCellText(row, 4);
  }
  table.SetControl(nullptr);
}

// A worker's writes and removals by id neither wait for the window's thread nor reach the
// control one by one: it hears of neighbouring removed rows as one run.
TEST(WindowTableConcurrency, WorkersDoNotWaitForTheWindowAndRemovalsArriveInRuns) {
  StdMessagePump pump;
  WindowTable table;
  test::GridControl control(table, pump);
  for (int i = 1; i <= 10; ++i) table.AppendRow(std::to_string(i));
  const std::vector<RowId> ids = table.RowIds();
  std::atomic<int> still_there{0};
  // The window's thread dispatches nothing meanwhile: the worker finishes on its own.
  std::thread worker([&] {
    for (const int row : {1, 2, 3, 4, 7}) {
      table.SetCellTextById(ids[static_cast<std::size_t>(row)], 2, "x");
      table.DeleteRowById(ids[static_cast<std::size_t>(row)]);
      if (table.RowIndexOf(ids[static_cast<std::size_t>(row)]) >= 0) ++still_there;
    }
  });
  worker.join();
  EXPECT_EQ(still_there.load(), 0);
  EXPECT_EQ(table.ViewRowCount(), 10);  // not yet told
  pump.PumpingWait(1000);
  EXPECT_EQ(table.ViewRowCount(), 5);
  EXPECT_EQ(control.removals, (std::vector<std::pair<int, int>>{{7, 7}, {1, 4}}));
  std::vector<Text> ordinals;
  for (int row = 0; row < table.RowCount(); ++row) ordinals.push_back(table.GetCellText(row, 0));
  EXPECT_EQ(ordinals, (std::vector<Text>{"1", "6", "7", "9", "10"}));
  table.SetControl(nullptr);
}

}  // namespace
}  // namespace kelvaro
