// Code-page conversion at the edges: UTF-8 and code page 936 (GBK).
#pragma once

#include <cstddef>
#include <string>

#include "text/text.h"
#include "text/utf8.h"

namespace kelvaro {

// UTF-8 to GBK. A maximal invalid UTF-8 sequence becomes one U+FFFD, a leading
// byte-order mark is dropped; of what GBK cannot hold, the non-breaking hyphen U+2011 and the
// minus sign U+2212 become "-", the no-break, figure and narrow no-break spaces (U+00A0,
// U+2007, U+202F) a space, and any other character (U+FFFD too) "?".
// A zero byte is taken as invalid ("?"): text never holds one.
Text Utf8ToGbk(const std::string& utf8);
// UTF-16 (little or big endian, no byte-order mark) to GBK, characters as Utf8ToGbk takes
// them: an unpaired surrogate, a lone last byte and a zero unit become "?", as does what GBK
// cannot hold.
Text Utf16ToGbk(const Bytes& utf16, bool big_endian);

// GBK to UTF-8 for display; a byte pair that is no GBK character becomes U+FFFD,
// a lone lead byte at the end too.
std::string GbkToUtf8(const Text& gbk);

// Replaces each maximal invalid UTF-8 sequence with U+FFFD, so output stays valid UTF-8.
std::string SanitizeUtf8(const std::string& bytes);


// Readable spelling of GBK constants in code: u8"现行" -> GBK bytes. Throws nothing;
// meant for literals only.
Text Gbk(const char8_t* utf8);

}  // namespace kelvaro
