// The platform's request object (libcurl's on Linux, WinHTTP's on Windows) and WebRequest
// on the wire, against the wire fixture's loopback servers. What only one object does is
// tested beside it (curl_request_object_test.cpp).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <iostream>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include "support/windows/wine.h"
#endif

#include "platform/web.h"
#include "support/named_case.h"
#include "support/wire_cases.h"
#include "support/wire_fixture.h"
#include "text/encoding.h"
#include "web/web_request.h"

namespace kelvaro {
namespace {

using test::RecordedRequest;
using test::WireFixture;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Starts a fixture server for `scenario`; fails the test when the fixture is missing.
#define START_SERVER(server, scenario)                          \
  WireFixture server;                                           \
  do {                                                          \
    const std::string unavailable = WireFixture::Unavailable(); \
    ASSERT_TRUE(unavailable.empty()) << unavailable;            \
    std::string error;                                          \
    ASSERT_TRUE(server.Start(scenario, error)) << error;        \
  } while (false)

std::vector<std::string> NamesWithoutTransport(const RecordedRequest& r) {
  std::vector<std::string> names;
  for (const std::string& name : r.HeaderNames()) {
    if (name != "Host" && name != "Connection") names.push_back(name);
  }
  return names;
}

class RequestObjectWire : public testing::TestWithParam<test::WireCase> {};

TEST_P(RequestObjectWire, Exchange) {
  const test::WireCase& c = GetParam();
  START_SERVER(server, c.scenario);
  test::RunWireCase(c, "http://" + server.HostPort(), [&server] { return server.Requests(); });
}

INSTANTIATE_TEST_SUITE_P(Cases, RequestObjectWire, testing::ValuesIn(test::WireCases()),
                         test::CaseName());

TEST(RequestObjectWebRequest, GetCarriesHostAndTheFourDefaultsOnly) {
  START_SERVER(server, "ok");
  EXPECT_EQ(WebExchange(server.Url("/a")).status, 200);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Header("Host"), server.HostPort());
  EXPECT_EQ(NamesWithoutTransport(requests[0]),
            (std::vector<std::string>{"Accept", "Referer", "Accept-Language", "User-Agent"}));
}

TEST(RequestObjectWebRequest, ConsecutiveCallsShareOneConnection) {
  START_SERVER(server, "ok");
  EXPECT_EQ(WebExchange(server.Url("/1")).status, 200);
  EXPECT_EQ(WebExchange(server.Url("/2")).status, 200);
  EXPECT_EQ(server.AcceptCount(), 1);
}

TEST(RequestObjectWebRequest, SilentServerTimesOut) {
  START_SERVER(server, "hang");
  int status = -1;
  WebRequestOptions options;
  options.timeout = 1;
  options.status = &status;
  const auto start = Clock::now();
  const Bytes body = WebRequest(server.Url("/"), options);
  const double elapsed = MillisecondsSince(start);
  EXPECT_TRUE(body.empty());
  EXPECT_EQ(status, 0);
  EXPECT_GE(elapsed, 900.0);
  EXPECT_LT(elapsed, 5000.0);
  std::cout << "[          ] 1-s time-out returned after " << elapsed << " ms\n";
}

TEST(RequestObjectWebRequest, DefaultTimeoutAppliesWhenLowered) {
  START_SERVER(server, "hang");
  SetDefaultTimeoutMsForTesting(300);
  const auto start = Clock::now();
  const WebResponse response = WebExchange(server.Url("/"));
  const double elapsed = MillisecondsSince(start);
  SetDefaultTimeoutMsForTesting(15000);
  EXPECT_EQ(response.status, 0);
  EXPECT_LT(elapsed, 3000.0);
}

TEST(RequestObject, TricklingServerIsCutOffAtFourTimesTheTimeout) {
  START_SERVER(server, "trickle");
  RequestObjectHandle object = platform::MakeRequestObject();
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

TEST(RequestObjectWebRequest, RefusedPortGivesStatusZero) {
  ASSERT_TRUE(WireFixture::Unavailable().empty()) << WireFixture::Unavailable();
  const int port = WireFixture::RefusedPort();
  ASSERT_GT(port, 0);
  const WebResponse response = WebExchange("http://127.0.0.1:" + std::to_string(port) + "/");
  EXPECT_EQ(response.status, 0);
  EXPECT_TRUE(response.body.empty());
  EXPECT_EQ(response.headers, "");
  EXPECT_EQ(response.cookies, "");
}

TEST(RequestObjectWebRequest, HostileUrlReachesServerAsOneWellFormedRequest) {
  START_SERVER(server, "ok");
  const Text url = server.Url("/a b\r\nX-Injected: 1\nc") + Gbk(u8"标准");
  const std::string target = "/a%20b%0D%0AX-Injected:%201%0Ac%E6%A0%87%E5%87%86";
  EXPECT_EQ(WebExchange(url).status, 200);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request_line, "GET " + target + " HTTP/1.1");
  EXPECT_EQ(requests[0].Header("Referer"), server.Url(target));
  EXPECT_FALSE(requests[0].HasHeader("X-Injected"));
}

TEST(RequestObject, HeaderWithLineBreakIsRefusedAndNotSent) {
  START_SERVER(server, "ok");
  RequestObjectHandle object = platform::MakeRequestObject();
  ASSERT_TRUE(object->Open("GET", server.Url("/"), false));
  EXPECT_FALSE(object->SetRequestHeader("X-A", "1\r\nX-B: 2"));
  EXPECT_FALSE(object->SetRequestHeader("X-C", "1\nX-D: 2"));
  EXPECT_FALSE(object->SetRequestHeader("X-E", "1\rX-F: 2"));
  EXPECT_FALSE(object->SetRequestHeader("X-G", std::string("1\0X-H: 2", 8)));
  EXPECT_FALSE(object->SetRequestHeader("X\r\nG", "1"));
  EXPECT_FALSE(object->SetRequestHeader("", "1"));
  EXPECT_TRUE(object->SetRequestHeader("X-Ok", "1"));
  ASSERT_TRUE(object->Send(""));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(NamesWithoutTransport(requests[0]), (std::vector<std::string>{"X-Ok"}));
}

TEST(RequestObject, SendBeforeOpenFails) {
  RequestObjectHandle object = platform::MakeRequestObject();
  EXPECT_FALSE(object->SetRequestHeader("X-A", "1"));
  EXPECT_FALSE(object->Send(""));
  EXPECT_EQ(object->Status(), 0);
  EXPECT_FALSE(object->ResponseBody().has_value());
  EXPECT_EQ(object->GetAllResponseHeaders(), "");
  EXPECT_FALSE(object->Open("GET", "http://127.0.0.1/", true));
}

struct ErrorCase {
  const char* name;
  const char* scenario;  // "refused": a port where connecting is refused
  const char* error;     // what ErrorText says after the Send
};

KELVARO_PRINT_CASES_BY_NAME()

class RequestObjectError : public testing::TestWithParam<ErrorCase> {};

// Both platforms' objects say why in the same words: a row's reason reads the same.
TEST_P(RequestObjectError, ErrorTextSaysWhyThereWasNoAnswer) {
  const ErrorCase& c = GetParam();
  std::string url;
  WireFixture server;
  if (std::string(c.scenario) == "refused") {
    url = "http://127.0.0.1:" + std::to_string(WireFixture::RefusedPort()) + "/";
  } else {
    ASSERT_TRUE(WireFixture::Unavailable().empty()) << WireFixture::Unavailable();
    std::string error;
    ASSERT_TRUE(server.Start(c.scenario, error)) << error;
    url = server.Url("/");
  }
  RequestObjectHandle object = platform::MakeRequestObject();
  object->SetTimeouts(500, 500, 500, 500);
  ASSERT_TRUE(object->Open("GET", url, false));
  EXPECT_EQ(object->Send(""), std::string(c.error).empty());
  EXPECT_EQ(object->ErrorText(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestObjectError,
    testing::Values(ErrorCase{"Answered", "ok", ""},
                    ErrorCase{"Refused", "refused", "Couldn't connect to server"},
                    ErrorCase{"Silent", "hang", "Timeout was reached"},
                    ErrorCase{"OverTheCap", "huge-declared", "response too large"},
                    ErrorCase{"CutShort", "cut-body", "Transferred a partial file"}),
    test::CaseName());

// Starts a Send on its own thread against a server that never answers, and reports how
// long the Send took after `stop` ran on this thread.
double MillisecondsToEndStalledSend(const std::function<void(RequestObject&)>& stop) {
  WireFixture server;
  std::string error;
  EXPECT_TRUE(server.Start("hang", error)) << error;
  RequestObjectHandle object = platform::MakeRequestObject();
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
  EXPECT_EQ(object->ErrorText(), "aborted");
  return std::chrono::duration<double, std::milli>(ended - stopped).count();
}

TEST(RequestObjectConcurrency, AbortFromAnotherThreadEndsStalledSend) {
  ASSERT_TRUE(WireFixture::Unavailable().empty()) << WireFixture::Unavailable();
  const double ms = MillisecondsToEndStalledSend([](RequestObject& o) { o.Abort(); });
  EXPECT_LT(ms, 1000.0);
  std::cout << "[          ] Abort ended the exchange after " << ms << " ms\n";
}

TEST(RequestObjectConcurrency, AbortAllRequestsEndsStalledSend) {
  ASSERT_TRUE(WireFixture::Unavailable().empty()) << WireFixture::Unavailable();
  const double ms =
      MillisecondsToEndStalledSend([](RequestObject&) { platform::AbortAllRequests(); });
  EXPECT_LT(ms, 1000.0);
  std::cout << "[          ] AbortAllRequests ended the exchange after " << ms << " ms\n";
}

TEST(RequestObject, ObjectIsReusableAfterAbort) {
  START_SERVER(server, "ok");
  RequestObjectHandle object = platform::MakeRequestObject();
  object->Abort();
  ASSERT_TRUE(object->Open("GET", server.Url("/"), false));
  ASSERT_TRUE(object->Send(""));
  EXPECT_EQ(object->Status(), 200);
}

TEST(RequestObjectConcurrency, AbortAllWhileExchangesRun) {
  START_SERVER(server, "hang");
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

// An abort from another thread must never reach an object still being made or destroyed
// (under ThreadSanitizer this shows as a race on the object's fields).
TEST(RequestObjectConcurrency, AbortAllWhileObjectsAreMadeAndDropped) {
  std::atomic<bool> done{false};
  std::thread aborter([&] {
    while (!done.load()) platform::AbortAllRequests();
  });
  for (int i = 0; i < 2000; ++i) {
    RequestObjectHandle object = platform::MakeRequestObject();
    std::this_thread::yield();  // lets the aborter in while the object lives
  }
  done.store(true);
  aborter.join();
  // Objects made after the last abort still send.
  START_SERVER(server, "ok");
  RequestObjectHandle object = platform::MakeRequestObject();
  ASSERT_TRUE(object->Open("GET", server.Url("/"), false));
  ASSERT_TRUE(object->Send(""));
  EXPECT_EQ(object->Status(), 200);
}

TEST(RequestObjectConcurrency, ParallelExchangesEachGetTheirOwnAnswer) {
  START_SERVER(server, "echo-path");
  constexpr int kThreads = 8;
  constexpr int kRounds = 4;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        const std::string path = "/t" + std::to_string(t) + "/" + std::to_string(i);
        const Bytes body = WebRequest(server.Url(path));
        if (std::string(body.begin(), body.end()) != path) ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(server.Requests().size(), static_cast<std::size_t>(kThreads * kRounds));
}

std::string HttpsUrl(const WireFixture& server) {
  return "https://127.0.0.1:" + std::to_string(server.port()) + "/";
}

TEST(RequestObject, HttpsRefusedWhenCertificateErrorsAreNotIgnored) {
  START_SERVER(server, "tls");
  RequestObjectHandle object = platform::MakeRequestObject();
  ASSERT_TRUE(object->Open("GET", HttpsUrl(server), false));
  EXPECT_FALSE(object->Send(""));
  EXPECT_EQ(object->Status(), 0);
  EXPECT_FALSE(object->ResponseBody().has_value());
}

TEST(RequestObject, HttpsWithSelfSignedCertificateAnswersWhenErrorsAreIgnored) {
  START_SERVER(server, "tls");
  RequestObjectHandle object = platform::MakeRequestObject();
  ASSERT_TRUE(object->Open("GET", HttpsUrl(server), false));
  ASSERT_TRUE(object->SetOption(kOptionSslErrorIgnoreFlags, kIgnoreAllCertificateErrors));
  const bool sent = object->Send("");
#ifdef _WIN32
  if (!sent && test::RunningUnderWine()) {
    GTEST_SKIP() << "Wine 8's WinHTTP does not ignore certificate errors "
                    "(SECURITY_FLAG_IGNORE_*): the exchange fails as if they were not ignored";
  }
#endif
  ASSERT_TRUE(sent);
  EXPECT_EQ(object->Status(), 200);
  const std::optional<Bytes> body = object->ResponseBody();
  ASSERT_TRUE(body.has_value());
  EXPECT_EQ(std::string(body->begin(), body->end()), "secure");
}

}  // namespace
}  // namespace kelvaro
