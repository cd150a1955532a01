// WebRequest driven against a recording request object: which members are called, in
// which order, with which arguments, and what comes back through the out-values.
#include "web/web_request.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/environment.h"
#include "support/fake_request_object.h"
#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

using test::FakeCall;
using test::FakeRequestObject;

constexpr const char* kUrl = "http://127.0.0.1:1/s.jsp?keyword=GB/T50001&pageNum=1";
constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

struct Exchange {
  std::shared_ptr<FakeRequestObject> object = std::make_shared<FakeRequestObject>();
  WebRequestOptions options;
  Exchange() { options.request_object = object; }
};

std::vector<FakeCall> HeaderCalls(const FakeRequestObject& object) {
  return object.CallsTo("SetRequestHeader");
}

FakeCall Header(const std::string& name, const std::string& value) {
  return {"SetRequestHeader", {name, value}};
}

TEST(WebRequest, EveryOptionOmittedMakesTheBrowserLikeGet) {
  Exchange e;
  e.object->response_body = Bytes{'h', 'i'};
  WebRequest(kUrl, e.options);
  const std::vector<FakeCall> expected = {
      {"SetTimeouts", {"15000", "15000", "15000", "15000"}},
      {"Open", {"GET", kUrl, "false"}},
      Header("Accept", "*/*"),
      Header("Referer", kUrl),
      Header("Accept-Language", "zh-cn"),
      Header("User-Agent", kUserAgent),
      {"Send", {""}},
      {"ResponseBody", {}},
      {"GetAllResponseHeaders", {}},
      {"Status", {}},
  };
  EXPECT_EQ(e.object->Calls(), expected);
}

TEST(WebRequest, HeaderVariableHoldsExactlyTheFourDefaultLines) {
  Exchange e;
  Text headers;
  e.options.request_headers = &headers;
  WebRequest(kUrl, e.options);
  EXPECT_EQ(headers, std::string("Accept: */*\r\nReferer: ") + kUrl +
                         "\r\nAccept-Language: zh-cn\r\nUser-Agent: " + kUserAgent);
}

TEST(WebRequest, ReturnsBodyAndFillsOutValues) {
  Exchange e;
  e.object->response_body = Bytes{'a', 0, 'b'};
  e.object->response_headers =
      "Content-Type: text/html\r\nSet-Cookie: sid=1; path=/\r\nSet-Cookie: u=2";
  e.object->status = 302;
  Text new_cookies = "stale";
  Text response_headers;
  int status = -7;
  e.options.new_cookies = &new_cookies;
  e.options.response_headers = &response_headers;
  e.options.status = &status;
  const Bytes body = WebRequest(kUrl, e.options);
  EXPECT_EQ(body, (Bytes{'a', 0, 'b'}));
  EXPECT_EQ(status, 302);
  EXPECT_EQ(response_headers, e.object->response_headers);
  EXPECT_EQ(new_cookies, "sid=1; u=2");
}

struct TimeoutCase {
  int timeout;
  std::vector<FakeCall> expected;  // the SetTimeouts calls
};

void PrintTo(const TimeoutCase& c, std::ostream* os) { *os << "timeout " << c.timeout; }

class WebRequestTimeout : public testing::TestWithParam<TimeoutCase> {};

TEST_P(WebRequestTimeout, SetsAllFourTimeouts) {
  Exchange e;
  e.options.timeout = GetParam().timeout;
  WebRequest(kUrl, e.options);
  EXPECT_EQ(e.object->CallsTo("SetTimeouts"), GetParam().expected);
  // The time-outs come before Open whenever they are set.
  EXPECT_EQ(e.object->Calls().front().member, GetParam().expected.empty() ? "Open" : "SetTimeouts");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebRequestTimeout,
    testing::Values(
        TimeoutCase{0, {{"SetTimeouts", {"15000", "15000", "15000", "15000"}}}},
        TimeoutCase{3, {{"SetTimeouts", {"3000", "3000", "3000", "3000"}}}},
        TimeoutCase{1, {{"SetTimeouts", {"1000", "1000", "1000", "1000"}}}}, TimeoutCase{-1, {}},
        TimeoutCase{-5, {{"SetTimeouts", {"15000", "15000", "15000", "15000"}}}},
        // Large values are clamped instead of overflowing into negatives.
        TimeoutCase{INT_MAX,
                    {{"SetTimeouts", {"2147483000", "2147483000", "2147483000", "2147483000"}}}}));

