// The reference UTF-8 encoder tests compare the product's conversions with.
#pragma once

#include <string>

namespace kelvaro::test {

// One code point in UTF-8, written out from the definition (no validity check: a surrogate
// or a value past U+10FFFF is encoded all the same, as test input may need).
std::string EncodeUtf8(char32_t c);

}  // namespace kelvaro::test
