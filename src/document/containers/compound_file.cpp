#include "document/containers/compound_file.h"

#include <algorithm>

#include "document/containers/little_endian.h"
#include "document/errors.h"
#include "text/encoding.h"
#include "text/utf16.h"

namespace kelvaro {

namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
constexpr std::size_t kHeaderDifat = 109;
constexpr std::size_t kEntrySize = 128;

using little_endian::U16;
using little_endian::U32;

char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return UpperAscii(x) == UpperAscii(y);
         });
}

std::string EntryName(std::string_view entry) {
  const std::size_t bytes = std::min<std::size_t>(U16(entry, 64), 64);
  const auto unit = [&](std::size_t k) -> char32_t { return U16(entry, 2 * k); };
  const std::size_t units = bytes / 2;
  std::string name;
  for (std::size_t k = 0; k < units && unit(k) != 0; ++k) {
    const char32_t c = NextCodePoint(unit, units, k);
    AppendUtf8(name, IsSurrogate(c) ? kReplacementCharacter : c);
  }
  return name;
}

}  // namespace

bool IsCompoundFile(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= sizeof kSignature && std::equal(kSignature, kSignature + 8, bytes.begin());
}

bool CompoundFile::Chain(const std::vector<std::uint32_t>& table, std::uint32_t start,
                         std::uint64_t max_links, std::vector<std::uint32_t>& out,
                         DocumentError& error) const {
  out.clear();
  std::vector<bool> seen(table.size());
  for (std::uint32_t at = start; at != kEndOfChain && out.size() < max_links; at = table[at]) {
    if (at >= table.size() || seen[at]) return Fail(error, DocumentError::kDamaged);
    seen[at] = true;
    out.push_back(at);
  }
  return true;
}

bool CompoundFile::ReadSectors(std::uint32_t start, std::uint64_t size, std::string& out,
                               DocumentError& error) const {
  const std::uint64_t sector = std::uint64_t{1} << sector_shift_;
  const std::uint64_t needed = (size + sector - 1) / sector;
  if (needed > sector_count_) return Fail(error, DocumentError::kDamaged);
  std::vector<std::uint32_t> chain;
  if (!Chain(fat_, start, needed, chain, error)) return false;
  if (chain.size() < needed) return Fail(error, DocumentError::kDamaged);
  out.clear();
  out.reserve(size);
  for (const std::uint32_t s : chain) {
    if (s >= sector_count_) return Fail(error, DocumentError::kDamaged);
    const std::uint64_t offset = (std::uint64_t{s} + 1) << sector_shift_;
    const std::uint64_t take = std::min(sector, size - out.size());
    if (offset + take > file_.size()) return Fail(error, DocumentError::kDamaged);
    out.append(reinterpret_cast<const char*>(file_.data() + offset), take);
  }
  return true;
}

bool CompoundFile::Open(std::span<const std::uint8_t> file, DocumentError& error,
                        CompoundLimits limits) {
  file_ = file;
  limits_ = limits;
  fat_.clear();
  mini_fat_.clear();
  mini_stream_.clear();
  entries_.clear();
  error = DocumentError::kNone;
  Header header;
  std::string directory;
  return ReadHeader(header, error) && LoadFat(header, error) &&
         LoadDirectory(header, directory, error) &&
         LoadMiniFat(header, std::string_view(directory).substr(0, kEntrySize), error) &&
         LoadEntries(directory, error);
}

