#include <gtest/gtest.h>

#include "query/number.h"
#include "query/verdict.h"
#include "site/standard_site.h"

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

TEST(JudgeLookup, StatusAndReasonOfEachKindOfLookup) {
  StandardLookup found;
  found.http_status = 200;
  found.record.status = kRecordCurrent;
  found.record.number = "GB/T 50001-2010";
  StandardLookup missing;
  missing.http_status = 200;
  missing.record.status = kRecordNotFound;
  StandardLookup refused;
  refused.error = "Couldn't connect to server";
  // The status code plays no part in the status: an error page is read like any other.
  StandardLookup unavailable = found;
  unavailable.http_status = 503;

  struct Case {
    const char* number;
    const char* keyword;
    const StandardLookup* lookup;
    RowReason reason;
    Status status;
  };
  const Case cases[] = {
      {"GB/T50001-2010", "GBT50001", &found, {Outcome::kFound, 0, ""}, Status::kCurrent},
      {"GB/T50001-2001", "GBT50001", &found, {Outcome::kFound, 0, ""}, Status::kSuperseded},
      {"GB/T50001-2010", "GBT50001", &missing, {Outcome::kNotFound, 0, ""}, Status::kUnknown},
      // A two-digit year is a year.
      {"GB 50045-95", "GB50045", &found, {Outcome::kFound, 0, ""}, Status::kSuperseded},
      {"GB 50045-95", "GB50045", &missing, {Outcome::kNotFound, 0, ""}, Status::kUnknown},
      {"GB50001", "GB50001", &found, {Outcome::kNoYear, 0, ""}, Status::kUnknown},
      {"GB50001", "GB50001", &missing, {Outcome::kNoYear, 0, ""}, Status::kUnknown},
      {"GB50001",
       "GB50001",
       &refused,
       {Outcome::kNetwork, 0, "Couldn't connect to server"},
       Status::kUnknown},
      {"GB/T50001-2010",
       "GBT50001",
       &unavailable,
       {Outcome::kHttpError, 503, ""},
       Status::kCurrent},
      {"2010", "", nullptr, {Outcome::kEmpty, 0, ""}, Status::kUnknown},
  };
  for (const Case& c : cases) {
    const Verdict got = JudgeLookup(c.number, c.keyword, c.lookup);
    EXPECT_EQ(OutcomeName(got.reason.outcome), std::string(OutcomeName(c.reason.outcome)))
        << c.number;
    EXPECT_EQ(got.reason, c.reason) << c.number;
    EXPECT_EQ(got.status, c.status) << c.number;
    EXPECT_EQ(got.record.number, c.lookup == nullptr ? Text() : c.lookup->record.number)
        << c.number;
  }
}

}  // namespace
}  // namespace kelvaro
