#include "support/sites.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <optional>
#include <regex>
#include <stdexcept>

#include "site/standard_site.h"
#include "support/fault_server.h"
#include "text/encoding.h"

namespace kelvaro::test {
namespace {

std::mutex g_site_mutex;
std::optional<Site> g_site;

void SetTestSite(std::optional<Site> site) {
  std::lock_guard lock(g_site_mutex);
  g_site = std::move(site);
}

}  // namespace

Site TestSite() {
  std::lock_guard lock(g_site_mutex);
  return g_site.value_or(ResolveSite());
}

LoggedSite::LoggedSite(std::vector<std::string> extra_args) {
  char name[] = "/tmp/kelvaro-site-log-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("no log file");
  log_path_ = name;
  extra_args.push_back("--log");
  // The site writes its log to the stderr it inherits: lend it the file meanwhile.
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(fd, STDERR_FILENO);
  try {
    site_ = std::make_unique<SampleSite>(extra_args);
  } catch (...) {
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(fd);
    throw;
  }
  dup2(saved, STDERR_FILENO);
  close(saved);
  close(fd);
  SetTestSite(site());
}

LoggedSite::~LoggedSite() {
  SetTestSite(std::nullopt);
  site_->Stop();
  std::remove(log_path_.c_str());
}

std::vector<LoggedSite::Request> LoggedSite::Requests() const {
  std::vector<Request> requests;
  std::ifstream in(log_path_);
  static const std::regex kLine(R"(^#\d+ GET (\S+) \d+ in-flight=(\d+)$)");
  std::string line;
  std::smatch match;
  while (std::getline(in, line)) {
    if (std::regex_match(line, match, kLine)) {
      requests.push_back({match[1].str(), std::stoi(match[2].str())});
    }
  }
  return requests;
}

std::vector<LoggedSite::Request> LoggedSite::SettledRequests(std::size_t count) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Requests().size() < count && std::chrono::steady_clock::now() < deadline) usleep(5000);
  usleep(150000);
  return Requests();
}

int LoggedSite::MaxInFlight(const std::vector<Request>& requests) {
  int most = 0;
  for (const Request& r : requests) most = std::max(most, r.in_flight);
  return most;
}

int LoggedSite::CountKeyword(const std::vector<Request>& requests, const std::string& keyword) {
  int n = 0;
  const std::string wanted = "keyword=" + keyword + "&";
  for (const Request& r : requests) n += r.target.find(wanted) != std::string::npos ? 1 : 0;
  return n;
}

ScriptedSite::ScriptedSite(Answer answer)
    : server_([this, answer](const RecordedRequest& request) {
        const std::string keyword = KeywordOfRequestLine(request.request_line);
        int before = 0;
        {
          std::lock_guard lock(mutex_);
          before = asked_[keyword]++;
        }
        return answer(keyword, before);
      }) {
  SetTestSite(site());
}

ScriptedSite::~ScriptedSite() {
  SetTestSite(std::nullopt);
  server_.Stop();
}

int ScriptedSite::Asked(const std::string& keyword) {
  std::lock_guard lock(mutex_);
  return asked_[keyword];
}

Reply PageFor(const std::string& number_gbk) {
  SiteRecord record{number_gbk, Gbk(u8"标准"), "2010-01-01", ""};
  return Reply::Http(200, ResultPageFor(&record), "Content-Type: text/html; charset=GBK\r\n");
}

const std::vector<Expected>& KnownNumbers() {
  static const std::vector<Expected> known = {
      {"GB/T50001-2010", "GBT50001", "有新标准", "GB/T 50001-2017", "房屋建筑制图统一标准"},
      {"GB/T50103-2010", "GBT50103", "现行", "GB/T 50103-2010", "总图制图标准"},
      {" GB 50016-2006 ", "GB50016", "有新标准", "GB 50016-2014", "建筑设计防火规范"},
      {"GB/T50104-2011", "GBT50104", "未知", "GB/T 50104-2010", "建筑制图标准"},
      {"GB 50011-2010", "GB50011", "现行", "GB 50011-2010", "建筑抗震设计规范"},
      {"XYZ99999-2020", "XYZ99999", "未知", "", ""},
  };
  return known;
}

std::vector<std::string> KnownNumberLines() {
  std::vector<std::string> lines;
  for (const Expected& e : KnownNumbers()) lines.push_back(e.number);
  return lines;
}

const Expected* FindKnown(const std::string& number) {
  for (const Expected& e : KnownNumbers()) {
    if (e.number == number) return &e;
  }
  return nullptr;
}

}  // namespace kelvaro::test