bool CompoundFile::ReadHeader(Header& header, DocumentError& error) {
  if (file_.size() < 512 || !IsCompoundFile(file_)) return Fail(error, DocumentError::kDamaged);
  header.major_version = static_cast<std::uint16_t>(U16(file_, 26));
  const std::uint32_t byte_order = U16(file_, 28);
  sector_shift_ = U16(file_, 30);
  mini_shift_ = U16(file_, 32);
  header.fat_sectors = U32(file_, 44);
  header.first_directory_sector = U32(file_, 48);
  cutoff_ = U32(file_, 56);  // the mini stream cutoff
  header.first_mini_fat_sector = U32(file_, 60);
  header.mini_fat_sectors = U32(file_, 64);
  header.first_difat_sector = U32(file_, 68);
  major_version_ = header.major_version;
  const std::uint16_t version = header.major_version;
  if (byte_order != 0xFFFE ||
      !((version == 3 && sector_shift_ == 9) || (version == 4 && sector_shift_ == 12)) ||
      mini_shift_ != 6) {
    return Fail(error, DocumentError::kDamaged);
  }
  const std::size_t sector = std::size_t{1} << sector_shift_;
  if (file_.size() <= sector) return Fail(error, DocumentError::kDamaged);
  sector_count_ = (file_.size() - sector + sector - 1) / sector;
  if (cutoff_ != 4096 || header.fat_sectors > sector_count_) {
    return Fail(error, DocumentError::kDamaged);
  }
  return true;
}

bool CompoundFile::AppendTableSector(std::uint32_t s, std::vector<std::uint32_t>& table,
                                     DocumentError& error) const {
  const std::size_t sector = std::size_t{1} << sector_shift_;
  const std::size_t at = (std::size_t{s} + 1) * sector;
  if (s >= sector_count_ || at + sector > file_.size()) return Fail(error, DocumentError::kDamaged);
  for (std::size_t i = 0; i < sector / 4; ++i) table.push_back(U32(file_, at + 4 * i));
  return true;
}

bool CompoundFile::LoadFat(const Header& header, DocumentError& error) {
  // The FAT's own sectors: 109 in the header, the rest in the DIFAT chain.
  std::vector<std::uint32_t> fat_at;
  for (std::size_t i = 0; i < kHeaderDifat && fat_at.size() < header.fat_sectors; ++i) {
    fat_at.push_back(U32(file_, 76 + 4 * i));
  }
  const std::size_t sector = std::size_t{1} << sector_shift_;
  const std::size_t per_sector = sector / 4;
  std::vector<bool> seen(sector_count_);
  for (std::uint32_t difat = header.first_difat_sector; fat_at.size() < header.fat_sectors;) {
    if (difat >= sector_count_ || seen[difat]) return Fail(error, DocumentError::kDamaged);
    seen[difat] = true;
    const std::size_t at = (std::size_t{difat} + 1) * sector;
    if (at + sector > file_.size()) return Fail(error, DocumentError::kDamaged);
    for (std::size_t i = 0; i + 1 < per_sector && fat_at.size() < header.fat_sectors; ++i) {
      fat_at.push_back(U32(file_, at + 4 * i));
    }
    difat = U32(file_, at + sector - 4);
  }
  fat_.reserve(fat_at.size() * per_sector);
  for (const std::uint32_t s : fat_at) {
    if (!AppendTableSector(s, fat_, error)) return false;
  }
  return true;
}

bool CompoundFile::LoadDirectory(const Header& header, std::string& directory,
                                 DocumentError& error) {
  // Its chain has no declared length, so it ends where the FAT says.
  std::vector<std::uint32_t> chain;
  if (!Chain(fat_, header.first_directory_sector, fat_.size(), chain, error)) return false;
  if (chain.empty()) return Fail(error, DocumentError::kDamaged);
  const std::size_t sector = std::size_t{1} << sector_shift_;
  for (const std::uint32_t s : chain) {
    const std::size_t at = (std::size_t{s} + 1) * sector;
    if (s >= sector_count_ || at + sector > file_.size()) {
      return Fail(error, DocumentError::kDamaged);
    }
    directory.append(reinterpret_cast<const char*>(file_.data() + at), sector);
  }
  std::size_t in_use = 0;
  for (std::size_t i = 0; i < directory.size() / kEntrySize; ++i) {
    if (directory[i * kEntrySize + 66] != 0) ++in_use;
  }
  if (in_use > limits_.max_entries) return Fail(error, DocumentError::kTooManyEntries);
  if (directory[66] != 5) return Fail(error, DocumentError::kDamaged);  // the root storage
  return true;
}

