// kelvaro-cli run as a subprocess against the sample site started by the test.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "cli/table_output.h"  // ReportForTerminal
#include "document/containers/zip_reader.h"
#include "query/single_query.h"
#include "rows/reason.h"
#include "site/standard_site.h"
#include "store/lookup_archive.h"
#include "support/fault_server.h"
#include "support/office_builder.h"
#include "support/pdf_samples.h"
#include "support/process.h"
#include "support/recording_server.h"
#include "support/sample_site.h"
#include "support/table_text.h"
#include "support/temp_dir.h"
#include "support/tls_server.h"
#include "text/encoding.h"

namespace kelvaro::cli {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::ProcessResult;
using test::ProcessSetup;
using test::Table;
using test::TempDir;

const std::string kMixedFile = std::string(KELVARO_TEST_DATA_DIR) + "/import/mixed_numbers.txt";
const std::vector<std::string> kRowKeys = {"ordinal", "number", "status", "latest_number",
                                           "latest_title"};

// The site comes only from what the test passes.
ProcessSetup CliSetup(std::map<std::string, std::string> env = {},
                      ProcessSetup::Stdout stdout_mode = ProcessSetup::Stdout::kFile) {
  ProcessSetup setup;
  setup.env = std::move(env);
  setup.unset_env = {"KELVARO_SITE"};
  setup.stdout_mode = stdout_mode;
  return setup;
}

std::vector<std::string> CliArgv(std::vector<std::string> args) {
  args.insert(args.begin(), KELVARO_CLI_PATH);
  return args;
}

ProcessResult RunCli(std::vector<std::string> args, std::map<std::string, std::string> env = {}) {
  return test::RunProcess(CliArgv(std::move(args)), CliSetup(std::move(env)));
}

nlohmann::ordered_json Json(const std::string& text) {
  std::string error;
  nlohmann::ordered_json json = test::ReadJson(text, error);
  EXPECT_EQ(error, "") << text;
  return json;
}

std::string Str(const nlohmann::ordered_json& object, const std::string& key) {
  const auto value = object.find(key);
  return value != object.end() && value->is_string() ? value->get<std::string>()
                                                     : "<no string " + key + ">";
}

// The rows of a JSON table under the header row the other formats have (reasons, sources and
// what a verdict adds left out).
Table JsonTable(const std::string& out, std::string& error) {
  std::vector<std::string> keys = kRowKeys;
  keys.push_back("reason");
  nlohmann::ordered_json rows = test::ReadJson(out, error);
  for (auto& row : rows) {
    if (!row.is_object()) continue;
    for (const char* key :
         {"source", "title_matches", "coming", "effective", "site_edition", "edition_matches",
          "replaced_by", "looked_up_at", "from_store", "previous"}) {
      row.erase(key);
    }
  }
  Table table = test::JsonRows(rows, keys, error);
  for (auto& row : table) row.pop_back();
  table.insert(table.begin(), {"序号", "待查标准编号", "是否现行", "最新标准编号", "最新标准名称"});
  return table;
}

// What the sample data gives for each line of the mixed file (ordinal, number, status,
// latest number, latest title).
const Table kMixedExpected = {
    {"序号", "待查标准编号", "是否现行", "最新标准编号", "最新标准名称"},
    {"1", "GB/T50001-2010", "有新标准", "GB/T 50001-2017", "房屋建筑制图统一标准"},
    {"2", "GB 50016-2014", "现行", "GB 50016-2014", "建筑设计防火规范"},
    {"3", "GB/T 50103-2001", "有新标准", "GB/T 50103-2010", "总图制图标准"},
    {"4", "GB/T99999-2010", "未知", "", ""},
    {"5", "  GB 50011-2010  ", "现行", "GB 50011-2010", "建筑抗震设计规范"},
    {"6", "", "未知", "", ""},
    {"7", "GB 50010-2015", "未知", "GB 50010-2010", "混凝土结构设计规范"},
    {"8", "GB 50017-2003", "有新标准", "GB 50017-2017", "钢结构设计标准"},
    {"9", "GB/T 7714-2015", "现行", "GB/T 7714-2015", "信息与文献 参考文献著录规则"},
    {"10", "GBT1.1-2009", "有新标准", "GB/T 1.1-2020",
     "标准化工作导则 第1部分：标准化文件的结构和起草规则"},
    {"11", "ABCD", "未知", "", ""},
};

const std::string kMixedSummary =
    "11 行：3 现行，4 有新标准，0 已废止，0 尚未实施，4 未收录，0 查询失败\n";

Table Without(const Table& table, const std::string& status) {
  Table out;
  for (const auto& row : table) {
    if (row[2] != status) out.push_back(row);
  }
  return out;
}

class CliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new test::SampleSite({"--today", "2026-12-01"}); }
  static void TearDownTestSuite() {
    delete site_;
    site_ = nullptr;
  }
  static std::string Prefix() { return site_->prefix(); }
  static test::SampleSite* site_;
};
test::SampleSite* CliTest::site_ = nullptr;

// ---- check ------------------------------------------------------------------------------

TEST_F(CliTest, CheckPrintsTheReportOfTheSingleQuery) {
  for (const std::string number :
       {"GB 50016-2014", "GB/T50001-2010", "GB/T 99999-2010", "", "GB/T 50103-2010 "}) {
    SCOPED_TRACE(number);
    const ProcessResult r = RunCli({"check", "--site", Prefix(), number});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    const Text report = SingleQueryReport(RunSingleQuery(SiteAt(Prefix()), Utf8ToGbk(number)));
    EXPECT_EQ(r.out, ReportForTerminal(report));
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
  }
  const ProcessResult current = RunCli({"check", "--site", Prefix(), "GB 50016-2014"});
  EXPECT_EQ(current.out.substr(0, 1 + std::strlen("标准状态：现行\n")), "\n标准状态：现行\n");
  EXPECT_NE(current.out.find("\n\n标准名称：建筑设计防火规范\n\n"), std::string::npos);
  const ProcessResult unknown = RunCli({"check", "--site", Prefix(), "GB/T 99999-2010"});
  EXPECT_EQ(unknown.out, "\n状态未知\n\n请查看查询结果网页：" + Prefix() +
                             "/s.jsp?keyword=GBT99999&pageNum=1\n\n");
}

struct CheckJsonCase {
  std::string input;
  std::string status;
  std::string number;
  std::string title;
  std::string keyword;
  int page = 1;  // of the keyword's hits, the last read
};

TEST_F(CliTest, CheckJsonGivesTheFieldsAndTheBatchStatus) {
  const std::vector<CheckJsonCase> cases = {
      {"GB 50016-2014", "现行", "GB 50016-2014", "建筑设计防火规范", "GB50016"},
      {"GB/T50001-2010", "有新标准", "GB/T 50001-2017", "房屋建筑制图统一标准", "GBT50001"},
      {"GB 50010-2015", "未知", "GB 50010-2010", "混凝土结构设计规范", "GB50010"},
      {"GB/T 99999-2010", "未知", "", "", "GBT99999"},
      // "JGJ8" lists 25 rows of JGJ 80 to 89 first: JGJ 8's own are on the second page.
      {"JGJ 8-2016", "现行", "JGJ 8-2016", "建筑变形测量规范", "JGJ8", 2},
      // Read as the query box reads it: the citation's number, its title and edition aside.
      {"《建筑设计防火规范》GB 50016-2014（2018年版）", "现行", "GB 50016-2014", "建筑设计防火规范",
       "GB50016"},
      {"", "未知", "", "", ""},
      // Quote and backslash are cleaned away; tab and control byte stay and are escaped.
      {"GB\"1\\2\t3\x01 4-2010", "未知", "", "",
       "GB12\t3\x01"
       "4"},
  };
  for (const CheckJsonCase& c : cases) {
    SCOPED_TRACE(c.input);
    const ProcessResult r = RunCli({"check", "--json", "--site", Prefix(), c.input});
    EXPECT_EQ(r.exit_code, 0);
    const nlohmann::ordered_json json = Json(r.out);
    EXPECT_EQ(json.size(), 18u);  // with "reason" and the verdict's eight
    EXPECT_EQ(Str(json, "input"), c.input);
    EXPECT_EQ(Str(json, "keyword"), c.keyword);
    EXPECT_EQ(Str(json, "status"), c.status);
    EXPECT_EQ(Str(json, "number"), c.number);
    EXPECT_EQ(Str(json, "title"), c.title);
    EXPECT_EQ(Str(json, "address"),
              Prefix() + "/s.jsp?keyword=" + c.keyword + "&pageNum=" + std::to_string(c.page));
    if (!c.number.empty()) {
      EXPECT_FALSE(Str(json, "release_date").empty());
      EXPECT_FALSE(Str(json, "department").empty());
    }
  }
}

TEST_F(CliTest, SiteComesFromTheOptionThenTheEnvironment) {
  const ProcessResult from_env =
      RunCli({"check", "--json", "GB 50016-2014"}, {{"KELVARO_SITE", Prefix()}});
  EXPECT_EQ(Str(Json(from_env.out), "status"), "现行");
  // The option wins over the environment (port 9 on the loopback answers nothing).
  const ProcessResult option_wins =
      RunCli({"check", "--json", "--site=" + Prefix(), "GB 50016-2014"},
             {{"KELVARO_SITE", "http://127.0.0.1:9"}});
  EXPECT_EQ(Str(Json(option_wins.out), "status"), "现行");
  const ProcessResult env_only =
      RunCli({"check", "--json", "GB 50016-2014"}, {{"KELVARO_SITE", "http://127.0.0.1:9"}});
  EXPECT_EQ(env_only.exit_code, 0);
  const nlohmann::ordered_json unreachable = Json(env_only.out);
  EXPECT_EQ(Str(unreachable, "status"), "未知");
  EXPECT_EQ(Str(unreachable, "reason"), "network");
  EXPECT_NE(Str(unreachable, "error"), "");
  EXPECT_EQ(Str(unreachable, "address"), "http://127.0.0.1:9/s.jsp?keyword=GB50016&pageNum=1");
}

