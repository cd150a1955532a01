// Hostile input: files that are not number lists, speed texts past the 32-bit range,
// numbers of 10,000 bytes, lone GBK lead bytes at the end, pages with 500,000 row
// markers. Nothing may crash, overflow, hang or grow without bound.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <ostream>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch_runner.h"
#include "batch/lock_registry.h"
#include "batch/message_pump.h"
#include "platform/files.h"
#include "query/batch_query.h"
#include "query/number.h"
#include "rows/import.h"
#include "rows/row_store.h"
#include "rows/verdicts.h"
#include "site/national_site.h"
#include "support/literal_parser.h"
#include "support/named_case.h"
#include "support/temp_dir.h"
#include "text/encoding.h"
#include "text/text.h"

namespace kelvaro {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

using kelvaro::test::TempDir;

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  ASSERT_TRUE(out.good());
}

// Ordinals from 1 and empty result columns on every row.
void ExpectImportedShape(RowStore& table) {
  int ordinal = 1;
  for (const auto& row : table.Snapshot()) {
    ASSERT_EQ(row.cells[0], std::to_string(ordinal++));
    for (int column = 2; column < kColumnCount; ++column) ASSERT_EQ(row.cells[column], "");
  }
}

// ---- Files -------------------------------------------------------------------------

TEST(HostileImport, NoiseWithoutZeroBytesKeepsEveryLine) {
  std::mt19937 random(20261208);
  std::string noise;
  for (int i = 0; i < 8192; ++i) noise += static_cast<char>(random() % 255 + 1);
  const std::string bytes = "GB/T50001-2010\r\n" + noise + "\r\nGB/T1-2010\r\nGB/T2-2010\r\n";

  TempDir dir;
  const std::string path = dir.File("binary.bin");
  WriteFile(path, bytes);
  RowStore table;
  table.AppendRow("old");
  ImportError error;
  ASSERT_TRUE(ImportNumbersFromFile(table, path, &error));
  ASSERT_GE(table.RowCount(), 4);
  ExpectImportedShape(table);
  const int n = table.RowCount();
  EXPECT_EQ(table.GetCellText(0, 1), "GB/T50001-2010");
  EXPECT_EQ(table.GetCellText(n - 2, 1), "GB/T1-2010") << "rows after the noise were lost";
  EXPECT_EQ(table.GetCellText(n - 1, 1), "GB/T2-2010");
}

TEST(HostileImport, ZeroBytesMakeAFileNoTextAndKeepTheTable) {
  TempDir dir;
  const std::string path = dir.File("zeros.bin");
  WriteFile(path, std::string(1 << 16, '\0') + "GB/T50001-2010\r\n");
  RowStore table;
  table.AppendRow("old");
  ImportError error;
  EXPECT_FALSE(ImportNumbersFromFile(table, path, &error));
  EXPECT_EQ(ImportErrorWords(error), "不是文本文件");
  ASSERT_EQ(table.RowCount(), 1);
  EXPECT_EQ(table.GetCellText(0, 0), "old");
}

