// kelvaro-sample-site: an offline stand-in for the standards search site. It serves
// GBK result pages for /s.jsp?keyword=K&pageNum=N and detail pages for /detail/ID.html from a
// small table of sample standards, with knobs to make it slow, flaky, busy or refusing, so the tool
// can be tried and tested without the internet.
//
// It has its own socket loop: the cpp-httplib in Debian 12 (0.11) times out each read on its
// own, with no deadline for a whole request, and serves from a fixed pool of threads, so a few
// slow clients or long --delay-ms answers would hold every other client back.
#include <arpa/inet.h>
#include <fcntl.h>
#include <iconv.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
  int port = 8765;
  std::string bind = "127.0.0.1";
  int delay_ms = 0;
  int connect_delay_ms = 0;
  int fail_every = 0;
  std::string fail_keyword;  // its searches answer 503, whatever else was asked before
  int rate_limit = 0;
  bool log = false;
  std::string data;
  int head_timeout_ms = 60000;
  int max_connections = 1024;
  std::chrono::sys_days today{};  // what "+N" dates in the data count from
  bool old_shape = false;         // --shape old: the rows Kelvaro's first pages were drawn from
  int refuse_after = 0;           // requests answered within the window before refusing
  int refuse_window = 60;         // seconds
};

struct Standard {
  std::string number;  // GBK, as the site writes it
  std::string title;
  std::string release_date;
  std::string department;
  std::string status;
  std::string effective_date;  // 实施日期; empty when the data gives none
  std::string replacement;     // 替代情况: statements separated by ";"; may be empty
  bool detail_page = true;     // false: its detail page answers 404
  std::string key;             // number without spaces and punctuation, ASCII upper-cased
  std::size_t serial_length;   // of the key before the year: longer namesakes list first
  int id = 0;                  // its detail page is /detail/ID.html
};

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = 1024 * 1024;
constexpr int kOldRowsPerPage = 20;
constexpr int kRowsPerPage = 25;

// What the acceptor needs to know of a connection when the site is full.
struct Connection {
  bool waiting = true;  // for a request, as opposed to answering one
  Clock::time_point since = Clock::now();
  bool evicted = false;  // shut down to make room; its thread has yet to end
};

// GBK spellings of the page's fixed Chinese texts (converted once at start).
struct PageTexts {
  std::string number, title, release_date, department, effective_date, current, coming, site_name,
      search, results, index, info, state, none, busy, unavailable, not_found, page_of, records,
      count_open, count_middle, count_close, number_head, title_head, department_head,
      effective_head, next_page, english_title, replacement, refused, refused_title, detail_title,
      number_label, title_label;
};

Options g_options;
std::vector<Standard> g_standards;
PageTexts g_texts;

std::atomic<bool> g_stopping{false};
std::atomic<long> g_request_count{0};
std::atomic<int> g_in_flight{0};
std::mutex g_mutex;  // guards everything below
std::condition_variable g_changed;
std::map<int, Connection> g_connections;  // by socket
int g_evicted = 0;
long g_rate_second = -1;
int g_rate_count = 0;
std::mutex g_log_mutex;
std::deque<Clock::time_point> g_answered;  // guarded by g_mutex: answers within the window

[[noreturn]] void Fail(const std::string& message) {
  std::cerr << "kelvaro-sample-site: " << message << "\n";
  std::exit(2);
}

// Converts between encodings; false when the input is not valid in `from`.
bool Convert(const char* to, const char* from, const std::string& in, std::string& out) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  out.clear();
  std::string input = in;
  char* src = input.data();
  std::size_t src_left = input.size();
  char buffer[4096];
  bool ok = true;
  while (src_left > 0) {
    char* dst = buffer;
    std::size_t dst_left = sizeof buffer;
    const std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer, dst - buffer);
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
  }
  iconv_close(cd);
  return ok;
}

std::string ToGbk(const std::string& utf8) {
  std::string out;
  if (!Convert("GBK", "UTF-8", utf8, out)) Fail("text not convertible to GBK: " + utf8);
  return out;
}

bool IsValidUtf8(const std::string& s, bool& has_non_ascii) {
  has_non_ascii = false;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    int extra;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
    } else {
      return false;
    }
    if (i + extra >= s.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    has_non_ascii = true;
    i += extra + 1;
  }
  return true;
}