// The site refusing after one answer: the second lookup is a failure that says so, never
// "not listed", and --strict counts it as the site failing.
TEST(CliRefusal, CheckSaysTheSiteRefused) {
  test::SampleSite site({"--refuse-after", "1", "--refuse-window", "3600"});
  const std::vector<std::string> check = {"check", "--json", "--site", site.prefix(),
                                          "GB 50016-2014"};
  EXPECT_EQ(Str(Json(RunCli(check).out), "status"), "现行");
  const ProcessResult refused = RunCli(check);
  EXPECT_EQ(refused.exit_code, 0);
  const nlohmann::ordered_json json = Json(refused.out);
  EXPECT_EQ(Str(json, "status"), "未知");
  EXPECT_EQ(Str(json, "reason"), "refused");
  TempDir dir;
  const std::string list = dir.Write("list.txt", "GB 50016-2014\n");
  const ProcessResult strict =
      RunCli({"batch", "--strict", "--reasons", "--site", site.prefix(), list});
  EXPECT_EQ(strict.exit_code, 3);
  EXPECT_NE(strict.out.find("\trefused"), std::string::npos) << strict.out;
  EXPECT_NE(strict.err.find("1 查询失败"), std::string::npos) << strict.err;
}

TEST(CliTls, CertificatesAreCheckedUnlessTheUserOptsOut) {
  const test::SiteRecord record{"GB 50016-2014", "T", "2014-01-01", "D"};
  test::TlsServer server([&](const httplib::Request&, httplib::Response& res) {
    res.set_content(test::ResultPageFor(&record), "text/html; charset=GBK");
  });
  const std::vector<std::string> check = {"check", "--json", "--site", server.Url(""),
                                          "GB 50016-2014"};
  EXPECT_EQ(Str(Json(RunCli(check).out), "status"), "未知");  // self-signed: refused
  std::vector<std::string> insecure = check;
  insecure.insert(insecure.begin() + 1, "--insecure");
  EXPECT_EQ(Str(Json(RunCli(insecure).out), "status"), "现行");
  EXPECT_EQ(Str(Json(RunCli(check, {{"KELVARO_TLS_INSECURE", "1"}}).out), "status"), "现行");
}

// ---- batch ------------------------------------------------------------------------------

TEST_F(CliTest, BatchPrintsTheSameTableInEveryFormat) {
  const ProcessResult tsv = RunCli({"batch", "--site", Prefix(), kMixedFile});
  const ProcessResult csv = RunCli({"batch", "--site", Prefix(), "--format", "csv", kMixedFile});
  const ProcessResult json = RunCli({"batch", "--format=json", "--site", Prefix(), kMixedFile});
  for (const ProcessResult* r : {&tsv, &csv, &json}) {
    EXPECT_EQ(r->exit_code, 0);
    // No progress line unless stderr is a terminal; the summary always.
    EXPECT_EQ(r->err, kMixedSummary);
  }
  std::string error;
  const Table from_tsv = test::ReadTsv(tsv.out, error);
  EXPECT_EQ(from_tsv, kMixedExpected);
  EXPECT_EQ(test::ReadCsv(csv.out, error), from_tsv);
  EXPECT_EQ(JsonTable(json.out, error), from_tsv);
  EXPECT_EQ(error, "");
}

// Withdrawn standards show the successor their detail pages name (the status word stays), and
// a short serial is judged by its own rows, not by the longer namesakes listed before them.
TEST_F(CliTest, BatchGivesWithdrawnStandardsTheirSuccessor) {
  TempDir dir;
  const std::string list = dir.Write("list.txt", "GB 50045-95\nGBJ 16-87\nJGJ 8-2007\n");
  const ProcessResult tsv = RunCli({"batch", "--site", Prefix(), "--reasons", list});
  EXPECT_EQ(tsv.exit_code, 0) << tsv.err;
  std::string error;
  EXPECT_EQ(test::ReadTsv(tsv.out, error),
            (Table{{"序号", "待查标准编号", "是否现行", "最新标准编号", "最新标准名称", "原因"},
                   {"1", "GB 50045-95", "未知", "GB 50016-2014", "建筑设计防火规范", "withdrawn"},
                   {"2", "GBJ 16-87", "未知", "GB 50016-2014", "建筑设计防火规范", "withdrawn"},
                   {"3", "JGJ 8-2007", "有新标准", "JGJ 8-2016", "建筑变形测量规范", "found"}}));
  EXPECT_EQ(tsv.err, "3 行：0 现行，1 有新标准，2 已废止，0 尚未实施，0 未收录，0 查询失败\n");
  const nlohmann::ordered_json rows =
      Json(RunCli({"batch", "--site", Prefix(), "--format", "json", list}).out);
  ASSERT_EQ(rows.size(), 3u);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(rows[i]["replaced_by"],
              (nlohmann::ordered_json{
                  {"number", "GB 50016-2014"}, {"title", "建筑设计防火规范"}, {"status", "现行"}}))
        << i;
  }
  EXPECT_TRUE(rows[2]["replaced_by"].is_null());
}

// A site that answers 503 to the first request for each keyword, then the result page.
class FlakySite {
 public:
  FlakySite()
      : server_([this](const test::RecordedRequest& request) {
          const std::string keyword = test::KeywordOfRequestLine(request.request_line);
          std::lock_guard lock(mutex_);
          if (asked_.insert(keyword).second) return test::Reply::Http(503, "busy");
          const test::SiteRecord record{keyword == "GB50016" ? "GB 50016-2014" : "GB 50011-2010",
                                        "T", "2014-01-01", "D"};
          return test::Reply::Http(200, test::ResultPageFor(&record));
        }) {}
  std::string Prefix() const { return "http://" + server_.HostPort(); }
  std::size_t Requests() const { return server_.Requests().size(); }

 private:
  std::mutex mutex_;
  std::set<std::string> asked_;
  test::RecordingServer server_;  // last: its handler uses the members above
};

TEST(CliSiteFailures, StrictExitsWithThreeAndRetryTriesTheFailedRowsAgain) {
  TempDir dir;
  const std::string file = dir.Write("two.txt", "GB 50016-2014\r\nGB 50011-2010\r\n");
  FlakySite first;
  const ProcessResult failed =
      RunCli({"batch", "--site", first.Prefix(), "--strict", "--reasons", file});
  EXPECT_EQ(failed.exit_code, 3);
  EXPECT_EQ(failed.err, "2 行：0 现行，0 有新标准，0 已废止，0 尚未实施，0 未收录，2 查询失败\n");
  std::string error;
  const Table table = test::ReadTsv(failed.out, error);
  ASSERT_EQ(table.size(), 3u);
  EXPECT_EQ(table[0][5], "原因");
  EXPECT_EQ(table[1][5], "http-error 503");
  EXPECT_EQ(table[2][5], "http-error 503");

  FlakySite second;
  const ProcessResult retried =
      RunCli({"batch", "--site", second.Prefix(), "--strict", "--retry", "2", file});
  EXPECT_EQ(retried.exit_code, 0) << retried.err;
  EXPECT_EQ(retried.err, "2 行：2 现行，0 有新标准，0 已废止，0 尚未实施，0 未收录，0 查询失败\n");
  EXPECT_EQ(test::ReadTsv(retried.out, error)[2],
            (std::vector<std::string>{"2", "GB 50011-2010", "现行", "GB 50011-2010", "T"}));
  EXPECT_EQ(second.Requests(), 4u);  // one more try each, and no third one
  EXPECT_EQ(error, "");
}

TEST_F(CliTest, BatchCellsWithSeparatorsSurviveEveryFormat) {
  TempDir dir;
  // One line holding tab, comma, quotes, backslash and a lone CR (which stays in its line);
  // then an empty line and a Chinese one ended by a lone LF.
  const std::string file = dir.Write("odd.txt", "A,\"B\"\tC\\D\rE\r\n\r\n建筑 \"x\"\n");
  const ProcessResult tsv = RunCli({"batch", "--site", Prefix(), file});
  const ProcessResult csv = RunCli({"batch", "--site", Prefix(), "--format", "csv", file});
  const ProcessResult json = RunCli({"batch", "--site", Prefix(), "--format", "json", file});
  std::string error;
  const Table from_tsv = test::ReadTsv(tsv.out, error);
  ASSERT_EQ(from_tsv.size(), 4u);
  EXPECT_EQ(from_tsv[1][1], "A,\"B\"\tC\\D\rE");
  EXPECT_EQ(from_tsv[2][1], "");
  EXPECT_EQ(from_tsv[3][1], "建筑 \"x\"");
  EXPECT_EQ(test::ReadCsv(csv.out, error), from_tsv);
  EXPECT_EQ(JsonTable(json.out, error), from_tsv);
  EXPECT_EQ(error, "");
}

TEST_F(CliTest, BatchRemovesRowsByStatus) {
  const ProcessResult current =
      RunCli({"batch", "--site", Prefix(), "--remove-current", kMixedFile});
  const ProcessResult superseded =
      RunCli({"batch", "--remove-superseded", "--site", Prefix(), kMixedFile});
  const ProcessResult both =
      RunCli({"batch", "--remove-superseded", "--remove-current", "--site", Prefix(), kMixedFile});
  std::string error;
  EXPECT_EQ(test::ReadTsv(current.out, error), Without(kMixedExpected, "现行"));
  EXPECT_EQ(test::ReadTsv(superseded.out, error), Without(kMixedExpected, "有新标准"));
  EXPECT_EQ(test::ReadTsv(both.out, error), Without(Without(kMixedExpected, "现行"), "有新标准"));
  EXPECT_EQ(error, "");
  for (const ProcessResult* r : {&current, &superseded, &both}) EXPECT_EQ(r->exit_code, 0);
}

TEST_F(CliTest, BatchOfAnEmptyFilePrintsTheHeaderOnly) {
  TempDir dir;
  const std::string file = dir.Write("empty.txt", "");
  const ProcessResult r = RunCli({"batch", "--site", Prefix(), file});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "序号\t待查标准编号\t是否现行\t最新标准编号\t最新标准名称\n");
  const ProcessResult json = RunCli({"batch", "--site", Prefix(), "--format", "json", file});
  EXPECT_EQ(Json(json.out), nlohmann::ordered_json::array());
}

TEST_F(CliTest, BatchTakesEverySpeedFromOneTo64) {
  for (const std::string speed : {"1", "64", "+5", "007"}) {
    SCOPED_TRACE(speed);
    const ProcessResult r = RunCli({"batch", "--site", Prefix(), "--speed", speed, kMixedFile});
    EXPECT_EQ(r.exit_code, 0);
    std::string error;
    EXPECT_EQ(test::ReadTsv(r.out, error), kMixedExpected);
  }
}

