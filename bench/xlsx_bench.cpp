// The .xlsx export of a large Result table: 10,000 rows of 9 columns, numbers and Chinese
// titles of about 20 characters, each title different so that the shared string table
// holds them all.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "document/writers/xlsx_writer.h"
#include "text/encoding.h"

namespace {

// Characters of standards' titles, picked by the row's number.
const char32_t kTitleCharacters[] =
    U"建筑结构荷载设计规范混凝土工程施工质量验收统一标准制图钢防火给水排水";

std::string Title(int row) {
  std::string title;
  constexpr int kCount = static_cast<int>(sizeof kTitleCharacters / sizeof(char32_t)) - 1;
  unsigned x = static_cast<unsigned>(row) * 2654435761u + 1;
  for (int i = 0; i < 20; ++i) {
    x = x * 1103515245u + 12345u;
    kelvaro::AppendUtf8(title, kTitleCharacters[(x >> 16) % kCount]);
  }
  return title;
}

kelvaro::XlsxSheet ResultTable(int rows) {
  kelvaro::XlsxSheet sheet;
  sheet.name = "查询结果";
  sheet.header = {"序号",     "标准编号", "标准名称", "状态", "发布日期",
                  "实施日期", "发布部门", "新标准",   "原因"};
  sheet.fill_column = 3;
  static const char* const kStatus[] = {"现行", "有新标准", "未知"};
  static const kelvaro::CellFill kFill[] = {kelvaro::CellFill::kLightGreen,
                                            kelvaro::CellFill::kAmber, kelvaro::CellFill::kGrey};
  for (int i = 0; i < rows; ++i) {
    const std::string number = "GB/T " + std::to_string(50000 + i) + "-2010";
    sheet.rows.push_back({std::to_string(i + 1), number, Title(i), kStatus[i % 3], "2010-08-18",
                          "2011-03-01", "住房和城乡建设部",
                          i % 3 == 1 ? "GB/T " + std::to_string(50000 + i) + "-2017" : "",
                          "found"});
    sheet.row_fills.push_back(kFill[i % 3]);
  }
  return sheet;
}

void ExportXlsx(benchmark::State& state) {
  const kelvaro::XlsxSheet sheet = ResultTable(static_cast<int>(state.range(0)));
  std::size_t size = 0;
  for (auto _ : state) {
    const kelvaro::Bytes bytes = kelvaro::WriteXlsx(sheet).bytes;
    size = bytes.size();
    benchmark::DoNotOptimize(bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(size);
  state.counters["rows"] = static_cast<double>(state.range(0));
}

BENCHMARK(ExportXlsx)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
