// The libcurl request object and WebRequest against servers this test starts on 127.0.0.1.
#include "platform/posix/curl_request_object.h"
#include "platform/platform.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <future>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "support/recording_server.h"
#include "support/tls_server.h"
#include "support/wire_cases.h"
#include "text/encoding.h"
#include "web/web_request.h"

namespace kelvaro {
namespace {

using test::RecordedRequest;
using test::RecordingServer;
using test::Reply;
using Clock = std::chrono::steady_clock;

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const std::vector<std::string> kDefaultHeaderNames = {"Host", "Accept", "Referer",
                                                      "Accept-Language", "User-Agent"};

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// A port on 127.0.0.1 where nothing listens.
int ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

TEST(CurlWebRequest, GetCarriesExactlyHostAndTheFourDefaults) {
  RecordingServer server;
  const std::string url = server.Url("/s.jsp?keyword=GB/T50001&pageNum=1");
  int status = 0;
  WebRequestOptions options;
  options.status = &status;
  EXPECT_EQ(AsString(WebRequest(url, options)), "ok");
  EXPECT_EQ(status, 200);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const RecordedRequest& r = requests[0];
  EXPECT_EQ(r.request_line, "GET /s.jsp?keyword=GB/T50001&pageNum=1 HTTP/1.1");
  EXPECT_EQ(r.HeaderNames(), kDefaultHeaderNames);
  EXPECT_EQ(r.Header("Host"), server.HostPort());
  EXPECT_EQ(r.Header("Accept"), "*/*");
  EXPECT_EQ(r.Header("Referer"), url);
  EXPECT_EQ(r.Header("Accept-Language"), "zh-cn");
  EXPECT_EQ(r.Header("User-Agent"), kUserAgent);
  EXPECT_TRUE(r.body.empty());
}

class CurlWire : public testing::TestWithParam<test::WireCase> {};

TEST_P(CurlWire, Exchange) {
  const test::WireCase& c = GetParam();
  RecordingServer server(
      [&c](const RecordedRequest& r) { return test::ScenarioReply(c.scenario, r); });
  test::RunWireCase(c, "http://" + server.HostPort(), [&server] { return server.Requests(); });
}

INSTANTIATE_TEST_SUITE_P(Cases, CurlWire, testing::ValuesIn(test::WireCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CurlWebRequest, BodyBytesWithZerosArriveWhole) {
  RecordingServer server;
  WebRequestOptions options;
  options.method = 3;
  options.body_text = "ignored";
  options.body_bytes = Bytes{'a', 0, 'b', 0xff};
  WebRequest(server.Url("/put"), options);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].request_line, "PUT /put HTTP/1.1");
  EXPECT_EQ(server.Requests()[0].body, std::string("a\0b\xff", 4));
}

TEST(CurlWebRequest, HeadGivesStatusAndHeadersWithoutBody) {
  RecordingServer server([](const RecordedRequest&) {
    Reply reply;
    reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n";
    return reply;
  });
  WebRequestOptions options;
  options.method = 2;
  WebResponse response = WebExchange(server.Url("/"), options);
  EXPECT_EQ(response.status, 200);
  EXPECT_TRUE(response.body.empty());
  EXPECT_EQ(response.headers, "Content-Length: 9");
  EXPECT_EQ(server.Requests()[0].request_line, "HEAD / HTTP/1.1");
}

TEST(CurlWebRequest, SelfSignedCertificateIsRefusedUnlessTheUserOptsOut) {
  test::TlsServer server([](const httplib::Request&, httplib::Response& res) {
    res.set_content("secure", "text/plain");
  });
  WebResponse refused = WebExchange(server.Url("/s.jsp"));
  EXPECT_EQ(refused.status, 0);
  EXPECT_TRUE(refused.body.empty());
  SetIgnoreCertificateErrors(true);
  WebResponse response = WebExchange(server.Url("/s.jsp"));
  SetIgnoreCertificateErrors(false);
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(AsString(response.body), "secure");
}

TEST(CurlRequestObject, HttpsRefusedWhenCertificateErrorsAreNotIgnored) {
  test::TlsServer server([](const httplib::Request&, httplib::Response& res) {
    res.set_content("secure", "text/plain");
  });
  RequestObjectHandle object = MakeCurlRequestObject();
  ASSERT_TRUE(object->Open("GET", server.Url("/"), false));
  EXPECT_FALSE(object->Send(""));
  EXPECT_EQ(object->Status(), 0);
  EXPECT_FALSE(object->ResponseBody().has_value());
}

TEST(CurlWebRequest, ConsecutiveCallsShareOneConnection) {
  RecordingServer server;
  EXPECT_EQ(AsString(WebRequest(server.Url("/1"))), "ok");
  EXPECT_EQ(AsString(WebRequest(server.Url("/2"))), "ok");
  EXPECT_EQ(server.AcceptCount(), 1);
  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[1].connection, 1);
  EXPECT_GE(IdleHandleCount(), 1);
}

