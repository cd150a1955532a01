#include "document/containers/zip_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/named_case.h"

#ifndef _WIN32
#include <nlohmann/json.hpp>

#include "support/process.h"
#include "support/temp_dir.h"
#endif

namespace kelvaro {
namespace {

struct Member {
  std::string name;
  std::string data;
  bool deflate = true;
};

// What the central directory and the local headers say about one member, its data
// inflated.
struct ReadMember {
  std::string name;
  std::string data;
  std::uint16_t method = 0;
  std::uint16_t flags = 0;
  std::uint16_t time = 0;
  std::uint16_t date = 0;
};

std::uint32_t Get(const Bytes& b, std::size_t at, int size) {
  if (at + static_cast<std::size_t>(size) > b.size()) throw std::out_of_range("past the end");
  std::uint32_t v = 0;
  for (int k = size - 1; k >= 0; --k) v = (v << 8) | b[at + static_cast<std::size_t>(k)];
  return v;
}

std::string Inflate(const Bytes& b, std::size_t at, std::size_t compressed, std::size_t size) {
  std::string out(size, '\0');
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw std::runtime_error("inflateInit2");
  z.next_in = const_cast<Bytef*>(b.data() + at);
  z.avail_in = static_cast<uInt>(compressed);
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(size);
  const int result = inflate(&z, Z_FINISH);
  const bool whole = result == Z_STREAM_END && z.avail_in == 0 && z.total_out == size;
  inflateEnd(&z);
  if (!whole) throw std::runtime_error("member does not inflate to its size");
  return out;
}

// A reader of just what the writer writes: end record, central directory, local headers.
std::vector<ReadMember> ReadArchive(const Bytes& b) {
  if (b.size() < 22) throw std::runtime_error("no end record");
  const std::size_t end = b.size() - 22;
  if (Get(b, end, 4) != 0x06054B50) throw std::runtime_error("no end record");
  const std::uint32_t count = Get(b, end + 10, 2);
  const std::uint32_t directory_size = Get(b, end + 12, 4);
  std::size_t at = Get(b, end + 16, 4);
  if (at + directory_size != end) throw std::runtime_error("directory not before the end");
  std::vector<ReadMember> members;
  for (std::uint32_t n = 0; n < count; ++n) {
    if (Get(b, at, 4) != 0x02014B50) throw std::runtime_error("bad directory entry");
    ReadMember m;
    m.flags = static_cast<std::uint16_t>(Get(b, at + 8, 2));
    m.method = static_cast<std::uint16_t>(Get(b, at + 10, 2));
    m.time = static_cast<std::uint16_t>(Get(b, at + 12, 2));
    m.date = static_cast<std::uint16_t>(Get(b, at + 14, 2));
    const std::uint32_t crc = Get(b, at + 16, 4);
    const std::uint32_t compressed = Get(b, at + 20, 4);
    const std::uint32_t size = Get(b, at + 24, 4);
    const std::uint32_t name_length = Get(b, at + 28, 2);
    const std::uint32_t local = Get(b, at + 42, 4);
    m.name.assign(reinterpret_cast<const char*>(b.data() + at + 46), name_length);
    at += 46 + name_length + Get(b, at + 30, 2) + Get(b, at + 32, 2);

    if (Get(b, local, 4) != 0x04034B50 || Get(b, local + 6, 2) != m.flags ||
        Get(b, local + 8, 2) != m.method || Get(b, local + 14, 4) != crc ||
        Get(b, local + 18, 4) != compressed || Get(b, local + 22, 4) != size ||
        Get(b, local + 26, 2) != name_length) {
      throw std::runtime_error("local header disagrees with the directory: " + m.name);
    }
    const std::size_t data = local + 30 + name_length + Get(b, local + 28, 2);
    if (data + compressed > b.size()) throw std::out_of_range("member past the end");
    if (m.method == 8) {
      m.data = Inflate(b, data, compressed, size);
    } else if (m.method == 0 && compressed == size) {
      m.data.assign(reinterpret_cast<const char*>(b.data() + data), size);
    } else {
      throw std::runtime_error("unexpected method or sizes: " + m.name);
    }
    const uLong actual =
        crc32(0L, reinterpret_cast<const Bytef*>(m.data.data()), static_cast<uInt>(m.data.size()));
    if (actual != crc) throw std::runtime_error("CRC differs: " + m.name);
    members.push_back(std::move(m));
  }
  return members;
}

// Bytes deflate cannot shrink (a fixed generator, so the case is the same every run).
std::string Noise(std::size_t size) {
  std::string out;
  std::uint32_t x = 2463534242u;
  for (std::size_t i = 0; i < size; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    out += static_cast<char>(x);
  }
  return out;
}

std::string Repeated(const std::string& piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

struct ArchiveCase {
  const char* name;
  std::vector<Member> members;
  std::vector<std::uint16_t> methods;  // expected, one per member
};

KELVARO_PRINT_CASES_BY_NAME()

const ArchiveCase kArchiveCases[] = {
    {"EmptyMemberStored", {{"empty.txt", ""}}, {0}},
    {"TextDeflated", {{"xl/sheet.xml", Repeated("<row r=\"1\"><c/></row>", 500)}}, {8}},
    {"StoredOnRequest", {{"a.xml", Repeated("abc", 1000), false}}, {0}},
    {"IncompressibleStored", {{"noise.bin", Noise(4096)}}, {0}},
    {"ChineseName", {{"xl/查询结果.xml", Repeated("现行", 100)}}, {8}},
    {"SeveralInOrder",
     {{"[Content_Types].xml", Repeated("<Types/>", 20)}, {"_rels/.rels", "x"}, {"z/a", "y"}},
     {8, 0, 0}},
    // Larger than the first output buffer the writer gives deflate.
    {"LargeMember", {{"big.xml", Repeated("GB/T 50001-2010 建筑制图标准\n", 100000)}}, {8}},
    {"NoMembers", {}, {}},
};

Bytes Write(const std::vector<Member>& members) {
  ZipWriter zip;
  for (const Member& m : members) zip.Add(m.name, m.data, m.deflate);
  return zip.Finish();
}

class ZipArchiveTest : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(ZipArchiveTest, ReadsBackEveryMemberInOrder) {
  const ArchiveCase& c = GetParam();
  const std::vector<ReadMember> read = ReadArchive(Write(c.members));
  ASSERT_EQ(read.size(), c.members.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    SCOPED_TRACE(c.members[i].name);
    EXPECT_EQ(read[i].name, c.members[i].name);
    EXPECT_EQ(read[i].data, c.members[i].data);
    EXPECT_EQ(read[i].method, c.methods[i]);
    // Only a name outside ASCII sets the UTF-8 flag, and nothing else is flagged.
    const bool wide_name = std::any_of(c.members[i].name.begin(), c.members[i].name.end(),
                                       [](char ch) { return (ch & 0x80) != 0; });
    EXPECT_EQ(read[i].flags, wide_name ? 0x0800 : 0);
    EXPECT_EQ(read[i].time, 0);
    EXPECT_EQ(read[i].date, (1 << 5) | 1);  // 1980-01-01
  }
}

INSTANTIATE_TEST_SUITE_P(Archives, ZipArchiveTest, ::testing::ValuesIn(kArchiveCases),
                         test::CaseName());

TEST(ZipWriterTest, FinishStartsAnEmptyArchive) {
  ZipWriter zip;
  zip.Add("first.txt", "1");
  ASSERT_EQ(ReadArchive(zip.Finish()).size(), 1u);
  EXPECT_TRUE(ReadArchive(zip.Finish()).empty());
  zip.Add("first.txt", "again");  // the old name is free once more
  const std::vector<ReadMember> read = ReadArchive(zip.Finish());
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].data, "again");
}

TEST(ZipWriterTest, RefusesAnEmptyOrRepeatedName) {
  ZipWriter zip;
  zip.Add("a.xml", "1");
  EXPECT_THROW(zip.Add("a.xml", "2"), std::invalid_argument);
  EXPECT_THROW(zip.Add("", "3"), std::invalid_argument);
  const std::vector<ReadMember> read = ReadArchive(zip.Finish());
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].data, "1");
}

