#include "document/containers/zip_reader.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/errors.h"
#include "support/named_case.h"
#include "support/zip_builder.h"

namespace kelvaro {
namespace {

using test::Archive;
using test::Entry;
using test::ZipBuilder;
using test::ZipEntry;

// The member read through a ZipStream three bytes at a time, or the reason it failed.
std::string Streamed(const ZipReader& zip, const ZipMember& m) {
  ZipStream stream;
  std::string data;
  DocumentError error = DocumentError::kNone;
  if (!stream.Open(zip, m, error)) return DocumentErrorWords(error);
  while (stream.Read(data, 3)) {
  }
  return stream.Error() == DocumentError::kNone ? data : DocumentErrorWords(stream.Error());
}

// name=bytes for every member, in directory order; the reason when opening or any
// extraction fails. Each member is read whole and streamed, which must agree.
std::string ReadAll(const std::string& archive, ZipLimits limits = {}) {
  const Bytes bytes = test::AsBytes(archive);
  ZipReader zip;
  DocumentError error = DocumentError::kNone;
  if (!zip.Open(bytes, error, limits)) return "open: " + std::string(DocumentErrorWords(error));
  std::string out;
  for (const ZipMember& m : zip.Members()) {
    std::string data;
    const bool extracted = zip.Extract(m, data, error);
    const std::string why = DocumentErrorWords(error);
    if (Streamed(zip, m) != (extracted ? data : why)) return m.name + ": streamed otherwise";
    if (!extracted) return m.name + ": " + why;
    out += m.name + "=" + data + ";";
  }
  return out;
}

struct ZipCase {
  std::string name;
  std::function<std::string()> archive;
  std::string expected;
};
KELVARO_PRINT_CASES_BY_NAME()

class ZipReaderTest : public testing::TestWithParam<ZipCase> {};

TEST_P(ZipReaderTest, ReadsMembersOrGivesTheReason) {
  EXPECT_EQ(ReadAll(GetParam().archive()), GetParam().expected);
}

const std::string kLong(5000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Archives, ZipReaderTest,
    testing::Values(
        ZipCase{"StoredAndDeflated",
                [] {
                  return Archive({Entry("a.txt", "stored", false), Entry("b.xml", "<b/>")});
                },
                "a.txt=stored;b.xml=<b/>;"},
        ZipCase{"EmptyMembers",
                [] {
                  return Archive({Entry("dir/", "", false), Entry("e", "")});
                },
                "dir/=;e=;"},
        ZipCase{"EmptyArchive", [] { return Archive({}); }, ""},
        ZipCase{"CommentAfterTheEnd",
                [] { return ZipBuilder().Add("a", "1").Comment("PK\x05\x06 no end").Build(); },
                "a=1;"},
        ZipCase{"DataDescriptor",
                [] {
                  ZipEntry e = Entry("d", kLong);
                  e.flags = 0x0008;
                  return Archive({e, Entry("z", "2")});
                },
                "d=" + kLong + ";z=2;"},
        ZipCase{"NotAnArchive", [] { return std::string("hello, world"); },
                "open: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"CutShort",
                [] {
                  const std::string whole = Archive({Entry("a", kLong)});
                  return whole.substr(0, whole.size() / 2);
                },
                "open: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"CutInsideTheEndRecord",
                [] {
                  const std::string whole = Archive({Entry("a", "1")});
                  return whole.substr(0, whole.size() - 5);
                },
                "open: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"ParentPath", [] { return Archive({Entry("../x", "1")}); },
                "open: " + std::string(DocumentErrorWords(DocumentError::kUnsafePath))},
        ZipCase{"InnerParentPath", [] { return Archive({Entry("word/../../x", "1")}); },
                "open: " + std::string(DocumentErrorWords(DocumentError::kUnsafePath))},
        ZipCase{"BackslashParentPath", [] { return Archive({Entry("a\\..\\..\\x", "1")}); },
                "open: " + std::string(DocumentErrorWords(DocumentError::kUnsafePath))},
        ZipCase{"AbsolutePath", [] { return Archive({Entry("/etc/x", "1")}); },
                "open: " + std::string(DocumentErrorWords(DocumentError::kUnsafePath))},
        ZipCase{"DrivePath", [] { return Archive({Entry("C:x", "1")}); },
                "open: " + std::string(DocumentErrorWords(DocumentError::kUnsafePath))},
        ZipCase{"DuplicateNameInAnotherCase",
                [] {
                  return Archive({Entry("Word/a.xml", "1"), Entry("word/A.xml", "2")});
                },
                "open: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"WrongCount", [] { return ZipBuilder().Add("a", "1").EndCount(2).Build(); },
                "open: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"Zip64", [] { return ZipBuilder().Add("a", "1").Zip64Locator().Build(); },
                "open: " + std::string(DocumentErrorWords(DocumentError::kZip64))},
        ZipCase{"Zip64Sizes",
                [] {
                  ZipEntry e = Entry("a", "1");
                  e.size = 0xFFFFFFFF;
                  e.compressed_size = 0xFFFFFFFF;
                  return Archive({e});
                },
                "open: " + std::string(DocumentErrorWords(DocumentError::kZip64))},
        ZipCase{"Encrypted",
                [] {
                  ZipEntry e = Entry("a", "secret");
                  e.flags = 0x0001;
                  return Archive({e});
                },
                "a: " + std::string(DocumentErrorWords(DocumentError::kEncrypted))},
        ZipCase{"Bzip2",
                [] {
                  ZipEntry e = Entry("a", "1");
                  e.method = 12;
                  return Archive({e});
                },
                "a: " + std::string(DocumentErrorWords(DocumentError::kMethod))},
        ZipCase{"SizeSaysLessThanInflates",
                [] {
                  ZipEntry e = Entry("a", kLong);
                  e.size = 100;
                  return Archive({e});
                },
                "a: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"SizeSaysMoreThanInflates",
                [] {
                  ZipEntry e = Entry("a", "short");
                  e.size = 6;
                  return Archive({e});
                },
                "a: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"StoredSizesDiffer",
                [] {
                  ZipEntry e = Entry("a", "stored", false);
                  e.size = 5;
                  return Archive({e});
                },
                "a: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"WrongCrc",
                [] {
                  ZipEntry e = Entry("a", "data");
                  e.crc = 1234;
                  return Archive({e});
                },
                "a: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"CompressedSizePastTheDirectory",
                [] {
                  ZipEntry e = Entry("a", "data");
                  e.compressed_size = 100000;
                  return Archive({e});
                },
                "a: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"GarbageDeflateStream",
                [] {
                  ZipEntry e = Entry("a", "data");
                  e.compressed = std::string("\xFF\xFF\xFF\xFF", 4);
                  return Archive({e});
                },
                "a: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"LocalNameDiffers",
                [] {
                  ZipEntry e = Entry("word/document.xml", "data");
                  e.local_name = "../../document.xml";
                  return Archive({e});
                },
                "word/document.xml: " + std::string(DocumentErrorWords(DocumentError::kDamaged))},
        ZipCase{"RatioPastAThousand",
                [] {
                  ZipEntry e = Entry("bomb", "");
                  e.compressed = test::DeflateZeros(8 << 20);
                  e.size = 8 << 20;
                  e.crc = test::Crc32(std::string(8 << 20, '\0'));
                  return Archive({e});
                },
                "bomb: " + std::string(DocumentErrorWords(DocumentError::kTooLarge))},
        ZipCase{"DeclaresPast256MiB",
                [] {
                  ZipEntry e = Entry("big", std::string(300000, 'a'), false);
                  e.size = (256u << 20) + 1;
                  return Archive({e});
                },
                "big: " + std::string(DocumentErrorWords(DocumentError::kTooLarge))}),
    test::CaseName());

TEST(ZipReaderLimitsTest, MemberLimitCountsEveryDirectoryEntryWhateverTheEndRecordSays) {
  ZipBuilder zip;
  for (int i = 0; i < 100000; ++i) zip.Add("m" + std::to_string(i), "", false);
  // 100,000 wraps round the end record's 16-bit count.
  EXPECT_EQ(ReadAll(zip.Build()),
            "open: " + std::string(DocumentErrorWords(DocumentError::kTooManyMembers)));
}

TEST(ZipReaderLimitsTest, SizeLimitAppliesBeforeInflating) {
  ZipLimits limits;
  limits.max_member_size = 1000;
  EXPECT_EQ(ReadAll(Archive({Entry("a", std::string(1000, 'a'), false)}), limits),
            "a=" + std::string(1000, 'a') + ";");
  EXPECT_EQ(ReadAll(Archive({Entry("a", std::string(1001, 'a'), false)}), limits),
            "a: " + std::string(DocumentErrorWords(DocumentError::kTooLarge)));
}

TEST(ZipReaderFindTest, FindsPartNamesWithoutRegardToCase) {
  const Bytes bytes = test::AsBytes(Archive({Entry("Word/Document.xml", "1")}));
  ZipReader zip;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(zip.Open(bytes, error));
  ASSERT_NE(zip.Find("word/document.XML"), nullptr);
  EXPECT_EQ(zip.Find("word/document.XML")->name, "Word/Document.xml");
  EXPECT_EQ(zip.Find("word/document"), nullptr);
}

}  // namespace
}  // namespace kelvaro
