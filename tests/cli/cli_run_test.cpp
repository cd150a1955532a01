// kelvaro-cli run as a subprocess against the sample site started by the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "cli/table_output.h"
#include "query/current_standard.h"
#include "query/single_query.h"
#include "support/sample_site.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

extern char** environ;

namespace kelvaro::cli {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kCli = KELVARO_CLI_PATH;
const std::string kSite = KELVARO_SAMPLE_SITE_PATH;
const std::string kMixedFile = std::string(KELVARO_TEST_DATA_DIR) + "/import/mixed_numbers.txt";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

using kelvaro::test::TempDir;

struct RunResult {
  int exit_code = -1;  // -1 when ended by a signal
  int signal = 0;
  std::string out;
  std::string err;
};

// A child process with stdout and stderr captured in files.
class Child {
 public:
  Child(std::vector<std::string> args, const std::map<std::string, std::string>& env = {}) {
    out_path_ = dir_.File("stdout");
    err_path_ = dir_.File("stderr");
    std::vector<std::string> env_strings;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      const std::string key = entry.substr(0, entry.find('='));
      // The site comes only from what the test passes.
      if (key == "KELVARO_SITE" || env.count(key) != 0) continue;
      env_strings.push_back(entry);
    }
    for (const auto& [key, value] : env) env_strings.push_back(key + "=" + value);
    std::vector<char*> envp;
    for (auto& s : env_strings) envp.push_back(s.data());
    envp.push_back(nullptr);
    args.insert(args.begin(), kCli);
    std::vector<char*> argv;
    for (auto& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int rc = posix_spawn(&pid_, kCli.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) throw std::runtime_error("cannot start " + kCli + ": " + std::strerror(rc));
  }
  ~Child() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void Signal(int signal_number) { kill(pid_, signal_number); }

  // Waits for the end; a child still running at the deadline is killed and reported as
  // ended by SIGKILL.
  RunResult Wait(std::chrono::milliseconds timeout = 120s) {
    RunResult result;
    const auto deadline = Clock::now() + timeout;
    int status = 0;
    for (;;) {
      const pid_t done = waitpid(pid_, &status, WNOHANG);
      if (done == pid_) break;
      if (Clock::now() >= deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(2ms);
    }
    pid_ = -1;
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.out = ReadFile(out_path_);
    result.err = ReadFile(err_path_);
    return result;
  }

 private:
  TempDir dir_;
  std::string out_path_;
  std::string err_path_;
  pid_t pid_ = -1;
};

RunResult RunCliProcess(std::vector<std::string> args,
                        const std::map<std::string, std::string>& env = {}) {
  Child child(std::move(args), env);
  return child.Wait();
}

// The sample site with --log, its stderr (one line per request) kept in a file.
class LoggedSite {
 public:
  explicit LoggedSite(std::vector<std::string> extra = {}) {
    log_path_ = dir_.File("site.log");
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> args = {kSite, "--port", "0", "--log"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::vector<char*> argv;
    for (auto& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log_path_.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int rc = posix_spawn(&pid_, kSite.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      throw std::runtime_error("cannot start the sample site");
    }
    std::string line;
    const auto deadline = Clock::now() + 20s;
    char c = 0;
    while (Clock::now() < deadline) {
      pollfd pfd{fds[0], POLLIN, 0};
      if (poll(&pfd, 1, 100) <= 0) continue;
      if (read(fds[0], &c, 1) != 1 || c == '\n') break;
      line.push_back(c);
    }
    close(fds[0]);
    if (line.empty() || line.find_first_not_of("0123456789") != std::string::npos) {
      throw std::runtime_error("the sample site did not announce its port");
    }
    prefix_ = "http://127.0.0.1:" + line;
  }
  ~LoggedSite() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  const std::string& prefix() const { return prefix_; }
  // The request lines of the log ("#N GET /s.jsp?... 200 in-flight=K").
  std::vector<std::string> Requests() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFile(log_path_));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line[0] == '#') lines.push_back(line);
    }
    return lines;
  }

