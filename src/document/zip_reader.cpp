#include "document/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <limits>
#include <unordered_set>

#include "document/reasons.h"

namespace kelvaro {

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerName(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

bool Fail(std::string& error, const char* reason) {
  error = reason;
  return false;
}

// The end-of-central-directory record nearest the end whose directory lies before it. A
// comment may follow it, so the last 64 KiB are searched.
bool FindEnd(std::span<const std::uint8_t> a, std::size_t& end_at) {
  if (a.size() < kEndSize) return false;
  const std::size_t lowest = a.size() > kEndSize + 0xFFFF ? a.size() - kEndSize - 0xFFFF : 0;
  for (std::size_t at = a.size() - kEndSize + 1; at-- > lowest;) {
    if (U32(a, at) != kEndSignature) continue;
    const std::uint64_t size = U32(a, at + 12);
    const std::uint64_t offset = U32(a, at + 16);
    if (at + kEndSize + U16(a, at + 20) <= a.size() && offset + size <= at) {
      end_at = at;
      return true;
    }
    if (size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
      end_at = at;  // ZIP64 markers: the caller says so
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsSafeMemberName(std::string_view name) {
  if (name.empty() || name.front() == '/' || name.front() == '\\') return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // a drive letter
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t stop = name.find_first_of("/\\", start);
    if (stop == std::string_view::npos) stop = name.size();
    if (name.substr(start, stop - start) == "..") return false;
    start = stop + 1;
  }
  return name.find('\0') == std::string_view::npos;
}

bool ZipReader::Open(std::span<const std::uint8_t> archive, std::string& error, ZipLimits limits) {
  archive_ = archive;
  limits_ = limits;
  members_.clear();
  error.clear();
  std::size_t end_at = 0;
  if (!FindEnd(archive, end_at)) return Fail(error, reason::kDamaged);
  const std::uint16_t disk = U16(archive, end_at + 4);
  const std::uint16_t directory_disk = U16(archive, end_at + 6);
  const std::uint16_t count = U16(archive, end_at + 10);
  const std::uint32_t directory_size = U32(archive, end_at + 12);
  const std::uint32_t directory_offset = U32(archive, end_at + 16);
  if (directory_size == 0xFFFFFFFF || directory_offset == 0xFFFFFFFF ||
      (end_at >= 20 && U32(archive, end_at - 20) == kZip64LocatorSignature)) {
    return Fail(error, reason::kZip64);
  }
  if (disk != 0 || directory_disk != 0) return Fail(error, reason::kDamaged);
  directory_offset_ = directory_offset;

  // The directory is walked by its size, not by its 16-bit count, so that a count that
  // wrapped round cannot hide members from the limit.
  std::unordered_set<std::string> names;
  std::size_t at = directory_offset;
  const std::size_t directory_end = static_cast<std::size_t>(directory_offset) + directory_size;
  while (at < directory_end) {
    if (members_.size() >= limits_.max_members) return Fail(error, reason::kTooManyMembers);
    if (directory_end - at < kCentralSize || U32(archive, at) != kCentralSignature) {
      return Fail(error, reason::kDamaged);
    }
    const std::size_t name_size = U16(archive, at + 28);
    const std::size_t extra_size = U16(archive, at + 30);
    const std::size_t comment_size = U16(archive, at + 32);
    const std::size_t entry_size = kCentralSize + name_size + extra_size + comment_size;
    if (directory_end - at < entry_size) return Fail(error, reason::kDamaged);
    ZipMember m;
    m.flags = U16(archive, at + 8);
    m.method = U16(archive, at + 10);
    m.crc32 = U32(archive, at + 16);
    m.compressed_size = U32(archive, at + 20);
    m.size = U32(archive, at + 24);
    m.local_header_offset = U32(archive, at + 42);
    if (m.compressed_size == 0xFFFFFFFF || m.size == 0xFFFFFFFF ||
        m.local_header_offset == 0xFFFFFFFF) {
      return Fail(error, reason::kZip64);
    }
    if (U16(archive, at + 34) != 0) return Fail(error, reason::kDamaged);  // another disk
    m.name.assign(reinterpret_cast<const char*>(archive.data() + at + kCentralSize), name_size);
    if (!IsSafeMemberName(m.name)) return Fail(error, reason::kUnsafePath);
    if (!names.insert(LowerName(m.name)).second) return Fail(error, reason::kDamaged);
    if (m.local_header_offset >= directory_offset) return Fail(error, reason::kDamaged);
    members_.push_back(std::move(m));
    at += entry_size;
  }
  if (at != directory_end || (members_.size() & 0xFFFF) != count) {
    return Fail(error, reason::kDamaged);
  }
  return true;
}

const ZipMember* ZipReader::Find(std::string_view name) const {
  const std::string wanted = LowerName(name);
  for (const ZipMember& m : members_) {
    if (m.name.size() == wanted.size() && LowerName(m.name) == wanted) return &m;
  }
  return nullptr;
}

bool ZipReader::Extract(const ZipMember& member, std::string& out, std::string& error) const {
  out.clear();
  error.clear();
  if ((member.flags & 0x0001) != 0) return Fail(error, reason::kEncrypted);
  if (member.method != 0 && member.method != 8) return Fail(error, reason::kMethod);
  // The declared sizes decide before anything is inflated; inflating then stops at the
  // declared size, so a member that lies about it cannot take more memory than that.
  if (member.size > limits_.max_member_size ||
      member.size > member.compressed_size * limits_.max_ratio) {
    return Fail(error, reason::kTooLarge);
  }
  const std::uint64_t at = member.local_header_offset;
  if (at + kLocalSize > directory_offset_ || U32(archive_, at) != kLocalSignature) {
    return Fail(error, reason::kDamaged);
  }
  const std::size_t name_size = U16(archive_, at + 26);
  const std::size_t extra_size = U16(archive_, at + 28);
  const std::uint64_t data_at = at + kLocalSize + name_size + extra_size;
  if (data_at + member.compressed_size > directory_offset_) return Fail(error, reason::kDamaged);
  const std::string_view local_name(
      reinterpret_cast<const char*>(archive_.data() + at + kLocalSize), name_size);
  if (local_name != member.name) return Fail(error, reason::kDamaged);
  const std::uint8_t* data = archive_.data() + data_at;

  if (member.method == 0) {
    if (member.compressed_size != member.size) return Fail(error, reason::kDamaged);
    out.assign(reinterpret_cast<const char*>(data), member.size);
  } else {
    out.resize(member.size);
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return Fail(error, reason::kDamaged);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(member.compressed_size);
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(member.size);
    int status = inflate(&z, Z_FINISH);
    if (status == Z_BUF_ERROR && z.avail_out == 0) {
      // The output is full: the stream must end right here, else the size lied.
      Bytef probe[1];
      z.next_out = probe;
      z.avail_out = sizeof probe;
      status = inflate(&z, Z_FINISH);
      if (z.avail_out == 0) status = Z_DATA_ERROR;
    }
    const bool whole = status == Z_STREAM_END && z.total_out == member.size;
    inflateEnd(&z);
    if (!whole) {
      out.clear();
      return Fail(error, reason::kDamaged);
    }
  }
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(out.data()),
                          static_cast<uInt>(out.size()));
  if (crc != member.crc32) {
    out.clear();
    return Fail(error, reason::kDamaged);
  }
  return true;
}

}  // namespace kelvaro
