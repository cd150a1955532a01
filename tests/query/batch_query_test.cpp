// The batch query and the removal by status over a RowStore, with the standard-library
// pump, a real BatchRunner and an in-process stand-in for the site's request object
// (so requests, their keywords and how many are in flight can be counted exactly).
#include "query/batch_query.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch_runner.h"
#include "batch/lock_registry.h"
#include "batch/message_pump.h"
#include "query/number.h"
#include "rows/import.h"
#include "rows/row_store.h"
#include "rows/verdicts.h"
#include "site/national_site.h"
#include "support/named_case.h"
#include "support/sample_site.h"
#include "support/sites.h"
#include "text/encoding.h"
#include "web/request_object.h"

namespace kelvaro {
namespace {

using namespace std::chrono_literals;

struct SiteEntry {
  Text number;
  Text title;
};

// Serves result pages for keywords from a table; every Send is one request.
class FakeSite {
 public:
  void Add(const Text& keyword, SiteEntry entry) {
    std::lock_guard lock(mutex_);
    entries_[keyword] = std::move(entry);
  }
  void SetDelay(std::chrono::milliseconds delay) { delay_ms_ = static_cast<int>(delay.count()); }
  // The first request for `keyword` gets no answer (a network failure).
  void FailOnce(const Text& keyword) {
    std::lock_guard lock(mutex_);
    fail_once_.insert(keyword);
  }
  // Sampled inside every request: the runner's count of running workers.
  void WatchRunner(BatchRunner* runner) { runner_ = runner; }

  Text PageFor(const Text& keyword) {
    std::lock_guard lock(mutex_);
    Text page = "<html><body><table>";
    // A row without the current cell comes first: it must never be taken.
    page += "<tr bgcolor=\"#eeeeee\"><td>" + Gbk(u8"编号：") + "OLD 1-1999&nbsp;</td><td>" +
            Gbk(u8"标题：") + "old&nbsp;</td><td>" + Gbk(u8"废止") + "</td></tr>";
    auto it = entries_.find(keyword);
    if (it != entries_.end()) {
      page += "<tr bgcolor=\"#ffffff\"><td>" + Gbk(u8"编号：") + it->second.number +
              "&nbsp;</td><td>" + Gbk(u8"标题：") + it->second.title + "&nbsp;</td><td>" +
              Gbk(u8"发布日期：") + "2017-01-01&nbsp;</td><td>" + Gbk(u8"发布部门：") +
              Gbk(u8"住房和城乡建设部") + "&nbsp;</td>" + kCurrentCell + "</tr>";
    }
    page += "</table></body></html>";
    return page;
  }

  std::optional<Bytes> Serve(const Text& url) {
    const int now = in_flight_.fetch_add(1) + 1;
    RaiseTo(max_in_flight_, now);
    if (BatchRunner* r = runner_.load()) RaiseTo(max_running_, r->RunningCount());
    const Text keyword = KeywordOf(url);
    bool fail = false;
    {
      std::lock_guard lock(mutex_);
      requested_.push_back(keyword);
      fail = fail_once_.erase(keyword) > 0;
    }
    if (delay_ms_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms_));
    if (BatchRunner* r = runner_.load()) RaiseTo(max_running_, r->RunningCount());
    const Text page = PageFor(keyword);
    in_flight_.fetch_sub(1);
    if (fail) return std::nullopt;
    return Bytes(page.begin(), page.end());
  }

  std::vector<Text> Requested() {
    std::lock_guard lock(mutex_);
    return requested_;
  }
  int RequestsFor(const Text& keyword) {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(requested_.begin(), requested_.end(), keyword));
  }
  int MaxInFlight() const { return max_in_flight_.load(); }
  int MaxRunning() const { return max_running_.load(); }

 private:
  static void RaiseTo(std::atomic<int>& target, int value) {
    int seen = target.load();
    while (value > seen && !target.compare_exchange_weak(seen, value)) {
    }
  }
  static Text KeywordOf(const Text& url) {
    const auto start = url.find("keyword=");
    const auto end = url.find("&pageNum=");
    if (start == Text::npos || end == Text::npos || end < start) return "<bad url>";
    return url.substr(start + 8, end - start - 8);
  }

  std::mutex mutex_;
  std::map<Text, SiteEntry> entries_;
  std::vector<Text> requested_;
  std::set<Text> fail_once_;
  std::atomic<int> delay_ms_{0};
  std::atomic<int> in_flight_{0};
  std::atomic<int> max_in_flight_{0};
  std::atomic<int> max_running_{0};
  std::atomic<BatchRunner*> runner_{nullptr};
};

