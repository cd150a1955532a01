// Reading members of a zip archive held in memory (the container of .docx and .xlsx).
// Stored and deflated members; ZIP64, encryption and other methods are refused. Nothing is
// written anywhere, and no member is inflated past the size its directory entry declares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro {

struct ZipLimits {
  std::uint64_t max_member_size = 256u << 20;  // inflated bytes of one member
  std::uint64_t max_ratio = 1000;              // inflated bytes per compressed byte
  std::size_t max_members = 10000;
};

struct ZipMember {
  std::string name;  // as stored (UTF-8 in practice)
  std::uint16_t flags = 0;
  std::uint16_t method = 0;  // 0 stored, 8 deflated
  std::uint32_t crc32 = 0;
  std::uint64_t compressed_size = 0;
  std::uint64_t size = 0;
  std::uint64_t local_header_offset = 0;
};

class ZipReader {
 public:
  // Reads the central directory of `archive`, which must outlive the reader. False with the
  // reason (reason.h) for a damaged or truncated archive, too many members, a member name
  // that climbs out of the archive ("../x", "/x", "C:x"), a duplicate name or ZIP64.
  bool Open(std::span<const std::uint8_t> archive, std::string& error, ZipLimits limits = {});

  const std::vector<ZipMember>& Members() const { return members_; }
  // The member of that name, compared without regard to ASCII case as package part names
  // are; null when there is none.
  const ZipMember* Find(std::string_view name) const;
  // The member's bytes, checked against its declared size and CRC. Refused before inflating
  // when it is encrypted, of another method, or declares more than the limits allow.
  bool Extract(const ZipMember& member, std::string& out, std::string& error) const;

 private:
  std::span<const std::uint8_t> archive_;
  std::uint64_t directory_offset_ = 0;
  ZipLimits limits_;
  std::vector<ZipMember> members_;
};

// Whether a member name stays inside the archive's folder when unpacked.
bool IsSafeMemberName(std::string_view name);

}  // namespace kelvaro
