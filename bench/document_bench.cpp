// Reading large documents: a 200-page Word file (8,000 paragraphs, 20 tables), a 200-page
// PDF (read by the reader of our own and, for comparison, by poppler) and an Excel list of
// 10,000 rows, the Word and Excel ones also as Word/Excel 97-2003, all made here. Besides the
// times, each run reports the pieces it gave and the process's peak resident memory while
// reading (VmHWM, reset after building). Then documents past the bounds, which are refused:
// the memory they take on the way.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "document/pdf/reader.h"
#include "document/readers/read_document.h"
#include "memory.h"
#include "support/binary_office_builder.h"
#include "support/office_builder.h"
#include "support/pdf_builder.h"
#include "text/encoding.h"

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

std::u16string Utf16(const std::string& ascii_or_utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < ascii_or_utf8.size();) {
    out += static_cast<char16_t>(kelvaro::DecodeUtf8(ascii_or_utf8, i));
  }
  return out;
}

// The same note as Word 97-2003: the prose in 16-bit pieces, every tenth paragraph a piece of
// its own as editing leaves them, the tables' cells and rows marked by paragraph properties.
Bytes LargeDoc() {
  kelvaro::test::WordFile file;
  int table = 0;
  for (int i = 0; i < 8000; ++i) {
    const std::string n = std::to_string(50000 + i % 900);
    if (i % 10 == 0) file.piece_starts.push_back(static_cast<std::uint32_t>(file.body.size()));
    file.body += Utf16("本工程消防设计按照现行国家标准《建筑设计防火规范》GB " + n +
                       "-2014 执行，疏散宽度、防火分区面积及安全出口数量均满足规范要求。\r");
    if (i % 400 == 399 && table < 20) {
      ++table;
      for (int r = 0; r < 10; ++r) {
        for (const std::string& cell :
             {std::to_string(r + 1), "GB/T " + std::to_string(50001 + r) + "-2017",
              std::string("房屋建筑制图统一标准"), std::string("现行")}) {
          file.body += Utf16(cell) + u"\a";
          file.paragraphs.push_back({static_cast<std::uint32_t>(file.body.size() - 1), 1, false});
        }
        file.body += u"\a";
        file.paragraphs.push_back({static_cast<std::uint32_t>(file.body.size() - 1), 1, true});
      }
      file.body += u"\r";
    }
  }
  return kelvaro::test::BuildWord(file);
}

