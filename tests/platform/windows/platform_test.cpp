// The Windows platform folder's files and console, under Wine.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "platform/code_page.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/threads.h"
#include "support/named_case.h"
#include "support/temp_dir.h"
#include "text/text.h"

namespace kelvaro {
namespace {

std::wstring Wide(const std::string& utf8) {
  const int len =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(len), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), len);
  return wide;
}

std::string Utf8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string ReadBack(const std::string& utf8_path) {
  std::ifstream in(std::filesystem::path(Wide(utf8_path)), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(WindowsReadWholeFile, ReadsEveryByteOfAFileWithAChineseName) {
  test::TempDir dir;
  const std::string path = dir.File(Utf8(u8"标准编号.txt"));
  const std::string bytes = std::string("GB/T 1-2020\r\nx\0y\n", 17) + "\xFF\xFE";
  std::ofstream(std::filesystem::path(Wide(path)), std::ios::binary) << bytes;
  Bytes read;
  std::string error;
  ASSERT_TRUE(platform::ReadWholeFile(path, read, error)) << error;
  EXPECT_EQ(std::string(read.begin(), read.end()), bytes);
  EXPECT_EQ(error, "");
}

struct RefusedPath {
  const char* name;
  std::string (*path)(const test::TempDir&);
  const char* error;  // empty: any non-empty reason
};

KELVARO_PRINT_CASES_BY_NAME()

class WindowsReadWholeFileRefuses : public testing::TestWithParam<RefusedPath> {};

TEST_P(WindowsReadWholeFileRefuses, WithAReason) {
  test::TempDir dir;
  Bytes read{'x'};
  std::string error;
  EXPECT_FALSE(platform::ReadWholeFile(GetParam().path(dir), read, error));
  EXPECT_TRUE(read.empty());
  if (std::string(GetParam().error).empty()) {
    EXPECT_FALSE(error.empty());
  } else {
    EXPECT_EQ(error, GetParam().error);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowsReadWholeFileRefuses,
    testing::Values(
        RefusedPath{"Missing", [](const test::TempDir& d) { return d.File("none.txt"); }, ""},
        RefusedPath{"Directory", [](const test::TempDir& d) { return d.File(""); },
                    "Is a directory"},
        RefusedPath{"NullDevice", [](const test::TempDir&) { return std::string("NUL"); },
                    "not a regular file"},
        RefusedPath{"ConsoleDevice", [](const test::TempDir&) { return std::string("CONIN$"); },
                    ""},
        RefusedPath{"InvalidUtf8", [](const test::TempDir&) { return std::string("\xFF.txt"); },
                    ""}),
    test::CaseName());

TEST(WindowsReadWholeFile, RefusesAFileSomeoneIsWriting) {
  test::TempDir dir;
  const std::string path = dir.Write("busy.txt", "GB 1-2020\r\n");
  HANDLE writer = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  Bytes read;
  std::string error;
  EXPECT_FALSE(platform::ReadWholeFile(path, read, error));
  EXPECT_FALSE(error.empty());
  CloseHandle(writer);
  EXPECT_TRUE(platform::ReadWholeFile(path, read, error)) << error;
}

// Points a standard handle elsewhere for the test's length.
class StdHandleSwap {
 public:
  StdHandleSwap(DWORD id, HANDLE replacement) : id_(id), saved_(GetStdHandle(id)) {
    SetStdHandle(id_, replacement);
  }
  ~StdHandleSwap() { SetStdHandle(id_, saved_); }

 private:
  DWORD id_;
  HANDLE saved_;
};

TEST(WindowsConsole, OutputToAFileIsTheUtf8BytesUnchanged) {
  test::TempDir dir;
  const std::string path = dir.File("out.txt");
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string text = Utf8(u8"GB/T 50001-2010\t现行\n有新标准\r\n");
  {
    StdHandleSwap swap(STD_OUTPUT_HANDLE, file);
    EXPECT_FALSE(platform::IsTerminal(platform::Stream::kOut));
    EXPECT_TRUE(platform::WriteText(platform::Stream::kOut, text));
  }
  CloseHandle(file);
  EXPECT_EQ(ReadBack(path), text);
}

TEST(WindowsConsole, WriteToAClosedStreamFails) {
  StdHandleSwap swap(STD_ERROR_HANDLE, nullptr);
  EXPECT_FALSE(platform::WriteText(platform::Stream::kErr, "x"));
}

TEST(WindowsConsole, MissingStandardStreamsAreOpenedOnTheNullDevice) {
  StdHandleSwap swap(STD_ERROR_HANDLE, nullptr);
  platform::EnsureStandardStreams();
  HANDLE opened = GetStdHandle(STD_ERROR_HANDLE);
  ASSERT_NE(opened, nullptr);
  ASSERT_NE(opened, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileType(opened), static_cast<DWORD>(FILE_TYPE_CHAR));
  EXPECT_TRUE(platform::WriteText(platform::Stream::kErr, "into nothing\n"));
  CloseHandle(opened);
}

// What standard input may be: nothing, or a handle that cannot be read from, reads as empty.
struct InputCase {
  const char* name;
  HANDLE (*open)(const test::TempDir&);  // the handle given as standard input; closed after
  std::string read;
};

HANDLE OpenPath(const std::string& path, DWORD access, DWORD flags = 0) {
  return CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                     OPEN_EXISTING, flags, nullptr);
}

class WindowsStandardInput : public testing::TestWithParam<InputCase> {};

TEST_P(WindowsStandardInput, ReadsWhatThereIsOrNothing) {
  test::TempDir dir;
  HANDLE handle = GetParam().open(dir);
  Bytes read{'x'};
  std::string error;
  {
    StdHandleSwap swap(STD_INPUT_HANDLE, handle);
    EXPECT_TRUE(platform::ReadStandardInput(read, error)) << error;
  }
  if (handle != nullptr && handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  EXPECT_EQ(std::string(read.begin(), read.end()), GetParam().read);
  EXPECT_EQ(error, "");
}

INSTANTIATE_TEST_SUITE_P(
    Handles, WindowsStandardInput,
    testing::Values(
        InputCase{"File",
                  [](const test::TempDir& d) {
                    return OpenPath(d.Write("in.txt", "GB 1-2020\r\n\x1A"), GENERIC_READ);
                  },
                  "GB 1-2020\r\n\x1A"},
        InputCase{"None", [](const test::TempDir&) { return HANDLE{nullptr}; }, ""},
        // What Wine passes on for a closed descriptor 0: a folder, which ReadFile refuses.
        InputCase{"Folder",
                  [](const test::TempDir& d) {
                    return OpenPath(d.File(""), GENERIC_READ, FILE_FLAG_BACKUP_SEMANTICS);
                  },
                  ""},
        InputCase{"WriteOnly",
                  [](const test::TempDir& d) {
                    return OpenPath(d.Write("out.txt", "unread"), GENERIC_WRITE);
                  },
                  ""},
        InputCase{"Closed",
                  [](const test::TempDir& d) {
                    HANDLE handle = OpenPath(d.Write("gone.txt", "unread"), GENERIC_READ);
                    CloseHandle(handle);
                    return handle;
                  },
                  ""}),
    test::CaseName());

// The names Windows takes for devices wherever they stand, and names that only look alike.
struct DeviceName {
  const char* name;
  const char* path;  // "DIR" stands for a folder of the test's own
  bool device;
  bool null = false;  // the null device: written to as well
};

class WindowsDevicePath : public testing::TestWithParam<DeviceName> {};

TEST_P(WindowsDevicePath, IsWrittenInPlaceAndNothingBeside) {
  test::TempDir dir;
  std::string path = GetParam().path;
  if (path.rfind("DIR", 0) == 0) path = dir.File("") + path.substr(4);
  EXPECT_EQ(platform::IsDevicePath(path), GetParam().device);
  if (!GetParam().null) return;
  std::string error;
  EXPECT_TRUE(platform::WriteWholeFile(path, "into nothing", error)) << error;
  EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(Wide(dir.File("")))));
}

INSTANTIATE_TEST_SUITE_P(
    Names, WindowsDevicePath,
    testing::Values(DeviceName{"NullLowerCase", "nul", true, true},
                    DeviceName{"NullWithExtension", "DIR\\Nul.txt", true, true},
                    DeviceName{"NullInAMissingFolder", "C:\\kelvaro-missing\\NUL", true, true},
                    DeviceName{"NullWithTrailingSpace", "DIR\\NUL ", true, true},
                    DeviceName{"NullInTheDeviceNamespace", "\\\\.\\NUL", true, true},
                    DeviceName{"Console", "CON", true}, DeviceName{"SerialPort", "COM1", true},
                    DeviceName{"Printer", "DIR\\lpt1.log", true},
                    DeviceName{"Pipe", "\\\\.\\pipe\\kelvaro", true},
                    DeviceName{"NameLonger", "DIR\\nullx.txt", false},
                    DeviceName{"NameWithin", "DIR\\auxiliary", false},
                    DeviceName{"FileThroughTheDeviceNamespace", "\\\\.\\C:\\out.csv", false}),
    test::CaseName());

TEST(WindowsCodePage, TablesComeFromCodePage936WhateverTheSystemUses) {
  platform::GbkEncodeTable encode{};
  platform::GbkDecodeTable decode{};
  platform::FillCodePage936Tables(encode, decode);
  // 现, the first character of "现行" (CF D6 D0 D0).
  EXPECT_EQ(encode[0x73B0], 0xCFD6);
  EXPECT_EQ(decode[(0xCF - 0x80) * 256 + 0xD6], U'\u73B0');
  // The euro sign is one byte (0x80) in code page 936: half a character to a GBK walker.
  EXPECT_EQ(encode[0x20AC], 0);
  std::cout << "[          ] system ANSI code page " << GetACP() << "\n";
}

// The runtime's own detached threads lost about one body in 7,000 here, which left a
// batch waiting for ever on a row that never ran.
TEST(WindowsThreadsConcurrency, EveryDetachedThreadRunsItsBody) {
  constexpr int kThreads = 3000;
  // Shared, so that a body running after a failed test has given up touches live memory.
  const auto ran = std::make_shared<std::atomic<int>>(0);
  int started = 0;
  // A lost body holds its place among the eight in flight for ever: give up then.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  const auto wait_until_fewer_than = [&](int in_flight) {
    while (started - ran->load() >= in_flight && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
  };
  for (int i = 0; i < kThreads; ++i) {
    if (platform::StartDetachedThread([ran] { ran->fetch_add(1); })) ++started;
    wait_until_fewer_than(8);
  }
  wait_until_fewer_than(1);
  EXPECT_EQ(started, kThreads);
  EXPECT_EQ(ran->load(), started);
}

}  // namespace
}  // namespace kelvaro
