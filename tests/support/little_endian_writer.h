// Little-endian integers appended to a file being built, as the zip and compound file
// formats store them.
#pragma once

#include <cstdint>
#include <string>

namespace kelvaro::test {

inline void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

inline void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace kelvaro::test