 private:
  TempDir dir_;
  std::string log_path_;
  std::string prefix_;
  pid_t pid_ = -1;
};

// ---- Parsers for what the command line prints ---------------------------------------

using Table = std::vector<std::vector<std::string>>;

Table ParseTsv(const std::string& text, std::string& error) {
  Table table;
  if (text.empty() || text.back() != '\n') {
    error = "TSV does not end with a line break";
    return table;
  }
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    std::vector<std::string> cells(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char c = line[i];
      if (c == '\r') error = "raw CR in a TSV line";
      if (c == '\t') {
        cells.emplace_back();
      } else if (c == '\\') {
        if (++i >= line.size()) {
          error = "dangling backslash";
          break;
        }
        const char e = line[i];
        cells.back() += e == 't' ? '\t' : e == 'r' ? '\r' : e == 'n' ? '\n' : e;
        if (e != 't' && e != 'r' && e != 'n' && e != '\\') error = "unknown escape";
      } else {
        cells.back() += c;
      }
    }
    table.push_back(cells);
  }
  return table;
}

Table ParseCsv(const std::string& text, std::string& error) {
  Table table;
  const std::string bom = "\xEF\xBB\xBF";
  if (text.compare(0, bom.size(), bom) != 0) {
    error = "no byte-order mark";
    return table;
  }
  std::size_t i = bom.size();
  std::vector<std::string> record(1);
  bool at_field_start = true;
  while (i < text.size()) {
    const char c = text[i];
    if (at_field_start && c == '"') {
      ++i;
      for (;;) {
        if (i >= text.size()) {
          error = "unterminated quoted field";
          return table;
        }
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            record.back() += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        record.back() += text[i++];
      }
      at_field_start = false;
      continue;
    }
    if (c == ',') {
      record.emplace_back();
      at_field_start = true;
      ++i;
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      table.push_back(record);
      record.assign(1, "");
      at_field_start = true;
      i += 2;
    } else if (c == '\r' || c == '\n' || c == '"') {
      error = "unquoted CR, LF or quote";
      return table;
    } else {
      record.back() += c;
      at_field_start = false;
      ++i;
    }
  }
  if (!(record.size() == 1 && record[0].empty())) error = "last record not ended by CR LF";
  return table;
}

// Just enough JSON: objects, arrays and strings (what the command line prints).
struct Json {
  enum class Kind { kString, kObject, kArray } kind = Kind::kString;
  std::string text;
  std::vector<std::pair<std::string, Json>> members;
  std::vector<Json> items;
  const Json* Find(const std::string& key) const {
    for (const auto& [k, v] : members) {
      if (k == key) return &v;
    }
    return nullptr;
  }
  std::string Str(const std::string& key) const {
    const Json* v = Find(key);
    return v != nullptr ? v->text : "<missing " + key + ">";
  }
};

class JsonParser {
 public:
  explicit JsonParser(const std::string& text) : s_(text) {}
  bool Parse(Json& out, std::string& error) {
    const bool ok = Value(out) && (Space(), i_ == s_.size());
    if (!ok) error = error_.empty() ? "trailing text at " + std::to_string(i_) : error_;
    return ok;
  }

