// Page content streams run for their text: where each character lands on the page. The
// characters are made lines apart (layout.h).
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "document/pdf/file.h"
#include "document/pdf/fonts.h"
#include "document/pdf/layout.h"

namespace kelvaro::pdf {

struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  // This matrix followed by `then` (points are row vectors, as in PDF).
  Matrix Then(const Matrix& then) const;
  void Apply(double x, double y, double& out_x, double& out_y) const;
};

class ContentReader {
 public:
  // `page` takes user space to the page's frame as shown; the characters go to `out` in runs.
  ContentReader(File& file, const Matrix& page, std::vector<PlacedRun>& out);
  void Run(const std::string& content, const Object& resources);
  // Whether the last page run drew forms more often than the limits allow, and stopped there.
  bool CutShort() const { return cut_short_; }

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
  // An operator as the content stream calls it: its operands (the last ones count) and where
  // it stands.
  struct Call {
    const std::vector<Object>& operands;
    const Object& resources;
    int depth;
    Lexer& lexer;
    const std::string& content;
    // Whether there are `count` operands, the last `count` all finite numbers.
    bool Numbers(std::size_t count) const;
    bool LastIs(Object::Kind kind) const;
    // The `i`th of the last `count` operands as a number.
    double Number(std::size_t count, std::size_t i) const;
  };
  using Operator = void (ContentReader::*)(const Call&);
  // The handler of the operator named `name`; null for one that draws no text.
  static const Operator* OperatorNamed(std::string_view name);

  void Execute(const std::string& content, const Object& resources, int depth);
  // One handler per operator, named as the PDF reference names the operators.
  void BeginText(const Call& call);           // BT
  void ShowText(const Call& call);            // Tj
  void ShowTextArray(const Call& call);       // TJ
  void MoveText(const Call& call);            // Td
  void MoveTextSetLeading(const Call& call);  // TD
  void SetTextMatrix(const Call& call);       // Tm
  void NextLineOperator(const Call& call);    // T*
  void NextLineShowText(const Call& call);    // '
  void NextLineSpacedText(const Call& call);  // "
  void SetFont(const Call& call);             // Tf
  void SetLeading(const Call& call);          // TL
  void SetCharSpacing(const Call& call);      // Tc
  void SetWordSpacing(const Call& call);      // Tw
  void SetHorizontalScale(const Call& call);  // Tz
  void SetRise(const Call& call);             // Ts
  void SaveState(const Call& call);           // q
  void RestoreState(const Call& call);        // Q
  void ConcatMatrix(const Call& call);        // cm
  void DrawObject(const Call& call);          // Do
  void SkipInlineImage(const Call& call);     // ID

  void Show(const std::string& bytes);
  void ShowArray(const Array& items);
  void Adjust(double amount);
  void NextLine(double tx, double ty);
  void DrawForm(const Object& resources, const std::string& name, int depth);
  std::shared_ptr<const Font> FontOf(const Object& resources, const std::string& name);

  File& file_;
  Matrix page_;
  std::vector<PlacedRun>& out_;
  State state_;
  std::vector<State> saved_;
  Matrix text_matrix_;
  Matrix line_matrix_;
  std::map<int, std::shared_ptr<const Font>> fonts_;  // by object number
  std::map<int, std::shared_ptr<const std::string>> forms_;
  std::set<int> open_forms_;
  std::uint64_t forms_drawn_ = 0;  // on this page
  bool cut_short_ = false;
  std::vector<Glyph> glyphs_;
};

}  // namespace kelvaro::pdf
