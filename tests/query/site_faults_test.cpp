// A batch of 50 rows against a misbehaving site on 127.0.0.1: only some rows meet the
// fault. The faulty rows must end "未知" with empty columns 3 and 4, every other row with
// its right result, the table keeps its rows, the batch ends within the time-outs, and the
// pump keeps running posted tasks throughout. Real BatchRunner, RowStore, lock registry,
// standard-library pump and libcurl request object.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch_runner.h"
#include "batch/lock_registry.h"
#include "batch/message_pump.h"
#include "query/batch_query.h"
#include "query/number.h"
#include "rows/reason.h"
#include "rows/row_store.h"
#include "rows/verdicts.h"
#include "site/standard_site.h"
#include "support/fault_server.h"
#include "text/encoding.h"
#include "web/web_request.h"

namespace kelvaro {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::Fault;
using test::FaultServer;
using test::SiteRecord;

constexpr int kRows = 50;
constexpr int kTimeoutMs = 1000;
// The overall cap of one exchange is four times the time-out; one request at a time.
constexpr int kWorstRowMs = 4 * kTimeoutMs;
const std::set<int> kFaultRows = {7, 23, 41};

struct ExpectedRow {
  Text number;  // column 1
  Text status;
  Text hit_number;
  Text hit_title;
};

// Posts a task to the pump every few milliseconds from another thread and records how
// long each one waited before the pump ran it.
class PumpProbe {
 public:
  explicit PumpProbe(StdMessagePump& pump) : pump_(pump) {
    thread_ = std::thread([this] {
      while (!stop_.load()) {
        const auto posted = Clock::now();
        posted_.fetch_add(1);
        pump_.Post([this, posted] {
          const auto waited =
              std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - posted);
          long long seen = max_delay_ms_.load();
          while (waited.count() > seen &&
                 !max_delay_ms_.compare_exchange_weak(seen, waited.count())) {
          }
          ran_.fetch_add(1);
        });
        std::this_thread::sleep_for(5ms);
      }
    });
  }
  // Stops posting; then the caller runs what is still queued.
  void Stop() {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
  }
  ~PumpProbe() { Stop(); }

  long long MaxDelayMs() const { return max_delay_ms_.load(); }
  int Ran() const { return ran_.load(); }
  int Posted() const { return posted_.load(); }

 private:
  StdMessagePump& pump_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<long long> max_delay_ms_{0};
  std::atomic<int> ran_{0};
  std::atomic<int> posted_{0};
};

// The 50 rows: normal ones cycle through the four outcomes of the classification
// (equal years, newer year, older year, no current row); fault rows carry FAULT keywords.
std::vector<ExpectedRow> PlanRows(FaultServer& server) {
  std::vector<ExpectedRow> rows;
  for (int i = 1; i <= kRows; ++i) {
    if (kFaultRows.count(i) != 0) {
      rows.push_back(
          {"FAULT" + std::to_string(i) + "-2010", StatusWord(Verdict::kNotListed), "", ""});
      continue;
    }
    const std::string serial = std::to_string(50000 + i);
    // Written three ways; all clean to GBT<serial>2010.
    const Text number = i % 3 == 0   ? "GB/T" + serial + "-2010"
                        : i % 3 == 1 ? " GB/T " + serial + "-2010 "
                                     : "GB/T" + Gbk(u8"\u3000") + serial + "-2010";
    const Text title = Gbk(u8"建筑制图标准") + serial;
    const std::string keyword = "GBT" + serial;
    ExpectedRow row{number, StatusWord(Verdict::kNotListed), "", ""};
    switch (i % 4) {
      case 0:
        row = {number, StatusWord(Verdict::kCurrent), "GB/T " + serial + "-2010", title};
        break;
      case 1:
        row = {number, StatusWord(Verdict::kSuperseded), "GB/T " + serial + "-2017", title};
        break;
      case 2:
        row = {number, StatusWord(Verdict::kNotListed), "GB/T " + serial + "-2001", title};
        break;
      default:
        break;  // the site lists no current row for it
    }
    if (!row.hit_number.empty()) {
      server.Add(keyword, SiteRecord{row.hit_number, row.hit_title, "2017-01-01",
                                     Gbk(u8"住房和城乡建设部")});
    }
    rows.push_back(row);
  }
  return rows;
}

struct FaultCase {
  Fault fault;
  bool waits_for_timeout;  // the fault ends only by a time-out
  Outcome reason;          // what the faulty rows record beside their 未知
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << FaultName(c.fault); }

class SiteFaultsConcurrency : public ::testing::TestWithParam<FaultCase> {
 protected:
  void SetUp() override { SetDefaultTimeoutMsForTesting(kTimeoutMs); }
  void TearDown() override { SetDefaultTimeoutMsForTesting(0); }
};

