#include "web/request_object_base.h"

#include <mutex>
#include <set>

namespace kelvaro {
namespace {

std::mutex registry_mutex;
std::set<RequestObjectBase*>& LiveObjects() {
  static auto* live = new std::set<RequestObjectBase*>();
  return *live;
}
// Raised by AbortAll: objects made before it refuse to send.
std::atomic<std::uint64_t> abort_epoch{0};

}  // namespace

RequestObjectBase::RequestObjectBase() : birth_epoch_(abort_epoch.load()) {}

RequestObjectBase::~RequestObjectBase() { Unregister(); }

void RequestObjectBase::Register() {
  std::lock_guard lock(registry_mutex);
  LiveObjects().insert(this);
}

void RequestObjectBase::Unregister() {
  std::lock_guard lock(registry_mutex);
  LiveObjects().erase(this);
}

void RequestObjectBase::AbortAll() {
  abort_epoch.fetch_add(1);
  std::lock_guard lock(registry_mutex);
  for (RequestObjectBase* object : LiveObjects()) object->Abort();
}

bool RequestObjectBase::SetTimeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) {
  resolve_ms_ = resolve_ms;
  connect_ms_ = connect_ms;
  send_ms_ = send_ms;
  receive_ms_ = receive_ms;
  return true;
}

bool RequestObjectBase::SetProxy(int setting, const Text& proxy) {
  if (setting != kProxySettingProxy) return false;  // only "use the named proxy" is offered
  proxy_ = proxy;
  return true;
}

bool RequestObjectBase::Open(const Text& method, const Text& url, bool async) {
  if (!settings_.Open(method, url, async)) return false;
  ClearResponse();
  aborted_.store(false);
  return true;
}

bool RequestObjectBase::SetOption(int index, int value) {
  return settings_.SetOption(index, value);
}

bool RequestObjectBase::SetRequestHeader(const Text& name, const Text& value) {
  return settings_.SetRequestHeader(name, value);
}

bool RequestObjectBase::Send(const Text& body) { return Perform(body); }

bool RequestObjectBase::SendBytes(const Bytes& body) {
  return Perform(std::string(body.begin(), body.end()));
}

std::optional<Bytes> RequestObjectBase::ResponseBody() {
  if (!succeeded_) return std::nullopt;
  return body_;
}

int RequestObjectBase::Status() { return succeeded_ ? status_ : 0; }

Text RequestObjectBase::ErrorText() { return error_; }

void RequestObjectBase::Abort() { aborted_.store(true); }

void RequestObjectBase::ClearResponse() {
  succeeded_ = false;
  status_ = 0;
  body_.clear();
  body_.shrink_to_fit();
  error_.clear();
}

bool RequestObjectBase::MaySend() const {
  return settings_.opened && !aborted_.load() && birth_epoch_ == abort_epoch.load();
}

}  // namespace kelvaro