class FakeRequestObject : public RequestObject {
 public:
  explicit FakeRequestObject(FakeSite& site) : site_(site) {}
  bool SetTimeouts(int, int, int, int) override { return true; }
  bool SetProxy(int, const Text&) override { return true; }
  bool Open(const Text&, const Text& url, bool) override {
    url_ = url;
    return true;
  }
  bool SetOption(int, int) override { return true; }
  bool SetRequestHeader(const Text&, const Text&) override { return true; }
  bool Send(const Text&) override {
    body_ = site_.Serve(url_);
    return true;
  }
  bool SendBytes(const Bytes&) override { return Send({}); }
  std::optional<Bytes> ResponseBody() override { return body_; }
  Text GetAllResponseHeaders() override { return "HTTP/1.1 200 OK\r\n"; }
  int Status() override { return body_ ? 200 : 0; }
  void Abort() override {}

 private:
  FakeSite& site_;
  Text url_;
  std::optional<Bytes> body_;
};

// Counts thread starts, so a test can tell that no worker was started; can hold every
// new thread back a little before its worker runs (a slow system's thread start).
struct StartCounter {
  std::shared_ptr<std::atomic<int>> starts = std::make_shared<std::atomic<int>>(0);
  std::shared_ptr<std::atomic<int>> delay_ms = std::make_shared<std::atomic<int>>(0);
  ThreadStarter Starter() const {
    auto counter = starts;
    auto delay = delay_ms;
    return [counter, delay](std::function<void()> body) {
      counter->fetch_add(1);
      const int ms = delay->load();
      return StartDetachedThread([body = std::move(body), ms] {
        if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        body();
      });
    };
  }
};

class BatchQueryFixture : public ::testing::Test {
 protected:
  BatchQueryFixture() : runner_(pump_, starts_.Starter()) {
    services_.table = &table_;
    services_.runner = &runner_;
    services_.locks = &locks_;
    services_.query_lock = locks_.CreateLock();
    services_.pump = &pump_;
    services_.finished_rows = &finished_rows_;
    services_.site = Sites().front();
    site_.WatchRunner(&runner_);
    SetRequestObjectFactory([this](const Text& prog_id) -> RequestObjectHandle {
      if (prog_id != kRequestObjectProgId) return nullptr;
      return std::make_shared<FakeRequestObject>(site_);
    });
  }
  ~BatchQueryFixture() override {
    runner_.WaitForAllWorkers();
    SetRequestObjectFactory({});
  }

  void AddRows(const std::vector<Text>& numbers) {
    for (const Text& number : numbers) {
      const int row = table_.AppendRow(std::to_string(table_.RowCount() + 1));
      table_.SetCellText(row, 1, number);
    }
  }
  void SetStatuses(const std::vector<Text>& statuses) {
    for (std::size_t i = 0; i < statuses.size(); ++i) {
      table_.SetCellText(static_cast<int>(i), 2, statuses[i]);
    }
  }
  void RunQuery(const Text& speed) {
    StartBatchQuery(services_, speed);
    runner_.WaitForAllWorkers();
  }
  std::vector<Text> Column(int column) {
    std::vector<Text> out;
    for (const auto& row : table_.Snapshot()) out.push_back(row.cells[column]);
    return out;
  }

  FakeSite site_;
  RowStore table_;
  StdMessagePump pump_;
  StartCounter starts_;
  BatchRunner runner_;
  LockRegistry locks_;
  std::atomic<int> finished_rows_{0};
  QueryServices services_;
};

class BatchQueryConcurrency : public BatchQueryFixture {};

