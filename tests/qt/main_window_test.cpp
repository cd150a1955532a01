// The Qt window: its controls made from the layout, and its events reaching the window logic.
#include "qt/main_window.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>
#include <limits>
#include <memory>
#include <string>

#include "qt/dialog_seams.h"
#include "qt/qt_message_pump.h"
#include "qt/result_table_model.h"
#include "qt_test_app.h"
#include "rows/columns.h"
#include "rows/reason.h"
#include "rows/verdicts.h"
#include "site/standard_site.h"
#include "support/sites.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "window/window_texts.h"

namespace kelvaro {
namespace {

using testing::TestApp;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

QString TextOf(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* button = qobject_cast<QPushButton*>(widget)) return button->text();
  if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) return edit->toPlainText();
  return {};
}

const char* QtClassOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kTab:
      return "QTabWidget";
    case ControlKind::kButton:
      return "QPushButton";
    case ControlKind::kLabel:
      return "QLabel";
    case ControlKind::kLineEdit:
      return "QLineEdit";
    case ControlKind::kMultiLineEdit:
      return "QPlainTextEdit";
    case ControlKind::kListView:
      return "QTreeView";
  }
  return "";
}

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    window_ = std::make_unique<MainWindow>(model_, pump_);
  }
  void TearDown() override { window_.reset(); }
  void ShowWindow() {
    window_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  }
  template <typename T = QWidget>
  T* Control(ControlId id) {
    return window_->control_as<T>(id);
  }
  // Pumps until no worker of the window's session runs.
  bool WaitForWorkers() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (window_->logic().session()->IsRunning()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      pump_.PumpingWait(5000);
    }
    return true;
  }

  QtMessagePump pump_;
  ResultTableModel model_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, EveryControlSitsWhereTheLayoutPutsIt) {
  ShowWindow();
  QTabWidget* tab = window_->tab_control();
  for (const ControlSpec& spec : Layout()) {
    SCOPED_TRACE(spec.name);
    const auto found = window_->findChildren<QWidget*>(U(spec.name));
    ASSERT_EQ(found.size(), 1);
    QWidget* widget = found.front();
    EXPECT_EQ(widget, window_->control(spec.id));
    EXPECT_STREQ(widget->metaObject()->className(), QtClassOf(spec.kind));
    if (spec.kind != ControlKind::kListView && spec.kind != ControlKind::kTab) {
      EXPECT_EQ(TextOf(widget), U(spec.text));
    }
    const QRect rect(spec.left, spec.top, spec.width, spec.height);
    if (spec.page == kOnWindow) {
      EXPECT_EQ(widget->parentWidget(), window_.get());
      EXPECT_EQ(widget->geometry(), rect);
    } else {
      EXPECT_EQ(widget->parentWidget(), tab->widget(spec.page));
      EXPECT_EQ(QRect(widget->mapTo(tab, QPoint(0, 0)), widget->size()), rect);
    }
    EXPECT_TRUE(widget->isEnabled());
  }
  EXPECT_TRUE(window_->findChildren<QWidget*>(U("通用对话框1")).isEmpty());
}

