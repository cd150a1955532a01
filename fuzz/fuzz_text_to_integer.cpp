// TextToInteger: no undefined behaviour on any text (the sanitizers watch), the value read
// in wide arithmetic and saturated to 32 bits, and decimal texts of any int read back.
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "query/number.h"
#include "reference.h"

namespace {

using kelvaro::Text;
namespace ref = kelvaro::ref;
using kelvaro::fuzz::Show;

// The same number with GBK full-width digits and sign.
Text FullWidth(const std::string& ascii) {
  Text out;
  for (char c : ascii) {
    out += '\xA3';
    out += static_cast<char>(static_cast<unsigned char>(c) + 0x80);
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Text t = kelvaro::fuzz::TextUpToZero(data, size);
  FUZZ_EXPECT_EQ(kelvaro::TextToInteger(t), ref::ToInteger(t), "TextToInteger " + Show(t));

  // Round trip of an int taken from the first bytes, as ASCII, full width and padded.
  std::uint32_t bits = 0;
  for (std::size_t i = 0; i < size && i < 4; ++i) bits = (bits << 8) | data[i];
  const int v = static_cast<int>(bits);
  const std::string decimal = std::to_string(v);
  FUZZ_EXPECT_EQ(kelvaro::TextToInteger(decimal), v, "TextToInteger " + decimal);
  FUZZ_EXPECT_EQ(kelvaro::TextToInteger(FullWidth(decimal)), v,
                 "TextToInteger full width " + decimal);
  FUZZ_EXPECT_EQ(kelvaro::TextToInteger(" \xA1\xA1\t" + decimal + "x" + t), v,
                 "TextToInteger padded " + decimal);
  // Past the 32-bit range the value sticks at the bound of its sign.
  const std::string longer = decimal + "0000000000";
  FUZZ_EXPECT_EQ(kelvaro::TextToInteger(longer), v == 0 ? 0 : (v > 0 ? INT_MAX : INT_MIN),
                 "TextToInteger saturation " + longer);
  return 0;
}