// The match key: spaces (ASCII and full-width) and ASCII punctuation dropped, ASCII letters
// upper-cased; two-byte characters kept whole.
std::string MatchKey(const std::string& text) {
  std::string key;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      if (i + 1 < text.size() && !(c == 0xA1 && static_cast<unsigned char>(text[i + 1]) == 0xA1)) {
        key.append(text, i, 2);
      }
      i += 2;
      continue;
    }
    if (std::isalnum(c)) key.push_back(static_cast<char>(std::toupper(c)));
    ++i;
  }
  return key;
}

std::string ExecutableDir() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string p(path, n);
  const std::size_t slash = p.rfind('/');
  return slash == std::string::npos ? "." : p.substr(0, slash);
}

// --data FILE; else standards.tsv beside the executable (build tree); else the installed copy.
std::string DataFile(const std::string& given) {
  if (!given.empty()) return given;
  const std::string dir = ExecutableDir();
  for (const std::string& f : {dir + "/standards.tsv", dir + "/../share/kelvaro/standards.tsv"}) {
    if (access(f.c_str(), R_OK) == 0) return f;
  }
  Fail("no standards.tsv beside " + dir + " nor in " + dir +
       "/../share/kelvaro (give --data FILE)");
}

std::string DateText(std::chrono::sys_days day) {
  const std::chrono::year_month_day date(day);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

// "YYYY-MM-DD"; false for anything else or a day that does not exist.
bool ParseDate(const std::string& text, std::chrono::sys_days& day) {
  int y = 0;
  unsigned m = 0, d = 0;
  char end = 0;
  if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2u-%2u%c", &y, &m, &d, &end) != 3) {
    return false;
  }
  const std::chrono::year_month_day date{std::chrono::year(y), std::chrono::month(m),
                                         std::chrono::day(d)};
  if (!date.ok()) return false;
  day = std::chrono::sys_days(date);
  return true;
}

std::chrono::sys_days LocalToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::chrono::sys_days(std::chrono::year_month_day{std::chrono::year(local.tm_year + 1900),
                                                           std::chrono::month(local.tm_mon + 1),
                                                           std::chrono::day(local.tm_mday)});
}

// A date of the data: as written, or "+N" for N days after today, so that a standard coming
// into force stays in the future whenever the site runs.
std::string DataDate(const std::string& text) {
  if (text.size() < 2 || text[0] != '+') return text;
  return DateText(g_options.today + std::chrono::days(std::atoi(text.c_str() + 1)));
}

void LoadStandards(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) Fail("cannot read " + file);
  std::string line;
  int line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> cols;
    std::stringstream ss(line);
    std::string col;
    while (std::getline(ss, col, '\t')) cols.push_back(col);
    if (cols.size() < 5 || cols.size() > 7) {
      Fail(file + ":" + std::to_string(line_number) + ": expected 5 to 7 columns");
    }
    Standard s;
    s.number = ToGbk(cols[0]);
    s.title = ToGbk(cols[1]);
    s.release_date = ToGbk(cols[2]);
    s.department = ToGbk(cols[3]);
    s.status = ToGbk(cols[4]);
    if (cols.size() >= 6) s.effective_date = ToGbk(DataDate(cols[5]));
    if (cols.size() == 7 && cols[6] == "NO-DETAIL") {
      s.detail_page = false;
    } else if (cols.size() == 7) {
      s.replacement = ToGbk(cols[6]);
    }
    s.key = MatchKey(s.number);
    const std::size_t dash = s.number.rfind('-');
    s.serial_length = MatchKey(s.number.substr(0, dash)).size();
    s.id = static_cast<int>(g_standards.size()) + 1;
    g_standards.push_back(std::move(s));
  }
}