TEST_P(SiteFaultsConcurrency, FaultyRowsEndUnknownAndTheRestAreRight) {
  const FaultCase c = GetParam();
  FaultServer server(c.fault);
  const std::vector<ExpectedRow> expected = PlanRows(server);
  std::optional<test::RefusingFactory> refusing;
  if (c.fault == Fault::kRefused) refusing.emplace(server);

  RowStore table;
  for (int i = 1; i <= kRows; ++i) {
    const int row = table.AppendRow(std::to_string(i));
    table.SetCellText(row, 1, expected[static_cast<std::size_t>(i) - 1].number);
  }

  StdMessagePump pump;
  BatchRunner runner(pump);
  LockRegistry locks;
  QueryServices services;
  services.table = &table;
  services.runner = &runner;
  services.locks = &locks;
  services.query_lock = locks.CreateLock();
  services.pump = &pump;
  services.site = SiteAt(server.prefix());
  std::atomic<int> finished{0};
  services.finished_rows = &finished;

  PumpProbe probe(pump);
  const auto start = Clock::now();
  StartBatchQuery(services, "4");
  runner.WaitForAllWorkers();
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  probe.Stop();
  pump.ProcessPendingMessages();  // anything the batch left queued shows its wait too

  // Liveness only: each faulty row may cost the whole capped exchange, one at a time.
  const auto bound =
      std::chrono::milliseconds(static_cast<int>(kFaultRows.size()) * kWorstRowMs + 15000);
  EXPECT_LT(elapsed, bound);
  if (c.waits_for_timeout) {
    EXPECT_GE(elapsed, std::chrono::milliseconds(kTimeoutMs / 2));
  }
  EXPECT_EQ(finished.load(), kRows);
  EXPECT_LT(probe.MaxDelayMs(), 500) << "the pump stopped serving tasks during the batch";
  EXPECT_EQ(probe.Ran(), probe.Posted());

  // Rows: count unchanged, ordinals and numbers untouched, results as planned.
  const auto rows = table.Snapshot();
  ASSERT_EQ(rows.size(), static_cast<std::size_t>(kRows));
  for (int i = 1; i <= kRows; ++i) {
    const auto& row = rows[static_cast<std::size_t>(i) - 1];
    const ExpectedRow& want = expected[static_cast<std::size_t>(i) - 1];
    SCOPED_TRACE("row " + std::to_string(i) + (kFaultRows.count(i) ? " (fault)" : ""));
    EXPECT_EQ(row.cells[0], std::to_string(i));
    EXPECT_EQ(row.cells[1], want.number);
    EXPECT_EQ(GbkToUtf8(row.cells[2]), GbkToUtf8(want.status));
    EXPECT_EQ(row.cells[3], want.hit_number);
    EXPECT_EQ(GbkToUtf8(row.cells[4]), GbkToUtf8(want.hit_title));
    // A current row of an earlier year than the cited one: the citation is newer than the site.
    const Outcome reason = kFaultRows.count(i) != 0                   ? c.reason
                           : want.hit_number.empty()                  ? Outcome::kNotFound
                           : want.status == StatusWord(Verdict::kNotListed) ? Outcome::kNewerThanSite
                                                                      : Outcome::kFound;
    EXPECT_EQ(OutcomeName(row.judgement.reason.outcome), std::string(OutcomeName(reason)));
    EXPECT_EQ(row.judgement.reason.error.empty(), row.judgement.reason.outcome != Outcome::kNetwork)
        << row.judgement.reason.error;
    if (row.judgement.reason.outcome == Outcome::kHttpError) {
      EXPECT_EQ(row.judgement.reason.http_status, 503);
    }
  }

  // The wire: every normal keyword asked for exactly once, every request line well formed.
  std::map<std::string, int> asked;
  for (const auto& line : server.RequestLines()) ++asked[test::KeywordOfRequestLine(line)];
  EXPECT_EQ(server.MalformedRequests(), 0);
  for (int i = 1; i <= kRows; ++i) {
    if (kFaultRows.count(i) != 0) continue;
    EXPECT_EQ(asked["GBT" + std::to_string(50000 + i)], 1) << "row " << i;
  }
  if (c.fault == Fault::kRefused) {
    EXPECT_EQ(server.FaultRequests(), 0);
  } else if (c.fault == Fault::kNone) {
    // The control run: FAULT keywords get an ordinary page without a current row.
    for (int i : kFaultRows) EXPECT_EQ(asked["FAULT" + std::to_string(i)], 1) << "row " << i;
  } else {
    // Every faulty row reached the server (a redirect loop asks again and again).
    EXPECT_GE(server.FaultRequests(), static_cast<int>(kFaultRows.size()));
    for (int i : kFaultRows) EXPECT_GE(asked["FAULT" + std::to_string(i)], 1) << "row " << i;
  }
}

std::string CaseName(const ::testing::TestParamInfo<FaultCase>& info) {
  return test::FaultName(info.param.fault);
}