// A site whose texts hold terminal controls and spreadsheet formulas.
TEST(CliHostileSite, ControlsAreEscapedAndFormulasDefused) {
  TempDir dir;
  const std::string title = "=SUM(A1)\x1b]0;owned\x07 title\x7f";
  const std::string data =
      dir.Write("data.tsv", "GB 90001-2020\t" + title + "\t2020-01-01\tDept\t现行\n");
  const test::SampleSite site({"--data", data});
  const std::string numbers =
      dir.Write("n.txt", "GB 90001-2020\r\n=1+2\r\n+3\r\n-4\r\n@5\r\na=b\r\n");

  const ProcessResult check = RunCli({"check", "--site", site.prefix(), "GB 90001-2020"});
  EXPECT_EQ(check.exit_code, 0);
  EXPECT_NE(check.out.find("=SUM(A1)\\x1b]0;owned\\x07 title\\x7f\n"), std::string::npos)
      << check.out;

  std::string error;
  const ProcessResult tsv = RunCli({"batch", "--site", site.prefix(), numbers});
  const ProcessResult csv = RunCli({"batch", "--site", site.prefix(), "--format", "csv", numbers});
  const ProcessResult json =
      RunCli({"batch", "--site", site.prefix(), "--format", "json", numbers});
  const Table from_json = JsonTable(json.out, error);
  ASSERT_EQ(from_json.size(), 7u);
  EXPECT_EQ(from_json[1][4], title);  // JSON carries the text as it is
  EXPECT_EQ(test::ReadTsv(tsv.out, error), from_json);
  for (const std::string* out : {&check.out, &tsv.out}) {
    for (const char c : *out) {
      const auto byte = static_cast<unsigned char>(c);
      EXPECT_TRUE(byte >= 0x20 ? byte != 0x7f : c == '\n' || c == '\t') << static_cast<int>(c);
    }
  }
  const Table from_csv = test::ReadCsv(csv.out, error);
  ASSERT_EQ(from_csv.size(), from_json.size());
  for (std::size_t row = 0; row < from_json.size(); ++row) {
    for (std::size_t column = 0; column < from_json[row].size(); ++column) {
      const std::string& cell = from_json[row][column];
      const bool formula = !cell.empty() && std::string("=+-@").find(cell[0]) != std::string::npos;
      EXPECT_EQ(from_csv[row][column], (formula ? "'" : "") + cell);
    }
  }
  EXPECT_EQ(from_csv[2][1], "'=1+2");
  EXPECT_EQ(from_csv[6][1], "a=b");
  EXPECT_EQ(error, "");
}

// ---- documents and citations -----------------------------------------------------------

ProcessResult RunCliWithInput(const std::vector<std::string>& args, const std::string& input) {
  std::vector<std::string> argv = {"/bin/sh", "-c", "f=$1; shift; exec \"$0\" \"$@\" <\"$f\"",
                                   KELVARO_CLI_PATH, input};
  argv.insert(argv.end(), args.begin(), args.end());
  return test::RunProcess(argv, CliSetup());
}

// The citations as people write them, one or two a line.
const std::string kCitingText =
    "《建筑设计防火规范》GB 50016-2014（2018年版）\r\n"
    "制图按 GB/T 50001—2017，抗震按 GB50011-2010(2016年版)\n"
    "\n"
    "GB 50007－2011\nＧＢ　50017-2017\nGB 50009-2012 建筑结构荷载规范\nGB 50045-95";

// What extract gives for kCitingText: ordinal, number, code, serial, year, full_year,
// edition, amendment, title, text, where.
const Table kCited = {
    {"1", "GB 50016-2014", "GB", "50016", "2014", "2014", "2018年版", "", "建筑设计防火规范",
     "《建筑设计防火规范》GB 50016-2014（2018年版）", "第 1 行"},
    {"2", "GB/T 50001-2017", "GB/T", "50001", "2017", "2017", "", "", "", "GB/T 50001—2017",
     "第 2 行"},
    {"3", "GB 50011-2010", "GB", "50011", "2010", "2010", "2016年版", "", "",
     "GB50011-2010(2016年版)", "第 2 行"},
    {"4", "GB 50007-2011", "GB", "50007", "2011", "2011", "", "", "", "GB 50007－2011", "第 4 行"},
    {"5", "GB 50017-2017", "GB", "50017", "2017", "2017", "", "", "", "ＧＢ　50017-2017",
     "第 5 行"},
    {"6", "GB 50009-2012", "GB", "50009", "2012", "2012", "", "", "", "GB 50009-2012", "第 6 行"},
    {"7", "GB 50045-95", "GB", "50045", "95", "1995", "", "", "", "GB 50045-95", "第 7 行"},
};
const std::vector<std::string> kCitationKeys = {"ordinal", "number",    "code",     "serial",
                                                "year",    "full_year", "edition",  "amendment",
                                                "title",   "text",      "location", "where"};

// A JSON citation as the cells of kCited; its location object apart.
std::vector<std::string> CitationCells(const nlohmann::ordered_json& c) {
  std::vector<std::string> cells;
  for (const std::string& key : kCitationKeys) {
    if (key == "location") continue;
    const nlohmann::ordered_json& value = c.value(key, nlohmann::ordered_json());
    cells.push_back(value.is_string() ? value.get<std::string>() : value.dump());
  }
  return cells;
}

TEST(CliExtract, GivesEveryCitationOfATextFileOrStandardInput) {
  TempDir dir;
  const std::string file = dir.Write("notes.txt", kCitingText);
  for (const ProcessResult& r : {RunCli({"extract", "--format", "json", file}),
                                 RunCliWithInput({"extract", "--format=json", "-"}, file)}) {
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    const nlohmann::ordered_json json = Json(r.out);
    ASSERT_EQ(json.size(), kCited.size()) << r.out;
    for (std::size_t i = 0; i < kCited.size(); ++i) {
      std::vector<std::string> keys;
      for (const auto& [key, value] : json[i].items()) keys.push_back(key);
      EXPECT_EQ(keys, kCitationKeys);
      EXPECT_EQ(CitationCells(json[i]), kCited[i]);
      const std::string line = kCited[i][10].substr(std::strlen("第 "), 1);
      EXPECT_EQ(json[i]["location"], nlohmann::ordered_json({{"line", std::stoi(line)}}));
    }
  }
  // The tables' columns are the same fields; a missing year would be an empty 完整年份.
  std::string error;
  Table expected = kCited;
  expected.insert(expected.begin(), {"序号", "标准编号", "代号", "顺序号", "年份", "完整年份",
                                     "版次", "修改单", "题名", "原文", "出处"});
  EXPECT_EQ(test::ReadTsv(RunCli({"extract", file}).out, error), expected);
  EXPECT_EQ(test::ReadCsv(RunCli({"extract", "--format", "csv", file}).out, error), expected);
  EXPECT_EQ(error, "");
}

TEST(CliExtract, ReadsAWordDocumentWithWhereEachCitationStands) {
  TempDir dir;
  test::DocxParts parts;
  parts.body = test::WordParagraph("依据《建筑设计防火规范》GB 50016-2014（2018年版）") +
               test::WordTable({{"编号", "名称"}, {"GB 50011-2010", "建筑抗震设计规范"}});
  parts.headers = {test::WordParagraph("制图 GB/T 50001-2017")};
  const Bytes docx = test::BuildDocx(parts);
  const std::string file = dir.Write("design.docx", std::string(docx.begin(), docx.end()));
  const ProcessResult r = RunCli({"extract", "--format", "json", file});
  EXPECT_EQ(r.exit_code, 0);
  const nlohmann::ordered_json json = Json(r.out);
  ASSERT_EQ(json.size(), 3u) << r.out;
  const std::vector<std::tuple<std::string, nlohmann::ordered_json, std::string>> expected = {
      {"GB 50016-2014", {{"paragraph", 1}}, "第 1 段"},
      {"GB 50011-2010",
       {{"table", 1}, {"row", 1}, {"column", 1}, {"below_header", true}},
       "表 1 第 1 行第 1 列（不计表头）"},
      {"GB/T 50001-2017", {{"part", "页眉"}, {"paragraph", 1}}, "页眉第 1 段"}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Str(json[i], "number"), std::get<0>(expected[i]));
    EXPECT_EQ(json[i]["location"], std::get<1>(expected[i]));
    EXPECT_EQ(Str(json[i], "where"), std::get<2>(expected[i]));
  }
}

