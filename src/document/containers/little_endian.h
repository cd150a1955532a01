// Little-endian integers in a file's bytes, as the zip and compound file formats and the Word
// and Excel 97-2003 streams store them, each widened to 32 bits. An integer that does not lie
// wholly inside reads as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace kelvaro::little_endian {

inline std::uint32_t U8(std::span<const std::uint8_t> b, std::uint64_t at) {
  return at < b.size() ? b[at] : 0;
}
inline std::uint32_t U16(std::span<const std::uint8_t> b, std::uint64_t at) {
  return at + 2 <= b.size() ? b[at] | (std::uint32_t{b[at + 1]} << 8) : 0;
}
inline std::uint32_t U32(std::span<const std::uint8_t> b, std::uint64_t at) {
  return at + 4 <= b.size() ? U16(b, at) | (U16(b, at + 2) << 16) : 0;
}

// The same in bytes held as a string: a stream read from a compound file, a directory entry.
inline std::span<const std::uint8_t> Bytes(std::string_view b) {
  return {reinterpret_cast<const std::uint8_t*>(b.data()), b.size()};
}
inline std::uint32_t U8(std::string_view b, std::uint64_t at) { return U8(Bytes(b), at); }
inline std::uint32_t U16(std::string_view b, std::uint64_t at) { return U16(Bytes(b), at); }
inline std::uint32_t U32(std::string_view b, std::uint64_t at) { return U32(Bytes(b), at); }

}  // namespace kelvaro::little_endian
