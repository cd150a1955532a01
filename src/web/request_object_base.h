// What the platforms' request objects share: the settings kept between Open and Send, the
// time-outs and proxy they are given, the response's fields, and the set of live objects
// that AbortAll ends at once. A platform object adds only its exchange (Perform), its
// response headers and the waking of an exchange in progress (Abort).
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "web/request_object.h"
#include "web/request_settings.h"

namespace kelvaro {

class RequestObjectBase : public RequestObject {
 public:
  RequestObjectBase();
  ~RequestObjectBase() override;

  bool SetTimeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override;
  bool SetProxy(int setting, const Text& proxy) override;
  bool Open(const Text& method, const Text& url, bool async) override;
  bool SetOption(int index, int value) override;
  bool SetRequestHeader(const Text& name, const Text& value) override;
  bool Send(const Text& body) override;
  bool SendBytes(const Bytes& body) override;
  std::optional<Bytes> ResponseBody() override;
  int Status() override;
  Text ErrorText() override;
  // Marks the object aborted; a platform object calls this, then wakes its exchange.
  void Abort() override;

  // Any thread: every live object ends its exchange, and objects made before the call
  // refuse to send.
  static void AbortAll();

 protected:
  // One exchange of the request opened; fills the response fields.
  virtual bool Perform(const std::string& body) = 0;
  // Forgets the last response (the platform's own fields too, when it overrides this).
  virtual void ClearResponse();
  // Opened, not aborted, and not made before an AbortAll.
  bool MaySend() const;
  // A platform object's constructor calls Register last and its destructor Unregister
  // first, so AbortAll never reaches an object that is half built or half destroyed.
  void Register();
  void Unregister();

  // What the platform object uses until SetTimeouts is called (0: no limit).
  int resolve_ms_ = 0;
  int connect_ms_ = 60000;
  int send_ms_ = 30000;
  int receive_ms_ = 30000;
  Text proxy_;
  RequestSettings settings_;

  bool succeeded_ = false;
  int status_ = 0;
  Bytes body_;
  Text error_;
  std::atomic<bool> aborted_{false};

 private:
  const std::uint64_t birth_epoch_;
};

}  // namespace kelvaro