TEST(CliExtract, ReadsAPdfByPageAndLineWithItsRunningHeaderOnce) {
  const ProcessResult r = RunCli({"extract", "--format", "json",
                                  std::string(KELVARO_TEST_DATA_DIR) + "/pdf/running-header.pdf"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const nlohmann::ordered_json json = Json(r.out);
  std::vector<std::string> cited;
  for (const nlohmann::ordered_json& c : json) {
    cited.push_back(Str(c, "number") + " " + c["location"].dump() + " " + Str(c, "where"));
  }
  // Wrapped numbers stand on the line they begin on; the one cited again is listed again.
  EXPECT_EQ(cited,
            (std::vector<std::string>{"GB 50016-2014 {\"part\":\"页眉\"} 页眉",
                                      "GB 50009-2012 {\"page\":1,\"line\":3} 第 1 页第 3 行",
                                      "GB 50011-2010 {\"page\":1,\"line\":3} 第 1 页第 3 行",
                                      "GB/T 50001-2017 {\"page\":2,\"line\":2} 第 2 页第 2 行",
                                      "GB 50010-2010 {\"page\":2,\"line\":4} 第 2 页第 4 行",
                                      "GB 50009-2012 {\"page\":3,\"line\":3} 第 3 页第 3 行"}));
}

TEST(CliExtract, SaysWhichPdfPagesWereCutShort) {
  TempDir dir;
  const std::string file = dir.Write(
      "fans.pdf", test::FormFanOutPdf(
                      10, 6, {"/Top Do", "BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET"}, false));
  const ProcessResult r = RunCli({"extract", file});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("GB 50016-2014"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "kelvaro-cli: warning: 第 1 页的图形嵌套过多，未能读完\n");
}

TEST(CliDocuments, AnUnreadableDocumentIsRefusedWithTheReadersReason) {
  TempDir dir;
  Bytes cut = test::BuildDocx(test::WordParagraph("GB 50016-2014"));
  cut.resize(cut.size() * 2 / 3);
  const std::vector<std::pair<std::string, std::string>> files = {
      {dir.Write("cut.docx", std::string(cut.begin(), cut.end())), "文件已损坏"},
      {dir.Write("text.docx", "GB 50016-2014\n"), "不是 Word 文档"},
      {dir.Write("text.xlsx", "GB 50016-2014\n"), "不是 Excel 文档"}};
  const std::string output = dir.File("out.tsv");
  for (const auto& [file, reason] : files) {
    for (const std::string command : {"extract", "batch"}) {
      SCOPED_TRACE(command + " " + file);
      // The site is never asked: port 9 would answer nothing.
      std::vector<std::string> args = {command, "-o", output, file};
      if (command == "batch") args.insert(args.begin() + 1, {"--site", "http://127.0.0.1:9"});
      const ProcessResult r = RunCli(args);
      EXPECT_EQ(r.exit_code, 2);
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, "kelvaro-cli: cannot read " + file + ": " + reason + "\n");
      EXPECT_FALSE(std::filesystem::exists(output));
    }
  }
}

// Files are read for what their bytes are: a Word 97-2003 document renamed .docx is read as
// one, and mark, which cannot mark it, says so before it asks the site anything.
TEST(CliDocuments, AnOldWordDocumentNamedDocxIsReadAndNotMarked) {
  TempDir dir;
  const std::string doc =
      test::ReadWholeFile(std::string(KELVARO_TEST_DATA_DIR) + "/binary_office/design_note.doc");
  const std::string renamed = dir.Write("note.docx", doc);
  const ProcessResult extracted = RunCli({"extract", renamed});
  EXPECT_EQ(extracted.exit_code, 0) << extracted.err;
  const ProcessResult as_doc = RunCli({"extract", dir.Write("note.doc", doc)});
  EXPECT_EQ(extracted.out, as_doc.out);
  EXPECT_NE(extracted.out.find("GB"), std::string::npos);

  const ProcessResult marked =
      RunCli({"mark", "--site", "http://127.0.0.1:9", renamed, "-o", dir.File("copy.docx")});
  EXPECT_EQ(marked.exit_code, 2);
  EXPECT_EQ(marked.err, "kelvaro-cli: cannot mark " + renamed +
                            ": it is a Word or Excel 97-2003 file; save it as .docx or .xlsx, "
                            "or use changes\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("copy.docx")));
}

// The same four lines as a .docx and as a .txt: a title that matches, one that does not, a
// superseded standard and a line citing nothing.
const std::vector<std::string> kCitingLines = {
    "《建筑设计防火规范》GB 50016-2014", "《抗震规范》GB 50011-2010", "见 GB/T 50001-2010", "ABCD"};

struct DocumentRow {
  std::string number;
  std::string status;
  std::string title_matches;  // as JSON
};
const std::vector<DocumentRow> kDocumentRows = {{"GB 50016-2014", "现行", "true"},
                                                {"GB 50011-2010", "现行", "false"},
                                                {"GB/T 50001-2010", "有新标准", "null"}};

TEST_F(CliTest, BatchOfADocumentGivesEachCitationWithItsSource) {
  TempDir dir;
  std::string body, text;
  for (const std::string& line : kCitingLines) {
    body += test::WordParagraph(line);
    text += line + "\n";
  }
  const Bytes docx = test::BuildDocx(body);
  const std::string document = dir.Write("notes.docx", std::string(docx.begin(), docx.end()));
  const std::string list = dir.Write("notes.txt", text);
  const std::vector<std::string> json = {"batch", "--site", Prefix(), "--format", "json"};
  const auto with = [&](std::vector<std::string> more) {
    std::vector<std::string> args = json;
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  const std::vector<std::pair<ProcessResult, std::string>> runs = {
      {RunCli(with({document})), document},
      {RunCli(with({"--citations", list})), list},
      {RunCliWithInput(with({"--citations", "-"}), list), list}};
  for (const auto& [r, file] : runs) {
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const nlohmann::ordered_json rows = Json(r.out);
    // Each row's source is the object extract prints for its citation, without the ordinal.
    nlohmann::ordered_json extracted = Json(RunCli({"extract", "--format", "json", file}).out);
    ASSERT_EQ(rows.size(), kDocumentRows.size()) << r.out;
    ASSERT_EQ(extracted.size(), kDocumentRows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(Str(rows[i], "number"), kDocumentRows[i].number);
      EXPECT_EQ(Str(rows[i], "status"), kDocumentRows[i].status);
      EXPECT_EQ(rows[i]["title_matches"].dump(), kDocumentRows[i].title_matches);
      extracted[i].erase("ordinal");
      EXPECT_EQ(rows[i]["source"], extracted[i]);
    }
  }

  // Without --citations the .txt is a list: a row per line, whole, and no source for the
  // line citing nothing.
  const nlohmann::ordered_json rows = Json(RunCli(with({list})).out);
  ASSERT_EQ(rows.size(), kCitingLines.size());
  EXPECT_EQ(Str(rows[0], "number"), kCitingLines[0]);
  EXPECT_EQ(rows[0]["title_matches"], true);
  EXPECT_FALSE(rows[3].contains("source"));

  // --sources: 出处 and 原文 after the five columns, in TSV and CSV alike.
  std::string error;
  const Table tsv =
      test::ReadTsv(RunCli({"batch", "--site", Prefix(), "--sources", document}).out, error);
  ASSERT_EQ(tsv.size(), 4u);
  EXPECT_EQ(tsv[0], (std::vector<std::string>{"序号", "待查标准编号", "是否现行", "最新标准编号",
                                              "最新标准名称", "出处", "原文"}));
  EXPECT_EQ(tsv[2][5], "第 2 段");
  EXPECT_EQ(tsv[2][6], kCitingLines[1]);
  EXPECT_EQ(test::ReadCsv(
                RunCli({"batch", "--site", Prefix(), "--format", "csv", "--sources", document}).out,
                error),
            tsv);
  EXPECT_EQ(error, "");
}

// A member of a zip archive (a marked copy's part); empty when it has none.
std::string ZipPart(const std::string& path, const std::string& name) {
  return test::ZipMemberText(test::ReadWholeFile(path), name);
}

// The first sheet's rows of the workbook a batch writes (查询结果, then the change list) as
// openpyxl reads them, each cell's value only, a number as its digits.
Table WorkbookRows(const std::string& path) {
  const ProcessResult run = test::RunProcess(
      {"/usr/bin/python3", KELVARO_SOURCE_DIR "/tests/support/openpyxl_dump.py", "xlsx", path});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  std::string error;
  const nlohmann::ordered_json dump = test::ReadJson(run.out, error);
  Table rows;
  if (!error.empty() || dump.value("sheets", nlohmann::ordered_json()) !=
                            nlohmann::ordered_json::array({"查询结果", "修改清单"})) {
    ADD_FAILURE() << run.out;
    return rows;
  }
  for (const auto& row : dump["rows"]) {
    std::vector<std::string>& cells = rows.emplace_back();
    for (const auto& cell : row) {
      const nlohmann::ordered_json& value = cell["value"];
      cells.push_back(value.is_string()           ? value.get<std::string>()
                      : value.is_number_integer() ? std::to_string(value.get<long long>())
                                                  : "");
    }
  }
  return rows;
}

TEST_F(CliTest, BatchWritesTheWorkbookToAFileOrAPipe) {
  TempDir dir;
  const std::string list = dir.Write("one.txt", "《建筑设计防火规范》GB 50016-2014\nABCD\n");
  const std::string workbook = dir.File("checked.xlsx");
  const ProcessResult to_file =
      RunCli({"batch", "--site", Prefix(), "--format", "xlsx", "-o", workbook, list});
  EXPECT_EQ(to_file.exit_code, 0);
  EXPECT_EQ(to_file.out, "");
  EXPECT_EQ(to_file.err, "2 行：1 现行，0 有新标准，0 已废止，0 尚未实施，1 未收录，0 查询失败\n");
  const Table rows = WorkbookRows(workbook);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0],
            (std::vector<std::string>{"序号", "待查标准编号", "是否现行", "最新标准编号",
                                      "最新标准名称", "原因", "出处", "原文", "查询时间"}));
  EXPECT_EQ(
      std::vector<std::string>(rows[1].begin(), rows[1].begin() + 8),
      (std::vector<std::string>{"1", "《建筑设计防火规范》GB 50016-2014", "现行", "GB 50016-2014",
                                "建筑设计防火规范", ReasonDescription({Outcome::kFound, 0, {}}),
                                "第 1 行", "《建筑设计防火规范》GB 50016-2014"}));
  EXPECT_EQ(rows[1][8].size(), std::strlen("2026-12-08 22:00:13"));
  // Each printed page names the list checked, the day of the check and the site.
  for (const char* part : {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"}) {
    const std::string sheet = ZipPart(workbook, part);
    EXPECT_NE(sheet.find("<oddHeader>&amp;Lone.txt&amp;R核查日期 " + rows[1][8].substr(0, 10) +
                         "</oddHeader>"),
              std::string::npos)
        << sheet;
    EXPECT_NE(sheet.find("<oddFooter>&amp;L查询网站 " + Prefix()), std::string::npos) << sheet;
  }

  // Not a terminal: the same workbook on stdout.
  const ProcessResult piped = RunCli({"batch", "--site", Prefix(), "--format", "xlsx", list});
  EXPECT_EQ(piped.exit_code, 0);
  const Table piped_rows = WorkbookRows(dir.Write("piped.xlsx", piped.out));
  ASSERT_EQ(piped_rows.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(std::vector<std::string>(piped_rows[i].begin(), piped_rows[i].end() - 1),
              std::vector<std::string>(rows[i].begin(), rows[i].end() - 1));
  }
}

// ---- mark and changes -----------------------------------------------------------------

TEST_F(CliTest, MarkWritesACopyWhoseCommentsSayWhatWasFound) {
  TempDir dir;
  const Bytes docx =
      test::BuildDocx(test::WordParagraph("《房屋建筑制图统一标准》GB/T 50001-2010") +
                      test::WordParagraph("《建筑设计防火规范》GB 50016-2014") +
                      test::WordParagraph("GB/T 99999-2010"));
  const std::string document = dir.Write("设计说明.docx", std::string(docx.begin(), docx.end()));
  const std::string copy = dir.File("设计说明（已核查）.docx");
  const ProcessResult r = RunCli({"mark", "--site", Prefix(), document, "-o", copy});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "3 行：1 现行，1 有新标准，0 已废止，0 尚未实施，1 未收录，0 查询失败\n");
  const std::string comments = ZipPart(copy, "word/comments.xml");
  EXPECT_NE(
      comments.find("有新标准：现行为《房屋建筑制图统一标准》GB/T 50001-2017（2017-09-27 发布）"),
      std::string::npos)
      << comments;
  EXPECT_NE(comments.find("网站未收录该编号"), std::string::npos);
  EXPECT_EQ(comments.find("50016"), std::string::npos);
  EXPECT_EQ(test::ReadWholeFile(document), std::string(docx.begin(), docx.end()));

  // The document itself, by its own name or another, is never the copy; nothing is asked.
  const std::string link = dir.File("link.docx");
  std::filesystem::create_symlink(document, link);
  for (const std::string& out : {document, dir.File("./设计说明.docx"), link}) {
    const ProcessResult same =
        RunCli({"mark", "--site", "http://127.0.0.1:1", document, "-o", out});
    EXPECT_EQ(same.exit_code, 2) << out;
    EXPECT_EQ(same.err, "kelvaro-cli: OUT is FILE itself: give the marked copy another name\n");
  }
  EXPECT_EQ(test::ReadWholeFile(document), std::string(docx.begin(), docx.end()));
}

// Text boxes and notes are marked where they stand; a note takes no comment, which
// LibreOffice would not open.
TEST_F(CliTest, MarkReachesTextBoxesAndNotes) {
  TempDir dir;
  const std::string cited = test::WordParagraph("GB/T 50001-2010");
  test::DocxParts parts;
  parts.body =
      "<w:p><w:r><w:pict><v:shape xmlns:v=\"urn:schemas-microsoft-com:vml\"><v:textbox>"
      "<w:txbxContent>" +
      cited + "</w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>";
  parts.footnotes = "<w:footnote w:id=\"1\">" + cited + "</w:footnote>";
  parts.endnotes = "<w:endnote w:id=\"1\">" + cited + "</w:endnote>";
  const Bytes docx = test::BuildDocx(parts);
  const std::string document = dir.Write("note.docx", std::string(docx.begin(), docx.end()));
  const std::string copy = dir.File("checked.docx");
  const ProcessResult r = RunCli({"mark", "--replace", "--site", Prefix(), document, "-o", copy});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const std::string body = ZipPart(copy, "word/document.xml");
  const std::size_t box = body.find("<w:txbxContent>");
  EXPECT_NE(body.find("<w:commentReference", box), std::string::npos) << body;
  EXPECT_NE(body.find("GB/T 50001-2017", box), std::string::npos) << body;
  for (const char* note : {"word/footnotes.xml", "word/endnotes.xml"}) {
    const std::string part = ZipPart(copy, note);
    EXPECT_NE(part.find("GB/T 50001-2017"), std::string::npos) << part;
    EXPECT_EQ(part.find("comment"), std::string::npos) << part;
  }
}

// A workbook the copy cannot be made of is refused before the site is asked (none answers).
TEST_F(CliTest, MarkRefusesAStrictWorkbookBeforeAnyLookup) {
  TempDir dir;
  const std::string workbook =
      dir.Write("strict.xlsx", test::StrictXlsxArchive("GB 50016-2014").Build());
  const ProcessResult extracted = RunCli({"extract", workbook});
  EXPECT_EQ(extracted.exit_code, 0) << extracted.err;
  const ProcessResult r =
      RunCli({"mark", "--site", "http://127.0.0.1:1", workbook, "-o", dir.File("checked.xlsx")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "kelvaro-cli: cannot mark " + workbook +
                       ": 不能标注 Strict Open XML 格式的工作簿，请另存为普通的 Excel 工作簿 "
                       "(.xlsx)\n");
  EXPECT_FALSE(std::filesystem::exists(dir.File("checked.xlsx")));
}

// The text of a Word body with every tracked change accepted (or, `accept` false, rejected).
std::string ResolvedText(std::string xml, bool accept) {
  xml.erase(0, xml.find("<w:body"));
  static const std::regex kIns("<w:ins(?: [^>]*)?>(.*?)</w:ins>");
  static const std::regex kDel("<w:del(?: [^>]*)?>(.*?)</w:del>");
  static const std::regex kTag("<[^>]*>");
  xml = std::regex_replace(xml, accept ? kDel : kIns, "");
  xml = std::regex_replace(xml, accept ? kIns : kDel, "$1");
  return std::regex_replace(xml, kTag, "");
}

// A withdrawn standard's citation becomes its successor's, title and number; a superseded one
// the number of its own serial's current edition (JGJ 8-2016, not JGJ 80-2016, listed before
// it).
TEST_F(CliTest, MarkReplaceWritesTheSuccessorsNumberAsATrackedChange) {
  TempDir dir;
  const std::string before = "《高层民用建筑设计防火规范》GB 50045-95";
  const std::string older = "《建筑变形测量规范》JGJ 8-2007";
  const Bytes docx = test::BuildDocx(test::WordParagraph(before) + test::WordParagraph(older));
  const std::string document = dir.Write("设计说明.docx", std::string(docx.begin(), docx.end()));
  const std::string copy = dir.File("设计说明（已核查并替换）.docx");
  const ProcessResult r = RunCli({"mark", "--replace", "--site", Prefix(), document, "-o", copy});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "2 行：0 现行，1 有新标准，1 已废止，0 尚未实施，0 未收录，0 查询失败\n");
  const std::string xml = ZipPart(copy, "word/document.xml");
  EXPECT_EQ(ResolvedText(xml, true),
            "《建筑设计防火规范》GB 50016-2014《建筑变形测量规范》JGJ 8-2016");
  EXPECT_EQ(ResolvedText(xml, false), before + older);
  const std::string comments = ZipPart(copy, "word/comments.xml");
  EXPECT_NE(comments.find("GB 50016-2014"), std::string::npos) << comments;
  EXPECT_EQ(comments.find("JGJ 80"), std::string::npos) << comments;
}

TEST_F(CliTest, ChangesListsEachStandardNeedingAttentionOnce) {
  TempDir dir;
  const std::string list = dir.Write(
      "list.txt", "GB/T50001-2010\nGB 50016-2014\nGB/T99999-2010\nGB/T50001-2010\nGB 50045-95\n");
  const ProcessResult r = RunCli({"changes", "--site", Prefix(), list});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out,
            "序号\t原文\t出处\t结论\t建议改为\t查询结果网页\n"
            "1\tGB/T50001-2010\t第 1 行；第 4 行\t有新标准：新标准即将实施：GB/T 50001-2024"
            "（2027-03-01 实施）\t《房屋建筑制图统一标准》GB/T 50001-2017\t" +
                Prefix() +
                "/s.jsp?keyword=GBT50001&pageNum=1\n"
                "2\tGB/T99999-2010\t第 3 行\t未收录：网站未收录该编号\t\t" +
                Prefix() +
                "/s.jsp?keyword=GBT99999&pageNum=1\n"
                "3\tGB 50045-95\t第 5 行\t已废止，被 GB 50016-2014 代替\t"
                "《建筑设计防火规范》GB 50016-2014\t" +
                Prefix() + "/s.jsp?keyword=GB50045&pageNum=1\n");
  EXPECT_EQ(r.err, "5 行：1 现行，2 有新标准，1 已废止，0 尚未实施，1 未收录，0 查询失败\n");
}

