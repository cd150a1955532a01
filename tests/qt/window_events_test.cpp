// What only the Qt window does around the Result table: the double-click's point on a
// scrolled table, the context menu and Ctrl+C, a dropped file, Qt's dialogs and their
// language, the clipboard; and one batch on the sample site through the window.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <QUrl>
#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "platform/files.h"
#include "qt/dialog_seams.h"
#include "qt/program.h"
#include "qt_test_app.h"
#include "query/changes.h"
#include "rows/columns.h"
#include "rows/verdicts.h"
#include "site/standard_site.h"
#include "support/environment.h"
#include "support/sites.h"
#include "text/encoding.h"
#include "window/window_texts.h"

namespace kelvaro {
namespace {

using testing::TestApp;

std::string Utf8(const QString& text) { return text.toStdString(); }

class WindowEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    ASSERT_TRUE(session_.LoadWindow());
    window()->tab_control()->setCurrentIndex(kBatchPage);
    window()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window()));
  }
  MainWindow* window() { return session_.context().window; }
  WindowTable& table() { return session_.context().table(); }
  QTreeView* view() { return window()->result_view(); }
  void AddRows(int count) {
    for (int i = 1; i <= count; ++i) {
      const int row = table().AppendRow(std::to_string(i));
      table().SetCellText(row, 1, "GB " + std::to_string(i) + "-2010");
      table().SetCellText(row, 4, Gbk(u8"建筑制图标准") + std::to_string(i));
    }
    QCoreApplication::processEvents();
  }
  // Double-clicks the centre of a cell as shown and gives what the clipboard then holds.
  std::string DoubleClickCell(int row, int column) {
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    const QRect rect = view()->visualRect(session_.context().model->index(row, column));
    EXPECT_TRUE(view()->viewport()->rect().contains(rect.center())) << row << "," << column;
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, Qt::ControlModifier, rect.center());
    return Utf8(QGuiApplication::clipboard()->text());
  }

  QTemporaryDir directory_;
  ProgramSession session_{directory_.path()};
};

TEST_F(WindowEventsTest, DoubleClickCopiesTheCellUnderThePointerOfAScrolledTable) {
  AddRows(300);
  EXPECT_EQ(DoubleClickCell(0, 4), "建筑制图标准1");
  view()->verticalScrollBar()->setValue(view()->verticalScrollBar()->maximum());
  QCoreApplication::processEvents();
  EXPECT_EQ(DoubleClickCell(299, 1), "GB 300-2010");
  view()->horizontalScrollBar()->setValue(view()->horizontalScrollBar()->maximum());
  QCoreApplication::processEvents();
  EXPECT_EQ(DoubleClickCell(298, 4), "建筑制图标准299");
}