void InitTexts() {
  g_texts.number = ToGbk("编号：");
  g_texts.title = ToGbk("标题：");
  g_texts.release_date = ToGbk("发布日期：");
  g_texts.department = ToGbk("发布部门：");
  g_texts.effective_date = ToGbk("实施日期：");
  g_texts.current = ToGbk("现行");
  g_texts.coming = ToGbk("即将实施");
  g_texts.site_name = ToGbk("标准信息检索（离线样例）");
  g_texts.search = ToGbk("检索");
  g_texts.results = ToGbk("检索结果");
  g_texts.index = ToGbk("序号");
  g_texts.info = ToGbk("标准信息");
  g_texts.state = ToGbk("状态");
  g_texts.none = ToGbk("没有找到符合条件的标准。");
  g_texts.busy = ToGbk("服务器忙，请稍后再试。");
  g_texts.unavailable = ToGbk("服务暂时不可用。");
  g_texts.not_found = ToGbk("页面不存在。");
  g_texts.page_of = ToGbk("页");
  g_texts.records = ToGbk("条记录");
  g_texts.count_open = ToGbk("共有");
  g_texts.count_middle = ToGbk("条符合状态条件的标准，共");
  g_texts.count_close = ToGbk("页");
  g_texts.number_head = ToGbk("标准编号");
  g_texts.title_head = ToGbk("标准名称");
  g_texts.department_head = ToGbk("发布部门");
  g_texts.effective_head = ToGbk("实施日期");
  g_texts.next_page = ToGbk("[下一页]");
  g_texts.english_title = ToGbk("英文标题：");
  g_texts.replacement = ToGbk("替代情况：");
  g_texts.refused = ToGbk("无权访问！您的访问过于频繁，请稍后再试。");
  g_texts.refused_title = ToGbk("提示");
  g_texts.detail_title = ToGbk("标准详细信息");
  g_texts.number_label = ToGbk("标准号：");
  g_texts.title_label = ToGbk("中文标准名称：");
}

std::string HtmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string PageHead(const std::string& keyword) {
  return "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=GBK\">\r\n"
         "<title>" +
         g_texts.site_name +
         "</title>\r\n</head>\r\n<body>\r\n"
         "<div class=\"top\"><h1>" +
         g_texts.site_name +
         "</h1>\r\n"
         "<form action=\"s.jsp\" method=\"get\"><input type=\"text\" name=\"keyword\" value=\"" +
         HtmlEscape(keyword) +
         "\"><input type=\"hidden\" name=\"pageNum\" value=\"1\">"
         "<input type=\"submit\" value=\"" +
         g_texts.search + "\"></form></div>\r\n";
}

std::string PageFoot() {
  return "<div class=\"foot\">sample data; titles and dates illustrative</div>\r\n"
         "</body>\r\n</html>\r\n";
}

std::string MessagePage(const std::string& message) {
  return PageHead("") + "<div class=\"message\">" + message + "</div>\r\n" + PageFoot();
}

std::string OldResultPage(const std::string& keyword, const std::vector<const Standard*>& hits,
                          long long page_number) {
  const int total = static_cast<int>(hits.size());
  const int pages = total == 0 ? 1 : (total + kOldRowsPerPage - 1) / kOldRowsPerPage;
  // Any page past the last is a page without rows, so the row index stays small.
  const int first =
      page_number <= pages ? static_cast<int>(page_number - 1) * kOldRowsPerPage : total;
  std::string page = PageHead(keyword);
  page += "<div class=\"count\">" + g_texts.results + " " + std::to_string(total) + " " +
          g_texts.records + "</div>\r\n";
  if (total == 0) {
    page += "<div class=\"message\">" + g_texts.none + "</div>\r\n";
  } else {
    page += "<table class=\"list\" width=\"100%\" border=\"0\">\r\n<tr class=\"head\"><td>" +
            g_texts.index + "</td><td>" + g_texts.info + "</td><td>" + g_texts.state +
            "</td></tr>\r\n";
    for (int i = first; i < total && i < first + kOldRowsPerPage; ++i) {
      const Standard& s = *hits[i];
      // Black for a standard in force, blue for one coming, red for one withdrawn.
      const char* colour = s.status == g_texts.current  ? "#000000"
                           : s.status == g_texts.coming ? "#0000FF"
                                                        : "#FF0000";
      const std::string effective =
          s.effective_date.empty()
              ? std::string()
              : g_texts.effective_date + HtmlEscape(s.effective_date) + "&#10;";
      page += std::string("<tr bgcolor=\"") + (i % 2 == 0 ? "#FFFFFF" : "#F3F7FB") + "\">";
      page += "<td>" + std::to_string(i + 1) + "</td>";
      page += "<td><a href=\"detail.jsp?id=" + std::to_string(s.id) + "\" title=\"" +
              g_texts.number + HtmlEscape(s.number) + "&#10;" + g_texts.title +
              HtmlEscape(s.title) + "&#10;" + g_texts.release_date + HtmlEscape(s.release_date) +
              "&#10;" + g_texts.department + HtmlEscape(s.department) + "&#10;" + effective +
              "\">" + HtmlEscape(s.number) + " " + HtmlEscape(s.title) + "</a></td>";
      page += std::string("<td ><font color=\"") + colour + "\">" + s.status + "</font></td>";
      page += "</tr>\r\n";
    }
    page += "</table>\r\n";
  }
  page += "<div class=\"pager\">" + std::to_string(page_number) + "/" + std::to_string(pages) +
          " " + g_texts.page_of + "</div>\r\n";
  return page + PageFoot();
}