// A folder in one go: a row per standard with every place naming its document, a document
// that cannot be read passed over; the change list goes document by document, the workbook
// has a sheet per document, and the copies go into a new folder.
TEST_F(CliTest, AFolderOfDocumentsIsCheckedInOneGo) {
  TempDir dir;
  const Bytes docx = test::BuildDocx(test::WordParagraph("《钢结构设计规范》GB 50017-2003") +
                                     test::WordParagraph("GB 50016-2014"));
  dir.Write("项目/结构设计说明.docx", std::string(docx.begin(), docx.end()));
  dir.Write("项目/计算/荷载.txt", "按 GB 50017-2003 计算\nGB/T 99999-2010\n");
  dir.Write("项目/坏.docx", "not a zip");
  const std::string folder = dir.File("项目");

  const ProcessResult batch = RunCli({"batch", "--site", Prefix(), "--sources", folder});
  EXPECT_EQ(batch.exit_code, 0) << batch.err;
  EXPECT_EQ(batch.err.rfind("kelvaro-cli: warning: 无法读取 坏.docx：", 0), 0u) << batch.err;
  std::string error;
  const Table table = test::ReadTsv(batch.out, error);
  ASSERT_EQ(table.size(), 4u) << batch.out;
  EXPECT_EQ(table[1][2], "有新标准");
  EXPECT_EQ(table[1][5], "结构设计说明.docx：第 1 段；计算/荷载.txt：第 1 行");
  EXPECT_EQ(table[3][5], "计算/荷载.txt：第 2 行");

  const ProcessResult changes = RunCli({"changes", "--site", Prefix(), folder});
  EXPECT_EQ(changes.exit_code, 0) << changes.err;
  Table listed = test::ReadTsv(changes.out, error);
  for (auto& row : listed) row.resize(4);
  EXPECT_EQ(listed, (Table{{"序号", "文档", "原文", "出处"},
                           {"1", "结构设计说明.docx", "《钢结构设计规范》GB 50017-2003", "第 1 段"},
                           {"2", "计算/荷载.txt", "GB 50017-2003", "第 1 行"},
                           {"3", "计算/荷载.txt", "GB/T 99999-2010", "第 2 行"}}));

  const std::string workbook = dir.File("all.xlsx");
  ASSERT_EQ(
      RunCli({"batch", "--site", Prefix(), "--format", "xlsx", "-o", workbook, folder}).exit_code,
      0);
  const std::string sheets = ZipPart(workbook, "xl/workbook.xml");
  EXPECT_NE(sheets.find("name=\"结构设计说明.docx\""), std::string::npos) << sheets;
  EXPECT_NE(sheets.find("name=\"荷载.txt\""), std::string::npos) << sheets;

  const std::string copies = dir.File("已核查");
  const ProcessResult mark = RunCli({"mark", "--site", Prefix(), folder, "-o", copies});
  EXPECT_EQ(mark.exit_code, 0) << mark.err;
  const std::string comments =
      ZipPart(dir.File("已核查/结构设计说明（已核查）.docx"), "word/comments.xml");
  EXPECT_NE(comments.find("有新标准"), std::string::npos) << mark.err;
  EXPECT_FALSE(std::filesystem::exists(dir.File("已核查/计算")));
  const ProcessResult again =
      RunCli({"mark", "--site", "http://127.0.0.1:1", folder, "-o", copies});
  EXPECT_EQ(again.exit_code, 2);
  EXPECT_NE(again.err.find("exists"), std::string::npos) << again.err;
}

