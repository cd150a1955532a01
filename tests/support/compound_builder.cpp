#include "support/compound_builder.h"

#include <algorithm>

#include "text/encoding.h"

namespace kelvaro::test {

namespace {

constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kCutoff = 4096;

std::uint32_t Sectors(std::size_t bytes, std::size_t unit) {
  return static_cast<std::uint32_t>((bytes + unit - 1) / unit);
}

std::u16string Utf16(const std::string& utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = DecodeUtf8(utf8, i);
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  return out;
}

}  // namespace

std::size_t CompoundImage::EntryOffset(std::uint32_t n) const {
  const std::uint32_t per_sector = sector_size / 128;
  std::uint32_t sector = directory_sector;
  for (std::uint32_t i = 0; i < n / per_sector; ++i) sector = U32(FatOffset(sector));
  return SectorOffset(sector) + 128 * (n % per_sector);
}

std::uint32_t CompoundImage::U32(std::size_t at) const {
  return static_cast<std::uint8_t>(bytes[at]) | (static_cast<std::uint8_t>(bytes[at + 1]) << 8) |
         (static_cast<std::uint8_t>(bytes[at + 2]) << 16) |
         (static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 3])) << 24);
}

void CompoundImage::Put32(std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

CompoundImage BuildCompound(const std::vector<CompoundStream>& streams, int version) {
  CompoundImage image;
  image.sector_size = version == 4 ? 4096 : 512;
  const std::uint32_t s = image.sector_size, per_fat = s / 4;

  // The mini stream: small streams in 64-byte sectors, one after another.
  std::string mini;
  std::vector<std::uint32_t> mini_fat;
  for (const CompoundStream& stream : streams) {
    if (stream.data.size() >= kCutoff || stream.data.empty()) continue;
    const std::uint32_t first = static_cast<std::uint32_t>(mini_fat.size());
    image.start[stream.name] = first;
    const std::uint32_t n = Sectors(stream.data.size(), 64);
    for (std::uint32_t i = 0; i < n; ++i) mini_fat.push_back(i + 1 < n ? first + i + 1 : kEnd);
    mini += stream.data;
    mini.resize(mini_fat.size() * 64, '\0');
  }

  // Sectors in order: FAT, DIFAT, directory, mini FAT, mini stream, large streams.
  const std::uint32_t directory = Sectors((streams.size() + 1) * 128, s);
  const std::uint32_t mini_fat_sectors = Sectors(mini_fat.size() * 4, s);
  const std::uint32_t mini_sectors = Sectors(mini.size(), s);
  std::uint32_t data = 0;
  for (const CompoundStream& stream : streams) {
    if (stream.data.size() >= kCutoff) data += Sectors(stream.data.size(), s);
  }
  const std::uint32_t rest = directory + mini_fat_sectors + mini_sectors + data;
  std::uint32_t fat = 1, difat = 0;
  for (;;) {
    const std::uint32_t need_difat = fat > 109 ? Sectors((fat - 109) * 4ull, s - 4) : 0;
    const std::uint32_t need_fat = Sectors((rest + fat + need_difat) * 4ull, s);
    if (need_fat == fat && need_difat == difat) break;
    fat = need_fat;
    difat = need_difat;
  }
  const std::uint32_t total = fat + difat + rest;
  std::vector<std::uint32_t> table(fat * per_fat, kFree);
  for (std::uint32_t i = 0; i < fat; ++i) table[i] = kFatSector;
  for (std::uint32_t i = 0; i < difat; ++i) table[fat + i] = kDifatSector;
  std::uint32_t next = fat + difat;
  auto chain = [&](std::uint32_t n) {
    const std::uint32_t first = n == 0 ? kEnd : next;
    for (std::uint32_t i = 0; i < n; ++i, ++next) table[next] = i + 1 < n ? next + 1 : kEnd;
    return first;
  };
  image.directory_sector = chain(directory);
  const std::uint32_t mini_fat_start = chain(mini_fat_sectors);
  const std::uint32_t mini_start = chain(mini_sectors);

  image.bytes.assign((total + 1ull) * s, '\0');
  auto put = [&](std::uint32_t sector, const std::string& bytes) {
    image.bytes.replace(image.SectorOffset(sector), bytes.size(), bytes);
  };
  std::vector<std::uint32_t> stream_start(streams.size(), kEnd);
  for (std::size_t i = 0; i < streams.size(); ++i) {
    if (streams[i].data.size() < kCutoff) continue;
    stream_start[i] = chain(Sectors(streams[i].data.size(), s));
    image.start[streams[i].name] = stream_start[i];
    put(stream_start[i], streams[i].data);
  }
  if (!mini.empty()) put(mini_start, mini);
  std::string mini_fat_bytes;
  for (std::uint32_t v : mini_fat) {
    for (int k = 0; k < 4; ++k) mini_fat_bytes += static_cast<char>((v >> (8 * k)) & 0xFF);
  }
  mini_fat_bytes.resize(mini_fat_sectors * s, '\xFF');
  if (mini_fat_sectors > 0) put(mini_fat_start, mini_fat_bytes);

  // Header.
  const char signature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
  image.bytes.replace(0, 8, signature, 8);
  auto put16 = [&](std::size_t at, std::uint32_t v) {
    image.bytes[at] = static_cast<char>(v & 0xFF);
    image.bytes[at + 1] = static_cast<char>(v >> 8);
  };
  put16(24, 0x3E);
  put16(26, static_cast<std::uint32_t>(version));
  put16(28, 0xFFFE);
  put16(30, version == 4 ? 12 : 9);
  put16(32, 6);
  if (version == 4) image.Put32(40, directory);
  image.Put32(44, fat);
  image.Put32(48, image.directory_sector);
  image.Put32(56, kCutoff);
  image.Put32(60, mini_fat_start);
  image.Put32(64, mini_fat_sectors);
  image.Put32(68, difat == 0 ? kEnd : fat);
  image.Put32(72, difat);
  for (std::uint32_t i = 0; i < 109; ++i) image.Put32(76 + 4 * i, i < fat ? i : kFree);
  for (std::uint32_t d = 0; d < difat; ++d) {
    const std::size_t at = image.SectorOffset(fat + d);
    for (std::uint32_t k = 0; k + 1 < per_fat; ++k) {
      const std::uint32_t index = 109 + d * (per_fat - 1) + k;
      image.Put32(at + 4 * k, index < fat ? index : kFree);
    }
    image.Put32(at + s - 4, d + 1 < difat ? fat + d + 1 : kEnd);
  }
  for (std::uint32_t i = 0; i < table.size(); ++i) image.Put32(image.FatOffset(i), table[i]);

  // Directory: the root, then the streams as a chain of right siblings.
  auto entry = [&](std::uint32_t n, const std::string& name, int type, std::uint32_t start,
                   std::uint64_t size, std::uint32_t right, std::uint32_t child) {
    const std::size_t at = image.EntryOffset(n);
    const std::u16string wide = Utf16(name);
    for (std::size_t i = 0; i < wide.size() && i < 31; ++i) put16(at + 2 * i, wide[i]);
    put16(at + 64, static_cast<std::uint32_t>(2 * (std::min<std::size_t>(wide.size(), 31) + 1)));
    image.bytes[at + 66] = static_cast<char>(type);
    image.bytes[at + 67] = 1;  // black
    image.Put32(at + 68, kFree);
    image.Put32(at + 72, right);
    image.Put32(at + 76, child);
    image.Put32(at + 116, start);
    image.Put32(at + 120, static_cast<std::uint32_t>(size));
    image.Put32(at + 124, static_cast<std::uint32_t>(size >> 32));
  };
  const auto count = static_cast<std::uint32_t>(streams.size());
  entry(0, "Root Entry", 5, mini_start, mini.size(), kFree, count == 0 ? kFree : 1);
  for (std::uint32_t i = 0; i < count; ++i) {
    const CompoundStream& stream = streams[i];
    const std::uint32_t start = stream.data.size() >= kCutoff ? stream_start[i]
                                : stream.data.empty()         ? kEnd
                                                              : image.start[stream.name];
    entry(i + 1, stream.name, 2, start, stream.data.size(), i + 1 < count ? i + 2 : kFree, kFree);
  }
  return image;
}

}  // namespace kelvaro::test