// Black for a standard in force, blue for one coming, red for one withdrawn.
const char* StatusColour(const Standard& s) {
  return s.status == g_texts.current  ? "#000000"
         : s.status == g_texts.coming ? "#0000FF"
                                      : "#FF0000";
}

std::string BlackCell(const std::string& text, const char* align = nullptr) {
  return std::string("<td") + (align == nullptr ? " " : std::string(" align=\"") + align + "\"") +
         "><font color=\"#000000\">" + text + "</font></td>";
}

// The page as the site writes it: a count line, a header row, then five cells a row, the
// number a link to its detail page and the row's fields again in its title attribute.
std::string NewResultPage(const std::string& keyword, const std::vector<const Standard*>& hits,
                          long long page_number) {
  const int total = static_cast<int>(hits.size());
  std::string page = PageHead(keyword);
  if (total == 0) {
    page += "<div class=\"message\">" + g_texts.none + "</div>\r\n";
    return page + PageFoot();
  }
  const int pages = (total + kRowsPerPage - 1) / kRowsPerPage;
  const int first = page_number <= pages ? static_cast<int>(page_number - 1) * kRowsPerPage : total;
  page += "<span class=\"hei14\">" + g_texts.count_open + std::to_string(total) +
          g_texts.count_middle + std::to_string(pages) + g_texts.count_close + "</span>\r\n";
  if (first < total) {
    page +=
        "<table width=\"100%\" border=\"0\" cellpadding=\"3\" cellspacing=\"1\" "
        "bgcolor=\"#CCCCCC\">\r\n<tr bgcolor=\"#E6E6E6\"><td>" +
        g_texts.number_head + "</td><td>" + g_texts.title_head + "</td><td>" +
        g_texts.department_head + "</td><td>" + g_texts.effective_head + "</td><td>" +
        g_texts.state + "</td></tr>\r\n";
    for (int i = first; i < total && i < first + kRowsPerPage; ++i) {
      const Standard& s = *hits[i];
      const std::string separator = "&#xA;";
      page += std::string("<tr bgcolor=\"") + (i % 2 == 0 ? "#FFFFFF" : "#F3F7FB") + "\" title=\"" +
              g_texts.number + HtmlEscape(s.number) + " " + separator + g_texts.title +
              HtmlEscape(s.title) + separator + g_texts.english_title + separator +
              g_texts.department + HtmlEscape(s.department) + separator + g_texts.release_date +
              HtmlEscape(s.release_date) + separator + g_texts.release_date +
              HtmlEscape(s.effective_date) + "\">\r\n";
      page += "<td align=\"left\"><a href=\"/detail/" + std::to_string(s.id) +
              ".html\" target=\"_blank\"><font color=\"#0000FF\">" + HtmlEscape(s.number) +
              "</font></a></td>\r\n";
      page += BlackCell(HtmlEscape(s.title)) + "\r\n";
      page += BlackCell(HtmlEscape(s.department), "center") + "\r\n";
      page += BlackCell(HtmlEscape(s.effective_date)) + "\r\n";
      page += std::string("<td ><font color=\"") + StatusColour(s) + "\">" + s.status +
              "</font></td>\r\n</tr>\r\n";
    }
    page += "</table>\r\n";
  }
  if (page_number < pages) {
    page += "<a href=\"s.jsp?keyword=" + HtmlEscape(keyword) +
            "&amp;pageNum=" + std::to_string(page_number + 1) + "\">" + g_texts.next_page +
            "</a>\r\n";
  }
  return page + PageFoot();
}

// Every standard whose number begins with the keyword (spaces and punctuation aside), the
// longer namesakes first ("JGJ8": JGJ 80-…, JGJ 81-… before JGJ 8-…), else in the data's order.
std::vector<const Standard*> Hits(const std::string& keyword) {
  const std::string key = MatchKey(keyword);
  std::vector<const Standard*> hits;
  for (const Standard& s : g_standards) {
    if (s.key.compare(0, key.size(), key) == 0) hits.push_back(&s);
  }
  std::stable_sort(hits.begin(), hits.end(), [](const Standard* a, const Standard* b) {
    return a->serial_length > b->serial_length;
  });
  return hits;
}

