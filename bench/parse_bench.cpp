// The parsing step of a lookup on large result pages: many rows, the only current
// cell in the last one, so the parser has to walk the whole page.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "site/national_site.h"
#include "text/text.h"

namespace {

// GBK texts of the site's page.
const std::string kNumberMarker = "\xB1\xE0\xBA\xC5\xA3\xBA";                // 编号：
const std::string kTitleMarker = "\xB1\xEA\xCC\xE2\xA3\xBA";                 // 标题：
const std::string kDateMarker = "\xB7\xA2\xB2\xBC\xC8\xD5\xC6\xDA\xA3\xBA";  // 发布日期：
const std::string kDepartmentMarker = "\xB7\xA2\xB2\xBC\xB2\xBF\xC3\xC5\xA3\xBA";  // 发布部门：
const std::string kTitleChar = "\xBD\xA8";                                         // 建
const std::string kDepartment = "\xBD\xA8\xC9\xE8\xB2\xBF";                        // 建设部
const std::string kWithdrawn = "\xD7\xF7\xB7\xCF";                                 // 作废
const std::string kCurrent = "\xCF\xD6\xD0\xD0";                                   // 现行

std::string RowNumber(int i) { return "GB/T " + std::to_string(50000 + i) + "-2010"; }

std::string Row(int i, int title_chars, bool current) {
  std::string title;
  for (int c = 0; c < title_chars; ++c) title += kTitleChar;
  const std::string number = RowNumber(i);
  // The site's row, less its ordinal cell and link target, so that 5,000 rows fit in 1 MiB.
  std::string row = std::string("<tr bgcolor=\"") + (i % 2 == 0 ? "#FFFFFF" : "#F3F7FB") + "\">";
  row += "<td><a title=\"" + kNumberMarker + number + "&#10;" + kTitleMarker + title + "&#10;" +
         kDateMarker + "2010-08-18&#10;" + kDepartmentMarker + kDepartment + "&#10;\">" + number +
         "</a></td>";
  row += current ? "<td ><font color=\"#000000\">" + kCurrent + "</font></td>"
                 : "<td ><font color=\"#FF0000\">" + kWithdrawn + "</font></td>";
  return row + "</tr>\r\n";
}

std::string BuildPage(int rows, int title_chars) {
  std::string page =
      "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n<meta http-equiv=\"Content-Type\" "
      "content=\"text/html; charset=GBK\">\r\n</head>\r\n<body>\r\n"
      "<table class=\"list\" width=\"100%\" border=\"0\">\r\n";
  for (int i = 0; i < rows; ++i) page += Row(i, title_chars, i == rows - 1);
  return page + "</table>\r\n";
}

// A page of `rows` rows of exactly `size` bytes: titles as long as fit, the rest a
// comment before the end of the page.
std::string PageOfSize(int rows, std::size_t size) {
  const std::string tail_open = "<!-- ";
  const std::string tail_close = " -->\r\n</body>\r\n</html>\r\n";
  for (int title_chars = 40; title_chars >= 0; --title_chars) {
    std::string page = BuildPage(rows, title_chars);
    if (page.size() + tail_open.size() + tail_close.size() <= size) {
      page += tail_open;
      page.append(size - page.size() - tail_close.size(), ' ');
      return page + tail_close;
    }
  }
  std::fprintf(stderr, "%d rows do not fit in %zu bytes\n", rows, size);
  std::abort();
}

void ParsePage(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::size_t size = static_cast<std::size_t>(state.range(1)) << 20;
  const kelvaro::Text page = PageOfSize(rows, size);
  const kelvaro::Text expected = RowNumber(rows - 1);
  for (auto _ : state) {
    kelvaro::CurrentStandardRecord record = kelvaro::ParseResultPage(page);
    if (record.number != expected) {
      state.SkipWithError("the last row was not found");
      break;
    }
    benchmark::DoNotOptimize(record);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(page.size()));
  state.counters["rows"] = rows;
  state.counters["page_bytes"] = static_cast<double>(page.size());
}

// The whole step as a lookup takes it: the body's bytes cut at the first zero byte
// into text, then parsed.
void ParseBody(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::size_t size = static_cast<std::size_t>(state.range(1)) << 20;
  const kelvaro::Bytes body = kelvaro::TextToBytes(PageOfSize(rows, size));
  const kelvaro::Text expected = RowNumber(rows - 1);
  for (auto _ : state) {
    kelvaro::CurrentStandardRecord record = kelvaro::ParseResultPage(kelvaro::BytesToText(body));
    if (record.number != expected) {
      state.SkipWithError("the last row was not found");
      break;
    }
    benchmark::DoNotOptimize(record);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(body.size()));
}

}  // namespace

// Arguments: rows, page size in MiB.
BENCHMARK(ParsePage)->Args({5000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(ParsePage)->Args({160000, 32})->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(ParseBody)->Args({5000, 1})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
