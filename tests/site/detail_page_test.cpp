#include "site/detail_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/named_case.h"
#include "text/encoding.h"

namespace kelvaro {
namespace {

struct DetailCase {
  const char* name;
  std::string page;  // UTF-8, made GBK for the reader
  bool labelled;
  std::vector<std::string> replaced_by;
};
KELVARO_PRINT_CASES_BY_NAME()

class DetailPageTest : public ::testing::TestWithParam<DetailCase> {};

TEST_P(DetailPageTest, ReadsTheSuccessorsItNames) {
  const DetailCase& c = GetParam();
  const DetailRecords got = ReadDetailPage(Utf8ToGbk(c.page));
  EXPECT_EQ(got.labelled, c.labelled);
  std::vector<std::string> named;
  for (const Text& number : got.replaced_by) named.push_back(GbkToUtf8(number));
  EXPECT_EQ(named, c.replaced_by);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, DetailPageTest,
    ::testing::Values(
        DetailCase{"InAStrongLabel",
                   "<p><strong>替代情况：</strong>被GB 50016-2014代替</p>",
                   true,
                   {"GB 50016-2014"}},
        DetailCase{"InASpanLabel",
                   "<span class=\"sh14\">替代情况：</span><span>被 GB 50016-2014 代替</span><br>",
                   true,
                   {"GB 50016-2014"}},
        // The label in a cell of its own, the statements in the next.
        DetailCase{"LabelCellThenItsText",
                   "<tr><td><strong>替代情况：</strong></td>\n<td>被GB 50016-2014代替;"
                   "代替GB 50045-95;GBJ 16-87</td></tr><tr><td>被GB 1-2000代替</td></tr>",
                   true,
                   {"GB 50016-2014"}},
        DetailCase{"ReplacesOthersOnly",
                   "<strong>替代情况：</strong>代替GB 50045-95;GBJ 16-87</td>",
                   true,
                   {}},
        DetailCase{"PartlyFromADate",
                   "<strong>替代情况：</strong>自2015-05-01起部分代替GB 50222-95</td>",
                   true,
                   {}},
        DetailCase{"PartlyReplacedIsNoSuccessor",
                   "<strong>替代情况：</strong>被GB 50016-2014部分代替</td>",
                   true,
                   {}},
        DetailCase{"SeveralStatementsWideSemicolonAndEntities",
                   "<strong>替代情况：</strong>&nbsp;代替GB 50045-95；被<a href=\"/d/1.html\">"
                   "GB 50016-2014</a>代替。</td>",
                   true,
                   {"GB 50016-2014"}},
        DetailCase{"EmptyStatement", "<strong>替代情况：</strong></td></tr></table>", true, {}},
        // The label in the page's running text counts only when no tagged one is found.
        DetailCase{"TaggedLabelPreferred",
                   "<p>替代情况：见下</p><strong>替代情况：</strong>被GB 2-2020代替</p>",
                   true,
                   {"GB 2-2020"}},
        DetailCase{"NoLabel", "<html><body>标准详情</body></html>", false, {}},
        DetailCase{"Empty", "", false, {}},
        DetailCase{"TagNeverCloses",
                   "<strong>替代情况：</strong>被GB 1-2000代替<td",
                   true,
                   {"GB 1-2000"}}),
    test::CaseName());

TEST(ReadDetailPage, ARefusalIsToldApart) {
  EXPECT_TRUE(ReadDetailPage(Utf8ToGbk("<html>无权访问</html>")).refused);
  EXPECT_FALSE(ReadDetailPage(Utf8ToGbk("<html>没有找到</html>")).refused);
}

TEST(ReadDetailPage, StopsAtAZeroByte) {
  const Text page = Text("<strong>") + Utf8ToGbk("替代情况：") + Text("</strong>", 9) +
                    Text(1, '\0') + Utf8ToGbk("被GB 1-2000代替");
  const DetailRecords got = ReadDetailPage(page);
  EXPECT_TRUE(got.labelled);
  EXPECT_TRUE(got.replaced_by.empty());
}

// Hostile pages stay linear: a long run of unclosed tags, of entities without their ";", of
// labels, and statements past the length read.
TEST(ReadDetailPage, HostilePagesStayBounded) {
  const Text label = Utf8ToGbk("<strong>替代情况：</strong>");
  const std::vector<Text> pages = {
      label + std::string(4'000'000, '<'),
      label + std::string(4'000'000, '&'),
      [&] {
        Text many;
        for (int i = 0; i < 200'000; ++i) many += label;
        return many;
      }(),
      label + Utf8ToGbk("被") + std::string(1'000'000, 'G') + Utf8ToGbk("代替"),
  };
  for (const Text& page : pages) {
    const DetailRecords got = ReadDetailPage(page);
    EXPECT_TRUE(got.labelled);
    EXPECT_LE(got.replacements.size(), 4096u + 2u);
  }
}

}  // namespace
}  // namespace kelvaro
