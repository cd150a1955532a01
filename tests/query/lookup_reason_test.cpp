#include <gtest/gtest.h>

#include "query/current_standard.h"
#include "query/number.h"

namespace kelvaro {
namespace {

TEST(YearOf, AfterAHyphenOrColonAtTheEnd) {
  const Text in_a_pair = "GB\xB1-2010";  // the "-" is a lead byte's trail
  struct Case {
    Text number;
    int digits;
    int full;
  } const cases[] = {
      {"GB/T50001-2010", 4, 2010},
      {"GB 50016-2014 ", 4, 2014},
      {" GB-2010", 4, 2010},
      {"CECS 102:2002", 4, 2002},
      {"GB 50045-95", 2, 1995},
      {"GBJ 16-07", 2, 2007},
      {"CECS 28:90", 2, 1990},
      {"GB50001", 0, 0},
      {"GB/T50001-201a", 0, 0},
      {"GB/T50001 2010", 0, 0},
      {"JS-01", 0, 0},
      {"", 0, 0},
      {"-201", 0, 0},
      {in_a_pair, 0, 0},
      {"GB\xB1|2010", 0, 0},
  };
  for (const Case& c : cases) {
    const NumberYear year = YearOf(c.number);
    EXPECT_EQ(year.digits, c.digits) << c.number;
    EXPECT_EQ(year.full, c.full) << c.number;
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