TEST(CurlWebRequest, SilentServerTimesOut) {
  RecordingServer server([](const RecordedRequest&) { return Reply::Hang(); });
  int status = -1;
  WebRequestOptions options;
  options.timeout = 1;
  options.status = &status;
  const auto start = Clock::now();
  const Bytes body = WebRequest(server.Url("/"), options);
  const double elapsed = MillisecondsSince(start);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(status, 0);
  EXPECT_LT(elapsed, 5000.0);
  EXPECT_GE(elapsed, 900.0);
  std::cout << "[          ] 1-s time-out returned after " << elapsed << " ms\n";
}

TEST(CurlWebRequest, DefaultTimeoutAppliesWhenLowered) {
  RecordingServer server([](const RecordedRequest&) { return Reply::Hang(); });
  SetDefaultTimeoutMsForTesting(300);
  const auto start = Clock::now();
  WebResponse response = WebExchange(server.Url("/"));
  const double elapsed = MillisecondsSince(start);
  SetDefaultTimeoutMsForTesting(15000);
  EXPECT_EQ(response.status, 0);
  EXPECT_TRUE(response.body.empty());
  EXPECT_LT(elapsed, 3000.0);
}

TEST(CurlRequestObject, TricklingServerIsCutOffAtFourTimesTheTimeout) {
  RecordingServer server([](const RecordedRequest&) {
    Reply reply;
    reply.bytes = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n";
    reply.filler_bytes = 100000;
    reply.trickle_ms = 50;  // never stalls long enough for the stall check
    return reply;
  });
  RequestObjectHandle object = MakeCurlRequestObject();
  object->SetTimeouts(300, 300, 300, 300);
  ASSERT_TRUE(object->Open("GET", server.Url("/"), false));
  const auto start = Clock::now();
  EXPECT_FALSE(object->Send(""));
  const double elapsed = MillisecondsSince(start);
  EXPECT_GE(elapsed, 1000.0);
  EXPECT_LT(elapsed, 5000.0);
  EXPECT_EQ(object->Status(), 0);
  EXPECT_FALSE(object->ResponseBody().has_value());
}

TEST(CurlWebRequest, RefusedPortGivesStatusZero) {
  WebResponse response = WebExchange("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/");
  EXPECT_EQ(response.status, 0);
  EXPECT_TRUE(response.body.empty());
  EXPECT_EQ(response.headers, "");
  EXPECT_EQ(response.cookies, "");
}

TEST(CurlWebRequest, HostileUrlReachesServerAsOneWellFormedRequest) {
  RecordingServer server;
  const Text url = server.Url("/a b\r\nX-Injected: 1\nc") + Gbk(u8"标准");
  const std::string target = "/a%20b%0D%0AX-Injected:%201%0Ac%E6%A0%87%E5%87%86";
  EXPECT_EQ(AsString(WebRequest(url)), "ok");
  ASSERT_EQ(server.Requests().size(), 1u);
  const RecordedRequest r = server.Requests()[0];
  EXPECT_EQ(r.request_line, "GET " + target + " HTTP/1.1");
  EXPECT_EQ(r.HeaderNames(), kDefaultHeaderNames);
  EXPECT_EQ(r.Header("Referer"), server.Url(target));
}

