#include "site/lookup_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace kelvaro {
namespace {

StandardLookup Answer(int http_status, const Text& number) {
  StandardLookup lookup;
  lookup.http_status = http_status;
  lookup.record.number = number;
  lookup.record.status = number.empty() ? kRecordNotFound : kRecordCurrent;
  lookup.address = "http://a.example/s.jsp?keyword=GB50016&pageNum=1";
  lookup.read_at = "2026-12-08 22:00:13";
  if (http_status == 0) lookup.error = "Couldn't connect to server";
  return lookup;
}

TEST(MemoryLookupStore, AnswersWithWhatTheSiteSaidForThatKeyword) {
  MemoryLookupStore store;
  const Site site = SiteAt("http://a.example");
  EXPECT_FALSE(store.Find(site, "GB50016", 1).has_value());
  store.Keep(site, "GB50016", 1, Answer(200, "GB 50016-2014"));
  const std::optional<StandardLookup> found = store.Find(site, "GB50016", 1);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->record.number, "GB 50016-2014");
  EXPECT_EQ(found->read_at, "2026-12-08 22:00:13");
  EXPECT_EQ(found->address, Answer(200, "").address);
  // A page without the standard is an answer too.
  store.Keep(site, "GB99999", 1, Answer(200, ""));
  ASSERT_TRUE(store.Find(site, "GB99999", 1).has_value());
  EXPECT_EQ(store.Find(site, "GB99999", 1)->record.status, kRecordNotFound);
  // The first answer stands.
  store.Keep(site, "GB50016", 1, Answer(200, "GB 50016-2006"));
  EXPECT_EQ(store.Find(site, "GB50016", 1)->record.number, "GB 50016-2014");
}

TEST(MemoryLookupStore, NeverAnswersWithAFailure) {
  MemoryLookupStore store;
  const Site site = SiteAt("http://a.example");
  for (const int status : {0, 302, 404, 503}) {
    store.Keep(site, "GB50016", 1, Answer(status, "GB 50016-2014"));
    EXPECT_FALSE(store.Find(site, "GB50016", 1).has_value()) << status;
  }
  // A 200 page refusing the client, or of another kind, is a failure too.
  for (const PageKind kind : {PageKind::kRefused, PageKind::kUnrecognised}) {
    StandardLookup lookup = Answer(200, "");
    lookup.kind = kind;
    store.Keep(site, "GB50016", 1, lookup);
    EXPECT_FALSE(store.Find(site, "GB50016", 1).has_value());
  }
}

// Keyed by the site (its name and address), the keyword and the page: another site, the same
// site at another address, or another page of the keyword's hits, has said nothing yet.
TEST(MemoryLookupStore, KeysBySiteAndKeyword) {
  MemoryLookupStore store;
  const Site here = SiteAt("http://a.example");
  store.Keep(here, "GB50016", 1, Answer(200, "GB 50016-2014"));
  EXPECT_FALSE(store.Find(SiteAt("http://b.example"), "GB50016", 1).has_value());
  Site other_kind = here;
  other_kind.name = "other";
  EXPECT_FALSE(store.Find(other_kind, "GB50016", 1).has_value());
  EXPECT_FALSE(store.Find(here, "GB50017", 1).has_value());
  EXPECT_FALSE(store.Find(here, "gb50016", 1).has_value());
  EXPECT_FALSE(store.Find(here, "GB50016", 2).has_value());
  store.Keep(here, "GB50016", 2, Answer(200, "GB 50016-2006"));
  EXPECT_EQ(store.Find(here, "GB50016", 2)->record.number, "GB 50016-2006");
  EXPECT_EQ(store.Find(here, "GB50016", 1)->record.number, "GB 50016-2014");
  EXPECT_TRUE(store.Find(SiteAt("http://a.example/"), "GB50016", 1).has_value());
}

TEST(MemoryLookupStoreConcurrency, KeepsAndFindsFromManyThreads) {
  MemoryLookupStore store;
  const Site site = SiteAt("http://a.example");
  std::atomic<int> missing{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        const Text keyword = "GB" + std::to_string(t * 1000 + i);
        store.Keep(site, keyword, 1, Answer(200, keyword));
        const std::optional<StandardLookup> found = store.Find(site, keyword, 1);
        if (!found.has_value() || found->record.number != keyword) missing.fetch_add(1);
        (void)store.Find(site, "GB" + std::to_string(((t + 1) % 8) * 1000 + i), 1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(missing.load(), 0);
}

}  // namespace
}  // namespace kelvaro
