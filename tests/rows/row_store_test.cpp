#include "rows/row_store.h"
#include "rows/columns.h"
#include "support/named_case.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

namespace kelvaro {
namespace {

const Text kCurrent = "\xCF\xD6\xD0\xD0";                     // 现行
const Text kCurrentSpace = "\xCF\xD6\xD0\xD0 ";               // "现行 "
const Text kSuperseded = "\xD3\xD0\xD0\xC2\xB1\xEA\xD7\xBC";  // 有新标准
const Text kUnknown = "\xCE\xB4\xD6\xAA";                     // 未知

std::vector<Text> Column(RowStore& store, int column) {
  std::vector<Text> texts;
  for (int r = 0; r < store.RowCount(); ++r) texts.push_back(store.GetCellText(r, column));
  return texts;
}

// Three imported rows: ordinals 1..3, numbers, statuses.
class RowStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 1; i <= 3; ++i) {
      const int r = store_.AppendRow(std::to_string(i));
      ASSERT_EQ(r, i - 1);
      store_.SetCellText(r, 1, "GB/T" + std::to_string(50000 + i) + "-2010");
    }
    store_.SetCellText(0, 2, kCurrent);
    store_.SetCellText(1, 2, kSuperseded);
    store_.SetCellText(2, 2, kCurrentSpace);
  }
  RowStore store_;
};

TEST(RowStoreEmpty, HasNoRowsAndFindsNothing) {
  RowStore store;
  EXPECT_EQ(store.RowCount(), 0);
  EXPECT_EQ(store.FindRow(kCurrent, 2), -1);
  EXPECT_EQ(store.FindRow("", 2), -1);
  EXPECT_EQ(store.GetCellText(0, 0), "");
  EXPECT_TRUE(store.RowIds().empty());
  EXPECT_TRUE(store.Snapshot().empty());
  store.DeleteRow(0);
  store.SetCellText(0, 0, "x");
  EXPECT_EQ(store.RowCount(), 0);
}

TEST(RowStoreEmpty, AppendReturnsIndexAndLeavesOtherCellsEmpty) {
  RowStore store;
  EXPECT_EQ(store.AppendRow("7"), 0);
  EXPECT_EQ(store.AppendRow("8"), 1);
  EXPECT_EQ(store.RowCount(), 2);
  EXPECT_EQ(store.GetCellText(1, 0), "8");
  for (int c = 1; c < kColumnCount; ++c) EXPECT_EQ(store.GetCellText(1, c), "") << c;
}

struct CellCase {
  int row;
  int column;
  Text expected;
};

void PrintTo(const CellCase& c, std::ostream* os) { *os << c.row << "," << c.column; }

class RowStoreGetCell : public RowStoreTest, public ::testing::WithParamInterface<CellCase> {};