long PeakRssKiB() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(HostileImport, TwoHundredMegabyteFile) {
  // Two million lines of 100 bytes: a standard number padded with spaces and letters.
  constexpr int kLines = 2'000'000;
  std::string line = "GB/T 50001-2010";
  line += std::string(100 - 2 - line.size() - 1, ' ') + "Z";
  line += "\r\n";
  ASSERT_EQ(line.size(), 100u);
  TempDir dir;
  const std::string path = dir.File("large.txt");
  {
    std::ofstream out(path, std::ios::binary);
    std::string block;
    for (int i = 0; i < 10'000; ++i) block += line;
    for (int i = 0; i < kLines / 10'000; ++i) {
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    ASSERT_TRUE(out.good());
  }
  ASSERT_EQ(fs::file_size(path), 200'000'000u);

  const long rss_before = PeakRssKiB();
  const auto start = Clock::now();
  RowStore table;
  ASSERT_TRUE(ImportNumbersFromFile(table, path));
  const auto seconds = std::chrono::duration<double>(Clock::now() - start).count();
  ASSERT_EQ(table.RowCount(), kLines);
  EXPECT_EQ(table.GetCellText(0, 1), line.substr(0, 98));
  EXPECT_EQ(table.GetCellText(kLines - 1, 0), std::to_string(kLines));
  EXPECT_EQ(table.GetCellText(kLines - 1, 1), line.substr(0, 98));
  RecordProperty("import_seconds", std::to_string(seconds));
  RecordProperty("peak_rss_growth_mib", std::to_string((PeakRssKiB() - rss_before) / 1024));
  std::printf("200 MB import: %.2f s, peak RSS grew by %ld MiB\n", seconds,
              (PeakRssKiB() - rss_before) / 1024);
}

TEST(HostileImport, SingleTenMegabyteLine) {
  // Numbers without years: no citation, so the line is one row as it stands.
  std::string big;
  big.reserve(10u << 20);
  for (int i = 0; big.size() < (10u << 20); ++i) big += "N" + std::to_string(i) + "-x ";
  // One line, no break at all; then the same line followed by a short one.
  RowStore table;
  EXPECT_EQ(ImportNumbersFromBytes(table, B(big)), 1);
  EXPECT_EQ(table.GetCellText(0, 1), big);

  RowStore second;
  EXPECT_EQ(ImportNumbersFromBytes(second, B(big + "\r\nGB/T50001-2010")), 2);
  EXPECT_EQ(second.GetCellText(0, 1), big);
  EXPECT_EQ(second.GetCellText(1, 1), "GB/T50001-2010");
  ExpectImportedShape(second);

  // A 10 MB line of Chinese text converts to GBK whole.
  std::string chinese;
  while (chinese.size() < (10u << 20)) chinese += "国家标准";
  RowStore third;
  EXPECT_EQ(ImportNumbersFromBytes(third, B(chinese)), 1);
  EXPECT_EQ(third.GetCellText(0, 1).size(), chinese.size() / 3 * 2);
}

TEST(HostileImport, FileRemovedBeforeTheReadKeepsTheRowsAndGivesAReason) {
  TempDir dir;
  const std::string path = dir.File("chosen.txt");
  WriteFile(path, "GB/T50001-2010\r\n");
  RowStore table;
  ASSERT_TRUE(ImportNumbersFromFile(table, path));
  ASSERT_EQ(table.RowCount(), 1);
  // Chosen in the dialog, gone before the read.
  ASSERT_EQ(std::remove(path.c_str()), 0);
  ImportError error;
  EXPECT_FALSE(ImportNumbersFromFile(table, path, &error));
  EXPECT_EQ(table.RowCount(), 1);
  EXPECT_FALSE(ImportErrorWords(error).empty());
  Bytes bytes = B("stale");
  std::string reason;
  EXPECT_FALSE(platform::ReadWholeFile(path, bytes, reason));
  EXPECT_TRUE(bytes.empty());
  EXPECT_FALSE(reason.empty());
  // A directory where a file was expected fails the same way.
  EXPECT_FALSE(ImportNumbersFromFile(table, fs::temp_directory_path().string(), &error));
  EXPECT_EQ(table.RowCount(), 1);
}

// Files that never end or would block the read: refused at once, the table left as it was.
TEST(HostileImport, EndlessOrBlockingFilesAreRefused) {
  TempDir dir;
  const std::string fifo = dir.File("numbers.fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    SCOPED_TRACE(path);
    RowStore table;
    table.AppendRow("1");
    ImportError error;
    EXPECT_FALSE(ImportNumbersFromFile(table, path, &error));
    EXPECT_EQ(table.RowCount(), 1);
    EXPECT_FALSE(ImportErrorWords(error).empty());
  }
}

class HostileImportCrLf : public ::testing::TestWithParam<int> {};

TEST_P(HostileImportCrLf, OnlyLineBreaksGiveThatManyEmptyRows) {
  const int pairs = GetParam();
  std::string bytes;
  for (int i = 0; i < pairs; ++i) bytes += "\r\n";
  TempDir dir;
  const std::string path = dir.File("crlf.txt");
  WriteFile(path, bytes);
  RowStore table;
  ASSERT_TRUE(ImportNumbersFromFile(table, path));
  ASSERT_EQ(table.RowCount(), pairs);
  ExpectImportedShape(table);
  for (const auto& row : table.Snapshot()) ASSERT_EQ(row.cells[1], "");
}

INSTANTIATE_TEST_SUITE_P(Counts, HostileImportCrLf, ::testing::Values(1, 2, 3, 1000, 200000));

// ---- Numbers -----------------------------------------------------------------------

struct IntegerCase {
  const char* name;
  std::string text;  // GBK
  int value;
};
KELVARO_PRINT_CASES_BY_NAME()

class HostileTextToInteger : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(HostileTextToInteger, SaturatesWithoutOverflow) {
  EXPECT_EQ(TextToInteger(GetParam().text), GetParam().value);
}

std::string FullWidth(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += '\xA3';
    out += static_cast<char>(static_cast<unsigned char>(c) + 0x80);
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HostileTextToInteger,
    ::testing::Values(
        IntegerCase{"Eleven_nines", "99999999999", INT_MAX},
        IntegerCase{"JustBelowMin", "-2147483649", INT_MIN},
        IntegerCase{"FullWidthMaxPlusOne", FullWidth("2147483648"), INT_MAX},
        IntegerCase{"FullWidthMinusMinMinusOne", FullWidth("-2147483649"), INT_MIN},
        IntegerCase{"Max", "2147483647", INT_MAX}, IntegerCase{"MaxPlusOne", "2147483648", INT_MAX},
        IntegerCase{"Min", "-2147483648", INT_MIN},
        IntegerCase{"TenThousandDigits", std::string(10000, '9'), INT_MAX},
        IntegerCase{"NegativeTenThousandDigits", "-" + std::string(10000, '8'), INT_MIN},
        IntegerCase{"LeadingZeros", "+" + std::string(10000, '0') + "42x", 42},
        IntegerCase{"FullWidthSpacesThenDigits", "\xA1\xA1\xA1\xA1" + FullWidth("123"), 123},
        IntegerCase{"DigitsThenLoneLead", "2010\x81", 2010}, IntegerCase{"LoneLeadOnly", "\x81", 0},
        IntegerCase{"LoneFullWidthLead", "\xA3", 0}, IntegerCase{"SignOnly", "-", 0},
        IntegerCase{"LowercaseHex", "0x7fffffff", 0}),
    test::CaseName());

TEST(HostileNumbers, TenThousandByteNumbersCleanAndClassify) {
  const std::string digits(9990, '5');
  Text number = "GB/T " + digits + "-2010";
  const Text keyword = NormalizeNumber(number);
  EXPECT_EQ(number, "GBT" + digits + "2010");
  EXPECT_EQ(keyword, "GBT" + digits);

  // Every removable character and both spaces, 10,000 times over, clean to nothing.
  std::string junk;
  while (junk.size() < 10000) junk += "/\\|*?:,.-\" \xA1\xA1";
  Text all_removable = junk;
  EXPECT_EQ(CleanNumber(all_removable), "");
  EXPECT_EQ(all_removable, "");
  Text also = junk;
  EXPECT_EQ(NormalizeNumber(also), "");

  const Text own = "GBT" + digits + "2010";
  EXPECT_EQ(ClassifyStatus("GB/T " + digits + "-2010", own), Verdict::kCurrent);
  EXPECT_EQ(ClassifyStatus("GB/T " + digits + "-2017", own), Verdict::kSuperseded);
  EXPECT_EQ(ClassifyStatus("GB/T " + digits + "-2001", own), Verdict::kNotListed);
  EXPECT_EQ(ClassifyStatus(std::string(10000, '9'), own), Verdict::kSuperseded);
  EXPECT_EQ(ClassifyStatus(std::string(10000, ' '), own), Verdict::kNotListed);
  EXPECT_EQ(ClassifyStatus("", std::string(10000, '9')), Verdict::kNotListed);
}

struct LeadByteCase {
  const char* name;
  Text number;
  Text cleaned;
  Text keyword;
};

class HostileLoneLeadByte : public ::testing::TestWithParam<LeadByteCase> {};

TEST_P(HostileLoneLeadByte, CleaningKeepsCharactersWholeAndStaysInBounds) {
  const LeadByteCase& c = GetParam();
  Text number = c.number;
  EXPECT_EQ(CleanNumber(number), c.cleaned);
  EXPECT_EQ(number, c.cleaned);
  Text again = c.number;
  const Text keyword = NormalizeNumber(again);
  EXPECT_EQ(again, c.cleaned);
  EXPECT_EQ(keyword, c.keyword);
  // Classification on such tails answers with one of the three words.
  const Verdict status = ClassifyStatus(c.number, c.cleaned);
  EXPECT_NE(status, Verdict::kNone);
  EXPECT_EQ(ClassifyStatus(c.cleaned, c.cleaned), Verdict::kCurrent);
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, HostileLoneLeadByte,
    // A lead byte after the year leaves no year: the whole cleaned number is the keyword.
    ::testing::Values(
        LeadByteCase{"AfterYear", "GB/T50001-2010\x81", "GBT500012010\x81", "GBT500012010\x81"},
        LeadByteCase{"Alone", "\x81", "\x81", ""},
        LeadByteCase{"AfterSpace", "GB \xFE", "GB\xFE", ""},
        // A character whose second byte is the backslash or "|" is not cut.
        LeadByteCase{"TrailBackslash", "\x81\x5C/\x81\x7C-2010\xB1",
                     "\x81\x5C\x81\x7C"
                     "2010\xB1",
                     "\x81\x5C\x81\x7C"
                     "2010\xB1"},
        LeadByteCase{"YearAfterTrailBytes", "\x81\x5C/\x81\x7C-2010",
                     "\x81\x5C\x81\x7C"
                     "2010",
                     "\x81\x5C\x81\x7C"},
        LeadByteCase{"FullWidthSpaceThenLead", "GB\xA1\xA1\xA3", "GB\xA3", ""},
        LeadByteCase{"TenThousandLeads", Text(10000, '\xB1') + "\x81", Text(10000, '\xB1') + "\x81",
                     Text(10000, '\xB1') + "\x81"},
        LeadByteCase{"LongNumberThenLead", "GB/T " + std::string(9990, '3') + "-2010\xA3",
                     "GBT" + std::string(9990, '3') + "2010\xA3",
                     "GBT" + std::string(9990, '3') + "2010\xA3"}),
    test::CaseName());

// ---- Pages ---------------------------------------------------------------------------

const Text kRowMarker = "<tr bgcolor=\"#ffffff\">";

Text CurrentRow(const Text& number, const Text& title) {
  return kRowMarker + "<td>" + Gbk(u8"编号：") + number + "&nbsp;</td><td>" + Gbk(u8"标题：") +
         title + "&nbsp;</td><td>" + Gbk(u8"发布日期：") + "2017-01-01&nbsp;</td><td>" +
         Gbk(u8"发布部门：") + Gbk(u8"住房和城乡建设部") + "&nbsp;</td>" + kCurrentCell + "</tr>";
}

// Pages with `markers` row markers laid out in several hostile ways.
std::vector<std::pair<std::string, Text>> MarkerPages(int markers) {
  std::vector<std::pair<std::string, Text>> pages;
  Text bare;
  Text rows;
  Text with_fields;
  for (int i = 0; i < markers; ++i) {
    bare += "<tr bgcolor=";
    rows += kRowMarker + "<td>x</td></tr>";
    with_fields +=
        kRowMarker + "<td>" + Gbk(u8"编号：") + "OLD " + std::to_string(i) + "&nbsp;</td></tr>";
  }
  const Text current = CurrentRow("GB/T 50001-2017", Gbk(u8"建筑制图标准"));
  pages.emplace_back("BareMarkersNoCell", bare);
  pages.emplace_back("BareMarkersThenRow", bare + current);
  pages.emplace_back("RowsThenCurrentRow", rows + current);
  pages.emplace_back("FieldRowsThenCurrentRow", with_fields + current);
  pages.emplace_back("CurrentRowThenRows", current + rows);
  pages.emplace_back("RowsCellInTheMiddle", rows + kCurrentCell + rows + current);
  pages.emplace_back("MarkersEndingInLoneLead", rows + current + "\x81");
  pages.emplace_back("LeadBytesSwallowMarkers", [&] {
    Text page;
    for (int i = 0; i < markers; ++i) page += "\x81" + kRowMarker + "<td>x</td></tr>";
    return page + current;
  }());
  pages.emplace_back("MarkersWithGbkBetween", [&] {
    Text page;
    for (int i = 0; i < markers; ++i) page += "\xB1\x3C" + kRowMarker;
    return page + current;
  }());
  return pages;
}

TEST(HostilePage, FiveHundredThousandRowMarkers) {
  for (const auto& [name, page] : MarkerPages(500'000)) {
    SCOPED_TRACE(name);
    const auto start = Clock::now();
    const CurrentStandardRecord record = ParseResultPage(page);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));  // liveness, not speed
    if (name == "BareMarkersNoCell") {
      EXPECT_EQ(record.status, kRecordNotFound);
      EXPECT_EQ(record.number, "");
    } else if (name == "CurrentRowThenRows" || name == "RowsThenCurrentRow" ||
               name == "FieldRowsThenCurrentRow" || name == "BareMarkersThenRow" ||
               name == "MarkersEndingInLoneLead" || name == "MarkersWithGbkBetween" ||
               name == "LeadBytesSwallowMarkers") {
      EXPECT_EQ(record.status, kRecordCurrent);
      EXPECT_EQ(record.number, "GB/T 50001-2017");
      EXPECT_EQ(record.title, Gbk(u8"建筑制图标准"));
      EXPECT_EQ(record.release_date, "2017-01-01");
    } else {
      // The first current cell closes a row that holds no fields.
      EXPECT_EQ(record.status, kRecordCurrent);
      EXPECT_EQ(record.number, "");
    }
  }
}

TEST(HostilePage, LinearParserAgreesWithTheLiteralOneOnSmallerPages) {
  for (int markers : {0, 1, 2, 17, 300, 5000}) {
    for (const auto& [name, page] : MarkerPages(markers)) {
      SCOPED_TRACE(name + " x" + std::to_string(markers));
      const CurrentStandardRecord fast = ParseResultPage(page);
      const CurrentStandardRecord literal = test::ParseResultPageLiteral(page);
      EXPECT_EQ(fast.status, literal.status);
      EXPECT_EQ(fast.number, literal.number);
      EXPECT_EQ(fast.title, literal.title);
      EXPECT_EQ(fast.release_date, literal.release_date);
      EXPECT_EQ(fast.department, literal.department);
    }
  }
}

}  // namespace
}  // namespace kelvaro
