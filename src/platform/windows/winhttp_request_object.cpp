#include "platform/windows/winhttp_request_object.h"

// clang-format off
#include <windows.h>
#include <winhttp.h>
// clang-format on

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/web.h"
#include "web/request_object_base.h"
#include "web/request_settings.h"
#include "web/url.h"

namespace kelvaro {
namespace {

constexpr std::size_t kMaxBodyBytes = kMaxResponseBodyBytes;
constexpr DWORD kMaxRedirects = 10;
constexpr DWORD kReadChunk = 64 * 1024;
constexpr UINT kCodePage936 = 936;

std::wstring FromGbk(const Text& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int len = MultiByteToWideChar(kCodePage936, 0, text.data(), size, nullptr, 0);
  if (len <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(len), L'\0');
  MultiByteToWideChar(kCodePage936, 0, text.data(), size, wide.data(), len);
  return wide;
}

Text ToGbk(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  const int len =
      WideCharToMultiByte(kCodePage936, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (len <= 0) return {};
  Text text(static_cast<std::size_t>(len), '\0');
  WideCharToMultiByte(kCodePage936, 0, wide.data(), size, text.data(), len, nullptr, nullptr);
  return text;
}

// Why an exchange got no response, in the short words the libcurl object uses, so that
// both platforms' rows read the same.
constexpr char kTimedOut[] = "Timeout was reached";
constexpr char kTooLarge[] = "response too large";

Text WinHttpErrorText(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return "Couldn't connect to server";
    case ERROR_WINHTTP_TIMEOUT:
      return kTimedOut;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return "Couldn't resolve host name";
    case ERROR_WINHTTP_CONNECTION_ERROR:
      return "Failure when receiving data from the peer";
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      return "Weird server reply";
    case ERROR_WINHTTP_REDIRECT_FAILED:
      return "Number of redirects hit maximum amount";
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
      return "SSL connect error";
    default:
      return "WinHTTP error " + std::to_string(error);
  }
}

int MaxPositive(int a, int b) { return std::max(std::max(a, 0), std::max(b, 0)); }

// ---- One exchange's meeting point with WinHTTP's callback thread ---------------------
//
// Owned jointly by the thread running the exchange and by WinHTTP: the last of the two
// to let go frees it. WinHTTP lets go when it reports the request handle closed, which
// may come well after an abandoned step (Wine finishes a blocked read first), so every
// buffer WinHTTP may still write into or read from lives here, not on the stack.
struct Exchange {
  HANDLE step_done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  DWORD status = 0;  // the callback status of the last completed step
  DWORD error = 0;   // for WINHTTP_CALLBACK_STATUS_REQUEST_ERROR
  DWORD bytes = 0;   // for DATA_AVAILABLE and READ_COMPLETE
  std::string request_body;
  std::vector<char> chunk = std::vector<char>(kReadChunk);
  std::atomic<int> owners{2};

  ~Exchange() {
    if (step_done) CloseHandle(step_done);
  }
  void Release() {
    if (owners.fetch_sub(1) == 1) delete this;
  }
};

void CALLBACK OnWinHttpEvent(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                             DWORD info_length) {
  auto* exchange = reinterpret_cast<Exchange*>(context);
  if (exchange == nullptr) return;  // the session's and connection's own events
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      exchange->Release();  // nothing more comes for this handle
      return;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      exchange->error = static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError;
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      exchange->bytes = info_length;
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      exchange->bytes = *static_cast<DWORD*>(info);
      break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      break;
    default:
      return;
  }
  exchange->status = status;
  SetEvent(exchange->step_done);
}

// Asynchronous sessions, one per proxy ("" for none), kept for the process: a session
// keeps idle connections for the next exchange to the same server.
std::mutex session_mutex;
std::map<std::wstring, HINTERNET>& Sessions() {
  static auto* sessions = new std::map<std::wstring, HINTERNET>();
  return *sessions;
}

HINTERNET Session(const std::wstring& proxy) {
  std::lock_guard lock(session_mutex);
  auto& sessions = Sessions();
  if (auto found = sessions.find(proxy); found != sessions.end()) return found->second;
  // No agent: the User-Agent is one of the headers set on the object.
  HINTERNET session =
      proxy.empty() ? WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC)
                    : WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NAMED_PROXY, proxy.c_str(),
                                  WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
  if (session == nullptr) return nullptr;
  const DWORD notifications = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES;
  if (WinHttpSetStatusCallback(session, &OnWinHttpEvent, notifications, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK) {
    WinHttpCloseHandle(session);
    return nullptr;
  }
  sessions.emplace(proxy, session);
  return session;
}

using Clock = ULONGLONG;  // GetTickCount64 milliseconds

class WinHttpRequestObject final : public RequestObjectBase {
 public:
  WinHttpRequestObject() : abort_event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) { Register(); }
  ~WinHttpRequestObject() override {
    Unregister();
    if (abort_event_) CloseHandle(abort_event_);
  }