// A current standard cited twice, the second time under another title: the row says the
// title does not match, and the copy and the change list name the place that miscites.
TEST_F(CliTest, ATitleMiscitedInASecondPlaceIsNamedEverywhere) {
  TempDir dir;
  const Bytes docx = test::BuildDocx(test::WordParagraph("《建筑设计防火规范》GB 50016-2014") +
                                     test::WordParagraph("另见《建筑防火规范》GB 50016-2014"));
  const std::string document = dir.Write("说明.docx", std::string(docx.begin(), docx.end()));
  const ProcessResult batch = RunCli({"batch", "--site", Prefix(), "--format", "json", document});
  EXPECT_EQ(batch.exit_code, 0) << batch.err;
  const nlohmann::ordered_json rows = Json(batch.out);
  ASSERT_EQ(rows.size(), 1u) << batch.out;
  EXPECT_EQ(Str(rows[0], "status"), "现行");
  EXPECT_EQ(rows[0]["title_matches"], false);

  const std::string copy = dir.File("copy.docx");
  const ProcessResult marked = RunCli({"mark", "--site", Prefix(), document, "-o", copy});
  EXPECT_EQ(marked.exit_code, 0) << marked.err;
  const std::string comments = ZipPart(copy, "word/comments.xml");
  EXPECT_NE(comments.find("题名不符：引用《建筑防火规范》，网站为《建筑设计防火规范》"),
            std::string::npos)
      << comments;
  EXPECT_EQ(comments.find("<w:comment "), comments.rfind("<w:comment ")) << comments;

  const ProcessResult changes = RunCli({"changes", "--site", Prefix(), document});
  EXPECT_EQ(changes.exit_code, 0) << changes.err;
  EXPECT_NE(changes.out.find("\t第 1 段；第 2 段\t现行：题名不符：第 2 段引用《建筑防火规范》，"
                             "网站为《建筑设计防火规范》\t"),
            std::string::npos)
      << changes.out;
}

TEST_F(CliTest, AnOutputFileThatCannotBeWrittenIsNotLeft) {
  TempDir dir;
  const std::string list = dir.Write("one.txt", "GB 50016-2014\n");
  // A missing folder is found before anything is looked up.
  const std::string nowhere = dir.File("missing") + "/out.tsv";
  for (const std::string command : {"extract", "batch"}) {
    const ProcessResult r = RunCli({command, "-o", nowhere, list});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kelvaro-cli: cannot write " + nowhere +
                         ": its folder does not exist or is not writable\n");
  }
  // A file the system will not let grow (no file size allowed, its signal as the shell
  // leaves it) fails while it is written, and nothing of it is left.
  const Bytes docx = test::BuildDocx(test::WordParagraph("GB 50016-2014"));
  const std::string document = dir.Write("note.docx", std::string(docx.begin(), docx.end()));
  const std::string output = dir.File("out.docx");
  const ProcessResult r =
      // Its stderr through a pipe, which no size limit holds.
      test::RunProcess(
          {"/bin/bash", "-c", "set -o pipefail; (ulimit -f 0; exec \"$0\" \"$@\") 2>&1 | cat >&2",
           KELVARO_CLI_PATH, "mark", "--site", Prefix(), document, "-o", output},
          CliSetup());
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "kelvaro-cli: cannot write " + output + ": File too large\n" +
                       "1 行：1 现行，0 有新标准，0 已废止，0 尚未实施，0 未收录，0 查询失败\n");
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.File(""))) {
    left.push_back(entry.path().filename().string());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"note.docx", "one.txt"}));

  // A name as long as the system takes leaves room for nothing beside it, yet is written.
  std::string name;
  for (int i = 0; i < 83; ++i) name += "设";
  const std::string longest = dir.File(name + ".docx");
  const ProcessResult written = RunCli({"mark", "--site", Prefix(), document, "-o", longest});
  EXPECT_EQ(written.exit_code, 0) << written.err;
  EXPECT_TRUE(std::filesystem::exists(longest));
}

TEST_F(CliTest, AWorkbookSaysHowManyCellsItCut) {
  TempDir dir;
  const std::string list =
      dir.Write("long.txt", "GB 50016-2014 " + std::string(40'000, 'x') + "\n");
  const std::string workbook = dir.File("checked.xlsx");
  const ProcessResult r =
      RunCli({"batch", "--site", Prefix(), "--format", "xlsx", "-o", workbook, list});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1),
            "kelvaro-cli: 1 cell cut to 32767 characters, the most an Excel cell holds (csv, tsv "
            "and json keep the whole text)\n");
  EXPECT_TRUE(std::filesystem::exists(workbook));
}

// Kept out of the sanitizer runs: a million rows are imported before the refusal.
TEST(CliWorkbook, MoreRowsThanASheetHoldsAreRefusedBeforeAnyLookup) {
  TempDir dir;
  std::string lines;
  for (int i = 0; i < 1'048'576; ++i) lines += "GB 1-2010\n";
  const std::string list = dir.Write("many.txt", lines);
  const std::string workbook = dir.File("checked.xlsx");
  // Nothing listens there: a lookup would end in a summary line.
  const ProcessResult r =
      RunCli({"batch", "--site", "http://127.0.0.1:1", "--format", "xlsx", "-o", workbook, list});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "kelvaro-cli: the table has 1048576 rows, more than an Excel sheet holds (1048575): "
            "use --format csv, tsv or json\n");
  EXPECT_FALSE(std::filesystem::exists(workbook));
}

// ---- output and signals -------------------------------------------------------------

TEST_F(CliTest, ClosedStdoutFailsVisibly) {
  TempDir dir;
  const std::string file = dir.Write("one.txt", "GB 50016-2014\r\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"check", "--site", Prefix(), "GB 50016-2014"}, {"batch", "--site", Prefix(), file}}) {
    SCOPED_TRACE(args[0]);
    const ProcessResult r =
        test::RunProcess(CliArgv(args), CliSetup({}, ProcessSetup::Stdout::kClosed));
    EXPECT_EQ(r.exit_code, 1);
    // A batch's summary line follows: the lookups themselves did end.
    EXPECT_EQ(r.err.substr(0, r.err.find('\n') + 1), "kelvaro-cli: cannot write the output\n");
  }
}

std::string ManyNumbers(int rows) {
  const std::vector<std::string> numbers = {"GB/T50001-2010", "GB 50016-2014", "GB/T 50103-2001",
                                            "GB/T99999-2010", "GB 50010-2015", "GB 50017-2003",
                                            "GB/T 7714-2015", "GBT1.1-2009"};
  std::string file;
  for (int i = 0; i < rows; ++i)
    file += numbers[static_cast<std::size_t>(i) % numbers.size()] + "\r\n";
  return file;
}

// The row of kMixedExpected whose number is on line i of ManyNumbers.
const std::vector<std::string>& ExpectedRow(int i) {
  return kMixedExpected[1 + std::vector<int>{0, 1, 2, 3, 6, 7, 8, 9}[(i - 1) % 8]];
}

// The sample site with its request log kept.
struct LoggedSite {
  explicit LoggedSite(std::vector<std::string> extra = {}) {
    extra.push_back("--log");
    site = std::make_unique<test::SampleSite>(extra, dir.File("site.log"));
  }
  // The request lines of the log ("#N GET /s.jsp?... 200 in-flight=K").
  std::vector<std::string> Requests() const {
    std::vector<std::string> lines;
    std::istringstream in(test::ReadWholeFile(dir.File("site.log")));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line[0] == '#') lines.push_back(line);
    }
    return lines;
  }
  TempDir dir;
  std::unique_ptr<test::SampleSite> site;
};

TEST(CliBatchConcurrency, TwoThousandRowsWithOneRequestPerKeyword) {
  LoggedSite logged;
  TempDir dir;
  const int rows = 2000;
  const std::string file = dir.Write("many.txt", ManyNumbers(rows));
  const ProcessResult r = RunCli({"batch", "--site", logged.site->prefix(), "--speed", "16", file});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::string error;
  const Table table = test::ReadTsv(r.out, error);
  ASSERT_EQ(table.size(), static_cast<std::size_t>(rows) + 1);
  for (int i = 1; i <= rows; ++i) {
    ASSERT_EQ(table[i][0], std::to_string(i));
    // Every row is filled, with the status of its own number.
    for (int column = 1; column <= 3; ++column) ASSERT_EQ(table[i][column], ExpectedRow(i)[column]);
  }
  // One request per keyword of the batch.
  const std::vector<std::string> requests = logged.Requests();
  EXPECT_EQ(requests.size(), 8u);
  for (const std::string& line : requests) {
    ASSERT_NE(line.find(" in-flight=1"), std::string::npos) << line;
  }
}

TEST(CliBatchConcurrency, InterruptPrintsTheRowsAsTheyStand) {
  LoggedSite logged({"--delay-ms", "200"});
  TempDir dir;
  const int rows = 60;
  const std::string file = dir.Write("slow.txt", ManyNumbers(rows));
  for (const int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number);
    const std::size_t before = logged.Requests().size();
    test::ChildProcess child(
        CliArgv({"batch", "--site", logged.site->prefix(), "--speed", "4", file}), CliSetup());
    // Two answers sent to this run: a worker keeps the query lock until its row is written, so
    // the first keyword's row stands, and most keywords are still to come. The site logs an
    // answer once sent, so the request the previous run left in flight may be logged now too:
    // wait for one more.
    for (const auto until = Clock::now() + 30s;
         logged.Requests().size() < before + 3 && Clock::now() < until;) {
      std::this_thread::sleep_for(10ms);
    }
    const auto sent = Clock::now();
    child.Signal(signal_number);
    const ProcessResult r = child.Wait(5s);
    const auto took = Clock::now() - sent;
    EXPECT_LT(took, 1s);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 130) << r.err;  // either signal: the rows stand, the run was interrupted
    std::string error;
    const Table table = test::ReadTsv(r.out, error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(table.size(), static_cast<std::size_t>(rows) + 1);
    int filled = 0;
    for (int i = 1; i <= rows; ++i) {
      const auto& expected = ExpectedRow(i);
      EXPECT_EQ(table[i][1], expected[1]);
      if (table[i][2].empty()) {
        EXPECT_EQ(table[i][3], "");  // an aborted row holds nothing
        continue;
      }
      ++filled;
      EXPECT_EQ(table[i], (std::vector<std::string>{std::to_string(i), expected[1], expected[2],
                                                    expected[3], expected[4]}));
    }
    EXPECT_GE(filled, 1);
    EXPECT_LT(filled, rows);
  }
}

TEST(CliBatchConcurrency, InterruptDuringTheFinalWriteLetsTheTableEnd) {
  TempDir dir;
  // Lines that make no request (their keyword is empty) but fill far more than a pipe holds,
  // so the table's write waits for the reader.
  std::string lines;
  for (int i = 0; i < 100; ++i) lines += std::string(4000, ' ') + "\r\n";
  const std::string file = dir.Write("wide.txt", lines);
  test::ChildProcess child(CliArgv({"batch", "--site", "http://127.0.0.1:9", file}),
                           CliSetup({}, ProcessSetup::Stdout::kPipe));
  ASSERT_FALSE(child.ReadOutput(1).empty());  // the batch has ended, the table is being written
  child.Signal(SIGINT);
  const ProcessResult r = child.Wait(30s);
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.exit_code, 130);
  std::string error;
  const Table table = test::ReadTsv(r.out, error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(table.size(), 101u);
  EXPECT_EQ(table[100], (std::vector<std::string>{"100", std::string(4000, ' '), "未知", "", ""}));
}

