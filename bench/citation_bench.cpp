// The citation reader over 10 MiB of design-note-like text: mostly Chinese prose with
// look-alikes (C30, HRB400, DN100, JS-01, chainages, clause runs, pipe classes, model and
// telephone numbers, English text), and now and then a citation written one of the ways people
// write them; and over the same prose without a citation, where every find is a false one.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "citation/citation.h"
#include "rows/import.h"
#include "rows/row_store.h"

namespace {

std::string Utf8(const char8_t* s) { return std::string(reinterpret_cast<const char*>(s)); }

const std::vector<std::string>& Prose() {
  static const std::vector<std::string> prose = {
      Utf8(u8"本工程结构设计使用年限为50年，建筑结构安全等级为二级，"),
      Utf8(u8"抗震设防烈度为7度，设计基本地震加速度值为0.10g，"),
      Utf8(u8"混凝土强度等级：基础垫层C15，梁、板、柱C30，"),
      Utf8(u8"钢筋采用HRB400级，箍筋采用HPB300级，钢材Q235B，"),
      Utf8(u8"砌体采用MU10烧结页岩砖，M10混合砂浆砌筑，"),
      Utf8(u8"给水管道DN100采用钢塑复合管，详见图JS-01。"),
      Utf8(u8"施工时应严格遵守国家现行有关规范、规程及规定，"),
      Utf8(u8"地下室防水等级为二级，屋面防水等级为一级。"),
      Utf8(u8"图中尺寸除标高以米计外，其余均以毫米计，"),
      Utf8(u8"本说明未尽事宜，均按国家现行施工及验收规范执行。"),
      Utf8(u8"钢筋构造见图集22G101-1，变压器S13-200/10，依据建质[2007]223号文。"),
      // Look-alikes of the other families' numbers, as the same kinds of documents hold them.
      Utf8(u8"路基桩号K12+300至K12+450，匝道YK3+020～ZK3+100，"),
      Utf8(u8"做法见第3.2.1~3.2.5条及第4.1.1～4.1.3条，详表4.1.2。"),
      Utf8(u8"本工程GB类管道（GB1、GB2级）及GC2级工业管道按压力管道施工，"),
      Utf8(u8"图纸目录：结施-01、建施-05、JS-01、JG-02、DL-03，按GBT标准绘制，"),
      Utf8(u8"于2014-08-27开工，2015年8月27日竣工，电话：010-12345678，0571-88776655，"),
      Utf8(u8"电缆YJV22-8.7/15kV-3×240，线管KBG20、JDG25、SC20、SC25，导线BV-2.5，"),
      Utf8(u8"服务器内存16GB，硬盘2TB，固态硬盘512GB，端口RJ45，"),
      Utf8(u8"The design follows IEEE 802.3, ISO 9001:2015, ASTM A36 and EN 1992-1-1; "),
      Utf8(u8"steel hardness HB 200, grade Q345B, drawing No. DL-01, sheet 3 of 12. "),
      Utf8(u8"抗渗等级P8，混凝土C30P8，"
           u8"\u200B砌块MU7.5，砂浆Mb5，编号2023-SY-015，"),
  };
  return prose;
}

const std::vector<std::string>& Citations() {
  static const std::vector<std::string> citations = {
      Utf8(u8"《建筑设计防火规范》GB 50016-2014（2018年版）"),
      Utf8(u8"GB/T 50001—2017"),
      Utf8(u8"GB50011-2010(2016年版)"),
      Utf8(u8"GB 50007－2011"),
      Utf8(u8"ＧＢ　50017-2017"),
      Utf8(u8"GB 50009-2012 建筑结构荷载规范"),
      Utf8(u8"GB 50045-95"),
      Utf8(u8"CECS 102:2002"),
      Utf8(u8"《混凝土结构设计规范》（GB 50010-2010（2015年版））"),
      Utf8(u8"JGJ 3-2010、JGJ/T 98-2010"),
      Utf8(u8"DG/TJ 08-11-2018"),
      Utf8(u8"JTG D60-2015"),
      Utf8(u8"GB 50016——2014"),
      Utf8(u8"GB/T\n50001-2017"),
      Utf8(u8"GJB 151B-2013、50017-2017"),
      Utf8(u8"《公路桥涵设计通用规范》（JTG D60）、JTG/T F50"),
      Utf8(u8"GB 50254~50259-96"),
      Utf8(u8"gb/t 4459.5 JGJ 107 2003"),
      Utf8(u8"DB 44/26-2001、Q/CSG 1202001-2017"),
      // The families of power, petroleum, pressure-equipment and transport documents, and
      // the forms that glue text to a number.
      Utf8(u8"应符合DL/T 5044的规定"),
      Utf8(u8"NB/T 10096.2-2018、NB/T 47013.3-2015"),
      Utf8(u8"《固定式压力容器安全技术监察规程》TSG 21-2016"),
      Utf8(u8"TSG-D0001-2009"),
      Utf8(u8"JB/T 4730 Nondestructive testing of pressure equipment"),
      Utf8(u8"《电力安全工作规程》Q/GDW 1799.1"),
      Utf8(u8"GBJ 16 87、SYJ 4-84"),
      Utf8(u8"Code for seismic designGB50011-2010"),
      Utf8(u8"GB50009-20121、《混凝土结构设计规范》GB 50010-20102、"),
      Utf8(u8"GB\u200B50016-2014"),
      Utf8(u8"DB4403/T 499.3-2024、T/CECS 1034-2022"),
  };
  return citations;
}

struct Notes {
  std::string text;
  std::size_t citations = 0;
};

// Prose in an order drawn from a fixed seed, with `citations` a citation after about every
// eighth sentence, a line break after about every fortieth.
Notes BuildNotes(std::size_t size, bool citations) {
  Notes notes;
  std::uint32_t state = 12345;
  const auto draw = [&state](std::uint32_t n) {
    state = state * 1664525u + 1013904223u;
    return (state >> 8) % n;
  };
  std::vector<std::size_t> per_citation;
  for (const std::string& c : Citations()) per_citation.push_back(kelvaro::FindCitations(c).size());
  while (notes.text.size() < size) {
    notes.text += Prose()[draw(static_cast<std::uint32_t>(Prose().size()))];
    if (draw(8) == 0 && citations) {
      const std::size_t k = draw(static_cast<std::uint32_t>(Citations().size()));
      notes.text += Citations()[k];
      notes.citations += per_citation[k];
    }
    if (draw(40) == 0) notes.text += "\n";
  }
  return notes;
}

void FindInNotes(benchmark::State& state) {
  const Notes notes = BuildNotes(static_cast<std::size_t>(state.range(0)) << 20, true);
  for (auto _ : state) {
    std::vector<kelvaro::Citation> found = kelvaro::FindCitations(notes.text);
    if (found.size() != notes.citations) {
      state.SkipWithError("the citations found differ from the ones written");
      break;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(notes.text.size()));
  state.counters["citations"] = static_cast<double>(notes.citations);
}

// The same prose without a citation: whatever the reader finds there is a false positive.
void FindInLookAlikes(benchmark::State& state) {
  const Notes notes = BuildNotes(static_cast<std::size_t>(state.range(0)) << 20, false);
  std::size_t found = 0;
  for (auto _ : state) {
    const std::vector<kelvaro::Citation> citations = kelvaro::FindCitations(notes.text);
    found = citations.size();
    benchmark::DoNotOptimize(citations);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(notes.text.size()));
  state.counters["false_positives_per_MB"] =
      static_cast<double>(found) * 1e6 / static_cast<double>(notes.text.size());
}

}  // namespace

// Argument: the text's size in MiB.
BENCHMARK(FindInNotes)->Arg(10)->Unit(benchmark::kMillisecond);
BENCHMARK(FindInLookAlikes)->Arg(10)->Unit(benchmark::kMillisecond);

// Pasted text citing 100,000 standards, a line each, into the table the command line uses.
// Each is another standard (serial and year): a standard cited again would share its row.
void ImportCitations(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += "《建筑设计防火规范》GB " + std::to_string(50000 + i % 9000) + "-" +
            std::to_string(1980 + i / 9000) + "（2018年版）\n";
  }
  for (auto _ : state) {
    kelvaro::RowStore table;
    const int rows = kelvaro::FillTable(table, kelvaro::PastedRows(text));
    if (rows != count) state.SkipWithError("rows lost");
    benchmark::DoNotOptimize(rows);
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(ImportCitations)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
