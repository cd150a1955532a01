#include "store/lookup_archive.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/files.h"
#include "store/sqlite.h"
#include "support/temp_dir.h"

namespace kelvaro {
namespace {

using namespace std::chrono_literals;
constexpr std::chrono::seconds kWeek = 7 * 24h;
constexpr std::int64_t kDay = 24 * 3600;

// A clock the test moves.
struct TestClock {
  std::shared_ptr<std::atomic<std::int64_t>> now =
      std::make_shared<std::atomic<std::int64_t>>(1'800'000'000);
  LookupArchive::Clock Reader() const {
    return [now = now] { return now->load(); };
  }
  void Advance(std::int64_t seconds) const { *now += seconds; }
};

Site TestSite(const std::string& prefix = "http://127.0.0.1:1") {
  Site site = Sites().front();
  site.prefix = prefix;
  return site;
}

StandardLookup Answer(const std::string& number, int status = 200,
                      PageKind kind = PageKind::kResults) {
  StandardLookup lookup;
  lookup.http_status = status;
  lookup.kind = kind;
  lookup.site = TestSite().name;
  lookup.address = "http://127.0.0.1:1/s?k=" + number;
  lookup.read_at = "2026-12-08 22:00:13";
  if (status != 200) {
    lookup.error = "connection refused";
    return lookup;
  }
  lookup.page_count = 2;
  lookup.record = {number, "\xbd\xa8\xd6\xfe", "2014-08-27", "MOHURD", "\xcf\xd6\xd0\xd0"};
  ListedStandard row;
  row.number = number;
  row.title = std::string("\xbd\xa8\x00\xd6", 4);  // any bytes, a zero too
  row.release_date = "2014-08-27";
  row.effective_date = "2015-05-01";
  row.status = "\xcf\xd6\xd0\xd0";
  row.standing = Standing::kCurrent;
  row.detail = "/d?id=1";
  lookup.listed = {row, row};
  lookup.listed[1].number = number + "-old";
  lookup.listed[1].standing = Standing::kWithdrawn;
  return lookup;
}

std::shared_ptr<LookupArchive> OpenAt(const std::string& path, const TestClock& clock,
                                      std::string* warning_out = nullptr) {
  std::string warning;
  auto archive = LookupArchive::Open(path, warning, clock.Reader());
  if (warning_out != nullptr) {
    *warning_out = warning;
  } else {
    EXPECT_EQ(warning, "");
  }
  return archive;
}

TEST(LookupArchive, AnswersWhatItKeptWhileFreshAndNeverAFailure) {
  test::TempDir dir;
  TestClock clock;
  const std::string path = dir.File("a/b/lookups.sqlite3");
  const Site site = TestSite();
  {
    auto archive = OpenAt(path, clock);
    ASSERT_TRUE(archive->Keeps());
    archive->Keep(site, "GB50016", 1, Answer("GB 50016-2014"));
    clock.Advance(60);
    // A later failure is kept, yet the answer before it is what is told.
    archive->Keep(site, "GB50016", 1, Answer("", 0));
    archive->Keep(site, "JGJ8", 1, Answer("", 503));
    archive->Keep(site, "JGJ80", 1, Answer("", 200, PageKind::kRefused));
  }
  auto archive = OpenAt(path, clock);  // kept across runs
  std::optional<StandardLookup> found = archive->FindFresh(site, "GB50016", 1, kWeek);
  ASSERT_TRUE(found.has_value());
  StandardLookup expected = Answer("GB 50016-2014");
  expected.from_store = true;
  EXPECT_EQ(found->listed, expected.listed);
  EXPECT_EQ(found->record, expected.record);
  EXPECT_EQ(found->read_at, expected.read_at);
  EXPECT_EQ(found->address, expected.address);
  EXPECT_EQ(found->page_count, 2);
  EXPECT_TRUE(found->from_store);

  struct Case {
    const char* name;
    Site site;
    Text keyword;
    int page;
    std::chrono::seconds max_age;
  };
  const Case misses[] = {
      {"FailedOnly", site, "JGJ8", 1, kWeek},
      {"RefusedPage", site, "JGJ80", 1, kWeek},
      {"AnotherPage", site, "GB50016", 2, kWeek},
      {"AnotherAddress", TestSite("http://127.0.0.1:2"), "GB50016", 1, kWeek},
      {"AnotherKeyword", site, "GB50016-2014", 1, kWeek},
      {"MaxAgeZero", site, "GB50016", 1, 0s},
      {"OlderThanMaxAge", site, "GB50016", 1, 30s},
  };
  for (const Case& c : misses) {
    EXPECT_FALSE(archive->FindFresh(c.site, c.keyword, c.page, c.max_age).has_value()) << c.name;
  }
  EXPECT_EQ(archive->History("GB50016").size(), 2u);
  EXPECT_EQ(archive->History("GB50016").front().http_status, 0);  // newest first
}

TEST(LookupArchive, KeepsDetailPagesAndForgetsWhatIsAYearOld) {
  test::TempDir dir;
  TestClock clock;
  const std::string path = dir.File("lookups.sqlite3");
  {
    auto archive = OpenAt(path, clock);
    DetailLookup detail;
    detail.address = "http://127.0.0.1:1/d?id=1";
    detail.http_status = 200;
    detail.records.labelled = true;
    detail.records.replacements = "\xb1\xbb";
    detail.records.replaced_by = {"GB 50016-2014", "GB 50016-2018"};
    archive->KeepDetail(detail);
    std::optional<DetailLookup> found = archive->FindFreshDetail(detail.address, kWeek);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->records, detail.records);
    archive->Keep(TestSite(), "GB50016", 1, Answer("GB 50016-2014"));
  }
  clock.Advance(LookupArchive::kKeptSeconds + kDay);
  auto archive = OpenAt(path, clock);
  EXPECT_TRUE(archive->History("GB50016").empty());
  EXPECT_FALSE(archive->FindFreshDetail("http://127.0.0.1:1/d?id=1", 1000 * kWeek).has_value());
}

// Whatever is at the store's path, the check goes on: a file that is no store is set aside
// and a new one made.
TEST(LookupArchive, SetsAsideWhatIsNoStoreOfOurs) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> make;
  };
  const auto write = [](const std::string& bytes) {
    return [bytes](const std::string& path) {
      std::string error;
      ASSERT_TRUE(platform::WriteWholeFile(path, bytes, error)) << error;
    };
  };
  const auto database = [](const char* sql) {
    return [sql](const std::string& path) {
      sql::Database db;
      ASSERT_FALSE(db.Open(path).has_value());
      ASSERT_FALSE(db.Execute(sql).has_value());
    };
  };
  const auto truncated = [](const std::string& path) {
    TestClock clock;
    {
      auto archive = OpenAt(path, clock);
      for (int i = 0; i < 200; ++i) {
        archive->Keep(TestSite(), "K" + std::to_string(i), 1, Answer("GB 1-" + std::to_string(i)));
      }
    }
    std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
  };
  const Case cases[] = {
      {"RandomBytes", write(std::string(8192, '\x5a'))},
      {"SqliteHeaderThenNoise",
       write(std::string("SQLite format 3\0", 16) + std::string(4000, '\x07'))},
      {"AnotherProgramsDatabase", database("CREATE TABLE photos(id INTEGER, path TEXT)")},
      {"ANewerStore", database("PRAGMA user_version=99")},
      {"Truncated", truncated},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    const std::string path = dir.File("lookups.sqlite3");
    c.make(path);
    TestClock clock;
    std::string warning;
    auto archive = OpenAt(path, clock, &warning);
    EXPECT_NE(warning.find("set aside"), std::string::npos) << warning;
    EXPECT_TRUE(archive->Keeps());
    archive->Keep(TestSite(), "GB50016", 1, Answer("GB 50016-2014"));
    EXPECT_TRUE(archive->FindFresh(TestSite(), "GB50016", 1, kWeek).has_value());
    int set_aside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File(""))) {
      set_aside += entry.path().filename().string().starts_with("lookups.sqlite3.corrupt-") &&
                   !entry.path().filename().string().ends_with("-wal") &&
                   !entry.path().filename().string().ends_with("-shm");
    }
    EXPECT_EQ(set_aside, 1);
  }
}

