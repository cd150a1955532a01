#include "platform/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <regex>
#include <string>

namespace kelvaro {
namespace {

// What Word and the marked copy's readers take: ISO 8601 in UTC, to the second.
TEST(UtcTimeText, IsTheTimeNowInUtc) {
  const std::time_t before = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  const std::string text = platform::UtcTimeText();
  const std::time_t after = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  ASSERT_TRUE(std::regex_match(text, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)"))) << text;
  const auto format = [](std::time_t t) {
    char out[32];
    std::strftime(out, sizeof out, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&t));
    return std::string(out);
  };
  EXPECT_GE(text, format(before));
  EXPECT_LE(text, format(after));
}

}  // namespace
}  // namespace kelvaro