TEST(WebRequest, DefaultTimeoutCanBeLoweredForTests) {
  SetDefaultTimeoutMsForTesting(250);
  Exchange e;
  WebRequest(kUrl, e.options);
  SetDefaultTimeoutMsForTesting(15000);
  EXPECT_EQ(e.object->CallsTo("SetTimeouts"),
            (std::vector<FakeCall>{{"SetTimeouts", {"250", "250", "250", "250"}}}));
  EXPECT_EQ(DefaultTimeoutMs(), 15000);
}

struct ProxyCase {
  const char* name;
  Text proxy;
  Text user;
  Text password;
  int mode;
  std::vector<FakeCall> expected_proxy_calls;
  Text expected_authorization;  // empty: no Proxy-Authorization header
};

KELVARO_PRINT_CASES_BY_NAME()

class WebRequestProxy : public testing::TestWithParam<ProxyCase> {};

TEST_P(WebRequestProxy, SetsProxyAndCredentials) {
  const ProxyCase& c = GetParam();
  Exchange e;
  e.options.proxy = c.proxy;
  e.options.proxy_user = c.user;
  e.options.proxy_password = c.password;
  e.options.proxy_auth_mode = c.mode;
  WebRequest(kUrl, e.options);
  EXPECT_EQ(e.object->CallsTo("SetProxy"), c.expected_proxy_calls);
  const auto headers = HeaderCalls(*e.object);
  if (c.expected_authorization.empty()) {
    for (const FakeCall& call : headers) EXPECT_NE(call.args[0], "Proxy-Authorization");
  } else {
    ASSERT_FALSE(headers.empty());
    EXPECT_EQ(headers.front(), Header("Proxy-Authorization", c.expected_authorization));
  }
  // SetProxy comes before Open.
  const auto calls = e.object->Calls();
  if (!c.expected_proxy_calls.empty()) {
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[1].member, "SetProxy");
    EXPECT_EQ(calls[2].member, "Open");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebRequestProxy,
    testing::Values(
        ProxyCase{"UserAndPassword",
                  "127.0.0.1:3128",
                  "user",
                  "pass",
                  1,
                  {{"SetProxy", {"2", "127.0.0.1:3128"}}},
                  "Basic dXNlcjpwYXNz"},
        ProxyCase{"EmptyPasswordKeepsColon",
                  "p:1",
                  "user",
                  "",
                  1,
                  {{"SetProxy", {"2", "p:1"}}},
                  "Basic dXNlcjo="},
        ProxyCase{"EmptyUser", "p:1", "", "pass", 1, {{"SetProxy", {"2", "p:1"}}}, ""},
        ProxyCase{"ModeTwo", "p:1", "user", "pass", 2, {{"SetProxy", {"2", "p:1"}}}, ""},
        ProxyCase{"ModeZero", "p:1", "user", "pass", 0, {{"SetProxy", {"2", "p:1"}}}, ""},
        ProxyCase{"NoProxyNoCredentials", "", "user", "pass", 1, {}, ""}),
    test::CaseName());

TEST(WebRequest, ProxyAuthorizationThenCookieThenHeaderLines) {
  Exchange e;
  Text cookies = "a=1";
  e.options.proxy = "p:1";
  e.options.proxy_user = "u";
  e.options.cookies = &cookies;
  WebRequest(kUrl, e.options);
  const auto headers = HeaderCalls(*e.object);
  ASSERT_EQ(headers.size(), 6u);
  EXPECT_EQ(headers[0].args[0], "Proxy-Authorization");
  EXPECT_EQ(headers[1], Header("Cookie", "a=1"));
  EXPECT_EQ(headers[2].args[0], "Accept");
}

TEST(WebRequest, CookiesSuppliedEmptySendEmptyCookieHeader) {
  Exchange e;
  Text cookies;
  e.options.cookies = &cookies;
  WebRequest(kUrl, e.options);
  const auto headers = HeaderCalls(*e.object);
  ASSERT_FALSE(headers.empty());
  EXPECT_EQ(headers.front(), Header("Cookie", ""));
}