// ---- usage ------------------------------------------------------------------------------

// ---- the lookup store -----------------------------------------------------------------

// A row of a batch's JSON output: whether it came from the store.
std::vector<bool> FromStore(const std::string& json_text) {
  std::vector<bool> from_store;
  for (const auto& row : Json(json_text)) from_store.push_back(row.at("from_store").get<bool>());
  return from_store;
}

TEST(CliStore, ARecheckAsksOnlyWhatTheStoreDoesNotHoldFresh) {
  LoggedSite logged;
  TempDir dir;
  const std::string file = dir.Write("list.txt", ManyNumbers(8));
  const std::map<std::string, std::string> store = {{"KELVARO_STORE", dir.File("s/l.sqlite3")}};
  const auto batch = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"batch", "--site", logged.site->prefix(), "--format", "json"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(file);
    const std::size_t before = logged.Requests().size();
    const ProcessResult r = RunCli(args, store);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    return std::pair{logged.Requests().size() - before, FromStore(r.out)};
  };
  const auto [first_requests, first] = batch({});
  EXPECT_GT(first_requests, 0u);
  EXPECT_EQ(first, std::vector<bool>(8, false));
  struct Case {
    const char* name;
    std::vector<std::string> extra;
    bool asks;
  };
  const Case cases[] = {
      {"Fresh", {}, false},
      {"MaxAgeZero", {"--max-age", "0"}, true},
      {"NoStore", {"--no-store"}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto [requests, from_store] = batch(c.extra);
    EXPECT_EQ(requests, c.asks ? first_requests : 0u);
    // The not-listed row makes no request, whatever the store holds.
    std::vector<bool> expected(8, !c.asks);
    EXPECT_EQ(from_store, expected);
  }
  // Every lookup that asked the site is kept, newest first, with the standard's own rows.
  const ProcessResult history = RunCli({"history", "GB 50016-2014"}, store);
  EXPECT_EQ(history.exit_code, 0) << history.err;
  std::string error;
  const Table table = test::ReadTsv(history.out, error);
  // The first run and the one with --max-age 0 (--no-store keeps nothing), each with the
  // standard's two editions in the site's order.
  ASSERT_EQ(table.size(), 5u) << history.out;
  EXPECT_EQ(table[0][0], "查询时间");
  for (std::size_t i = 1; i < table.size(); ++i) {
    EXPECT_EQ(table[i][3], "found");
    EXPECT_EQ(table[i][4], i % 2 == 1 ? "GB 50016-2006" : "GB 50016-2014");
  }
  EXPECT_GE(table[1][0], table[3][0]);
}

// A standard that came to have a successor since the last check is the one row printed, and
// says what it was.
TEST(CliStore, ChangedOnlyPrintsWhatChangedSinceTheLastCheck) {
  TempDir dir;
  const std::map<std::string, std::string> store = {{"KELVARO_STORE", dir.File("l.sqlite3")}};
  const std::string file = dir.Write("list.txt", "GB/T 50001-2017\nGB 50016-2014\n");
  const std::string fire = "GB 50016-2014\t建筑设计防火规范\t2014-08-27\t住房和城乡建设部\t现行\n";
  const std::string drawing = "\t房屋建筑制图统一标准\t2017-09-27\t住房和城乡建设部\t";
  const std::string november =
      dir.Write("november.tsv", "GB/T 50001-2017" + drawing + "现行\n" + fire);
  // Months later the 2024 edition is in force.
  const std::string march =
      dir.Write("march.tsv", "GB/T 50001-2017" + drawing + "作废\t\t被GB/T 50001-2024代替\n" +
                                 "GB/T 50001-2024" + drawing + "现行\t2027-03-11\n" + fire);
  auto site = std::make_unique<test::SampleSite>(std::vector<std::string>{"--data", november});
  const std::string port = std::to_string(site->port());
  const std::string prefix = site->prefix();
  const ProcessResult before = RunCli({"batch", "--site", prefix, "--changed-only", file}, store);
  EXPECT_EQ(before.exit_code, 0) << before.err;
  std::string error;
  EXPECT_EQ(test::ReadTsv(before.out, error).size(), 1u) << before.out;  // the header only
  site->Stop();
  site =
      std::make_unique<test::SampleSite>(std::vector<std::string>{"--data", march, "--port", port});
  const ProcessResult after = RunCli(
      {"batch", "--site", prefix, "--max-age", "0", "--changed-only", "--format", "json", file},
      store);
  EXPECT_EQ(after.exit_code, 0) << after.err;
  const nlohmann::ordered_json rows = Json(after.out);
  ASSERT_EQ(rows.size(), 1u) << after.out;
  EXPECT_EQ(rows[0].at("number"), "GB/T 50001-2017");
  EXPECT_EQ(rows[0].at("status"), "有新标准");
  EXPECT_EQ(rows[0].at("previous").at("verdict"), "现行");
  const std::string changed = rows[0].at("previous").at("changed");
  EXPECT_TRUE(changed.starts_with("自 ")) << changed;
  EXPECT_NE(changed.find("查询以来：现行 → 有新标准（GB/T 50001-2024，2027-03-11 实施）"),
            std::string::npos)
      << changed;
}

TEST(CliStoreConcurrency, KilledOrSideBySideTheStoreHoldsEveryFinishedLookup) {
  LoggedSite logged({"--delay-ms", "150"});
  TempDir dir;
  const std::string store_path = dir.File("lookups.sqlite3");
  const std::map<std::string, std::string> store = {{"KELVARO_STORE", store_path}};
  const std::string file = dir.Write("slow.txt", ManyNumbers(8));
  {
    test::ChildProcess child(
        CliArgv({"batch", "--site", logged.site->prefix(), "--speed", "1", file}), CliSetup(store));
    for (const auto until = Clock::now() + 30s;
         logged.Requests().size() < 3 && Clock::now() < until;) {
      std::this_thread::sleep_for(10ms);
    }
    child.Signal(SIGKILL);
    child.Wait(5s);
  }
  std::string warning;
  auto archive = LookupArchive::Open(store_path, warning);
  EXPECT_EQ(warning, "");
  std::size_t kept = 0;
  for (const char* keyword : {"GB/T50001", "GB50016", "GB/T50103", "GB/T99999", "GB50010"}) {
    kept += archive->History(keyword).size();
  }
  EXPECT_GE(kept, 1u);
  EXPECT_LE(kept, logged.Requests().size());
  archive.reset();
  // Two runs at once over the store the killed one left: neither meets a locked store.
  test::ChildProcess one(
      CliArgv({"batch", "--site", logged.site->prefix(), "--max-age", "0", "--speed", "4", file}),
      CliSetup(store));
  test::ChildProcess two(
      CliArgv({"batch", "--site", logged.site->prefix(), "--max-age", "0", "--speed", "4", file}),
      CliSetup(store));
  for (test::ChildProcess* child : {&one, &two}) {
    const ProcessResult r = child->Wait();
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
  }
}

struct UsageCase {
  std::vector<std::string> args;
  std::string first_line;
};

TEST(CliUsage, ErrorsExitWithTwoAndOneClearLine) {
  const std::string missing = "/nonexistent/kelvaro/numbers.txt";
  const std::vector<UsageCase> cases = {
      {{}, "kelvaro-cli: no command given"},
      {{"frobnicate"}, "kelvaro-cli: unknown command 'frobnicate'"},
      {{"--frobnicate"}, "kelvaro-cli: unknown option '--frobnicate'"},
      {{"check"}, "kelvaro-cli: check needs a NUMBER"},
      {{"check", "A", "B"}, "kelvaro-cli: check takes one NUMBER, got 2"},
      {{"check", "--speed", "2", "A"}, "kelvaro-cli: unknown option '--speed' for check"},
      {{"check", "--site"}, "kelvaro-cli: option --site needs a value"},
      {{"check", "--site=", "A"}, "kelvaro-cli: --site needs a URL"},
      {{"batch"}, "kelvaro-cli: batch needs a FILE"},
      {{"batch", "--json", "f"}, "kelvaro-cli: unknown option '--json' for batch"},
      {{"batch", "--speed", "abc", "f"},
       "kelvaro-cli: bad speed 'abc': give a whole number from 1 to 64"},
      {{"batch", "--speed", "3x", "f"},
       "kelvaro-cli: bad speed '3x': give a whole number from 1 to 64"},
      {{"batch", "--speed=", "f"}, "kelvaro-cli: bad speed '': give a whole number from 1 to 64"},
      {{"batch", "--speed", "0", "f"},
       "kelvaro-cli: bad speed '0': give a whole number from 1 to 64"},
      {{"batch", "--speed", "-1", "f"},
       "kelvaro-cli: bad speed '-1': give a whole number from 1 to 64"},
      {{"batch", "--speed=65", "f"},
       "kelvaro-cli: bad speed '65': give a whole number from 1 to 64"},
      {{"batch", "--speed", "100000000000000000000", "f"},
       "kelvaro-cli: bad speed '100000000000000000000': give a whole number from 1 to 64"},
      {{"batch", "--format", "xml", "f"},
       "kelvaro-cli: bad format 'xml': use tsv, csv, json or xlsx"},
      {{"batch", "--retry", "6", "f"},
       "kelvaro-cli: bad retry count '6': give a whole number from 0 to 5"},
      {{"batch", "--fail-on", "stale", "f"},
       "kelvaro-cli: bad --fail-on kind 'stale': use outdated"},
      {{"check", "--fail-on", "outdated", "x"},
       "kelvaro-cli: unknown option '--fail-on' for check"},
      {{"batch", missing}, "kelvaro-cli: cannot read " + missing + ": No such file or directory"},
      {{"extract", "/"}, "kelvaro-cli: cannot read /: Is a directory"},
      {{"mark", "notes.docx"}, "kelvaro-cli: mark needs -o OUT, the marked copy"},
      {{"mark", "--format", "csv", "a.docx", "-o", "b.docx"},
       "kelvaro-cli: unknown option '--format' for mark"},
      {{"mark", "--speed", "0", "a.docx", "-o", "b.docx"},
       "kelvaro-cli: bad speed '0': give a whole number from 1 to 64"},
      {{"mark", "a.docx", "b.docx", "-o", "c.docx"}, "kelvaro-cli: mark takes one FILE, got 2"},
      {{"mark", "notes.pdf", "-o", "b.pdf"},
       "kelvaro-cli: mark takes a .docx or .xlsx FILE; for text, CSV and PDF use changes"},
      {{"mark", "-", "-o", "b.docx"},
       "kelvaro-cli: mark takes a .docx or .xlsx FILE; for text, CSV and PDF use changes"},
      {{"mark", "a/../a.docx", "-o", "a.docx"},
       "kelvaro-cli: OUT is FILE itself: give the marked copy another name"},
      {{"changes"}, "kelvaro-cli: changes needs a FILE"},
      {{"changes", "--replace", "f"}, "kelvaro-cli: unknown option '--replace' for changes"},
      {{"changes", "--format", "xml", "f"},
       "kelvaro-cli: bad format 'xml': use tsv, csv, json or xlsx"},
      {{"changes", "--retry", "9", "f"},
       "kelvaro-cli: bad retry count '9': give a whole number from 0 to 5"},
      {{"changes", missing}, "kelvaro-cli: cannot read " + missing + ": No such file or directory"},
  };
  for (const UsageCase& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += "[" + a + "]";
    SCOPED_TRACE(joined);
    const ProcessResult r = RunCli(c.args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first_line);
  }
}

