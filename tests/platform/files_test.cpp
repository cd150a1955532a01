// Whole files written by path: all of it or, on any failure, what was there before.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/temp_dir.h"
#include "text/text.h"

namespace kelvaro {
namespace {

std::string Read(const std::string& path) {
  Bytes bytes;
  std::string error;
  if (!platform::ReadWholeFile(path, bytes, error)) return "(unreadable: " + error + ")";
  return std::string(bytes.begin(), bytes.end());
}

std::size_t FilesIn(const std::string& folder) {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

TEST(WriteWholeFile, WritesReplacesAndOnFailureLeavesWhatWasThere) {
  test::TempDir dir;
  const std::string path = dir.File("out.csv");
  std::string error;
  ASSERT_TRUE(platform::WriteWholeFile(path, std::string(3 << 20, 'x'), error)) << error;
  EXPECT_EQ(Read(path), std::string(3 << 20, 'x'));
  ASSERT_TRUE(platform::WriteWholeFile(path, "second", error)) << error;
  EXPECT_EQ(Read(path), "second");

  // A folder in the file's place cannot be replaced: it stays, and nothing is left beside it.
  const std::string folder = dir.File("taken");
  std::filesystem::create_directory(folder);
  std::filesystem::create_directory(folder + "/inside");
  EXPECT_FALSE(platform::WriteWholeFile(folder, "third", error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(std::filesystem::is_directory(folder + "/inside"));
  EXPECT_EQ(FilesIn(std::filesystem::path(path).parent_path().string()), 2u);  // out.csv, taken

  EXPECT_FALSE(platform::WriteWholeFile(dir.File("missing/out.csv"), "x", error));
  EXPECT_FALSE(std::filesystem::exists(dir.File("missing")));
  EXPECT_EQ(Read(path), "second");
}

}  // namespace
}  // namespace kelvaro