 private:
  void Space() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\n' || s_[i_] == '\r' || s_[i_] == '\t'))
      ++i_;
  }
  bool Fail(const std::string& why) {
    if (error_.empty()) error_ = why + " at " + std::to_string(i_);
    return false;
  }
  bool Value(Json& v) {
    Space();
    if (i_ >= s_.size()) return Fail("end of text");
    if (s_[i_] == '"') {
      v.kind = Json::Kind::kString;
      return String(v.text);
    }
    const bool object = s_[i_] == '{';
    if (!object && s_[i_] != '[') return Fail("unexpected character");
    v.kind = object ? Json::Kind::kObject : Json::Kind::kArray;
    const char close = object ? '}' : ']';
    ++i_;
    Space();
    if (i_ < s_.size() && s_[i_] == close) {
      ++i_;
      return true;
    }
    for (;;) {
      if (object) {
        Space();
        std::string key;
        if (i_ >= s_.size() || s_[i_] != '"' || !String(key)) return Fail("expected key");
        Space();
        if (i_ >= s_.size() || s_[i_++] != ':') return Fail("expected ':'");
        Json member;
        if (!Value(member)) return false;
        v.members.emplace_back(key, member);
      } else {
        Json item;
        if (!Value(item)) return false;
        v.items.push_back(item);
      }
      Space();
      if (i_ >= s_.size()) return Fail("unterminated");
      if (s_[i_] == ',') {
        ++i_;
        continue;
      }
      if (s_[i_] == close) {
        ++i_;
        return true;
      }
      return Fail("expected ',' or close");
    }
  }
  static void Append(std::string& out, unsigned cp) {
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (cp >> 18));
      out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  bool Hex4(unsigned& cp) {
    if (i_ + 4 > s_.size()) return Fail("short \\u");
    cp = static_cast<unsigned>(std::stoul(s_.substr(i_, 4), nullptr, 16));
    i_ += 4;
    return true;
  }
  bool String(std::string& out) {
    ++i_;  // the opening quote
    while (i_ < s_.size()) {
      const char c = s_[i_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return Fail("raw control character in string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (i_ >= s_.size()) break;
      const char e = s_[i_++];
      switch (e) {
        case '"':
          out += '"';
          break;
        case '\\':
          out += '\\';
          break;
        case '/':
          out += '/';
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          unsigned cp = 0;
          if (!Hex4(cp)) return false;
          if (cp >= 0xD800 && cp < 0xDC00 && s_.compare(i_, 2, "\\u") == 0) {
            i_ += 2;
            unsigned low = 0;
            if (!Hex4(low)) return false;
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
          }
          Append(out, cp);
          break;
        }
        default:
          return Fail("bad escape");
      }
    }
    return Fail("unterminated string");
  }

  const std::string& s_;
  std::size_t i_ = 0;
  std::string error_;
};

Json ParseJson(const std::string& text) {
  Json json;
  std::string error;
  EXPECT_TRUE(JsonParser(text).Parse(json, error)) << error << "\n" << text;
  return json;
}

Table JsonRowsToTable(const Json& json) {
  Table table = {{"序号", "待查标准编号", "是否现行", "最新标准编号", "最新标准名称"}};
  EXPECT_EQ(json.kind, Json::Kind::kArray);
  for (const Json& row : json.items) {
    EXPECT_EQ(row.members.size(), 5u);
    table.push_back({row.Str("ordinal"), row.Str("number"), row.Str("status"),
                     row.Str("latest_number"), row.Str("latest_title")});
  }
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

Table Without(const Table& table, const std::string& status) {
  Table out;
  for (const auto& row : table) {
    if (row[2] != status) out.push_back(row);
  }
  return out;
}

class CliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { site_ = new test::SampleSite(); }
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
  SetSitePrefixOverride(Prefix());
  for (const std::string number :
       {"GB 50016-2014", "GB/T50001-2010", "GB/T 99999-2010", "", "GB/T 50103-2010 "}) {
    SCOPED_TRACE(number);
    const RunResult r = RunCliProcess({"check", "--site", Prefix(), number});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    const Text report = SingleQueryReport(RunSingleQuery(Utf8ToGbk(number)));
    EXPECT_EQ(r.out, ReportForTerminal(report));
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
  }
  SetSitePrefixOverride("");
  const RunResult current = RunCliProcess({"check", "--site", Prefix(), "GB 50016-2014"});
  EXPECT_EQ(current.out.substr(0, 1 + std::strlen("标准状态：现行\n")), "\n标准状态：现行\n");
  EXPECT_NE(current.out.find("\n\n标准名称：建筑设计防火规范\n\n"), std::string::npos);
  const RunResult unknown = RunCliProcess({"check", "--site", Prefix(), "GB/T 99999-2010"});
  EXPECT_EQ(unknown.out, "\n状态未知\n\n请查看查询结果网页：" + Prefix() +
                             "/s.jsp?keyword=GBT99999&pageNum=1\n\n");
}