TEST_F(BatchQueryConcurrency, ClassifiesEveryRowAndWritesTheRecordAsFound) {
  const Text title_a = Gbk(u8"房屋建筑制图统一标准");
  const Text title_b = Gbk(u8"总图制图标准");
  const Text title_c = Gbk(u8"建筑给水排水制图标准");
  site_.Add("GBT50001", {"GB/T 50001-2010", title_a});
  site_.Add("GBT50103", {"GB/T 50103-2010", title_b});
  site_.Add("GBT50106", {"GB/T 50106-2001", title_c});
  site_.Add("GB50001", {"GB 50001-2017", title_a});
  struct Case {
    Text number;
    Text status;
    Text found;
    Text title;
  };
  const std::vector<Case> cases = {
      {"GB/T50001-2010", StatusWord(Verdict::kCurrent), "GB/T 50001-2010", title_a},
      // Spaces of either width anywhere give the same keyword and comparison.
      {Gbk(u8"　GB/T 50001 - 2010 "), StatusWord(Verdict::kCurrent), "GB/T 50001-2010", title_a},
      {"GB/T50103-2001", StatusWord(Verdict::kSuperseded), "GB/T 50103-2010", title_b},
      // The site's hit is older than the number asked for: undetermined.
      {"GB/T50106-2010", StatusWord(Verdict::kNotListed), "GB/T 50106-2001", title_c},
      // Not on the site at all.
      {"GB/T99999-2010", StatusWord(Verdict::kNotListed), "", ""},
      // No year: searched as a whole, undetermined, the site's standard shown.
      {"GB50001", StatusWord(Verdict::kNotListed), "GB 50001-2017", title_a},
  };
  std::vector<Text> numbers;
  for (const Case& c : cases) numbers.push_back(c.number);
  AddRows(numbers);

  RunQuery("2");

  const auto rows = table_.Snapshot();
  ASSERT_EQ(rows.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    EXPECT_EQ(rows[i].cells[0], std::to_string(i + 1));
    EXPECT_EQ(rows[i].cells[1], cases[i].number);  // column 1 is never changed
    EXPECT_EQ(rows[i].cells[2], cases[i].status);
    EXPECT_EQ(rows[i].cells[3], cases[i].found);
    EXPECT_EQ(rows[i].cells[4], cases[i].title);
  }
  EXPECT_EQ(site_.Requested().size(), cases.size());
  EXPECT_EQ(site_.MaxInFlight(), 1);
  EXPECT_EQ(finished_rows_.load(), static_cast<int>(cases.size()));
  EXPECT_EQ(runner_.RunningCount(), 0);
}

TEST_F(BatchQueryConcurrency, RepeatedKeywordsMakeOneRequestEachButFailuresAreAskedAgain) {
  services_.store = std::make_shared<MemoryLookupStore>();
  site_.SetDelay(2ms);
  site_.Add("GBT50001", {"GB/T 50001-2010", "a"});
  site_.Add("GBT50103", {"GB/T 50103-2010", "b"});
  site_.FailOnce("GBT50103");
  // Each row compares its own year with the one record of its keyword.
  const std::vector<std::pair<Text, Text>> rows_and_status = {
      {"GB/T50001-2010", StatusWord(Verdict::kCurrent)},
      {"GB/T 50001-2001", StatusWord(Verdict::kSuperseded)},
      {"GB/T99999-2010", StatusWord(Verdict::kNotListed)},
      {"GBT50001-2010", StatusWord(Verdict::kCurrent)},
      {"GB/T99999-2010", StatusWord(Verdict::kNotListed)},
      {"GB/T50001-2017", StatusWord(Verdict::kNotListed)},
      {"GB/T50103-2010", StatusWord(Verdict::kCurrent)},
      {"GB/T50103-2001", StatusWord(Verdict::kSuperseded)},
      {"GB/T 50103-2010", StatusWord(Verdict::kCurrent)}};
  std::vector<Text> numbers;
  for (const auto& row : rows_and_status) numbers.push_back(row.first);
  AddRows(numbers);

  RunQuery("8");

  EXPECT_EQ(site_.RequestsFor("GBT50001"), 1);
  EXPECT_EQ(site_.RequestsFor("GBT99999"), 1);
  EXPECT_EQ(site_.RequestsFor("GBT50103"), 2);  // the failed fetch was not kept
  EXPECT_EQ(site_.MaxInFlight(), 1);
  const auto rows = table_.Snapshot();
  int failed = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    // The row whose request failed is 未知; it may be any of the GBT50103 rows.
    const bool network = rows[i].judgement.reason.outcome == Outcome::kNetwork;
    failed += network ? 1 : 0;
    EXPECT_EQ(rows[i].cells[2],
              network ? StatusWord(Verdict::kNotListed) : rows_and_status[i].second)
        << i;
  }
  EXPECT_EQ(failed, 1);
}

