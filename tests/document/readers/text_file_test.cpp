#include <gtest/gtest.h>

#include <string>

#include "document/readers/pieces.h"
#include "document/readers/read_document.h"
#include "support/named_case.h"
#include "support/zip_builder.h"

namespace kelvaro {
namespace {

struct DecodeCase {
  std::string name;
  std::string bytes;
  std::string utf8;
};
KELVARO_PRINT_CASES_BY_NAME()

class DecodeTextFileTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTextFileTest, GivesUtf8) {
  EXPECT_EQ(DecodeTextFile(test::AsBytes(GetParam().bytes)), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, DecodeTextFileTest,
    testing::Values(
        DecodeCase{"Utf8", "GB 50016 标准", "GB 50016 标准"},
        DecodeCase{"Utf8ByteOrderMarkDropped", "\xEF\xBB\xBF标准", "标准"},
        DecodeCase{"Utf16LittleEndian", std::string("\xFF\xFE\x07\x68\x47\x00", 6), "标G"},
        DecodeCase{"Utf16BigEndian", std::string("\xFE\xFF\x68\x07\x00\x47", 6), "标G"},
        DecodeCase{"Utf16Pair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6), "\xF0\x9F\x98\x80"},
        DecodeCase{"Utf16LoneSurrogateZeroAndOddByte",
                   std::string("\xFF\xFE\x00\xD8\x41\x00\x00\x00\x42", 9), "?A??"},
        DecodeCase{"Gbk", "GB \xB1\xEA\xD7\xBC", "GB 标准"},
        DecodeCase{"InvalidBothWays", "ok \xFF\xFF \xC3", "ok ?? ?"},
        DecodeCase{"LoneGbkLeadAtTheEnd", "\xB1\xEA\xB1", "??"},
        // A stray zero byte is one "?", whatever the rest is.
        DecodeCase{"StrayZeroInGbk", std::string("GB 50016\0 \xB1\xEA\xD7\xBC", 14),
                   "GB 50016? 标准"},
        DecodeCase{"StrayZeroInUtf8", std::string("标准\0GB 1", 11), "标准?GB 1"},
        DecodeCase{"Utf16LittleEndianWithoutMark",
                   std::string("G\0B\0 \0" "1\0 \0\x07\x68", 12), "GB 1 标"},
        DecodeCase{"Utf16BigEndianWithoutMark",
                   std::string("\0G\0B\0 \0" "1\0 \x68\x07", 12), "GB 1 标"},
        DecodeCase{"MaximalSubpartOnce", "x\xE6\xA0y\xFF", "x?y?"},
        DecodeCase{"RealReplacementCharacterKept", "\xEF\xBF\xBD", "\xEF\xBF\xBD"},
        DecodeCase{"InvalidAfterByteOrderMark", "\xEF\xBB\xBF\xB1\xEA", "??"},
        // Valid GBK byte for byte, yet UTF-8 with one sequence cut short.
        DecodeCase{"Utf8WithACutSequence", "房屋 GB/T 50002-2010\n\xE6\x88\n",
                   "房屋 GB/T 50002-2010\n?\n"},
        DecodeCase{"Utf8WithTwoCutsInFourCharacters", "\xE6\x88标准\n规范\xE5\xBB", "?标准\n规范?"},
        // GBK whose bytes hold a valid UTF-8 sequence: 变 化 = B1 | E4 BB AF, 房 屋 = B7 BF | CE
        // DD.
        DecodeCase{"GbkHoldingAThreeByteSequence", "GB 1 \xB1\xE4\xBB\xAF", "GB 1 变化"},
        DecodeCase{"GbkHoldingATwoByteSequence", "\xB7\xBF\xCE\xDD GB 1", "房屋 GB 1"},
        DecodeCase{"GbkTitles",
                   "GB 50016-2014 \xBD\xA8\xD6\xFE\xC9\xE8\xBC\xC6\xB7\xC0\xBB\xF0"
                   "\xB9\xE6\xB7\xB6\r\n",
                   "GB 50016-2014 建筑设计防火规范\r\n"}),
    test::CaseName());

struct ReadCase {
  std::string name;
  DocumentKind kind;
  std::string bytes;
  std::string expected;
};

class PlainReadTest : public testing::TestWithParam<ReadCase> {};

TEST_P(PlainReadTest, GivesLinesOrCells) {
  EXPECT_EQ(test::Read(test::AsBytes(GetParam().bytes), GetParam().kind), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Text, PlainReadTest,
                         testing::Values(ReadCase{"LinesCountedEmptyOnesGiveNoPiece",
                                                  DocumentKind::kText, "GB 1\r\n\nGB 2\rx\nlast",
                                                  "第 1 行=GB 1;第 3 行=GB 2\rx;第 4 行=last;"},
                                         ReadCase{"FinalLineEndAndCarriageReturn",
                                                  DocumentKind::kText, "a\r\nb\r",
                                                  "第 1 行=a;第 2 行=b;"},
                                         ReadCase{"GbkLines", DocumentKind::kText,
                                                  "\xB1\xEA\xD7\xBC\r\n", "第 1 行=标准;"},
                                         ReadCase{"Empty", DocumentKind::kText, "", ""}),
                         test::CaseName());

INSTANTIATE_TEST_SUITE_P(
    Csv, PlainReadTest,
    testing::Values(
        ReadCase{"CommaEmptyCellsGiveNoPiece", DocumentKind::kCsv, "a,,c\r\n\r\n,e\r\n",
                 "第 1 行第 1 列=a;第 1 行第 3 列=c;第 3 行第 2 列=e;"},
        ReadCase{"QuotedFields", DocumentKind::kCsv,
                 "\"GB, 1\",\"say \"\"hi\"\"\",\"two\r\nlines\"\nnext",
                 "第 1 行第 1 列=GB, 1;第 1 行第 2 列=say \"hi\";第 1 行第 3 列=two\nlines;"
                 "第 2 行第 1 列=next;"},
        ReadCase{"SemicolonFromTheFirstLine", DocumentKind::kCsv, "a;b,c;d\ne,f;g",
                 "第 1 行第 1 列=a;第 1 行第 2 列=b,c;第 1 行第 3 列=d;第 2 行第 1 列=e,f;"
                 "第 2 行第 2 列=g;"},
        ReadCase{"TabSeparated", DocumentKind::kCsv, "序号\t待查标准编号\n1\tGB 1",
                 "第 1 行第 1 列=序号;第 1 行第 2 列=待查标准编号;第 2 行第 1 列=1;"
                 "第 2 行第 2 列=GB 1;"},
        ReadCase{"SeparatorInsideQuotesOfTheFirstLineNotCounted", DocumentKind::kCsv,
                 "\"a;b;c\",d\n", "第 1 行第 1 列=a;b;c;第 1 行第 2 列=d;"},
        ReadCase{"GbkCells", DocumentKind::kCsv, "\xB1\xEA,\xD7\xBC",
                 "第 1 行第 1 列=标;第 1 行第 2 列=准;"},
        ReadCase{"QuoteLeftOpen", DocumentKind::kCsv, "a,\"open\nend",
                 "第 1 行第 1 列=a;第 1 行第 2 列=open\nend;"},
        ReadCase{"TextAfterTheClosingQuoteKept", DocumentKind::kCsv, "\"a\"b,c",
                 "第 1 行第 1 列=ab;第 1 行第 2 列=c;"}),
    test::CaseName());

struct KindCase {
  std::string name;
  std::string path;
  DocumentKind kind;
};

class DocumentKindOfTest : public testing::TestWithParam<KindCase> {};

TEST_P(DocumentKindOfTest, GoesByTheExtension) {
  EXPECT_EQ(DocumentKindOf(GetParam().path), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, DocumentKindOfTest,
    testing::Values(KindCase{"Docx", "C:\\设计\\说明.DOCX", DocumentKind::kDocx},
                    KindCase{"Docm", "a.docm", DocumentKind::kDocx},
                    KindCase{"Xlsx", "/home/x/标准清单.Xlsx", DocumentKind::kXlsx},
                    KindCase{"Xlsm", "b.xlsm", DocumentKind::kXlsx},
                    KindCase{"Csv", "list.csv", DocumentKind::kCsv},
                    KindCase{"Pdf", "report.PDF", DocumentKind::kPdf},
                    KindCase{"Txt", "numbers.txt", DocumentKind::kText},
                    KindCase{"OldWord", "old.doc", DocumentKind::kDoc},
                    KindCase{"OldExcel", "old.XLS", DocumentKind::kXls},
                    KindCase{"OldWps", "old.wps", DocumentKind::kWps},
                    KindCase{"OldPowerPoint", "old.ppt", DocumentKind::kPpt},
                    KindCase{"NoExtension", "README", DocumentKind::kText},
                    KindCase{"DotInFolderOnly", "dir.docx/readme", DocumentKind::kText}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
