// Code page 936 (GBK), asked of the system.
#pragma once

#include <array>
#include <cstdint>

namespace kelvaro::platform {

// encode[c]: the GBK spelling of code point c: 0 when GBK has no such character, a value
// below 0x100 for one ASCII byte, else lead << 8 | trail.
// decode[(lead - 0x80) * 256 + trail]: the code point of a two-byte character, 0 for none.
using GbkEncodeTable = std::array<std::uint16_t, 0x10000>;
using GbkDecodeTable = std::array<char32_t, 0x8000>;
// Asked of the system once per process. Always code page 936, never the system's own.
void FillCodePage936Tables(GbkEncodeTable& encode, GbkDecodeTable& decode);

}  // namespace kelvaro::platform
