// The Word and Excel 97-2003 readers compared with readers written by others (antiword,
// catdoc, xls2csv): the same text modulo whitespace, the same text cells. Skipped where a tool
// is missing, except in CI, where scripts/install-deps installs them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <tuple>

#include "document/readers/read_document.h"
#include "support/binary_office_builder.h"
#include "support/named_case.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace kelvaro {
namespace {

KELVARO_PRINT_CASES_BY_NAME()

std::string Fixture(const std::string& name) {
  return std::string(KELVARO_TEST_DATA_DIR) + "/binary_office/" + name;
}

Bytes ReadBytes(const std::string& path) {
  const std::string s = test::ReadWholeFile(path);
  return Bytes(s.begin(), s.end());
}

bool HaveTool(const std::string& path) {
  if (std::filesystem::exists(path)) return true;
  if (std::getenv("CI") != nullptr) ADD_FAILURE() << path << " is missing in CI";
  return false;
}

std::string WithoutSpace(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\f' && c != '\v') out += c;
  }
  return out;
}

struct ToolCase {
  std::string name;
  std::vector<std::string> command;  // the file's path is added at the end
};

class DocDifferentialTest : public testing::TestWithParam<ToolCase> {};

TEST_P(DocDifferentialTest, SameTextModuloWhitespace) {
  if (!HaveTool(GetParam().command[0])) GTEST_SKIP() << GetParam().command[0] << " not installed";
  const std::string path = Fixture("plain_note.doc");
  std::vector<TextPiece> pieces;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(ReadDocument(ReadBytes(path), DocumentKind::kDoc, pieces, error))
      << DocumentErrorWords(error);
  std::string ours;
  for (const TextPiece& p : pieces) ours += p.text;
  std::vector<std::string> argv = GetParam().command;
  argv.push_back(path);
  const test::ProcessResult run = test::RunProcess(argv);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(WithoutSpace(ours), WithoutSpace(run.out));
  EXPECT_GT(ours.size(), 20000u);
}

INSTANTIATE_TEST_SUITE_P(
    Tools, DocDifferentialTest,
    testing::Values(ToolCase{"Antiword", {"/usr/bin/antiword", "-m", "UTF-8.txt"}},
                    ToolCase{"Catdoc", {"/usr/bin/catdoc", "-d", "utf-8", "-w"}}),
    test::CaseName());

// (sheet number, row, column) -> text of the cells that are not numbers.
using Cells = std::map<std::tuple<int, int, int>, std::string>;

bool IsNumber(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789.-E+") == std::string::npos;
}

// xls2csv's output: sheets end with a form feed, cells quoted with doubled quotes inside.
Cells FromCsv(const std::string& csv) {
  Cells cells;
  int sheet = 1, row = 1, column = 1;
  std::string cell;
  bool quoted = false;
  auto end_cell = [&] {
    if (!cell.empty() && !IsNumber(cell)) cells[{sheet, row, column}] = cell;
    cell.clear();
  };
  for (std::size_t i = 0; i < csv.size(); ++i) {
    const char c = csv[i];
    if (quoted) {
      if (c == '"' && i + 1 < csv.size() && csv[i + 1] == '"') {
        cell += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      end_cell();
      ++column;
    } else if (c == '\n') {
      end_cell();
      ++row;
      column = 1;
    } else if (c == '\f') {
      ++sheet;
      row = 1;
      column = 1;
    } else {
      cell += c;
    }
  }
  return cells;
}

Cells FromPieces(const std::vector<TextPiece>& pieces) {
  Cells cells;
  int sheet = 0;
  std::string last;
  for (const TextPiece& p : pieces) {
    if (sheet == 0 || p.location.sheet != last) ++sheet;
    last = p.location.sheet;
    if (!IsNumber(p.text)) cells[{sheet, p.location.row, p.location.column}] = p.text;
  }
  return cells;
}

Bytes BuiltWorkbook() {
  std::vector<std::u16string> strings;
  std::string records;
  for (int i = 0; i < 50; ++i) {
    std::u16string s = u"GB " + std::u16string(1, static_cast<char16_t>(u'0' + i % 10)) +
                       u" 标准 résumé " + std::u16string(static_cast<std::size_t>(i), u'x');
    strings.push_back(s);
    std::string cell = test::XlsCell(static_cast<std::uint16_t>(i), 1);
    cell += static_cast<char>(i);
    cell += std::string(3, '\0');
    records += test::BiffRecord(0x00FD, cell);
  }
  return test::BuildXls(test::SstRecords(strings, 100), {{u"S", records}});
}

struct WorkbookCase {
  std::string name;
  std::function<Bytes()> bytes;
};

class XlsDifferentialTest : public testing::TestWithParam<WorkbookCase> {};

TEST_P(XlsDifferentialTest, SameTextCellsAsXls2csv) {
  if (!HaveTool("/usr/bin/xls2csv")) GTEST_SKIP() << "xls2csv not installed";
  const Bytes bytes = GetParam().bytes();
  test::TempDir dir;
  const std::string path = dir.File("book.xls");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  std::vector<TextPiece> pieces;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(ReadDocument(bytes, DocumentKind::kXls, pieces, error)) << DocumentErrorWords(error);
  const test::ProcessResult run = test::RunProcess({"/usr/bin/xls2csv", "-d", "utf-8", path});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const Cells ours = FromPieces(pieces);
  EXPECT_EQ(ours, FromCsv(run.out));
  EXPECT_GE(ours.size(), 50u);
}

INSTANTIATE_TEST_SUITE_P(
    Workbooks, XlsDifferentialTest,
    testing::Values(WorkbookCase{"LibreOffice",
                                 [] { return ReadBytes(Fixture("standards_list.xls")); }},
                    WorkbookCase{"StringsSplitAcrossContinueRecords", BuiltWorkbook}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
