// The citation reader on any bytes: positions inside the text and in order (a range's
// citations sharing one place), each citation's written text the input's bytes there, its
// fields consistent with one another, a number wrapped over one line break at a time, and
// every canonical number read back as exactly itself (one without a year in a list, where
// every code counts without one).
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

void CheckCitation(std::string_view input, const Citation& c, const Citation* last) {
  const auto ctx = [&] {
    return "citation " + Show(c.written) + " in " + Show(std::string(input));
  };
  const bool same_range = last && last->begin == c.begin && last->end == c.end;
  FUZZ_EXPECT(same_range || !last || last->end <= c.begin,
              ctx() + " (out of order or overlapping)");
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
    // Or the number opens the marks and the title follows it: "《GJB 151A-1997军用…》".
    const std::string open = "\xE3\x80\x8A";
    const std::string closed = c.title + "\xE3\x80\x8B";
    const bool around = c.written.starts_with(open) && c.written.ends_with(closed);
    FUZZ_EXPECT(around || c.written.find(open + closed) != std::string::npos,
                ctx() + " (title in its marks)");
  }

  const std::string back = c.year.empty() ? c.number + "\xE3\x80\x81" + c.number : c.number;
  const std::vector<Citation> again = kelvaro::FindCitations(back);
  FUZZ_EXPECT_EQ(again.size(), c.year.empty() ? std::size_t{2} : std::size_t{1},
                 "reading back " + Show(back));
  for (const Citation& a : again) {
    FUZZ_EXPECT_EQ(a.number, c.number, "reading back " + Show(back));
    FUZZ_EXPECT_EQ(a.written, c.number, "reading back " + Show(back));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::vector<Citation> found = kelvaro::FindCitations(input);
  for (std::size_t i = 0; i < found.size(); ++i) {
    CheckCitation(input, found[i], i == 0 ? nullptr : &found[i - 1]);
  }
  return 0;
}
