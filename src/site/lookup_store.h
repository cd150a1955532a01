// What sites said for keywords, and when. A lookup asks the store before it asks the site and
// hands it every answer; what a store keeps, for how long, and what it may answer with is its
// own affair, so a store that outlives the program takes this one's place unseen by the site
// and judging code.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

#include "site/standard_site.h"
#include "text/text.h"

namespace kelvaro {

// A standard's verdict as one lookup found it: the verdict (the row model's number for it),
// the standard shown as the latest and its 实施 date, and when the page was read.
struct VerdictSeen {
  int verdict = 0;
  Text latest_number;
  Text effective_date;
  std::string looked_up_at;
  bool operator==(const VerdictSeen&) const = default;
};

class LookupStore {
 public:
  virtual ~LookupStore() = default;
  // What `site` said on page `page` of the hits for `keyword`, when the store may answer for
  // the site: never a failure.
  virtual std::optional<StandardLookup> Find(const Site& site, const Text& keyword, int page) = 0;
  // What `site` said on that page just now, however the exchange ended.
  virtual void Keep(const Site& site, const Text& keyword, int page,
                    const StandardLookup& lookup) = 0;
  // The same for a detail page, by its address.
  virtual std::optional<DetailLookup> FindDetail(const Text& address) = 0;
  virtual void KeepDetail(const DetailLookup& lookup) = 0;
  // The verdict `standard` (its cited number, cleaned) had at `site` before `now`, when one
  // was kept; `now` is kept in its turn unless it was judged from a kept page (`again`), whose
  // verdict was kept when the page was asked. A store that outlives nothing has none.
  virtual std::optional<VerdictSeen> NoteVerdict(const Site& site, const Text& standard,
                                                 const VerdictSeen& now, bool again) {
    (void)site, (void)standard, (void)now, (void)again;
    return std::nullopt;
  }
};

// One batch's store: the result pages (and "nothing found") a site answered with 200, each
// page of a keyword's hits on its own, in memory while the batch lasts, so rows citing one
// standard are judged from one request. Failures are not kept, so they are asked again. Any
// thread.
class MemoryLookupStore final : public LookupStore {
 public:
  std::optional<StandardLookup> Find(const Site& site, const Text& keyword, int page) override;
  void Keep(const Site& site, const Text& keyword, int page, const StandardLookup& lookup) override;
  // Detail pages read whole (answered 200 and labelled).
  std::optional<DetailLookup> FindDetail(const Text& address) override;
  void KeepDetail(const DetailLookup& lookup) override;

 private:
  // The site's name and prefix, the keyword and the page.
  using Key = std::tuple<std::string, Text, Text, int>;
  std::mutex mutex_;
  std::map<Key, StandardLookup> pages_;
  std::map<Text, DetailLookup> details_;
};

}  // namespace kelvaro
