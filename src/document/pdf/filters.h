// The filters of PDF streams that carry text and fonts; image filters are left alone.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "document/pdf/objects.h"

namespace kelvaro::pdf {

enum class Decoded {
  kOk,
  kImage,     // a filter of image data (DCT, JPX, JBIG2, CCITT): nothing to read
  kTooLarge,  // would pass `max_size` bytes
  kBroken     // an unknown filter or parameters
};

// The stream's bytes after its /Filter chain (a name or an array) with its /DecodeParms.
// Damaged compressed data gives what could be read before the damage, as viewers show it.
Decoded DecodeFilters(std::string_view raw, const Object& filters, const Object& parms,
                      std::size_t max_size, std::string& out);

}  // namespace kelvaro::pdf
