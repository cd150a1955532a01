#include "web/web_request.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "platform/web.h"
#include "web/headers.h"
#include "web/url.h"

namespace kelvaro {
namespace {

constexpr int kStandardTimeoutMs = 15000;
// Seconds beyond this would overflow the milliseconds handed to the object.
constexpr int kMaxTimeoutSeconds = INT_MAX / 1000;
std::atomic<int> default_timeout_ms{kStandardTimeoutMs};
std::atomic<bool> ignore_certificate_errors{false};

// The default header lines, checked in this order against the caller's header text.
struct DefaultHeader {
  const char* key;
  const char* addition;  // appended after "\r\n"; the Referer's value is the url
};

constexpr DefaultHeader kDefaultHeaders[] = {
    {"Accept:", "Accept: */*"},
    {"Referer:", "Referer: "},
    {"Accept-Language:", "Accept-Language: zh-cn"},
    {"User-Agent:", "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)"},
};

constexpr int kPostMethod = 1;

bool Contains(const Text& text, const Text& key) { return FindText(text, key, 1, true) != -1; }

void CompleteHeaders(Text& headers, const Text& url, int method) {
  for (const DefaultHeader& header : kDefaultHeaders) {
    if (Contains(headers, header.key)) continue;
    headers += "\r\n";
    headers += header.addition;
    // The Referer is the url as it goes on the wire: a url holding CR or LF
    // would otherwise split into header lines of its own, and the object
    // refuses a value with control bytes, dropping the Referer altogether.
    if (Text(header.key) == "Referer:") headers += EscapeUrlForWire(url);
  }
  if (method == kPostMethod && !Contains(headers, "Content-Type:")) {
    headers += "\r\nContent-Type: application/x-www-form-urlencoded";
  }
}

}  // namespace

const char* MethodText(int method_code) {
  static constexpr const char* kMethods[] = {"GET",     "POST",   "HEAD",  "PUT",
                                             "OPTIONS", "DELETE", "TRACE", "CONNECT"};
  if (method_code < 0 || method_code > 7) method_code = 0;
  return kMethods[method_code];
}

int DefaultTimeoutMs() { return default_timeout_ms.load(std::memory_order_relaxed); }

void SetDefaultTimeoutMsForTesting(int ms) {
  default_timeout_ms.store(ms > 0 ? ms : kStandardTimeoutMs, std::memory_order_relaxed);
}

bool IgnoreCertificateErrors() {
  if (ignore_certificate_errors.load()) return true;
  const char* env = std::getenv("KELVARO_TLS_INSECURE");
  return env != nullptr && std::string_view(env) == "1";
}

void SetIgnoreCertificateErrors(bool ignore) { ignore_certificate_errors.store(ignore); }

namespace {

// Every member call on an empty handle fails, so `o` may be null: the exchange carries on
// regardless, as the request object it stands for would.

// Time-outs, proxy, the request opened, redirects and certificates.
void OpenRequest(RequestObject* o, const Text& url, const Text& method_text,
                 const WebRequestOptions& options) {
  if (o == nullptr) return;
  if (options.timeout != -1) {
    const int t = options.timeout >= 1 ? std::min(options.timeout, kMaxTimeoutSeconds) * 1000
                                       : DefaultTimeoutMs();
    o->SetTimeouts(t, t, t, t);
  }
  if (!options.proxy.empty()) o->SetProxy(kProxySettingProxy, options.proxy);
  o->Open(method_text, url, false);
  if (options.disable_redirects) o->SetOption(kOptionEnableRedirects, 0);
  // Ignoring certificate errors would let anyone in the middle forge a "current" page:
  // only when the user chose it.
  if (IgnoreCertificateErrors()) {
    o->SetOption(kOptionSslErrorIgnoreFlags, kIgnoreAllCertificateErrors);
  }
}

// The request's headers: completed and normalised as asked, the proxy's credentials and the
// cookies.
void SetHeaders(RequestObject* o, const Text& url, int method, const WebRequestOptions& options) {
  Text local_headers;
  Text& headers = options.request_headers ? *options.request_headers : local_headers;
  if (options.complete_headers) CompleteHeaders(headers, url, method);
  headers = NormalizeRequestHeaders(headers);
  if (o == nullptr) return;
  if (!options.proxy.empty() && !options.proxy_user.empty() && options.proxy_auth_mode == 1) {
    const Text credentials = options.proxy_user + ":" + options.proxy_password;
    o->SetRequestHeader("Proxy-Authorization", "Basic " + Base64Encode(TextToBytes(credentials)));
  }
  if (options.cookies) o->SetRequestHeader("Cookie", *options.cookies);
  if (FindText(headers, "\r\n") != -1) {
    for (const Text& line : SplitText(headers, "\r\n")) {
      if (!line.empty()) o->SetRequestHeader(HeaderName(line), HeaderValue(line));
    }
  } else {
    o->SetRequestHeader(HeaderName(headers), HeaderValue(headers));
  }
}

// The response: its body, and its headers, status and cookies where asked.
Bytes TakeResponse(RequestObject* o, const WebRequestOptions& options) {
  Bytes body;
  if (o) {
    if (std::optional<Bytes> received = o->ResponseBody()) body = std::move(*received);
  }
  const Text response_headers = o ? o->GetAllResponseHeaders() : Text();
  if (options.response_headers) *options.response_headers = response_headers;
  const int status = o ? o->Status() : 0;
  if (options.status) *options.status = status;
  Text new_cookies = CollectCookies(response_headers);
  if (options.merge_cookies && options.cookies) {
    new_cookies = MergeCookies(*options.cookies, new_cookies);
  }
  if (options.new_cookies) *options.new_cookies = new_cookies;
  return body;
}

}  // namespace

Bytes WebRequest(const Text& url, const WebRequestOptions& options) {
  // The platform is set up once per process, not around every call.
  platform::InitWeb();
  const int method = (options.method < 0 || options.method > 7) ? 0 : options.method;
  RequestObjectHandle object;
  if (options.request_object.has_value()) {
    object = *options.request_object;  // a new reference; may be empty
  } else {
    object = CreateRequestObject(kRequestObjectProgId);
    if (!object) return {};
  }
  RequestObject* const o = object.get();
  OpenRequest(o, url, MethodText(method), options);
  SetHeaders(o, url, method, options);
  if (o && !options.body_bytes.empty()) {
    o->SendBytes(options.body_bytes);
  } else if (o) {
    o->Send(options.body_text);
  }
  return TakeResponse(o, options);
}

WebResponse WebExchange(const Text& url, WebRequestOptions options) {
  WebResponse response;
  options.new_cookies = &response.cookies;
  options.response_headers = &response.headers;
  options.status = &response.status;
  response.body = WebRequest(url, options);
  return response;
}

}  // namespace kelvaro