// A batch whose site has refused it again and again asks nothing more: its rows stay as they
// were and are counted, but a page the batch already holds still answers.
TEST_F(BatchQueryConcurrency, StoppedByRefusalsLeavesRowsUnasked) {
  site_.Add("GBT50001", {"GB/T 50001-2010", "t"});
  AddRows({"GB/T 50001-2010", "GB/T 50103-2010", "GB/T 50106-2010"});
  services_.store = std::make_shared<MemoryLookupStore>();
  services_.store->Keep(services_.site, "GBT50001", 1,
                        FetchCurrentStandard(services_.site, "GBT50001"));
  int waits = 0;
  services_.pace = std::make_shared<RequestPace>([&](std::chrono::milliseconds) { ++waits; });
  for (int i = 0; i < kRefusalsBeforeStop; ++i) {
    ASSERT_TRUE(services_.pace->BeforeRequest());
    services_.pace->Answered(true);
  }
  const std::size_t before = site_.Requested().size();

  RunQuery("2");

  EXPECT_EQ(site_.Requested().size(), before);
  EXPECT_EQ(services_.pace->Unasked(), 2);
  const auto rows = table_.Snapshot();
  EXPECT_EQ(rows[0].judgement.verdict, Verdict::kCurrent);
  EXPECT_EQ(rows[1].judgement.verdict, Verdict::kNone);
  EXPECT_EQ(rows[2].judgement.verdict, Verdict::kNone);
  EXPECT_EQ(waits, kRefusalsBeforeStop - 1);
}

// The sample site refusing after two answers: each refusal makes the next request wait
// twice as long as the one before, the third in a row stops the batch, and the row after it
// is left unasked. The waits are recorded, not slept, with how many rows were judged then.
TEST_F(BatchQueryConcurrency, BacksOffAndStopsWhenTheSampleSiteRefuses) {
  SetRequestObjectFactory({});  // the real request object, over the loopback
  test::LoggedSite site({"--refuse-after", "2", "--refuse-window", "3600"});
  services_.site = site.site();
  services_.store = std::make_shared<MemoryLookupStore>();
  AddRows({"GB 50016-2014", "GB 50011-2010", "GB/T 50103-2010", "GB 50017-2003", "GB/T 7714-2015",
           "GB 50010-2010"});
  std::mutex mutex;
  std::vector<std::string> waits;
  services_.pace = std::make_shared<RequestPace>([&](std::chrono::milliseconds wait) {
    int judged = 0;
    for (const auto& row : table_.Snapshot()) judged += row.judgement.verdict != Verdict::kNone;
    std::lock_guard hold(mutex);
    waits.push_back(std::to_string(wait.count()) + " ms after " + std::to_string(judged));
  });

  RunQuery("1");  // one row at a time, in order

  EXPECT_EQ(waits, (std::vector<std::string>{"2000 ms after 3", "4000 ms after 4"}));
  const auto rows = table_.Snapshot();
  const Verdict verdicts[] = {Verdict::kCurrent, Verdict::kCurrent, Verdict::kFailed,
                              Verdict::kFailed,  Verdict::kFailed,  Verdict::kNone};
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].judgement.verdict, verdicts[i]) << i;
    if (verdicts[i] == Verdict::kFailed) {
      EXPECT_EQ(rows[i].judgement.reason.outcome, Outcome::kRefused) << i;
    }
  }
  EXPECT_TRUE(services_.pace->Stopped());
  EXPECT_EQ(services_.pace->Unasked(), 1);
  std::vector<std::string> targets;
  for (const auto& request : site.SettledRequests(5)) targets.push_back(request.target);
  EXPECT_EQ(targets, (std::vector<std::string>{
                         "/s.jsp?keyword=GB50016&pageNum=1", "/s.jsp?keyword=GB50011&pageNum=1",
                         "/s.jsp?keyword=GBT50103&pageNum=1", "/s.jsp?keyword=GB50017&pageNum=1",
                         "/s.jsp?keyword=GBT7714&pageNum=1"}));
}

TEST_F(BatchQueryConcurrency, EmptyKeywordMakesNoRequestAndEndsUnknown) {
  site_.Add("GBT50001", {"GB/T 50001-2010", "t"});
  site_.Add("GBT12", {"GB/T 1-2", "g"});
  // "", 4 bytes, 4 bytes after cleaning, then two rows that do search.
  AddRows({"", "ABCD", " 1-2/3.4 ", "GB/T 1-2", "GB/T50001-2010"});
  // Stale results of an earlier run must be replaced, not kept.
  for (int row = 0; row < 3; ++row) {
    table_.SetCellText(row, 2, StatusWord(Verdict::kCurrent));
    table_.SetCellText(row, 3, "stale");
    table_.SetCellText(row, 4, "stale");
  }

  RunQuery("3");

  const auto rows = table_.Snapshot();
  for (int row = 0; row < 3; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(rows[row].cells[2], StatusWord(Verdict::kNotListed));
    EXPECT_EQ(rows[row].cells[3], "");
    EXPECT_EQ(rows[row].cells[4], "");
  }
  // "GB/T 1-2" cleans to GBT12 (5 bytes) and has no year: searched whole, undetermined.
  EXPECT_EQ(rows[3].cells[2], StatusWord(Verdict::kNotListed));
  EXPECT_EQ(rows[3].cells[3], "GB/T 1-2");
  EXPECT_EQ(rows[4].cells[2], StatusWord(Verdict::kCurrent));
  auto requested = site_.Requested();
  std::sort(requested.begin(), requested.end());
  EXPECT_EQ(requested, (std::vector<Text>{"GBT12", "GBT50001"}));
}

