#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "site/national_site.h"
#include "support/sample_site.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

using test::SampleSite;

// A bare client: one socket, requests written as given, answers read by Content-Length.
class RawConnection {
 public:
  explicit RawConnection(int port) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawConnection() { close(fd_); }
  bool connected() const { return connected_; }

  // Sends a GET for the target and returns the whole answer (empty on failure).
  std::string Get(const std::string& target) {
    return Send("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") ? ReadAnswer() : "";
  }
  bool Send(const std::string& bytes, int flags = 0) {
    return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | flags) ==
           static_cast<ssize_t>(bytes.size());
  }
  // True once the site has closed the connection; nothing is read.
  bool HungUpWithin(std::chrono::milliseconds wait) {
    pollfd pfd{fd_, POLLRDHUP, 0};
    return poll(&pfd, 1, static_cast<int>(wait.count())) > 0 &&
           (pfd.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
  }
  std::string ReadAnswer() {
    std::size_t head_end;
    while ((head_end = buffer_.find("\r\n\r\n")) == std::string::npos) {
      if (!ReadSome()) return "";
    }
    const std::string head = buffer_.substr(0, head_end + 4);
    const std::size_t at = head.find("Content-Length: ");
    if (at == std::string::npos) return "";
    const std::size_t length = std::stoul(head.substr(at + 16));
    while (buffer_.size() < head.size() + length) {
      if (!ReadSome()) return "";
    }
    std::string answer = buffer_.substr(0, head.size() + length);
    buffer_.erase(0, head.size() + length);
    return answer;
  }

 private:
  bool ReadSome() {
    pollfd pfd{fd_, POLLIN, 0};
    if (poll(&pfd, 1, 20000) <= 0) return false;
    char chunk[4096];
    const ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(n));
    return true;
  }

  int fd_ = -1;
  bool connected_ = false;
  std::string buffer_;
};

int StatusOf(const std::string& answer) {
  return answer.size() > 12 ? std::stoi(answer.substr(9, 3)) : 0;
}

std::string BodyOf(const std::string& answer) {
  const std::size_t at = answer.find("\r\n\r\n");
  return at == std::string::npos ? "" : answer.substr(at + 4);
}

int Count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++n;
  }
  return n;
}

// The rows Kelvaro's first pages were drawn from, still served for the readers' tests.
TEST(SampleSiteServer, AnswersResultPagesInTheFormerLayout) {
  SampleSite site({"--today", "2026-12-01", "--shape", "old"});
  RawConnection c(site.port());
  ASSERT_TRUE(c.connected());
  const std::string answer = c.Get("/s.jsp?keyword=GBT50001&pageNum=1");
  EXPECT_EQ(StatusOf(answer), 200);
  EXPECT_NE(answer.find("Content-Type: text/html; charset=GBK\r\n"), std::string::npos);
  const std::string body = BodyOf(answer);
  EXPECT_EQ(Count(body, "<tr bgcolor="), 4);
  EXPECT_EQ(Count(body, kCurrentCell), 1);
  EXPECT_EQ(Count(body, Gbk(u8"作废")), 2);
  const CurrentStandardRecord r = ParseResultPage(body);
  EXPECT_EQ(r.number, "GB/T 50001-2017");
  EXPECT_EQ(r.title, Gbk(u8"房屋建筑制图统一标准"));
  EXPECT_EQ(r.release_date, "2017-09-27");
  EXPECT_EQ(r.department, Gbk(u8"住房和城乡建设部"));
  EXPECT_EQ(ReadResultRows(body)[2].effective_date, "2018-05-01");
  // Every row has its status cell; a successor's "+90" counts from --today.
  const std::vector<ListedStandard> rows =
      ReadResultRows(BodyOf(c.Get("/s.jsp?keyword=GBT50353&pageNum=1")));
  ASSERT_EQ(rows.size(), 3u);
  const Standing standings[] = {Standing::kWithdrawn, Standing::kCurrent, Standing::kComing};
  EXPECT_EQ(rows[0].detail.rfind("detail.jsp?id=", 0), 0u);
  for (std::size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i].standing, standings[i]) << i;
  EXPECT_EQ(rows[2].number, "GB/T 50353-2024");
  EXPECT_EQ(rows[2].effective_date, "2027-03-01");
}

