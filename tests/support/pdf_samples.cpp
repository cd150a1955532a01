#include "support/pdf_samples.h"

#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>

#include "support/pdf_builder.h"
#include "text/encoding.h"

namespace kelvaro::test {

namespace {

using Xref = PdfWriter::Xref;

const char kCitation[] = "BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET";

std::string OnePage(const std::string& content, Xref xref = Xref::kTable) {
  PdfWriter w;
  w.Pages({content});
  return w.Build(xref);
}

// A page whose content stream carries `data` through `filter_entries`.
std::string Filtered(const std::string& filter_entries, const std::string& data) {
  PdfWriter w;
  const int font = w.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  const int content = w.AddStream(filter_entries, data);
  const int page = w.Add("<< /Type /Page /Parent 4 0 R /MediaBox [0 0 612 792] /Contents " +
                         std::to_string(content) + " 0 R /Resources << /Font << /F1 " +
                         std::to_string(font) + " 0 R >> >> >>");
  w.Add("<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
  w.Pages({});  // the catalog; its own empty tree is not used
  w.Replace(w.Root(), "<< /Type /Catalog /Pages 4 0 R >>");
  return w.Build();
}

// A page showing `shown` (a PDF string) in font /F1, made by `font` in the writer.
std::string WithFont(const std::function<int(PdfWriter&)>& font, const std::string& content) {
  PdfWriter w;
  const int f = font(w);
  w.Pages({content}, "/Font << /F1 " + std::to_string(f) + " 0 R >>");
  return w.Build();
}

std::string Show(const std::string& shown) { return "BT /F1 12 Tf 72 700 Td " + shown + " Tj ET"; }

std::string CMapStream(const std::string& body) {
  return "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
         "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
         "/CMapName /Test def\n" +
         body + "\nendcmap CMapName currentdict /CMap defineresource pop end end";
}

// A composite font with the CMap `encoding` (a name or a reference), and ToUnicode when given.
int Type0(PdfWriter& w, const std::string& encoding, const std::string& to_unicode = {},
          const std::string& widths = {}) {
  const int descendant = w.Add(
      "<< /Type /Font /Subtype /CIDFontType0 /BaseFont /STSong-Light /CIDSystemInfo << "
      "/Registry (Adobe) /Ordering (GB1) /Supplement 4 >> /DW 1000 " +
      (widths.empty() ? std::string() : "/W " + widths) +
      " /FontDescriptor << /Type /FontDescriptor /FontName /STSong-Light /Flags 6 "
      "/FontBBox [-25 -254 1000 880] /ItalicAngle 0 /Ascent 880 /Descent -120 /CapHeight 880 "
      "/StemV 93 >> >>");
  std::string font = "<< /Type /Font /Subtype /Type0 /BaseFont /STSong-Light /Encoding " +
                     encoding + " /DescendantFonts [" + std::to_string(descendant) + " 0 R]";
  if (!to_unicode.empty())
    font += " /ToUnicode " + std::to_string(w.AddStream("", to_unicode)) + " 0 R";
  return w.Add(font + " >>");
}

std::string Gbk(const std::string& utf8) { return HexString(Utf8ToGbk(utf8)); }

std::string Utf16(const std::u32string& text) {
  std::string out;
  auto unit = [&](char32_t u) {
    out += static_cast<char>(u >> 8);
    out += static_cast<char>(u & 0xFF);
  };
  for (const char32_t c : text) {
    if (c >= 0x10000) {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      unit(c);
    }
  }
  return HexString(out);
}

std::string ChineseWith(const std::string& cmap, const std::string& shown) {
  return WithFont([&](PdfWriter& w) { return Type0(w, "/" + cmap); }, Show(shown));
}

std::vector<PdfSample> Structure() {
  std::vector<PdfSample> out;
  for (const auto& [name, xref] :
       std::vector<std::pair<std::string, Xref>>{{"XrefTable", Xref::kTable},
                                                 {"XrefStream", Xref::kStream},
                                                 {"ObjectStreams", Xref::kObjectStreams},
                                                 {"HybridFile", Xref::kHybrid},
                                                 {"WrongOffsetsScanned", Xref::kWrongOffsets},
                                                 {"NoCrossReferenceScanned", Xref::kNone}}) {
    out.push_back({name, OnePage(kCitation, xref), {"GB 50016-2014"}, {}});
  }
  out.back().poppler_cannot = "poppler finds no catalog without a trailer";
  {
    PdfWriter w;
    w.Pages({Show("(old text)")});
    const int content = 3;  // after the font and the page tree
    const std::string replaced = Show("(GB 50016-2014)");
    out.push_back({"IncrementalUpdate",
                   AppendUpdate(w.Build(),
                                {{content, "<< /Length " + std::to_string(replaced.size()) +
                                               " >>\nstream\n" + replaced + "\nendstream"}},
                                w.Root()),
                   {"GB 50016-2014"}});
  }
  {
    PdfWriter w;
    const int length = w.Reserve();
    const int font = w.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const std::string content = kCitation;
    const int stream = w.AddStream("", content, std::to_string(length) + " 0 R");
    w.Replace(length, std::to_string(content.size()));
    const int page =
        w.Add("<< /Type /Page /Parent 5 0 R /Contents " + std::to_string(stream) +
              " 0 R /Resources << /Font << /F1 " + std::to_string(font) + " 0 R >> >> >>");
    w.Add("<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    w.Pages({});
    w.Replace(w.Root(), "<< /Type /Catalog /Pages 5 0 R >>");
    out.push_back({"IndirectLength", w.Build(), {"GB 50016-2014"}});
  }
  {
    PdfWriter w;
    w.Pages({});
    const int font = w.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const int stream = w.AddStream("", kCitation, std::string("7"));
    const int page =
        w.Add("<< /Type /Page /Parent 2 0 R /Contents " + std::to_string(stream) +
              " 0 R /Resources << /Font << /F1 " + std::to_string(font) + " 0 R >> >> >>");
    w.Replace(2, "<< /Type /Pages /Kids [" + std::to_string(page) + " 0 R] /Count 1 >>");
    out.push_back({"LengthThatLies", w.Build(), {"GB 50016-2014"}});
  }
  {
    PdfWriter w;
    w.Pages({Show("(page one)"), "", Show("(page three)")});
    out.push_back({"PagesInOrderEmptyOneKept", w.Build(), {"page one", "", "page three"}});
  }
  return out;
}

std::vector<PdfSample> Filters() {
  const std::string content = kCitation;
  std::string lines;
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    lines += "BT /F1 10 Tf 72 " + std::to_string(760 - 18 * i) + " Td (GB " +
             std::to_string(50000 + i) + "-2014 line " + std::to_string(i) + ") Tj ET\n";
    expected +=
        (i ? "\n" : "") + ("GB " + std::to_string(50000 + i) + "-2014 line " + std::to_string(i));
  }
  return {
      {"Flate", Filtered("/Filter /FlateDecode", ZlibDeflate(lines)), {expected}},
      {"FlatePngPredictors",
       Filtered("/Filter /FlateDecode /DecodeParms << /Predictor 15 /Columns 8 >>",
                ZlibDeflate(PngPredict(lines, 8))),
       {expected}},
      {"FlateTiffPredictor",
       Filtered("/Filter /FlateDecode /DecodeParms << /Predictor 2 /Columns 8 >>",
                ZlibDeflate(TiffPredict(lines, 8))),
       {expected}},
      {"AsciiHex", Filtered("/Filter /ASCIIHexDecode", AsciiHexEncode(content)), {"GB 50016-2014"}},
      {"Ascii85",
       Filtered("/Filter /A85", Ascii85Encode(content + std::string(4, '\0'))),
       {"GB 50016-2014"}},
      {"Lzw", Filtered("/Filter /LZWDecode", LzwEncode(lines)), {expected}},
      {"RunLength",
       Filtered("/Filter /RunLengthDecode", RunLengthEncode(lines + "          ")),
       {expected}},
      {"Ascii85ThenFlate",
       Filtered("/Filter [/ASCII85Decode /FlateDecode] /DecodeParms [null << /Predictor 12 "
                "/Columns 5 >>]",
                Ascii85Encode(ZlibDeflate(PngPredict(content + "     ", 5)))),
       {"GB 50016-2014"}},
  };
}

std::vector<PdfSample> Encodings() {
  auto simple = [](const std::string& encoding) {
    return [encoding](PdfWriter& w) {
      return w.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding " + encoding +
                   " >>");
    };
  };
  const std::string to_unicode = CMapStream(
      "1 begincodespacerange <00> <FF> endcodespacerange\n"
      "4 beginbfchar <01> <5EFA> <02> <7B51> <03> <8BBE8BA1> <20> <0020> endbfchar\n"
      "2 beginbfrange <04> <06> [<9632> <706B> <89C4>] <30> <39> <0030> endbfrange");
  const std::string mixed_space =
      "4 begincodespacerange <00> <7F> <8000> <BFFF> <C00000> <DFFFFF> <E0000000> <FFFFFFFF> "
      "endcodespacerange\n";
  const std::string mixed_encoding = CMapStream(
      mixed_space +
      "4 begincidrange <00> <7F> 0 <8000> <80FF> 200 <C00000> <C000FF> 500 <E0000000> <E00000FF> "
      "800 endcidrange");
  const std::string mixed_unicode = CMapStream(
      mixed_space +
      "4 beginbfchar <41> <0041> <8001> <5EFA> <C00002> <7B51> <E0000003> <8BBE> endbfchar");
  const std::string identity_unicode = CMapStream(
      "1 begincodespacerange <0000> <FFFF> endcodespacerange\n"
      "3 beginbfchar <0001> <0047> <0002> <0042> <0003> <0020> endbfchar\n"
      "1 beginbfrange <0010> <0019> <0030> endbfrange");
  const std::string chinese = "建筑设计防火规范 GB 50016-2014";
  return {
      {"WinAnsiEncoding",
       WithFont(simple("/WinAnsiEncoding"), Show("(\x93GB\x94 caf\xe9 \x80 5)")),
       {"“GB” café € 5"}},
      {"MacRomanEncoding",
       WithFont(simple("/MacRomanEncoding"), Show("(\xd2GB\xd3 caf\x8e)")),
       {"“GB” café"}},
      {"StandardEncoding",
       WithFont(simple("/StandardEncoding"), Show("(`GB' 50016 \xd0 2014)")),
       {"‘GB’ 50016 — 2014"}},
      {"Differences",
       WithFont(simple("<< /Type /Encoding /BaseEncoding /WinAnsiEncoding /Differences [1 /uni5EFA "
                       "/u7B51 /eacute 120 /quotedblleft] >>"),
                Show("(\\001\\002\\003 xGB 50016)")),
       {"建筑é “GB 50016"}},
      {"ToUnicodeCharsAndRanges",
       WithFont(
           [&](PdfWriter& w) {
             return w.Add("<< /Type /Font /Subtype /TrueType /BaseFont /SimSun /ToUnicode " +
                          std::to_string(w.AddStream("", to_unicode)) + " 0 R >>");
           },
           Show("<010203040506203530303136>")),
       {"建筑设计防火规 50016"}},
      {"CodeSpaceOfOneToFourBytes",
       WithFont(
           [&](PdfWriter& w) {
             return Type0(
                 w,
                 std::to_string(w.AddStream("/Type /CMap /CMapName /Test", mixed_encoding)) +
                     " 0 R",
                 mixed_unicode);
           },
           Show("<418001C00002E000000341>")),
       {"A建筑设A"},
       "poppler reads no four-byte code"},
      {"IdentityWithWidths",
       WithFont(
           [&](PdfWriter& w) {
             return Type0(w, "/Identity-H", identity_unicode, "[1 [600 600 250] 16 25 500]");
           },
           Show("<00010002000300150010001000110016>")),
       {"GB 50016"}},
      {"GbkEucH",
       ChineseWith("GBK-EUC-H", Gbk(chinese)),
       {chinese},
       "poppler gives this CMap's one-byte codes as full-width letters and digits"},
      {"GbEucH", ChineseWith("GB-EUC-H", Gbk("建筑设计防火规范")), {"建筑设计防火规范"}},
      {"GbpcEucH", ChineseWith("GBpc-EUC-H", Gbk("建筑设计 GB 50016")), {"建筑设计 GB 50016"}},
      {"GbkpEucH", ChineseWith("GBKp-EUC-H", Gbk(chinese)), {chinese}},
      {"UniGbUcs2H",
       ChineseWith("UniGB-UCS2-H", Utf16(U"建筑设计 GB 50016")),
       {"建筑设计 GB 50016"}},
      {"UniGbUtf16H",
       ChineseWith("UniGB-UTF16-H", Utf16(U"\U00020BB7建筑 GB 50016")),
       {"\xF0\xA0\xAE\xB7建筑 GB 50016"},
       "poppler drops a character past the CID collection (U+20BB7)"},
      {"UniGbUcs2VerticalColumn",
       ChineseWith("UniGB-UCS2-V", Utf16(U"建筑设计防火规范")),
       {"建筑设计防火规范"}},
  };
}

std::vector<PdfSample> Operators() {
  std::vector<PdfSample> out;
  out.push_back(
      {"KerningAndWideGaps",
       OnePage("BT /F1 12 Tf 72 700 Td [(G) 20 (B 500) -10 (16)] TJ 0 -20 Td [(Hello) -600 "
               "(World)] TJ ET"),
       {"GB 50016\nHello World"}});
  out.push_back(
      {"LineOperators",
       OnePage("BT /F1 12 Tf 14 TL 72 700 Td (one) Tj T* (two) Tj (three) ' 2 1 (four) \" "
               "0 -14 TD (five) Tj T* (six) Tj ET"),
       {"one\ntwo\nthree\nfour\nfive\nsix"}});
  out.push_back(
      {"MatricesAndSavedStates",
       OnePage("q 2 0 0 2 0 0 cm BT /F1 6 Tf 36 350 Td (scaled) Tj ET Q BT /F1 12 Tf 1 0 0 "
               "1 72 650 Tm (placed) Tj ET"),
       {"scaled\nplaced"}});
  out.push_back(
      {"SpacingOperators",
       OnePage("BT /F1 12 Tf 72 700 Td 3 Tc (GB50016) Tj 0 Tc 4 Tw 0 -20 Td (GB 50016) Tj "
               "0 Tw 50 Tz 0 -20 Td (narrow text) Tj ET"),
       {"GB50016\nGB 50016\nnarrow text"}});
  out.push_back({"RiseStaysOnTheLine",
                 OnePage("BT /F1 12 Tf 72 700 Td (area m) Tj 4 Ts (2) Tj 0 Ts ( is given) Tj ET"),
                 {"area m2 is given"}});
  out.push_back(
      {"LinesTopDownRunsLeftToRight",
       OnePage("BT /F1 12 Tf 150 650 Td (right) Tj ET BT /F1 12 Tf 72 650 Td (left) Tj ET "
               "BT /F1 12 Tf 72 700 Td (top) Tj ET"),
       {"top\nleft right"}});
  out.push_back({"SpaceThenAFarRunStartsNoLineWithASpace",
                 OnePage("BT /F1 12 Tf 72 700 Td ( ) Tj 200 0 Td (far) Tj ET"),
                 {"far"}});
  out.push_back({"AbuttingRunsJoin",
                 OnePage("BT /F1 12 Tf 72 700 Td (GB 500) Tj (16-2014) Tj ET"),
                 {"GB 50016-2014"}});
  // Two strings spaced wide, the second set into the gaps of the first: one line, letter by
  // letter along it.
  out.push_back(
      {"StringsInterleavedOnOneBaseline",
       OnePage("BT /F1 10 Tf 20 Tc 72 700 Td (ACEGIK) Tj ET BT /F1 10 Tf 20 Tc 85 700 Td "
               "(BDFHJL) Tj ET"),
       {"ABCDEFGHIJKL"},
       "poppler parts letters by the gap between their glyphs, whatever the character spacing"});
  // A bold imitation: the string drawn again a little to the right.
  out.push_back({"StringDrawnTwiceOverItselfCountsOnce",
                 OnePage("BT /F1 12 Tf 72 700 Td (GB 50016-2014) Tj ET BT /F1 12 Tf 72.3 700 "
                         "Td (GB 50016-2014) Tj ET"),
                 {"GB 50016-2014"}});
  out.push_back(
      {"HyphenAtLineEndKept",
       OnePage("BT /F1 12 Tf 72 700 Td (see GB 50010-) Tj 0 -14 Td (2010 for details) Tj ET"),
       {"see GB 50010-\n2010 for details"}});
  {
    PdfWriter w;
    w.Pages({"BT /F1 12 Tf 0 1 -1 0 100 72 Tm (rotated page) Tj ET"}, {}, "/Rotate 90");
    out.push_back({"RotatedPage", w.Build(), {"rotated page"}});
  }
  {
    PdfWriter w;
    const int font = w.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const int self = w.Reserve();
    const int nested =
        w.AddStream("/Type /XObject /Subtype /Form /BBox [0 0 612 792] /Matrix [1 0 0 1 0 -20]",
                    "BT /F9 12 Tf 72 700 Td (nested) Tj ET");
    const std::string form_content = "BT /F9 12 Tf 72 700 Td (in form) Tj ET /Fm2 Do /Self Do";
    w.Replace(self,
              "<< /Type /XObject /Subtype /Form /BBox [0 0 612 792] /Resources << /Font << /F9 " +
                  std::to_string(font) + " 0 R >> /XObject << /Fm2 " + std::to_string(nested) +
                  " 0 R /Self " + std::to_string(self) + " 0 R >> >> /Length " +
                  std::to_string(form_content.size()) + " >>\nstream\n" + form_content +
                  "\nendstream");
    w.Pages({"/Fm1 Do"}, "/XObject << /Fm1 " + std::to_string(self) + " 0 R >>");
    out.push_back({"FormXObjectsNestedAndSelfDrawn", w.Build(), {"in form\nnested"}});
  }
  {
    PdfWriter w;
    const int font = w.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    const int first = w.AddStream("", "BT /F1 12 Tf 72 700 Td");
    const int second = w.AddStream("", "(GB 50016-2014) Tj ET");
    const int page = w.Add("<< /Type /Page /Parent 5 0 R /Contents [" + std::to_string(first) +
                           " 0 R " + std::to_string(second) + " 0 R] >>");
    w.Add("<< /Type /Pages /Kids [" + std::to_string(page) +
          " 0 R] /Count 1 /MediaBox [0 0 612 792] "
          "/Resources << /Font << /F1 " +
          std::to_string(font) + " 0 R >> >> >>");
    w.Pages({});
    w.Replace(w.Root(), "<< /Type /Catalog /Pages 5 0 R >>");
    out.push_back({"ContentArrayInheritedResources", w.Build(), {"GB 50016-2014"}});
  }
  out.push_back({"TableRowsOneLineEach",
                 TablePdf(),
                 {"Structural design note\nNo. Title Standard\n1 Loads GB 50009-2012\n"
                  "2 Steel GB 50017-2017\n3 Timber GB 50005-2017\n4 Concrete GB 50010-2010"}});
  out.push_back({"InlineImageSkipped",
                 OnePage("BI /W 4 /H 1 /BPC 8 /CS /G ID " + std::string(1, '\0') + "ET)(\xff EI " +
                         Show("(after the image)")),
                 {"after the image"}});
  return out;
}

std::vector<PdfSample> Fixtures() {
  const std::vector<std::string> reportlab = {
      "建筑设计防火规范 GB 50016-2014（2018年版）\n"
      "Drawings follow GB/T 50001-2017; loads follow GB 50009-2012.\n"
      "A line that ends with a hyphen-\n"
      "ated word, then JGJ 3-2010 on the next line.\n"
      "Page 1 of 2",
      "制图按 GB/T 50001—2017，抗震按 GB50011-2010(2016年版)\n"
      "CJJ 37-2012\n"
      "GB 50007-2011 and GB 50017-2017\n"
      "Page 2 of 2"};
  const std::vector<std::string> libreoffice = {
      "设计说明\n"
      "1. 本工程消防设计按照《建筑设计防火规范》GB 50016-2014（2018 年版）执行。\n"
      "2. 建筑结构荷载按 GB 50009-2012 取值，抗震设防按 GB 50011-2010(2016 年版)。\n"
      "3. Drawings follow GB/T 50001-2017 and JGJ 3-2010."};
  return {
      {"ReportlabFixture", PdfFixture("reportlab.pdf"), reportlab},
      {"ReportlabRc4Fixture",
       PdfFixture("reportlab-rc4.pdf"),
       reportlab,
       {},
       "poppler loses the Chinese font of this file, whose strings reportlab left in clear"},
      {"Rc4Of40BitsFixture", PdfFixture("rc4-40.pdf"), reportlab},
      {"Rc4Of128BitsFixture", PdfFixture("rc4-128.pdf"), reportlab},
      {"Aes128Fixture", PdfFixture("aes-128.pdf"), reportlab},
      {"Aes256Fixture", PdfFixture("aes-256.pdf"), reportlab},
      {"LibreOfficeFixture", PdfFixture("libreoffice.pdf"), libreoffice},
      {"LibreOfficeObjectStreamsFixture", PdfFixture("libreoffice-object-streams.pdf"),
       libreoffice},
  };
}

}  // namespace

void PrintTo(const PdfSample& sample, std::ostream* os) { *os << sample.name; }

std::string PdfFixture(const std::string& name) {
  std::ifstream in(std::string(KELVARO_TEST_DATA_DIR) + "/pdf/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string TablePdf() {
  const std::vector<std::vector<std::string>> columns = {
      {"No.", "1", "2", "3", "4"},
      {"Title", "Loads", "Steel", "Timber", "Concrete"},
      {"Standard", "GB 50009-2012", "GB 50017-2017", "GB 50005-2017", "GB 50010-2010"}};
  const int left[] = {72, 110, 330};
  std::string content = "BT /F1 14 Tf 72 750 Td (Structural design note) Tj ET\n";
  for (std::size_t c = 0; c < columns.size(); ++c) {
    for (std::size_t r = 0; r < columns[c].size(); ++r) {
      content += "BT /F1 10 Tf " + std::to_string(left[c]) + " " + std::to_string(700 - 20 * r) +
                 " Td (" + columns[c][r] + ") Tj ET\n";
    }
  }
  PdfWriter w;
  w.Pages({content});
  return w.Build();
}

std::string FormFanOutPdf(int fan, int depth, const std::vector<std::string>& contents,
                          bool show_x) {
  PdfWriter w;
  const int font = w.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  int next = 0;
  for (int level = 0; level < depth; ++level) {
    std::string content = show_x ? "BT /F1 1 Tf 0 0 Td (x) Tj ET " : "";
    for (int i = 0; i < fan && next; ++i) content += "/N Do ";
    const std::string resources =
        "/Resources << /Font << /F1 " + std::to_string(font) + " 0 R >>" +
        (next ? " /XObject << /N " + std::to_string(next) + " 0 R >>" : "") + " >>";
    next = w.AddStream("/Type /XObject /Subtype /Form /BBox [0 0 10 10] " + resources, content);
  }
  w.Pages(contents, "/Font << /F1 " + std::to_string(font) + " 0 R >> /XObject << /Top " +
                        std::to_string(next) + " 0 R >>");
  return w.Build();
}

std::vector<PdfSample> PdfSamples() {
  std::vector<PdfSample> all;
  for (auto part : {Structure(), Filters(), Encodings(), Operators(), Fixtures()}) {
    for (PdfSample& sample : part) all.push_back(std::move(sample));
  }
  return all;
}

}  // namespace kelvaro::test