#ifndef _WIN32
// Python's zipfile, a reader written by others, sees the same members.
class ZipArchivePythonTest : public ::testing::TestWithParam<ArchiveCase> {};

TEST_P(ZipArchivePythonTest, PythonReadsTheSameMembers) {
  const ArchiveCase& c = GetParam();
  const Bytes archive = Write(c.members);
  const test::TempDir dir;
  const std::string path = dir.Write("archive.zip", std::string(archive.begin(), archive.end()));
  const test::ProcessResult run = test::RunProcess(
      {"/usr/bin/python3", KELVARO_SOURCE_DIR "/tests/support/openpyxl_dump.py", "zip", path});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  const nlohmann::json read = nlohmann::json::parse(run.out);
  EXPECT_TRUE(read["bad_member"].is_null());
  ASSERT_EQ(read["members"].size(), c.members.size());
  for (std::size_t i = 0; i < c.members.size(); ++i) {
    const nlohmann::json& m = read["members"][i];
    std::string hex;
    for (const char ch : c.members[i].data) {
      static constexpr char kHex[] = "0123456789abcdef";
      hex += kHex[(static_cast<unsigned char>(ch) >> 4) & 0xF];
      hex += kHex[static_cast<unsigned char>(ch) & 0xF];
    }
    EXPECT_EQ(m["name"], c.members[i].name);
    EXPECT_EQ(m["data"], hex) << c.members[i].name;
    EXPECT_EQ(m["method"], c.methods[i]);
    EXPECT_EQ(m["date"], "1980-01-01 00:00:00");
  }
}

INSTANTIATE_TEST_SUITE_P(Archives, ZipArchivePythonTest, ::testing::ValuesIn(kArchiveCases),
                         test::CaseName());
#endif

}  // namespace
}  // namespace kelvaro