// The page as the site writes it: the count line, a header row, five cells a row.
TEST(SampleSiteServer, AnswersResultPagesAsTheSiteWritesThem) {
  SampleSite site({"--today", "2026-12-01"});
  RawConnection c(site.port());
  const std::string answer = c.Get("/s.jsp?keyword=GBT50001&pageNum=1");
  EXPECT_EQ(StatusOf(answer), 200);
  const std::string body = BodyOf(answer);
  EXPECT_NE(body.find(Gbk(u8"共有4条符合状态条件的标准，共1页")), std::string::npos);
  EXPECT_NE(body.find(Gbk(u8"<td>标准编号</td><td>标准名称</td>")), std::string::npos);
  const PageRecords page = NationalSitePages().ReadPage(body);
  EXPECT_EQ(page.kind, PageKind::kResults);
  ASSERT_EQ(page.listed.size(), 4u);
  const ListedStandard& current = page.listed[2];
  EXPECT_EQ(current.number, "GB/T 50001-2017");
  EXPECT_EQ(current.title, Gbk(u8"房屋建筑制图统一标准"));
  EXPECT_EQ(current.department, Gbk(u8"住房和城乡建设部"));
  EXPECT_EQ(current.release_date, "2017-09-27");
  EXPECT_EQ(current.effective_date, "2018-05-01");
  EXPECT_EQ(current.standing, Standing::kCurrent);
  EXPECT_EQ(page.listed[3].standing, Standing::kComing);
  EXPECT_EQ(page.listed[3].effective_date, "2027-03-01");
  EXPECT_EQ(page.record.number, "GB/T 50001-2017");

  // Its detail page says what it replaced, the label in a <strong> or a <span class="sh14">.
  const std::string detail = BodyOf(c.Get(NationalSitePages().DetailAddress("", current.detail)));
  EXPECT_NE(detail.find(Gbk(u8"替代情况：</")), std::string::npos);
  EXPECT_NE(detail.find(Gbk(u8"代替GB/T 50001-2010")), std::string::npos);
  const std::string withdrawn =
      BodyOf(c.Get(NationalSitePages().DetailAddress("", page.listed[0].detail)));
  EXPECT_NE(withdrawn.find(Gbk(u8"被GB/T 50001-2010代替")), std::string::npos);
  const bool strong = detail.find("<strong>" + Gbk(u8"替代情况：")) != std::string::npos;
  const bool span =
      withdrawn.find("<span class=\"sh14\">" + Gbk(u8"替代情况：")) != std::string::npos;
  EXPECT_NE(strong, span) << "one of each";

  // No hit, and the fictional standard whose detail page is missing.
  const PageRecords none =
      NationalSitePages().ReadPage(BodyOf(c.Get("/s.jsp?keyword=ZZ99999&pageNum=1")));
  EXPECT_EQ(none.kind, PageKind::kNoHit);
  const std::vector<ListedStandard> missing =
      ReadResultRows(BodyOf(c.Get("/s.jsp?keyword=GBT99003&pageNum=1")));
  ASSERT_EQ(missing.size(), 1u);
  EXPECT_EQ(StatusOf(c.Get(missing[0].detail)), 404);
}

// "JGJ8" finds JGJ 8-…, JGJ 80-… and JGJ 81-…, the longer namesakes first: JGJ 8 itself only
// on the second page.
TEST(SampleSiteServer, ShortSerialsListAfterTheirLongerNamesakes) {
  SampleSite site;
  RawConnection c(site.port());
  const PageRecords first =
      NationalSitePages().ReadPage(BodyOf(c.Get("/s.jsp?keyword=JGJ8&pageNum=1")));
  ASSERT_EQ(first.listed.size(), 25u);
  EXPECT_EQ(first.page_count, 2);
  EXPECT_EQ(first.listed[0].number, "JGJ 80-91");
  EXPECT_EQ(first.record.number, "JGJ 80-2016");
  const PageRecords second =
      NationalSitePages().ReadPage(BodyOf(c.Get("/s.jsp?keyword=JGJ8&pageNum=2")));
  ASSERT_EQ(second.listed.size(), 3u);
  EXPECT_EQ(second.listed[2].number, "JGJ 8-2016");
  EXPECT_EQ(second.listed[2].standing, Standing::kCurrent);
}

TEST(SampleSiteServer, RefusesAfterTooManyRequestsInTheWindow) {
  SampleSite site({"--refuse-after", "2", "--refuse-window", "3600"});
  RawConnection c(site.port());
  for (int i = 0; i < 2; ++i) {
    const std::string answer = c.Get("/s.jsp?keyword=GB50016&pageNum=1");
    EXPECT_EQ(NationalSitePages().ReadPage(BodyOf(answer)).kind, PageKind::kResults) << i;
  }
  for (const std::string target : {"/s.jsp?keyword=GB50016&pageNum=1", "/detail/1.html"}) {
    const std::string answer = c.Get(target);
    EXPECT_EQ(StatusOf(answer), 200);
    EXPECT_EQ(NationalSitePages().ReadPage(BodyOf(answer)).kind, PageKind::kRefused) << target;
  }
}