std::string ResultPage(const std::string& keyword, long long page_number) {
  const std::vector<const Standard*> hits = Hits(keyword);
  return g_options.old_shape ? OldResultPage(keyword, hits, page_number)
                             : NewResultPage(keyword, hits, page_number);
}

// A standard's detail page: its number, its title and 替代情况, the label in a <strong> or a
// <span class="sh14"> (both are seen), the statements after it.
std::string DetailPage(const Standard& s) {
  const std::string label = s.id % 2 == 0
                                ? "<strong>" + g_texts.replacement + "</strong>"
                                : "<span class=\"sh14\">" + g_texts.replacement + "</span>";
  return "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=GBK\">\r\n<title>" +
         g_texts.detail_title +
         "</title>\r\n</head>\r\n<body>\r\n<table class=\"detail\">\r\n"
         "<tr><td><strong>" +
         g_texts.number_label + "</strong>" + HtmlEscape(s.number) +
         "</td></tr>\r\n<tr><td><strong>" + g_texts.title_label + "</strong>" +
         HtmlEscape(s.title) + "</td></tr>\r\n<tr><td>" + label + HtmlEscape(s.replacement) +
         "</td></tr>\r\n</table>\r\n" + PageFoot();
}

std::string RefusalPage() {
  return "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=GBK\">\r\n<title>" +
         g_texts.refused_title + "</title>\r\n</head>\r\n<body>\r\n<div class=\"message\">" +
         g_texts.refused + "</div>\r\n</body>\r\n</html>\r\n";
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2])));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

// Keyword as the site sees it: raw GBK or ASCII, or percent-escaped UTF-8 turned into GBK.
std::string DecodeKeyword(const std::string& raw) {
  std::string bytes = PercentDecode(raw);
  bool non_ascii = false;
  if (IsValidUtf8(bytes, non_ascii) && non_ascii) {
    std::string gbk;
    if (Convert("GBK", "UTF-8", bytes, gbk)) return gbk;
  }
  return bytes;
}

std::string QueryValue(const std::string& query, const std::string& name) {
  // The keyword runs up to "&pageNum=" so that a keyword holding "&" arrives whole.
  std::size_t start;
  if (query.compare(0, name.size() + 1, name + "=") == 0) {
    start = name.size() + 1;
  } else {
    const std::size_t at = query.find("&" + name + "=");
    if (at == std::string::npos) return "";
    start = at + name.size() + 2;
  }
  std::size_t end = name == "keyword" ? query.find("&pageNum=", start) : std::string::npos;
  if (end == std::string::npos) end = query.find('&', start);
  if (end == std::string::npos) end = query.size();
  return query.substr(start, end - start);
}

struct Response {
  int status = 200;
  std::string reason = "OK";
  std::string body;
};

// Sleeps, waking early when the site stops.
void Pause(int ms) {
  if (ms <= 0) return;
  std::unique_lock<std::mutex> lock(g_mutex);
  g_changed.wait_for(lock, std::chrono::milliseconds(ms), [] { return g_stopping.load(); });
}

// --refuse-after N --refuse-window S: once N requests were answered within the last S seconds,
// a request gets the site's refusal (status 200, "无权访问") and is not counted.
bool Refused() {
  if (g_options.refuse_after <= 0) return false;
  const auto now = Clock::now();
  std::lock_guard<std::mutex> lock(g_mutex);
  while (!g_answered.empty() &&
         now - g_answered.front() >= std::chrono::seconds(g_options.refuse_window)) {
    g_answered.pop_front();
  }
  if (static_cast<int>(g_answered.size()) >= g_options.refuse_after) return true;
  g_answered.push_back(now);
  return false;
}

bool OverRateLimit() {
  if (g_options.rate_limit <= 0) return false;
  const long second =
      std::chrono::duration_cast<std::chrono::seconds>(Clock::now().time_since_epoch()).count();
  std::lock_guard<std::mutex> lock(g_mutex);
  if (second != g_rate_second) {
    g_rate_second = second;
    g_rate_count = 0;
  }
  return ++g_rate_count > g_options.rate_limit;
}

