// The zip reader against libzip over the same archives: the same members and bytes, or
// both refusing; where our limits refuse what libzip reads, that is said per case.
#include <gtest/gtest.h>
#include <zip.h>

#include <functional>
#include <string>
#include <vector>

#include "document/containers/zip_reader.h"
#include "support/named_case.h"
#include "support/zip_builder.h"

namespace kelvaro {
namespace {

using test::Archive;
using test::Entry;
using test::ZipBuilder;
using test::ZipEntry;

constexpr char kRefused[] = "refused";

std::string ReadWithLibzip(const std::string& archive) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
  if (source == nullptr) return kRefused;
  zip_t* za = zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error);
  zip_error_fini(&error);
  if (za == nullptr) {
    zip_source_free(source);
    return kRefused;
  }
  std::string out;
  const zip_int64_t count = zip_get_num_entries(za, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t stat;
    zip_file_t* file = nullptr;
    if (zip_stat_index(za, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &stat) != 0 ||
        (file = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0)) == nullptr) {
      out = kRefused;
      break;
    }
    std::string data(stat.size + 1, '\0');
    const zip_int64_t got = zip_fread(file, data.data(), data.size());
    const bool read_error = got < 0 || static_cast<zip_uint64_t>(got) != stat.size;
    zip_fclose(file);
    if (read_error) {
      out = kRefused;
      break;
    }
    data.resize(stat.size);
    out += std::string(stat.name) + "=" + data + ";";
  }
  zip_discard(za);
  return out;
}

std::string ReadWithOurs(const std::string& archive) {
  const Bytes bytes = test::AsBytes(archive);
  ZipReader zip;
  DocumentError error = DocumentError::kNone;
  if (!zip.Open(bytes, error)) return kRefused;
  std::string out;
  for (const ZipMember& m : zip.Members()) {
    std::string data;
    if (!zip.Extract(m, data, error)) return kRefused;
    out += m.name + "=" + data + ";";
  }
  return out;
}

struct DifferentialCase {
  std::string name;
  std::function<std::string()> archive;
  bool only_ours_refuses = false;  // our limits or name rules, not a broken archive
};
KELVARO_PRINT_CASES_BY_NAME()

class ZipDifferentialTest : public testing::TestWithParam<DifferentialCase> {};

TEST_P(ZipDifferentialTest, ReadsWhatLibzipReads) {
  const std::string archive = GetParam().archive();
  const std::string theirs = ReadWithLibzip(archive);
  const std::string ours = ReadWithOurs(archive);
  if (GetParam().only_ours_refuses) {
    EXPECT_NE(theirs, kRefused);
    EXPECT_EQ(ours, kRefused);
  } else {
    EXPECT_EQ(ours, theirs);
  }
}

const std::string kText = "GB 50016-2014 建筑设计防火规范 " + std::string(3000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Archives, ZipDifferentialTest,
    testing::Values(
        DifferentialCase{"Mixed",
                         [] {
                           return Archive({Entry("[Content_Types].xml", "<Types/>"),
                                           Entry("word/document.xml", kText),
                                           Entry("media/a.bin", std::string("\0\1\2", 3), false)});
                         }},
        DifferentialCase{"Empty", [] { return Archive({}); }},
        DifferentialCase{"ChineseNames", [] { return Archive({Entry("标准/清单.xml", kText)}); }},
        DifferentialCase{"EmptyMembersAndFolders",
                         [] {
                           return Archive({Entry("dir/", "", false), Entry("e", "")});
                         }},
        DifferentialCase{"DataDescriptor",
                         [] {
                           ZipEntry e = Entry("d", kText);
                           e.flags = 0x0008;
                           return Archive({e, Entry("z", "2")});
                         }},
        DifferentialCase{"Comment",
                         [] { return ZipBuilder().Add("a", kText).Comment("note").Build(); }},
        DifferentialCase{"CutShort",
                         [] {
                           const std::string whole = Archive({Entry("a", kText), Entry("b", "1")});
                           return whole.substr(0, whole.size() - 40);
                         }},
        DifferentialCase{"NoEndRecord", [] { return std::string("PK\x03\x04 and nothing"); }},
        DifferentialCase{"WrongCrcWhichLibzipDoesNotCheck",
                         [] {
                           ZipEntry e = Entry("a", kText);
                           e.crc = 99;
                           return Archive({e});
                         },
                         true},
        DifferentialCase{"GarbageDeflate",
                         [] {
                           ZipEntry e = Entry("a", "data");
                           e.compressed = std::string("\xFF\xFF\xFF\xFF", 4);
                           return Archive({e});
                         }},
        DifferentialCase{"SizeTooSmall",
                         [] {
                           ZipEntry e = Entry("a", kText);
                           e.size = 100;
                           return Archive({e});
                         }},
        DifferentialCase{"SizeTooLarge",
                         [] {
                           ZipEntry e = Entry("a", "short");
                           e.size = 6;
                           return Archive({e});
                         }},
        DifferentialCase{
            "WrongCount",
            [] { return ZipBuilder().Add("a", "1").Add("b", "2").EndCount(3).Build(); }},
        DifferentialCase{"Encrypted",
                         [] {
                           ZipEntry e = Entry("a", "secret");
                           e.flags = 0x0001;
                           return Archive({e});
                         }},
        DifferentialCase{"ClimbingName", [] { return Archive({Entry("../x", "1")}); }, true},
        DifferentialCase{"RatioBomb",
                         [] {
                           ZipEntry e = Entry("bomb", std::string(4 << 20, '\0'));
                           return Archive({e});
                         },
                         true},
        DifferentialCase{"TwentyThousandMembers",
                         [] {
                           ZipBuilder zip;
                           for (int i = 0; i < 20000; ++i) zip.Add(std::to_string(i), "", false);
                           return zip.Build();
                         },
                         true}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