std::uint64_t CompoundFile::StreamSize(std::string_view entry) const {
  const std::uint64_t low = U32(entry, 120);
  return major_version_ == 3 ? low : low | (std::uint64_t{U32(entry, 124)} << 32);
}

bool CompoundFile::LoadMiniFat(const Header& header, std::string_view root, DocumentError& error) {
  // The mini stream lives in the root's chain; small streams are in it by mini FAT.
  const std::uint64_t mini_size = StreamSize(root);
  if (mini_size > limits_.max_stream_size) return Fail(error, DocumentError::kTooLarge);
  if (mini_size > 0 && !ReadSectors(U32(root, 116), mini_size, mini_stream_, error)) {
    return false;
  }
  if (header.mini_fat_sectors == 0) return true;
  std::vector<std::uint32_t> chain;
  if (header.mini_fat_sectors > sector_count_ ||
      !Chain(fat_, header.first_mini_fat_sector, header.mini_fat_sectors, chain, error)) {
    return Fail(error, DocumentError::kDamaged);
  }
  for (const std::uint32_t s : chain) {
    if (!AppendTableSector(s, mini_fat_, error)) return false;
  }
  return true;
}

bool CompoundFile::LoadEntries(std::string_view directory, DocumentError& error) {
  const std::size_t count = directory.size() / kEntrySize;
  auto entry = [&](std::size_t i) { return directory.substr(i * kEntrySize, kEntrySize); };
  // The root's children: a red-black tree by sibling links, walked in order.
  std::vector<bool> visited(count);
  std::vector<std::uint32_t> stack;
  std::uint32_t at = U32(entry(0), 76);
  while (at != kNoStream || !stack.empty()) {
    while (at != kNoStream) {
      if (at >= count || visited[at]) return Fail(error, DocumentError::kDamaged);
      visited[at] = true;
      stack.push_back(at);
      at = U32(entry(at), 68);
    }
    const std::uint32_t node = stack.back();
    stack.pop_back();
    const std::string_view e = entry(node);
    const std::uint8_t type = static_cast<std::uint8_t>(e[66]);
    if (type == 1 || type == 2) {
      CompoundEntry out;
      out.name = EntryName(e);
      out.is_stream = type == 2;
      out.start = U32(e, 116);
      out.size = out.is_stream ? StreamSize(e) : 0;
      entries_.push_back(std::move(out));
    }
    at = U32(e, 72);
  }
  return true;
}

const CompoundEntry* CompoundFile::Find(std::string_view name) const {
  for (const CompoundEntry& e : entries_) {
    if (e.is_stream && SameName(e.name, name)) return &e;
  }
  return nullptr;
}

bool CompoundFile::Read(const CompoundEntry& entry, std::string& out, DocumentError& error) const {
  out.clear();
  if (entry.size > limits_.max_stream_size) return Fail(error, DocumentError::kTooLarge);
  if (entry.size >= cutoff_) {
    if (ReadSectors(entry.start, entry.size, out, error)) return true;
    out.clear();
    return false;
  }
  const std::uint64_t mini = std::uint64_t{1} << mini_shift_;
  const std::uint64_t needed = (entry.size + mini - 1) / mini;
  std::vector<std::uint32_t> chain;
  if (!Chain(mini_fat_, entry.start, needed, chain, error)) return false;
  if (chain.size() < needed) return Fail(error, DocumentError::kDamaged);
  out.reserve(entry.size);
  for (const std::uint32_t s : chain) {
    const std::uint64_t offset = std::uint64_t{s} << mini_shift_;
    const std::uint64_t take = std::min(mini, entry.size - out.size());
    if (offset + take > mini_stream_.size()) {
      out.clear();
      return Fail(error, DocumentError::kDamaged);
    }
    out.append(mini_stream_, offset, take);
  }
  return true;
}

}  // namespace kelvaro