struct CheckJsonCase {
  std::string input;
  std::string status;
  std::string number;
  std::string title;
  std::string keyword;
};

TEST_F(CliTest, CheckJsonGivesTheFieldsAndTheBatchStatus) {
  const std::vector<CheckJsonCase> cases = {
      {"GB 50016-2014", "现行", "GB 50016-2014", "建筑设计防火规范", "GB50016"},
      {"GB/T50001-2010", "有新标准", "GB/T 50001-2017", "房屋建筑制图统一标准", "GBT50001"},
      {"GB 50010-2015", "未知", "GB 50010-2010", "混凝土结构设计规范", "GB50010"},
      {"GB/T 99999-2010", "未知", "", "", "GBT99999"},
      {"", "未知", "", "", ""},
      // Quote and backslash are cleaned away; tab and control byte stay and are escaped.
      {"GB\"1\\2\t3\x01 4-2010", "未知", "", "",
       "GB12\t3\x01"
       "4"},
  };
  for (const CheckJsonCase& c : cases) {
    SCOPED_TRACE(c.input);
    const RunResult r = RunCliProcess({"check", "--json", "--site", Prefix(), c.input});
    EXPECT_EQ(r.exit_code, 0);
    const Json json = ParseJson(r.out);
    EXPECT_EQ(json.members.size(), 9u);
    EXPECT_EQ(json.Str("input"), c.input);
    EXPECT_EQ(json.Str("keyword"), c.keyword);
    EXPECT_EQ(json.Str("status"), c.status);
    EXPECT_EQ(json.Str("number"), c.number);
    EXPECT_EQ(json.Str("title"), c.title);
    EXPECT_EQ(json.Str("address"), Prefix() + "/s.jsp?keyword=" + c.keyword + "&pageNum=1");
    if (!c.number.empty()) {
      EXPECT_FALSE(json.Str("release_date").empty());
      EXPECT_FALSE(json.Str("department").empty());
    }
  }
}

TEST_F(CliTest, SiteComesFromTheOptionThenTheEnvironment) {
  const RunResult from_env =
      RunCliProcess({"check", "--json", "GB 50016-2014"}, {{"KELVARO_SITE", Prefix()}});
  EXPECT_EQ(ParseJson(from_env.out).Str("status"), "现行");
  // The option wins over the environment (port 9 on the loopback answers nothing).
  const RunResult option_wins =
      RunCliProcess({"check", "--json", "--site=" + Prefix(), "GB 50016-2014"},
                    {{"KELVARO_SITE", "http://127.0.0.1:9"}});
  EXPECT_EQ(ParseJson(option_wins.out).Str("status"), "现行");
  const RunResult env_only =
      RunCliProcess({"check", "--json", "GB 50016-2014"}, {{"KELVARO_SITE", "http://127.0.0.1:9"}});
  EXPECT_EQ(env_only.exit_code, 0);
  const Json unreachable = ParseJson(env_only.out);
  EXPECT_EQ(unreachable.Str("status"), "未知");
  EXPECT_EQ(unreachable.Str("address"), "http://127.0.0.1:9/s.jsp?keyword=GB50016&pageNum=1");
}

// ---- batch ------------------------------------------------------------------------------

