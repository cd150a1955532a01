#include "session/batch_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

#include "rows/row_store.h"
#include "site/standard_site.h"
#include "support/recording_server.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

using namespace std::chrono_literals;
using test::RecordingServer;
using test::Reply;

// A site that takes the request and never answers: only an abort ends the lookup.
class SilentSite {
 public:
  SilentSite() : server_([](const test::RecordedRequest&) { return Reply::Hang(); }) {}
  Site site() const { return SiteAt("http://" + server_.HostPort()); }
  bool WaitForRequest() { return server_.WaitForRequests(1, 10s); }

 private:
  RecordingServer server_;
};

TEST(BatchSessionConcurrency, EndAllAbortsTheRequestInFlightAndWritesNothing) {
  SilentSite site;
  RowStore table;
  StdMessagePump pump;
  BatchSession session(table, pump, site.site());
  for (const char* number : {"GB/T50001-2010", "GB/T50002-2010", "GB/T50003-2010"}) {
    table.SetCellText(table.AppendRow("n"), ColumnIndex(Column::kNumber), number);
  }
  // A bound above the row count: the batch returns with its workers still running.
  session.StartBatchQuery("4");
  ASSERT_TRUE(site.WaitForRequest());
  EXPECT_TRUE(session.IsRunning());

  EXPECT_TRUE(session.EndAll());
  EXPECT_FALSE(session.IsRunning());
  for (int row = 0; row < table.RowCount(); ++row) {
    EXPECT_EQ(table.GetCellText(row, ColumnIndex(Column::kStatus)), "") << row;
  }
  // Ended for good: nothing starts any more.
  EXPECT_TRUE(session.IsEnding());
  EXPECT_FALSE(session.RunSingleQuery("GB/T50001-2010").has_value());
  session.StartBatchQuery("4");
  EXPECT_FALSE(session.IsRunning());
  EXPECT_TRUE(session.EndAll());
}

TEST(BatchSessionConcurrency, AKeywordIsFetchedOncePerBatch) {
  // The site's "nothing found" page to everything: an answer, kept for the batch.
  RecordingServer server([](const test::RecordedRequest&) {
    return Reply::Http(200, Gbk(u8"<html><body>没有找到符合条件的标准</body></html>"));
  });
  RowStore table;
  StdMessagePump pump;
  BatchSession session(table, pump, SiteAt("http://" + server.HostPort()));
  for (const char* number : {"GB/T50001-2010", "GB/T 50001-2001", "GB/T50001-2017"}) {
    table.SetCellText(table.AppendRow("n"), ColumnIndex(Column::kNumber), number);
  }
  session.StartBatchQuery("3");
  ASSERT_TRUE(session.WaitForWorkers());
  EXPECT_EQ(server.Requests().size(), 1u);
  // The window's second try of some rows, once the batch has ended: the site is asked again.
  session.QueryRows("3", table.RowIds());
  ASSERT_TRUE(session.WaitForWorkers());
  EXPECT_EQ(server.Requests().size(), 2u);
  for (const RowId id : table.RowIds()) {
    EXPECT_EQ(table.JudgementById(id).reason.outcome, Outcome::kNotFound);
  }
}

// The site is the session's: a front end that changes it sends later lookups to the new one,
// and each row's judgement names the address it asked.
TEST(BatchSessionConcurrency, LooksUpOnTheSiteItWasGiven) {
  RecordingServer first;
  RecordingServer second;
  RowStore table;
  StdMessagePump pump;
  const Site first_site = SiteAt("http://" + first.HostPort());
  BatchSession session(table, pump, first_site);
  EXPECT_EQ(session.site().prefix, first_site.prefix);
  table.SetCellText(table.AppendRow("1"), ColumnIndex(Column::kNumber), "GB/T50001-2010");
  session.StartBatchQuery("1");
  ASSERT_TRUE(session.WaitForWorkers());
  EXPECT_EQ(first.Requests().size(), 1u);
  const RowId id = table.RowIds().front();
  EXPECT_EQ(table.JudgementById(id).address,
            first_site.prefix + "/s.jsp?keyword=GBT50001&pageNum=1");
  EXPECT_EQ(table.JudgementById(id).site, first_site.name);

  const Site second_site = SiteAt("http://" + second.HostPort());
  session.SetSite(second_site);
  session.QueryRows("1", table.RowIds());
  ASSERT_TRUE(session.WaitForWorkers());
  const std::optional<SingleQueryResult> single = session.RunSingleQuery("GB 50016-2014");
  ASSERT_TRUE(single.has_value());
  EXPECT_EQ(single->lookup.address, second_site.prefix + "/s.jsp?keyword=GB50016&pageNum=1");
  EXPECT_EQ(first.Requests().size(), 1u);
  EXPECT_EQ(second.Requests().size(), 2u);
  EXPECT_EQ(table.JudgementById(id).address,
            second_site.prefix + "/s.jsp?keyword=GBT50001&pageNum=1");
  EXPECT_TRUE(session.EndAll());
}

TEST(BatchSessionConcurrency, WaitGivesUpOnAStuckWorkerOnlyAfterAnEnd) {
  RowStore table;
  StdMessagePump pump;
  BatchSession session(table, pump, Sites().front());
  std::atomic<bool> release{false};
  session.runner().RunBatch(
      [&](int) {
        while (!release.load()) std::this_thread::sleep_for(1ms);
        session.runner().WorkerFinished();
        return 0;
      },
      2, 1);
  session.RequestEnd();
  EXPECT_FALSE(session.WaitForWorkers(50ms));
  EXPECT_TRUE(session.IsRunning());
  release = true;
  EXPECT_TRUE(session.WaitForWorkers());
  EXPECT_FALSE(session.IsRunning());
}

}  // namespace
}  // namespace kelvaro