TEST_F(WindowEventsTest, TheMenuOffersTheCommandsAndCtrlCCopiesTheSelectedRow) {
  AddRows(2);
  QStringList texts;
  for (QAction* action : window()->table_menu()->actions()) texts << action->text();
  QStringList expected;
  for (const MenuItem& item : TableMenu()) expected << QString::fromUtf8(item.text);
  EXPECT_EQ(texts, expected);
  EXPECT_TRUE(texts.contains(QStringLiteral("导入文件夹…")));
  EXPECT_EQ(window()->table_action(TableCommand::kCopyRow)->shortcut(),
            QKeySequence(QKeySequence::Copy));
  EXPECT_EQ(window()->table_action(TableCommand::kPaste)->shortcut(),
            QKeySequence(QKeySequence::Paste));

  // Asked for below the rows with no row chosen: no row to copy.
  emit view()->customContextMenuRequested(QPoint(10, 300));
  EXPECT_FALSE(window()->table_action(TableCommand::kCopyRow)->isEnabled());
  window()->table_menu()->hide();
  EXPECT_TRUE(window()->table_action(TableCommand::kCopyRow)->isEnabled());
  // Asked for on a row: that row becomes the one to copy.
  const QRect second = view()->visualRect(session_.context().model->index(1, 2));
  emit view()->customContextMenuRequested(second.center());
  EXPECT_TRUE(window()->table_action(TableCommand::kCopyRow)->isEnabled());
  window()->table_action(TableCommand::kCopyRow)->trigger();
  window()->table_menu()->hide();
  EXPECT_EQ(Utf8(QGuiApplication::clipboard()->text()), "2\tGB 2-2010\t\t\t建筑制图标准2");

  view()->setCurrentIndex(session_.context().model->index(0, 0));
  window()->activateWindow();
  view()->setFocus();
  QTest::keyClick(view(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(Utf8(QGuiApplication::clipboard()->text()), "1\tGB 1-2010\t\t\t建筑制图标准1");
}

TEST_F(WindowEventsTest, TheSearchPageItemHandsTheRowsAddressToTheBrowserAsItIs) {
  AddRows(2);
  QList<QUrl> opened;
  SetUrlOpener([&](const QUrl& url) {
    opened << url;
    return true;
  });
  const QRect second = view()->visualRect(session_.context().model->index(1, 2));
  emit view()->customContextMenuRequested(second.center());
  QAction* open = window()->table_action(TableCommand::kOpenSearchPage);
  EXPECT_TRUE(open->isEnabled());
  open->trigger();
  window()->table_menu()->hide();
  SetUrlOpener(nullptr);
  ASSERT_EQ(opened.size(), 1);
  EXPECT_EQ(opened[0].toEncoded().toStdString(),
            RowSearchAddress(session_.context().logic().site(), *table().ShownRow(1)));
}

TEST_F(WindowEventsTest, CtrlVImportsTheClipboardsCitationsAndTheirTooltipsShow) {
  QGuiApplication::clipboard()->setText(
      QString::fromUtf8("依据《建筑设计防火规范》GB 50016-2014、GB 50045-95"));
  window()->activateWindow();
  view()->setFocus();
  QTest::keyClick(view(), Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(table().RowCount(), 2);
  EXPECT_EQ(GbkToUtf8(table().GetCellText(1, 1)), "GB 50045-95");
  const QModelIndex number = session_.context().model->index(0, ColumnIndex(Column::kNumber));
  EXPECT_EQ(Utf8(number.data(Qt::ToolTipRole).toString()),
            "第 1 行：《建筑设计防火规范》GB 50016-2014");
}

// The window's questions and notices reach the user through Qt's boxes.
TEST_F(WindowEventsTest, APasteOverLookedUpRowsAsksAndAnExportSaysWhereItWrote) {
  AddRows(1);
  Judgement judgement;
  judgement.verdict = Verdict::kCurrent;
  table().SetJudgementById(table().RowIds().front(), judgement);
  QStringList asked;
  SetConfirmer([&](const QString&, const QString& text) {
    asked << text;
    return false;
  });
  QGuiApplication::clipboard()->setText(QStringLiteral("GB 50016-2014"));
  window()->table_action(TableCommand::kPaste)->trigger();
  SetConfirmer(nullptr);
  EXPECT_EQ(asked, QStringList{QString::fromStdString(ReplaceResultsText(1))});
  EXPECT_EQ(GbkToUtf8(table().GetCellText(0, 1)), "GB 1-2010");

  const QString path = QDir(directory_.path()).filePath(QStringLiteral("结果.csv"));
  SetSaveFileChooser([&](const QString&) { return std::optional<QString>(path); });
  QStringList notices;
  SetNoticeReporter([&](const QString&, const QString& text) { notices << text; });
  window()->table_action(TableCommand::kExportCsv)->trigger();
  SetSaveFileChooser(nullptr);
  SetNoticeReporter(nullptr);
  EXPECT_EQ(notices, QStringList{QString::fromStdString(SavedText(path.toStdString()))});
  EXPECT_TRUE(QFile::exists(path));
}

// 查询网站…: the address in use is shown; a new one is used at once and kept where the next
// start (and the command line) reads it.
TEST_F(WindowEventsTest, TheSiteItemShowsTheAddressAndKeepsANewOneInTheSettingsFile) {
  const test::ScopedEnvironment no_env("KELVARO_SITE", nullptr);
  const test::ScopedEnvironment config("XDG_CONFIG_HOME", QFile::encodeName(directory_.path()));
  window()->logic().SetSettingsFile(platform::SettingsFilePath());
  const std::string before = window()->logic().site().prefix;
  QStringList shown;
  SetTextAsker([&](const QString&, const QString&, const QString& initial) {
    shown << initial;
    return std::optional<QString>(QStringLiteral("http://std.example:8080"));
  });
  QStringList notices;
  SetNoticeReporter([&](const QString&, const QString& text) { notices << text; });
  emit view()->customContextMenuRequested(QPoint(10, 10));
  QAction* item = window()->table_action(TableCommand::kSiteAddress);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(Utf8(item->text()), "查询网站…");
  EXPECT_TRUE(item->isEnabled());
  item->trigger();
  window()->table_menu()->hide();
  SetTextAsker(nullptr);
  SetNoticeReporter(nullptr);
  EXPECT_EQ(shown, QStringList{QString::fromStdString(before)});
  EXPECT_EQ(window()->logic().site().prefix, "http://std.example:8080");
  const QString file = QDir(directory_.path()).filePath(QStringLiteral("kelvaro/settings.ini"));
  EXPECT_TRUE(QFile::exists(file));
  ASSERT_EQ(notices.size(), 1);
  EXPECT_TRUE(notices[0].contains(file)) << Utf8(notices[0]);
  EXPECT_EQ(ResolveSite().prefix, "http://std.example:8080");
}

TEST_F(WindowEventsTest, TheStatusCellsTooltipFollowsAWorkersReason) {
  AddRows(1);
  const RowId id = table().RowIds().front();
  Judgement judgement;
  judgement.verdict = Verdict::kNotListed;
  judgement.reason = {Outcome::kNotFound, 0, {}};
  std::thread worker([&] { table().SetJudgementById(id, judgement); });
  worker.join();
  const QModelIndex status = session_.context().model->index(0, ColumnIndex(Column::kStatus));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (status.data(Qt::ToolTipRole).toString() != QString::fromUtf8("网站未收录该编号") &&
         std::chrono::steady_clock::now() < deadline) {
    session_.context().pump->PumpingWait(10000);
  }
  EXPECT_EQ(Utf8(status.data(Qt::ToolTipRole).toString()), "网站未收录该编号");
}

TEST_F(WindowEventsTest, HeaderClicksReachTheLogicAndTheHeaderShowsItsOrder) {
  AddRows(3);
  QHeaderView* header = view()->header();
  const auto click = [&](int section) {
    const QPoint centre(header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
                        header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
  };
  click(0);
  EXPECT_EQ(table().order(), (RowOrder{0, false}));
  EXPECT_TRUE(header->isSortIndicatorShown());
  EXPECT_EQ(header->sortIndicatorSection(), 0);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  click(0);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  EXPECT_EQ(GbkToUtf8(table().GetCellText(0, 1)), "GB 3-2010");
  click(0);
  EXPECT_EQ(table().order(), RowOrder{});
  EXPECT_FALSE(header->isSortIndicatorShown());
}

TEST_F(WindowEventsTest, AWorkersVerdictPaintsTheStatusCellInItsFill) {
  AddRows(2);
  const RowId id = table().RowIds().back();
  Judgement judgement;
  judgement.verdict = Verdict::kSuperseded;
  judgement.reason.outcome = Outcome::kFound;
  std::thread worker([&] { table().SetJudgementById(id, judgement); });
  worker.join();
  const QColor wanted = QColor::fromRgb(*FillRgb(SpecOf(Verdict::kSuperseded).fill));
  const QRect cell = view()->visualRect(session_.context().model->index(1, 2));
  // Left of the centred word: the cell's own background.
  const QPoint inside(cell.left() + 3, cell.center().y());
  const auto painted = [&] { return view()->viewport()->grab().toImage().pixelColor(inside); };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (painted() != wanted && std::chrono::steady_clock::now() < deadline) {
    session_.context().pump->PumpingWait(50);
  }
  EXPECT_EQ(painted(), wanted);
  const QPoint unfilled(cell.left() + 3,
                        view()->visualRect(session_.context().model->index(0, 2)).center().y());
  EXPECT_EQ(view()->viewport()->grab().toImage().pixelColor(unfilled), QColor(Qt::white));
}

void Drop(QWidget* target, const QString& path) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(path)});
  // As a drag arrives: it enters (and is taken), then drops.
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &drop);
  ASSERT_TRUE(drop.isAccepted());
  // The import follows once the drop has ended.
  QCoreApplication::processEvents();
}

