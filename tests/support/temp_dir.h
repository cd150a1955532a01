// A directory of its own under the system's temporary directory, removed with everything in it
// when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace kelvaro::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The path of `name` inside the directory.
  std::string File(const std::string& name) const;
  // Writes `bytes` to `name` inside the directory (its folders made) and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace kelvaro::test
