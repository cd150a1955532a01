// Prints, one a line, the addresses a batch over FILE requests, as they go on the
// wire: what a user's own script would fetch for the same numbers.
// Usage: kelvaro_bench_addresses SITE FILE
#include <cstdio>
#include <string>

#include "platform/files.h"
#include "query/number.h"
#include "rows/import.h"
#include "site/standard_site.h"
#include "text/encoding.h"
#include "text/text.h"
#include "web/url.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s SITE FILE\n", argv[0]);
    return 2;
  }
  const kelvaro::Site site = kelvaro::SiteAt(argv[1]);
  kelvaro::Bytes bytes;
  std::string error;
  if (!kelvaro::platform::ReadWholeFile(argv[2], bytes, error)) {
    std::fprintf(stderr, "%s: %s\n", argv[2], error.c_str());
    return 1;
  }
  const kelvaro::Text text = kelvaro::Utf8ToGbk(kelvaro::BytesToText(bytes));
  for (kelvaro::Text number : kelvaro::SplitText(text, "\r\n")) {
    const kelvaro::Text keyword = kelvaro::NormalizeNumber(number);
    if (keyword.empty()) continue;  // no request for such a line
    const kelvaro::Text url = kelvaro::EscapeUrlForWire(site.SearchAddress(keyword));
    std::fwrite(url.data(), 1, url.size(), stdout);
    std::fputc('\n', stdout);
  }
  return 0;
}