TEST_F(WindowEventsTest, ADroppedFileOrFolderAndTheFolderItemImport) {
  const QString path = QDir(directory_.path()).filePath(QStringLiteral("dropped.txt"));
  std::ofstream(QFile::encodeName(path).toStdString()) << "GB 1-2010\r\nGB 2-2010";
  Drop(view()->viewport(), path);
  ASSERT_EQ(table().RowCount(), 2);
  EXPECT_EQ(table().GetCellText(1, 1), "GB 2-2010");
  EXPECT_EQ(window()->logic().last_file(), path.toStdString());

  const QString folder = QDir(directory_.path()).filePath(QStringLiteral("项目"));
  ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/sub")));
  std::ofstream(QFile::encodeName(folder + QStringLiteral("/sub/说明.txt")).toStdString())
      << "依据 GB 50016-2014、GB 50011-2010";
  Drop(view()->viewport(), folder);
  ASSERT_EQ(table().RowCount(), 2);
  EXPECT_EQ(table().GetCellText(0, 1), "GB 50016-2014");
  EXPECT_EQ(Utf8(session_.context().model->index(0, 1).data(Qt::ToolTipRole).toString())
                .rfind("sub/说明.txt：第 1 行", 0),
            0u);

  // 导入文件夹… asks through the folder dialog, starting beside the folder imported last.
  QString asked_caption, asked_directory;
  const FolderChooser before = SetFolderChooser([&](const QString& caption, const QString& at) {
    asked_caption = caption;
    asked_directory = at;
    return std::optional<QString>(folder + QStringLiteral("/sub"));
  });
  window()->table_action(TableCommand::kImportFolder)->trigger();
  SetFolderChooser(before);
  EXPECT_EQ(Utf8(asked_caption), kImportFolderCaption);
  EXPECT_EQ(asked_directory, directory_.path());
  EXPECT_EQ(window()->logic().last_file(), (folder + QStringLiteral("/sub")).toStdString());
  EXPECT_EQ(table().RowCount(), 2);
}

