// Tables of simple fonts: the base encodings, glyph names and the widths of the standard
// fonts that PDFs use without /Widths.
#pragma once

#include <string_view>

namespace kelvaro::pdf {

enum class BaseEncoding { kStandard, kWinAnsi, kMacRoman };

// The code point of a byte in a base encoding; 0 for a code it leaves empty.
char32_t EncodingCodePoint(BaseEncoding encoding, unsigned char code);
// The code point of a glyph name: the common names, "uniXXXX" and "uXXXX[XX]"; 0 if unknown.
char32_t GlyphNameCodePoint(std::string_view name);

enum class StandardFont { kHelvetica, kTimes, kCourier };
// The advance (thousandths of the size) of a character in a standard font, by code point.
int StandardWidth(StandardFont font, char32_t c);

}  // namespace kelvaro::pdf
