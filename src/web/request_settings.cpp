#include "web/request_settings.h"

#include "web/request_object.h"
#include "web/url.h"

namespace kelvaro {
namespace {

bool HasUnsafeHeaderByte(const Text& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) != Text::npos;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool HeaderNameIs(const Text& name, const char* wanted) {
  const Text other(wanted);
  if (name.size() != other.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (LowerAscii(name[i]) != LowerAscii(other[i])) return false;
  }
  return true;
}

bool RequestSettings::Open(const Text& method_text, const Text& url, bool async) {
  if (async || method_text.empty() || url.empty() || HasUnsafeHeaderByte(method_text) ||
      method_text.find(' ') != Text::npos) {
    return false;
  }
  method = method_text;
  wire_url = EscapeUrlForWire(url);
  headers.clear();
  opened = true;
  return true;
}

bool RequestSettings::SetOption(int index, int value) {
  if (index == kOptionEnableRedirects) {
    follow_redirects = value != 0;
    return true;
  }
  if (index == kOptionSslErrorIgnoreFlags) {
    ignore_certificate_errors =
        (value & kIgnoreAllCertificateErrors) == kIgnoreAllCertificateErrors;
    return true;
  }
  return false;
}

bool RequestSettings::SetRequestHeader(const Text& name, const Text& value) {
  if (!opened || name.empty() || name.find(':') != Text::npos || name.find(' ') != Text::npos ||
      HasUnsafeHeaderByte(name) || HasUnsafeHeaderByte(value)) {
    return false;
  }
  for (auto& header : headers) {
    if (HeaderNameIs(header.first, name.c_str())) {
      header.second = value;
      return true;
    }
  }
  headers.emplace_back(name, value);
  return true;
}

}  // namespace kelvaro
