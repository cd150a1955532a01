// What the window adds around the Result table: the status cell's reason, the title
// during a batch, the context menu, Enter in the number box, a dropped file, the dialog's
// start folder and its language.
#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTranslator>
#include <QUrl>
#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "batch/table_export.h"
#include "handlers_test_fixture.h"
#include "query/number.h"
#include "support/fault_server.h"
#include "support/recording_server.h"
#include "support/table_text.h"
#include "ui/window_handlers.h"

namespace kelvaro::handlers_test {
namespace {

const int kStatus = ColumnIndex(Column::kStatus);

std::string Utf8(const QString& text) { return text.toStdString(); }

// A site on 127.0.0.1 whose answer the test decides per keyword; the window's lookups go
// to it while it lives.
class ScriptedSite {
 public:
  using Answer = std::function<test::Reply(const std::string& keyword, int asked_before)>;
  explicit ScriptedSite(Answer answer)
      : server_([this, answer](const test::RecordedRequest& request) {
          const std::string keyword = test::KeywordOfRequestLine(request.request_line);
          int before = 0;
          {
            std::lock_guard lock(mutex_);
            before = asked_[keyword]++;
          }
          return answer(keyword, before);
        }) {
    SetSitePrefixOverride("http://" + server_.HostPort());
  }
  ~ScriptedSite() {
    SetSitePrefixOverride("");
    server_.Stop();
  }
  int Asked(const std::string& keyword) {
    std::lock_guard lock(mutex_);
    return asked_[keyword];
  }