TEST_F(CliTest, BatchPrintsTheSameTableInEveryFormat) {
  const RunResult tsv = RunCliProcess({"batch", "--site", Prefix(), kMixedFile});
  const RunResult csv = RunCliProcess({"batch", "--site", Prefix(), "--format", "csv", kMixedFile});
  const RunResult json = RunCliProcess({"batch", "--format=json", "--site", Prefix(), kMixedFile});
  for (const RunResult* r : {&tsv, &csv, &json}) {
    EXPECT_EQ(r->exit_code, 0);
    EXPECT_EQ(r->err, "");  // no progress line unless stderr is a terminal
  }
  std::string error;
  const Table from_tsv = ParseTsv(tsv.out, error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(from_tsv, kMixedExpected);
  const Table from_csv = ParseCsv(csv.out, error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(from_csv, from_tsv);
  EXPECT_EQ(JsonRowsToTable(ParseJson(json.out)), from_tsv);
}

TEST_F(CliTest, BatchCellsWithSeparatorsSurviveEveryFormat) {
  TempDir dir;
  // One line holding tab, comma, quotes, backslash, a lone LF and a lone CR; then an
  // empty line and a Chinese one.
  const std::string file = dir.Write("odd.txt", "A,\"B\"\tC\\D\nE\rF\r\n\r\n建筑 \"x\"\r\n");
  const RunResult tsv = RunCliProcess({"batch", "--site", Prefix(), file});
  const RunResult csv = RunCliProcess({"batch", "--site", Prefix(), "--format", "csv", file});
  const RunResult json = RunCliProcess({"batch", "--site", Prefix(), "--format", "json", file});
  std::string error;
  const Table from_tsv = ParseTsv(tsv.out, error);
  EXPECT_EQ(error, "");
  ASSERT_EQ(from_tsv.size(), 4u);
  EXPECT_EQ(from_tsv[1][1], "A,\"B\"\tC\\D\nE\rF");
  EXPECT_EQ(from_tsv[2][1], "");
  EXPECT_EQ(from_tsv[3][1], "建筑 \"x\"");
  EXPECT_EQ(ParseCsv(csv.out, error), from_tsv);
  EXPECT_EQ(error, "");
  EXPECT_EQ(JsonRowsToTable(ParseJson(json.out)), from_tsv);
}

TEST_F(CliTest, BatchRemovesRowsByStatus) {
  const RunResult current =
      RunCliProcess({"batch", "--site", Prefix(), "--remove-current", kMixedFile});
  const RunResult superseded =
      RunCliProcess({"batch", "--remove-superseded", "--site", Prefix(), kMixedFile});
  const RunResult both = RunCliProcess(
      {"batch", "--remove-superseded", "--remove-current", "--site", Prefix(), kMixedFile});
  std::string error;
  EXPECT_EQ(ParseTsv(current.out, error), Without(kMixedExpected, "现行"));
  EXPECT_EQ(ParseTsv(superseded.out, error), Without(kMixedExpected, "有新标准"));
  EXPECT_EQ(ParseTsv(both.out, error), Without(Without(kMixedExpected, "现行"), "有新标准"));
  EXPECT_EQ(error, "");
  for (const RunResult* r : {&current, &superseded, &both}) EXPECT_EQ(r->exit_code, 0);
}

TEST_F(CliTest, BatchOfAnEmptyFilePrintsTheHeaderOnly) {
  TempDir dir;
  const std::string file = dir.Write("empty.txt", "");
  const RunResult r = RunCliProcess({"batch", "--site", Prefix(), file});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "序号\t待查标准编号\t是否现行\t最新标准编号\t最新标准名称\n");
  const RunResult json = RunCliProcess({"batch", "--site", Prefix(), "--format", "json", file});
  EXPECT_EQ(ParseJson(json.out).items.size(), 0u);
}

TEST_F(CliTest, BatchAcceptsSpeedsOutsideTheBound) {
  std::string error;
  for (const std::string speed : {"0", "-3", "99999999999", "1", "64", "+5"}) {
    SCOPED_TRACE(speed);
    const RunResult r = RunCliProcess({"batch", "--site", Prefix(), "--speed", speed, kMixedFile});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(ParseTsv(r.out, error), kMixedExpected);
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

TEST(CliBatchConcurrency, TwoThousandRowsWithOneRequestInFlight) {
  LoggedSite site;
  TempDir dir;
  const int rows = 2000;
  const std::string file = dir.Write("many.txt", ManyNumbers(rows));
  const RunResult r = RunCliProcess({"batch", "--site", site.prefix(), "--speed", "16", file});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  std::string error;
  const Table table = ParseTsv(r.out, error);
  ASSERT_EQ(table.size(), static_cast<std::size_t>(rows) + 1);
  for (int i = 1; i <= rows; ++i) {
    ASSERT_EQ(table[i][0], std::to_string(i));
    // Every row is filled, with the status of its own number.
    const auto& expected =
        kMixedExpected[1 + std::vector<int>{0, 1, 2, 3, 6, 7, 8, 9}[(i - 1) % 8]];
    ASSERT_EQ(table[i][1], expected[1]) << i;
    ASSERT_EQ(table[i][2], expected[2]) << i;
    ASSERT_EQ(table[i][3], expected[3]) << i;
  }
  const std::vector<std::string> requests = site.Requests();
  EXPECT_EQ(requests.size(), static_cast<std::size_t>(rows));
  for (const std::string& line : requests) {
    ASSERT_NE(line.find(" in-flight=1"), std::string::npos) << line;
  }
}

TEST(CliBatchConcurrency, InterruptPrintsTheRowsAsTheyStand) {
  LoggedSite site({"--delay-ms", "200"});
  TempDir dir;
  const int rows = 60;
  const std::string file = dir.Write("slow.txt", ManyNumbers(rows));
  for (const int signal_number : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal_number);
    Child child({"batch", "--site", site.prefix(), "--speed", "4", file});
    std::this_thread::sleep_for(900ms);  // a few rows done, most not started
    const auto sent = Clock::now();
    child.Signal(signal_number);
    const RunResult r = child.Wait(5s);
    const auto took = Clock::now() - sent;
    EXPECT_LT(took, 1s);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exit_code, 130);  // either signal: the rows stand, the run was interrupted
    std::string error;
    const Table table = ParseTsv(r.out, error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(table.size(), static_cast<std::size_t>(rows) + 1);
    int filled = 0;
    for (int i = 1; i <= rows; ++i) {
      const auto& expected =
          kMixedExpected[1 + std::vector<int>{0, 1, 2, 3, 6, 7, 8, 9}[(i - 1) % 8]];
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

// ---- usage ------------------------------------------------------------------------------

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
      {{"batch", "--format", "xml", "f"}, "kelvaro-cli: bad format 'xml': use tsv, csv or json"},
      {{"batch", missing}, "kelvaro-cli: cannot read " + missing + ": No such file or directory"},
      {{"batch", "/"}, "kelvaro-cli: cannot read /: Is a directory"},
  };
  for (const UsageCase& c : cases) {
    std::string joined;
    for (const auto& a : c.args) joined += "[" + a + "]";
    SCOPED_TRACE(joined);
    const RunResult r = RunCliProcess(c.args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.first_line);
  }
}

TEST(CliUsage, HelpAndVersionGoToStdout) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--help"}, {"-h"}, {"batch", "--help"}, {"check", "x", "--help"}}) {
    const RunResult r = RunCliProcess(args);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out.substr(0, 25), "usage: kelvaro-cli check ");
    EXPECT_NE(r.out.find("--remove-superseded"), std::string::npos);
  }
  const RunResult version = RunCliProcess({"--version"});
  EXPECT_EQ(version.exit_code, 0);
  EXPECT_EQ(version.out.substr(0, 12), "kelvaro-cli ");
  EXPECT_EQ(version.out.back(), '\n');
  EXPECT_EQ(version.out.find(' ', 12), std::string::npos);
  EXPECT_GT(version.out.size(), 13u);
}

}  // namespace
}  // namespace kelvaro::cli
