#include "platform/posix/curl_request_object.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
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

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxBodyBytes = kMaxResponseBodyBytes;
constexpr std::size_t kMaxIdleHandles = 8;
constexpr long kMaxRedirects = 10;
constexpr int kPollSliceMs = 50;

std::once_flag init_once;

// ---- Pool of idle transfer handles ------------------------------------------------
//
// A multi handle owns the connection cache of the easy handles it drives, so a pooled
// entry is a multi handle with its one easy handle: giving both back keeps the
// keep-alive connection for the next exchange.
struct Transfer {
  CURLM* multi = nullptr;
  CURL* easy = nullptr;
};

std::mutex pool_mutex;
std::vector<Transfer>& IdleTransfers() {
  static auto* idle = new std::vector<Transfer>();  // never destroyed: no exit-order trouble
  return *idle;
}

void DestroyTransfer(Transfer t) {
  if (t.easy) curl_easy_cleanup(t.easy);
  if (t.multi) curl_multi_cleanup(t.multi);
}

Transfer BorrowTransfer() {
  {
    std::lock_guard lock(pool_mutex);
    auto& idle = IdleTransfers();
    if (!idle.empty()) {
      Transfer t = idle.back();
      idle.pop_back();
      return t;
    }
  }
  Transfer t;
  t.multi = curl_multi_init();
  t.easy = curl_easy_init();
  if (!t.multi || !t.easy) {
    DestroyTransfer(t);
    return {};
  }
  return t;
}

void ReturnTransfer(Transfer t) {
  {
    std::lock_guard lock(pool_mutex);
    auto& idle = IdleTransfers();
    if (idle.size() < kMaxIdleHandles) {
      idle.push_back(t);
      return;
    }
  }
  DestroyTransfer(t);
}

int MaxPositive(int a, int b) { return std::max(std::max(a, 0), std::max(b, 0)); }

class CurlRequestObject final : public RequestObjectBase {
 public:
  CurlRequestObject() { Register(); }
  ~CurlRequestObject() override { Unregister(); }

  Text GetAllResponseHeaders() override {
    if (!succeeded_) return {};
    Text block;
    for (const Text& line : header_lines_) {
      if (!block.empty()) block += "\r\n";
      block += line;
    }
    return block;
  }

  void Abort() override {
    RequestObjectBase::Abort();
    std::lock_guard lock(active_mutex_);
    if (active_multi_) curl_multi_wakeup(active_multi_);
  }

 private:
  void ClearResponse() override {
    RequestObjectBase::ClearResponse();
    header_lines_.clear();
    body_too_large_ = false;
  }

