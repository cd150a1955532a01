// Setting the process's environment from a test, the same way on every system.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace kelvaro::test {

void SetEnvironment(const char* name, const char* value);
void UnsetEnvironment(const char* name);

// A variable set (or, with null, unset) for a scope; what was there comes back after.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* before = std::getenv(name)) before_ = before;
    value != nullptr ? SetEnvironment(name, value) : UnsetEnvironment(name);
  }
  ~ScopedEnvironment() {
    before_.has_value() ? SetEnvironment(name_.c_str(), before_->c_str())
                        : UnsetEnvironment(name_.c_str());
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> before_;
};

}  // namespace kelvaro::test
