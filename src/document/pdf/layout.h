// The characters of a page made lines in reading order, apart from the content streams that
// place them (content.h): one baseline each, top to bottom, left to right inside a line.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kelvaro {

// A line of text on a page, in the page's frame as it is shown (after /Rotate): x from the
// left edge, y of the baseline from the bottom edge, in points.
struct PdfLine {
  std::string text;  // UTF-8, never empty; runs apart on the page are parted by one space
  double x = 0;
  double y = 0;
  double font_size = 0;
};

}  // namespace kelvaro

namespace kelvaro::pdf {

// One character as shown: its text, where its baseline runs and how far it reaches.
struct PlacedChar {
  std::string text;   // UTF-8; " " for any white space
  int rotation = 0;   // the direction of writing, in quarter turns clockwise
  double along = 0;   // start along the direction of writing
  double end = 0;     // where the pen stood after it
  double across = 0;  // baseline, growing towards the top of the text
  double size = 0;    // the font size as shown
  double x = 0;       // the start in the page's frame
  double y = 0;
};

// A run's characters placed again, one a call, in the order shown.
class ShownRun {
 public:
  virtual ~ShownRun() = default;
  // The next character into `c`; false after the last.
  virtual bool Next(PlacedChar& c) = 0;
};

// Characters shown one after another on one baseline (one direction, baseline and size, and
// never back along it), kept as one record: a string of a million characters is not held as
// a million records. `first` orders the run; `rest`, when there is more than one character,
// places them all again (`first` too) as lines are made.
struct PlacedRun {
  PlacedChar first;
  std::unique_ptr<ShownRun> rest;
};

// Characters into lines: one baseline each (within a tolerance), top to bottom, and left to
// right inside a line, with a space where runs stand apart.
std::vector<PdfLine> BuildLines(std::vector<PlacedRun> runs);

}  // namespace kelvaro::pdf