TEST(WebRequest, CookiesOmittedSendNoCookieHeaderAndDoNotMerge) {
  Exchange e;
  e.object->response_headers = "Set-Cookie: n=2";
  Text new_cookies;
  e.options.new_cookies = &new_cookies;
  e.options.merge_cookies = true;
  WebRequest(kUrl, e.options);
  for (const FakeCall& call : HeaderCalls(*e.object)) EXPECT_NE(call.args[0], "Cookie");
  EXPECT_EQ(new_cookies, "n=2");
}

TEST(WebRequest, NewCookiesMergeIntoSuppliedCookies) {
  Exchange e;
  e.object->response_headers = "Set-Cookie: b=3; path=/\r\nSet-Cookie: c=4";
  Text cookies = "a=1; b=2";
  Text new_cookies;
  e.options.cookies = &cookies;
  e.options.new_cookies = &new_cookies;
  WebRequest(kUrl, e.options);
  EXPECT_EQ(cookies, "b=3; c=4; a=1");
  EXPECT_EQ(new_cookies, "b=3; c=4; a=1");
}

TEST(WebRequest, MergeOffLeavesSuppliedCookiesAlone) {
  Exchange e;
  e.object->response_headers = "Set-Cookie: b=3";
  Text cookies = "a=1";
  Text new_cookies;
  e.options.cookies = &cookies;
  e.options.new_cookies = &new_cookies;
  e.options.merge_cookies = false;
  WebRequest(kUrl, e.options);
  EXPECT_EQ(cookies, "a=1");
  EXPECT_EQ(new_cookies, "b=3");
}

TEST(WebRequest, BodyBytesWinOverBodyText) {
  Exchange e;
  e.options.body_text = "text body";
  e.options.body_bytes = Bytes{'b', 0, 'y'};
  WebRequest(kUrl, e.options);
  EXPECT_TRUE(e.object->CallsTo("Send").empty());
  ASSERT_EQ(e.object->CallsTo("SendBytes").size(), 1u);
  EXPECT_EQ(e.object->sent_bytes(), (Bytes{'b', 0, 'y'}));
}

TEST(WebRequest, BodyTextSentWhenNoBytes) {
  Exchange e;
  e.options.body_text = "k=v";
  WebRequest(kUrl, e.options);
  EXPECT_EQ(e.object->CallsTo("Send"), (std::vector<FakeCall>{{"Send", {"k=v"}}}));
}

struct MethodCase {
  int code;
  const char* method;
  Text headers_in;
  bool expect_form_type;
};

void PrintTo(const MethodCase& c, std::ostream* os) {
  *os << "code " << c.code;
  if (!c.headers_in.empty()) *os << " with " << c.headers_in;
}

class WebRequestMethod : public testing::TestWithParam<MethodCase> {};

