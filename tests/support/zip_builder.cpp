#include "support/zip_builder.h"

#include <zlib.h>

#include <span>
#include <stdexcept>
#include <utility>

#include "document/containers/zip_reader.h"
#include "support/little_endian_writer.h"

namespace kelvaro::test {

namespace {

// Deflates what `more` hands out, chunk by chunk, until it gives an empty chunk.
template <typename More>
std::string DeflateChunks(More more) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK) {
    throw std::runtime_error("deflateInit2");
  }
  std::string out;
  char buffer[1 << 16];
  int flush = Z_NO_FLUSH;
  do {
    std::string_view chunk = more();
    flush = chunk.empty() ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(chunk.data()));
    z.avail_in = static_cast<uInt>(chunk.size());
    do {
      z.next_out = reinterpret_cast<Bytef*>(buffer);
      z.avail_out = sizeof buffer;
      deflate(&z, flush);
      out.append(buffer, sizeof buffer - z.avail_out);
    } while (z.avail_out == 0);
  } while (flush != Z_FINISH);
  deflateEnd(&z);
  return out;
}

}  // namespace

std::string Deflate(std::string_view data) {
  bool given = false;
  return DeflateChunks([&]() -> std::string_view {
    if (given) return {};
    given = true;
    return data.empty() ? std::string_view() : data;
  });
}

std::string DeflateZeros(std::uint64_t count) {
  static const std::string zeros(1 << 20, '\0');
  std::uint64_t left = count;
  return DeflateChunks([&]() -> std::string_view {
    const std::uint64_t n = left < zeros.size() ? left : zeros.size();
    left -= n;
    return std::string_view(zeros.data(), static_cast<std::size_t>(n));
  });
}

std::uint32_t Crc32(std::string_view data) {
  return static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0),
                                          reinterpret_cast<const Bytef*>(data.data()),
                                          static_cast<uInt>(data.size())));
}

Bytes AsBytes(std::string_view s) { return Bytes(s.begin(), s.end()); }

ZipBuilder& ZipBuilder::Add(std::string name, std::string data, bool deflate) {
  ZipEntry entry;
  entry.name = std::move(name);
  entry.data = std::move(data);
  entry.deflate = deflate;
  return Add(std::move(entry));
}

ZipBuilder& ZipBuilder::Add(ZipEntry entry) {
  entries_.push_back(std::move(entry));
  return *this;
}

ZipBuilder& ZipBuilder::EndCount(std::uint16_t count) {
  end_count_ = count;
  return *this;
}

ZipBuilder& ZipBuilder::Comment(std::string comment) {
  comment_ = std::move(comment);
  return *this;
}

ZipBuilder& ZipBuilder::Zip64Locator() {
  zip64_locator_ = true;
  return *this;
}

std::string ZipBuilder::Build() const {
  std::string out;
  std::string directory;
  for (const ZipEntry& e : entries_) {
    const std::string packed =
        e.compressed ? *e.compressed : (e.deflate ? Deflate(e.data) : e.data);
    const std::uint16_t method = e.method.value_or(e.deflate ? 8 : 0);
    const std::uint32_t crc = e.crc.value_or(Crc32(e.data));
    const std::uint32_t size = e.size.value_or(static_cast<std::uint32_t>(e.data.size()));
    const std::uint32_t compressed_size =
        e.compressed_size.value_or(static_cast<std::uint32_t>(packed.size()));
    const bool descriptor = (e.flags & 0x0008) != 0;
    const std::string& local_name = e.local_name ? *e.local_name : e.name;
    const auto offset = static_cast<std::uint32_t>(out.size());

    Put32(out, 0x04034b50);
    Put16(out, 20);
    Put16(out, e.flags);
    Put16(out, method);
    Put16(out, 0);       // time
    Put16(out, 0x5A21);  // date
    Put32(out, descriptor ? 0 : crc);
    Put32(out, descriptor ? 0 : compressed_size);
    Put32(out, descriptor ? 0 : size);
    Put16(out, static_cast<std::uint32_t>(local_name.size()));
    Put16(out, 0);
    out += local_name;
    out += packed;
    if (descriptor) {
      Put32(out, 0x08074b50);
      Put32(out, crc);
      Put32(out, compressed_size);
      Put32(out, size);
    }

    Put32(directory, 0x02014b50);
    Put16(directory, 0x031E);  // made by Unix, 3.0
    Put16(directory, 20);
    Put16(directory, e.flags);
    Put16(directory, method);
    Put16(directory, 0);
    Put16(directory, 0x5A21);
    Put32(directory, crc);
    Put32(directory, compressed_size);
    Put32(directory, size);
    Put16(directory, static_cast<std::uint32_t>(e.name.size()));
    Put16(directory, 0);  // extra
    Put16(directory, 0);  // comment
    Put16(directory, 0);  // disk
    Put16(directory, 0);  // internal attributes
    Put32(directory, 0);  // external attributes
    Put32(directory, offset);
    directory += e.name;
  }
  const auto directory_offset = static_cast<std::uint32_t>(out.size());
  out += directory;
  if (zip64_locator_) {
    Put32(out, 0x07064b50);
    Put32(out, 0);
    Put32(out, static_cast<std::uint32_t>(out.size()));
    Put32(out, 0);
    Put32(out, 1);
  }
  const std::uint16_t count =
      end_count_.value_or(static_cast<std::uint16_t>(entries_.size() & 0xFFFF));
  Put32(out, 0x06054b50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, count);
  Put16(out, count);
  Put32(out, static_cast<std::uint32_t>(directory.size()));
  Put32(out, directory_offset);
  Put16(out, static_cast<std::uint32_t>(comment_.size()));
  out += comment_;
  return out;
}

ZipEntry Entry(std::string name, std::string data, bool deflate) {
  ZipEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  e.deflate = deflate;
  return e;
}

std::string Archive(std::vector<ZipEntry> entries) {
  ZipBuilder zip;
  for (ZipEntry& e : entries) zip.Add(std::move(e));
  return zip.Build();
}

std::string ZipMemberText(std::string_view archive, const std::string& name) {
  ZipReader zip;
  DocumentError error = DocumentError::kNone;
  std::string part;
  const auto bytes =
      std::span(reinterpret_cast<const std::uint8_t*>(archive.data()), archive.size());
  if (!zip.Open(bytes, error)) return part;
  if (const ZipMember* member = zip.Find(name)) zip.Extract(*member, part, error);
  return part;
}

}  // namespace kelvaro::test