Response Answer(const std::string& method, const std::string& target, long request_number) {
  Response r;
  if (g_options.fail_every > 0 && request_number % g_options.fail_every == 0) {
    r.status = 503;
    r.reason = "Service Unavailable";
    r.body = MessagePage(g_texts.unavailable);
    return r;
  }
  if (OverRateLimit()) {
    r.status = 503;
    r.reason = "Service Unavailable";
    r.body = MessagePage(g_texts.busy + " (busy)");
    return r;
  }
  const std::size_t question = target.find('?');
  const std::string path = target.substr(0, question);
  const std::string query = question == std::string::npos ? "" : target.substr(question + 1);
  const bool detail = path.rfind("/detail/", 0) == 0;
  if (path == "/s.jsp" && !g_options.fail_keyword.empty() &&
      DecodeKeyword(QueryValue(query, "keyword")) == g_options.fail_keyword) {
    r.status = 503;
    r.reason = "Service Unavailable";
    r.body = MessagePage(g_texts.unavailable);
    return r;
  }
  if ((path == "/s.jsp" || detail) && Refused()) {
    r.body = RefusalPage();
    return r;
  }
  if (detail) {
    for (const Standard& s : g_standards) {
      if (path != "/detail/" + std::to_string(s.id) + ".html" || !s.detail_page) continue;
      r.body = DetailPage(s);
      return r;
    }
  }
  if (path != "/s.jsp") {
    r.status = 404;
    r.reason = "Not Found";
    r.body = MessagePage(g_texts.not_found);
    return r;
  }
  if (method != "GET" && method != "HEAD") {
    r.status = 405;
    r.reason = "Method Not Allowed";
    r.body = MessagePage(g_texts.not_found);
    return r;
  }
  // Leading digits count; too many saturate (strtoll), less than 1 or none is page 1.
  const long long page_number =
      std::max(1LL, std::strtoll(QueryValue(query, "pageNum").c_str(), nullptr, 10));
  r.body = ResultPage(DecodeKeyword(QueryValue(query, "keyword")), page_number);
  return r;
}

// Waits until `fd` is ready for `events`; false at the deadline, on a stop or an error.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  while (!g_stopping) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd pfd{fd, events, 0};
    const int ready = poll(&pfd, 1, static_cast<int>(std::min<long long>(left, 200)));
    if (ready < 0 && errno != EINTR) return false;
    if (ready > 0) return true;
  }
  return false;
}

// A client that does not take its answer by the deadline loses the connection.
bool SendAll(int fd, const std::string& data, Clock::time_point deadline) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    const ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(fd, POLLOUT, deadline)) return false;
      continue;
    }
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

void Log(const std::string& line) {
  std::lock_guard<std::mutex> lock(g_log_mutex);
  std::cerr << line << std::endl;
}