TEST_P(WebRequestMethod, MethodTextAndContentType) {
  const MethodCase& c = GetParam();
  Exchange e;
  Text headers = c.headers_in;
  e.options.method = c.code;
  e.options.request_headers = &headers;
  WebRequest(kUrl, e.options);
  ASSERT_EQ(e.object->CallsTo("Open").size(), 1u);
  EXPECT_EQ(e.object->CallsTo("Open")[0].args[0], c.method);
  int form_type = 0;
  for (const FakeCall& call : HeaderCalls(*e.object)) {
    if (call == Header("Content-Type", "application/x-www-form-urlencoded")) ++form_type;
  }
  EXPECT_EQ(form_type, c.expect_form_type ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WebRequestMethod,
    testing::Values(MethodCase{0, "GET", "", false}, MethodCase{1, "POST", "", true},
                    MethodCase{1, "POST", "content-type: text/plain", false},
                    MethodCase{1, "POST", "CONTENT-TYPE: text/plain", false},
                    MethodCase{2, "HEAD", "", false}, MethodCase{3, "PUT", "", false},
                    MethodCase{4, "OPTIONS", "", false}, MethodCase{5, "DELETE", "", false},
                    MethodCase{6, "TRACE", "", false}, MethodCase{7, "CONNECT", "", false},
                    MethodCase{8, "GET", "", false}, MethodCase{-1, "GET", "", false},
                    MethodCase{1000, "GET", "", false}));

TEST(WebRequest, MethodTextTable) {
  EXPECT_STREQ(MethodText(0), "GET");
  EXPECT_STREQ(MethodText(7), "CONNECT");
  EXPECT_STREQ(MethodText(8), "GET");
  EXPECT_STREQ(MethodText(-1), "GET");
}

TEST(WebRequest, KeyInAnotherCaseGetsNoDefault) {
  Exchange e;
  Text headers = "accept: text/html\r\nx-requested-with: XMLHttpRequest";
  e.options.request_headers = &headers;
  WebRequest(kUrl, e.options);
  EXPECT_EQ(headers,
            std::string("Accept: text/html\r\nX-Requested-With: XMLHttpRequest\r\nReferer: ") +
                kUrl + "\r\nAccept-Language: zh-cn\r\nUser-Agent: " + kUserAgent);
  const auto calls = HeaderCalls(*e.object);
  ASSERT_EQ(calls.size(), 5u);
  EXPECT_EQ(calls[0], Header("Accept", "text/html"));
  EXPECT_EQ(calls[1], Header("X-Requested-With", "XMLHttpRequest"));
}

TEST(WebRequest, XAcceptCountsAsAccept) {
  Exchange e;
  Text headers = "X-Accept: 1";
  e.options.request_headers = &headers;
  WebRequest(kUrl, e.options);
  for (const FakeCall& call : HeaderCalls(*e.object)) EXPECT_NE(call.args[0], "Accept");
}

TEST(WebRequest, CompleteHeadersOffSendsOnlyTheCallersLines) {
  Exchange e;
  Text headers = "x-one: 1";
  e.options.request_headers = &headers;
  e.options.complete_headers = false;
  WebRequest(kUrl, e.options);
  EXPECT_EQ(headers, "X-One: 1");
  EXPECT_EQ(HeaderCalls(*e.object), (std::vector<FakeCall>{Header("X-One", "1")}));
}

TEST(WebRequest, EmptyHeaderTextWithoutCompletionMakesOneEmptyCall) {
  Exchange e;
  e.options.complete_headers = false;
  WebRequest(kUrl, e.options);
  EXPECT_EQ(HeaderCalls(*e.object), (std::vector<FakeCall>{Header("", "")}));
}

TEST(WebRequest, ValueHoldingColonSpaceIsSetEmpty) {
  Exchange e;
  Text headers = "X-Time: 12: 30";
  e.options.request_headers = &headers;
  e.options.complete_headers = false;
  WebRequest(kUrl, e.options);
  EXPECT_EQ(HeaderCalls(*e.object), (std::vector<FakeCall>{Header("X-Time", "")}));
}

TEST(WebRequest, DisableRedirectsSetsOptionSixBeforeFour) {
  Exchange e;
  e.options.disable_redirects = true;
  SetIgnoreCertificateErrors(true);
  WebRequest(kUrl, e.options);
  SetIgnoreCertificateErrors(false);
  EXPECT_EQ(e.object->CallsTo("SetOption"),
            (std::vector<FakeCall>{{"SetOption", {"6", "0"}}, {"SetOption", {"4", "13056"}}}));
}

TEST(WebRequest, CertificateErrorsAreIgnoredOnlyWhenTheUserAsks) {
  for (const char* env : {"", "0", "yes", "1"}) {
    test::SetEnvironment("KELVARO_TLS_INSECURE", env);
    Exchange e;
    WebRequest(kUrl, e.options);
    const bool asked = std::string(env) == "1";
    EXPECT_EQ(e.object->CallsTo("SetOption").size(), asked ? 1u : 0u) << "'" << env << "'";
  }
  test::UnsetEnvironment("KELVARO_TLS_INSECURE");
}

TEST(WebRequest, UrlWithLineBreaksGivesOneEscapedReferer) {
  Exchange e;
  const Text url = "http://h/a\r\nX-Evil: 1";
  Text headers;
  e.options.request_headers = &headers;
  WebRequest(url, e.options);
  // Open receives the url unchanged; the object escapes it for the wire.
  EXPECT_EQ(e.object->CallsTo("Open")[0].args[1], url);
  const auto calls = HeaderCalls(*e.object);
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1], Header("Referer", "http://h/a%0D%0AX-Evil:%201"));
  for (const FakeCall& call : calls) EXPECT_NE(call.args[0], "X-Evil");
}

