// The compound file reader: sound files of both sector sizes give their streams back, byte
// for byte; broken ones are refused with their reason, in bounded time and memory.
#include "document/containers/compound_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "document/errors.h"
#include "support/compound_builder.h"
#include "support/named_case.h"

namespace kelvaro {
namespace {

KELVARO_PRINT_CASES_BY_NAME()

using test::CompoundImage;
using test::CompoundStream;

std::string Pattern(std::size_t size, int seed) {
  std::string out(size, '\0');
  for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>((i * 131 + seed * 7) % 251);
  return out;
}

struct SoundCase {
  std::string name;
  int version;
  std::vector<std::size_t> sizes;  // one stream of each size
};

class CompoundSoundTest : public testing::TestWithParam<SoundCase> {};

TEST_P(CompoundSoundTest, GivesEveryStreamBackByName) {
  std::vector<CompoundStream> streams;
  for (std::size_t i = 0; i < GetParam().sizes.size(); ++i) {
    streams.push_back({"Stream" + std::to_string(i), Pattern(GetParam().sizes[i], int(i))});
  }
  streams.push_back({"流名称", "UTF-16 name"});
  const Bytes file = test::BuildCompound(streams, GetParam().version).AsBytes();
  CompoundFile reader;
  DocumentError error = DocumentError::kNone;
  ASSERT_TRUE(reader.Open(file, error)) << DocumentErrorWords(error);
  ASSERT_EQ(reader.Entries().size(), streams.size());
  for (const CompoundStream& s : streams) {
    std::string lower = s.name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const CompoundEntry* entry = reader.Find(lower);
    ASSERT_NE(entry, nullptr) << s.name;
    std::string out;
    ASSERT_TRUE(reader.Read(*entry, out, error)) << s.name << ": " << DocumentErrorWords(error);
    EXPECT_EQ(out, s.data) << s.name;
  }
  EXPECT_EQ(reader.Find("Missing"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CompoundSoundTest,
    testing::Values(SoundCase{"MiniAndRegularSectors", 3, {0, 1, 63, 64, 4095, 4096, 70000}},
                    SoundCase{"Version4", 4, {100, 4096, 20000}},
                    // 130 FAT sectors: 21 of them are named by a DIFAT sector.
                    SoundCase{"FatPastTheHeaderThroughDifat", 3, {130u * 128 * 512 - 40000}}),
    test::CaseName());

struct HostileCase {
  std::string name;
  std::function<void(CompoundImage&)> damage;
  std::string reason;
  std::vector<CompoundStream> streams = {{"Small", std::string(100, 's')},
                                         {"Large", std::string(9000, 'l')}};
};

class CompoundHostileTest : public testing::TestWithParam<HostileCase> {};

// Refused when opened or when the streams are read; never a stream past the file.
TEST_P(CompoundHostileTest, IsRefusedWithItsReason) {
  CompoundImage image = test::BuildCompound(GetParam().streams);
  GetParam().damage(image);
  const Bytes file = image.AsBytes();
  CompoundFile reader;
  DocumentError error = DocumentError::kNone;
  std::string got;
  if (!reader.Open(file, error)) {
    got = DocumentErrorWords(error);
  } else {
    for (const CompoundEntry& e : reader.Entries()) {
      std::string out;
      if (!reader.Read(e, out, error)) {
        EXPECT_TRUE(out.empty());
        got = DocumentErrorWords(error);
        break;
      }
    }
  }
  EXPECT_EQ(got, GetParam().reason);
}

constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::size_t kDifatStart = 68, kDifatCount = 72, kFatCount = 44;

std::size_t SizeField(const CompoundImage& image, std::uint32_t entry) {
  return image.EntryOffset(entry) + 120;
}

INSTANTIATE_TEST_SUITE_P(
    Damage, CompoundHostileTest,
    testing::Values(
        HostileCase{"FatChainLoops",
                    [](CompoundImage& m) {
                      const std::uint32_t s = m.start.at("Large");
                      m.Put32(m.FatOffset(s + 1), s);
                    },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"FatChainEndsEarly",
                    [](CompoundImage& m) { m.Put32(m.FatOffset(m.start.at("Large") + 3), kEnd); },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"SectorOutOfRange",
                    [](CompoundImage& m) { m.Put32(m.FatOffset(m.start.at("Large")), 0x7FFFFFF0); },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{
            "DirectoryChainLoops",
            [](CompoundImage& m) { m.Put32(m.FatOffset(m.directory_sector), m.directory_sector); },
            DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"DifatLoops",
                    [](CompoundImage& m) {
                      // 200 FAT sectors claimed; the DIFAT names itself as its next sector.
                      const std::uint32_t difat = m.directory_sector;
                      m.Put32(kFatCount, 200);
                      m.Put32(kDifatStart, difat);
                      m.Put32(kDifatCount, 1);
                      m.Put32(m.SectorOffset(difat) + 508, difat);
                    },
                    DocumentErrorWords(DocumentError::kDamaged),
                    {{"Large", std::string(300000, 'l')}}},
        HostileCase{"MoreFatSectorsThanTheFileHolds",
                    [](CompoundImage& m) { m.Put32(kFatCount, 0x10000000); },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"StreamSizeLies", [](CompoundImage& m) { m.Put32(SizeField(m, 2), 50000000); },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"StreamPast256MiB",
                    [](CompoundImage& m) { m.Put32(SizeField(m, 2), 300u << 20); },
                    DocumentErrorWords(DocumentError::kTooLarge)},
        HostileCase{"MiniStreamShorterThanItsStreams",
                    [](CompoundImage& m) { m.Put32(SizeField(m, 0), 64); },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"MiniChainLoops",
                    [](CompoundImage& m) {
                      // The mini FAT's first sector follows the directory's one sector.
                      m.Put32(m.SectorOffset(m.directory_sector + 1), 0);
                    },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"DirectoryTreeLoops",
                    [](CompoundImage& m) { m.Put32(m.EntryOffset(2) + 72, 1); },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"SiblingOutOfRange",
                    [](CompoundImage& m) { m.Put32(m.EntryOffset(2) + 72, 5000); },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"WrongSectorShift", [](CompoundImage& m) { m.bytes[30] = 10; },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"CutShort", [](CompoundImage& m) { m.bytes.resize(m.bytes.size() - 2048); },
                    DocumentErrorWords(DocumentError::kDamaged)},
        HostileCase{"TooManyEntries", [](CompoundImage&) {},
                    DocumentErrorWords(DocumentError::kTooManyEntries),
                    std::vector<CompoundStream>(10001, CompoundStream{"s", "x"})}),
    test::CaseName());

}  // namespace
}  // namespace kelvaro
