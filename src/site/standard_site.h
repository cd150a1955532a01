// A standards search site as a value: its name, its address prefix and the reader of its
// pages. Sites() lists the sites Kelvaro knows; a front end picks one, at the prefix it
// resolves (ResolveSite), and hands it to what looks standards up. A second site is one more
// page reader and a line in Sites().
#pragma once

#include <string>
#include <vector>

#include "site/detail_page.h"
#include "text/text.h"

namespace kelvaro {

struct CurrentStandardRecord {
  Text number;
  Text title;
  Text release_date;
  Text department;
  Text status;  // kRecordCurrent, or kRecordNotFound when the page has no current row
  bool operator==(const CurrentStandardRecord&) const = default;
};

extern const Text kRecordCurrent;   // 现行
extern const Text kRecordNotFound;  // 未找到现行

// Where a listed standard stands, as its status word says: read where the page is read.
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
  Text detail;  // the number cell's link as written (relative or absolute); empty without one
  bool operator==(const ListedStandard&) const = default;
};

// What a page is: a list of results (or a page of them), the site's "nothing found", the
// site refusing the client (无权访问), or anything else the site answered with.
enum class PageKind { kResults, kNoHit, kRefused, kUnrecognised };

// A current record as the row it came from, for a page read without rows.
ListedStandard AsListed(const CurrentStandardRecord& record);

// A result page read: its current standard, and every row in page order.
struct PageRecords {
  CurrentStandardRecord record;
  std::vector<ListedStandard> listed;
  PageKind kind = PageKind::kResults;
  int page_count = 1;  // 共M页; 1 when the page does not say
  Text page_title;     // kUnrecognised: the page's <title>, to say what it was
};

// What a site said for a keyword, and when: the page's records and how the exchange ended.
struct StandardLookup {
  CurrentStandardRecord record;
  std::vector<ListedStandard> listed;
  PageKind kind = PageKind::kResults;  // meaningful when http_status is 200
  int page_count = 1;
  Text page_title;
  std::string site;     // the name of the site asked
  Text address;         // the search address requested
  int http_status = 0;  // 0: no response
  Text error;           // why there was no response (the request object's words)
  std::string read_at;  // local time the answer came, "2026-12-08 22:00:13"
  bool from_store = false;  // answered from what an earlier run kept, without a request
};

// How one kind of site is asked and read.
class SitePages {
 public:
  virtual ~SitePages() = default;
  // The address that asks the site at `prefix` (scheme and host) for page `page` (from 1) of
  // the hits for `keyword`.
  virtual Text SearchAddress(const Text& prefix, const Text& keyword, int page = 1) const = 0;
  // A result page, cut at its first zero byte, read into its records in linear time.
  virtual PageRecords ReadPage(const Text& body_text) const = 0;
  // The absolute address of a standard's detail page from its row's link (`detail`, as the
  // page writes it) on the site at `prefix`; empty when there is no link.
  virtual Text DetailAddress(const Text& prefix, const Text& detail) const = 0;
};

struct Site {
  std::string name;  // short, ASCII, unique among Sites()
  Text prefix;       // scheme and host ("http://host:port"), no trailing "/", no user part
  const SitePages* pages = nullptr;  // lives as long as the program
  // The address that asks this site for page `page` of the hits for `keyword`.
  Text SearchAddress(const Text& keyword, int page = 1) const {
    return pages->SearchAddress(prefix, keyword, page);
  }
};

// Every site Kelvaro knows, each at the address built in.
const std::vector<Site>& Sites();
// `site` at `prefix`, cleaned: a trailing "/" and any user name and password dropped.
Site SiteAt(const Text& prefix, Site site = Sites().front());
// The site a front end asks: the first of Sites(), at `given` (--site) when it is not empty,
// else at KELVARO_SITE when set, else at the address the user's settings file keeps
// (platform::SettingsFilePath(), or `settings_file`), else at the address built in.
Site ResolveSite(const Text& given = {});
Site ResolveSite(const Text& given, const std::string& settings_file);

// One request for page `page` of the keyword's hits (empty keyword included), then the page
// read.
StandardLookup FetchCurrentStandard(const Site& site, const Text& keyword, int page = 1);

// What a standard's detail page said, and when.
struct DetailLookup {
  DetailRecords records;
  Text address;         // the detail page's address
  int http_status = 0;  // 0: no response
  Text error;           // why there was no response (the request object's words)
  std::string read_at;  // local time the answer came
  // Answered 200 with the label read: what the page says of its successor can be believed.
  bool Read() const { return http_status == 200 && records.labelled; }
};

// One request for the detail page at `address` (absolute), as a search is asked, then the
// page read.
DetailLookup FetchDetailPage(const Text& address);

}  // namespace kelvaro