  static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* self = static_cast<CurlRequestObject*>(user);
    const std::size_t n = size * count;
    self->last_activity_ = Clock::now();
    if (n > kMaxBodyBytes - self->body_.size()) {
      self->body_too_large_ = true;
      return 0;  // ends the transfer: nothing beyond the cap is kept
    }
    if (self->body_.size() + n > self->body_.capacity()) {
      self->body_.reserve(
          std::min(kMaxBodyBytes, std::max(self->body_.size() + n, self->body_.capacity() * 2)));
    }
    self->body_.insert(self->body_.end(), data, data + n);
    return n;
  }

  static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* self = static_cast<CurlRequestObject*>(user);
    const std::size_t n = size * count;
    self->last_activity_ = Clock::now();
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.rfind("HTTP/", 0) == 0) {
      // A new response begins (a redirect or an interim answer): only the final one counts.
      self->header_lines_.clear();
      return n;
    }
    if (line.empty()) return n;
    line.erase(std::remove(line.begin(), line.end(), '\0'), line.end());
    self->header_lines_.push_back(std::move(line));
    return n;
  }

  static int OnProgress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    auto* self = static_cast<CurlRequestObject*>(user);
    if (dlnow != self->last_down_ || ulnow != self->last_up_) {
      self->last_down_ = dlnow;
      self->last_up_ = ulnow;
      self->last_activity_ = Clock::now();
    }
    return (self->aborted_.load() || self->Stalled()) ? 1 : 0;
  }

  bool Stalled() const {
    const int stall_ms = MaxPositive(send_ms_, receive_ms_);
    return stall_ms > 0 && Clock::now() - last_activity_ > std::chrono::milliseconds(stall_ms);
  }

  curl_slist* BuildHeaderList() const {
    curl_slist* list = nullptr;
    auto append = [&list](const std::string& line) {
      curl_slist* grown = curl_slist_append(list, line.c_str());
      if (grown) list = grown;
    };
    bool has_accept = false;
    bool has_content_type = false;
    for (const auto& [name, value] : settings_.headers) {
      // Credentials for the proxy travel in the proxy's own list; through a tunnel
      // they must not reach the origin server.
      if (HeaderNameIs(name, "Proxy-Authorization")) continue;
      has_accept = has_accept || HeaderNameIs(name, "Accept");
      has_content_type = has_content_type || HeaderNameIs(name, "Content-Type");
      // "Name;" is libcurl's spelling of a header sent with an empty value.
      append(value.empty() ? name + ";" : name + ": " + value);
    }
    // Only the headers set on the object go out: no default Accept, Content-Type or
    // Expect of libcurl's own.
    if (!has_accept) append("Accept:");
    if (!has_content_type) append("Content-Type:");
    append("Expect:");
    return list;
  }

  curl_slist* BuildProxyHeaderList() const {
    curl_slist* list = nullptr;
    for (const auto& [name, value] : settings_.headers) {
      if (!HeaderNameIs(name, "Proxy-Authorization")) continue;
      curl_slist* grown = curl_slist_append(list, (name + ": " + value).c_str());
      if (grown) list = grown;
    }
    return list;
  }

  void Configure(CURL* easy, const std::string& body, curl_slist* headers,
                 curl_slist* proxy_headers) {
    curl_easy_setopt(easy, CURLOPT_URL, settings_.wire_url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_HEADEROPT, static_cast<long>(CURLHEADER_SEPARATE));
    curl_easy_setopt(easy, CURLOPT_PROXYHEADER, proxy_headers);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // An empty proxy also keeps libcurl from taking one from the environment.
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy_.c_str());

    if (settings_.method == "HEAD") {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (settings_.method == "GET" && body.empty()) {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (settings_.method == "POST" || !body.empty()) {
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
      if (settings_.method != "POST")
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, settings_.method.c_str());
    } else {
      curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, settings_.method.c_str());
    }

    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, settings_.follow_redirects ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, settings_.ignore_certificate_errors ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, settings_.ignore_certificate_errors ? 0L : 2L);
    curl_easy_setopt(easy, CURLOPT_PROXY_SSL_VERIFYPEER,
                     settings_.ignore_certificate_errors ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY_SSL_VERIFYHOST,
                     settings_.ignore_certificate_errors ? 0L : 2L);

    const int connect_ms = MaxPositive(resolve_ms_, connect_ms_);
    if (connect_ms > 0)
      curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(connect_ms));
    // A server that trickles bytes would never trip the stall check: cap the whole exchange.
    const int longest = std::max(connect_ms, MaxPositive(send_ms_, receive_ms_));
    if (longest > 0) curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 4L * longest);

    curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBodyBytes));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlRequestObject::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlRequestObject::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &CurlRequestObject::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
  }

  // The transfer run on its multi handle until it is done, stalls or is aborted; false with
  // the reason in `error` (empty when it never started).
  bool RunTransfer(const Transfer& transfer, Text& error) {
    // An Abort that came before active_multi_ was published is seen here.
    if (aborted_.load() || curl_multi_add_handle(transfer.multi, transfer.easy) != CURLM_OK) {
      return false;
    }
    bool done = false;
    CURLcode result = CURLE_OK;
    while (true) {
      int running = 0;
      if (curl_multi_perform(transfer.multi, &running) != CURLM_OK) break;
      int queued = 0;
      while (CURLMsg* message = curl_multi_info_read(transfer.multi, &queued)) {
        if (message->msg == CURLMSG_DONE) {
          done = true;
          result = message->data.result;
        }
      }
      if (done || running == 0) break;
      if (aborted_.load() || Stalled()) break;
      curl_multi_poll(transfer.multi, nullptr, 0, kPollSliceMs, nullptr);
    }
    bool ok = done && result == CURLE_OK && !body_too_large_ && !aborted_.load();
    error = TransferError(done, result);
    if (ok) {
      long code = 0;
      curl_easy_getinfo(transfer.easy, CURLINFO_RESPONSE_CODE, &code);
      status_ = static_cast<int>(code);
      ok = status_ > 0;
    }
    curl_multi_remove_handle(transfer.multi, transfer.easy);
    return ok;
  }

  // Why a transfer that ran ended as it did; empty for one that succeeded.
  Text TransferError(bool done, CURLcode result) const {
    if (aborted_.load()) return "aborted";
    if (body_too_large_ || result == CURLE_FILESIZE_EXCEEDED) return "response too large";
    // The stall check ended it, from the loop or from the progress callback.
    if (!done || result == CURLE_ABORTED_BY_CALLBACK) return "Timeout was reached";
    if (result != CURLE_OK) return curl_easy_strerror(result);
    return {};
  }

  bool Perform(const std::string& body) override {
    ClearResponse();
    if (!MaySend()) return false;
    Transfer transfer = BorrowTransfer();
    if (!transfer.easy) return false;
    curl_easy_reset(transfer.easy);
    curl_slist* headers = BuildHeaderList();
    curl_slist* proxy_headers = BuildProxyHeaderList();
    Configure(transfer.easy, body, headers, proxy_headers);

    last_down_ = 0;
    last_up_ = 0;
    last_activity_ = Clock::now();
    {
      std::lock_guard lock(active_mutex_);
      active_multi_ = transfer.multi;
    }
    Text error;
    const bool ok = RunTransfer(transfer, error);
    {
      std::lock_guard lock(active_mutex_);
      active_multi_ = nullptr;
    }
    // The easy handle still points at these lists; the next borrower resets it first.
    curl_easy_setopt(transfer.easy, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(transfer.easy, CURLOPT_PROXYHEADER, nullptr);
    curl_slist_free_all(headers);
    curl_slist_free_all(proxy_headers);
    ReturnTransfer(transfer);

    if (!ok) {
      ClearResponse();
      error_ = error.empty() ? Text("no response") : error;
      return false;
    }
    succeeded_ = true;
    return true;
  }

  bool body_too_large_ = false;
  std::vector<Text> header_lines_;
  Clock::time_point last_activity_{};
  curl_off_t last_down_ = 0;
  curl_off_t last_up_ = 0;

  std::mutex active_mutex_;
  CURLM* active_multi_ = nullptr;
};

}  // namespace

RequestObjectHandle MakeCurlRequestObject() {
  platform::InitWeb();
  return std::make_shared<CurlRequestObject>();
}

namespace platform {

void InitWeb() {
  std::call_once(init_once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

RequestObjectHandle MakeRequestObject() { return MakeCurlRequestObject(); }

void AbortAllRequests() { RequestObjectBase::AbortAll(); }

}  // namespace platform

int IdleHandleCount() {
  std::lock_guard lock(pool_mutex);
  return static_cast<int>(IdleTransfers().size());
}

}  // namespace kelvaro