TEST_P(RowStoreGetCell, ReadsWholeTextOrNothingOffRange) {
  const CellCase& c = GetParam();
  EXPECT_EQ(store_.GetCellText(c.row, c.column), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RowStoreGetCell,
    ::testing::Values(CellCase{0, 0, "1"}, CellCase{2, 0, "3"}, CellCase{1, 1, "GB/T50002-2010"},
                      CellCase{0, 2, kCurrent}, CellCase{2, 2, kCurrentSpace}, CellCase{1, 3, ""},
                      CellCase{1, 4, ""},  // not yet queried
                      CellCase{-1, 0, ""}, CellCase{3, 0, ""}, CellCase{INT_MIN, 0, ""},
                      CellCase{INT_MAX, 1, ""}, CellCase{0, -1, ""}, CellCase{0, 5, ""},
                      CellCase{0, INT_MAX, ""}));

struct SetCase {
  int row;
  int column;
};

void PrintTo(const SetCase& c, std::ostream* os) { *os << c.row << "," << c.column; }

class RowStoreSetOffRange : public RowStoreTest, public ::testing::WithParamInterface<SetCase> {};

TEST_P(RowStoreSetOffRange, ChangesNothing) {
  const auto before = store_.Snapshot();
  store_.SetCellText(GetParam().row, GetParam().column, "changed");
  const auto after = store_.Snapshot();
  ASSERT_EQ(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) {
    EXPECT_EQ(after[i].id, before[i].id);
    EXPECT_EQ(after[i].cells, before[i].cells);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RowStoreSetOffRange,
                         ::testing::Values(SetCase{-1, 0}, SetCase{3, 2}, SetCase{INT_MIN, 1},
                                           SetCase{0, -1}, SetCase{0, 5}, SetCase{1, 99}));

TEST_F(RowStoreTest, SetReplacesOnlyThatCell) {
  const Text long_text(100000, 'A');
  store_.SetCellText(1, 4, long_text);
  EXPECT_EQ(store_.GetCellText(1, 4), long_text);
  store_.SetCellText(1, 4, "");
  EXPECT_EQ(store_.GetCellText(1, 4), "");
  EXPECT_EQ(store_.GetCellText(1, 2), kSuperseded);
  EXPECT_EQ(store_.GetCellText(0, 4), "");
}

struct FindCase {
  Text text;
  int column;
  int expected;
};

void PrintTo(const FindCase& c, std::ostream* os) {
  *os << c.text.size() << " bytes in column " << c.column;
}

class RowStoreFind : public RowStoreTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(RowStoreFind, MatchesWholeTextFromTheTop) {
  EXPECT_EQ(store_.FindRow(GetParam().text, GetParam().column), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, RowStoreFind,
                         ::testing::Values(FindCase{kCurrent, 2, 0}, FindCase{kSuperseded, 2, 1},
                                           FindCase{kCurrentSpace, 2, 2}, FindCase{kUnknown, 2, -1},
                                           FindCase{"\xCF\xD6", 2, -1},  // a prefix is not a match
                                           FindCase{"gb/t50001-2010", 1, -1},  // case-sensitive
                                           FindCase{"GB/T50001-2010", 1, 0}, FindCase{"3", 0, 2},
                                           FindCase{"", 3, 0},  // empty cells match the empty text
                                           FindCase{kCurrent, 1, -1}, FindCase{kCurrent, -1, -1},
                                           FindCase{kCurrent, 5, -1}));

TEST_F(RowStoreTest, FindReturnsTheFirstOfSeveralMatches) {
  store_.SetCellText(1, 2, kCurrent);
  store_.SetCellText(2, 2, kCurrent);
  EXPECT_EQ(store_.FindRow(kCurrent, 2), 0);
  store_.DeleteRow(0);
  EXPECT_EQ(store_.FindRow(kCurrent, 2), 0);
  EXPECT_EQ(store_.GetCellText(0, 0), "2");
}

TEST_F(RowStoreTest, DeletingTheMiddleRowMovesTheRestUpAndKeepsOrdinals) {
  store_.DeleteRow(1);
  EXPECT_EQ(store_.RowCount(), 2);
  EXPECT_EQ(Column(store_, 0), (std::vector<Text>{"1", "3"}));
  EXPECT_EQ(Column(store_, 2), (std::vector<Text>{kCurrent, kCurrentSpace}));
  EXPECT_EQ(store_.GetCellText(1, 1), "GB/T50003-2010");
  EXPECT_EQ(store_.GetCellText(2, 0), "");
  // A new row continues at the bottom; the ordinal is whatever it is given.
  EXPECT_EQ(store_.AppendRow("4"), 2);
  EXPECT_EQ(Column(store_, 0), (std::vector<Text>{"1", "3", "4"}));
}

class RowStoreDeleteOffRange : public RowStoreTest, public ::testing::WithParamInterface<int> {};

TEST_P(RowStoreDeleteOffRange, ChangesNothing) {
  store_.DeleteRow(GetParam());
  EXPECT_EQ(Column(store_, 0), (std::vector<Text>{"1", "2", "3"}));
}

INSTANTIATE_TEST_SUITE_P(Cases, RowStoreDeleteOffRange,
                         ::testing::Values(-1, 3, 4, INT_MIN, INT_MAX));

TEST_F(RowStoreTest, ClearRemovesEverythingAndIdsAreNotReused) {
  const auto old_ids = store_.RowIds();
  store_.ClearRows();
  EXPECT_EQ(store_.RowCount(), 0);
  EXPECT_EQ(store_.FindRow(kCurrent, 2), -1);
  for (RowId id : old_ids) EXPECT_EQ(store_.RowIndexOf(id), -1);
  store_.AppendRow("1");
  const RowId fresh = store_.RowIds().at(0);
  EXPECT_TRUE(std::find(old_ids.begin(), old_ids.end(), fresh) == old_ids.end());
  EXPECT_EQ(store_.GetCellTextById(old_ids[0], 0), "");
}

TEST_F(RowStoreTest, NoViewMeansNothingToScrollOrHit) {
  const auto before = store_.Snapshot();
  store_.MakeRowVisibleById(store_.RowIds()[0]);
  EXPECT_EQ(store_.Snapshot().size(), before.size());
  for (auto [x, y] : {std::pair{0, 0}, std::pair{10, 30}, std::pair{-5, -5}}) {
    const CellHit hit = store_.HitTestCell(x, y);
    EXPECT_EQ(hit.row, -1);
    EXPECT_EQ(hit.column, -1);
  }
}

TEST_F(RowStoreTest, IdsAscendAndSurviveOtherRowsRemoval) {
  const auto ids = store_.RowIds();
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_NE(ids[0], 0u);
  EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
  EXPECT_LT(ids[0], ids[1]);
  EXPECT_LT(ids[1], ids[2]);

  store_.DeleteRow(0);
  EXPECT_EQ(store_.RowIndexOf(ids[0]), -1);
  EXPECT_EQ(store_.RowIndexOf(ids[1]), 0);
  EXPECT_EQ(store_.RowIndexOf(ids[2]), 1);
  EXPECT_EQ(store_.GetCellTextById(ids[2], 0), "3");
  EXPECT_EQ(store_.GetCellTextById(ids[0], 0), "");

  store_.SetCellTextById(ids[2], 3, "GB/T50003-2020");
  EXPECT_EQ(store_.GetCellText(1, 3), "GB/T50003-2020");
  // Writes to a removed row go nowhere; they never land in another row.
  store_.SetCellTextById(ids[0], 3, "lost");
  EXPECT_EQ(Column(store_, 3), (std::vector<Text>{"", "GB/T50003-2020"}));
  store_.SetCellTextById(ids[1], 7, "bad column");
  store_.SetCellTextById(0, 1, "no row");
  EXPECT_EQ(store_.GetCellTextById(ids[1], 1), "GB/T50002-2010");
  EXPECT_EQ(store_.GetCellTextById(ids[1], -1), "");

  store_.DeleteRowById(ids[0]);  // already gone: nothing
  EXPECT_EQ(store_.RowCount(), 2);
  store_.DeleteRowById(ids[2]);
  EXPECT_EQ(Column(store_, 0), (std::vector<Text>{"2"}));
  EXPECT_EQ(store_.RowIndexOf(0), -1);
  EXPECT_EQ(store_.RowIndexOf(ids[2] + 100), -1);
}

TEST_F(RowStoreTest, SnapshotCopiesEveryRowWithItsId) {
  const auto snapshot = store_.Snapshot();
  const auto ids = store_.RowIds();
  ASSERT_EQ(snapshot.size(), 3u);
  for (std::size_t i = 0; i < snapshot.size(); ++i) {
    EXPECT_EQ(snapshot[i].id, ids[i]);
    for (int c = 0; c < kColumnCount; ++c) {
      EXPECT_EQ(snapshot[i].cells[static_cast<std::size_t>(c)],
                store_.GetCellText(static_cast<int>(i), c));
    }
  }
  store_.SetCellText(0, 4, "later");
  EXPECT_EQ(snapshot[0].cells[4], "");  // a copy, not a view
}

TEST(RowStoreLarge, TwentyThousandRowsKeepTheirIdsAndOrder) {
  RowStore store;
  // Enough rows that an index slip shows, few enough for the sanitizer builds.
  constexpr int kRows = 20000;
  for (int i = 0; i < kRows; ++i) ASSERT_EQ(store.AppendRow(std::to_string(i + 1)), i);
  EXPECT_EQ(store.RowCount(), kRows);
  const auto ids = store.RowIds();
  ASSERT_EQ(ids.size(), static_cast<std::size_t>(kRows));
  // Remove every third row by id; the others are still found by id at their new index.
  for (int i = 0; i < kRows; i += 3) store.DeleteRowById(ids[static_cast<std::size_t>(i)]);
  int expected_index = 0;
  for (int i = 0; i < kRows; ++i) {
    const RowId id = ids[static_cast<std::size_t>(i)];
    if (i % 3 == 0) {
      ASSERT_EQ(store.RowIndexOf(id), -1) << i;
    } else {
      ASSERT_EQ(store.RowIndexOf(id), expected_index) << i;
      ASSERT_EQ(store.GetCellText(expected_index, 0), std::to_string(i + 1));
      ++expected_index;
    }
  }
  EXPECT_EQ(store.RowCount(), expected_index);
  // Row kRows - 1 was removed (its index, kRows - 2, is a multiple of 3); kRows is the
  // last one left.
  static_assert((kRows - 2) % 3 == 0);
  EXPECT_EQ(store.FindRow(std::to_string(kRows - 1), 0), -1);
  EXPECT_EQ(store.FindRow(std::to_string(kRows), 0), expected_index - 1);
}

// 16 threads, each owning its rows: appends, writes by id and by index, reads, finds
// and deletions interleave; every write must be there at the end.
TEST(RowStoreConcurrency, ParallelOperationsLoseNoWrite) {
  RowStore store;
  constexpr int kThreads = 16;
  constexpr int kRowsPerThread = 150;
  std::vector<std::vector<RowId>> kept(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&store, &kept, t] {
      std::vector<RowId> mine;
      for (int k = 0; k < kRowsPerThread; ++k) {
        const Text ordinal = "t" + std::to_string(t) + "-" + std::to_string(k);
        store.AppendRow(ordinal);
        // Our row is the one whose column 0 holds our unique ordinal.
        const int index = store.FindRow(ordinal, 0);
        ASSERT_GE(index, 0);
        const auto ids = store.RowIds();
        RowId id = 0;
        // Searched from the bottom: only rows appended after ours lie below it.
        for (auto it = ids.rbegin(); it != ids.rend() && id == 0; ++it) {
          if (store.GetCellTextById(*it, 0) == ordinal) id = *it;
        }
        ASSERT_NE(id, 0u);
        store.SetCellTextById(id, 1, ordinal + "/number");
        store.SetCellTextById(id, 2, ordinal + "/status");
        // Index-based reads of other rows and of rows past the end must stay harmless.
        (void)store.GetCellText(store.RowCount(), 0);
        (void)store.GetCellText(index, 3);
        store.DeleteRow(-1);
        if (k % 2 == 1) {
          store.DeleteRowById(id);
          ASSERT_EQ(store.RowIndexOf(id), -1);
        } else {
          mine.push_back(id);
        }
      }
      for (RowId id : mine) store.SetCellTextById(id, 4, "done");
      kept[static_cast<std::size_t>(t)] = std::move(mine);
    });
  }
  for (auto& thread : threads) thread.join();

  std::size_t total = 0;
  for (const auto& ids : kept) total += ids.size();
  EXPECT_EQ(store.RowCount(), static_cast<int>(total));
  const auto snapshot = store.Snapshot();
  EXPECT_TRUE(std::is_sorted(snapshot.begin(), snapshot.end(),
                             [](const auto& a, const auto& b) { return a.id < b.id; }));
  for (const auto& ids : kept) {
    for (RowId id : ids) {
      const Text ordinal = store.GetCellTextById(id, 0);
      ASSERT_FALSE(ordinal.empty());
      EXPECT_EQ(store.GetCellTextById(id, 1), ordinal + "/number");
      EXPECT_EQ(store.GetCellTextById(id, 2), ordinal + "/status");
      EXPECT_EQ(store.GetCellTextById(id, 4), "done");
    }
  }
}

// A judgement whose parts all tell `k`: a reader that sees parts of two tells them apart.
Judgement NumberedJudgement(int k) {
  Judgement judgement;
  const std::string n = std::to_string(k);
  judgement.verdict = k % 2 == 0 ? Verdict::kCurrent : Verdict::kFailed;
  judgement.reason = {k % 2 == 0 ? Outcome::kFound : Outcome::kHttpError, k % 2 == 0 ? 0 : k, {}};
  judgement.record = {"GB " + n, "title " + n, "2010-" + n, "dept " + n, kCurrent};
  judgement.notes.site_edition = n;
  judgement.site = "site " + n;
  judgement.address = "address " + n;
  judgement.read_at = n;
  return judgement;
}

// The parts of a row's judgement tell one `k`, and its cells show that judgement.
void ExpectWhole(const TableRow& row) {
  const Judgement& judgement = row.judgement;
  if (judgement.verdict == Verdict::kNone) {
    EXPECT_EQ(judgement, Judgement{});
    EXPECT_EQ(row.cells[2], Text());
    return;
  }
  const int k = std::stoi(judgement.read_at);
  EXPECT_EQ(judgement, NumberedJudgement(k));
  EXPECT_EQ(row.cells[2], StatusWord(judgement.verdict));
  EXPECT_EQ(row.cells[3], judgement.record.number);
  EXPECT_EQ(row.cells[4], judgement.record.title);
}

TEST_F(RowStoreTest, AJudgementIsStoredWholeWithTheCellsItShows) {
  const std::vector<RowId> ids = store_.RowIds();
  const Judgement judgement = NumberedJudgement(4);
  store_.SetJudgementById(ids[1], judgement);
  EXPECT_EQ(store_.JudgementById(ids[1]), judgement);
  EXPECT_EQ(Column(store_, 2), (std::vector<Text>{kCurrent, kCurrent, kCurrentSpace}));
  EXPECT_EQ(store_.GetCellTextById(ids[1], 3), "GB 4");
  EXPECT_EQ(store_.GetCellTextById(ids[1], 4), "title 4");
  // The number and ordinal cells are the import's.
  EXPECT_EQ(store_.GetCellTextById(ids[1], 0), "2");
  EXPECT_EQ(store_.GetCellTextById(ids[1], 1), "GB/T50002-2010");
  ExpectWhole(*store_.RowById(ids[1]));
  // A later judgement replaces the whole of the earlier one.
  store_.SetJudgementById(ids[1], NumberedJudgement(7));
  EXPECT_EQ(store_.JudgementById(ids[1]), NumberedJudgement(7));
  EXPECT_EQ(store_.GetCellTextById(ids[1], 2), kUnknown);
  // Other rows, removed rows and no row hold nothing.
  EXPECT_EQ(store_.JudgementById(ids[0]), Judgement{});
  store_.DeleteRowById(ids[2]);
  store_.SetJudgementById(ids[2], judgement);
  EXPECT_EQ(store_.JudgementById(ids[2]), Judgement{});
  EXPECT_EQ(store_.JudgementById(0), Judgement{});
}

// A withdrawn standard's successor is what its number and title cells show.
TEST_F(RowStoreTest, AWithdrawnRowShowsItsSuccessor) {
  const std::vector<RowId> ids = store_.RowIds();
  Judgement judgement;
  judgement.verdict = Verdict::kWithdrawn;
  ListedStandard successor;
  successor.number = "GB 50016-2014";
  successor.title = "t";
  judgement.replaced_by = successor;
  store_.SetJudgementById(ids[0], judgement);
  EXPECT_EQ(store_.GetCellTextById(ids[0], 2), kUnknown);
  EXPECT_EQ(store_.GetCellTextById(ids[0], 3), "GB 50016-2014");
  EXPECT_EQ(store_.GetCellTextById(ids[0], 4), "t");
}

// Workers write judgements into their rows while readers take snapshots and read rows by id:
// no reader ever sees a row holding parts of two judgements, or cells of another.
TEST(RowStoreConcurrency, ReadersNeverSeeHalfAJudgement) {
  RowStore store;
  constexpr int kRows = 24;
  constexpr int kWriters = 4;
  constexpr int kWrites = 2000;
  std::vector<RowId> ids;
  for (int i = 0; i < kRows; ++i) ids.push_back(store.AppendRowWithId(std::to_string(i)));
  std::atomic<int> writing{kWriters};
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      for (int k = 1; k <= kWrites; ++k) {
        store.SetJudgementById(ids[static_cast<std::size_t>((k * 7 + w) % kRows)],
                               NumberedJudgement(k * kWriters + w));
      }
      writing.fetch_sub(1);
    });
  }
  std::atomic<int> snapshots{0};
  for (int r = 0; r < 2; ++r) {
    threads.emplace_back([&, r] {
      do {
        if (r == 0) {
          for (const TableRow& row : store.Snapshot()) ExpectWhole(row);
          snapshots.fetch_add(1);
        } else {
          for (const RowId id : ids) {
            if (const std::optional<TableRow> row = store.RowById(id)) ExpectWhole(*row);
          }
        }
      } while (writing.load() > 0);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_GT(snapshots.load(), 0);
  for (const TableRow& row : store.Snapshot()) {
    ExpectWhole(row);
    EXPECT_NE(row.judgement.verdict, Verdict::kNone);
  }
}

// A cell as the user sees it: column 1 as written while its GBK cell is what the import made
// of that text; every other cell its GBK text.
struct ShownCase {
  const char* name;
  Text cell;
  int column;
  std::string shown;
};
KELVARO_PRINT_CASES_BY_NAME()

class CellShown : public ::testing::TestWithParam<ShownCase> {};

TEST_P(CellShown, ByCellUtf8AndTheStore) {
  RowStore store;
  const RowId id = store.AppendRowWithId("1");
  store.SetCellTextById(id, GetParam().column, GetParam().cell);
  RowSource source;
  source.number_utf8 = "한국어 GB 1−2010";
  store.SetSourceById(id, source);
  EXPECT_EQ(CellUtf8(*store.RowById(id), GetParam().column), GetParam().shown);
  EXPECT_EQ(store.GetCellUtf8(0, GetParam().column), GetParam().shown);
  EXPECT_EQ(store.CellUtf8ById(id, GetParam().column), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CellShown,
    ::testing::Values(ShownCase{"NumberAsWritten", "??? GB 1-2010", 1, "한국어 GB 1−2010"},
                      ShownCase{"CellChangedSinceTheImport", "GB 2-2010", 1, "GB 2-2010"},
                      ShownCase{"OtherColumn", kCurrent, 2, "现行"},
                      ShownCase{"ColumnOutOfRange", "", kColumnCount, ""}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