TEST(SampleSiteServer, MatchesIgnoringCaseSpacesAndPunctuation) {
  SampleSite site;
  RawConnection c(site.port());
  for (const std::string keyword : {"GBT50001", "gbt50001", "GB/T%2050001", "GB%2FT50001"}) {
    const std::string body = BodyOf(c.Get("/s.jsp?keyword=" + keyword + "&pageNum=1"));
    EXPECT_EQ(ReadResultRows(body).size(), 4u) << keyword;
    EXPECT_EQ(NationalSitePages().ReadPage(body).record.number, "GB/T 50001-2017") << keyword;
  }
}

TEST(SampleSiteServer, NoMatchIsANormalPageWithoutRows) {
  SampleSite site;
  RawConnection c(site.port());
  const std::string answer = c.Get("/s.jsp?keyword=ZZ99999&pageNum=1");
  EXPECT_EQ(StatusOf(answer), 200);
  const std::string body = BodyOf(answer);
  EXPECT_EQ(Count(body, "bgcolor"), 0);
  EXPECT_NE(body.find("</html>"), std::string::npos);
  EXPECT_EQ(ParseResultPage(body).status, kRecordNotFound);
}

TEST(SampleSiteServer, OtherPathsAreNotFound) {
  SampleSite site;
  RawConnection c(site.port());
  EXPECT_EQ(StatusOf(c.Get("/")), 404);
  EXPECT_EQ(StatusOf(c.Get("/search.jsp?keyword=GB&pageNum=1")), 404);
  EXPECT_EQ(StatusOf(c.Get("/s.jsp?keyword=GB&pageNum=1")), 200);
}

TEST(SampleSiteServer, EscapedUtf8KeywordEqualsRawGbk) {
  SampleSite site;
  RawConnection c(site.port());
  // The page repeats the keyword in its search box, so equal pages mean equal keywords.
  const std::string raw = BodyOf(c.Get("/s.jsp?keyword=" + Gbk(u8"标准") + "&pageNum=1"));
  const std::string escaped = BodyOf(c.Get("/s.jsp?keyword=%E6%A0%87%E5%87%86&pageNum=1"));
  ASSERT_FALSE(raw.empty());
  EXPECT_EQ(raw, escaped);
  EXPECT_NE(raw.find(Gbk(u8"标准")), std::string::npos);
}

TEST(SampleSiteServer, PagesPastTheLastHaveNoRows) {
  SampleSite site;
  RawConnection c(site.port());
  for (const std::string page :
       {"100", "107374184", "2147483647", "99999999999", "99999999999999999999999"}) {
    const std::string answer = c.Get("/s.jsp?keyword=GB&pageNum=" + page);
    EXPECT_EQ(StatusOf(answer), 200) << page;
    EXPECT_EQ(Count(BodyOf(answer), "<tr bgcolor="), 0) << page;
  }
  EXPECT_EQ(ReadResultRows(BodyOf(c.Get("/s.jsp?keyword=GB&pageNum=1"))).size(), 25u);
}