TEST(LookupArchive, AFolderThatTakesNoFileKeepsNothingAndSaysSoOnce) {
  test::TempDir dir;
  const std::string blocker = dir.Write("file", "x");
  TestClock clock;
  std::string warning;
  auto archive = OpenAt(platform::JoinPath(blocker, "lookups.sqlite3"), clock, &warning);
  EXPECT_NE(warning.find("not kept"), std::string::npos) << warning;
  EXPECT_FALSE(archive->Keeps());
  archive->Keep(TestSite(), "GB50016", 1, Answer("GB 50016-2014"));
  EXPECT_FALSE(archive->FindFresh(TestSite(), "GB50016", 1, kWeek).has_value());
  EXPECT_EQ(archive->TakeWarning(), "");
}

TEST(LookupArchive, TellsTheVerdictBeforeEachLookupOnce) {
  test::TempDir dir;
  TestClock clock;
  auto archive = OpenAt(dir.File("lookups.sqlite3"), clock);
  const Site site = TestSite();
  const VerdictSeen november{1, "GB 50016-2014", "", "2026-11-02 09:00:00"};
  const VerdictSeen december{2, "GB 50016-2024", "2027-03-01", "2026-12-08 10:00:00"};
  EXPECT_FALSE(archive->NoteVerdict(site, "GB50016-2014", november, false).has_value());
  EXPECT_EQ(archive->NoteVerdict(site, "GB50016-2014", december, false), november);
  // The December lookup answered again from the store: still November before it, kept once.
  EXPECT_EQ(archive->NoteVerdict(site, "GB50016-2014", december, true), november);
  EXPECT_EQ(archive->NoteVerdict(site, "GB50016-2014", december, true), november);
  // Two lookups read within one second are two.
  const VerdictSeen same_second{1, "GB 50016-2014", "", "2026-12-08 10:00:00"};
  EXPECT_EQ(archive->NoteVerdict(site, "GB50016-2014", same_second, false), december);
  // Another standard, another site: nothing before.
  EXPECT_FALSE(archive->NoteVerdict(site, "GB50016-2006", december, false).has_value());
  EXPECT_FALSE(
      archive->NoteVerdict(TestSite("http://127.0.0.1:2"), "GB50016-2014", december, false));
}

