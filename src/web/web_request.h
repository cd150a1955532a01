// One complete HTTP exchange with the browser-like request profile.
#pragma once

#include <optional>

#include "text/text.h"
#include "web/request_object.h"

namespace kelvaro {

struct WebResponse {
  Bytes body;
  int status = 0;
  Text headers;
  Text cookies;
};

// Optional parameters. A null pointer is an omitted in/out or out parameter;
// `cookies` supplied as a pointer to an empty text is not the same as omitted.
struct WebRequestOptions {
  int method = 0;
  Text body_text;
  Text* cookies = nullptr;           // in/out
  Text* new_cookies = nullptr;       // out
  Text* request_headers = nullptr;   // in/out; omitted means empty
  Text* response_headers = nullptr;  // out
  int* status = nullptr;             // out
  bool disable_redirects = false;
  Bytes body_bytes;
  Text proxy;
  int timeout = 0;  // seconds; 0 or negative (but -1) means 15, -1 leaves the object's own
  Text proxy_user;
  Text proxy_password;
  int proxy_auth_mode = 1;
  std::optional<RequestObjectHandle> request_object;  // supplied, possibly an empty handle
  bool merge_cookies = true;
  bool complete_headers = true;
};

const char* MethodText(int method_code);

// What an omitted or zero time-out means, in milliseconds (15000). Tests lower it.
int DefaultTimeoutMs();
void SetDefaultTimeoutMsForTesting(int ms);

// Whether certificate errors are ignored: only when the user asked for it, with
// KELVARO_TLS_INSECURE=1 in the environment or SetIgnoreCertificateErrors(true) (the
// command line's --insecure). Otherwise certificates are verified.
bool IgnoreCertificateErrors();
void SetIgnoreCertificateErrors(bool ignore);

Bytes WebRequest(const Text& url, const WebRequestOptions& options = {});
// The same exchange, with what it yields gathered in one record.
WebResponse WebExchange(const Text& url, WebRequestOptions options = {});

}  // namespace kelvaro
