// What only the libcurl request object does (its pool of handles, the exact default headers,
// bodies, memory), against servers this test starts on 127.0.0.1. What every platform's
// object does is in request_object_test.cpp.
#include "platform/posix/curl_request_object.h"

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "support/named_case.h"
#include "support/recording_server.h"
#include "support/tls_server.h"
#include "text/encoding.h"
#include "web/web_request.h"

namespace kelvaro {
namespace {

using test::RecordedRequest;
using test::RecordingServer;
using test::Reply;

constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
const std::vector<std::string> kDefaultHeaderNames = {"Host", "Accept", "Referer",
                                                      "Accept-Language", "User-Agent"};

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

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

TEST(CurlRequestObject, GbkHeaderValueGoesOutAsItsBytes) {
  RecordingServer server;
  RequestObjectHandle object = MakeCurlRequestObject();
  ASSERT_TRUE(object->Open("GET", server.Url("/"), false));
  ASSERT_TRUE(object->SetRequestHeader("X-Name", Gbk(u8"标准")));
  ASSERT_TRUE(object->Send(""));
  EXPECT_EQ(server.Requests()[0].Header("X-Name"), Gbk(u8"标准"));
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

KELVARO_PRINT_CASES_BY_NAME()

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
                         test::CaseName());

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

}  // namespace
}  // namespace kelvaro
