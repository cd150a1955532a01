// Parameterised suites whose cases carry a `name`: the test's name and the case as printed.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kelvaro::test {

// The name generator: a case is named by its `name`.
struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return std::string(info.param.name);
  }
};

}  // namespace kelvaro::test

// In the namespace of a file's cases: each case with a `name` prints as that name, not as
// its bytes (failure messages, the list of tests).
#define KELVARO_PRINT_CASES_BY_NAME()          \
  template <typename Case>                     \
  requires requires(const Case& c) { c.name; } \
  [[maybe_unused]] void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
