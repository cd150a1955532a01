#include "ui/result_table_model.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "qt_test_app.h"
#include "text/encoding.h"
#include "ui/main_window.h"
#include "ui/qt_message_pump.h"

namespace kelvaro {
namespace {

using testing::TestApp;

class ResultTableModelTest : public ::testing::Test {
 protected:
  void SetUp() override { TestApp(); }
  void AppendNumbered(int count) {
    for (int i = 1; i <= count; ++i) model_.AppendRow(std::to_string(i));
  }
  std::vector<Text> Column(int column) {
    std::vector<Text> cells;
    for (int row = 0; row < model_.RowCount(); ++row)
      cells.push_back(model_.GetCellText(row, column));
    return cells;
  }

  ResultTableModel model_;
};

TEST_F(ResultTableModelTest, EmptyTable) {
  EXPECT_EQ(model_.RowCount(), 0);
  EXPECT_EQ(model_.rowCount(), 0);
  EXPECT_EQ(model_.columnCount(), 5);
  EXPECT_EQ(model_.FindRow(Gbk(u8"现行"), 2), -1);
  EXPECT_EQ(model_.FindRow("", 2), -1);
  EXPECT_EQ(model_.GetCellText(0, 0), "");
  EXPECT_TRUE(model_.RowIds().empty());
  model_.DeleteRow(0);
  model_.SetCellText(0, 0, "x");
  model_.MakeRowVisibleById(1);
  EXPECT_EQ(model_.RowCount(), 0);
}

TEST_F(ResultTableModelTest, AppendRowAddsAtTheBottomWithEmptyCells) {
  QSignalSpy inserted(&model_, &QAbstractItemModel::rowsInserted);
  EXPECT_EQ(model_.AppendRow("1"), 0);
  EXPECT_EQ(model_.AppendRow("2"), 1);
  EXPECT_EQ(model_.AppendRow("3"), 2);
  ASSERT_EQ(inserted.count(), 3);
  EXPECT_EQ(inserted[2][1].toInt(), 2);
  EXPECT_EQ(inserted[2][2].toInt(), 2);
  EXPECT_EQ(model_.RowCount(), 3);
  EXPECT_EQ(model_.rowCount(), 3);
  EXPECT_EQ(Column(0), (std::vector<Text>{"1", "2", "3"}));
  for (int column = 1; column < 5; ++column) {
    EXPECT_EQ(Column(column), (std::vector<Text>{"", "", ""}));
  }
}

TEST_F(ResultTableModelTest, GetCellTextOutOfRangeIsEmpty) {
  AppendNumbered(3);
  model_.SetCellText(1, 4, "title");
  const struct {
    int row, column;
    Text expected;
  } cases[] = {{-1, 0, ""}, {3, 0, ""},      {100, 4, ""}, {1, -1, ""},
               {1, 5, ""},  {1, 4, "title"}, {2, 0, "3"},  {0, 0, "1"}};
  for (const auto& c : cases) {
    EXPECT_EQ(model_.GetCellText(c.row, c.column), c.expected) << c.row << "," << c.column;
  }
}

TEST_F(ResultTableModelTest, SetCellTextChangesOneCellAndIgnoresMissingCells) {
  AppendNumbered(3);
  QSignalSpy changed(&model_, &QAbstractItemModel::dataChanged);
  const Text current = Gbk(u8"现行");
  model_.SetCellText(1, 2, current);
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed[0][0].value<QModelIndex>(), model_.index(1, 2));
  EXPECT_EQ(model_.GetCellText(1, 2), current);
  EXPECT_EQ(model_.data(model_.index(1, 2)).toString(), QString::fromUtf8("现行"));
  const struct { int row, column; } missing[] = {{-1, 2}, {3, 2}, {1, -1}, {1, 5}};
  for (const auto& m : missing) model_.SetCellText(m.row, m.column, "zzz");
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(model_.RowCount(), 3);
  for (int column = 0; column < 5; ++column) {
    for (const Text& cell : Column(column)) EXPECT_NE(cell, "zzz");
  }
  // Any length.
  const Text long_text(300000, 'n');
  model_.SetCellText(0, 4, long_text);
  EXPECT_EQ(model_.GetCellText(0, 4), long_text);
}

TEST_F(ResultTableModelTest, FindRowMatchesTheWholeTextOnly) {
  const Text current = Gbk(u8"现行");
  const Text superseded = Gbk(u8"有新标准");
  AppendNumbered(5);
  model_.SetCellText(0, 2, current + " ");
  model_.SetCellText(1, 2, superseded);
  model_.SetCellText(2, 2, current);
  model_.SetCellText(3, 2, current);
  model_.SetCellText(4, 1, "GB/T1-2000");
  const struct {
    Text text;
    int column;
    int expected;
  } cases[] = {{current, 2, 2},       {superseded, 2, 1}, {Gbk(u8"新标准"), 2, -1},
               {current + " ", 2, 0}, {current, 1, -1},   {"gb/t1-2000", 1, -1},
               {"GB/T1-2000", 1, 4},  {"GB/T1", 1, -1},   {"3", 0, 2},
               {current, 5, -1},      {current, -1, -1},  {"", 3, 0}};
  for (const auto& c : cases) EXPECT_EQ(model_.FindRow(c.text, c.column), c.expected);
}

TEST_F(ResultTableModelTest, DeleteRowMovesRowsUpAndKeepsOrdinals) {
  AppendNumbered(3);
  QSignalSpy removed(&model_, &QAbstractItemModel::rowsRemoved);
  model_.DeleteRow(-1);
  model_.DeleteRow(3);
  EXPECT_EQ(removed.count(), 0);
  model_.DeleteRow(1);
  ASSERT_EQ(removed.count(), 1);
  EXPECT_EQ(removed[0][1].toInt(), 1);
  EXPECT_EQ(Column(0), (std::vector<Text>{"1", "3"}));
  model_.DeleteRow(0);
  EXPECT_EQ(Column(0), (std::vector<Text>{"3"}));
  EXPECT_EQ(model_.rowCount(), 1);
}

TEST_F(ResultTableModelTest, ClearRowsRemovesEverything) {
  AppendNumbered(10);
  QSignalSpy reset(&model_, &QAbstractItemModel::modelReset);
  model_.ClearRows();
  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(model_.RowCount(), 0);
  EXPECT_EQ(model_.rowCount(), 0);
  EXPECT_EQ(model_.AppendRow("1"), 0);
}

TEST_F(ResultTableModelTest, RowsKeepTheirIdsWhileOthersAreRemoved) {
  AppendNumbered(4);
  const std::vector<RowId> ids = model_.RowIds();
  ASSERT_EQ(ids.size(), 4u);
  model_.DeleteRow(1);
  EXPECT_EQ(model_.RowIndexOf(ids[0]), 0);
  EXPECT_EQ(model_.RowIndexOf(ids[1]), -1);
  EXPECT_EQ(model_.RowIndexOf(ids[2]), 1);
  EXPECT_EQ(model_.RowIndexOf(0), -1);
  model_.SetCellTextById(ids[3], 3, "GB/T9-2020");
  EXPECT_EQ(model_.GetCellText(2, 3), "GB/T9-2020");
  EXPECT_EQ(model_.GetCellTextById(ids[3], 0), "4");
  model_.SetCellTextById(ids[1], 3, "lost");  // removed: nothing happens
  EXPECT_EQ(model_.GetCellTextById(ids[1], 0), "");
  EXPECT_EQ(model_.FindRow("lost", 3), -1);
  model_.DeleteRowById(ids[2]);
  EXPECT_EQ(Column(0), (std::vector<Text>{"1", "4"}));
  model_.DeleteRowById(ids[2]);
  EXPECT_EQ(model_.RowCount(), 2);
}

TEST_F(ResultTableModelTest, ShowsCellsAsUnicodeWithTheColumnsAlignment) {
  model_.AppendRow("1");
  model_.SetCellText(0, 4, Gbk(u8"建筑制图标准"));
  EXPECT_EQ(model_.data(model_.index(0, 4)).toString(), QString::fromUtf8("建筑制图标准"));
  EXPECT_EQ(model_.data(model_.index(0, 0)).toString(), QStringLiteral("1"));
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
  EXPECT_EQ(model_.data(model_.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>(), left);
  for (int column = 1; column < 5; ++column) {
    EXPECT_EQ(model_.data(model_.index(0, column), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::Alignment(Qt::AlignCenter));
  }
  EXPECT_FALSE(model_.flags(model_.index(0, 1)).testFlag(Qt::ItemIsEditable));
}

TEST_F(ResultTableModelTest, HundredThousandRowsAppendAndReadBack) {
  for (int i = 1; i <= 100000; ++i) model_.AppendRow(std::to_string(i));
  EXPECT_EQ(model_.RowCount(), 100000);
  EXPECT_EQ(model_.GetCellText(99999, 0), "100000");
  EXPECT_EQ(model_.FindRow("77777", 0), 77776);
}

class ResultTableViewTest : public ResultTableModelTest {
 protected:
  void SetUp() override {
    ResultTableModelTest::SetUp();
    window_ = std::make_unique<MainWindow>(&model_);
    model_.SetView(window_->result_view());
    window_->tab_control()->setCurrentIndex(MainWindow::kBatchPage);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  QTreeView* view() { return window_->result_view(); }

  std::unique_ptr<MainWindow> window_;
};

TEST_F(ResultTableViewTest, MakeRowVisibleScrollsAndHitTestFindsTheCell) {
  AppendNumbered(300);
  EXPECT_EQ(view()->verticalScrollBar()->value(), 0);
  model_.MakeRowVisibleById(model_.RowIds().at(250));
  QCoreApplication::processEvents();
  EXPECT_GT(view()->verticalScrollBar()->value(), 0);
  const QRect rect = view()->visualRect(model_.index(250, 2));
  EXPECT_TRUE(view()->viewport()->rect().contains(rect.center()));
  const CellHit hit = model_.HitTestCell(rect.center().x(), rect.center().y());
  EXPECT_EQ(hit.row, 250);
  EXPECT_EQ(hit.column, 2);
  // Row 0 has scrolled away: a point above the viewport hits nothing.
  model_.MakeRowVisibleById(0);
  EXPECT_GT(view()->verticalScrollBar()->value(), 0);
}

TEST_F(ResultTableViewTest, HitTestColumnsFollowTheHeaderAndMissesBelowTheLastRow) {
  AppendNumbered(3);
  QCoreApplication::processEvents();
  const int row_height = view()->visualRect(model_.index(0, 0)).height();
  ASSERT_GT(row_height, 0);
  const int y = row_height / 2;
  const struct {
    int x;
    int column;
  } cases[] = {{1, 0}, {39, 0}, {41, 1}, {239, 1}, {241, 2}, {321, 3}, {521, 4}, {899, 4}};
  for (const auto& c : cases) {
    const CellHit hit = model_.HitTestCell(c.x, y + row_height);
    EXPECT_EQ(hit.row, 1) << c.x;
    EXPECT_EQ(hit.column, c.column) << c.x;
  }
  const CellHit below = model_.HitTestCell(250, row_height * 3 + 40);
  EXPECT_EQ(below.row, -1);
  EXPECT_EQ(below.column, 2);
  const CellHit far = model_.HitTestCell(10, 600);
  EXPECT_EQ(far.row, -1);
  EXPECT_EQ(far.column, 0);
}

TEST_F(ResultTableViewTest, HitTestOnAHorizontallyScrolledTable) {
  AppendNumbered(3);
  QCoreApplication::processEvents();
  QScrollBar* bar = view()->horizontalScrollBar();
  ASSERT_GT(bar->maximum(), 0);  // 920 px of columns in a narrower viewport
  bar->setValue(bar->maximum());
  QCoreApplication::processEvents();
  const QRect rect = view()->visualRect(model_.index(2, 4));
  const CellHit hit = model_.HitTestCell(rect.center().x(), rect.center().y());
  EXPECT_EQ(hit.row, 2);
  EXPECT_EQ(hit.column, 4);
  // x = 30 lies in column 0 unscrolled, in column 0 no more once scrolled.
  EXPECT_NE(model_.HitTestCell(30, rect.center().y()).column, 0);
}

TEST_F(ResultTableViewTest, HundredThousandRowsWhileShown) {
  for (int i = 1; i <= 100000; ++i) model_.AppendRow(std::to_string(i));
  QCoreApplication::processEvents();
  model_.MakeRowVisibleById(model_.RowIds().back());
  QCoreApplication::processEvents();
  const QRect last = view()->visualRect(model_.index(99999, 1));
  ASSERT_TRUE(view()->viewport()->rect().contains(last.center()));
  EXPECT_EQ(model_.HitTestCell(last.center().x(), last.center().y()).row, 99999);
  model_.ClearRows();
  QCoreApplication::processEvents();
  EXPECT_EQ(view()->model()->rowCount(), 0);
}

// Sixteen workers use the table at once while the window's thread pumps.
TEST(ResultTableModelConcurrencyQt, SixteenThreadsThroughTheWindowThread) {
  TestApp();
  ResultTableModel model;
  QtMessagePump pump;
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
        const int row = model.AppendRow(ordinal);
        if (row < 0 || model.GetCellText(row, 0) != ordinal) ++mismatches;
        if (model.FindRow(ordinal, 0) != row) ++mismatches;
        const std::vector<RowId> ids = model.RowIds();
        if (row < 0 || static_cast<size_t>(row) >= ids.size()) {
          ++mismatches;
          continue;
        }
        const RowId id = ids[static_cast<size_t>(row)];
        mine.push_back(id);
        model.SetCellText(row, 2, "s" + ordinal);
        model.SetCellTextById(id, 3, "n" + ordinal);
        model.MakeRowVisibleById(id);
        if (model.GetCellTextById(id, 2) != "s" + ordinal) ++mismatches;
        if (model.RowIndexOf(id) != row) ++mismatches;
        if (model.RowCount() <= row) ++mismatches;
        model.HitTestCell(5, 5);
      }
      ++appended;
      while (appended.load() < kThreads) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      // Phase 2: rows move up as others are removed; ids keep addressing them.
      for (size_t i = 0; i < mine.size(); ++i) {
        if (i % 4 == 0) {
          model.DeleteRowById(mine[i]);
        } else if (model.GetCellTextById(mine[i], 3).empty()) {
          ++mismatches;
        }
      }
      ++done;
    });
  }
  while (done.load() < kThreads) pump.PumpingWait(1000);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(model.RowCount(), kThreads * (kRowsEach - kRowsEach / 4));
  EXPECT_EQ(model.rowCount(), model.RowCount());
  for (int row = 0; row < model.RowCount(); ++row) {
    const Text ordinal = model.GetCellText(row, 0);
    const int i = std::stoi(ordinal.substr(ordinal.find('-') + 1));
    EXPECT_NE(i % 4, 0) << ordinal;
    EXPECT_EQ(model.GetCellText(row, 2), "s" + ordinal);
    EXPECT_EQ(model.GetCellText(row, 3), "n" + ordinal);
  }
}

}  // namespace
// A worker's writes and removals by id neither wait for the window's thread nor reach the
// view one by one: the view hears of neighbouring removed rows as one run.
TEST(ResultTableModelConcurrencyQt, WorkersDoNotWaitForTheWindowAndRemovalsReachTheViewInRuns) {
  TestApp();
  ResultTableModel model;
  QtMessagePump pump;
  for (int i = 1; i <= 10; ++i) model.AppendRow(std::to_string(i));
  const std::vector<RowId> ids = model.RowIds();
  QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
  std::atomic<bool> finished{false};
  std::atomic<int> still_there{0};
  std::thread worker([&] {
    for (const int row : {1, 2, 3, 4, 7}) {
      model.SetCellTextById(ids[static_cast<std::size_t>(row)], 2, "x");
      model.DeleteRowById(ids[static_cast<std::size_t>(row)]);
      if (model.RowIndexOf(ids[static_cast<std::size_t>(row)]) >= 0) ++still_there;
    }
    finished = true;
  });
  // The window's thread dispatches nothing meanwhile: the worker finishes on its own.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!finished.load() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(finished.load());
  worker.join();
  EXPECT_EQ(still_there.load(), 0);
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (model.rowCount() != 5 && std::chrono::steady_clock::now() < until) pump.PumpingWait(5000);
  ASSERT_EQ(model.rowCount(), 5);
  EXPECT_EQ(removed.count(), 2);
  std::vector<Text> ordinals;
  for (int row = 0; row < model.rowCount(); ++row) ordinals.push_back(model.GetCellText(row, 0));
  EXPECT_EQ(ordinals, (std::vector<Text>{"1", "6", "7", "9", "10"}));
}

}  // namespace kelvaro