  bool Open(const Text& method, const Text& url, bool async) override {
    if (!RequestObjectBase::Open(method, url, async)) return false;
    if (abort_event_) ResetEvent(abort_event_);
    return true;
  }

  Text GetAllResponseHeaders() override { return succeeded_ ? header_block_ : Text(); }

  // Any thread: only an event is touched; the exchange's own thread closes its handles.
  void Abort() override {
    RequestObjectBase::Abort();
    if (abort_event_) SetEvent(abort_event_);
  }

 private:
  void ClearResponse() override {
    RequestObjectBase::ClearResponse();
    header_block_.clear();
  }

  // Waits for the step in flight. False when it failed, stalled, ran past the overall
  // deadline or was aborted.
  bool WaitStep(Exchange& exchange, DWORD expected, int stall_ms, Clock overall_deadline) {
    const Clock now = GetTickCount64();
    if (now >= overall_deadline) return Fail(kTimedOut);
    ULONGLONG wait = overall_deadline - now;
    if (stall_ms > 0) wait = std::min<ULONGLONG>(wait, static_cast<ULONGLONG>(stall_ms));
    const HANDLE events[2] = {exchange.step_done, abort_event_};
    const DWORD woke = WaitForMultipleObjects(2, events, FALSE, static_cast<DWORD>(wait));
    if (woke == WAIT_TIMEOUT) return Fail(kTimedOut);
    if (woke != WAIT_OBJECT_0) return Fail("aborted");
    if (exchange.status == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR) {
      return Fail(WinHttpErrorText(exchange.error));
    }
    return exchange.status == expected || Fail("no response");
  }

  // Keeps the first reason a step gave; false, for the caller to return.
  bool Fail(const Text& why) {
    if (error_.empty()) error_ = why;
    return false;
  }

