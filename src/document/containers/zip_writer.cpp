#include "document/containers/zip_writer.h"

#include <zlib.h>

#include <algorithm>
#include <new>
#include <stdexcept>

namespace kelvaro {

namespace {

constexpr std::uint32_t kLocalHeader = 0x04034B50;
constexpr std::uint32_t kCentralHeader = 0x02014B50;
constexpr std::uint32_t kEndOfDirectory = 0x06054B50;
constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = (1 << 5) | 1;  // 1980-01-01, the earliest a zip can say
constexpr std::uint16_t kUtf8Name = 1 << 11;
constexpr std::uint64_t kMax32 = 0xFFFFFFFFu;
constexpr std::size_t kMaxMembers = 0xFFFF;
// zlib counts in uInt, which is 32 bits everywhere.
constexpr std::size_t kZlibChunk = std::size_t{1} << 30;

void Put16(Bytes& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, static_cast<std::uint16_t>(v));
  Put16(out, static_cast<std::uint16_t>(v >> 16));
}

void Set32(Bytes& out, std::size_t at, std::uint32_t v) {
  for (int k = 0; k < 4; ++k) out[at + k] = static_cast<std::uint8_t>(v >> (8 * k));
}

const Bytef* ZlibBytes(std::string_view data) {
  return reinterpret_cast<const Bytef*>(data.data());
}

std::uint32_t Crc32(std::string_view data) {
  uLong crc = crc32(0L, Z_NULL, 0);
  for (std::size_t done = 0; done < data.size();) {
    const std::size_t n = std::min(data.size() - done, kZlibChunk);
    crc = crc32(crc, ZlibBytes(data) + done, static_cast<uInt>(n));
    done += n;
  }
  return static_cast<std::uint32_t>(crc);
}

bool NeedsUtf8Flag(std::string_view name) {
  return std::any_of(name.begin(), name.end(),
                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Raw deflate of `data` onto the end of `out`. Gives up, leaving `out` as it was, as soon
// as the result would be no smaller than `data`.
bool AppendDeflated(Bytes& out, std::string_view data) {
  z_stream z{};
  if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    throw std::bad_alloc();
  }
  const std::size_t start = out.size();
  std::size_t consumed = 0;  // handed to zlib
  std::size_t produced = 0;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (z.avail_in == 0 && consumed < data.size()) {
      const std::size_t n = std::min(data.size() - consumed, kZlibChunk);
      z.next_in = const_cast<Bytef*>(ZlibBytes(data) + consumed);
      z.avail_in = static_cast<uInt>(n);
      consumed += n;
    }
    if (out.size() - start - produced < 4096) {
      out.resize(out.size() + std::max<std::size_t>(65536, data.size() / 4));
    }
    const std::size_t room = std::min(out.size() - start - produced, kZlibChunk);
    z.next_out = out.data() + start + produced;
    z.avail_out = static_cast<uInt>(room);
    result = deflate(&z, consumed == data.size() ? Z_FINISH : Z_NO_FLUSH);
    produced += room - z.avail_out;
    if (result == Z_STREAM_ERROR || produced >= data.size()) break;
  }
  deflateEnd(&z);
  if (result != Z_STREAM_END || produced >= data.size()) {
    out.resize(start);
    return false;
  }
  out.resize(start + produced);
  return true;
}

}  // namespace

void ZipWriter::Add(std::string_view name, std::string_view data, bool deflate) {
  if (name.empty()) throw std::invalid_argument("zip member without a name");
  if (names_.count(std::string(name)) != 0) {
    throw std::invalid_argument("zip member added twice: " + std::string(name));
  }
  if (name.size() > 0xFFFF || data.size() > kMax32 || entries_.size() >= kMaxMembers ||
      out_.size() > kMax32) {
    throw std::length_error("zip archive past what a zip without zip64 holds");
  }

  Entry entry;
  entry.name = std::string(name);
  entry.crc = Crc32(data);
  entry.size = static_cast<std::uint32_t>(data.size());
  entry.offset = static_cast<std::uint32_t>(out_.size());
  const std::uint16_t flags = NeedsUtf8Flag(name) ? kUtf8Name : 0;

  const std::size_t header = out_.size();
  Put32(out_, kLocalHeader);
  Put16(out_, 20);  // version needed: deflate
  Put16(out_, flags);
  Put16(out_, kStored);  // method and sizes are set once known
  Put16(out_, kDosTime);
  Put16(out_, kDosDate);
  Put32(out_, entry.crc);
  Put32(out_, 0);
  Put32(out_, entry.size);
  Put16(out_, static_cast<std::uint16_t>(name.size()));
  Put16(out_, 0);  // extra field
  out_.insert(out_.end(), name.begin(), name.end());

  const std::size_t body = out_.size();
  if (deflate && !data.empty() && AppendDeflated(out_, data)) {
    entry.method = kDeflated;
  } else {
    entry.method = kStored;
    out_.insert(out_.end(), data.begin(), data.end());
  }
  if (out_.size() > kMax32) {
    out_.resize(header);
    throw std::length_error("zip archive past what a zip without zip64 holds");
  }
  entry.compressed_size = static_cast<std::uint32_t>(out_.size() - body);
  out_[header + 8] = static_cast<std::uint8_t>(entry.method);
  Set32(out_, header + 18, entry.compressed_size);

  names_.insert(entry.name);
  entries_.push_back(std::move(entry));
}

Bytes ZipWriter::Finish() {
  const std::size_t directory = out_.size();
  for (const Entry& entry : entries_) {
    Put32(out_, kCentralHeader);
    Put16(out_, 20);  // made by: MS-DOS attributes, version 2.0
    Put16(out_, 20);
    Put16(out_, NeedsUtf8Flag(entry.name) ? kUtf8Name : 0);
    Put16(out_, entry.method);
    Put16(out_, kDosTime);
    Put16(out_, kDosDate);
    Put32(out_, entry.crc);
    Put32(out_, entry.compressed_size);
    Put32(out_, entry.size);
    Put16(out_, static_cast<std::uint16_t>(entry.name.size()));
    Put16(out_, 0);  // extra field
    Put16(out_, 0);  // comment
    Put16(out_, 0);  // disk
    Put16(out_, 0);  // internal attributes
    Put32(out_, 0);  // external attributes
    Put32(out_, entry.offset);
    out_.insert(out_.end(), entry.name.begin(), entry.name.end());
  }
  const std::size_t directory_size = out_.size() - directory;
  if (directory > kMax32 || directory_size > kMax32) {
    *this = ZipWriter();
    throw std::length_error("zip archive past what a zip without zip64 holds");
  }
  Put32(out_, kEndOfDirectory);
  Put16(out_, 0);  // this disk
  Put16(out_, 0);  // the directory's disk
  Put16(out_, static_cast<std::uint16_t>(entries_.size()));
  Put16(out_, static_cast<std::uint16_t>(entries_.size()));
  Put32(out_, static_cast<std::uint32_t>(directory_size));
  Put32(out_, static_cast<std::uint32_t>(directory));
  Put16(out_, 0);  // comment

  Bytes archive = std::move(out_);
  *this = ZipWriter();
  return archive;
}

}  // namespace kelvaro
