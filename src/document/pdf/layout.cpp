#include "document/pdf/layout.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

namespace kelvaro::pdf {

namespace {

// Runs further apart than this share of the font size are parted by a space.
constexpr double kWordGap = 0.15;
// Characters whose baselines differ by less than this share of the font size share a line.
constexpr double kBaselineTolerance = 0.5;

// A line's text from its characters in order along it.
class LineText {
 public:
  void Add(const PlacedChar& c) {
    if (has_previous_) {
      const double size = std::max(previous_.size, c.size);
      // The same glyph drawn twice over itself (a bold imitation) counts once.
      if (c.text == previous_.text && std::fabs(c.along - previous_.along) < 0.1 * size &&
          std::fabs(c.across - previous_.across) < 0.1 * size) {
        return;
      }
      const bool spaced = c.text == " " || out_.text.empty() || out_.text.back() == ' ';
      if (!spaced && c.along - previous_.end > kWordGap * size) out_.text += ' ';
    }
    previous_ = c;
    has_previous_ = true;
    if (c.text == " " && (out_.text.empty() || out_.text.back() == ' ')) return;
    if (out_.text.empty()) {
      out_.x = c.x;
      out_.y = c.y;
    }
    out_.text += c.text;
    out_.font_size = std::max(out_.font_size, c.size);
  }

  void Finish(std::vector<PdfLine>& lines) {
    while (!out_.text.empty() && out_.text.back() == ' ') out_.text.pop_back();
    if (out_.text.empty()) return;
    out_.text.shrink_to_fit();
    lines.push_back(std::move(out_));
  }

 private:
  PdfLine out_;
  PlacedChar previous_;
  bool has_previous_ = false;
};

// The characters of a line's runs in order along it, as one stable sort of them all would
// give: each run is in order already, so they are merged, a tie going to the run first in
// `line`.
void MergeRuns(std::vector<PlacedRun>& runs, const std::size_t* line, std::size_t count,
               LineText& text) {
  if (count == 1) {
    PlacedRun& run = runs[line[0]];
    if (!run.rest) {
      text.Add(run.first);
      return;
    }
    PlacedChar c;
    while (run.rest->Next(c)) text.Add(c);
    run.rest.reset();
    return;
  }
  if (std::none_of(line, line + count, [&](std::size_t i) { return bool(runs[i].rest); })) {
    // Characters each alone, as strings of one character leave them: sorted where they are.
    std::vector<std::size_t> along(line, line + count);
    std::stable_sort(along.begin(), along.end(), [&](std::size_t a, std::size_t b) {
      return runs[a].first.along < runs[b].first.along;
    });
    for (const std::size_t i : along) text.Add(runs[i].first);
    return;
  }
  // The character each run shows next: its first one itself, or one placed again.
  std::vector<const PlacedChar*> next(count, nullptr);
  std::vector<PlacedChar> placed;
  std::vector<std::size_t> slot(count, 0);
  for (std::size_t i = 0; i < count; ++i) {
    if (runs[line[i]].rest) {
      slot[i] = placed.size();
      placed.emplace_back();
    }
  }
  const auto advance = [&](std::size_t i) {
    PlacedRun& run = runs[line[i]];
    if (!run.rest) {
      next[i] = next[i] ? nullptr : &run.first;
    } else if (run.rest->Next(placed[slot[i]])) {
      next[i] = &placed[slot[i]];
    } else {
      next[i] = nullptr;
      run.rest.reset();
    }
    return next[i] != nullptr;
  };
  // A heap whose top is the run with the character furthest back along the line.
  const auto later = [&](std::size_t a, std::size_t b) {
    if (next[a]->along != next[b]->along) return next[a]->along > next[b]->along;
    return a > b;
  };
  std::vector<std::size_t> heap;
  heap.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (advance(i)) heap.push_back(i);
  }
  std::make_heap(heap.begin(), heap.end(), later);
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), later);
    const std::size_t i = heap.back();
    text.Add(*next[i]);
    if (advance(i)) {
      std::push_heap(heap.begin(), heap.end(), later);
    } else {
      heap.pop_back();
    }
  }
}

}  // namespace

std::vector<PdfLine> BuildLines(std::vector<PlacedRun> runs) {
  // Top to bottom within each direction of writing; the reading order of the content breaks
  // ties, so overprinted characters keep their order. The runs are sorted by their place in
  // the list, which is lighter than moving them.
  std::vector<std::size_t> order(runs.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const PlacedChar& x = runs[a].first;
    const PlacedChar& y = runs[b].first;
    if (x.rotation != y.rotation) return x.rotation < y.rotation;
    return x.across > y.across;
  });
  std::vector<PdfLine> lines;
  std::size_t start = 0;
  while (start < order.size()) {
    std::size_t stop = start + 1;
    const PlacedChar& first = runs[order[start]].first;
    while (stop < order.size() && runs[order[stop]].first.rotation == first.rotation) {
      const PlacedChar& c = runs[order[stop]].first;
      const double size = std::max(0.1, std::min(first.size, c.size));
      if (first.across - c.across > kBaselineTolerance * size) break;
      ++stop;
    }
    LineText text;
    MergeRuns(runs, order.data() + start, stop - start, text);
    text.Finish(lines);
    start = stop;
  }
  return lines;
}

}  // namespace kelvaro::pdf