struct SpeedCase {
  const char* name;
  Text speed;
  int rows;
  int min_running;  // the bound must be reached...
  int max_running;  // ...and never passed
  int delay_ms = 5;
};
KELVARO_PRINT_CASES_BY_NAME()

class BatchQuerySpeedConcurrency : public BatchQueryFixture,
                                   public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(BatchQuerySpeedConcurrency, FinishesEveryRowWithinTheBound) {
  const SpeedCase& c = GetParam();
  site_.SetDelay(std::chrono::milliseconds(c.delay_ms));
  std::vector<Text> numbers;
  for (int i = 0; i < c.rows; ++i) {
    const Text serial = std::to_string(10000 + i);
    site_.Add("GBT" + serial, {"GB/T " + serial + "-2010", "T" + serial});
    numbers.push_back("GB/T" + serial + "-2010");
  }
  AddRows(numbers);

  RunQuery(c.speed);

  for (const auto& row : table_.Snapshot()) {
    EXPECT_EQ(row.cells[2], StatusWord(Verdict::kCurrent)) << row.cells[1];
    EXPECT_EQ("T" + row.cells[3].substr(5, 5), row.cells[4]);
  }
  EXPECT_EQ(static_cast<int>(site_.Requested().size()), c.rows);
  EXPECT_EQ(site_.MaxInFlight(), 1);
  EXPECT_GE(site_.MaxRunning(), c.min_running);
  EXPECT_LE(site_.MaxRunning(), c.max_running);
}

INSTANTIATE_TEST_SUITE_P(
    Speeds, BatchQuerySpeedConcurrency,
    ::testing::Values(SpeedCase{"Two", "2", 20, 2, 2}, SpeedCase{"TrailingLetter", "3x", 20, 3, 3},
                      SpeedCase{"FullWidthDigit", Gbk(u8"３"), 20, 3, 3},
                      SpeedCase{"Letters", "abc", 8, 1, 1}, SpeedCase{"Zero", "0", 8, 1, 1},
                      SpeedCase{"Empty", "", 8, 1, 1}, SpeedCase{"Negative", "-7", 8, 1, 1},
                      SpeedCase{"Huge", "99999999999", 200, 20, 64},
                      // Every row's worker must have started while the first request waits:
                      // long enough for ten thread starts under the thread sanitizer on a
                      // busy machine.
                      SpeedCase{"MoreThanRows", "50", 10, 10, 10, 250}),
    test::CaseName());

TEST_F(BatchQueryConcurrency, EmptyTableStartsNoWorker) {
  RunQuery("4");
  EXPECT_EQ(starts_.starts->load(), 0);
  EXPECT_TRUE(site_.Requested().empty());
}

TEST_F(BatchQueryConcurrency, ThousandRowsAreAllFilledWithOneRequestInFlight) {
  std::vector<Text> numbers;
  for (int i = 0; i < 1000; ++i) {
    const Text serial = std::to_string(20000 + i);
    // Every third standard has a newer edition on the site.
    const Text year = i % 3 == 0 ? "2020" : "2015";
    site_.Add("GBT" + serial, {"GB/T " + serial + "-" + year, "T" + serial});
    numbers.push_back("GB/T" + serial + "-2015");
  }
  AddRows(numbers);

  RunQuery("64");

  const auto rows = table_.Snapshot();
  ASSERT_EQ(rows.size(), 1000u);
  for (int i = 0; i < 1000; ++i) {
    const Text serial = std::to_string(20000 + i);
    ASSERT_EQ(rows[i].cells[2],
              i % 3 == 0 ? StatusWord(Verdict::kSuperseded) : StatusWord(Verdict::kCurrent))
        << i;
    ASSERT_EQ(rows[i].cells[4], "T" + serial) << i;
  }
  EXPECT_EQ(site_.Requested().size(), 1000u);
  EXPECT_EQ(site_.MaxInFlight(), 1);
  EXPECT_EQ(finished_rows_.load(), 1000);
}