TEST_F(MainWindowTest, TabControlHasTwoPagesAndStartsOnTheQueryPage) {
  QTabWidget* tab = window_->tab_control();
  ASSERT_EQ(tab->count(), 2);
  EXPECT_EQ(tab->tabText(0), U("查询"));
  EXPECT_EQ(tab->tabText(1), U("批量查询"));
  EXPECT_EQ(tab->currentIndex(), kQueryPage);
  EXPECT_EQ(tab->widget(kBatchPage), window_->page(kBatchPage));
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
  EXPECT_EQ(window_->minimumSize(), QSize(928, 752));
  EXPECT_EQ(window_->maximumSize(), QSize(928, 752));
  const Qt::WindowFlags flags = window_->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(MainWindowTest, EarlierControlsLieAboveLaterOnesOfTheSameParent) {
  const auto& layout = Layout();
  for (std::size_t upper = 0; upper < layout.size(); ++upper) {
    for (std::size_t lower = upper + 1; lower < layout.size(); ++lower) {
      QWidget* above = window_->control(layout[upper].id);
      QWidget* below = window_->control(layout[lower].id);
      if (above->parentWidget() != below->parentWidget()) continue;
      const QObjectList& siblings = above->parentWidget()->children();
      // Later in the child list means painted above.
      EXPECT_GT(siblings.indexOf(above), siblings.indexOf(below))
          << layout[upper].name << " over " << layout[lower].name;
    }
  }
}

TEST_F(MainWindowTest, SwitchingPagesShowsOnlyThatPagesControls) {
  ShowWindow();
  for (int page : {kBatchPage, kQueryPage, kBatchPage}) {
    window_->tab_control()->setCurrentIndex(page);
    QCoreApplication::processEvents();
    for (const ControlSpec& spec : Layout()) {
      const bool expected = spec.page == kOnWindow || spec.page == page;
      EXPECT_EQ(window_->control(spec.id)->isVisible(), expected) << spec.name << " on " << page;
    }
  }
}

TEST_F(MainWindowTest, EditBoxesAreBlackOnWhiteWithoutLimitOrScrollBars) {
  for (ControlId id : {kNumberBox, kSpeedBox}) {
    QLineEdit* edit = Control<QLineEdit>(id);
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(edit->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(edit->maxLength(), std::numeric_limits<int>::max());
    EXPECT_FALSE(edit->isReadOnly());
  }
  auto* report = Control<QPlainTextEdit>(kReportBox);
  EXPECT_EQ(report->palette().color(QPalette::Base), QColor(Qt::white));
  EXPECT_EQ(report->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(report->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_FALSE(report->isReadOnly());
}

TEST_F(MainWindowTest, ResultTableIsAReportListWithTheLayoutsColumns) {
  QTreeView* view = window_->result_view();
  EXPECT_FALSE(view->rootIsDecorated());
  EXPECT_TRUE(view->uniformRowHeights());
  EXPECT_FALSE(view->isSortingEnabled());
  EXPECT_EQ(view->selectionMode(), QAbstractItemView::SingleSelection);
  EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
  QHeaderView* header = view->header();
  EXPECT_FALSE(header->stretchLastSection());
  ASSERT_EQ(header->count(), static_cast<int>(ShownColumns().size()));
  for (int column = 0; column < header->count(); ++column) {
    const ColumnSpec& shown = *ShownColumns()[static_cast<std::size_t>(column)];
    EXPECT_EQ(header->sectionSize(column), shown.width);
    EXPECT_EQ(model_.headerData(column, Qt::Horizontal).toString(), U(shown.header));
  }
}

// Escape closes the window, as the close box does, whichever control has the focus; closing
// ends the window's batches.
TEST_F(MainWindowTest, EscapeClosesTheWindowWhateverHasTheFocus) {
  const std::pair<int, ControlId> focus_cases[] = {
      {kQueryPage, kSingleQueryButton}, {kQueryPage, kNumberBox}, {kQueryPage, kReportBox},
      {kBatchPage, kBatchQueryButton},  {kBatchPage, kSpeedBox},  {kBatchPage, kResultList},
      {kBatchPage, kRemoveSuperseded},
  };
  for (const auto& [page, id] : focus_cases) {
    SCOPED_TRACE(FindControl(id).name);
    window_ = std::make_unique<MainWindow>(model_, pump_);
    window_->tab_control()->setCurrentIndex(page);
    ShowWindow();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    QWidget* target = window_->control(id);
    target->setFocus();
    QCoreApplication::processEvents();
    QTest::keyClick(target, Qt::Key_Escape);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_TRUE(window_->logic().session()->IsEnding());
  }
}

// One trip through every button and key, against a port nothing listens on (every lookup
// fails at once): what each does is the window logic's, tested there.
TEST_F(MainWindowTest, ButtonsAndKeysReachTheWindowLogic) {
  ShowWindow();
  window_->logic().SetSite(SiteAt("http://127.0.0.1:1"));
  test::TempDir files;
  const QString numbers =
      QString::fromStdString(files.Write("n.txt", "GB 1-2010\r\nGB 2-2010\r\n"));
  SetOpenFileChooser(
      [&](const QString&, const QString&) { return std::optional<QString>(numbers); });
  window_->tab_control()->setCurrentIndex(kBatchPage);
  QTest::mouseClick(Control(kImportButton), Qt::LeftButton);
  SetOpenFileChooser(nullptr);
  ASSERT_EQ(model_.rowCount(), 2);

  Control<QLineEdit>(kSpeedBox)->setText(QStringLiteral("1"));
  QTest::mouseClick(Control(kBatchQueryButton), Qt::LeftButton);
  ASSERT_TRUE(WaitForWorkers());
  EXPECT_EQ(GbkToUtf8(model_.table().GetCellText(1, 2)), "未知");
  // The title and the tooltip's counts come back on the window's timer.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Control(kBatchQueryButton)->toolTip().isEmpty() &&
         std::chrono::steady_clock::now() < deadline) {
    pump_.PumpingWait(20000);
  }
  EXPECT_EQ(
      Control(kBatchQueryButton)->toolTip().toStdString(),
      "2 行：0 现行，0 有新标准，0 已废止，0 尚未实施，0 未收录，2 查询失败\n" + RetryHint(2));
  EXPECT_EQ(window_->windowTitle(), U(WindowTitle()));

  model_.table().SetCellText(0, 2, StatusWord(Verdict::kCurrent));
  model_.table().SetCellText(1, 2, StatusWord(Verdict::kSuperseded));
  QTest::mouseClick(Control(kRemoveCurrentButton), Qt::LeftButton);
  ASSERT_TRUE(WaitForWorkers());
  QTest::mouseClick(Control(kRemoveSuperseded), Qt::LeftButton);
  ASSERT_TRUE(WaitForWorkers());
  EXPECT_EQ(model_.rowCount(), 0);

  window_->tab_control()->setCurrentIndex(kQueryPage);
  QTest::keyClick(Control(kNumberBox), Qt::Key_Return);
  EXPECT_TRUE(Control<QPlainTextEdit>(kReportBox)->toPlainText().contains(U("状态未知")));
  Control<QPlainTextEdit>(kReportBox)->clear();
  QTest::mouseClick(Control(kSingleQueryButton), Qt::LeftButton);
  EXPECT_TRUE(Control<QPlainTextEdit>(kReportBox)->toPlainText().startsWith(U("\n状态未知\n\n")));
}

TEST_F(MainWindowTest, ReportBoxKeepsLineBreaksAndScrollsTheCaretIntoView) {
  ShowWindow();
  window_->logic().SetSite(SiteAt("http://127.0.0.1:1"));
  auto* box = Control<QPlainTextEdit>(kReportBox);
  box->setFixedHeight(40);  // too small for the report
  QTest::mouseClick(Control(kSingleQueryButton), Qt::LeftButton);
  EXPECT_FALSE(box->toPlainText().contains(QLatin1Char('\r')));
  EXPECT_GT(box->verticalScrollBar()->maximum(), 0);
  EXPECT_GT(box->verticalScrollBar()->value(), 0);
  EXPECT_TRUE(box->textCursor().atEnd());
}

}  // namespace
}  // namespace kelvaro
