// The seam for the platform's HTTP request object: the members WebRequest drives,
// by the names the object has. Every member reports failure by its result only.
// Open escapes its URL for the wire (EscapeUrlForWire); header values holding CR, LF
// or NUL are refused; the body is capped at kMaxResponseBodyBytes.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

#include "text/text.h"

namespace kelvaro {

inline constexpr const char* kRequestObjectProgId = "WinHttp.WinHttpRequest.5.1";
// Members' arguments, by the object's own numbering.
inline constexpr int kOptionSslErrorIgnoreFlags = 4;
inline constexpr int kOptionEnableRedirects = 6;
inline constexpr int kIgnoreAllCertificateErrors = 0x3300;  // the four certificate errors
inline constexpr int kProxySettingProxy = 2;                // use the named proxy
// A larger body makes the exchange fail (no body, status 0).
inline constexpr std::size_t kMaxResponseBodyBytes = 32u * 1024u * 1024u;

class RequestObject {
 public:
  virtual ~RequestObject() = default;
  virtual bool SetTimeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) = 0;
  virtual bool SetProxy(int setting, const Text& proxy) = 0;
  virtual bool Open(const Text& method, const Text& url, bool async) = 0;
  virtual bool SetOption(int index, int value) = 0;
  virtual bool SetRequestHeader(const Text& name, const Text& value) = 0;
  virtual bool Send(const Text& body) = 0;
  virtual bool SendBytes(const Bytes& body) = 0;
  // nullopt: the object holds no byte array (nothing received).
  virtual std::optional<Bytes> ResponseBody() = 0;
  virtual Text GetAllResponseHeaders() = 0;
  virtual int Status() = 0;
  // May be called from any thread; ends a Send in progress at once.
  virtual void Abort() = 0;
  // Why the last Send got no response (short, ASCII; empty when it got one).
  virtual Text ErrorText() { return {}; }
};

// A counted reference, as the platform's object references are.
using RequestObjectHandle = std::shared_ptr<RequestObject>;
using RequestObjectFactory = std::function<RequestObjectHandle(const Text& prog_id)>;

// Knows the one ProgID above; null for any other, or when the factory fails.
RequestObjectHandle CreateRequestObject(const Text& prog_id);
// Tests replace creation; an empty factory restores the real one.
void SetRequestObjectFactory(RequestObjectFactory factory);

}  // namespace kelvaro
