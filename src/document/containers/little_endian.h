// Little-endian integers in a file's bytes, as the zip and compound file formats store them;
// the caller has checked that they lie inside.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kelvaro::little_endian {

inline std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

inline std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

}  // namespace kelvaro::little_endian