TEST(CliUsage, HelpAndVersionGoToStdout) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-h"}, {"batch", "--help"}, {"check", "x", "--help"}}) {
    const ProcessResult r = RunCli(args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(0, 25), "usage: kelvaro-cli check ");
    EXPECT_NE(r.out.find("--remove-superseded"), std::string::npos);
  }
  // The help, the command line's page and the usage error give the speed's bound in the same words.
  const std::string bound = "a whole number from 1 to 64";
  EXPECT_NE(RunCli({"--help"}).out.find(bound), std::string::npos);
  std::string readme =
      test::ReadWholeFile(std::string(KELVARO_SOURCE_DIR) + "/docs/command-line.md");
  std::replace(readme.begin(), readme.end(), '\n', ' ');
  EXPECT_NE(readme.find(bound), std::string::npos);
  const ProcessResult version = RunCli({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.substr(0, 12), "kelvaro-cli ");
  EXPECT_EQ(version.out.back(), '\n');
  EXPECT_EQ(version.out.find(' ', 12), std::string::npos);
  EXPECT_GT(version.out.size(), 13u);
}

// ---- verdicts -----------------------------------------------------------------------------

// A design note's references against the sample data, with the site's today fixed so that
// the successor's "+90" reads 2027-03-01; the fifteenth request (the last row's: one a
// keyword, and for the first four rows, withdrawn, their detail pages and successors too)
// answers 503.
struct NoteRow {
  const char* citation;
  const char* status;
  const char* reason;
  const char* effective;
  const char* coming;  // the coming standard's number, "" for none
  const char* site_edition;
  const char* edition_matches;  // as JSON
};
const NoteRow kNoteRows[] = {
    {"《高层民用建筑设计防火规范》GB 50045-95", "未知", "withdrawn", "", "", "", "null"},
    {"《采暖通风与空气调节设计规范》GB 50019-2003", "未知", "withdrawn", "", "", "", "null"},
    {"《建筑设计防火规范》GBJ 16-87", "未知", "withdrawn", "", "", "", "null"},
    {"《建筑制图标准（试行）》GB/T 5000-85", "未知", "withdrawn", "", "", "", "null"},
    {"《建筑工程建筑面积计算规范》GB/T 50353-2024", "未知", "not-in-force", "2027-03-01", "", "",
     "null"},
    {"《建筑工程建筑面积计算规范》GB/T 50353-2013", "现行", "found", "", "GB/T 50353-2024", "",
     "null"},
    {"《建筑给水排水设计规范》GB 50015-2003", "现行", "found", "", "", "2009年版", "false"},
    {"《建筑给水排水设计规范》GB 50015-2003（2009年版）", "现行", "found", "", "", "2009年版",
     "true"},
    {"《建筑设计防火规范》GB 50016-2014", "现行", "found", "", "", "", "null"},
    {"《钢结构设计规范》GB 50017-2003", "有新标准", "found", "", "", "", "null"},
    {"《某规范》GB/T 99999-2010", "未知", "not-found", "", "", "", "null"},
    {"《民用建筑设计统一标准》GB 50352-2019", "未知", "http-error", "", "", "", "null"},
};

class CliVerdictTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new test::SampleSite({"--today", "2026-12-01"}); }
  static void TearDownTestSuite() {
    delete site_;
    site_ = nullptr;
  }
  static std::string Prefix() { return site_->prefix(); }
  static test::SampleSite* site_;
};
test::SampleSite* CliVerdictTest::site_ = nullptr;

TEST_F(CliVerdictTest, DesignNoteTellsWithdrawnComingEditionsAndFailuresApart) {
  TempDir dir;
  std::string note = "设计说明\n本工程依据：\n";
  for (const NoteRow& row : kNoteRows) note += std::string(row.citation) + "\n";
  const std::string file = dir.Write("note.txt", note);
  test::SampleSite site({"--today", "2026-12-01", "--fail-keyword", "GB50352"});
  // One worker, so the requests come in the rows' order.
  const ProcessResult r = RunCli({"batch", "--site", site.prefix(), "--speed", "1", "--format",
                                  "json", "--citations", "--fail-on", "outdated", file});
  EXPECT_EQ(r.exit_code, 3) << r.err;  // the failed row is no pass, before any outdated one
  EXPECT_EQ(r.err, "12 行：4 现行，1 有新标准，4 已废止，1 尚未实施，1 未收录，1 查询失败\n");
  const nlohmann::ordered_json rows = Json(r.out);
  ASSERT_EQ(rows.size(), std::size(kNoteRows));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const NoteRow& want = kNoteRows[i];
    SCOPED_TRACE(want.citation);
    EXPECT_EQ(Str(rows[i], "status"), want.status);
    EXPECT_EQ(Str(rows[i], "reason"), want.reason);
    EXPECT_EQ(Str(rows[i], "effective"), want.effective);
    EXPECT_EQ(rows[i]["coming"].is_null() ? "" : Str(rows[i]["coming"], "number"), want.coming);
    EXPECT_EQ(Str(rows[i], "site_edition"), want.site_edition);
    EXPECT_EQ(rows[i]["edition_matches"].dump(), want.edition_matches);
  }
  EXPECT_EQ(rows[5]["coming"],
            Json(R"({"number": "GB/T 50353-2024", "title": "建筑工程建筑面积计算规范",
                     "effective": "2027-03-01"})"));
}

TEST_F(CliVerdictTest, FailOnOutdatedPassesACleanList) {
  TempDir dir;
  const std::string clean =
      dir.Write("clean.txt", "GB 50016-2014\n《建筑给水排水设计规范》GB 50015-2003（2009年版）\n");
  const std::string edition = dir.Write("edition.txt", "GB 50015-2003\n");
  EXPECT_EQ(RunCli({"batch", "--site", Prefix(), "--fail-on", "outdated", clean}).exit_code, 0);
  EXPECT_EQ(RunCli({"batch", "--site", Prefix(), "--fail-on", "outdated", edition}).exit_code, 4);
  EXPECT_EQ(RunCli({"batch", "--site", Prefix(), edition}).exit_code, 0);
}

// A lookup that failed never reads as a pass: a gate exits 3, and a copy or change list made
// of nothing but failures is not written at all.
TEST_F(CliVerdictTest, AFailedLookupIsNeverAPass) {
  TempDir dir;
  const Bytes docx = test::BuildDocx(test::WordParagraph("《建筑设计防火规范》GB 50016-2014") +
                                     test::WordParagraph("《钢结构设计规范》GB 50017-2003"));
  const std::string document = dir.Write("note.docx", std::string(docx.begin(), docx.end()));
  const std::string list = dir.Write("list.txt", "GB 50016-2014\nGB 50017-2003\n");
  const std::string down = "http://127.0.0.1:1";
  struct Case {
    const char* name;
    std::vector<std::string> args;  // after the command's site
    const char* output;             // the file it would write, "" for stdout
    bool written;
    const char* err_first_line;  // "" when it says nothing before the summary
  };
  const std::string copy = dir.File("copy.docx");
  const std::string changes = dir.File("changes.xlsx");
  const Case cases[] = {
      {"batch gate, site down",
       {"batch", "--site", down, "--fail-on", "outdated", list},
       "",
       true,
       ""},
      {"mark, site down",
       {"mark", "--site", down, document, "-o", copy},
       "copy.docx",
       false,
       "kelvaro-cli: the site could not be asked for any row: nothing written"},
      {"changes, site down",
       {"changes", "--site", down, "--format", "xlsx", "-o", changes, list},
       "changes.xlsx",
       false,
       "kelvaro-cli: the site could not be asked for any row: nothing written"},
      {"changes to stdout, site down",
       {"changes", "--site", down, list},
       "",
       false,
       "kelvaro-cli: the site could not be asked for any row: nothing written"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult r = RunCli(c.args);
    EXPECT_EQ(r.exit_code, 3) << r.err;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
              *c.err_first_line
                  ? c.err_first_line
                  : "2 行：0 现行，0 有新标准，0 已废止，0 尚未实施，0 未收录，2 查询失败");
    if (*c.output) {
      EXPECT_EQ(std::filesystem::exists(dir.File(c.output)), c.written);
    } else {
      EXPECT_EQ(r.out.empty(), !c.written) << r.out;
    }
  }

  // One row of two failed: the copy is written, and still exits 3.
  test::SampleSite flaky({"--today", "2026-12-01", "--fail-every", "2"});
  const ProcessResult half = RunCli(
      {"mark", "--site", flaky.prefix(), "--speed", "1", document, "-o", dir.File("half.docx")});
  EXPECT_EQ(half.exit_code, 3) << half.err;
  EXPECT_NE(ZipPart(dir.File("half.docx"), "word/comments.xml").find("网站返回 503"),
            std::string::npos);
}

TEST_F(CliVerdictTest, CheckSaysWhatIsComing) {
  const ProcessResult json = RunCli({"check", "--json", "--site", Prefix(), "GB/T 50353-2024"});
  EXPECT_EQ(json.exit_code, 0);
  EXPECT_EQ(Str(Json(json.out), "reason"), "not-in-force");
  EXPECT_EQ(Str(Json(json.out), "effective"), "2027-03-01");
  const ProcessResult report = RunCli({"check", "--site", Prefix(), "GB/T 50353-2013"});
  EXPECT_EQ(report.exit_code, 0);
  EXPECT_NE(report.out.find("说明：新标准即将实施：GB/T 50353-2024（2027-03-01 实施）\n"),
            std::string::npos)
      << report.out;
}

}  // namespace
}  // namespace kelvaro::cli
