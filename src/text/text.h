// GBK byte text and the primitives every parser here rests on.
// Positions count bytes from 1; a byte >= 0x80 starts a two-byte character,
// which searches, splits and replacements step over as a whole.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro {

using Text = std::string;  // GBK bytes, no zero byte
using Bytes = std::vector<std::uint8_t>;
using TextList = std::vector<Text>;

int TextLength(const Text& text);
int FindText(const Text& text, const Text& search, int start = 1, bool ignore_case = false);
TextList SplitText(const Text& text, const Text& separator);
Text TrimSpaces(const Text& text);
Text RemoveAllSpaces(const Text& text);
// Letters compared as FindText compares them: byte for byte unless `ignore_case`.
Text ReplaceText(const Text& text, const Text& old_text, const Text& new_text = {},
                 bool ignore_case = false);
Text LeftText(const Text& text, int n);
Text RightText(const Text& text, int n);
Text MiddleText(const Text& text, int start, int n);
Text UpperCase(const Text& text);
// ASCII letters lower-cased, every other byte kept: for UTF-8 names and extensions.
std::string LowerAscii(std::string_view text);
Bytes TextToBytes(const Text& text);
Text BytesToText(const Bytes& bytes);

Text Base64Encode(const Bytes& bytes);
Text TextBetween(const Text& text, Text left_marker, Text right_marker, int start = 1,
                 bool ignore_case = false);
Text TextBefore(const Text& text, const Text& marker, int start = 1, bool ignore_case = false);

}  // namespace kelvaro
