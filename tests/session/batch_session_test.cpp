#include "session/batch_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "rows/row_store.h"
#include "site/standard_site.h"
#include "support/recording_server.h"

namespace kelvaro {
namespace {

using namespace std::chrono_literals;
using test::RecordingServer;
using test::Reply;

// A site that takes the request and never answers: only an abort ends the lookup.
class SilentSite {
 public:
  SilentSite() : server_([](const test::RecordedRequest&) { return Reply::Hang(); }) {
    SetSitePrefixOverride("http://" + server_.HostPort());
  }
  ~SilentSite() { SetSitePrefixOverride(""); }
  bool WaitForRequest() { return server_.WaitForRequests(1, 10s); }

 private:
  RecordingServer server_;
};

TEST(BatchSessionConcurrency, EndAllAbortsTheRequestInFlightAndWritesNothing) {
  SilentSite site;
  RowStore table;
  StdMessagePump pump;
  BatchSession session(table, pump);
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
  RecordingServer server;  // 200 to everything: a page without a current row
  SetSitePrefixOverride("http://" + server.HostPort());
  RowStore table;
  StdMessagePump pump;
  BatchSession session(table, pump);
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
  for (const RowId id : table.RowIds()) EXPECT_EQ(table.ReasonById(id).outcome, Outcome::kNotFound);
  SetSitePrefixOverride("");
}

TEST(BatchSessionConcurrency, WaitGivesUpOnAStuckWorkerOnlyAfterAnEnd) {
  RowStore table;
  StdMessagePump pump;
  BatchSession session(table, pump);
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
