// The command line's writers and argument parsing, in process.
#include "cli/table_output.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "cli/options.h"
#include "document/readers/read_document.h"
#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro::cli {
namespace {

RowStore::Row MakeRow(std::vector<Text> cells, RowReason reason = {}) {
  RowStore::Row row;
  row.judgement.reason = reason;
  for (std::size_t i = 0; i < cells.size() && i < row.cells.size(); ++i) row.cells[i] = cells[i];
  return row;
}

struct EscapeCase {
  const char* name;
  std::string in;
  std::string json;
  std::string tsv;
  std::string csv;
};

KELVARO_PRINT_CASES_BY_NAME()

class Escaping : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(Escaping, EveryWriterEscapesItsOwnSeparators) {
  EXPECT_EQ(JsonString(GetParam().in), GetParam().json);
  EXPECT_EQ(TsvCell(GetParam().in), GetParam().tsv);
  EXPECT_EQ(CsvField(GetParam().in), GetParam().csv);
}

INSTANTIATE_TEST_SUITE_P(
    Cells, Escaping,
    ::testing::Values(
        EscapeCase{"Empty", "", "\"\"", "", ""},
        EscapeCase{"Number", "GB/T 50001-2010", "\"GB/T 50001-2010\"", "GB/T 50001-2010",
                   "GB/T 50001-2010"},
        EscapeCase{"Tab", "a\tb", "\"a\\tb\"", "a\\tb", "a\tb"},
        EscapeCase{"CrLf", "a\r\nb", "\"a\\r\\nb\"", "a\\r\\nb", "\"a\r\nb\""},
        EscapeCase{"Backslash", "a\\b", "\"a\\\\b\"", "a\\\\b", "a\\b"},
        EscapeCase{"Quotes", "say \"hi\"", "\"say \\\"hi\\\"\"", "say \"hi\"",
                   "\"say \"\"hi\"\"\""},
        EscapeCase{"Comma", "a,b", "\"a,b\"", "a,b", "\"a,b\""},
        EscapeCase{"LoneQuote", "\"", "\"\\\"\"", "\"", "\"\"\"\""},
        EscapeCase{"Controls", std::string("\x01\x1f\b\f\x7f\x1b\0", 7),
                   std::string("\"\\u0001\\u001f\\b\\f\x7f\\u001b\\u0000\""),
                   "\\x01\\x1f\\x08\\x0c\\x7f\\x1b\\x00", std::string("\x01\x1f\b\f\x7f\x1b\0", 7)},
        EscapeCase{"C1Control",
                   "a\xC2\x9B"
                   "b",
                   "\"a\xC2\x9B"
                   "b\"",
                   "a\\x9bb",
                   "a\xC2\x9B"
                   "b"},
        EscapeCase{"Chinese", "现行，有新标准", "\"现行，有新标准\"", "现行，有新标准",
                   "现行，有新标准"},
        EscapeCase{"LeadingSpace", " lead", "\" lead\"", " lead", " lead"},
        EscapeCase{"FormulaEquals", "=1+2", "\"=1+2\"", "=1+2", "'=1+2"},
        EscapeCase{"FormulaPlus", "+1", "\"+1\"", "+1", "'+1"},
        EscapeCase{"FormulaMinus", "-1", "\"-1\"", "-1", "'-1"},
        EscapeCase{"FormulaAt", "@A1", "\"@A1\"", "@A1", "'@A1"},
        EscapeCase{"FormulaWithComma", "=A1,B1", "\"=A1,B1\"", "=A1,B1", "\"'=A1,B1\""},
        EscapeCase{"SignInside", "a=b-c", "\"a=b-c\"", "a=b-c", "a=b-c"}),
    test::CaseName());

TEST(Formats, TsvHasTheHeaderAndOneEscapedLinePerRow) {
  const Rows rows = {MakeRow({"1", "GB/T50001-2010", Gbk(u8"现行"), "GB/T 50001-2010", "T"}),
                     MakeRow({"2", "a\tb\\c\nd", "", "", "\x1b[2J"})};
  EXPECT_EQ(FormatTable(Format::kTsv, rows),
            "序号\t待查标准编号\t是否现行\t最新标准编号\t最新标准名称\n"
            "1\tGB/T50001-2010\t现行\tGB/T 50001-2010\tT\n"
            "2\ta\\tb\\\\c\\nd\t\t\t\\x1b[2J\n");
  EXPECT_EQ(FormatTable(Format::kTsv, {}),
            "序号\t待查标准编号\t是否现行\t最新标准编号\t最新标准名称\n");
}

TEST(Formats, CsvStartsWithAByteOrderMarkAndEndsRecordsWithCrLf) {
  const Rows rows = {MakeRow({"1", "A,\"B\"", Gbk(u8"有新标准"), "X\r\nY", "=cmd"})};
  EXPECT_EQ(FormatTable(Format::kCsv, rows),
            "\xEF\xBB\xBF序号,待查标准编号,是否现行,最新标准编号,最新标准名称\r\n"
            "1,\"A,\"\"B\"\"\",有新标准,\"X\r\nY\",'=cmd\r\n");
}

// A 现行 row that looks up "《T》GB 1-2000" from line 2, whose site gives the title T.
RowStore::Row CitedRow(const std::string& site_title) {
  RowStore::Row row = MakeRow({"4", "GB 1-2000", Gbk(u8"现行"), "GB 1-2000", site_title});
  row.judgement.verdict = Verdict::kCurrent;
  row.judgement.notes.title_matches = site_title == "T";
  Citation c;
  c.number = "GB 1-2000";
  c.title = "T";
  row.source.citation = c;
  row.source.location.kind = Location::Kind::kLine;
  row.source.location.line = 2;
  return row;
}

TEST(Formats, JsonIsAnArrayOfRowObjectsWithTheirReasonsAndSources) {
  Rows rows = {
      MakeRow({"1", "A\"\\", Gbk(u8"未知"), "", "t\x02"}, {Outcome::kHttpError, 503, {}}),
      MakeRow({"2", "C", Gbk(u8"未知"), "", ""}, {Outcome::kNetwork, 0, "Couldn't \"connect\""}),
      MakeRow({"3", "B", "", "", ""}), CitedRow("T")};
  rows[3].judgement.notes = {
      ComingStandard{"GB 1-2024", "T2", "2027-03-01"}, "2018年版", false, {}, true};
  const std::string none =
      ", \"coming\": null, \"effective\": \"\", \"site_edition\": \"\", \"edition_matches\": null, "
      "\"replaced_by\": null, \"looked_up_at\": null, \"from_store\": false, \"previous\": null}";
  const std::string source =
      "\"source\": {\"number\": \"GB 1-2000\", \"code\": \"\", \"serial\": \"\", \"year\": \"\", "
      "\"full_year\": 0, \"edition\": \"\", \"amendment\": \"\", \"title\": \"T\", \"text\": \"\", "
      "\"location\": {\"line\": 2}, \"where\": \"第 2 行\"}";
  const std::string cited =
      "  {\"ordinal\": \"4\", \"number\": \"GB 1-2000\", \"status\": \"现行\", "
      "\"latest_number\": \"GB 1-2000\", \"latest_title\": ";
  EXPECT_EQ(FormatTable(Format::kJson, rows),
            "[\n"
            "  {\"ordinal\": \"1\", \"number\": \"A\\\"\\\\\", \"status\": \"未知\", "
            "\"latest_number\": \"\", \"latest_title\": \"t\\u0002\", \"reason\": \"http-error\", "
            "\"http_status\": 503, \"title_matches\": null" +
                none +
                ",\n"
                "  {\"ordinal\": \"2\", \"number\": \"C\", \"status\": \"未知\", "
                "\"latest_number\": \"\", \"latest_title\": \"\", \"reason\": \"network\", "
                "\"error\": \"Couldn't \\\"connect\\\"\", \"title_matches\": null" +
                none +
                ",\n"
                "  {\"ordinal\": \"3\", \"number\": \"B\", \"status\": \"\", "
                "\"latest_number\": \"\", \"latest_title\": \"\", \"reason\": \"\", "
                "\"title_matches\": null" +
                none + ",\n" + cited + "\"T\", \"reason\": \"\", " + source +
                ", \"title_matches\": true, \"coming\": {\"number\": \"GB 1-2024\", "
                "\"title\": \"T2\", \"effective\": \"2027-03-01\"}, \"effective\": \"\", "
                "\"site_edition\": \"2018年版\", \"edition_matches\": false, \"replaced_by\": "
                "null, \"looked_up_at\": null, \"from_store\": false, \"previous\": null}\n]\n");
  EXPECT_EQ(FormatTable(Format::kJson, {}), "[]\n");
}

TEST(Formats, SourcesFollowTheReasonsWhenAsked) {
  const Rows rows = {CitedRow("T")};
  EXPECT_EQ(FormatTable(Format::kTsv, rows, {.reasons = true, .sources = true}),
            "序号\t待查标准编号\t是否现行\t最新标准编号\t最新标准名称\t原因\t出处\t原文\n"
            "4\tGB 1-2000\t现行\tGB 1-2000\tT\t\t第 2 行\t\n");
}

TEST(Formats, ACitationCitedAgainGivesEveryPlace) {
  RowStore::Row row = CitedRow("T");
  CitedPlace again{row.source.location, *row.source.citation};
  again.location.line = 5;
  again.citation.written = "GB1-2000";
  row.source.cited_again = {again, again};
  EXPECT_EQ(FormatTable(Format::kTsv, {row}, {.sources = true}),
            "序号\t待查标准编号\t是否现行\t最新标准编号\t最新标准名称\t出处\t原文\n"
            "4\tGB 1-2000\t现行\tGB 1-2000\tT\t第 2 行；第 5 行\t\n");
  const std::string json = FormatTable(Format::kJson, {row});
  const std::string place = "\"text\": \"GB1-2000\", \"location\": {\"line\": 5}";
  const std::size_t first = json.find("\"cited_again\": [{");
  ASSERT_NE(first, std::string::npos) << json;
  EXPECT_NE(json.find(place, first), std::string::npos);
  EXPECT_NE(json.find(place, json.find(place, first) + 1), std::string::npos);
}

TEST(Formats, ReasonsAreASixthColumnOnlyWhenAsked) {
  const Rows rows = {MakeRow({"1", "N", "", "", ""}, {Outcome::kNetwork, 0, "Timed out"}),
                     MakeRow({"2", "K", "", "", ""}, {Outcome::kHttpError, 503, {}})};
  EXPECT_EQ(FormatTable(Format::kTsv, rows, {.reasons = true}),
            "序号\t待查标准编号\t是否现行\t最新标准编号\t最新标准名称\t原因\n"
            "1\tN\t\t\t\tnetwork: Timed out\n2\tK\t\t\t\thttp-error 503\n");
  EXPECT_EQ(FormatTable(Format::kTsv, rows).find("503"), std::string::npos);
}

TEST(Formats, CellsAreConvertedFromGbk) {
  // A byte pair that is no GBK character must not reach the output as raw bytes.
  const Rows rows = {MakeRow({"1", "\xFF\xFF", "", "", ""})};
  for (const Format format : {Format::kTsv, Format::kCsv, Format::kJson}) {
    const std::string out = FormatTable(format, rows);
    EXPECT_EQ(SanitizeUtf8(out), out);
    EXPECT_EQ(out.find("\xFF"), std::string::npos);
  }
}

TEST(Formats, ColumnOneAsWrittenReachesEveryFormatWhole) {
  const std::string written = "한국어 😀 GB 50016−2014";
  RowStore::Row row = MakeRow({"1", Utf8ToGbk(written), "", "", ""});
  row.source.number_utf8 = written;
  for (const Format format : {Format::kTsv, Format::kCsv, Format::kJson, Format::kXlsx}) {
    SCOPED_TRACE(static_cast<int>(format));
    std::string out = FormatTable(format, {row});
    if (format == Format::kXlsx) {
      std::vector<TextPiece> cells;
      DocumentError error = DocumentError::kNone;
      ASSERT_TRUE(ReadDocument(Bytes(out.begin(), out.end()), DocumentKind::kXlsx, cells, error));
      out.clear();
      for (const TextPiece& cell : cells) {
        if (cell.location.cell == "B2") out = cell.text;
      }
    }
    EXPECT_NE(out.find(written), std::string::npos) << out;
    EXPECT_EQ(out.find('?'), std::string::npos) << out;
  }
}

TEST(Formats, CheckJsonKeepsTheKeyOrder) {
  CheckFields f{"in\"", "c", "k", "http://x/s.jsp?keyword=k&pageNum=1", "现行", "N", "T\n",
                "D",    "P", {}};
  f.judgement.reason = {Outcome::kFound, 0, {}};
  EXPECT_EQ(FormatCheckJson(f),
            "{\n  \"input\": \"in\\\"\",\n  \"cleaned\": \"c\",\n  \"keyword\": \"k\",\n"
            "  \"address\": \"http://x/s.jsp?keyword=k&pageNum=1\",\n  \"status\": \"现行\",\n"
            "  \"number\": \"N\",\n  \"title\": \"T\\n\",\n  \"release_date\": \"D\",\n"
            "  \"department\": \"P\",\n  \"reason\": \"found\",\n  \"coming\": null,\n"
            "  \"effective\": \"\",\n  \"site_edition\": \"\",\n  \"edition_matches\": null,\n"
            "  \"replaced_by\": null,\n  \"looked_up_at\": null,\n  \"from_store\": false,\n  "
            "\"previous\": null\n}\n");
}

// A withdrawn standard's successor, trimmed as every field written out.
TEST(Formats, VerdictFieldsGiveTheSuccessor) {
  Judgement judgement;
  judgement.verdict = Verdict::kWithdrawn;
  ListedStandard successor;
  successor.number = "GB 50016-2014 ";
  successor.title = Gbk(u8"建筑设计防火规范");
  successor.status = Gbk(u8"现行");
  judgement.replaced_by = successor;
  const auto fields = VerdictFields(judgement);
  const auto replaced_by = std::find_if(
      fields.begin(), fields.end(), [](const auto& field) { return field.first == "replaced_by"; });
  ASSERT_NE(replaced_by, fields.end());
  EXPECT_EQ(replaced_by->second.dump(-1, ' ', false),
            "{\"number\":\"GB 50016-2014\",\"title\":\"建筑设计防火规范\",\"status\":\"现行\"}");
}

TEST(Formats, ReportForTerminalWritesLfLinesAndEscapesControls) {
  const Text report = "\r\n" + Gbk(u8"状态未知") + "\r\n\r\n" + "a\rb\nc\td\x1b]0;x\x07\x7f\r\n";
  EXPECT_EQ(ReportForTerminal(report), "\n状态未知\n\na\rb\nc\td\\x1b]0;x\\x07\\x7f\n");
}

TEST(Arguments, ParsesBothCommands) {
  ParsedArguments p =
      ParseArguments({"check", "--json", "--site", "http://h:1", "--site", "http://h:2", "GB 1-2"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.command, Options::Command::kCheck);
  EXPECT_TRUE(p.options.json);
  EXPECT_EQ(p.options.site, "http://h:2");  // the last one given
  EXPECT_EQ(p.options.operand, "GB 1-2");

  p = ParseArguments({"batch", "f.txt", "--speed=8", "--format", "csv", "--remove-current",
                      "--remove-superseded"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.command, Options::Command::kBatch);
  EXPECT_EQ(p.options.speed, 8);
  EXPECT_EQ(p.options.format, Format::kCsv);
  EXPECT_TRUE(p.options.remove_current);
  EXPECT_TRUE(p.options.remove_superseded);
  EXPECT_EQ(p.options.operand, "f.txt");

  p = ParseArguments({"batch", "--", "-odd name"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.operand, "-odd name");
  EXPECT_EQ(p.options.speed, 2);
  EXPECT_EQ(p.options.format, Format::kTsv);

  for (const std::string operand : {"", "-", "batch"}) {  // still the number asked for
    p = ParseArguments({"check", operand});
    EXPECT_EQ(p.error, "");
    EXPECT_EQ(p.options.operand, operand);
  }
}

TEST(Arguments, ParsesTheDocumentAndOutputOptions) {
  ParsedArguments p = ParseArguments(
      {"batch", "--citations", "--sources", "-o", "out.xlsx", "--format", "xlsx", "-"});
  ASSERT_EQ(p.error, "");
  EXPECT_TRUE(p.options.citations);
  EXPECT_TRUE(p.options.sources);
  EXPECT_EQ(p.options.output, "out.xlsx");
  EXPECT_EQ(p.options.format, Format::kXlsx);
  EXPECT_EQ(p.options.operand, "-");

  p = ParseArguments({"extract", "--output=c.json", "--format=json", "notes.docx"});
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(p.options.command, Options::Command::kExtract);
  EXPECT_EQ(p.options.output, "c.json");
  EXPECT_EQ(p.options.format, Format::kJson);
  EXPECT_EQ(p.options.operand, "notes.docx");

  for (const auto& [args, error] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"extract", "--format", "xlsx", "f"}, "bad format 'xlsx': use tsv, csv or json"},
           {{"batch", "--format", "pdf", "f"}, "bad format 'pdf': use tsv, csv, json or xlsx"},
           {{"extract", "--site", "http://h", "f"}, "unknown option '--site' for extract"},
           {{"extract", "--citations", "f"}, "unknown option '--citations' for extract"},
           {{"batch", "--output=", "f"}, "--output needs a FILE"},
           {{"check", "-o", "x", "N"}, "unknown option '-o' for check"},
           {{"extract"}, "extract needs a FILE"}}) {
    EXPECT_EQ(ParseArguments(args).error, error) << args[0];
  }
}

struct RefusalCase {
  std::string name;
  std::vector<std::string> args;
  bool terminal;
  bool refused;
};

class OutputPlace : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(OutputPlace, AWorkbookNeverGoesToATerminal) {
  const ParsedArguments p = ParseArguments(GetParam().args);
  ASSERT_EQ(p.error, "");
  EXPECT_EQ(OutputRefusal(p.options, GetParam().terminal).empty(), !GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, OutputPlace,
    ::testing::Values(
        RefusalCase{"WorkbookToTerminal", {"batch", "--format", "xlsx", "f"}, true, true},
        RefusalCase{"WorkbookToPipe", {"batch", "--format", "xlsx", "f"}, false, false},
        RefusalCase{"WorkbookToFile", {"batch", "--format", "xlsx", "-o", "x", "f"}, true, false},
        RefusalCase{"TextToTerminal", {"batch", "--format", "csv", "f"}, true, false}),
    test::CaseName());

TEST(Arguments, AWorkbookHoldsNoMoreRowsThanASheet) {
  for (const auto& [format, rows, refused] :
       std::vector<std::tuple<std::string, std::size_t, bool>>{
           {"xlsx", 1'048'575, false}, {"xlsx", 1'048'576, true}, {"csv", 1'048'576, false}}) {
    const ParsedArguments p = ParseArguments({"batch", "--format", format, "f"});
    EXPECT_EQ(RowCountRefusal(p.options, rows).empty(), !refused) << format << " " << rows;
  }
}

TEST(Formats, AWorkbookCountsItsCutCells) {
  const Rows rows = {MakeRow({"1", std::string(40'000, 'x'), "", "", std::string(32'767, 'y')}),
                     MakeRow({"2", std::string(32'768, 'z')})};
  std::size_t cells_cut = 0;
  EXPECT_FALSE(FormatTable(Format::kXlsx, rows, {}, &cells_cut).empty());
  EXPECT_EQ(cells_cut, 2u);
}

TEST(Arguments, SpeedIsAWholeNumberFromOneTo64) {
  for (const auto& [text, speed] :
       std::vector<std::pair<std::string, int>>{{"1", 1}, {"64", 64}, {"+2", 2}, {"007", 7}}) {
    const ParsedArguments p = ParseArguments({"batch", "--speed", text, "f"});
    EXPECT_EQ(p.error, "") << text;
    EXPECT_EQ(p.options.speed, speed) << text;
  }
  for (const std::string bad : {"", "abc", "3x", " 3", "3 ", "+", "-", "1.5", "３", "0", "-1", "65",
                                "99999999999999999999"}) {
    EXPECT_EQ(ParseArguments({"batch", "--speed", bad, "f"}).error,
              "bad speed '" + bad + "': give a whole number from 1 to 64");
  }
}

}  // namespace
}  // namespace kelvaro::cli