std::string Printable(const std::string& s) {
  std::string out;
  char hex[8];
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(static_cast<char>(c));
    } else {
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Reads more bytes into `buffer`; false on close, error, stop or at the deadline.
bool ReadMore(int fd, std::string& buffer, Clock::time_point deadline) {
  while (WaitFor(fd, POLLIN, deadline)) {
    char chunk[8192];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
  }
  return false;
}

std::chrono::milliseconds HeadTimeout() {
  return std::chrono::milliseconds(g_options.head_timeout_ms);
}

void SetWaiting(int fd, bool waiting) {
  std::lock_guard<std::mutex> lock(g_mutex);
  Connection& c = g_connections.at(fd);
  c.waiting = waiting;
  c.since = Clock::now();
}

void ServeConnection(int fd) {
  std::string buffer;
  bool first = true;
  while (!g_stopping) {
    // One deadline for the whole request, so a client trickling bytes cannot hold the
    // connection; it also ends an idle keep-alive connection.
    SetWaiting(fd, true);
    const auto deadline = Clock::now() + HeadTimeout();
    std::size_t header_end;
    while ((header_end = buffer.find("\r\n\r\n")) == std::string::npos) {
      if (buffer.size() > kMaxHeaderBytes || !ReadMore(fd, buffer, deadline)) return;
    }
    const std::string head = buffer.substr(0, header_end);
    buffer.erase(0, header_end + 4);

    std::istringstream lines(head);
    std::string request_line;
    std::getline(lines, request_line);
    if (!request_line.empty() && request_line.back() == '\r') request_line.pop_back();
    std::istringstream parts(request_line);
    std::string method, target, version;
    parts >> method >> target >> version;
    bool keep_alive = version == "HTTP/1.1";
    std::size_t content_length = 0;
    bool bad = method.empty() || target.empty() || version.rfind("HTTP/1.", 0) != 0;
    std::string header;
    while (std::getline(lines, header)) {
      if (!header.empty() && header.back() == '\r') header.pop_back();
      const std::size_t colon = header.find(':');
      if (colon == std::string::npos) continue;
      const std::string name = Lower(header.substr(0, colon));
      std::string value = header.substr(colon + 1);
      value.erase(0, value.find_first_not_of(" \t"));
      if (name == "content-length") {
        content_length = static_cast<std::size_t>(std::strtoull(value.c_str(), nullptr, 10));
      } else if (name == "transfer-encoding") {
        bad = true;  // request bodies are not expected here
      } else if (name == "connection") {
        const std::string v = Lower(value);
        if (v.find("close") != std::string::npos) keep_alive = false;
        if (v.find("keep-alive") != std::string::npos) keep_alive = true;
      }
    }
    if (content_length > kMaxBodyBytes) bad = true;
    while (!bad && buffer.size() < content_length) {
      if (!ReadMore(fd, buffer, deadline)) return;
    }
    if (!bad) buffer.erase(0, content_length);
    SetWaiting(fd, false);

    const long number = ++g_request_count;
    const int in_flight = ++g_in_flight;
    if (first) Pause(g_options.connect_delay_ms);
    first = false;
    Pause(g_options.delay_ms);
    Response r;
    if (bad) {
      r.status = 400;
      r.reason = "Bad Request";
      r.body = MessagePage("Bad Request");
      keep_alive = false;
    } else {
      r = Answer(method, target, number);
    }
    std::string out =
        "HTTP/1.1 " + std::to_string(r.status) + " " + r.reason + "\r\n" +
        "Content-Type: text/html; charset=GBK\r\n" +
        "Content-Length: " + std::to_string(r.body.size()) + "\r\n" +
        (keep_alive ? "Connection: keep-alive\r\nKeep-Alive: timeout=" +
                          std::to_string((g_options.head_timeout_ms + 999) / 1000) + "\r\n"
                    : std::string("Connection: close\r\n")) +
        "\r\n";
    if (method != "HEAD") out += r.body;
    const bool sent = !g_stopping && SendAll(fd, out, Clock::now() + HeadTimeout());
    if (g_options.log) {
      Log("#" + std::to_string(number) + " " + Printable(method) + " " + Printable(target) + " " +
          std::to_string(r.status) + " in-flight=" + std::to_string(in_flight));
    }
    --g_in_flight;
    if (!sent || !keep_alive) return;
  }
}

void ConnectionThread(int fd) {
  ServeConnection(fd);
  shutdown(fd, SHUT_WR);
  std::lock_guard<std::mutex> lock(g_mutex);
  const auto c = g_connections.find(fd);
  if (c->second.evicted) --g_evicted;
  g_connections.erase(c);
  close(fd);
  g_changed.notify_all();
}

// The site is full: closes the connection that has waited longest for a request (idle, or
// trickling its head) so that such connections cannot shut newcomers out. Connections being
// answered are kept; false when every connection is. The caller holds g_mutex.
bool MakeRoom() {
  auto oldest = g_connections.end();
  for (auto c = g_connections.begin(); c != g_connections.end(); ++c) {
    if (c->second.waiting && !c->second.evicted &&
        (oldest == g_connections.end() || c->second.since < oldest->second.since)) {
      oldest = c;
    }
  }
  if (oldest == g_connections.end()) return false;
  oldest->second.evicted = true;
  ++g_evicted;
  shutdown(oldest->first, SHUT_RDWR);
  return true;
}

void Admit(int fd) {
  std::lock_guard<std::mutex> lock(g_mutex);
  const int open = static_cast<int>(g_connections.size()) - g_evicted;
  if (open >= g_options.max_connections && !MakeRoom()) {
    close(fd);
    return;
  }
  g_connections.emplace(fd, Connection{});
  try {
    std::thread(ConnectionThread, fd).detach();
  } catch (const std::system_error&) {
    g_connections.erase(fd);
    close(fd);
  }
}

bool ParseInt(const char* text, int& value, long minimum = 0) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < minimum || v > 1000000000) return false;
  value = static_cast<int>(v);
  return true;
}