  bool ApplyOptions(HINTERNET request, bool secure) {
    // The program's own deadlines end the exchange; WinHTTP's are set the same so that a
    // connection attempt also gives up by itself.
    if (!WinHttpSetTimeouts(request, std::max(resolve_ms_, 0), std::max(connect_ms_, 0),
                            std::max(send_ms_, 0), std::max(receive_ms_, 0))) {
      return false;
    }
    DWORD policy = settings_.follow_redirects
                       ? WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP
                       : WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    DWORD max_redirects = kMaxRedirects;
    WinHttpSetOption(request, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, &max_redirects,
                     sizeof max_redirects);
    // No cookies of WinHTTP's own: the caller sends and collects them.
    DWORD features = WINHTTP_DISABLE_COOKIES;
    WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features);
    if (secure && settings_.ignore_certificate_errors) {
      DWORD flags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                    SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
      if (!WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags)) {
        return false;
      }
    }
    return true;
  }

  bool AddHeaders(HINTERNET request, bool tunnelled) {
    for (const auto& [name, value] : settings_.headers) {
      // Through a tunnel the request's headers reach the origin server, not the proxy:
      // credentials meant for the proxy stay here.
      if (tunnelled && HeaderNameIs(name, "Proxy-Authorization")) continue;
      // A header the system refuses is left out, as a refused SetRequestHeader would be.
      const std::wstring line = FromGbk(name) + L": " + FromGbk(value);
      WinHttpAddRequestHeaders(request, line.c_str(), static_cast<DWORD>(line.size()),
                               WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }
    return true;
  }

  bool ReadResponse(HINTERNET request, Exchange& exchange, int stall_ms, Clock deadline) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX) ||
        status == 0) {
      return Fail("no response");
    }
    status_ = static_cast<int>(status);

    DWORD length = 0;
    size = sizeof length;
    const bool declared =
        WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &length, &size, WINHTTP_NO_HEADER_INDEX);
    if (declared) {
      if (length > kMaxBodyBytes) return Fail(kTooLarge);
      body_.reserve(length);
    }
    header_block_ = HeaderBlock(request);

    // Asking what is there first: a read for a whole chunk would wait for the chunk to
    // fill, and a server sending a byte at a time would look stalled.
    for (;;) {
      exchange.bytes = 0;
      if (!WinHttpQueryDataAvailable(request, nullptr) ||
          !WaitStep(exchange, WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE, stall_ms, deadline)) {
        return false;
      }
      const DWORD available = std::min<DWORD>(exchange.bytes, kReadChunk);
      if (available == 0) break;
      exchange.bytes = 0;
      if (!WinHttpReadData(request, exchange.chunk.data(), available, nullptr) ||
          !WaitStep(exchange, WINHTTP_CALLBACK_STATUS_READ_COMPLETE, stall_ms, deadline)) {
        return false;
      }
      const DWORD got = exchange.bytes;
      if (got == 0) break;
      // Nothing beyond the cap is kept.
      if (got > kMaxBodyBytes - body_.size()) return Fail(kTooLarge);
      body_.insert(body_.end(), exchange.chunk.data(), exchange.chunk.data() + got);
    }
    // A connection that ends before the declared length is a failed exchange, not a body.
    return !declared || settings_.method == "HEAD" || body_.size() == length ||
           Fail("Transferred a partial file");
  }

  // The final response's header lines joined by CR LF, without the status line.
  static Text HeaderBlock(HINTERNET request) {
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                        WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
    std::wstring raw(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                             raw.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
      return {};
    }
    raw.resize(size / sizeof(wchar_t));
    Text block;
    std::size_t start = 0;
    bool first = true;
    while (start < raw.size()) {
      std::size_t end = raw.find(L"\r\n", start);
      if (end == std::wstring::npos) end = raw.size();
      std::wstring line = raw.substr(start, end - start);
      start = end + 2;
      if (first) {
        first = false;  // the status line
        continue;
      }
      if (line.empty()) continue;
      if (!block.empty()) block += "\r\n";
      block += ToGbk(line);
    }
    return block;
  }

  bool Perform(const std::string& body) override {
    ClearResponse();
    const bool ok = RunExchange(body);
    // What never got as far as a step gets the words of an exchange without an answer.
    if (!ok && error_.empty()) error_ = "no response";
    return ok;
  }

  // Where the request goes, cracked from its address on the wire.
  struct Target {
    std::wstring host;
    std::wstring path;  // with the query; "/" for none
    INTERNET_PORT port = 0;
    bool secure = false;
  };

  bool CrackTarget(Target& where) const {
    const std::wstring url = FromGbk(settings_.wire_url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
      return false;
    }
    where.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    where.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    where.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    where.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (where.path.empty()) where.path = L"/";
    where.port = parts.nPort;
    return true;
  }

  // The request sent and its answer read, each step within its time-out and the deadline.
  bool SendAndReceive(HINTERNET request, Exchange& exchange, DWORD_PTR context, int connect_ms,
                      int stall_ms, Clock deadline) {
    std::string& data = exchange.request_body;
    const auto size = static_cast<DWORD>(data.size());
    return WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              data.empty() ? WINHTTP_NO_REQUEST_DATA : data.data(), size, size,
                              context) &&
           WaitStep(exchange, WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE,
                    connect_ms + std::max(send_ms_, 0), deadline) &&
           WinHttpReceiveResponse(request, nullptr) &&
           WaitStep(exchange, WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE, std::max(receive_ms_, 0),
                    deadline) &&
           ReadResponse(request, exchange, stall_ms, deadline);
  }

  bool RunExchange(const std::string& body) {
    if (!MaySend() || !abort_event_) {
      return Fail("no response");
    }
    HINTERNET the_session = Session(FromGbk(proxy_));
    if (the_session == nullptr) return false;

    Target where;
    if (!CrackTarget(where)) return false;

    const int connect_ms = MaxPositive(resolve_ms_, connect_ms_);
    const int stall_ms = MaxPositive(send_ms_, receive_ms_);
    // A server that trickles bytes never trips the stall check: cap the whole exchange.
    const int longest = std::max(connect_ms, stall_ms);
    const Clock deadline =
        longest > 0 ? GetTickCount64() + 4ull * static_cast<ULONGLONG>(longest) : ~0ull;

    HINTERNET connection = WinHttpConnect(the_session, where.host.c_str(), where.port, 0);
    if (connection == nullptr) return false;
    HINTERNET request =
        WinHttpOpenRequest(connection, FromGbk(settings_.method).c_str(), where.path.c_str(),
                           nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                           WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY |
                               (where.secure ? WINHTTP_FLAG_SECURE : 0));
    if (request == nullptr) {
      WinHttpCloseHandle(connection);
      return false;
    }
    auto* exchange = new Exchange();
    exchange->request_body = body;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(exchange);
    bool ok = exchange->step_done != nullptr &&
              WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);
    if (!ok) {
      // WinHTTP never saw the record: it reports nothing for it.
      delete exchange;
      WinHttpCloseHandle(request);
      WinHttpCloseHandle(connection);
      return false;
    }
    ok = ApplyOptions(request, where.secure) &&
         AddHeaders(request, where.secure && !proxy_.empty()) &&
         SendAndReceive(request, *exchange, context, connect_ms, stall_ms, deadline);
    if (aborted_.load()) ok = Fail("aborted");
    // Closing cancels whatever is still in flight. WinHTTP frees the record when it has
    // let go of the handle; this thread does not wait for that.
    WinHttpCloseHandle(request);
    exchange->Release();
    WinHttpCloseHandle(connection);

    if (!ok) {
      const Text why = error_;
      ClearResponse();
      error_ = why;
      return false;
    }
    succeeded_ = true;
    return true;
  }

  const HANDLE abort_event_;
  Text header_block_;
};

}  // namespace

RequestObjectHandle MakeWinHttpRequestObject() { return std::make_shared<WinHttpRequestObject>(); }

namespace platform {

void InitWeb() { Session(L""); }

RequestObjectHandle MakeRequestObject() { return MakeWinHttpRequestObject(); }

void AbortAllRequests() { RequestObjectBase::AbortAll(); }

}  // namespace platform
}  // namespace kelvaro
