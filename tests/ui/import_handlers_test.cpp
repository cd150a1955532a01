#include <gtest/gtest.h>

#include <ostream>

#include <QFileDialog>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "handlers_test_fixture.h"

namespace kelvaro::handlers_test {
namespace {

struct ImportCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> numbers;  // column 1 of each row, UTF-8
};
void PrintTo(const ImportCase& c, std::ostream* os) { *os << c.name; }

class ImportCaseTest : public ::testing::TestWithParam<ImportCase> {};

TEST_P(ImportCaseTest, ButtonFillsOneNumberedRowPerLine) {
  Program program;
  // Rows of an earlier import are gone once a file is chosen.
  program.model().AppendRow("old");
  const ImportCase& c = GetParam();
  program.ImportBytes(c.bytes);
  ASSERT_EQ(program.model().RowCount(), static_cast<int>(c.numbers.size()));
  for (int r = 0; r < static_cast<int>(c.numbers.size()); ++r) {
    EXPECT_EQ(program.Cell(r, 0), std::to_string(r + 1));
    EXPECT_EQ(program.Cell(r, 1), c.numbers[static_cast<std::size_t>(r)]) << "row " << r;
    for (int column = 2; column < 5; ++column) EXPECT_EQ(program.Cell(r, column), "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ImportCaseTest,
    ::testing::Values(
        // Line breaks, decoding and zero bytes are covered case by case in the core's
        // import tests; these check that the button gets the same rows.
        ImportCase{"TwoLinesEachEndedByCrLf", "A\r\nB\r\n", {"A", "B"}},
        ImportCase{"LineFeedsEndLinesToo", "A\nB\nC\n", {"A", "B", "C"}},
        ImportCase{"Utf8ChineseKept",
                   "GB/T 1.1-2009 标准\r\n（全角）\r\n",
                   {"GB/T 1.1-2009 标准", "（全角）"}},
        ImportCase{"ZeroByteKeepsEveryLine", std::string("A\r\nB\0C\r\nD", 9), {"A", "B?C", "D"}},
        ImportCase{
            "Utf16WithByteOrderMark", std::string("\xFF\xFEG\0B\0\r\0\n\0X\0", 12), {"GB", "X"}},
        ImportCase{"EmptyFile", "", {}}),
    [](const ::testing::TestParamInfo<ImportCase>& info) { return std::string(info.param.name); });

TEST(ImportHandlerTest, GbkFileKeepsAsciiAndTurnsChineseIntoQuestionMarks) {
  Program program;
  // "GB标准-2010" and "国家" in GBK: not UTF-8.
  program.ImportBytes("GB\xB1\xEA\xD7\xBC-2010\r\n\xB9\xFA\xBC\xD2\r\n");
  ASSERT_EQ(program.model().RowCount(), 2);
  EXPECT_TRUE(std::regex_match(program.Cell(0, 1), std::regex(R"(GB\?{2,4}-2010)")))
      << program.Cell(0, 1);
  EXPECT_TRUE(std::regex_match(program.Cell(1, 1), std::regex(R"(\?{2,4})"))) << program.Cell(1, 1);
}

TEST(ImportHandlerTest, DialogStartsInProgramDirectoryThenOnTheFileChosenFirst) {
  Program program;
  const QString first = QDir(program.directory()).filePath(QStringLiteral("first.txt"));
  const QString second = QDir(program.directory()).filePath(QStringLiteral("second.txt"));
  std::ofstream(first.toStdString(), std::ios::binary) << "A\r\nB\r\nC\r\n";
  std::ofstream(second.toStdString(), std::ios::binary) << "X\r\n";

  std::vector<std::pair<QString, QString>> asked;
  QString answer = first;
  SetOpenFileChooser([&](const QString& directory, const QString& last_file) {
    asked.emplace_back(directory, last_file);
    return std::optional<QString>(answer);
  });
  program.window()->import_button()->click();
  ASSERT_EQ(program.model().RowCount(), 3);
  EXPECT_EQ(program.window()->open_file_name(), first);

  answer = second;
  program.window()->import_button()->click();
  ASSERT_EQ(program.model().RowCount(), 1);
  EXPECT_EQ(program.Cell(0, 0), "1");
  EXPECT_EQ(program.Cell(0, 1), "X");
  EXPECT_EQ(program.window()->open_file_name(), second);

  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].first, program.directory());
  EXPECT_EQ(asked[0].second, QString());
  EXPECT_EQ(asked[1].first, program.directory());
  EXPECT_EQ(asked[1].second, first);
}

TEST(ImportHandlerTest, CancelChangesNothing) {
  Program program;
  program.ImportLines({"GB/T50001-2010", "B"});
  program.model().SetCellText(0, 2, Gbk(u8"现行"));
  const QString remembered = program.window()->open_file_name();
  int asked = 0;
  SetOpenFileChooser([&](const QString&, const QString&) {
    ++asked;
    return std::optional<QString>();
  });
  program.window()->import_button()->click();
  EXPECT_EQ(asked, 1);
  ASSERT_EQ(program.model().RowCount(), 2);
  EXPECT_EQ(program.Cell(0, 1), "GB/T50001-2010");
  EXPECT_EQ(program.Cell(0, 2), "现行");
  EXPECT_EQ(program.Cell(1, 1), "B");
  EXPECT_EQ(program.window()->open_file_name(), remembered);
}

TEST(ImportHandlerTest, UnreadableFileKeepsTheRowsAndSaysWhy) {
  Program program;
  program.ImportLines({"A", "B"});
  ASSERT_EQ(program.model().RowCount(), 2);
  const QString missing = QDir(program.directory()).filePath(QStringLiteral("gone.txt"));
  SetOpenFileChooser(
      [&](const QString&, const QString&) { return std::optional<QString>(missing); });
  QStringList reported;
  SetErrorReporter(
      [&](const QString& caption, const QString& text) { reported << caption << text; });
  program.window()->import_button()->click();
  SetErrorReporter(nullptr);
  EXPECT_EQ(program.model().RowCount(), 2);
  EXPECT_EQ(program.window()->open_file_name(), missing);
  ASSERT_EQ(reported.size(), 2);
  EXPECT_EQ(reported[0], QString::fromUtf8("错误"));
  EXPECT_TRUE(reported[1].contains(missing)) << reported[1].toStdString();
  EXPECT_TRUE(reported[1].contains(QStringLiteral("No such file"))) << reported[1].toStdString();
}

TEST(ImportHandlerTest, HundredThousandLines) {
  Program program;
  std::string bytes;
  for (int i = 1; i <= 100000; ++i) bytes += "GB/T " + std::to_string(i) + "-2010\r\n";
  const auto start = Clock::now();
  program.ImportBytes(bytes);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  ASSERT_EQ(program.model().RowCount(), 100000);
  EXPECT_EQ(program.Cell(0, 1), "GB/T 1-2010");
  EXPECT_EQ(program.Cell(99999, 0), "100000");
  EXPECT_EQ(program.Cell(99999, 1), "GB/T 100000-2010");
  // Painting the view must not be what makes it slow either.
  QApplication::processEvents();
  RecordProperty("import_ms", static_cast<int>(elapsed.count()));
}

// The real dialog, configured as the import shows it.
TEST(OpenFileDialogTest, NonNativeExistingFileStartingWhereAsked) {
  testing::TestApp();
  QTemporaryDir dir;
  const QString file = QDir(dir.path()).filePath(QStringLiteral("numbers.txt"));
  std::ofstream(file.toStdString()) << "A\r\n";
  QTemporaryDir other;

  auto fresh = MakeOpenFileDialog(nullptr, other.path(), QString());
  EXPECT_TRUE(fresh->testOption(QFileDialog::DontUseNativeDialog));
  EXPECT_EQ(fresh->fileMode(), QFileDialog::ExistingFile);
  EXPECT_EQ(fresh->acceptMode(), QFileDialog::AcceptOpen);
  EXPECT_EQ(fresh->directory().absolutePath(), QDir(other.path()).absolutePath());
  EXPECT_TRUE(fresh->nameFilters().isEmpty() ||
              fresh->nameFilters() == QStringList{QFileDialog::tr("All Files (*)")});

  auto again = MakeOpenFileDialog(nullptr, other.path(), file);
  EXPECT_EQ(again->directory().absolutePath(), QDir(dir.path()).absolutePath());
  EXPECT_EQ(again->selectedFiles(), QStringList{file});
}

// Drives the shown dialog: whatever `act` does with it once it is up.
std::optional<QString> ShowDialogAnd(const QString& directory, const QString& last,
                                     std::function<void(QFileDialog*)> act) {
  bool acted = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (acted) return;
    if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
      acted = true;
      act(dialog);
    }
  });
  poll.start(20);
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  watchdog.start(10000);
  std::optional<QString> chosen = ChooseFileToOpen(nullptr, directory, last);
  EXPECT_TRUE(acted);
  return chosen;
}

TEST(OpenFileDialogTest, ShownDialogGivesTheChosenFileOrNothingOnCancel) {
  testing::TestApp();
  SetOpenFileChooser(nullptr);
  QTemporaryDir dir;
  const QString file = QDir(dir.path()).filePath(QStringLiteral("numbers.txt"));
  std::ofstream(file.toStdString()) << "A\r\n";

  EXPECT_EQ(ShowDialogAnd(dir.path(), QString(),
                          [](QFileDialog* d) { static_cast<QDialog*>(d)->reject(); }),
            std::nullopt);
  const std::optional<QString> chosen =
      ShowDialogAnd(dir.path(), file, [](QFileDialog* d) { static_cast<QDialog*>(d)->accept(); });
  ASSERT_TRUE(chosen.has_value());
  EXPECT_EQ(*chosen, file);
}

}  // namespace
}  // namespace kelvaro::handlers_test
