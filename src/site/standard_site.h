// A standards search site: the address that asks it for a keyword, and its result page read
// into the current standard it lists and every standard it lists. Lookups ask the active site;
// a second site is one more implementation and a line in RegisteredSites.
#pragma once

#include <vector>

#include "text/text.h"

namespace kelvaro {

struct CurrentStandardRecord {
  Text number;
  Text title;
  Text release_date;
  Text department;
  Text status;  // kRecordCurrent, or kRecordNotFound when the page has no current row
};

extern const Text kRecordCurrent;   // 现行
extern const Text kRecordNotFound;  // 未找到现行

// Where a listed standard stands, as its status word says.
enum class Standing { kOther, kCurrent, kWithdrawn, kComing };

// One result row of a page, whatever its status.
struct ListedStandard {
  Text number;
  Text title;
  Text release_date;
  Text department;
  Text effective_date;  // the row's 实施日期; empty when it gives none
  Text status;          // the word of its status cell as written; empty without one
  Standing standing = Standing::kOther;
  bool operator==(const ListedStandard&) const = default;
};

// A result page read: its current standard, and every row in page order.
struct PageRecords {
  CurrentStandardRecord record;
  std::vector<ListedStandard> listed;
};

struct StandardLookup {
  CurrentStandardRecord record;
  std::vector<ListedStandard> listed;
  Text address;         // the search address requested
  int http_status = 0;  // 0: no response
  Text error;           // why there was no response (the request object's words)
};

class StandardSite {
 public:
  virtual ~StandardSite() = default;
  // Short, ASCII, unique among the registered sites.
  virtual const char* Name() const = 0;
  // The address that asks the site at `prefix` (scheme and host) for `keyword`.
  virtual Text SearchAddress(const Text& prefix, const Text& keyword) const = 0;
  // A result page, cut at its first zero byte, read into its records in linear time.
  virtual PageRecords ReadPage(const Text& body_text) const = 0;
};

const std::vector<const StandardSite*>& RegisteredSites();
// The site lookups ask: the first registered.
const StandardSite& ActiveSite();

// The site prefix: an override set by a front end, else KELVARO_SITE, else the build default;
// a trailing "/" and any user name and password dropped.
Text SitePrefix();
void SetSitePrefixOverride(const Text& prefix);  // empty clears it

// The active site's search address for `keyword`.
Text SearchAddress(const Text& keyword);
// One request for the keyword (empty keyword included), then the page read.
StandardLookup FetchCurrentStandard(const Text& keyword);
StandardLookup FetchCurrentStandard(const StandardSite& site, const Text& keyword);

}  // namespace kelvaro