// The real dialog, configured as the import shows it.
TEST(QtDialogTest, OpenDialogIsNonNativeForAnExistingFileStartingWhereAsked) {
  TestApp();
  QTemporaryDir dir;
  const QString file = QDir(dir.path()).filePath(QStringLiteral("numbers.txt"));
  std::ofstream(file.toStdString()) << "A\r\n";
  QTemporaryDir other;
  auto fresh = MakeOpenFileDialog(nullptr, other.path(), QString());
  EXPECT_TRUE(fresh->testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(fresh->fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(fresh->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(fresh->directory().absolutePath(), QDir(other.path()).absolutePath());
  auto again = MakeOpenFileDialog(nullptr, other.path(), file);
  EXPECT_EQ(again->directory().absolutePath(), QDir(dir.path()).absolutePath());
  EXPECT_EQ(again->selectedFiles(), QStringList{file});

  // Shown: cancel gives nothing, accept the file.
  for (const bool accept : {false, true}) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
        accept ? static_cast<QDialog*>(dialog)->accept() : static_cast<QDialog*>(dialog)->reject();
      }
    });
    poll.start(20);
    const std::optional<QString> chosen = ChooseFileToOpen(nullptr, dir.path(), file);
    EXPECT_EQ(chosen, accept ? std::optional<QString>(file) : std::nullopt);
  }
}

// xdg-open's exit status says whether a browser took the address (3: no browser found).
TEST(QtDialogTest, TheBrowserOpenerTellsWhetherTheProgramTookTheAddress) {
  TestApp();
  QTemporaryDir dir;
  const struct {
    const char* script;  // the opener's body; null: no such program
    bool opened;
  } cases[] = {{"exit 0", true}, {"exit 3", false}, {"kill -9 $$", false}, {nullptr, false}};
  for (const auto& c : cases) {
    const QString program = QDir(dir.path()).filePath(QStringLiteral("opener"));
    QFile::remove(program);
    if (c.script != nullptr) {
      std::ofstream(QFile::encodeName(program).toStdString())
          << "#!/bin/sh\n[ \"$1\" = 'http://h/s.jsp?keyword=GB%201' ] || exit 9\n"
          << c.script << "\n";
      QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
    }
    EXPECT_EQ(OpenWithProgram(program, QUrl::fromEncoded("http://h/s.jsp?keyword=GB%201"), 60000),
              c.opened)
        << (c.script != nullptr ? c.script : "no program");
  }
}

TEST(QtDialogTest, QtSpeaksChineseOnceItsTranslationIsLoaded) {
  TestApp();
  QTranslator translator;
  ASSERT_TRUE(LoadQtChinese(translator));
  EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
  QCoreApplication::removeTranslator(&translator);
}

// From a file to the rows, through the window's own buttons, on the sample site.
TEST_F(WindowEventsTest, ABatchOnTheSampleSiteThroughTheWindow) {
  test::LoggedSite site;
  session_.context().logic().SetSite(site.site());
  const QString path = QDir(directory_.path()).filePath(QStringLiteral("n.txt"));
  std::ofstream out(QFile::encodeName(path).toStdString(), std::ios::binary);
  for (const std::string& line : test::KnownNumberLines()) out << line << "\r\n";
  out.close();
  SetOpenFileChooser([&](const QString&, const QString&) { return std::optional<QString>(path); });
  window()->control_as<QPushButton>(kImportButton)->click();
  SetOpenFileChooser(nullptr);
  window()->control_as<QPushButton>(kBatchQueryButton)->click();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (session_.context().session().IsRunning() && std::chrono::steady_clock::now() < deadline) {
    session_.context().pump->PumpingWait(5000);
  }
  ASSERT_EQ(table().RowCount(), static_cast<int>(test::KnownNumbers().size()));
  for (int row = 0; row < table().RowCount(); ++row) {
    const test::Expected& e = test::KnownNumbers()[static_cast<std::size_t>(row)];
    EXPECT_EQ(GbkToUtf8(table().GetCellText(row, 2)), e.status) << e.number;
    EXPECT_EQ(GbkToUtf8(table().GetCellText(row, 4)), e.title) << e.number;
  }
}

}  // namespace
}  // namespace kelvaro
