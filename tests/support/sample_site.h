// Runs the offline sample site (kelvaro-sample-site) on a free loopback port for a test.
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

namespace kelvaro::test {

class SampleSite {
 public:
  // Starts the site with `--port 0` and the given extra options; its stderr goes to
  // `stderr_path` when given, else it is discarded unless they hold "--log". Throws
  // std::runtime_error when it cannot be started or does not announce its port within 20 s.
  explicit SampleSite(std::vector<std::string> extra_args = {},
                      const std::string& stderr_path = {});
  ~SampleSite();
  SampleSite(const SampleSite&) = delete;
  SampleSite& operator=(const SampleSite&) = delete;

  int port() const { return port_; }
  std::string prefix() const;  // "http://127.0.0.1:PORT"
  // Ends the site (SIGTERM, then SIGKILL after 5 s) and reaps it; safe to call twice.
  void Stop();

 private:
  pid_t pid_ = -1;
  int stdout_fd_ = -1;
  int port_ = 0;
};

}  // namespace kelvaro::test