void Usage() {
  std::cerr << "usage: kelvaro-sample-site [--port N] [--bind ADDR] [--delay-ms N]\n"
               "         [--connect-delay-ms N] [--fail-every N] [--fail-keyword K]\n"
               "         [--rate-limit R] [--log]\n"
               "         [--data FILE] [--head-timeout-ms N] [--max-connections N]\n"
               "         [--today YYYY-MM-DD] [--shape new|old]\n"
               "         [--refuse-after N [--refuse-window SECONDS]]\n";
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  o.today = LocalToday();
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto number = [&](int& field, long minimum = 0) {
      if (i + 1 >= argc || !ParseInt(argv[i + 1], field, minimum)) {
        Usage();
        Fail("bad value for " + arg);
      }
      ++i;
    };
    if (arg == "--port") {
      number(o.port);
      if (o.port > 65535) Fail("bad port");
    } else if (arg == "--bind" && i + 1 < argc) {
      o.bind = argv[++i];
    } else if (arg == "--delay-ms") {
      number(o.delay_ms);
    } else if (arg == "--connect-delay-ms") {
      number(o.connect_delay_ms);
    } else if (arg == "--fail-every") {
      number(o.fail_every);
    } else if (arg == "--fail-keyword" && i + 1 < argc) {
      o.fail_keyword = argv[++i];
    } else if (arg == "--rate-limit") {
      number(o.rate_limit);
    } else if (arg == "--head-timeout-ms") {
      number(o.head_timeout_ms, 1);
    } else if (arg == "--max-connections") {
      number(o.max_connections, 1);
    } else if (arg == "--refuse-after") {
      number(o.refuse_after);
    } else if (arg == "--refuse-window") {
      number(o.refuse_window, 1);
    } else if (arg == "--shape" && i + 1 < argc) {
      const std::string shape = argv[++i];
      if (shape != "new" && shape != "old") Fail("bad value for --shape: give new or old");
      o.old_shape = shape == "old";
    } else if (arg == "--log") {
      o.log = true;
    } else if (arg == "--data" && i + 1 < argc) {
      o.data = argv[++i];
    } else if (arg == "--today" && i + 1 < argc) {
      if (!ParseDate(argv[++i], o.today)) Fail("bad date for --today: give YYYY-MM-DD");
    } else if (arg == "--help" || arg == "-h") {
      Usage();
      std::exit(0);
    } else {
      Usage();
      Fail("unknown option " + arg);
    }
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  g_options = ParseOptions(argc, argv);
  InitTexts();
  LoadStandards(DataFile(g_options.data));

  // Signals are taken by sigwait on the main thread; every other thread blocks them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) Fail("socket failed");
  const int one = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(g_options.port));
  if (inet_pton(AF_INET, g_options.bind.c_str(), &address.sin_addr) != 1) {
    Fail("bad bind address " + g_options.bind);
  }
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Fail("cannot bind " + g_options.bind + ":" + std::to_string(g_options.port) + ": " +
         std::strerror(errno));
  }
  if (listen(listener, 1024) != 0) Fail("listen failed");
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  const int port = ntohs(address.sin_port);
  std::printf("%d\n", port);
  std::fflush(stdout);
  std::cerr << "kelvaro-sample-site: " << g_standards.size() << " sample standards on http://"
            << g_options.bind << ":" << port << "/s.jsp?keyword=...&pageNum=1" << std::endl;

  // The acceptor also watches a pipe that the stop writes to, so it ends at once.
  int wake[2];
  if (pipe2(wake, O_CLOEXEC) != 0) Fail("pipe failed");
  std::thread acceptor([listener, &wake] {
    while (!g_stopping) {
      pollfd pfds[2] = {{listener, POLLIN, 0}, {wake[0], POLLIN, 0}};
      if (poll(pfds, 2, 1000) <= 0 || (pfds[1].revents & POLLIN) != 0) continue;
      const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      const int nodelay = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &nodelay, sizeof nodelay);
      Admit(fd);
    }
  });

  int received = 0;
  sigwait(&signals, &received);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_stopping = true;
    for (const auto& c : g_connections) shutdown(c.first, SHUT_RDWR);
    g_changed.notify_all();
  }
  const char byte = 1;
  // Should the write fail, the acceptor still sees the stop flag within a second.
  [[maybe_unused]] const ssize_t woken = write(wake[1], &byte, 1);
  acceptor.join();
  close(listener);
  std::unique_lock<std::mutex> lock(g_mutex);
  g_changed.wait_for(lock, std::chrono::seconds(3), [] { return g_connections.empty(); });
  return 0;
}