TEST(CurlRequestObject, HeaderWithLineBreakIsRefusedAndNotSent) {
  RecordingServer server;
  RequestObjectHandle object = MakeCurlRequestObject();
  ASSERT_TRUE(object->Open("GET", server.Url("/"), false));
  EXPECT_FALSE(object->SetRequestHeader("X-A", "1\r\nX-B: 2"));
  EXPECT_FALSE(object->SetRequestHeader("X-C", "1\nX-D: 2"));
  EXPECT_FALSE(object->SetRequestHeader("X-E", "1\rX-F: 2"));
  EXPECT_FALSE(object->SetRequestHeader("X\r\nG", "1"));
  EXPECT_FALSE(object->SetRequestHeader("", "1"));
  EXPECT_TRUE(object->SetRequestHeader("X-Ok", "1"));
  ASSERT_TRUE(object->Send(""));
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].HeaderNames(), (std::vector<std::string>{"Host", "X-Ok"}));
}

TEST(CurlRequestObject, GbkHeaderValueGoesOutAsItsBytes) {
  RecordingServer server;
  RequestObjectHandle object = MakeCurlRequestObject();
  ASSERT_TRUE(object->Open("GET", server.Url("/"), false));
  ASSERT_TRUE(object->SetRequestHeader("X-Name", Gbk(u8"标准")));
  ASSERT_TRUE(object->Send(""));
  EXPECT_EQ(server.Requests()[0].Header("X-Name"), Gbk(u8"标准"));
}

TEST(CurlRequestObject, SendBeforeOpenFails) {
  RequestObjectHandle object = MakeCurlRequestObject();
  EXPECT_FALSE(object->SetRequestHeader("X-A", "1"));
  EXPECT_FALSE(object->Send(""));
  EXPECT_EQ(object->Status(), 0);
  EXPECT_FALSE(object->ResponseBody().has_value());
  EXPECT_EQ(object->GetAllResponseHeaders(), "");
  EXPECT_FALSE(object->Open("GET", "http://127.0.0.1/", true));
}

// Peak resident memory since the last reset, in bytes; -1 when the kernel lets us not reset it.
long ResetPeakResident() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return clear.good() ? 0 : -1;
}

long ResidentKb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  }
  return -1;
}

struct OversizeCase {
  const char* name;
  std::size_t size;
  bool declare_length;
};

void PrintTo(const OversizeCase& c, std::ostream* os) { *os << c.name; }

class CurlOversizeBody : public testing::TestWithParam<OversizeCase> {};