TEST_F(BatchQueryConcurrency, RowsAddedAfterTheStartAreNotPartOfTheBatch) {
  site_.SetDelay(2ms);
  site_.Add("GBT50001", {"GB/T 50001-2010", "t"});
  AddRows({"GB/T50001-2010", "GB/T50001-2010", "GB/T50001-2010"});
  // Appended from inside the batch's wait, as a second import click would be.
  pump_.Post([this] { AddRows({"GB/T50001-2010"}); });
  RunQuery("1");
  const auto rows = table_.Snapshot();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[3].cells[2], "");
  EXPECT_EQ(site_.Requested().size(), 3u);
}

TEST_F(BatchQueryConcurrency, ShutdownBeforeTheRequestWritesNothing) {
  site_.SetDelay(20ms);
  std::vector<Text> numbers;
  for (int i = 0; i < 30; ++i) {
    const Text serial = std::to_string(30000 + i);
    site_.Add("GBT" + serial, {"GB/T " + serial + "-2010", "T" + serial});
    numbers.push_back("GB/T" + serial + "-2010");
  }
  AddRows(numbers);
  // Ends the batch from inside its wait once a few rows are done.
  std::thread stopper([this] {
    while (finished_rows_.load() < 3) std::this_thread::sleep_for(1ms);
    pump_.Post([this] {
      runner_.StopBatch();
      runner_.Shutdown();
    });
  });
  RunQuery("4");
  stopper.join();
  const auto rows = table_.Snapshot();
  int filled = 0;
  for (const auto& row : rows) {
    if (row.cells[2].empty()) {
      EXPECT_EQ(row.cells[3], "");
      EXPECT_EQ(row.cells[4], "");
    } else {
      ++filled;
      EXPECT_EQ(row.cells[2], StatusWord(Verdict::kCurrent));
      EXPECT_EQ("T" + row.cells[3].substr(5, 5), row.cells[4]);
    }
  }
  EXPECT_GE(filled, 3);
  EXPECT_LT(filled, 30);
  // Only rows that were written made a request, plus at most the one in flight at the stop.
  EXPECT_LE(static_cast<int>(site_.Requested().size()), filled + 1);
}

TEST_F(BatchQueryConcurrency, ImportedFileAgainstTheSampleSite) {
  SetRequestObjectFactory({});  // the real request object, over the loopback
  test::SampleSite site;
  services_.site = SiteAt(site.prefix());
  ASSERT_TRUE(ImportNumbersFromFile(
      table_, std::string(KELVARO_TEST_DATA_DIR) + "/import/mixed_numbers.txt"));
  struct Expected {
    Text number;
    Text status;
    Text found;
    Text title;
  };
  // What the sample data lists first as current for each line's keyword.
  const std::vector<Expected> expected = {
      {"GB/T50001-2010", StatusWord(Verdict::kSuperseded), "GB/T 50001-2017",
       Gbk(u8"房屋建筑制图统一标准")},
      {"GB 50016-2014", StatusWord(Verdict::kCurrent), "GB 50016-2014", Gbk(u8"建筑设计防火规范")},
      {"GB/T 50103-2001", StatusWord(Verdict::kSuperseded), "GB/T 50103-2010",
       Gbk(u8"总图制图标准")},
      {"GB/T99999-2010", StatusWord(Verdict::kNotListed), "", ""},
      {"  GB 50011-2010  ", StatusWord(Verdict::kCurrent), "GB 50011-2010",
       Gbk(u8"建筑抗震设计规范")},
      {"", StatusWord(Verdict::kNotListed), "", ""},
      {"GB 50010-2015", StatusWord(Verdict::kNotListed), "GB 50010-2010",
       Gbk(u8"混凝土结构设计规范")},
      {"GB 50017-2003", StatusWord(Verdict::kSuperseded), "GB 50017-2017", Gbk(u8"钢结构设计标准")},
      {"GB/T 7714-2015", StatusWord(Verdict::kCurrent), "GB/T 7714-2015",
       Gbk(u8"信息与文献 参考文献著录规则")},
      {"GBT1.1-2009", StatusWord(Verdict::kSuperseded), "GB/T 1.1-2020",
       Gbk(u8"标准化工作导则 第1部分：标准化文件的结构和起草规则")},
      {"ABCD", StatusWord(Verdict::kNotListed), "", ""},
  };
  RunQuery("3");
  const auto rows = table_.Snapshot();
  ASSERT_EQ(rows.size(), expected.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(expected[i].number);
    EXPECT_EQ(rows[i].cells[0], std::to_string(i + 1));
    EXPECT_EQ(rows[i].cells[1], expected[i].number);
    EXPECT_EQ(rows[i].cells[2], expected[i].status);
    EXPECT_EQ(rows[i].cells[3], expected[i].found);
    EXPECT_EQ(rows[i].cells[4], expected[i].title);
  }
}

