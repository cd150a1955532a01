#include "support/temp_dir.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace kelvaro::test {

TempDir::TempDir() {
  // create_directory reports whether it made the directory: a name taken by someone else
  // is never shared.
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "kelvaro-test-%08x", static_cast<unsigned>(random()));
    const std::filesystem::path candidate = std::filesystem::temp_directory_path() / name;
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary directory could be made");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const { return (path_ / name).string(); }

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = File(name);
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

}  // namespace kelvaro::test