// Whatever the body's size, no more than the 32-MiB cap is ever held: the peak resident
// memory of the exchange stays far below a body of 256 MiB.
TEST_P(CurlOversizeBody, FailsWithBoundedMemory) {
  const OversizeCase c = GetParam();
  RecordingServer server([c](const RecordedRequest&) {
    Reply reply;
    reply.bytes = c.declare_length
                      ? "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(c.size) + "\r\n\r\n"
                      : "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
    reply.filler_bytes = c.size;
    reply.after = Reply::After::kClose;
    return reply;
  });
  const bool can_measure = ResetPeakResident() == 0;
  const long before_kb = ResidentKb("VmRSS");
  WebResponse response = WebExchange(server.Url("/big"));
  const long peak_kb = ResidentKb("VmHWM");
  EXPECT_TRUE(response.body.empty());
  EXPECT_EQ(response.status, 0);
  EXPECT_EQ(response.headers, "");
  if (can_measure && before_kb > 0 && peak_kb > 0) {
    const long grown_mib = (peak_kb - before_kb) / 1024;
    EXPECT_LT(grown_mib, 128) << "peak resident memory grew by " << grown_mib << " MiB";
    std::cout << "[          ] peak resident memory grew by " << grown_mib << " MiB\n";
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, CurlOversizeBody,
                         testing::Values(OversizeCase{"FortyMiBDeclared", 40u << 20, true},
                                         OversizeCase{"FortyMiBCloseDelimited", 40u << 20, false},
                                         OversizeCase{"QuarterGiBCloseDelimited", 256u << 20,
                                                      false}),
                         [](const auto& info) { return info.param.name; });

// Starts a Send on its own thread against a server that never answers, and reports how
// long the Send took after `stop` ran.
double MillisecondsToEndStalledSend(const std::function<void(RequestObject&)>& stop) {
  RecordingServer server([](const RecordedRequest&) { return Reply::Hang(); });
  RequestObjectHandle object = MakeCurlRequestObject();
  object->SetTimeouts(30000, 30000, 30000, 30000);
  EXPECT_TRUE(object->Open("GET", server.Url("/"), false));
  std::atomic<bool> sent{true};
  Clock::time_point ended;
  std::thread sender([&] {
    sent = object->Send("");
    ended = Clock::now();
  });
  EXPECT_TRUE(server.WaitForRequests(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto stopped = Clock::now();
  stop(*object);
  sender.join();
  EXPECT_FALSE(sent.load());
  EXPECT_EQ(object->Status(), 0);
  EXPECT_FALSE(object->ResponseBody().has_value());
  return std::chrono::duration<double, std::milli>(ended - stopped).count();
}

TEST(CurlRequestObjectConcurrency, AbortFromAnotherThreadEndsStalledSend) {
  const double ms = MillisecondsToEndStalledSend([](RequestObject& o) { o.Abort(); });
  EXPECT_LT(ms, 1000.0);
  std::cout << "[          ] Abort ended the exchange after " << ms << " ms\n";
}

TEST(CurlRequestObjectConcurrency, AbortAllRequestsEndsStalledSend) {
  const double ms =
      MillisecondsToEndStalledSend([](RequestObject&) { platform::AbortAllRequests(); });
  EXPECT_LT(ms, 1000.0);
  std::cout << "[          ] AbortAllRequests ended the exchange after " << ms << " ms\n";
}

TEST(CurlRequestObject, ObjectIsReusableAfterAbort) {
  RecordingServer server;
  RequestObjectHandle object = MakeCurlRequestObject();
  object->Abort();
  ASSERT_TRUE(object->Open("GET", server.Url("/"), false));
  ASSERT_TRUE(object->Send(""));
  EXPECT_EQ(object->Status(), 200);
}

TEST(HandlePoolConcurrency, ParallelExchangesEachGetTheirOwnHandle) {
  RecordingServer server([](const RecordedRequest& r) {
    return Reply::Http(200, r.request_line.substr(4, r.request_line.find(' ', 4) - 4));
  });
  constexpr int kThreads = 12;
  constexpr int kRounds = 5;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const std::string path = "/t" + std::to_string(t) + "/" + std::to_string(i);
        if (AsString(WebRequest(server.Url(path))) != path) ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(server.Requests().size(), static_cast<std::size_t>(kThreads * kRounds));
  EXPECT_LE(IdleHandleCount(), 8);
  EXPECT_GE(IdleHandleCount(), 1);
  // Idle handles keep their connections: far fewer connections than exchanges.
  EXPECT_LT(server.AcceptCount(), kThreads * kRounds);
}

TEST(HandlePoolConcurrency, AbortAllWhileExchangesRun) {
  RecordingServer server([](const RecordedRequest&) { return Reply::Hang(); });
  std::vector<std::future<WebResponse>> results;
  for (int i = 0; i < 4; ++i) {
    results.push_back(std::async(std::launch::async, [&] {
      WebRequestOptions options;
      options.timeout = 30;
      return WebExchange(server.Url("/"), options);
    }));
  }
  ASSERT_TRUE(server.WaitForRequests(4));
  const auto start = Clock::now();
  platform::AbortAllRequests();
  for (auto& result : results) {
    const WebResponse response = result.get();
    EXPECT_EQ(response.status, 0);
    EXPECT_TRUE(response.body.empty());
  }
  EXPECT_LT(MillisecondsSince(start), 2000.0);
}

}  // namespace
}  // namespace kelvaro