// --- Removal by status ------------------------------------------------------------------

class RowRemovalConcurrency : public BatchQueryFixture {};

TEST_F(RowRemovalConcurrency, RemovesCurrentRowsAndKeepsOrderAndOrdinals) {
  AddRows({"A", "B", "C", "D"});
  SetStatuses({StatusWord(Verdict::kCurrent), StatusWord(Verdict::kSuperseded),
               StatusWord(Verdict::kCurrent), StatusWord(Verdict::kNotListed)});
  RemoveRowsWithStatus(services_, StatusWord(Verdict::kCurrent));
  runner_.WaitForAllWorkers();
  EXPECT_EQ(Column(0), (std::vector<Text>{"2", "4"}));
  EXPECT_EQ(Column(1), (std::vector<Text>{"B", "D"}));
  EXPECT_EQ(Column(2),
            (std::vector<Text>{StatusWord(Verdict::kSuperseded), StatusWord(Verdict::kNotListed)}));
}

TEST_F(RowRemovalConcurrency, RemovesSupersededRows) {
  AddRows({"A", "B", "C", "D"});
  SetStatuses({StatusWord(Verdict::kCurrent), StatusWord(Verdict::kSuperseded),
               StatusWord(Verdict::kCurrent), StatusWord(Verdict::kSuperseded)});
  RemoveRowsWithStatus(services_, StatusWord(Verdict::kSuperseded));
  runner_.WaitForAllWorkers();
  EXPECT_EQ(Column(0), (std::vector<Text>{"1", "3"}));
}

TEST_F(RowRemovalConcurrency, OnlyExactMatchesAreRemoved) {
  AddRows({"A", "B", "C", "D", "E", "F"});
  // Unqueried (empty), trailing space, leading full-width space, the other word, a match.
  SetStatuses({"", StatusWord(Verdict::kCurrent) + " ", Gbk(u8"　") + StatusWord(Verdict::kCurrent),
               StatusWord(Verdict::kSuperseded), StatusWord(Verdict::kCurrent),
               StatusWord(Verdict::kNotListed)});
  RemoveRowsWithStatus(services_, StatusWord(Verdict::kCurrent));
  runner_.WaitForAllWorkers();
  EXPECT_EQ(Column(1), (std::vector<Text>{"A", "B", "C", "D", "F"}));
  RemoveRowsWithStatus(services_, StatusWord(Verdict::kSuperseded));
  runner_.WaitForAllWorkers();
  EXPECT_EQ(Column(1), (std::vector<Text>{"A", "B", "C", "F"}));
}

TEST_F(RowRemovalConcurrency, NoMatchStartsNoWorker) {
  AddRows({"A", "B", "C"});
  SetStatuses({StatusWord(Verdict::kNotListed), "", StatusWord(Verdict::kSuperseded)});
  RemoveRowsWithStatus(services_, StatusWord(Verdict::kCurrent));
  EXPECT_EQ(starts_.starts->load(), 0);
  EXPECT_EQ(table_.RowCount(), 3);
  RowStore empty;
  QueryServices on_empty = services_;
  on_empty.table = &empty;
  RemoveRowsWithStatus(on_empty, StatusWord(Verdict::kCurrent));
  EXPECT_EQ(starts_.starts->load(), 0);
}

TEST_F(RowRemovalConcurrency, OnePassRemovesEveryMatchOfALargeTable) {
  const int n = 400;
  std::vector<Text> numbers, statuses;
  for (int i = 0; i < n; ++i) {
    numbers.push_back("N" + std::to_string(i));
    statuses.push_back(i % 4 == 3 ? StatusWord(Verdict::kNotListed)
                                  : StatusWord(Verdict::kCurrent));
  }
  AddRows(numbers);
  SetStatuses(statuses);
  // The last workers of the pass are still starting when RunBatch returns.
  starts_.delay_ms->store(5);
  RemoveRowsWithStatus(services_, StatusWord(Verdict::kCurrent));
  // Every match is gone when the handler returns, and it took a single pass.
  EXPECT_EQ(table_.FindRow(StatusWord(Verdict::kCurrent), 2), -1);
  EXPECT_EQ(table_.RowCount(), n / 4);
  EXPECT_EQ(starts_.starts->load(), n);
  runner_.WaitForAllWorkers();
  for (const auto& row : table_.Snapshot())
    EXPECT_EQ(row.cells[2], StatusWord(Verdict::kNotListed));
}

