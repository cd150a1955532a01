// Import of number files into a RowStore: lines, encodings, replacement and failures.
#include "rows/import.h"
#include "platform/files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <ostream>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "rows/export.h"
#include "rows/row_store.h"
#include "support/named_case.h"
#include "support/office_builder.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

const std::string kImportDir = std::string(KELVARO_TEST_DATA_DIR) + "/import/";

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

// Every row's ordinal must be its position from 1, and columns 2 to 4 empty.
std::vector<Text> CheckedNumbers(RowStore& table) {
  std::vector<Text> numbers;
  int expected_ordinal = 1;
  for (const auto& row : table.Snapshot()) {
    EXPECT_EQ(row.cells[0], std::to_string(expected_ordinal++));
    for (int column = 2; column < kColumnCount; ++column) EXPECT_EQ(row.cells[column], "");
    numbers.push_back(row.cells[1]);
  }
  return numbers;
}

struct BytesCase {
  const char* name;
  std::string bytes;
  std::vector<Text> numbers;
};
KELVARO_PRINT_CASES_BY_NAME()

class ImportBytes : public ::testing::TestWithParam<BytesCase> {};

TEST_P(ImportBytes, GivesOneRowPerLine) {
  RowStore table;
  const int n = ImportNumbersFromBytes(table, B(GetParam().bytes));
  EXPECT_EQ(CheckedNumbers(table), GetParam().numbers);
  EXPECT_EQ(n, static_cast<int>(GetParam().numbers.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImportBytes,
    ::testing::Values(
        BytesCase{"TwoLinesEachEndedByCrLf", "A\r\nB\r\n", {"A", "B"}},
        BytesCase{"EmptyMiddleLineNoFinalBreak", "A\r\n\r\nB", {"A", "", "B"}},
        BytesCase{"LoneCrLf", "\r\n", {""}}, BytesCase{"TwoBreaks", "\r\n\r\n", {"", ""}},
        BytesCase{"LfEndsALineToo", "A\nB\n", {"A", "B"}},
        BytesCase{"MixedBreaks", "A\r\nB\nC", {"A", "B", "C"}},
        BytesCase{"LoneCrStaysInTheLine", "A\rB\r\nC", {"A\rB", "C"}},
        BytesCase{"LfThenLoneCr", "A\n\rB", {"A", "\rB"}},
        BytesCase{
            "SpacesAndCaseKept", "  gb/t 50001-2010 \r\n\tX\r\n", {"  gb/t 50001-2010 ", "\tX"}},
        BytesCase{"EmptyFile", "", {}},
        BytesCase{"Utf16LittleEndian",
                  std::string("\xFF\xFEG\0B\0\r\0\n\0\x07\x68\n\0", 14),
                  {"GB", "\xB1\xEA"}},
        BytesCase{"Utf16BigEndian", std::string("\xFE\xFF\0G\0B\0\n\xD8\x00\0X", 12), {"GB", "?X"}},
        BytesCase{"Utf16OddLastByte",
                  std::string("\xFF\xFE"
                              "A\0B",
                              5),
                  {"A?"}},
        BytesCase{"ChineseConvertedToGbk",
                  "GB 50016-2014 \xE5\xBB\xBA\xE7\xAD\x91\r\n",
                  {"GB 50016-2014 \xBD\xA8\xD6\xFE"}},
        BytesCase{"FullWidthSpaceConverted", "\xE3\x80\x80GB\r\n", {"\xA1\xA1GB"}},
        BytesCase{
            "ByteOrderMarkDropped", "\xEF\xBB\xBFGB/T50001-2010\r\nX", {"GB/T50001-2010", "X"}},
        BytesCase{"InvalidByteIsOneQuestionMark",
                  "A\xFF"
                  "B",
                  {"A?B"}},
        BytesCase{"TruncatedSequenceIsOneQuestionMark",
                  "\xE5\xBB"
                  "A\r\n\xF0\x9F\x98",
                  {"?A", "?"}},
        BytesCase{"LoneContinuationBytes", "\x80\x80X", {"??X"}},
        BytesCase{"CharacterGbkCannotHold",
                  "A\xF0\x9F\x98\x80"
                  "B",
                  {"A?B"}},
        BytesCase{// Not UTF-8 but valid GBK (Notepad's "ANSI"): read as GBK.
                  "GbkFile",
                  "GB/T 1-2 \xD6\xD0\xCE\xC4\r\nGB 2",
                  {"GB/T 1-2 \xD6\xD0\xCE\xC4", "GB 2"}},
        BytesCase{"NeitherUtf8NorGbk", "GB \xFF\xFE\xFF 1\r\n", {"GB ??? 1"}}),
    test::CaseName());

// The rows of pasted text, or of a text file (a list of numbers).
std::vector<ImportedRow> RowsOf(bool pasted, const std::string& text) {
  if (pasted) return PastedRows(text);
  std::vector<ImportedRow> rows;
  DocumentError error = DocumentError::kNone;
  EXPECT_TRUE(RowsFromBytes(B(text), DocumentKind::kText, rows, error))
      << DocumentErrorWords(error);
  return rows;
}

// Column 1 as the import makes it: GBK for the lookup, the text as written beside it only
// when GBK cannot hold it.
struct WrittenCase {
  const char* name;
  bool pasted;  // else a list line
  std::string text;
  Text number;  // GBK
  std::string kept;
};

class WrittenNumber : public ::testing::TestWithParam<WrittenCase> {};

TEST_P(WrittenNumber, KeepsWhatGbkCannotHold) {
  const std::vector<ImportedRow> rows = RowsOf(GetParam().pasted, GetParam().text);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].number, GetParam().number);
  EXPECT_EQ(rows[0].source.number_utf8, GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Rows, WrittenNumber,
                         ::testing::Values(WrittenCase{"ListLineGbkHolds", false, "GB 1-2010 建筑",
                                                       Gbk(u8"GB 1-2010 建筑"), ""},
                                           WrittenCase{"ListLineOfHangulAndEmoji", false,
                                                       "한국어 😀 GB 1-2010", "??? ? GB 1-2010",
                                                       "한국어 😀 GB 1-2010"},
                                           WrittenCase{"PastedCitation", true, "依据 GB 1−2010。",
                                                       "GB 1-2010", "GB 1−2010"}),
                         test::CaseName());

// A citation whose written form is not its number alone shows its canonical number.
struct ShorthandCase {
  const char* name;
  bool pasted;
  std::string text;
  std::vector<Text> numbers;  // column 1 of each row
};

class ShorthandNumbers : public ::testing::TestWithParam<ShorthandCase> {};

TEST_P(ShorthandNumbers, ShowTheNumberLookedUp) {
  const std::vector<ImportedRow> rows = RowsOf(GetParam().pasted, GetParam().text);
  std::vector<Text> numbers;
  for (const ImportedRow& row : rows) numbers.push_back(row.number);
  EXPECT_EQ(numbers, GetParam().numbers);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ShorthandNumbers,
    ::testing::Values(
        ShorthandCase{"CarriedCodePasted",
                      true,
                      "依据 GB 50016-2014、50017-2017 设计",
                      {"GB 50016-2014", "GB 50017-2017"}},
        ShorthandCase{"CarriedCodeListLine",
                      false,
                      "GB 50016-2014、50017-2017",
                      {"GB 50016-2014", "GB 50017-2017"}},
        ShorthandCase{
            "Range", true, "GB 50254~50256-96", {"GB 50254-96", "GB 50255-96", "GB 50256-96"}},
        ShorthandCase{"WrittenFormKept", true, "按 gb50096-2011 执行", {"gb50096-2011"}}),
    test::CaseName());

// A standard cited again is one row keeping every place (出处 as the exports write it) and
// every citation as written; a list keeps each line a row.
struct PlacesCase {
  const char* name;
  bool pasted;  // else a list
  std::string text;
  std::vector<std::string> rows;  // "number|where|written,written"
};

class CitedAgain : public ::testing::TestWithParam<PlacesCase> {};

std::vector<std::string> Described(const std::vector<ImportedRow>& rows) {
  std::vector<std::string> out;
  for (const ImportedRow& imported : rows) {
    RowStore::Row row;
    row.source = imported.source;
    std::string line = GbkToUtf8(imported.number) + "|" + SourceWhere(row) + "|";
    if (row.source.citation.has_value()) line += row.source.citation->written;
    for (const CitedPlace& again : row.source.cited_again) line += "," + again.citation.written;
    out.push_back(line);
  }
  return out;
}

TEST_P(CitedAgain, GivesOneRowPerStandard) {
  const std::vector<ImportedRow> rows = RowsOf(GetParam().pasted, GetParam().text);
  EXPECT_EQ(Described(rows), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CitedAgain,
    ::testing::Values(PlacesCase{"SameNumberWrittenOtherwise",
                                 true,
                                 "依据 GB 50016-2014。\n另见 GB50016—2014 第 3 条。",
                                 {"GB 50016-2014|第 1 行；第 2 行|GB 50016-2014,GB50016—2014"}},
                      PlacesCase{"TwiceOnOneLineIsOnePlace",
                                 true,
                                 "GB 1-2010 与 GB 1-2010",
                                 {"GB 1-2010|第 1 行|GB 1-2010,GB 1-2010"}},
                      PlacesCase{
                          "EditionNoteOrNoYearIsAnotherRow",
                          true,
                          "GB 50016-2014\nGB 50016-2014（2018年版）\nGB 50016\nGB 50016-2014",
                          {"GB 50016-2014|第 1 行；第 4 行|GB 50016-2014,GB 50016-2014",
                           "GB 50016-2014（2018年版）|第 2 行|GB 50016-2014（2018年版）",
                           "GB 50016|第 3 行|GB 50016"}},
                      PlacesCase{"ListKeepsEveryLine",
                                 false,
                                 "GB 1-2010\nGB 1-2010\n",
                                 {"GB 1-2010|第 1 行|GB 1-2010", "GB 1-2010|第 2 行|GB 1-2010"}}),
    test::CaseName());

TEST(CitedAgainInADocument, ParagraphAndCellJoined) {
  std::vector<ImportedRow> rows;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(RowsFromBytes(
      test::BuildDocx(test::WordParagraph("GB 1-2010") + test::WordTable({{"x", "按 GB 1-2010"}})),
      DocumentKind::kDocx, rows, error));
  EXPECT_EQ(
      Described(rows),
      (std::vector<std::string>{"GB 1-2010|第 1 段；表 1 第 1 行第 2 列|GB 1-2010,GB 1-2010"}));
}

TEST(ImportBytesLarge, HundredThousandLines) {
  std::string file;
  for (int i = 1; i <= 100000; ++i) file += "GB/T" + std::to_string(i) + "-2010\r\n";
  RowStore table;
  EXPECT_EQ(ImportNumbersFromBytes(table, B(file)), 100000);
  ASSERT_EQ(table.RowCount(), 100000);
  EXPECT_EQ(table.GetCellText(0, 1), "GB/T1-2010");
  EXPECT_EQ(table.GetCellText(99999, 0), "100000");
  EXPECT_EQ(table.GetCellText(99999, 1), "GB/T100000-2010");
}

struct FileCase {
  const char* file;
  std::vector<Text> numbers;
};
void PrintTo(const FileCase& c, std::ostream* os) { *os << c.file; }

class ImportFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(ImportFile, ReplacesTheTable) {
  RowStore table;
  // Rows and results of an earlier import must all be gone afterwards.
  for (int i = 0; i < 5; ++i) {
    const int row = table.AppendRow("9");
    table.SetCellText(row, 1, "old");
    table.SetCellText(row, 2, Gbk(u8"现行"));
  }
  ImportError error;
  EXPECT_TRUE(ImportNumbersFromFile(table, kImportDir + GetParam().file, &error));
  EXPECT_EQ(CheckedNumbers(table), GetParam().numbers);
}

INSTANTIATE_TEST_SUITE_P(
    SampleFiles, ImportFile,
    ::testing::Values(FileCase{"two_lines_crlf.txt", {"GB/T50001-2010", "GB 50016-2014"}},
                      FileCase{"lf_only.txt", {"GB/T50001-2010", "GB 50016-2014"}},
                      FileCase{"bom_utf8.txt",
                               {"GB/T 50001-2010", "  GB 50016-2014 ", Gbk(u8"建筑设计防火规范")}},
                      FileCase{"gbk_encoded.txt", {"GB/T 50001-2010 \xD6\xD0\xCE\xC4", "GB 50016"}},
                      FileCase{"empty.txt", {}}));

TEST(ImportFileFailure, UnreadableFileLeavesTheTableAsItWasAndSaysWhy) {
  RowStore table;
  ASSERT_TRUE(ImportNumbersFromFile(table, kImportDir + "two_lines_crlf.txt"));
  ASSERT_EQ(table.RowCount(), 2);
  for (const std::string& path : {kImportDir + "no such file.txt", kImportDir}) {
    SCOPED_TRACE(path);
    ImportError error;
    EXPECT_FALSE(ImportNumbersFromFile(table, path, &error));
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.GetCellText(1, 1), "GB 50016-2014");
    EXPECT_FALSE(ImportErrorWords(error).empty());
  }
  Bytes bytes = B("stale");
  std::string error;
  EXPECT_FALSE(platform::ReadWholeFile(kImportDir + "no such file.txt", bytes, error));
  EXPECT_TRUE(bytes.empty());
  EXPECT_EQ(error, "No such file or directory");
}

TEST(ImportFileFailure, SecondImportReplacesTheFirst) {
  RowStore table;
  ASSERT_TRUE(ImportNumbersFromFile(table, kImportDir + "bom_utf8.txt"));
  ASSERT_EQ(table.RowCount(), 3);
  ASSERT_TRUE(ImportNumbersFromFile(table, kImportDir + "two_lines_crlf.txt"));
  EXPECT_EQ(CheckedNumbers(table), (std::vector<Text>{"GB/T50001-2010", "GB 50016-2014"}));
}

TEST(ReadWholeFile, ReadsEveryByteOfALargeFile) {
  char dir_template[] = "/tmp/kelvaro-import-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string path = std::string(dir_template) + "/big.bin";
  std::string content;
  for (int i = 0; i < 300000; ++i) content.push_back(static_cast<char>(i * 7 % 256));
  std::ofstream(path, std::ios::binary) << content;
  Bytes bytes;
  std::string error;
  EXPECT_TRUE(platform::ReadWholeFile(path, bytes, error));
  EXPECT_EQ(bytes, B(content));
  EXPECT_EQ(error, "");
  std::remove(path.c_str());
  rmdir(dir_template);
}

}  // namespace
}  // namespace kelvaro