INSTANTIATE_TEST_SUITE_P(
    AllFaults, SiteFaultsConcurrency,
    ::testing::Values(FaultCase{Fault::kNone, false, Outcome::kNotFound},
                      FaultCase{Fault::kRefused, false, Outcome::kNetwork},
                      FaultCase{Fault::kResetMidBody, false, Outcome::kNetwork},
                      FaultCase{Fault::kServiceUnavailable, false, Outcome::kHttpError},
                      FaultCase{Fault::kGarbage, false, Outcome::kNetwork},
                      FaultCase{Fault::kUtf8Page, false, Outcome::kNotFound},
                      FaultCase{Fault::kHugeBody, false, Outcome::kNetwork},
                      FaultCase{Fault::kHugeBodyNoLength, false, Outcome::kNetwork},
                      FaultCase{Fault::kTrickle, true, Outcome::kNetwork},
                      FaultCase{Fault::kRedirectLoop, false, Outcome::kNetwork},
                      FaultCase{Fault::kCookieFlood, false, Outcome::kNetwork},
                      FaultCase{Fault::kHugeHeaderBlock, false, Outcome::kNetwork},
                      FaultCase{Fault::kNeverAnswer, true, Outcome::kNetwork}),
    CaseName);

// Hostile numbers on the wire: whatever a row holds, the site sees one well-formed
// request line per request, and one request per row with a keyword.
class HostileNumbersOnWireConcurrency : public ::testing::Test {
 protected:
  void TearDown() override { SetDefaultTimeoutMsForTesting(0); }
};

TEST_F(HostileNumbersOnWireConcurrency, OneWellFormedRequestLinePerRequest) {
  SetDefaultTimeoutMsForTesting(3000);
  FaultServer server(Fault::kNone);

  const std::string long_digits(10000, '7');
  const std::vector<Text> numbers = {
      "GB" + long_digits + "-2010",                // a 10,000-byte number
      long_digits,                                 // digits only
      "GB/T50001-2010\r\nHost: evil.example\r\n",  // header injection attempt
      "GB T\t50001\r2010\n",                       // tabs and lone CR and LF
      "GB/T 50001-2010 HTTP/1.1\r\nX: y",          // a fake request line end
      Gbk(u8"国标") + "50001-2010",                // GBK characters
      "GB/T50001-2010\x81",                        // lone lead byte at the end
      "GB\x81",                                    // short, with a lone lead byte
      Text("GB1\x81") + "2010",                    // the keyword ends in a lone lead byte
      std::string(5000, '\x81') + "X2010",         // lead bytes pairing with each other
      Text(9996, '\xB1') + "2010",                 // 10,000 bytes of GBK lead bytes
      "GB%00%0d%0a-2010",                          // percent texts that look escaped
      "GB#frag&pageNum=9 -2010",                   // fragment and parameter marks
      "A",                                         // no keyword: no request
      "",                                          // empty: no request
  };

  RowStore table;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const int row = table.AppendRow(std::to_string(i + 1));
    table.SetCellText(row, 1, numbers[i]);
  }
  int with_keyword = 0;
  for (Text n : numbers) {
    if (!NormalizeNumber(n).empty()) ++with_keyword;
  }

  StdMessagePump pump;
  BatchRunner runner(pump);
  LockRegistry locks;
  QueryServices services{
      &table, &runner, &locks, locks.CreateLock(), &pump, nullptr, SiteAt(server.prefix()), {}};
  StartBatchQuery(services, "3");
  runner.WaitForAllWorkers();

  const auto lines = server.RequestLines();
  EXPECT_EQ(static_cast<int>(lines.size()), with_keyword);
  EXPECT_EQ(server.MalformedRequests(), 0);
  for (const auto& line : lines) {
    EXPECT_EQ(line.rfind("GET /s.jsp?keyword=", 0), 0u) << line.substr(0, 200);
    EXPECT_EQ(line.find_first_of(std::string("\r\n\t\0", 4)), std::string::npos);
    EXPECT_TRUE(std::all_of(line.begin(), line.end(), [](char ch) {
      return static_cast<unsigned char>(ch) >= 0x20 && static_cast<unsigned char>(ch) < 0x7F;
    })) << line.substr(0, 200);
  }
  // The long number arrived whole: its keyword is its cleaned text less the year.
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
    return test::KeywordOfRequestLine(line) == "GB" + long_digits;
  }));

  // GBK characters go out as UTF-8 escapes.
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
    return test::KeywordOfRequestLine(line) == "%E5%9B%BD%E6%A0%8750001";
  }));

  const auto rows = table.Snapshot();
  ASSERT_EQ(rows.size(), numbers.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i + 1));
    EXPECT_EQ(rows[i].cells[1], numbers[i]);
    // The site knows none of them.
    EXPECT_EQ(rows[i].cells[2], StatusWord(Verdict::kNotListed));
    EXPECT_EQ(rows[i].cells[3], "");
    EXPECT_EQ(rows[i].cells[4], "");
  }
}

}  // namespace
}  // namespace kelvaro