 private:
  std::mutex mutex_;
  std::map<std::string, int> asked_;
  test::RecordingServer server_;
};

test::Reply PageFor(const std::string& number_gbk) {
  test::SiteRecord record{number_gbk, Gbk(u8"标准"), "2010-01-01", ""};
  return test::Reply::Http(200, test::ResultPageFor(&record),
                           "Content-Type: text/html; charset=GBK\r\n");
}

struct ReasonCase {
  const char* name;
  RowReason reason;
  const char* tooltip;
};

class ReasonTooltipTest : public ::testing::TestWithParam<ReasonCase> {};

// A worker's reason reaches the view: the status cell's tooltip changes and the view
// is told so.
TEST_P(ReasonTooltipTest, StatusCellShowsTheReasonInChinese) {
  Program program;
  ResultTableModel& model = program.model();
  model.AppendRow("1");
  const RowId id = model.RowIds().front();
  QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
  std::thread worker([&] { model.SetReasonById(id, GetParam().reason); });
  worker.join();
  ASSERT_TRUE(PumpUntil(program.pump(), [&] { return changed.count() > 0; }));
  const QModelIndex status = model.index(0, kStatus);
  const auto& args = changed.first();
  EXPECT_LE(args.at(0).toModelIndex().row(), 0);
  EXPECT_GE(args.at(1).toModelIndex().row(), 0);
  EXPECT_TRUE(args.at(2).value<QList<int>>().contains(Qt::ToolTipRole));
  EXPECT_EQ(Utf8(model.data(status, Qt::ToolTipRole).toString()), GetParam().tooltip);
}

// The words themselves are the core's (ReasonDescription); one case shows they arrive.
INSTANTIATE_TEST_SUITE_P(
    Reasons, ReasonTooltipTest,
    ::testing::Values(ReasonCase{
        "Refused", {Outcome::kNetwork, 0, "Couldn't connect to server"}, "网络错误：连接被拒绝"}),
    [](const ::testing::TestParamInfo<ReasonCase>& info) { return info.param.name; });

TEST(BatchProgressTest, TitleCountsRowsDuringTheBatchAndComesBackExactly) {
  std::atomic<bool> release{false};
  ScriptedSite site([&](const std::string&, int) {
    while (!release.load()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return test::Reply::Http(200, "none");
  });
  Program program;
  const QString title = program.window()->windowTitle();
  program.ImportLines({"GB 1-2010", "GB 2-2010", "GB 3-2010"});
  program.window()->speed_box()->setText(QStringLiteral("8"));
  program.window()->batch_query_button()->click();  // returns once all three have started
  EXPECT_EQ(program.window()->windowTitle(), QString::fromUtf8("0/3 – ") + title);
  release.store(true);
  ASSERT_TRUE(program.WaitForWorkers());
  ASSERT_TRUE(PumpUntil(program.pump(), [&] { return program.window()->windowTitle() == title; }));
  EXPECT_EQ(program.Cell(2, kStatus), "未知");
}

// The table a few tests share: two rows, one with a comma and a quote in its number.
void ImportTwoRows(Program& program) {
  program.ImportLines({"GB 50011-2010", "GB \"1,2\"-2010"});
  program.model().SetCellText(0, kStatus, kStatusCurrent);
}

TEST(TableMenuTest, CopyRowAndCtrlCCopyTheSelectedRowTabSeparated) {
  Program program;
  ImportTwoRows(program);
  QTreeView* view = program.window()->result_view();
  view->setCurrentIndex(program.model().index(0, 1));
  program.window()->table_action(TableAction::kCopyRow)->trigger();
  EXPECT_EQ(Utf8(QGuiApplication::clipboard()->text()), "1\tGB 50011-2010\t现行\t\t");

  view->setCurrentIndex(program.model().index(1, 0));
  program.window()->activateWindow();
  view->setFocus();
  QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(Utf8(QGuiApplication::clipboard()->text()), "2\tGB \"1,2\"-2010\t\t\t");
}

TEST(TableMenuTest, CopyAllGivesTheHeaderAndEveryRow) {
  Program program;
  ImportTwoRows(program);
  program.window()->table_action(TableAction::kCopyAll)->trigger();
  EXPECT_EQ(Utf8(QGuiApplication::clipboard()->text()),
            "序号\t待查标准编号\t是否现行\t最新标准编号\t最新标准名称\n"
            "1\tGB 50011-2010\t现行\t\t\n"
            "2\tGB \"1,2\"-2010\t\t\t\n");
}

TEST(TableMenuTest, ExportWritesTheTableAsCsvWithByteOrderMark) {
  Program program;
  ImportTwoRows(program);
  const QString path = QDir(program.directory()).filePath(QStringLiteral("out.csv"));
  QString suggested;
  SetSaveFileChooser([&](const QString& proposal) {
    suggested = proposal;
    return std::optional<QString>(path);
  });
  program.window()->table_action(TableAction::kExportCsv)->trigger();
  SetSaveFileChooser(nullptr);
  EXPECT_TRUE(suggested.endsWith(QStringLiteral(".csv")));

  std::ifstream in(QFile::encodeName(path).toStdString(), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.substr(0, 3), "\xEF\xBB\xBF");
  std::string error;
  const test::Table records = test::ReadCsv(bytes, error);
  ASSERT_EQ(error, "");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0][1], "待查标准编号");
  for (int row = 0; row < 2; ++row) {
    ASSERT_EQ(records[static_cast<std::size_t>(row) + 1].size(), 5u);
    for (int column = 0; column < kColumnCount; ++column) {
      EXPECT_EQ(records[static_cast<std::size_t>(row) + 1][static_cast<std::size_t>(column)],
                program.Cell(row, column));
    }
  }
}

TEST(TableMenuTest, RequeryAsksAgainOnlyForRowsTheSiteFailed) {
  // 50001 is refused with 503 the first time only; 50011 always answers.
  ScriptedSite site([](const std::string& keyword, int asked_before) {
    if (keyword == "GBT50001" && asked_before == 0) return test::Reply::Http(503, "busy");
    return PageFor(keyword == "GBT50001" ? Gbk(u8"GB/T 50001-2010") : Gbk(u8"GB 50011-2010"));
  });
  Program program;
  program.ImportLines({"GB/T50001-2010", "GB 50011-2010", "GB 1"});
  program.window()->batch_query_button()->click();
  ASSERT_TRUE(program.WaitForWorkers());
  EXPECT_EQ(program.Cell(0, kStatus), "未知");
  EXPECT_EQ(program.Cell(1, kStatus), "现行");
  EXPECT_EQ(FailedRows(program.model()), std::vector<RowId>{program.model().RowIds()[0]});
  ASSERT_TRUE(PumpUntil(program.pump(), [&] {
    return !program.window()->batch_query_button()->toolTip().isEmpty();
  }));
  EXPECT_TRUE(program.window()->batch_query_button()->toolTip().contains(QStringLiteral("1 行")));

  program.window()->table_action(TableAction::kRequeryFailed)->trigger();
  ASSERT_TRUE(program.WaitForWorkers());
  EXPECT_EQ(program.Cell(0, kStatus), "现行");
  EXPECT_EQ(site.Asked("GBT50001"), 2);
  EXPECT_EQ(site.Asked("GB50011"), 1);
  EXPECT_EQ(site.Asked("GB1"), 0);  // no year, no site failure: not asked again
  ASSERT_TRUE(PumpUntil(
      program.pump(), [&] { return program.window()->batch_query_button()->toolTip().isEmpty(); }));
}

TEST(NumberBoxTest, EnterAsksAsTheQueryButtonDoes) {
  LoggedSite site;
  Program program;
  program.window()->number_box()->setText(QStringLiteral("GB/T50103-2010"));
  QTest::keyClick(program.window()->number_box(), Qt::Key_Return);
  EXPECT_TRUE(
      program.window()->report_box()->toPlainText().contains(QStringLiteral("总图制图标准")));
  EXPECT_EQ(LoggedSite::CountKeyword(site.SettledRequests(1), "GBT50103"), 1);
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
}

TEST(DropTest, DroppedFileIsImportedAndAnUnreadableOneReported) {
  Program program;
  const QString path = QDir(program.directory()).filePath(QStringLiteral("dropped.txt"));
  std::ofstream(QFile::encodeName(path).toStdString()) << "GB 1-2010\r\nGB 2-2010";
  QWidget* viewport = program.window()->result_view()->viewport();
  Drop(viewport, path);
  ASSERT_EQ(program.model().RowCount(), 2);
  EXPECT_EQ(program.Cell(1, 1), "GB 2-2010");
  EXPECT_EQ(program.window()->open_file_name(), path);

  QString reported;
  SetErrorReporter([&](const QString&, const QString& text) { reported = text; });
  Drop(viewport, program.directory());  // a folder cannot be read as a file
  SetErrorReporter(nullptr);
  EXPECT_TRUE(reported.contains(program.directory()));
  EXPECT_EQ(program.model().RowCount(), 2);
}

TEST(DialogTest, StartsInAWritableProgramDirectoryElseAtHome) {
  QTemporaryDir writable;
  EXPECT_EQ(ImportStartDirectory(writable.path()), writable.path());
  EXPECT_EQ(ImportStartDirectory(writable.filePath(QStringLiteral("missing"))), QDir::homePath());

  Program program;
  QString asked;
  SetOpenFileChooser([&](const QString& directory, const QString&) {
    asked = directory;
    return std::optional<QString>();
  });
  program.window()->import_button()->click();
  EXPECT_EQ(asked, program.directory());
}

TEST(DialogTest, QtSpeaksChineseOnceItsTranslationIsLoaded) {
  testing::TestApp();
  QTranslator translator;
  ASSERT_TRUE(LoadQtChinese(translator));
  EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
  QCoreApplication::removeTranslator(&translator);
}

}  // namespace
}  // namespace kelvaro::handlers_test
