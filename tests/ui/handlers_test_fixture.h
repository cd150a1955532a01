// Shared pieces of the window-handler tests: a program session with the real window and
// its handlers bound, the sample site with its request log, and the results the sample
// site's data gives for a few numbers.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "qt_test_app.h"
#include "platform/web.h"
#include "query/current_standard.h"
#include "support/sample_site.h"
#include "ui/dialog_seams.h"
#include "ui/handler_hooks.h"
#include "ui/program.h"
#include "text/encoding.h"

namespace kelvaro::handlers_test {

using Clock = std::chrono::steady_clock;

inline void InitWebOnce() {
  static std::once_flag once;
  std::call_once(once, [] { platform::InitWeb(); });
}

// Pumps the window's events until `done` or the deadline; true when done.
template <typename Predicate>
bool PumpUntil(MessagePump& pump, Predicate done,
               std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    pump.PumpingWait(5000);
  }
  return true;
}

// A program session as RunProgram makes it, without the main loop: the real window,
// shown, with InstallHandlers' bindings. The window is closed when it goes.
class Program {
 public:
  Program() {
    testing::TestApp();
    InitWebOnce();
    directory_ = std::make_unique<QTemporaryDir>();
    session_ = std::make_unique<ProgramSession>(directory_->path());
    if (!session_->LoadWindow()) throw std::runtime_error("no window");
    InstallHandlers(context());
    window()->show();
  }
  ~Program() {
    if (context().window != nullptr) context().window->close();
    session_.reset();
    SetOpenFileChooser(nullptr);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  ProgramContext& context() { return session_->context(); }
  MainWindow* window() { return context().window; }
  ResultTableModel& model() { return *context().model; }
  QtMessagePump& pump() { return *context().pump; }
  BatchSession& session() { return *context().session; }
  BatchRunner& runner() { return session().runner(); }
  QString directory() const { return directory_->path(); }

  // Pumps until no worker runs; false at the deadline.
  bool WaitForWorkers(std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    return PumpUntil(
        pump(), [this] { return !session().IsRunning(); }, timeout);
  }

  // Writes `bytes` to a file in the program directory and imports it with 按钮2, the
  // dialog answered with that file.
  QString ImportBytes(const std::string& bytes, const QString& name = QStringLiteral("n.txt")) {
    const QString path = QDir(directory()).filePath(name);
    std::ofstream(QFile::encodeName(path).toStdString(), std::ios::binary | std::ios::trunc)
        << bytes;
    SetOpenFileChooser([path](const QString&, const QString&) { return path; });
    window()->import_button()->click();
    SetOpenFileChooser(nullptr);
    return path;
  }
  QString ImportLines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    return ImportBytes(bytes);
  }

  // A cell as UTF-8.
  std::string Cell(int row, int column) { return GbkToUtf8(model().GetCellText(row, column)); }

 private:
  std::unique_ptr<QTemporaryDir> directory_;
  std::unique_ptr<ProgramSession> session_;
};

// The sample site with its request log (one line per answered request) kept in a file;
// the window's lookups go to it while it lives.
class LoggedSite {
 public:
  explicit LoggedSite(std::vector<std::string> extra_args = {}) {
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
      site_ = std::make_unique<test::SampleSite>(extra_args);
    } catch (...) {
      dup2(saved, STDERR_FILENO);
      close(saved);
      close(fd);
      throw;
    }
    dup2(saved, STDERR_FILENO);
    close(saved);
    close(fd);
    SetSitePrefixOverride(site_->prefix());
  }
  ~LoggedSite() {
    SetSitePrefixOverride("");
    site_->Stop();
    std::remove(log_path_.c_str());
  }
  LoggedSite(const LoggedSite&) = delete;
  LoggedSite& operator=(const LoggedSite&) = delete;

  std::string prefix() const { return site_->prefix(); }

  struct Request {
    std::string target;
    int in_flight = 0;
  };
  std::vector<Request> Requests() const {
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
  // The log line is written after the answer went out: wait for `count` lines, then a
  // little longer for any that should not come.
  std::vector<Request> SettledRequests(std::size_t count) const {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Requests().size() < count && Clock::now() < deadline) {
      QApplication::processEvents();
      usleep(5000);
    }
    usleep(150000);
    return Requests();
  }
  static int MaxInFlight(const std::vector<Request>& requests) {
    int most = 0;
    for (const Request& r : requests) most = std::max(most, r.in_flight);
    return most;
  }
  // Requests whose keyword is `keyword` exactly.
  static int CountKeyword(const std::vector<Request>& requests, const std::string& keyword) {
    int n = 0;
    const std::string wanted = "keyword=" + keyword + "&";
    for (const Request& r : requests) n += r.target.find(wanted) != std::string::npos ? 1 : 0;
    return n;
  }

 private:
  std::string log_path_;
  std::unique_ptr<test::SampleSite> site_;
};

// What a batch row ends up holding for a number, by the sample site's data (UTF-8).
struct Expected {
  std::string number;   // column 1
  std::string keyword;  // what is searched ("" for no request)
  std::string status;   // column 2
  std::string found;    // column 3
  std::string title;    // column 4
};

inline const std::vector<Expected>& KnownNumbers() {
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

inline const Expected* FindKnown(const std::string& number) {
  for (const Expected& e : KnownNumbers()) {
    if (e.number == number) return &e;
  }
  return nullptr;
}

// Every row's columns 2 to 4 are the result for its own column 1.
inline void ExpectEveryRowHoldsItsOwnResult(Program& program) {
  const int rows = program.model().RowCount();
  for (int r = 0; r < rows; ++r) {
    const std::string number = program.Cell(r, 1);
    const Expected* e = FindKnown(number);
    ASSERT_NE(e, nullptr) << "row " << r << ": " << number;
    EXPECT_EQ(program.Cell(r, 2), e->status) << "row " << r << " (" << number << ")";
    EXPECT_EQ(program.Cell(r, 3), e->found) << "row " << r << " (" << number << ")";
    EXPECT_EQ(program.Cell(r, 4), e->title) << "row " << r << " (" << number << ")";
  }
}

}  // namespace kelvaro::handlers_test
