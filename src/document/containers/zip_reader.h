// Reading members of a zip archive held in memory (the container of .docx and .xlsx).
// Stored and deflated members; ZIP64, encryption and other methods are refused. Nothing is
// written anywhere, and no member is inflated past the size its directory entry declares.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "document/errors.h"

struct z_stream_s;

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
  bool Open(std::span<const std::uint8_t> archive, DocumentError& error, ZipLimits limits = {});

  const std::vector<ZipMember>& Members() const { return members_; }
  // The member of that name, compared without regard to ASCII case as package part names
  // are; null when there is none.
  const ZipMember* Find(std::string_view name) const;
  // The member's bytes, checked against its declared size and CRC. Refused before inflating
  // when it is encrypted, of another method, or declares more than the limits allow.
  bool Extract(const ZipMember& member, std::string& out, DocumentError& error) const;

 private:
  // The central directory's entry at `at` (before `directory_end`) made a member; `size`: its
  // bytes in the directory.
  bool ReadDirectoryEntry(std::size_t at, std::size_t directory_end, std::size_t& size,
                          DocumentError& error);
  friend class ZipStream;

  std::span<const std::uint8_t> archive_;
  std::uint64_t directory_offset_ = 0;
  ZipLimits limits_;
  std::vector<ZipMember> members_;
  std::unordered_map<std::string, std::size_t> index_;  // lower-case name -> member
};

// One member's bytes a piece at a time, so that a large member need not be held whole;
// checked as Extract checks them, the size and CRC once the last piece is in.
class ZipStream {
 public:
  ZipStream();
  ~ZipStream();
  ZipStream(const ZipStream&) = delete;
  ZipStream& operator=(const ZipStream&) = delete;

  // False with the reason when Extract would refuse the member before inflating it. `zip`
  // must outlive the stream.
  bool Open(const ZipReader& zip, const ZipMember& member, DocumentError& error);
  // Appends at least one and at most `max` more bytes to `out`; false when none are left or
  // the member is damaged (then Error() gives the reason and the bytes read are no good).
  bool Read(std::string& out, std::size_t max);
  DocumentError Error() const { return error_; }

 private:
  bool Finish();

  const std::uint8_t* data_ = nullptr;
  std::uint64_t size_ = 0;
  std::uint64_t done_ = 0;  // bytes given so far
  std::uint32_t expected_crc_ = 0;
  unsigned long crc_ = 0;
  std::unique_ptr<z_stream_s> z_;  // deflated members only
  DocumentError error_ = DocumentError::kNone;
};

// Whether a member name stays inside the archive's folder when unpacked.
bool IsSafeMemberName(std::string_view name);

}  // namespace kelvaro