// Several connections (two runs of the program, or the window and the command line) keep and
// find at once: none of them ever meets a locked store.
TEST(LookupArchiveConcurrency, ConnectionsShareOneFile) {
  test::TempDir dir;
  const std::string path = dir.File("lookups.sqlite3");
  constexpr int kRuns = 4;
  constexpr int kLookups = 40;
  std::vector<std::thread> runs;
  std::atomic<int> found{0};
  std::vector<std::string> warnings(kRuns);
  for (int r = 0; r < kRuns; ++r) {
    runs.emplace_back([&, r] {
      TestClock clock;
      std::string warning;
      auto archive = LookupArchive::Open(path, warning, clock.Reader());
      for (int i = 0; i < kLookups; ++i) {
        const Text keyword = "K" + std::to_string(i);
        archive->Keep(TestSite(), keyword, 1, Answer("GB " + std::to_string(i) + "-2014"));
        found += archive->FindFresh(TestSite(), keyword, 1, kWeek).has_value() ? 1 : 0;
      }
      warnings[r] = warning + archive->TakeWarning();
    });
  }
  for (std::thread& run : runs) run.join();
  for (const std::string& warning : warnings) EXPECT_EQ(warning, "");
  EXPECT_EQ(found.load(), kRuns * kLookups);
  TestClock clock;
  EXPECT_EQ(OpenAt(path, clock)->History("K0").size(), static_cast<std::size_t>(kRuns));
}

}  // namespace
}  // namespace kelvaro
