#include "query/request_pace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace kelvaro {
namespace {

using std::chrono::milliseconds;

// The pace driven by a script of answers ('r' refused, 'o' answered), a request before each;
// what happened, in order: "w2000" a wait, "ask" a request made, "stop" a request refused by
// the pace itself.
std::vector<std::string> Drive(const std::string& answers) {
  std::vector<std::string> events;
  RequestPace pace(
      [&](milliseconds wait) { events.push_back("w" + std::to_string(wait.count())); });
  for (const char answer : answers) {
    if (!pace.BeforeRequest()) {
      events.push_back("stop");
      continue;
    }
    events.push_back("ask");
    pace.Answered(answer == 'r');
  }
  return events;
}

using Events = std::vector<std::string>;

TEST(RequestPace, WaitsAfterARefusalAndStopsAfterThreeInARow) {
  EXPECT_EQ(Drive("ooo"), (Events{"ask", "ask", "ask"}));
  EXPECT_EQ(Drive("rrro"), (Events{"ask", "w2000", "ask", "w4000", "ask", "stop"}));
  // An answer between refusals starts the count again, not the wait: a site that refused once
  // is asked gently for the rest of the batch.
  EXPECT_EQ(Drive("rorrorro"), (Events{"ask", "w2000", "ask", "ask", "w4000", "ask", "w8000", "ask",
                                       "ask", "w16000", "ask", "w32000", "ask"}));
}

TEST(RequestPace, WaitsNoLongerThanAMinute) {
  std::vector<milliseconds> waits;
  RequestPace pace([&](milliseconds wait) { waits.push_back(wait); });
  for (int i = 0; i < 8; ++i) {
    ASSERT_TRUE(pace.BeforeRequest());
    pace.Answered(true);
    ASSERT_TRUE(pace.BeforeRequest());
    pace.Answered(false);
  }
  ASSERT_EQ(waits.size(), 8u);
  EXPECT_EQ(waits.front(), kFirstRefusalWait);
  EXPECT_EQ(waits[5], kLongestRefusalWait);
  EXPECT_EQ(waits.back(), kLongestRefusalWait);
}

TEST(RequestPace, CountsTheRowsLeftUnasked) {
  RequestPace pace(nullptr);
  for (int i = 0; i < kRefusalsBeforeStop; ++i) {
    ASSERT_TRUE(pace.BeforeRequest());
    pace.Answered(true);
  }
  EXPECT_TRUE(pace.Stopped());
  EXPECT_FALSE(pace.BeforeRequest());
  pace.LeftUnasked();
  pace.LeftUnasked();
  EXPECT_EQ(pace.Unasked(), 2);
}

}  // namespace
}  // namespace kelvaro
