// The command line's writers and argument parsing, in process.
#include "cli/table_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli.h"
#include "text/encoding.h"

namespace kelvaro::cli {
namespace {

RowStore::Row MakeRow(std::vector<Text> cells) {
  RowStore::Row row;
  for (std::size_t i = 0; i < cells.size() && i < row.cells.size(); ++i) row.cells[i] = cells[i];
  return row;
}

struct EscapeCase {
  std::string in;
  std::string json;
  std::string tsv;
  std::string csv;
};

class Escaping : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(Escaping, EveryWriterEscapesItsOwnSeparators) {
  EXPECT_EQ(JsonString(GetParam().in), GetParam().json);
  EXPECT_EQ(TsvCell(GetParam().in), GetParam().tsv);
  EXPECT_EQ(CsvField(GetParam().in), GetParam().csv);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, Escaping,
    ::testing::Values(
        EscapeCase{"", "\"\"", "", ""},
        EscapeCase{"GB/T 50001-2010", "\"GB/T 50001-2010\"", "GB/T 50001-2010", "GB/T 50001-2010"},
        EscapeCase{"a\tb", "\"a\\tb\"", "a\\tb", "a\tb"},
        EscapeCase{"a\r\nb", "\"a\\r\\nb\"", "a\\r\\nb", "\"a\r\nb\""},
        EscapeCase{"a\\b", "\"a\\\\b\"", "a\\\\b", "a\\b"},
        EscapeCase{"say \"hi\"", "\"say \\\"hi\\\"\"", "say \"hi\"", "\"say \"\"hi\"\"\""},
        EscapeCase{"a,b", "\"a,b\"", "a,b", "\"a,b\""},
        EscapeCase{"\"", "\"\\\"\"", "\"", "\"\"\"\""},
        EscapeCase{std::string("\x01\x1f\b\f\x7f", 5), "\"\\u0001\\u001f\\b\\f\x7f\"",
                   std::string("\x01\x1f\b\f\x7f", 5), std::string("\x01\x1f\b\f\x7f", 5)},
        EscapeCase{"现行，有新标准", "\"现行，有新标准\"", "现行，有新标准", "现行，有新标准"},
        EscapeCase{" lead", "\" lead\"", " lead", " lead"}));

TEST(Formats, TsvHasTheHeaderAndOneEscapedLinePerRow) {
  const Rows rows = {MakeRow({"1", "GB/T50001-2010", Gbk(u8"现行"), "GB/T 50001-2010", "T"}),
                     MakeRow({"2", "a\tb\\c\nd", "", "", ""})};
  EXPECT_EQ(FormatTsv(rows),
            "序号\t待查标准编号\t是否现行\t最新标准编号\t最新标准名称\n"
            "1\tGB/T50001-2010\t现行\tGB/T 50001-2010\tT\n"
            "2\ta\\tb\\\\c\\nd\t\t\t\n");
  EXPECT_EQ(FormatTsv({}), "序号\t待查标准编号\t是否现行\t最新标准编号\t最新标准名称\n");
}

TEST(Formats, CsvStartsWithAByteOrderMarkAndEndsRecordsWithCrLf) {
  const Rows rows = {MakeRow({"1", "A,\"B\"", Gbk(u8"有新标准"), "X\r\nY", ""})};
  EXPECT_EQ(FormatCsv(rows),
            "\xEF\xBB\xBF序号,待查标准编号,是否现行,最新标准编号,最新标准名称\r\n"
            "1,\"A,\"\"B\"\"\",有新标准,\"X\r\nY\",\r\n");
}

TEST(Formats, JsonIsAnArrayOfRowObjects) {
  const Rows rows = {MakeRow({"1", "A\"\\", Gbk(u8"未知"), "", "t\x02"}),
                     MakeRow({"3", "B", "", "", ""})};
  EXPECT_EQ(FormatJson(rows),
            "[\n"
            "  {\"ordinal\": \"1\", \"number\": \"A\\\"\\\\\", \"status\": \"未知\", "
            "\"latest_number\": \"\", \"latest_title\": \"t\\u0002\"},\n"
            "  {\"ordinal\": \"3\", \"number\": \"B\", \"status\": \"\", "
            "\"latest_number\": \"\", \"latest_title\": \"\"}\n"
            "]\n");
  EXPECT_EQ(FormatJson({}), "[]\n");
}

TEST(Formats, CellsAreConvertedFromGbk) {
  // A byte pair that is no GBK character must not reach the output as raw bytes.
  const Rows rows = {MakeRow({"1", "\xFF\xFF", "", "", ""})};
  const std::string tsv = FormatTsv(rows);
  EXPECT_EQ(SanitizeUtf8(tsv), tsv);
  EXPECT_EQ(tsv.find("\xFF"), std::string::npos);
}

TEST(Formats, CheckJsonKeepsTheKeyOrder) {
  CheckFields f{"in\"", "c", "k", "http://x/s.jsp?keyword=k&pageNum=1", "现行", "N",
                "T\n",  "D", "P"};
  EXPECT_EQ(FormatCheckJson(f),
            "{\n  \"input\": \"in\\\"\",\n  \"cleaned\": \"c\",\n  \"keyword\": \"k\",\n"
            "  \"address\": \"http://x/s.jsp?keyword=k&pageNum=1\",\n  \"status\": \"现行\",\n"
            "  \"number\": \"N\",\n  \"title\": \"T\\n\",\n  \"release_date\": \"D\",\n"
            "  \"department\": \"P\"\n}\n");
}

TEST(Formats, ReportForTerminalWritesLfLines) {
  const Text report = "\r\n" + Gbk(u8"状态未知") + "\r\n\r\n" + "a\rb\nc\r\n";
  EXPECT_EQ(ReportForTerminal(report), "\n状态未知\n\na\rb\nc\n");
}

struct Utf8Case {
  std::string in;
  std::string out;
};

class Sanitize : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Sanitize, ReplacesEachMaximalInvalidSequence) {
  EXPECT_EQ(SanitizeUtf8(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Sanitize,
    ::testing::Values(Utf8Case{"plain", "plain"}, Utf8Case{"现行😀", "现行😀"},
                      Utf8Case{"a\xFF"
                               "b",
                               "a\xEF\xBF\xBD"
                               "b"},
                      Utf8Case{"\xE7\x8E", "\xEF\xBF\xBD"},
                      Utf8Case{"\xE7\x8E"
                               "x",
                               "\xEF\xBF\xBD"
                               "x"},
                      Utf8Case{"\x80\x80", "\xEF\xBF\xBD\xEF\xBF\xBD"},
                      Utf8Case{"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
                      Utf8Case{"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
                      Utf8Case{"\xF4\x90\x80\x80",
                               "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
                      Utf8Case{"\xF0\x9F\x98", "\xEF\xBF\xBD"}));

TEST(Arguments, ParsesBothCommands) {
  Options o;
  std::string error;
  ASSERT_TRUE(ParseArguments({"check", "--json", "--site", "http://h:1", "GB 1-2"}, o, error));
  EXPECT_EQ(o.command, Options::Command::kCheck);
  EXPECT_TRUE(o.json);
  EXPECT_EQ(o.site, "http://h:1");
  EXPECT_EQ(o.operand, "GB 1-2");

  ASSERT_TRUE(ParseArguments(
      {"batch", "f.txt", "--speed=8", "--format", "csv", "--remove-current", "--remove-superseded"},
      o, error));
  EXPECT_EQ(o.command, Options::Command::kBatch);
  EXPECT_EQ(o.speed, "8");
  EXPECT_EQ(o.format, "csv");
  EXPECT_TRUE(o.remove_current);
  EXPECT_TRUE(o.remove_superseded);
  EXPECT_EQ(o.operand, "f.txt");

  ASSERT_TRUE(ParseArguments({"batch", "--", "-odd name"}, o, error));
  EXPECT_EQ(o.operand, "-odd name");
  EXPECT_EQ(o.speed, "2");
  EXPECT_EQ(o.format, "tsv");

  ASSERT_TRUE(ParseArguments({"check", ""}, o, error));  // an empty number is a number
  EXPECT_EQ(o.operand, "");
}

TEST(Arguments, SpeedMustBeAWholeNumber) {
  for (const std::string good : {"1", "64", "0", "-3", "+2", "99999999999"}) {
    EXPECT_TRUE(IsWholeNumber(good)) << good;
  }
  for (const std::string bad : {"", "abc", "3x", " 3", "3 ", "+", "-", "1.5", "３"}) {
    EXPECT_FALSE(IsWholeNumber(bad)) << bad;
  }
}

}  // namespace
}  // namespace kelvaro::cli
