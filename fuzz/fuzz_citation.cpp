// The citation reader on any bytes: positions inside the text and in order, each citation's
// written text the input's bytes there, its fields consistent with one another, a number
// wrapped over one line break at a time, and every canonical number read back as exactly
// itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "citation/citation.h"
#include "fuzz_support.h"
#include "text/encoding.h"

namespace {

using kelvaro::Citation;
using kelvaro::fuzz::Show;

// A line break inside a number never stands next to another: no blank line, no page's end.
bool OneBreakAtATime(const std::string& s) {
  if (s.find('\f') != std::string::npos) return false;
  bool after_break = false;
  for (char c : s) {
    if (c == '\n' && after_break) return false;
    if (c == '\n') after_break = true;
    if (c != '\n' && c != '\r' && c != ' ') after_break = false;
  }
  return true;
}

bool IsAscii(const std::string& s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

void CheckCitation(std::string_view input, const Citation& c, std::size_t floor) {
  const auto ctx = [&] {
    return "citation " + Show(c.written) + " in " + Show(std::string(input));
  };
  FUZZ_EXPECT(floor <= c.begin, ctx() + " (out of order or overlapping)");
  FUZZ_EXPECT(c.begin < c.end && c.end <= input.size(), ctx() + " (positions)");
  FUZZ_EXPECT_EQ(c.written, std::string(input.substr(c.begin, c.end - c.begin)), ctx());
  FUZZ_EXPECT_EQ(kelvaro::SanitizeUtf8(c.written), c.written, ctx() + " (valid UTF-8)");
  FUZZ_EXPECT(c.written.find(c.number_as_written) != std::string::npos,
              ctx() + " (number as written)");
  FUZZ_EXPECT(OneBreakAtATime(c.number_as_written), ctx() + " (line breaks)");
  FUZZ_EXPECT(IsAscii(c.number) && IsAscii(c.code) && IsAscii(c.serial) && IsAscii(c.year) &&
                  IsAscii(c.amendment),
              ctx() + " (ASCII fields)");
  std::string number = c.code + ' ' + c.serial;
  if (!c.year.empty()) {
    FUZZ_EXPECT(c.number.size() == number.size() + 1 + c.year.size(), ctx() + " (year)");
    number += c.number[number.size()] + c.year;
  }
  FUZZ_EXPECT_EQ(c.number, number, ctx() + " (number from its parts)");
  FUZZ_EXPECT_EQ(c.full_year, kelvaro::FullYear(c.year), ctx() + " (full year)");
  FUZZ_EXPECT(c.year.empty() == (c.full_year == 0), ctx() + " (a year is a year)");
  if (!c.title.empty()) {
    FUZZ_EXPECT(c.written.find("\xE3\x80\x8A" + c.title + "\xE3\x80\x8B") != std::string::npos,
                ctx() + " (title in its marks)");
  }

  const std::vector<Citation> again = kelvaro::FindCitations(c.number);
  FUZZ_EXPECT_EQ(again.size(), std::size_t{1}, "reading back " + Show(c.number));
  FUZZ_EXPECT_EQ(again[0].number, c.number, "reading back " + Show(c.number));
  FUZZ_EXPECT_EQ(again[0].written, c.number, "reading back " + Show(c.number));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t floor = 0;
  for (const Citation& c : kelvaro::FindCitations(input)) {
    CheckCitation(input, c, floor);
    floor = c.end;
  }
  return 0;
}