TEST(WebRequest, FailedExchangeGivesEmptyValues) {
  Exchange e;
  e.object->fail_send = true;
  e.object->response_body = std::nullopt;
  e.object->status = 0;
  Text new_cookies = "x";
  Text response_headers = "y";
  int status = 5;
  e.options.new_cookies = &new_cookies;
  e.options.response_headers = &response_headers;
  e.options.status = &status;
  EXPECT_TRUE(WebRequest(kUrl, e.options).empty());
  EXPECT_EQ(status, 0);
  EXPECT_EQ(response_headers, "");
  EXPECT_EQ(new_cookies, "");
}

TEST(WebRequest, EmptySuppliedHandleFailsEveryStepAndCarriesOn) {
  WebRequestOptions options;
  options.request_object = RequestObjectHandle();
  Text cookies = "a=1";
  Text new_cookies = "x";
  Text response_headers = "y";
  Text headers;
  int status = 5;
  options.cookies = &cookies;
  options.new_cookies = &new_cookies;
  options.response_headers = &response_headers;
  options.status = &status;
  options.request_headers = &headers;
  EXPECT_TRUE(WebRequest(kUrl, options).empty());
  EXPECT_EQ(status, 0);
  EXPECT_EQ(response_headers, "");
  // The exchange went on: headers were completed, and the (empty) new cookies merged.
  EXPECT_FALSE(headers.empty());
  EXPECT_EQ(new_cookies, "a=1");
  EXPECT_EQ(cookies, "a=1");
}

TEST(WebRequest, SuppliedObjectStaysAliveAndIsReusable) {
  auto object = std::make_shared<FakeRequestObject>();
  WebRequestOptions options;
  options.request_object = object;
  WebRequest(kUrl, options);
  WebRequest(kUrl, options);
  EXPECT_EQ(object.use_count(), 2);  // ours and the copy in options
  EXPECT_EQ(object->CallsTo("Open").size(), 2u);
}

class WebRequestCreation : public testing::Test {
 protected:
  void TearDown() override { SetRequestObjectFactory({}); }
};

TEST_F(WebRequestCreation, FailureLeavesEveryParameterUntouched) {
  std::vector<Text> asked;
  SetRequestObjectFactory([&](const Text& prog_id) {
    asked.push_back(prog_id);
    return RequestObjectHandle();
  });
  Text cookies = "a=1";
  Text new_cookies = "keep-new";
  Text headers = "x-one: 1";
  Text response_headers = "keep-headers";
  int status = 77;
  WebRequestOptions options;
  options.cookies = &cookies;
  options.new_cookies = &new_cookies;
  options.request_headers = &headers;
  options.response_headers = &response_headers;
  options.status = &status;
  EXPECT_TRUE(WebRequest(kUrl, options).empty());
  EXPECT_EQ(asked, (std::vector<Text>{"WinHttp.WinHttpRequest.5.1"}));
  EXPECT_EQ(cookies, "a=1");
  EXPECT_EQ(new_cookies, "keep-new");
  EXPECT_EQ(headers, "x-one: 1");
  EXPECT_EQ(response_headers, "keep-headers");
  EXPECT_EQ(status, 77);
}

TEST_F(WebRequestCreation, FactoryObjectIsUsedAndExchangeRecorded) {
  auto object = std::make_shared<FakeRequestObject>();
  object->response_body = Bytes{'o', 'k'};
  object->status = 200;
  SetRequestObjectFactory([&](const Text&) { return object; });
  const WebResponse response = WebExchange(kUrl);
  EXPECT_EQ(response.body, (Bytes{'o', 'k'}));
  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(object->CallsTo("Open").size(), 1u);
}

TEST(RequestObjectCreation, KnowsOnlyTheOneProgId) {
  EXPECT_NE(CreateRequestObject("WinHttp.WinHttpRequest.5.1"), nullptr);
  EXPECT_EQ(CreateRequestObject("WinHttp.WinHttpRequest.5"), nullptr);
  EXPECT_EQ(CreateRequestObject("winhttp.winhttprequest.5.1"), nullptr);
  EXPECT_EQ(CreateRequestObject(""), nullptr);
}

}  // namespace
}  // namespace kelvaro
