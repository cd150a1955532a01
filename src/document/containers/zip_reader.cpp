#include "document/containers/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "document/containers/little_endian.h"
#include "document/errors.h"
#include "text/text.h"

namespace kelvaro {

namespace {

constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kLocalSize = 30;

using little_endian::U16;
using little_endian::U32;

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

bool ZipReader::Open(std::span<const std::uint8_t> archive, DocumentError& error,
                     ZipLimits limits) {
  archive_ = archive;
  limits_ = limits;
  members_.clear();
  index_.clear();
  error = DocumentError::kNone;
  std::size_t end_at = 0;
  if (!FindEnd(archive, end_at)) return Fail(error, DocumentError::kDamaged);
  const std::uint16_t disk = U16(archive, end_at + 4);
  const std::uint16_t directory_disk = U16(archive, end_at + 6);
  const std::uint16_t count = U16(archive, end_at + 10);
  const std::uint32_t directory_size = U32(archive, end_at + 12);
  const std::uint32_t directory_offset = U32(archive, end_at + 16);
  if (directory_size == 0xFFFFFFFF || directory_offset == 0xFFFFFFFF ||
      (end_at >= 20 && U32(archive, end_at - 20) == kZip64LocatorSignature)) {
    return Fail(error, DocumentError::kZip64);
  }
  if (disk != 0 || directory_disk != 0) return Fail(error, DocumentError::kDamaged);
  directory_offset_ = directory_offset;

  // The directory is walked by its size, not by its 16-bit count, so that a count that
  // wrapped round cannot hide members from the limit.
  std::size_t at = directory_offset;
  const std::size_t directory_end = static_cast<std::size_t>(directory_offset) + directory_size;
  while (at < directory_end) {
    if (members_.size() >= limits_.max_members) return Fail(error, DocumentError::kTooManyMembers);
    std::size_t entry_size = 0;
    if (!ReadDirectoryEntry(at, directory_end, entry_size, error)) return false;
    at += entry_size;
  }
  if (at != directory_end || (members_.size() & 0xFFFF) != count) {
    return Fail(error, DocumentError::kDamaged);
  }
  return true;
}

bool ZipReader::ReadDirectoryEntry(std::size_t at, std::size_t directory_end, std::size_t& size,
                                   DocumentError& error) {
  const std::span<const std::uint8_t> archive = archive_;
  if (directory_end - at < kCentralSize || U32(archive, at) != kCentralSignature) {
    return Fail(error, DocumentError::kDamaged);
  }
  const std::size_t name_size = U16(archive, at + 28);
  const std::size_t extra_size = U16(archive, at + 30);
  const std::size_t comment_size = U16(archive, at + 32);
  size = kCentralSize + name_size + extra_size + comment_size;
  if (directory_end - at < size) return Fail(error, DocumentError::kDamaged);
  ZipMember m;
  m.flags = U16(archive, at + 8);
  m.method = U16(archive, at + 10);
  m.crc32 = U32(archive, at + 16);
  m.compressed_size = U32(archive, at + 20);
  m.size = U32(archive, at + 24);
  m.local_header_offset = U32(archive, at + 42);
  if (m.compressed_size == 0xFFFFFFFF || m.size == 0xFFFFFFFF ||
      m.local_header_offset == 0xFFFFFFFF) {
    return Fail(error, DocumentError::kZip64);
  }
  if (U16(archive, at + 34) != 0) return Fail(error, DocumentError::kDamaged);  // another disk
  m.name.assign(reinterpret_cast<const char*>(archive.data() + at + kCentralSize), name_size);
  if (!IsSafeMemberName(m.name)) return Fail(error, DocumentError::kUnsafePath);
  if (!index_.emplace(LowerAscii(m.name), members_.size()).second) {
    return Fail(error, DocumentError::kDamaged);
  }
  if (m.local_header_offset >= directory_offset_) return Fail(error, DocumentError::kDamaged);
  members_.push_back(std::move(m));
  return true;
}

const ZipMember* ZipReader::Find(std::string_view name) const {
  const auto it = index_.find(LowerAscii(name));
  return it == index_.end() ? nullptr : &members_[it->second];
}

bool ZipReader::Extract(const ZipMember& member, std::string& out, DocumentError& error) const {
  out.clear();
  ZipStream stream;
  if (!stream.Open(*this, member, error)) return false;
  out.reserve(member.size);
  while (stream.Read(out, member.size)) {
  }
  error = stream.Error();
  if (error != DocumentError::kNone) out.clear();
  return error == DocumentError::kNone;
}

ZipStream::ZipStream() = default;

ZipStream::~ZipStream() {
  if (z_ != nullptr) inflateEnd(z_.get());
}

bool ZipStream::Open(const ZipReader& zip, const ZipMember& member, DocumentError& error) {
  error = DocumentError::kNone;
  error_ = DocumentError::kNone;
  if (z_ != nullptr) {
    inflateEnd(z_.get());
    z_.reset();
  }
  data_ = nullptr;
  if ((member.flags & 0x0001) != 0) return Fail(error, DocumentError::kEncrypted);
  if (member.method != 0 && member.method != 8) return Fail(error, DocumentError::kMethod);
  // The declared sizes decide before anything is inflated; inflating then stops at the
  // declared size, so a member that lies about it cannot take more memory than that.
  if (member.size > zip.limits_.max_member_size ||
      member.size > member.compressed_size * zip.limits_.max_ratio) {
    return Fail(error, DocumentError::kTooLarge);
  }
  const std::span<const std::uint8_t> archive = zip.archive_;
  const std::uint64_t at = member.local_header_offset;
  if (at + kLocalSize > zip.directory_offset_ || U32(archive, at) != kLocalSignature) {
    return Fail(error, DocumentError::kDamaged);
  }
  const std::size_t name_size = U16(archive, at + 26);
  const std::size_t extra_size = U16(archive, at + 28);
  const std::uint64_t data_at = at + kLocalSize + name_size + extra_size;
  if (data_at + member.compressed_size > zip.directory_offset_) {
    return Fail(error, DocumentError::kDamaged);
  }
  const std::string_view local_name(reinterpret_cast<const char*>(archive.data() + at + kLocalSize),
                                    name_size);
  if (local_name != member.name) return Fail(error, DocumentError::kDamaged);
  if (member.method == 0 && member.compressed_size != member.size) {
    return Fail(error, DocumentError::kDamaged);
  }
  if (member.method == 8) {
    z_ = std::make_unique<z_stream_s>();
    if (inflateInit2(z_.get(), -MAX_WBITS) != Z_OK) {
      z_.reset();
      return Fail(error, DocumentError::kDamaged);
    }
    z_->next_in = const_cast<Bytef*>(archive.data() + data_at);
    z_->avail_in = static_cast<uInt>(member.compressed_size);
  }
  data_ = archive.data() + data_at;
  size_ = member.size;
  done_ = 0;
  expected_crc_ = member.crc32;
  crc_ = crc32(0L, Z_NULL, 0);
  return true;
}

bool ZipStream::Read(std::string& out, std::size_t max) {
  if (data_ == nullptr) return false;
  if (done_ == size_) {
    if (size_ == 0) Finish();  // nothing to give, but the member is checked all the same
    data_ = nullptr;
    return false;
  }
  const std::size_t want = static_cast<std::size_t>(
      std::min<std::uint64_t>(std::max<std::size_t>(max, 1), size_ - done_));
  const std::size_t old_size = out.size();
  out.resize(old_size + want);
  auto* to = reinterpret_cast<Bytef*>(out.data() + old_size);
  std::size_t got = want;
  if (z_ == nullptr) {
    std::memcpy(to, data_ + done_, want);
  } else {
    z_->next_out = to;
    z_->avail_out = static_cast<uInt>(want);
    int status = Z_OK;
    while (status == Z_OK && z_->avail_out == want) status = inflate(z_.get(), Z_NO_FLUSH);
    got = want - z_->avail_out;
    // Input used up, or the stream ended, short of the declared size: the size lied.
    if ((status != Z_OK && status != Z_STREAM_END) || got == 0 ||
        (status == Z_STREAM_END && done_ + got != size_)) {
      out.resize(old_size);
      error_ = DocumentError::kDamaged;
      data_ = nullptr;
      return false;
    }
  }
  out.resize(old_size + got);
  crc_ = crc32(crc_, to, static_cast<uInt>(got));
  done_ += got;
  if (done_ == size_ && !Finish()) {
    data_ = nullptr;
    return false;
  }
  return true;
}

// At the declared size: the deflated stream must end right there, and the CRC agree.
bool ZipStream::Finish() {
  if (z_ != nullptr) {
    Bytef probe[1];
    z_->next_out = probe;
    z_->avail_out = sizeof probe;
    const int status = inflate(z_.get(), Z_FINISH);
    if (status != Z_STREAM_END || z_->avail_out == 0) error_ = DocumentError::kDamaged;
  }
  if (crc_ != expected_crc_) error_ = DocumentError::kDamaged;
  return error_ == DocumentError::kNone;
}

}  // namespace kelvaro
