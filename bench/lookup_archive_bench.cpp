// The lookup store: 100,000 lookups kept (each a page of three rows, as most keywords list),
// then looked up again at random. Usage: kelvaro_bench_lookup_archive DIR [LOOKUPS]
// Prints key=value lines: the file's size, the keeping time, the time of one fresh lookup.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "store/lookup_archive.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s DIR [LOOKUPS]\n", argv[0]);
    return 2;
  }
  const int lookups = argc > 2 ? std::atoi(argv[2]) : 100'000;
  const std::string path = (std::filesystem::path(argv[1]) / "bench.sqlite3").string();
  std::filesystem::remove(path);
  using Clock = std::chrono::steady_clock;
  std::string warning;
  auto archive = kelvaro::LookupArchive::Open(path, warning);
  if (!warning.empty()) {
    std::fprintf(stderr, "%s\n", warning.c_str());
    return 1;
  }
  kelvaro::Site site = kelvaro::Sites().front();
  site.prefix = "http://127.0.0.1:8765";
  const auto keyword = [](int i) { return "GB" + std::to_string(50000 + i); };
  const auto keep_start = Clock::now();
  for (int i = 0; i < lookups; ++i) {
    kelvaro::StandardLookup lookup;
    lookup.http_status = 200;
    lookup.site = site.name;
    lookup.address = site.prefix + "/search/std?searchText=" + keyword(i) + "&p.p1=1";
    lookup.read_at = "2026-12-11 12:00:00";
    const std::string number = "GB " + std::to_string(50000 + i);
    lookup.record = {number + "-2014", "\xbd\xa8\xd6\xfe\xc9\xe8\xbc\xc6\xb7\xc0\xbb\xf0\xb9\xe6\xb7\xb6",
                     "2014-08-27", "\xd7\xa1\xb7\xbf\xba\xcd\xb3\xc7\xcf\xe7\xbd\xa8\xc9\xe8\xb2\xbf",
                     "\xcf\xd6\xd0\xd0"};
    for (const char* year : {"-2014", "-2006", "-1995"}) {
      kelvaro::ListedStandard row;
      row.number = number + year;
      row.title = lookup.record.title;
      row.release_date = "2014-08-27";
      row.department = lookup.record.department;
      row.effective_date = "2015-05-01";
      row.status = lookup.record.status;
      row.detail = "/std/detail?id=" + std::to_string(i) + year;
      lookup.listed.push_back(row);
    }
    archive->Keep(site, keyword(i), 1, lookup);
  }
  const double keep_seconds = std::chrono::duration<double>(Clock::now() - keep_start).count();
  std::mt19937 random(7);
  const int finds = 10'000;
  int found = 0;
  const auto find_start = Clock::now();
  for (int n = 0; n < finds; ++n) {
    const int i = static_cast<int>(random() % static_cast<unsigned>(lookups));
    found += archive->FindFresh(site, keyword(i), 1, std::chrono::hours(24 * 7)).has_value();
  }
  const double find_seconds = std::chrono::duration<double>(Clock::now() - find_start).count();
  archive.reset();
  std::printf("lookups=%d\nfile_mb=%.1f\nkeep_ms_each=%.3f\nfind_ms_each=%.4f\nfound=%d/%d\n",
              lookups, static_cast<double>(std::filesystem::file_size(path)) / 1e6,
              keep_seconds * 1000 / lookups, find_seconds * 1000 / finds, found, finds);
  std::filesystem::remove(path);
  return found == finds ? 0 : 1;
}
