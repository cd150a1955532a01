#include <gtest/gtest.h>

#include "query/current_standard.h"
#include "query/number.h"

namespace kelvaro {
namespace {

TEST(EndsInYear, OnlyAHyphenAndFourDigitsAtTheEnd) {
  for (const char* yes : {"GB/T50001-2010", "GB 50016-2014 ", " GB-2010"}) {
    EXPECT_TRUE(EndsInYear(yes)) << yes;
  }
  for (const char* no :
       {"GB 50045-95", "GB50001", "GB/T50001-201a", "GB/T50001 2010", "", "-201"}) {
    EXPECT_FALSE(EndsInYear(no)) << no;
  }
}

TEST(LookupReason, NoYearWinsOverThePageButNotOverAFailure) {
  StandardLookup found;
  found.http_status = 200;
  found.record.status = kStatusCurrent;
  StandardLookup missing = found;
  missing.record.status = kStatusNotFound;
  StandardLookup refused;
  refused.error = "Couldn't connect to server";
  StandardLookup unavailable = found;
  unavailable.http_status = 503;

  struct Case {
    const char* number;
    const char* keyword;
    const StandardLookup* lookup;
    RowReason reason;
  };
  const Case cases[] = {
      {"GB/T50001-2010", "GBT50001", &found, {Outcome::kFound, 0, ""}},
      {"GB/T50001-2010", "GBT50001", &missing, {Outcome::kNotFound, 0, ""}},
      // A two-digit year is a year.
      {"GB 50045-95", "GB50045", &found, {Outcome::kFound, 0, ""}},
      {"GB 50045-95", "GB50045", &missing, {Outcome::kNotFound, 0, ""}},
      {"GB50001", "GB50001", &found, {Outcome::kNoYear, 0, ""}},
      {"GB50001", "GB50001", &missing, {Outcome::kNoYear, 0, ""}},
      {"GB50001", "GB50001", &refused, {Outcome::kNetwork, 0, "Couldn't connect to server"}},
      {"GB/T50001-2010", "GBT50001", &unavailable, {Outcome::kHttpError, 503, ""}},
      {"2010", "", nullptr, {Outcome::kEmpty, 0, ""}},
  };
  for (const Case& c : cases) {
    const RowReason got = LookupReason(c.number, c.keyword, c.lookup);
    EXPECT_EQ(OutcomeName(got.outcome), std::string(OutcomeName(c.reason.outcome))) << c.number;
    EXPECT_EQ(got, c.reason) << c.number;
  }
}

}  // namespace
}  // namespace kelvaro
