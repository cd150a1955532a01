// What a request object is told between Open and Send, checked the same way whatever
// carries the exchange: the platform objects keep one of these and only send it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "text/text.h"

namespace kelvaro {

// Header names compare without regard to ASCII letter case.
bool HeaderNameIs(const Text& name, const char* wanted);

struct RequestSettings {
  Text method;
  std::string wire_url;  // escaped for the wire
  bool opened = false;
  bool follow_redirects = true;
  bool ignore_certificate_errors = false;
  std::vector<std::pair<Text, Text>> headers;  // in the order first set

  // Refuses an asynchronous open, an empty or unsafe method and an empty URL; a new open
  // forgets the headers set before.
  bool Open(const Text& method_text, const Text& url, bool async);
  // Option 6 (redirects) and Option 4 (all four certificate errors); others are refused.
  bool SetOption(int index, int value);
  // Refuses before Open, and a name or value that could break the request's head (CR, LF,
  // NUL, a colon or space in the name); setting a name again replaces its value.
  bool SetRequestHeader(const Text& name, const Text& value);
};

}  // namespace kelvaro
