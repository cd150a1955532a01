#include "qt/result_table_model.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QTreeView>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "qt_test_app.h"
#include "text/encoding.h"
#include "qt/main_window.h"
#include "qt/qt_message_pump.h"

namespace kelvaro {
namespace {

using testing::TestApp;

class ResultTableModelTest : public ::testing::Test {
 protected:
  void SetUp() override { TestApp(); }
  void AppendNumbered(int count) {
    for (int i = 1; i <= count; ++i) table().AppendRow(std::to_string(i));
  }
  std::vector<Text> Column(int column) {
    std::vector<Text> cells;
    for (int row = 0; row < table().RowCount(); ++row)
      cells.push_back(table().GetCellText(row, column));
    return cells;
  }

  WindowTable& table() { return model_.table(); }

  QtMessagePump pump_;
  ResultTableModel model_;
};

TEST_F(ResultTableModelTest, RowsReachTheViewAsQtModelsAnnounceThem) {
  QSignalSpy inserted(&model_, &QAbstractItemModel::rowsInserted);
  QSignalSpy removed(&model_, &QAbstractItemModel::rowsRemoved);
  QSignalSpy changed(&model_, &QAbstractItemModel::dataChanged);
  QSignalSpy reset(&model_, &QAbstractItemModel::modelReset);
  AppendNumbered(3);
  ASSERT_EQ(inserted.count(), 3);
  EXPECT_EQ(inserted[2][1].toInt(), 2);
  table().SetCellText(1, 2, Gbk(u8"现行"));
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed[0][0].value<QModelIndex>().row(), 1);
  table().DeleteRow(1);
  ASSERT_EQ(removed.count(), 1);
  EXPECT_EQ(removed[0][1].toInt(), 1);
  EXPECT_EQ(model_.rowCount(), 2);
  table().ClearRows();
  EXPECT_EQ(reset.count(), 1);
  EXPECT_EQ(model_.rowCount(), 0);
}

TEST_F(ResultTableModelTest, ShowsCellsAsUnicodeWithTheColumnsAlignment) {
  table().AppendRow("1");
  table().SetCellText(0, 4, Gbk(u8"建筑制图标准"));
  EXPECT_EQ(model_.data(model_.index(0, 4)).toString(), QString::fromUtf8("建筑制图标准"));
  EXPECT_EQ(model_.data(model_.index(0, 0)).toString(), QStringLiteral("1"));
  // Column 1 as written, where GBK cannot hold it.
  RowSource source;
  source.number_utf8 = "GB 50016−2014 한국어";
  table().SetCellText(0, 1, Utf8ToGbk(source.number_utf8));
  table().SetSourceById(table().RowIds()[0], source);
  EXPECT_EQ(model_.data(model_.index(0, 1)).toString(), QString::fromUtf8("GB 50016−2014 한국어"));
  const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
  EXPECT_EQ(model_.data(model_.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>(), left);
  for (int column = 1; column < 5; ++column) {
    EXPECT_EQ(model_.data(model_.index(0, column), Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::Alignment(Qt::AlignCenter));
  }
  EXPECT_FALSE(model_.flags(model_.index(0, 1)).testFlag(Qt::ItemIsEditable));
}

class ResultTableViewTest : public ResultTableModelTest {
 protected:
  void SetUp() override {
    ResultTableModelTest::SetUp();
    window_ = std::make_unique<MainWindow>(model_, pump_);
    window_->tab_control()->setCurrentIndex(kBatchPage);
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  QTreeView* view() { return window_->result_view(); }

  std::unique_ptr<MainWindow> window_;
};

TEST_F(ResultTableViewTest, MakeRowVisibleScrollsAndHitTestFindsTheCell) {
  AppendNumbered(300);
  EXPECT_EQ(view()->verticalScrollBar()->value(), 0);
  table().MakeRowVisibleById(table().RowIds().at(250));
  QCoreApplication::processEvents();
  EXPECT_GT(view()->verticalScrollBar()->value(), 0);
  const QRect rect = view()->visualRect(model_.index(250, 2));
  EXPECT_TRUE(view()->viewport()->rect().contains(rect.center()));
  const CellHit hit = table().HitTestCell(rect.center().x(), rect.center().y());
  EXPECT_EQ(hit.row, 250);
  EXPECT_EQ(hit.column, 2);
  // Row 0 has scrolled away: a point above the viewport hits nothing.
  table().MakeRowVisibleById(0);
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
    const CellHit hit = table().HitTestCell(c.x, y + row_height);
    EXPECT_EQ(hit.row, 1) << c.x;
    EXPECT_EQ(hit.column, c.column) << c.x;
  }
  const CellHit below = table().HitTestCell(250, row_height * 3 + 40);
  EXPECT_EQ(below.row, -1);
  EXPECT_EQ(table().HitTestCell(10, 600).row, -1);
}

TEST_F(ResultTableViewTest, HitTestOnAHorizontallyScrolledTable) {
  AppendNumbered(3);
  QCoreApplication::processEvents();
  QScrollBar* bar = view()->horizontalScrollBar();
  ASSERT_GT(bar->maximum(), 0);  // 920 px of columns in a narrower viewport
  bar->setValue(bar->maximum());
  QCoreApplication::processEvents();
  const QRect rect = view()->visualRect(model_.index(2, 4));
  const CellHit hit = table().HitTestCell(rect.center().x(), rect.center().y());
  EXPECT_EQ(hit.row, 2);
  EXPECT_EQ(hit.column, 4);
  // x = 30 lies in column 0 unscrolled, in column 0 no more once scrolled.
  EXPECT_NE(table().HitTestCell(30, rect.center().y()).column, 0);
}

TEST_F(ResultTableViewTest, HundredThousandRowsWhileShown) {
  for (int i = 1; i <= 100000; ++i) table().AppendRow(std::to_string(i));
  QCoreApplication::processEvents();
  table().MakeRowVisibleById(table().RowIds().back());
  QCoreApplication::processEvents();
  const QRect last = view()->visualRect(model_.index(99999, 1));
  ASSERT_TRUE(view()->viewport()->rect().contains(last.center()));
  EXPECT_EQ(table().HitTestCell(last.center().x(), last.center().y()).row, 99999);
  table().ClearRows();
  QCoreApplication::processEvents();
  EXPECT_EQ(view()->model()->rowCount(), 0);
}

// Workers' index operations run on the window's thread through Qt's queued calls, which the
// pump serves; the view hears of every row on that thread.
TEST(ResultTableModelConcurrencyQt, WorkersIndexOperationsRunOnTheWindowsThread) {
  TestApp();
  ResultTableModel model;
  QtMessagePump pump;
  std::atomic<int> off_thread_inserts{0};
  QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] {
    if (QThread::currentThread() != model.thread()) ++off_thread_inserts;
  });
  constexpr int kThreads = 8;
  constexpr int kRowsEach = 50;
  std::atomic<int> done{0};
  std::atomic<int> wrong{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kRowsEach; ++i) {
        const Text ordinal = std::to_string(t * kRowsEach + i);
        const int row = model.table().AppendRow(ordinal);
        if (model.table().GetCellText(row, 0) != ordinal) ++wrong;
      }
      ++done;
    });
  }
  while (done.load() < kThreads) pump.PumpingWait(1000);
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(off_thread_inserts.load(), 0);
  EXPECT_EQ(model.rowCount(), kThreads * kRowsEach);
}

}  // namespace
}  // namespace kelvaro
