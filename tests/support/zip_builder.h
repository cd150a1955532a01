// Zip archives made in memory for the document tests, sound or broken on purpose: sizes
// that lie, names that climb out, many members, a wrong method, cut short.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace kelvaro::test {

struct ZipEntry {
  std::string name;
  std::string data;  // the member's bytes as unpacked
  bool deflate = true;
  std::uint16_t flags = 0;  // 0x0001 encrypted, 0x0008 sizes in a data descriptor
  // Written in place of the true values when set.
  std::optional<std::uint16_t> method;
  std::optional<std::uint32_t> size;
  std::optional<std::uint32_t> compressed_size;
  std::optional<std::uint32_t> crc;
  std::optional<std::string> compressed;  // the stored bytes instead of `data` packed
  std::optional<std::string> local_name;  // the name in the local header
};

class ZipBuilder {
 public:
  ZipBuilder& Add(std::string name, std::string data, bool deflate = true);
  ZipBuilder& Add(ZipEntry entry);
  std::vector<ZipEntry>& Entries() { return entries_; }
  // The member count the end record gives (the true one, modulo 65536, by default).
  ZipBuilder& EndCount(std::uint16_t count);
  ZipBuilder& Comment(std::string comment);
  // A ZIP64 end-of-directory locator before the end record.
  ZipBuilder& Zip64Locator();
  std::string Build() const;

 private:
  std::vector<ZipEntry> entries_;
  std::optional<std::uint16_t> end_count_;
  std::string comment_;
  bool zip64_locator_ = false;
};

// Raw deflate (no zlib header), as zip stores it.
std::string Deflate(std::string_view data);
// Raw deflate of `count` zero bytes, made piecewise: a bomb without its unpacked bytes.
std::string DeflateZeros(std::uint64_t count);
std::uint32_t Crc32(std::string_view data);
Bytes AsBytes(std::string_view s);

// An entry of `data` named `name`, deflated or stored.
ZipEntry Entry(std::string name, std::string data, bool deflate = true);
// The archive of `entries`, in order.
std::string Archive(std::vector<ZipEntry> entries);
// The member `name` of the zip `archive` (a marked copy's part), read with our own reader;
// empty when the archive does not open or holds no such member.
std::string ZipMemberText(std::string_view archive, const std::string& name);

}  // namespace kelvaro::test
