#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <limits>
#include <map>
#include <memory>
#include <string>

#include "qt_test_app.h"
#include "ui/result_table_model.h"

namespace kelvaro {
namespace {

using testing::TestApp;

struct ControlSpec {
  const char* name;
  const char* kind;
  const char* text;
  QRect rect;  // relative to the tab control (pages) or the window
  int page;    // -1: a child of the window
};

const ControlSpec kControls[] = {
    {"按钮5", "QPushButton", "删除有新标准", QRect(737, 54, 88, 24), -1},
    {"标签1", "QLabel", "例子：GB/T50001-2010   【必须按这个格式】", QRect(101, 58, 336, 40), 0},
    {"编辑框1", "QLineEdit", "GB/T50001-2010", QRect(101, 106, 224, 32), 0},
    {"按钮1", "QPushButton", "查询", QRect(341, 106, 80, 32), 0},
    {"编辑框2", "QPlainTextEdit", "", QRect(100, 154, 328, 352), 0},
    {"标签2", "QLabel", "请先将待查的标准编号导入软件，再点击查询，速度建议为2，快了会出现未知\r\n",
     QRect(5, 16, 424, 32), 1},
    {"标签3", "QLabel",
     "标准编号格式：GB/T50001-2010   每行一个标准，格式不标准可能导致查询错误\r\n\r\n\r\n",
     QRect(5, 39, 440, 24), 1},
    {"按钮2", "QPushButton", "导入", QRect(453, 50, 80, 24), 1},
    {"按钮3", "QPushButton", "查询", QRect(544, 50, 80, 24), 1},
    {"按钮4", "QPushButton", "删除现行标准", QRect(635, 49, 88, 24), 1},
    {"标签4", "QLabel", "速度：", QRect(831, 49, 32, 24), 1},
    {"编辑框3", "QLineEdit", "2", QRect(869, 48, 32, 24), 1},
    {"标签5", "QLabel", "【双击表格内容可直接复制】", QRect(5, 58, 160, 24), 1},
    {"超级列表框1", "QTreeView", nullptr, QRect(5, 82, 904, 656), 1},
};

// The layout's order: earlier lies above later among controls of one parent.
const char* const kStackingOrder[] = {"标签5", "按钮5",   "标签4",       "编辑框3", "按钮4",
                                      "按钮3", "按钮2",   "超级列表框1", "标签3",   "标签2",
                                      "标签1", "编辑框2", "按钮1",       "编辑框1", "选择夹1"};

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

QString TextOf(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
  if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) return edit->toPlainText();
  return {};
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    window_ = std::make_unique<MainWindow>(&model_);
  }
  void ShowWindow() {
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  QWidget* Find(const char* name) {
    const auto found = window_->findChildren<QWidget*>(U(name));
    EXPECT_EQ(found.size(), 1) << name;
    return found.isEmpty() ? nullptr : found.front();
  }

  ResultTableModel model_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, EveryControlHasItsNameKindTextPlaceAndPage) {
  ShowWindow();
  QTabWidget* tab = window_->tab_control();
  for (const ControlSpec& spec : kControls) {
    SCOPED_TRACE(spec.name);
    QWidget* widget = Find(spec.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_STREQ(widget->metaObject()->className(), spec.kind);
    if (spec.text != nullptr) {
      EXPECT_EQ(TextOf(widget), U(spec.text));
    }
    if (spec.page < 0) {
      EXPECT_EQ(widget->parentWidget(), window_.get());
      EXPECT_EQ(widget->geometry(), spec.rect);
    } else {
      EXPECT_EQ(widget->parentWidget(), tab->widget(spec.page));
      EXPECT_EQ(QRect(widget->mapTo(tab, QPoint(0, 0)), widget->size()), spec.rect);
    }
    EXPECT_TRUE(widget->isEnabled());
  }
}

TEST_F(MainWindowTest, TabControlHasTwoPagesAndStartsOnTheQueryPage) {
  ShowWindow();
  QTabWidget* tab = window_->tab_control();
  EXPECT_EQ(tab->objectName(), U("选择夹1"));
  EXPECT_EQ(tab->parentWidget(), window_.get());
  EXPECT_EQ(tab->geometry(), QRect(3, 6, 917, 744));
  ASSERT_EQ(tab->count(), 2);
  EXPECT_EQ(tab->tabText(0), U("查询"));
  EXPECT_EQ(tab->tabText(1), U("批量查询"));
  EXPECT_EQ(tab->currentIndex(), 0);
  EXPECT_EQ(tab->widget(0), window_->query_page());
  EXPECT_EQ(tab->widget(1), window_->batch_page());
}

TEST_F(MainWindowTest, RolesNameTheLayoutsControls) {
  const std::pair<QWidget*, const char*> roles[] = {
      {window_->example_label(), "标签1"},
      {window_->number_box(), "编辑框1"},
      {window_->single_query_button(), "按钮1"},
      {window_->report_box(), "编辑框2"},
      {window_->instruction_label(), "标签2"},
      {window_->format_label(), "标签3"},
      {window_->import_button(), "按钮2"},
      {window_->batch_query_button(), "按钮3"},
      {window_->remove_current_button(), "按钮4"},
      {window_->speed_label(), "标签4"},
      {window_->speed_box(), "编辑框3"},
      {window_->copy_hint_label(), "标签5"},
      {window_->result_view(), "超级列表框1"},
      {window_->remove_superseded_button(), "按钮5"},
      {window_->button(WindowButton::kSingleQuery), "按钮1"},
      {window_->button(WindowButton::kImport), "按钮2"},
      {window_->button(WindowButton::kBatchQuery), "按钮3"},
      {window_->button(WindowButton::kRemoveCurrent), "按钮4"},
      {window_->button(WindowButton::kRemoveSuperseded), "按钮5"},
  };
  for (const auto& [widget, name] : roles) {
    ASSERT_NE(widget, nullptr) << name;
    EXPECT_EQ(widget->objectName(), U(name));
  }
  EXPECT_TRUE(window_->findChildren<QWidget*>(U("通用对话框1")).isEmpty());
  EXPECT_TRUE(window_->open_file_name().isEmpty());
}

TEST_F(MainWindowTest, WindowTitleSizeFrameAndPlace) {
  // Centred on the primary screen when made (the platform may still move it).
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window_->geometry(), QRect(screen.topLeft() + QPoint((screen.width() - 928) / 2,
                                                                 (screen.height() - 752) / 2),
                                       QSize(928, 752)));
  ShowWindow();
  EXPECT_EQ(window_->windowTitle(),
            U("Kelvaro（出现大量未知结果，换网或者等一会）--Tamsile qv2468"));
  EXPECT_EQ(window_->size(), QSize(928, 752));
  EXPECT_EQ(window_->minimumSize(), QSize(928, 752));
  EXPECT_EQ(window_->maximumSize(), QSize(928, 752));
  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::Window));
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(MainWindowTest, EarlierControlsLieAboveLaterOnesOfTheSameParent) {
  for (size_t upper = 0; upper < std::size(kStackingOrder); ++upper) {
    for (size_t lower = upper + 1; lower < std::size(kStackingOrder); ++lower) {
      QWidget* above = Find(kStackingOrder[upper]);
      QWidget* below = Find(kStackingOrder[lower]);
      ASSERT_TRUE(above && below);
      if (above->parentWidget() != below->parentWidget()) continue;
      const QObjectList& siblings = above->parentWidget()->children();
      // Later in the child list means painted above.
      EXPECT_GT(siblings.indexOf(above), siblings.indexOf(below))
          << kStackingOrder[upper] << " over " << kStackingOrder[lower];
    }
  }
}

