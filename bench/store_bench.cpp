// The command line's table filled by the import routine from a file: time and memory.
// Usage: kelvaro_bench_store FILE     Prints key=value lines.
#include <chrono>
#include <cstdio>
#include <string>

#include "memory.h"
#include "rows/import.h"
#include "rows/row_store.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  kelvaro::RowStore store;
  const long rss_before = kelvaro::bench::CurrentRssKb();
  const auto start = std::chrono::steady_clock::now();
  kelvaro::ImportError error;
  if (!kelvaro::ImportNumbersFromFile(store, argv[1], &error)) {
    std::fprintf(stderr, "%s: %s\n", argv[1], kelvaro::ImportErrorWords(error).c_str());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("rows=%d\nseconds=%.6f\nrss_before_kb=%ld\nrss_after_kb=%ld\npeak_rss_kb=%ld\n",
              store.RowCount(), seconds, rss_before, kelvaro::bench::CurrentRssKb(),
              kelvaro::bench::PeakRssKb());
  return 0;
}
