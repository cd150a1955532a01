// Reading large documents: a 200-page Word file (8,000 paragraphs, 20 tables) and an Excel
// list of 10,000 rows, both made here. Besides the times, each run reports the pieces it
// gave and the process's peak resident memory while reading (VmHWM, reset after building).
// Then documents past the bounds, which are refused: the memory they take on the way.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "document/document.h"
#include "memory.h"
#include "support/office_builder.h"

namespace {

using kelvaro::Bytes;
using kelvaro::DocumentKind;
using kelvaro::TextPiece;

// Design-note prose with a citation split across runs, as Word leaves it after editing.
std::string NoteParagraph(int i) {
  const std::string n = std::to_string(50000 + i % 900);
  return "<w:p><w:pPr><w:pStyle w:val=\"BodyText\"/></w:pPr><w:r><w:rPr><w:rFonts "
         "w:hint=\"eastAsia\"/></w:rPr><w:t xml:space=\"preserve\">本工程消防设计按照现行国家标准"
         "《建筑设计防火规范》</w:t></w:r><w:r><w:t>GB " +
         n.substr(0, 3) + "</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>" + n.substr(3) +
         "-2014 执行，疏散宽度、防火分区面积及安全出口数量均满足规范要求。</w:t></w:r></w:p>";
}

Bytes LargeDocx() {
  std::string body;
  int table = 0;
  for (int i = 0; i < 8000; ++i) {
    body += NoteParagraph(i);
    if (i % 400 == 399 && table < 20) {
      ++table;
      std::vector<std::vector<std::string>> rows;
      for (int r = 0; r < 10; ++r) {
        rows.push_back({std::to_string(r + 1), "GB/T " + std::to_string(50001 + r) + "-2017",
                        "房屋建筑制图统一标准", "现行"});
      }
      body += kelvaro::test::WordTable(rows);
    }
  }
  return kelvaro::test::BuildDocx(body);
}

Bytes LargeXlsx() {
  std::vector<std::string> shared = {"序号", "待查标准编号", "名称", "备注"};
  std::string data = kelvaro::test::SheetRow(
      1, kelvaro::test::SharedCell("A1", 0) + kelvaro::test::SharedCell("B1", 1) +
             kelvaro::test::SharedCell("C1", 2) + kelvaro::test::SharedCell("D1", 3));
  for (int r = 2; r <= 10001; ++r) {
    const std::string row = std::to_string(r);
    shared.push_back("GB " + std::to_string(50000 + r) + "-2014");
    shared.push_back("建筑设计防火规范 第" + row + "条");
    data += kelvaro::test::SheetRow(
        r, kelvaro::test::NumberCell("A" + row, std::to_string(r - 1)) +
               kelvaro::test::SharedCell("B" + row, static_cast<int>(shared.size()) - 2) +
               kelvaro::test::SharedCell("C" + row, static_cast<int>(shared.size()) - 1) +
               kelvaro::test::InlineCell("D" + row, "设计依据"));
  }
  return kelvaro::test::BuildXlsx({{"标准清单", data}}, shared);
}

// A table of 990,000 strings of 64 bytes, each copied into a cell: refused once the
// cells' text passes 64 MiB, with the table held beside it.
Bytes OversizedXlsx() {
  std::vector<std::string> shared;
  std::string data;
  for (int i = 0; i < 990000; ++i) {
    const std::string n = std::to_string(i);
    std::string text = "GB ";
    text.append(n).append("-2014 ").append(55 - n.size(), 'x');
    shared.push_back(std::move(text));
    const std::string row = std::to_string(i + 1);
    data += kelvaro::test::SheetRow(i + 1, kelvaro::test::SharedCell("A" + row, i));
  }
  return kelvaro::test::BuildXlsx({{"S", data}}, shared);
}

// A body of 1,100,000 short paragraphs: refused at 1,000,000 pieces.
Bytes OversizedDocx() {
  std::string body;
  for (int i = 0; i < 1100000; ++i) {
    body += kelvaro::test::WordParagraph("GB " + std::to_string(50000 + i % 1000) + "-2014");
  }
  return kelvaro::test::BuildDocx(body);
}

// Forgets the peak so far (Linux: writing 5 to clear_refs resets VmHWM).
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void Read(benchmark::State& state, const Bytes& bytes, DocumentKind kind) {
  std::vector<TextPiece> pieces;
  std::string error;
  ResetPeak();
  const long before = kelvaro::bench::CurrentRssKb();
  for (auto _ : state) {
    if (!kelvaro::ReadDocument(bytes, kind, pieces, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    benchmark::DoNotOptimize(pieces.data());
  }
  state.counters["pieces"] = static_cast<double>(pieces.size());
  state.counters["file_kb"] = static_cast<double>(bytes.size()) / 1024;
  state.counters["rss_before_kb"] = static_cast<double>(before);
  state.counters["peak_rss_kb"] = static_cast<double>(kelvaro::bench::PeakRssKb());
}

void ReadDocx(benchmark::State& state) {
  static const Bytes docx = LargeDocx();
  Read(state, docx, DocumentKind::kDocx);
}

void ReadXlsx(benchmark::State& state) {
  static const Bytes xlsx = LargeXlsx();
  Read(state, xlsx, DocumentKind::kXlsx);
}

void Refuse(benchmark::State& state, const Bytes& bytes, DocumentKind kind) {
  std::vector<TextPiece> pieces;
  std::string error;
  ResetPeak();
  const long before = kelvaro::bench::CurrentRssKb();
  for (auto _ : state) {
    if (kelvaro::ReadDocument(bytes, kind, pieces, error)) {
      state.SkipWithError("read past its bounds");
      return;
    }
  }
  state.counters["file_kb"] = static_cast<double>(bytes.size()) / 1024;
  state.counters["rss_before_kb"] = static_cast<double>(before);
  state.counters["peak_rss_kb"] = static_cast<double>(kelvaro::bench::PeakRssKb());
}

void RefuseOversizedDocx(benchmark::State& state) {
  static const Bytes docx = OversizedDocx();
  Refuse(state, docx, DocumentKind::kDocx);
}

void RefuseOversizedXlsx(benchmark::State& state) {
  static const Bytes xlsx = OversizedXlsx();
  Refuse(state, xlsx, DocumentKind::kXlsx);
}

BENCHMARK(ReadDocx)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(RefuseOversizedDocx)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(RefuseOversizedXlsx)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
