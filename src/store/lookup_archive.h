// Lookups remembered between runs: every answer a site gave (and every failure), kept in one
// SQLite file for a year, so a re-check asks only what has grown old, and a standard's past
// can be told. Nothing that goes wrong with the file fails a check: the archive then keeps
// nothing and says so once.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "site/lookup_store.h"
#include "site/standard_site.h"
#include "store/sqlite.h"
#include "text/text.h"

namespace kelvaro {

// Where the archive is: KELVARO_STORE when set (a path; "off" for none), else the user's
// data folder's kelvaro/lookups.sqlite3 (platform::DataFolder()); empty for none, as with
// `no_store` (--no-store).
std::string LookupArchivePath(bool no_store);

// One past lookup of a keyword, as `History` lists them.
struct PastLookup {
  std::string site;
  Text keyword;
  int page = 1;
  std::string read_at;  // local time the answer came
  int http_status = 0;
  Text error;
  PageKind kind = PageKind::kResults;
  CurrentStandardRecord record;
  std::vector<ListedStandard> listed;
};

class LookupArchive {
 public:
  using Clock = std::function<std::int64_t()>;  // seconds since 1970, UTC
  static constexpr int kSchemaVersion = 1;
  static constexpr std::int64_t kKeptSeconds = 366LL * 24 * 3600;

  // Opens the archive at `path`, made (with its folder) when missing. A file that is no
  // archive of ours or a damaged one is set aside as PATH.corrupt-YYYYMMDD and a new one
  // made; a folder that takes no file leaves the archive keeping nothing. `warning` says
  // either once (empty when all went well). Never null.
  static std::shared_ptr<LookupArchive> Open(const std::string& path, std::string& warning,
                                             Clock clock = {});
  // An archive that keeps nothing.
  static std::shared_ptr<LookupArchive> None();

  bool Keeps() const;
  const std::string& path() const { return path_; }

  // The latest answer (200, a page of results or "nothing found") for page `page` of
  // `keyword` at `site`, no older than `max_age`; never a failure. from_store set.
  std::optional<StandardLookup> FindFresh(const Site& site, const Text& keyword, int page,
                                          std::chrono::seconds max_age);
  // However the exchange ended.
  void Keep(const Site& site, const Text& keyword, int page, const StandardLookup& lookup);
  std::optional<DetailLookup> FindFreshDetail(const Text& address, std::chrono::seconds max_age);
  void KeepDetail(const DetailLookup& lookup);
  // The latest verdict kept for `standard` at `site` before `now`; then `now` is kept,
  // unless it is one kept before, judged `again` from a kept page (what came before it is then
  // the one before that).
  std::optional<VerdictSeen> NoteVerdict(const Site& site, const Text& standard,
                                         const VerdictSeen& now, bool again);
  // Every lookup kept for `keyword` (any site, any page), newest first.
  std::vector<PastLookup> History(const Text& keyword);
  // A warning met after opening (a write refused), once; empty when none.
  std::string TakeWarning();

 private:
  LookupArchive() = default;
  sql::Status Prepare(const std::string& path);
  void Failed(const sql::Error& error);

  std::mutex mutex_;
  sql::Database db_;
  std::string path_;
  Clock clock_;
  std::string warning_;
};

// A batch's store over the archive: what the batch was told stays in memory while it lasts
// (so one standard cited twice is asked once); what the archive holds younger than
// `max_age` is answered without a request (zero: never); every answer is archived.
class RememberingLookupStore final : public LookupStore {
 public:
  RememberingLookupStore(std::shared_ptr<LookupArchive> archive, std::chrono::seconds max_age)
      : archive_(std::move(archive)), max_age_(max_age) {}
  std::optional<StandardLookup> Find(const Site& site, const Text& keyword, int page) override;
  void Keep(const Site& site, const Text& keyword, int page, const StandardLookup& lookup) override;
  std::optional<DetailLookup> FindDetail(const Text& address) override;
  void KeepDetail(const DetailLookup& lookup) override;
  std::optional<VerdictSeen> NoteVerdict(const Site& site, const Text& standard,
                                         const VerdictSeen& now, bool again) override {
    return archive_->NoteVerdict(site, standard, now, again);
  }

 private:
  MemoryLookupStore batch_;
  std::shared_ptr<LookupArchive> archive_;
  std::chrono::seconds max_age_;
};

}  // namespace kelvaro
