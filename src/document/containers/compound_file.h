// Reading streams of a compound file (the OLE2 container of .doc, .xls and .wps) held in
// memory. Versions 3 (512-byte sectors) and 4 (4096); every chain is walked with a mark per
// sector, so a loop, a chain that runs out or a sector past the file is refused, never
// followed, and no stream is read past the size its entry declares or the limits allow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "document/errors.h"

namespace kelvaro {

struct CompoundLimits {
  std::uint64_t max_stream_size = 256u << 20;
  std::size_t max_entries = 10000;  // directory entries in use
};

struct CompoundEntry {
  std::string name;  // UTF-8
  bool is_stream = false;
  std::uint32_t start = 0;  // first sector (of the mini stream when size < the cutoff)
  std::uint64_t size = 0;
};

// Whether the bytes start with the compound file signature.
bool IsCompoundFile(std::span<const std::uint8_t> bytes);

class CompoundFile {
 public:
  // Reads the header, the FAT (through the DIFAT), the mini FAT and the directory of `file`,
  // which must outlive the reader. False with the reason.
  bool Open(std::span<const std::uint8_t> file, DocumentError& error, CompoundLimits limits = {});

  // The entries directly below the root storage, in the order of their tree.
  const std::vector<CompoundEntry>& Entries() const { return entries_; }
  // The stream of that name below the root, compared without regard to ASCII case as the
  // container compares names; null when there is none.
  const CompoundEntry* Find(std::string_view name) const;
  // The stream's bytes, exactly its declared size; false with the reason when its chain
  // loops, ends early, leaves the file or it is larger than the limits allow.
  bool Read(const CompoundEntry& entry, std::string& out, DocumentError& error) const;

 private:
  // The header's fields that reading needs, named as the format names them.
  struct Header {
    std::uint16_t major_version = 0;
    std::uint32_t fat_sectors = 0;
    std::uint32_t first_directory_sector = 0;
    std::uint32_t first_mini_fat_sector = 0;
    std::uint32_t mini_fat_sectors = 0;
    std::uint32_t first_difat_sector = 0;
  };
  // One step per table, as olefile's loadfat, loaddirectory and loadminifat.
  bool ReadHeader(Header& header, DocumentError& error);
  bool LoadFat(const Header& header, DocumentError& error);
  bool LoadDirectory(const Header& header, std::string& directory, DocumentError& error);
  bool LoadMiniFat(const Header& header, std::string_view root, DocumentError& error);
  bool LoadEntries(std::string_view directory, DocumentError& error);
  // The sector's 4-byte entries (of the FAT or mini FAT) appended to `table`.
  bool AppendTableSector(std::uint32_t s, std::vector<std::uint32_t>& table,
                         DocumentError& error) const;
  // A directory entry's stream size: version 3 keeps only its low 32 bits.
  std::uint64_t StreamSize(std::string_view entry) const;
  bool Chain(const std::vector<std::uint32_t>& table, std::uint32_t start, std::uint64_t max_links,
             std::vector<std::uint32_t>& out, DocumentError& error) const;
  bool ReadSectors(std::uint32_t start, std::uint64_t size, std::string& out,
                   DocumentError& error) const;

  std::span<const std::uint8_t> file_;
  CompoundLimits limits_;
  std::uint16_t major_version_ = 3;
  unsigned sector_shift_ = 9;
  unsigned mini_shift_ = 6;
  std::uint32_t cutoff_ = 4096;
  std::uint64_t sector_count_ = 0;  // sectors the file holds, the last maybe partly
  std::vector<std::uint32_t> fat_;
  std::vector<std::uint32_t> mini_fat_;
  std::string mini_stream_;
  std::vector<CompoundEntry> entries_;
};

}  // namespace kelvaro
