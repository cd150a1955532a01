#include "document/pdf/layout.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>

namespace kelvaro::pdf {

namespace {

// Runs further apart than this share of the font size are parted by a space.
constexpr double kWordGap = 0.15;
// Characters whose baselines differ by less than this share of the font size share a line.
constexpr double kBaselineTolerance = 0.5;

}  // namespace

std::vector<PdfLine> BuildLines(std::vector<PlacedChar> chars) {
  // Top to bottom within each direction of writing; the reading order of the content breaks
  // ties, so overprinted characters keep their order.
  std::stable_sort(chars.begin(), chars.end(), [](const PlacedChar& a, const PlacedChar& b) {
    if (a.rotation != b.rotation) return a.rotation < b.rotation;
    return a.across > b.across;
  });
  std::vector<PdfLine> lines;
  std::size_t start = 0;
  while (start < chars.size()) {
    std::size_t stop = start + 1;
    const PlacedChar& first = chars[start];
    while (stop < chars.size() && chars[stop].rotation == first.rotation) {
      const double size = std::max(0.1, std::min(first.size, chars[stop].size));
      if (first.across - chars[stop].across > kBaselineTolerance * size) break;
      ++stop;
    }
    // Sorted where it stands: a line as long as the page's text is not held twice.
    const std::span<PlacedChar> line(chars.data() + start, stop - start);
    start = stop;
    std::stable_sort(line.begin(), line.end(),
                     [](const PlacedChar& a, const PlacedChar& b) { return a.along < b.along; });
    PdfLine out;
    const PlacedChar* previous = nullptr;
    for (const PlacedChar& c : line) {
      if (previous) {
        const double size = std::max(previous->size, c.size);
        // The same glyph drawn twice over itself (a bold imitation) counts once.
        if (c.text == previous->text && std::fabs(c.along - previous->along) < 0.1 * size &&
            std::fabs(c.across - previous->across) < 0.1 * size) {
          continue;
        }
        const bool spaced = c.text == " " || out.text.empty() || out.text.back() == ' ';
        if (!spaced && c.along - previous->end > kWordGap * size) out.text += ' ';
      }
      if (c.text == " " && (out.text.empty() || out.text.back() == ' ')) {
        previous = &c;
        continue;
      }
      if (out.text.empty()) {
        out.x = c.x;
        out.y = c.y;
      }
      out.text += c.text;
      out.font_size = std::max(out.font_size, c.size);
      previous = &c;
    }
    while (!out.text.empty() && out.text.back() == ' ') out.text.pop_back();
    if (!out.text.empty()) lines.push_back(std::move(out));
  }
  return lines;
}

}  // namespace kelvaro::pdf
