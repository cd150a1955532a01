// Code-page conversion at the edges (glibc iconv, code page 936).
#pragma once

#include "web/text.h"

namespace kelvaro {

// UTF-8 to GBK. A maximal invalid UTF-8 sequence becomes one U+FFFD, a leading
// byte-order mark is dropped; a character GBK cannot hold (U+FFFD too) becomes "?".
Text Utf8ToGbk(const std::string& utf8);

// GBK to UTF-8 for display; a byte pair that is no GBK character becomes U+FFFD,
// a lone lead byte at the end too.
std::string GbkToUtf8(const Text& gbk);

// Readable spelling of GBK constants in code: u8"现行" -> GBK bytes. Throws nothing;
// meant for literals only.
Text Gbk(const char8_t* utf8);

}  // namespace kelvaro
