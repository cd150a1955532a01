// Sites the window tests look numbers up on: the sample site with its request log, and a
// site whose answer the test decides per keyword. While one lives, windows made by the tests
// look numbers up on it (TestSite).
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "site/standard_site.h"
#include "support/recorded_request.h"
#include "support/recording_server.h"
#include "support/sample_site.h"

namespace kelvaro::test {

// The site of the LoggedSite or ScriptedSite alive now, else the one a front end would
// resolve (KELVARO_SITE or the address built in).
Site TestSite();

class LoggedSite {
 public:
  explicit LoggedSite(std::vector<std::string> extra_args = {});
  ~LoggedSite();
  LoggedSite(const LoggedSite&) = delete;
  LoggedSite& operator=(const LoggedSite&) = delete;

  std::string prefix() const { return site_->prefix(); }
  Site site() const { return SiteAt(prefix()); }

  struct Request {
    std::string target;
    int in_flight = 0;
  };
  std::vector<Request> Requests() const;
  // The log line is written after the answer went out: wait for `count` lines, then a
  // little longer for any that should not come.
  std::vector<Request> SettledRequests(std::size_t count) const;
  static int MaxInFlight(const std::vector<Request>& requests);
  // Requests whose keyword is `keyword` exactly.
  static int CountKeyword(const std::vector<Request>& requests, const std::string& keyword);

 private:
  std::string log_path_;
  std::unique_ptr<SampleSite> site_;
};

class ScriptedSite {
 public:
  using Answer = std::function<Reply(const std::string& keyword, int asked_before)>;
  explicit ScriptedSite(Answer answer);
  ~ScriptedSite();
  ScriptedSite(const ScriptedSite&) = delete;
  ScriptedSite& operator=(const ScriptedSite&) = delete;
  int Asked(const std::string& keyword);
  Site site() const { return SiteAt("http://" + server_.HostPort()); }

 private:
  std::mutex mutex_;
  std::map<std::string, int> asked_;
  RecordingServer server_;
};

// A result page that lists `number_gbk` as current.
Reply PageFor(const std::string& number_gbk);

// What a batch row ends up holding for a number, by the sample site's data (UTF-8).
struct Expected {
  std::string number;   // column 1
  std::string keyword;  // what is searched
  std::string status;   // column 2
  std::string found;    // column 3
  std::string title;    // column 4
};
const std::vector<Expected>& KnownNumbers();
std::vector<std::string> KnownNumberLines();
const Expected* FindKnown(const std::string& number);

}  // namespace kelvaro::test