TEST_F(RowRemovalConcurrency, EveryRowMatchingLeavesAnEmptyTable) {
  AddRows({"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L"});
  SetStatuses(std::vector<Text>(12, StatusWord(Verdict::kSuperseded)));
  RemoveRowsWithStatus(services_, StatusWord(Verdict::kSuperseded));
  runner_.WaitForAllWorkers();
  EXPECT_EQ(table_.RowCount(), 0);
}

TEST_F(RowRemovalConcurrency, RemovalDuringABatchNeverMisplacesAResult) {
  site_.SetDelay(3ms);
  const int n = 120;
  std::vector<Text> numbers;
  for (int i = 0; i < n; ++i) {
    const Text serial = std::to_string(40000 + i);
    // Even rows are current on the site, odd rows have a newer edition.
    site_.Add("GBT" + serial, {"GB/T " + serial + (i % 2 == 0 ? "-2010" : "-2019"), "T" + serial});
    numbers.push_back("GB/T" + serial + "-2010");
  }
  AddRows(numbers);
  // Results of an earlier run in the second half: those rows say current before they are
  // queried again, so removals hit rows whose workers have not run yet.
  for (int row = n / 2; row < n; ++row) table_.SetCellText(row, 2, StatusWord(Verdict::kCurrent));

  // Clicks on the removal buttons arrive while the batch waits, as in the window.
  std::atomic<bool> batch_done{false};
  std::thread clicker([&] {
    for (int click = 0; click < 8 && !batch_done.load(); ++click) {
      std::this_thread::sleep_for(25ms);
      const Text word =
          click % 2 == 0 ? StatusWord(Verdict::kCurrent) : StatusWord(Verdict::kSuperseded);
      pump_.Post([this, word] { RemoveRowsWithStatus(services_, word); });
    }
  });
  RunQuery("4");
  batch_done = true;
  clicker.join();
  pump_.ProcessPendingMessages();
  runner_.WaitForAllWorkers();

  const auto rows = table_.Snapshot();
  EXPECT_LT(static_cast<int>(rows.size()), n);  // some rows were removed
  std::set<Text> seen;
  for (const auto& row : rows) {
    const Text serial = row.cells[1].substr(4, 5);
    EXPECT_TRUE(seen.insert(serial).second);
    // A surviving row was queried once, and its cells are its own standard's.
    EXPECT_EQ(site_.RequestsFor("GBT" + serial), 1) << row.cells[1];
    EXPECT_EQ(row.cells[3].substr(0, 10), "GB/T " + serial) << row.cells[1];
    EXPECT_EQ(row.cells[4], "T" + serial) << row.cells[1];
    const bool even = (std::stoi(serial) - 40000) % 2 == 0;
    EXPECT_EQ(row.cells[2], even ? StatusWord(Verdict::kCurrent) : StatusWord(Verdict::kSuperseded))
        << row.cells[1];
  }
  // No standard was ever asked for twice.
  const auto requested = site_.Requested();
  EXPECT_EQ(std::set<Text>(requested.begin(), requested.end()).size(), requested.size());
  EXPECT_EQ(site_.MaxInFlight(), 1);
}

TEST(RowRemoval, WorkerOnARemovedOrMissingRowDoesNothing) {
  RowStore table;
  StdMessagePump pump;
  BatchRunner runner(pump);
  LockRegistry locks;
  QueryServices services{&table, &runner, &locks, locks.CreateLock(), &pump, nullptr, {}, {}};
  table.AppendRow("1");
  table.SetCellText(0, 2, StatusWord(Verdict::kCurrent));
  const std::vector<RowId> ids = table.RowIds();
  table.DeleteRow(0);
  table.AppendRow("2");
  table.SetCellText(0, 2, StatusWord(Verdict::kCurrent));
  // Row 1's row is gone, row 2 lies beyond the pass.
  runner.RunBatch(
      [&](int row_number) {
        RemoveRowIfStatus(services, ids, StatusWord(Verdict::kCurrent), row_number);
        return 0;
      },
      kRemovalBound, 2);
  runner.WaitForAllWorkers();
  EXPECT_EQ(table.RowCount(), 1);
  runner.RunBatch(
      [&](int row_number) {
        QueryRow(services, ids, row_number);  // removed row: no request, nothing written
        return 0;
      },
      1, 1);
  runner.WaitForAllWorkers();
  EXPECT_EQ(runner.RunningCount(), 0);
  EXPECT_EQ(table.GetCellText(0, 2), StatusWord(Verdict::kCurrent));
}

}  // namespace
}  // namespace kelvaro
