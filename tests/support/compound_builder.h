// Compound files (the OLE2 container of .doc and .xls) made in memory for the document
// tests, with the offsets a test needs to break them on purpose: FAT and DIFAT entries,
// directory entries, header fields.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "text/text.h"

namespace kelvaro::test {

struct CompoundStream {
  std::string name;  // UTF-8
  std::string data;  // under 4096 bytes it goes into the mini stream
};

struct CompoundImage {
  std::string bytes;
  std::uint32_t sector_size = 512;
  std::uint32_t directory_sector = 0;          // the directory's first sector
  std::map<std::string, std::uint32_t> start;  // each stream's first (mini) sector

  // Where sector `n` starts in `bytes`.
  std::size_t SectorOffset(std::uint32_t n) const { return (n + 1ull) * sector_size; }
  // Where FAT entry `n` lies (the FAT's sectors come first, in order).
  std::size_t FatOffset(std::uint32_t n) const {
    return SectorOffset(n / (sector_size / 4)) + 4 * (n % (sector_size / 4));
  }
  // Where directory entry `n` lies (0 is the root, then the streams in the order given).
  std::size_t EntryOffset(std::uint32_t n) const;
  std::uint32_t U32(std::size_t at) const;
  void Put32(std::size_t at, std::uint32_t value);
  Bytes AsBytes() const { return Bytes(bytes.begin(), bytes.end()); }
};

// A sound file of version 3 (512-byte sectors) or 4 (4096). The FAT is as long as the file
// needs, through DIFAT sectors past 109 FAT sectors.
CompoundImage BuildCompound(const std::vector<CompoundStream>& streams, int version = 3);

}  // namespace kelvaro::test
