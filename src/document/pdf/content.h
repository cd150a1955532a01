// Page content streams run for their text: where each character lands on the page, and
// the characters gathered into lines in reading order.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "document/pdf/file.h"
#include "document/pdf/fonts.h"
#include "document/pdf/reader.h"

namespace kelvaro::pdf {

struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  // This matrix followed by `then` (points are row vectors, as in PDF).
  Matrix Then(const Matrix& then) const;
  void Apply(double x, double y, double& out_x, double& out_y) const;
};

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

class ContentReader {
 public:
  // `page` takes user space to the page's frame as shown; characters go to `out`.
  ContentReader(File& file, const Matrix& page, std::vector<PlacedChar>& out);
  void Run(const std::string& content, const Object& resources);

 private:
  struct TextState {
    std::shared_ptr<const Font> font;
    double size = 0;
    double char_spacing = 0;
    double word_spacing = 0;
    double scale = 1;
    double leading = 0;
    double rise = 0;
  };
  struct State {
    Matrix ctm;
    TextState text;
  };
  void Execute(const std::string& content, const Object& resources, int depth);
  void Show(const std::string& bytes);
  void ShowArray(const Array& items);
  void Adjust(double amount);
  void NextLine(double tx, double ty);
  void DrawForm(const Object& resources, const std::string& name, int depth);
  std::shared_ptr<const Font> FontOf(const Object& resources, const std::string& name);

  File& file_;
  Matrix page_;
  std::vector<PlacedChar>& out_;
  State state_;
  std::vector<State> saved_;
  Matrix text_matrix_;
  Matrix line_matrix_;
  std::map<int, std::shared_ptr<const Font>> fonts_;  // by object number
  std::map<int, std::shared_ptr<const std::string>> forms_;
  std::set<int> open_forms_;
  std::vector<Glyph> glyphs_;
};

// Characters into lines: one baseline each (within a tolerance), top to bottom, and left to
// right inside a line, with a space where runs stand apart.
std::vector<PdfLine> BuildLines(std::vector<PlacedChar> chars);

}  // namespace kelvaro::pdf