TEST(SampleSiteServer, OneDeadlineForTheWholeRequestHead) {
  SampleSite site({"--head-timeout-ms", "300"});
  RawConnection c(site.port());
  // A byte every 50 ms: a time-out restarted by each byte would never end this connection.
  const std::string head =
      "GET /s.jsp?keyword=GB&pageNum=1 HTTP/1.1\r\nX-Slow: " + std::string(200, 'a');
  bool closed = false;
  for (std::size_t i = 0; i < head.size() && !closed; ++i) {
    closed = !c.Send(head.substr(i, 1)) || c.HungUpWithin(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(closed);
}

TEST(SampleSiteServer, ClientNotReadingItsAnswersLosesTheConnection) {
  SampleSite site({"--head-timeout-ms", "300"});
  RawConnection c(site.port());
  // Pipelined requests whose answers are never read, until the site stops taking them.
  const std::string request = "GET /s.jsp?keyword=&pageNum=1 HTTP/1.1\r\n\r\n";
  for (int i = 0; i < 1000000 && c.Send(request, MSG_DONTWAIT); ++i) {
  }
  EXPECT_TRUE(c.HungUpWithin(std::chrono::seconds(10)));
}

TEST(SampleSiteServer, SlowConnectionsMakeRoomForANewClient) {
  SampleSite site({"--max-connections", "4"});
  std::vector<std::unique_ptr<RawConnection>> slow;
  for (int i = 0; i < 8; ++i) {
    slow.push_back(std::make_unique<RawConnection>(site.port()));
    ASSERT_TRUE(slow.back()->Send("GET /s.jsp?keyword=GB"));
  }
  RawConnection c(site.port());
  EXPECT_EQ(StatusOf(c.Get("/s.jsp?keyword=GB&pageNum=1")), 200);
  EXPECT_TRUE(slow.front()->HungUpWithin(std::chrono::seconds(10)));
}

TEST(SampleSiteServer, WhenEveryConnectionIsAnsweredNewcomersAreRefused) {
  SampleSite site({"--max-connections", "1", "--delay-ms", "1000"});
  RawConnection answered(site.port());
  ASSERT_TRUE(answered.Send("GET /s.jsp?keyword=GB&pageNum=1 HTTP/1.1\r\n\r\n"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // until the site holds it
  EXPECT_EQ(RawConnection(site.port()).Get("/s.jsp?keyword=GB&pageNum=1"), "");
  EXPECT_EQ(StatusOf(answered.ReadAnswer()), 200);
}

TEST(SampleSiteServer, KeepsTheConnectionForManyRequests) {
  SampleSite site;
  RawConnection c(site.port());
  for (int i = 0; i < 20; ++i) {
    const std::string answer = c.Get("/s.jsp?keyword=GB50011&pageNum=1");
    ASSERT_EQ(StatusOf(answer), 200) << "request " << i;
    EXPECT_NE(answer.find("Connection: keep-alive"), std::string::npos);
  }
}

TEST(SampleSiteServer, FailEveryNthRequest) {
  SampleSite site({"--fail-every", "3"});
  RawConnection c(site.port());
  std::vector<int> statuses;
  for (int i = 0; i < 6; ++i) statuses.push_back(StatusOf(c.Get("/s.jsp?keyword=GB&pageNum=1")));
  EXPECT_EQ(statuses, (std::vector<int>{200, 200, 503, 200, 200, 503}));
}

TEST(SampleSiteServer, RateLimitAnswersBusy) {
  SampleSite site({"--rate-limit", "1"});
  RawConnection c(site.port());
  int busy = 0;
  for (int i = 0; i < 6; ++i) {
    const std::string answer = c.Get("/s.jsp?keyword=GB&pageNum=1");
    if (answer.find("busy") != std::string::npos) {
      EXPECT_EQ(StatusOf(answer), 503);
      EXPECT_EQ(ParseResultPage(BodyOf(answer)).status, kRecordNotFound);
      ++busy;
    }
  }
  // Six quick requests span at most a few seconds with one allowed in each.
  EXPECT_GE(busy, 3);
}

TEST(SampleSiteServer, ConnectDelayHoldsTheFirstAnswerOfEachConnection) {
  SampleSite site({"--connect-delay-ms", "1500"});
  for (int connection = 0; connection < 2; ++connection) {
    RawConnection c(site.port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(StatusOf(c.Get("/s.jsp?keyword=GB&pageNum=1")), 200);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
  }
}

TEST(SampleSiteServer, DelayHoldsEveryAnswer) {
  SampleSite site({"--delay-ms", "300"});
  RawConnection c(site.port());
  for (int i = 0; i < 3; ++i) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(StatusOf(c.Get("/s.jsp?keyword=GB&pageNum=1")), 200);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
  }
}

TEST(SampleSiteServer, StopsOnRequestAndFreesThePort) {
  SampleSite site({"--delay-ms", "60000"});
  const int port = site.port();
  std::thread waiting([port] { RawConnection(port).Get("/s.jsp?keyword=GB&pageNum=1"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  site.Stop();  // must not wait for the minute-long delay
  waiting.join();
  EXPECT_FALSE(RawConnection(port).connected());
}

TEST(SampleSiteConcurrency, ManyConnectionsAtOnce) {
  SampleSite site;
  std::atomic<int> good{0};
  std::vector<std::thread> clients;
  for (int t = 0; t < 48; ++t) {
    clients.emplace_back([&] {
      RawConnection c(site.port());
      for (int i = 0; i < 3; ++i) {
        if (StatusOf(c.Get("/s.jsp?keyword=GBT50001&pageNum=1")) == 200) ++good;
      }
    });
  }
  for (std::thread& client : clients) client.join();
  EXPECT_EQ(good.load(), 48 * 3);
}

}  // namespace
}  // namespace kelvaro
