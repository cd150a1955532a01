#include "support/temp_dir.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace kelvaro::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kelvaro-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const { return (path_ / name).string(); }

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = File(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

}  // namespace kelvaro::test
