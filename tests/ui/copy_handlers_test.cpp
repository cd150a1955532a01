#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <QTreeView>
#include <string>

#include "handlers_test_fixture.h"

namespace kelvaro::handlers_test {
namespace {

const char kSentinel[] = "clipboard before the double-click";

class CopyHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    long_title_.clear();
    for (int i = 0; i < 120; ++i) long_title_ += "建筑制图标准第" + std::to_string(i) + "部分";
  }

  void AddRow(const std::string& number, const std::string& status = "",
              const std::string& found = "", const std::string& title = "") {
    ResultTableModel& model = program_.model();
    const int row = model.AppendRow(std::to_string(model.RowCount() + 1));
    model.SetCellText(row, 1, Utf8ToGbk(number));
    model.SetCellText(row, 2, Utf8ToGbk(status));
    model.SetCellText(row, 3, Utf8ToGbk(found));
    model.SetCellText(row, 4, Utf8ToGbk(title));
  }

  QTreeView* View() { return program_.window()->result_view(); }

  // Double-clicks the point in the viewport and gives what the clipboard then holds.
  std::string DoubleClickAt(QPoint point) {
    QGuiApplication::clipboard()->setText(QString::fromUtf8(kSentinel));
    QTest::mouseDClick(View()->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    return QGuiApplication::clipboard()->text().toStdString();
  }
  std::string DoubleClickCell(int row, int column) {
    const QRect rect = View()->visualRect(program_.model().index(row, column));
    EXPECT_TRUE(rect.isValid()) << row << "," << column;
    EXPECT_TRUE(View()->viewport()->rect().contains(rect.center())) << row << "," << column;
    return DoubleClickAt(rect.center());
  }

  Program program_;
  std::string long_title_;
};

TEST_F(CopyHandlerTest, ClipboardWorksWithinTheProcess) {
  QGuiApplication::clipboard()->setText(QStringLiteral("x"));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("x"));
  QGuiApplication::clipboard()->setText(QString());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
}

TEST_F(CopyHandlerTest, EveryColumnOfAQueriedRow) {
  AddRow("GB/T50001-2010", "有新标准", "GB/T 50001-2017", "房屋建筑制图统一标准");
  AddRow("GB/T50103-2010", "现行", "GB/T 50103-2010", "总图制图标准");
  View()->resizeColumnToContents(4);
  EXPECT_EQ(DoubleClickCell(1, 2), "现行");
  EXPECT_EQ(DoubleClickCell(0, 2), "有新标准");
  EXPECT_EQ(DoubleClickCell(1, 0), "2");
  EXPECT_EQ(DoubleClickCell(0, 1), "GB/T50001-2010");
  EXPECT_EQ(DoubleClickCell(0, 3), "GB/T 50001-2017");
  EXPECT_EQ(DoubleClickCell(1, 4), "总图制图标准");
}

TEST_F(CopyHandlerTest, LongTitleInFull) {
  AddRow("GB/T50104-2010", "现行", "GB/T 50104-2010", long_title_);
  EXPECT_EQ(DoubleClickCell(0, 4), long_title_);
}

TEST_F(CopyHandlerTest, SelectedRowDoesNotMatter) {
  AddRow("A", "现行");
  AddRow("B", "未知");
  View()->setCurrentIndex(program_.model().index(0, 0));
  EXPECT_EQ(DoubleClickCell(1, 1), "B");
}

TEST_F(CopyHandlerTest, ModifierKeysDoNotMatter) {
  AddRow("GB/T50001-2010", "有新标准");
  const QRect rect = View()->visualRect(program_.model().index(0, 2));
  for (Qt::KeyboardModifiers keys : {Qt::KeyboardModifiers(Qt::ControlModifier),
                                     Qt::KeyboardModifiers(Qt::ShiftModifier | Qt::AltModifier)}) {
    QGuiApplication::clipboard()->setText(QString::fromUtf8(kSentinel));
    QTest::mouseDClick(View()->viewport(), Qt::LeftButton, keys, rect.center());
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "有新标准");
  }
}

TEST_F(CopyHandlerTest, EmptyCellLeavesEmptyText) {
  AddRow("GB/T50001-2010");
  EXPECT_EQ(DoubleClickCell(0, 3), "");
}

TEST_F(CopyHandlerTest, AMissLeavesTheClipboardAlone) {
  EXPECT_EQ(DoubleClickAt(QPoint(40, 20)), kSentinel);  // empty table
  AddRow("GB/T50001-2010", "现行");
  const QRect last = View()->visualRect(program_.model().index(0, 1));
  const QPoint below(last.center().x(), last.bottom() + 3 * last.height());
  ASSERT_LT(below.y(), View()->viewport()->height());
  EXPECT_EQ(DoubleClickAt(below), kSentinel);
}

TEST_F(CopyHandlerTest, ScrolledTableCopiesTheCellUnderThePointer) {
  for (int i = 0; i < 300; ++i) AddRow("GB/T " + std::to_string(50000 + i) + "-2010");
  View()->scrollToBottom();
  QApplication::processEvents();
  ASSERT_GT(View()->verticalScrollBar()->value(), 0);
  const QModelIndex under = View()->indexAt(QPoint(20, View()->viewport()->height() / 2));
  ASSERT_TRUE(under.isValid());
  ASSERT_GT(under.row(), 100);
  EXPECT_EQ(DoubleClickCell(under.row(), 1),
            "GB/T " + std::to_string(50000 + under.row()) + "-2010");
  EXPECT_EQ(DoubleClickCell(299, 0), "300");
}

TEST_F(CopyHandlerTest, HorizontallyScrolledTableCopiesTheCellUnderThePointer) {
  AddRow("GB/T50001-2010", "现行", "GB/T 50001-2017", long_title_);
  View()->header()->resizeSection(4, 4000);
  QApplication::processEvents();  // the scroll range follows on the next layout
  View()->horizontalScrollBar()->setValue(View()->horizontalScrollBar()->maximum());
  QApplication::processEvents();
  ASSERT_GT(View()->horizontalScrollBar()->value(), 0);
  const QRect row = View()->visualRect(program_.model().index(0, 4));
  const QPoint point(View()->viewport()->width() / 2, row.center().y());
  ASSERT_EQ(View()->indexAt(point).column(), 4);
  // Unscrolled, the same point lies in another column.
  ASSERT_LT(point.x(), View()->header()->sectionPosition(4));
  EXPECT_EQ(DoubleClickAt(point), long_title_);
}

}  // namespace
}  // namespace kelvaro::handlers_test