TEST_F(MainWindowTest, SwitchingPagesShowsOnlyThatPagesControls) {
  ShowWindow();
  QTabWidget* tab = window_->tab_control();
  for (int page : {1, 0, 1}) {
    tab->setCurrentIndex(page);
    QCoreApplication::processEvents();
    for (const ControlSpec& spec : kControls) {
      QWidget* widget = Find(spec.name);
      const bool expected = spec.page < 0 || spec.page == page;
      EXPECT_EQ(widget->isVisible(), expected) << spec.name << " on page " << page;
    }
  }
}

TEST_F(MainWindowTest, EditBoxesAreBlackOnWhiteWithoutLimitOrScrollBars) {
  for (QLineEdit* edit : {window_->number_box(), window_->speed_box()}) {
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(edit->maxLength(), std::numeric_limits<int>::max());
    EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
    EXPECT_FALSE(edit->isReadOnly());
  }
  QPlainTextEdit* report = window_->report_box();
  EXPECT_EQ(report->palette().color(QPalette::Base), QColor(Qt::white));
  EXPECT_EQ(report->palette().color(QPalette::Text), QColor(Qt::black));
  EXPECT_EQ(report->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(report->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_FALSE(report->isReadOnly());
  const QString long_text(100000, QChar(u'x'));
  window_->number_box()->setText(long_text);
  EXPECT_EQ(window_->number_box()->text(), long_text);
}

TEST_F(MainWindowTest, ResultTableIsAReportList) {
  QTreeView* view = window_->result_view();
  EXPECT_FALSE(view->rootIsDecorated());
  EXPECT_FALSE(view->itemsExpandable());
  EXPECT_TRUE(view->uniformRowHeights());
  EXPECT_FALSE(view->isSortingEnabled());
  EXPECT_FALSE(view->isHeaderHidden());
  EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(view->palette().color(QPalette::Base), QColor(Qt::white));
  QHeaderView* header = view->header();
  EXPECT_FALSE(header->stretchLastSection());
  ASSERT_EQ(header->count(), 5);
  const int widths[] = {40, 200, 80, 200, 400};
  const char* titles[] = {"序号", "待查标准编号", "是否现行", "最新标准编号", "最新标准名称"};
  for (int column = 0; column < 5; ++column) {
    EXPECT_EQ(header->sectionSize(column), widths[column]);
    EXPECT_EQ(model_.headerData(column, Qt::Horizontal).toString(), U(titles[column]));
  }
}

// Escape closes the window, as the close box does, whichever control has the focus.
TEST_F(MainWindowTest, EscapeClosesTheWindowWhateverHasTheFocus) {
  const std::pair<int, const char*> focus_cases[] = {
      {0, "按钮1"}, {0, "编辑框1"}, {0, "编辑框2"},     {0, "按钮5"},
      {1, "按钮3"}, {1, "编辑框3"}, {1, "超级列表框1"}, {1, "按钮5"},
  };
  for (const auto& [page, name] : focus_cases) {
    SCOPED_TRACE(name);
    window_ = std::make_unique<MainWindow>(&model_);
    int closings = 0;
    window_->OnClosing([&closings] { ++closings; });
    window_->tab_control()->setCurrentIndex(page);
    ShowWindow();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    QWidget* target = Find(name);
    target->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(target->hasFocus());
    QTest::keyClick(target, Qt::Key_Escape);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(closings, 1);
  }
}

TEST_F(MainWindowTest, ClosingRunsTheClosingHandlersOnce) {
  int closings = 0;
  window_->OnClosing([&closings] { ++closings; });
  ShowWindow();
  EXPECT_TRUE(window_->close());
  EXPECT_FALSE(window_->isVisible());
  window_->show();
  window_->close();
  EXPECT_EQ(closings, 1);
}

TEST_F(MainWindowTest, ButtonsRunTheirBoundHandlers) {
  ShowWindow();
  const WindowButton buttons[] = {WindowButton::kSingleQuery, WindowButton::kImport,
                                  WindowButton::kBatchQuery, WindowButton::kRemoveCurrent,
                                  WindowButton::kRemoveSuperseded};
  std::map<WindowButton, int> clicks;
  for (WindowButton which : buttons)
    window_->OnClicked(which, [&clicks, which] { ++clicks[which]; });
  for (WindowButton which : buttons) {
    window_->tab_control()->setCurrentIndex(which == WindowButton::kSingleQuery ? 0 : 1);
    QCoreApplication::processEvents();
    QTest::mouseClick(window_->button(which), Qt::LeftButton);
  }
  for (WindowButton which : buttons) EXPECT_EQ(clicks[which], 1);
}

TEST_F(MainWindowTest, TableDoubleClickReportsViewportPointAndModifiers) {
  for (int i = 1; i <= 3; ++i) model_.AppendRow(std::to_string(i));
  model_.SetView(window_->result_view());
  window_->tab_control()->setCurrentIndex(1);
  ShowWindow();
  int calls = 0;
  QPoint seen;
  Qt::KeyboardModifiers seen_modifiers;
  window_->OnTableDoubleClicked([&](int x, int y, Qt::KeyboardModifiers modifiers) {
    ++calls;
    seen = QPoint(x, y);
    seen_modifiers = modifiers;
  });
  QTreeView* view = window_->result_view();
  const QPoint point = view->visualRect(model_.index(1, 3)).center();
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, point);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, point);
  EXPECT_EQ(seen_modifiers, Qt::ControlModifier);
  const CellHit hit = model_.HitTestCell(seen.x(), seen.y());
  EXPECT_EQ(hit.row, 1);
  EXPECT_EQ(hit.column, 3);
}

}  // namespace
}  // namespace kelvaro