Bytes LargeXls() {
  using kelvaro::test::BiffRecord;
  using kelvaro::test::XlsCell;
  std::vector<std::u16string> shared = {u"序号", u"待查标准编号", u"名称", u"备注"};
  auto label = [](int row, int column, std::size_t index) {
    std::string data = XlsCell(static_cast<std::uint16_t>(row), static_cast<std::uint16_t>(column));
    for (int i = 0; i < 4; ++i) data += static_cast<char>((index >> (8 * i)) & 0xFF);
    return BiffRecord(0x00FD, data);
  };
  std::string records;
  for (int c = 0; c < 4; ++c) records += label(0, c, static_cast<std::size_t>(c));
  for (int r = 1; r <= 10000; ++r) {
    shared.push_back(Utf16("GB " + std::to_string(50001 + r) + "-2014"));
    shared.push_back(Utf16("建筑设计防火规范 第" + std::to_string(r + 1) + "条"));
    records += BiffRecord(0x0203, XlsCell(static_cast<std::uint16_t>(r), 0) + std::string(8, '\0'));
    records += label(r, 1, shared.size() - 2) + label(r, 2, shared.size() - 1);
    records += BiffRecord(
        0x0204, XlsCell(static_cast<std::uint16_t>(r), 3) + kelvaro::test::XlsString(u"设计依据"));
  }
  return kelvaro::test::BuildXls(kelvaro::test::SstRecords(shared), {{u"标准清单", records}});
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

// 200 pages of 40 lines: Chinese prose in a GBK-EUC-H font with a citation in Helvetica on
// each line, set word by word as typesetters leave it, the content deflated.
Bytes LargePdf() {
  kelvaro::test::PdfWriter w;
  const int latin = w.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  const int cid = w.Add(
      "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /STSong-Light /CIDSystemInfo << /Registry "
      "(Adobe) /Ordering (GB1) /Supplement 4 >> /DW 1000 >>");
  const int chinese = w.Add(
      "<< /Type /Font /Subtype /Type0 /BaseFont /STSong-Light /Encoding "
      "/GBK-EUC-H /DescendantFonts [" +
      std::to_string(cid) + " 0 R] >>");
  const std::string prose = kelvaro::test::HexString(
      kelvaro::Utf8ToGbk("本工程消防设计按照现行国家标准《建筑设计防火规范》"));
  const std::string tail =
      kelvaro::test::HexString(kelvaro::Utf8ToGbk("执行，疏散宽度满足规范要求。"));
  std::string kids;
  const int pages = w.Reserve();
  for (int p = 0; p < 200; ++p) {
    std::string content;
    for (int line = 0; line < 40; ++line) {
      const std::string n = std::to_string(50000 + (p * 40 + line) % 900);
      content += "BT /C 10 Tf 1 0 0 1 56 " + std::to_string(780 - 18 * line) + " Tm " + prose +
                 " Tj /H 10 Tf [(GB) -250 (" + n + "-2014)] TJ /C 10 Tf " + tail + " Tj ET\n";
    }
    const std::string packed = kelvaro::test::ZlibDeflate(content);
    const int stream = w.AddStream("/Filter /FlateDecode", packed);
    kids +=
        std::to_string(w.Add("<< /Type /Page /Parent " + std::to_string(pages) +
                             " 0 R /MediaBox [0 0 595 842] /Contents " + std::to_string(stream) +
                             " 0 R /Resources << /Font << /H " + std::to_string(latin) +
                             " 0 R /C " + std::to_string(chinese) + " 0 R >> >> >>")) +
        " 0 R ";
  }
  w.Replace(pages, "<< /Type /Pages /Kids [" + kids + "] /Count 200 >>");
  w.Pages({});
  w.Replace(w.Root(), "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  const std::string pdf = w.Build(kelvaro::test::PdfWriter::Xref::kObjectStreams);
  return Bytes(pdf.begin(), pdf.end());
}

// Forgets the peak so far (Linux: writing 5 to clear_refs resets VmHWM).
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void Read(benchmark::State& state, const Bytes& bytes, DocumentKind kind) {
  std::vector<TextPiece> pieces;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
  ResetPeak();
  const long before = kelvaro::bench::CurrentRssKb();
  for (auto _ : state) {
    if (!kelvaro::ReadDocument(bytes, kind, pieces, error)) {
      state.SkipWithError(kelvaro::DocumentErrorWords(error));
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

void ReadDoc(benchmark::State& state) {
  static const Bytes doc = LargeDoc();
  Read(state, doc, DocumentKind::kDoc);
}

void ReadXls(benchmark::State& state) {
  static const Bytes xls = LargeXls();
  Read(state, xls, DocumentKind::kXls);
}

void Refuse(benchmark::State& state, const Bytes& bytes, DocumentKind kind) {
  std::vector<TextPiece> pieces;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
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

// The reader of our own, as the Windows build reads PDFs.
void ReadPdfOwn(benchmark::State& state) {
  static const Bytes pdf = LargePdf();
  std::vector<kelvaro::PdfPage> pages;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
  ResetPeak();
  const long before = kelvaro::bench::CurrentRssKb();
  std::size_t lines = 0;
  for (auto _ : state) {
    if (!kelvaro::ReadPdfText(pdf, pages, error)) {
      state.SkipWithError(kelvaro::DocumentErrorWords(error));
      return;
    }
    lines = 0;
    for (const kelvaro::PdfPage& page : pages) lines += page.lines.size();
    benchmark::DoNotOptimize(pages.data());
  }
  state.counters["pages"] = static_cast<double>(pages.size());
  state.counters["lines"] = static_cast<double>(lines);
  state.counters["file_kb"] = static_cast<double>(pdf.size()) / 1024;
  state.counters["rss_before_kb"] = static_cast<double>(before);
  state.counters["peak_rss_kb"] = static_cast<double>(kelvaro::bench::PeakRssKb());
}

// One page of one Tj of `megabytes` MB of text, deflated as writers leave it: 'A's in
// Helvetica, or Chinese in a GBK-EUC-H font (two bytes a character).
Bytes OneTjPdf(int megabytes, bool chinese) {
  kelvaro::test::PdfWriter w;
  std::string font;
  std::string text;
  if (chinese) {
    const int cid = w.Add(
        "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /STSong-Light /CIDSystemInfo << "
        "/Registry (Adobe) /Ordering (GB1) /Supplement 4 >> /DW 1000 >>");
    font =
        "<< /Type /Font /Subtype /Type0 /BaseFont /STSong-Light /Encoding /GBK-EUC-H "
        "/DescendantFonts [" +
        std::to_string(cid) + " 0 R] >>";
    const std::string unit = kelvaro::Utf8ToGbk("建筑设计防火规范");
    while (text.size() < static_cast<std::size_t>(megabytes) << 20) text += unit;
  } else {
    font = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    text.assign(static_cast<std::size_t>(megabytes) << 20, 'A');
  }
  const int f = w.Add(font);
  const std::string content = "BT /F1 10 Tf 1 0 0 1 56 780 Tm (" + text + ") Tj ET\n";
  const int stream = w.AddStream("/Filter /FlateDecode", kelvaro::test::ZlibDeflate(content));
  const int pages = w.Reserve();
  const int page = w.Add("<< /Type /Page /Parent " + std::to_string(pages) +
                         " 0 R /MediaBox [0 0 595 842] /Contents " + std::to_string(stream) +
                         " 0 R /Resources << /Font << /F1 " + std::to_string(f) + " 0 R >> >> >>");
  w.Replace(pages, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
  w.Pages({});
  w.Replace(w.Root(), "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  const std::string pdf = w.Build();
  return Bytes(pdf.begin(), pdf.end());
}

// Our reader on one huge Tj: the memory it takes is the figure, beside the time.
void ReadPdfOneTj(benchmark::State& state, bool chinese) {
  const int megabytes = static_cast<int>(state.range(0));
  const Bytes pdf = OneTjPdf(megabytes, chinese);
  std::vector<kelvaro::PdfPage> pages;
  kelvaro::DocumentError error = kelvaro::DocumentError::kNone;
  ResetPeak();
  const long before = kelvaro::bench::CurrentRssKb();
  std::size_t text = 0;
  for (auto _ : state) {
    if (!kelvaro::ReadPdfText(pdf, pages, error)) {
      state.SkipWithError(kelvaro::DocumentErrorWords(error));
      return;
    }
    text = pages.empty() ? 0 : pages[0].Text().size();
    benchmark::DoNotOptimize(pages.data());
  }
  state.counters["text_mb"] = static_cast<double>(text) / (1 << 20);
  state.counters["file_kb"] = static_cast<double>(pdf.size()) / 1024;
  state.counters["rss_before_kb"] = static_cast<double>(before);
  state.counters["peak_rss_kb"] = static_cast<double>(kelvaro::bench::PeakRssKb());
  state.counters["growth_kb"] = static_cast<double>(kelvaro::bench::PeakRssKb() - before);
}

void ReadPdfOneTjLatin(benchmark::State& state) { ReadPdfOneTj(state, false); }
void ReadPdfOneTjChinese(benchmark::State& state) { ReadPdfOneTj(state, true); }

// ReadDocument: poppler on Linux.
void ReadPdf(benchmark::State& state) {
  static const Bytes pdf = LargePdf();
  Read(state, pdf, DocumentKind::kPdf);
}

BENCHMARK(ReadDocx)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadPdfOwn)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadPdfOneTjLatin)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ReadPdfOneTjChinese)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(ReadXlsx)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadDoc)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadXls)->Unit(benchmark::kMillisecond);
BENCHMARK(RefuseOversizedDocx)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(RefuseOversizedXlsx)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
