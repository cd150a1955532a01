// Whole files written by path: all of it or, on any failure, what was there before.
#include "platform/files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/environment.h"
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

// The temporary file beside a name as long as the system takes must fit as well.
TEST(WriteWholeFile, ANameAsLongAsTheSystemTakes) {
  test::TempDir dir;
  std::string chinese;
  for (int i = 0; i < 83; ++i) chinese += "设";
  const std::string folder = std::filesystem::path(dir.File("x")).parent_path().string();
  std::vector<std::string> names = {std::string(251, 'n') + ".csv"};
#ifndef _WIN32
  // Windows counts a name in UTF-16 units, where this one is short; under Wine its 254 bytes
  // of UTF-8 do not reach the Unix file system whole.
  names.push_back(chinese + ".docx");
#endif
  std::size_t written = 0;
  for (const std::string& name : names) {
    ASSERT_LE(name.size(), 255u);
    const std::string path = dir.File(name);
    std::string error;
    EXPECT_TRUE(platform::WriteWholeFile(path, name, error)) << error;
    EXPECT_EQ(Read(path), name);
    EXPECT_EQ(FilesIn(folder), ++written);
  }
}

// A marked copy must never be written over its original, whatever path names it.
TEST(SameFile, OneFileByAnyPathAndNothingElse) {
  test::TempDir dir;
  const std::string note = dir.Write("note.docx", "a");
  const std::string other = dir.Write("other.docx", "a");
  std::filesystem::create_directory(dir.File("sub"));
  EXPECT_TRUE(platform::SameFile(note, note));
  EXPECT_TRUE(platform::SameFile(note, dir.File("sub/../note.docx")));
  EXPECT_FALSE(platform::SameFile(note, other));  // same bytes, another file
  EXPECT_FALSE(platform::SameFile(note, dir.File("missing.docx")));
#ifdef _WIN32
  EXPECT_TRUE(platform::SameFile(note, dir.File("NOTE.DOCX")));
#endif
}

// Many runs check one output folder at once, and an earlier probe may have left its file.
TEST(IsWritableDirectory, EveryoneAskingAtOnceHearsYesAndNothingIsLeft) {
  test::TempDir dir;
  const std::string folder =
      std::filesystem::path(dir.Write(".kelvaro-write-probe", "")).parent_path().string();
  std::atomic<int> refused{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 16; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 16; ++i) {
        if (!platform::IsWritableDirectory(folder)) ++refused;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(refused.load(), 0);
  EXPECT_EQ(FilesIn(folder), 1u);
  EXPECT_FALSE(platform::IsWritableDirectory(dir.File("missing")));
}

#ifdef _WIN32
constexpr char kNullDevice[] = "NUL";
#else
constexpr char kNullDevice[] = "/dev/null";
#endif

TEST(IsDevicePath, OnlyForADevice) {
  test::TempDir dir;
  EXPECT_TRUE(platform::IsDevicePath(kNullDevice));
  for (const std::string& path :
       {dir.Write("out.csv", "x"), dir.File("missing.csv"), dir.File("")}) {
    EXPECT_FALSE(platform::IsDevicePath(path)) << path;
  }
}

TEST(WriteWholeFile, TheNullDeviceTakesEverything) {
  std::string error;
  EXPECT_TRUE(platform::WriteWholeFile(kNullDevice, std::string(1 << 20, 'x'), error)) << error;
  EXPECT_EQ(error, "");
}

TEST(SettingsFilePath, LiesInTheSystemsFolderForSettings) {
#ifdef _WIN32
  const test::ScopedEnvironment appdata("APPDATA", "C:\\Users\\u\\AppData\\Roaming");
  EXPECT_EQ(platform::SettingsFilePath(), "C:\\Users\\u\\AppData\\Roaming\\Kelvaro\\settings.ini");
#else
  const test::ScopedEnvironment home("HOME", "/home/u");
  {
    const test::ScopedEnvironment config("XDG_CONFIG_HOME", "/x/config");
    EXPECT_EQ(platform::SettingsFilePath(), "/x/config/kelvaro/settings.ini");
  }
  // An unset, empty or relative XDG_CONFIG_HOME is the folder in the home folder.
  for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/config"}) {
    const test::ScopedEnvironment config("XDG_CONFIG_HOME", ignored);
    EXPECT_EQ(platform::SettingsFilePath(), "/home/u/.config/kelvaro/settings.ini");
  }
#endif
}

TEST(MakeDirectories, MakesEveryMissingFolderAndRefusesAFileInTheWay) {
  test::TempDir dir;
  std::string error;
  EXPECT_TRUE(platform::MakeDirectories(dir.File("a/b/c"), error)) << error;
  EXPECT_TRUE(std::filesystem::is_directory(dir.File("a/b/c")));
  EXPECT_TRUE(platform::MakeDirectories(dir.File("a/b/c"), error)) << error;
  const std::string file = dir.Write("f", "x");
  for (const std::string& path : {file, file + "/sub"}) {
    EXPECT_FALSE(platform::MakeDirectories(path, error)) << path;
    EXPECT_NE(error, "") << path;
  }
}

}  // namespace
}  // namespace kelvaro
