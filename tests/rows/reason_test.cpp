#include "rows/reason.h"
#include "support/named_case.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kelvaro {
namespace {

struct ReasonCase {
  const char* name;
  RowReason reason;
  const char* words;  // UTF-8
};

KELVARO_PRINT_CASES_BY_NAME()

class ReasonDescriptionTest : public ::testing::TestWithParam<ReasonCase> {};

TEST_P(ReasonDescriptionTest, SaysWhyInChinese) {
  EXPECT_EQ(ReasonDescription(GetParam().reason), GetParam().words);
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, ReasonDescriptionTest,
    ::testing::Values(
        ReasonCase{"NeverLookedUp", {}, ""},
        ReasonCase{"Refused",
                   {Outcome::kNetwork, 0, "Couldn't connect to server"},
                   "网络错误：连接被拒绝"},
        ReasonCase{"NoResponse", {Outcome::kNetwork, 0, "no response"}, "网络错误：没有应答"},
        ReasonCase{"UnknownWords",
                   {Outcome::kNetwork, 0, "SSL connect error"},
                   "网络错误：SSL connect error"},
        ReasonCase{"NoWords", {Outcome::kNetwork, 0, {}}, "网络错误"},
        ReasonCase{"ServiceUnavailable", {Outcome::kHttpError, 503, {}}, "网站返回 503"}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
