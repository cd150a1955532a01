#include "document/pdf/content.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "text/encoding.h"

namespace kelvaro::pdf {

namespace {

constexpr std::size_t kMaxOperands = 1024;
constexpr std::size_t kMaxSavedStates = 4096;
// Runs further apart than this share of the font size are parted by a space.
constexpr double kWordGap = 0.15;
// Characters whose baselines differ by less than this share of the font size share a line.
constexpr double kBaselineTolerance = 0.5;

bool IsWhiteSpace(char32_t c) {
  return c == 0x20 || c == 0x09 || c == 0x0A || c == 0x0D || c == 0x0C || c == 0x85 || c == 0xA0 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

// The glyph's text as a line holds it: white space as one space, control characters gone.
std::string CleanText(const std::string& text) {
  std::string out;
  bool blank = true;
  std::size_t i = 0;
  while (i < text.size()) {
    const char32_t c = DecodeUtf8(text, i);
    if (IsWhiteSpace(c)) continue;
    if (c < 0x20 || c == 0x7F || c == 0xFFFD) continue;
    blank = false;
    AppendUtf8(out, c);
  }
  if (blank && !text.empty()) return " ";
  return out;
}

double Operand(const std::vector<Object>& operands, std::size_t count, std::size_t i) {
  return operands[operands.size() - count + i].Number();
}

Matrix MatrixOf(const std::vector<Object>& operands) {
  return {Operand(operands, 6, 0), Operand(operands, 6, 1), Operand(operands, 6, 2),
          Operand(operands, 6, 3), Operand(operands, 6, 4), Operand(operands, 6, 5)};
}

bool Finite(const Matrix& m) {
  return std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) && std::isfinite(m.d) &&
         std::isfinite(m.e) && std::isfinite(m.f);
}

}  // namespace

Matrix Matrix::Then(const Matrix& t) const {
  return {a * t.a + b * t.c, a * t.b + b * t.d,       c * t.a + d * t.c,
          c * t.b + d * t.d, e * t.a + f * t.c + t.e, e * t.b + f * t.d + t.f};
}

void Matrix::Apply(double x, double y, double& out_x, double& out_y) const {
  out_x = x * a + y * c + e;
  out_y = x * b + y * d + f;
}

ContentReader::ContentReader(File& file, const Matrix& page, std::vector<PlacedChar>& out)
    : file_(file), page_(page), out_(out) {}

void ContentReader::Run(const std::string& content, const Object& resources) {
  state_ = State();
  saved_.clear();
  text_matrix_ = line_matrix_ = Matrix();
  Execute(content, resources, 0);
}

std::shared_ptr<const Font> ContentReader::FontOf(const Object& resources,
                                                  const std::string& name) {
  const Object fonts = file_.Resolve(resources.Get("Font"));
  const Object& entry = fonts.Get(name);
  const int key = entry.Is(Object::Kind::kRef) ? entry.ref.num : -1;
  if (key >= 0) {
    const auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second;
  }
  std::shared_ptr<const Font> font = Font::Load(file_, file_.Resolve(entry));
  if (key >= 0) fonts_[key] = font;
  return font;
}

void ContentReader::NextLine(double tx, double ty) {
  line_matrix_ = Matrix{1, 0, 0, 1, tx, ty}.Then(line_matrix_);
  text_matrix_ = line_matrix_;
}

void ContentReader::Adjust(double amount) {
  const TextState& t = state_.text;
  if (t.font && t.font->Vertical()) {
    text_matrix_ = Matrix{1, 0, 0, 1, 0, -amount / 1000 * t.size}.Then(text_matrix_);
  } else {
    text_matrix_ = Matrix{1, 0, 0, 1, -amount / 1000 * t.size * t.scale, 0}.Then(text_matrix_);
  }
}

void ContentReader::Show(const std::string& bytes) {
  TextState& t = state_.text;
  if (!t.font) t.font = FontOf(Object(), std::string());
  t.font->Decode(bytes, glyphs_);
  const bool vertical = t.font->Vertical();
  std::size_t text_bytes = 0;
  for (const Glyph& glyph : glyphs_) {
    const Matrix m = text_matrix_.Then(state_.ctm).Then(page_);
    const double spacing = t.char_spacing + (glyph.word_space ? t.word_spacing : 0);
    const double advance =
        vertical ? t.size + spacing : (glyph.advance * t.size + spacing) * t.scale;
    const double dx = vertical ? -m.c : m.a;
    const double dy = vertical ? -m.d : m.b;
    const double length = std::hypot(dx, dy);
    const std::string text = CleanText(glyph.text);
    if (!text.empty() && length > 0 && std::isfinite(length) && Finite(m)) {
      PlacedChar placed;
      double ox = 0;
      double oy = 0;
      m.Apply(0, t.rise, ox, oy);
      // A quarter turn of writing direction: 0 right, 1 down, 2 left, 3 up.
      const double angle = std::atan2(dy, dx);
      int rotation = static_cast<int>(std::lround(-angle / (std::numbers::pi / 2)));
      rotation = ((rotation % 4) + 4) % 4;
      static constexpr double kDirection[4][2] = {{1, 0}, {0, -1}, {-1, 0}, {0, 1}};
      const double ux = kDirection[rotation][0];
      const double uy = kDirection[rotation][1];
      placed.rotation = rotation;
      placed.along = ox * ux + oy * uy;
      placed.across = -ox * uy + oy * ux;
      placed.end = placed.along + advance * length;
      placed.size = std::fabs(t.size) * (vertical ? std::hypot(m.a, m.b) : std::hypot(m.c, m.d));
      placed.x = ox;
      placed.y = oy;
      text_bytes += text.size();
      placed.text = text;
      out_.push_back(std::move(placed));
    }
    if (vertical) {
      text_matrix_ = Matrix{1, 0, 0, 1, 0, -advance}.Then(text_matrix_);
    } else {
      text_matrix_ = Matrix{1, 0, 0, 1, advance, 0}.Then(text_matrix_);
    }
  }
  file_.Spend(0, text_bytes);
}

void ContentReader::ShowArray(const Array& items) {
  for (const Object& item : items) {
    if (item.Is(Object::Kind::kString)) {
      Show(item.text);
    } else if (item.IsNumber()) {
      Adjust(item.Number());
    }
  }
}

void ContentReader::DrawForm(const Object& resources, const std::string& name, int depth) {
  const Object xobjects = file_.Resolve(resources.Get("XObject"));
  const Object& entry = xobjects.Get(name);
  if (!entry.Is(Object::Kind::kRef) || depth + 1 > file_.GetLimits().max_form_depth) return;
  const int num = entry.ref.num;
  if (open_forms_.count(num)) return;  // a form that draws itself
  const Object form = file_.Resolve(entry);
  if (!form.Is(Object::Kind::kStream) || !file_.Resolve(form.Get("Subtype")).IsName("Form")) {
    return;
  }
  std::shared_ptr<const std::string> content;
  const auto cached = forms_.find(num);
  if (cached != forms_.end()) {
    content = cached->second;
  } else {
    std::string data;
    file_.StreamData(form, data);
    content = std::make_shared<const std::string>(std::move(data));
    forms_[num] = content;
  }
  const Object own = file_.Resolve(form.Get("Resources"));
  const Object matrix = file_.Resolve(form.Get("Matrix"));
  Matrix m;
  if (matrix.Items().size() == 6) {
    const Array& v = matrix.Items();
    m = {v[0].Number(), v[1].Number(), v[2].Number(), v[3].Number(), v[4].Number(), v[5].Number()};
  }
  const State outer = state_;
  const std::vector<State> outer_saved = std::move(saved_);
  const Matrix outer_text = text_matrix_;
  const Matrix outer_line = line_matrix_;
  saved_.clear();
  state_.ctm = m.Then(state_.ctm);
  open_forms_.insert(num);
  Execute(*content, own.Is(Object::Kind::kDict) ? own : resources, depth + 1);
  open_forms_.erase(num);
  state_ = outer;
  saved_ = std::move(outer_saved);
  text_matrix_ = outer_text;
  line_matrix_ = outer_line;
}

void ContentReader::Execute(const std::string& content, const Object& resources, int depth) {
  Lexer lexer(content);
  Parser parser(lexer, false, file_.GetLimits().max_nesting);
  std::vector<Object> operands;
  Object object;
  std::string op;
  while (file_.Failure() == DocumentError::kNone) {
    const std::size_t before = lexer.Pos();
    if (parser.Read(object, op)) {
      if (operands.size() < kMaxOperands) operands.push_back(std::move(object));
      continue;
    }
    if (op.empty()) {
      // Bad syntax: what was read is dropped, and reading goes on after it.
      if (lexer.Pos() >= content.size() || lexer.Pos() == before) break;
      operands.clear();
      continue;
    }
    if (!file_.Spend(1, 0)) break;
    const std::size_t n = operands.size();
    TextState& t = state_.text;
    auto numbers = [&](std::size_t count) {
      if (n < count) return false;
      for (std::size_t i = n - count; i < n; ++i) {
        if (!operands[i].IsNumber() || !std::isfinite(operands[i].Number())) return false;
      }
      return true;
    };
    auto last_is = [&](Object::Kind kind) { return n > 0 && operands.back().Is(kind); };
    if (op == "BT") {
      text_matrix_ = line_matrix_ = Matrix();
    } else if (op == "Tj" && last_is(Object::Kind::kString)) {
      Show(operands.back().text);
    } else if (op == "TJ" && last_is(Object::Kind::kArray)) {
      ShowArray(operands.back().Items());
    } else if (op == "Td" && numbers(2)) {
      NextLine(Operand(operands, 2, 0), Operand(operands, 2, 1));
    } else if (op == "TD" && numbers(2)) {
      t.leading = -Operand(operands, 2, 1);
      NextLine(Operand(operands, 2, 0), Operand(operands, 2, 1));
    } else if (op == "Tm" && numbers(6)) {
      text_matrix_ = line_matrix_ = MatrixOf(operands);
    } else if (op == "T*") {
      NextLine(0, -t.leading);
    } else if (op == "'" && last_is(Object::Kind::kString)) {
      NextLine(0, -t.leading);
      Show(operands.back().text);
    } else if (op == "\"" && n >= 3 && last_is(Object::Kind::kString)) {
      t.word_spacing = operands[n - 3].Number();
      t.char_spacing = operands[n - 2].Number();
      NextLine(0, -t.leading);
      Show(operands.back().text);
    } else if (op == "Tf" && n >= 2 && operands[n - 2].Is(Object::Kind::kName)) {
      t.font = FontOf(resources, operands[n - 2].text);
      t.size = operands[n - 1].Number();
    } else if (op == "TL" && numbers(1)) {
      t.leading = operands.back().Number();
    } else if (op == "Tc" && numbers(1)) {
      t.char_spacing = operands.back().Number();
    } else if (op == "Tw" && numbers(1)) {
      t.word_spacing = operands.back().Number();
    } else if (op == "Tz" && numbers(1)) {
      t.scale = operands.back().Number() / 100;
    } else if (op == "Ts" && numbers(1)) {
      t.rise = operands.back().Number();
    } else if (op == "q") {
      if (saved_.size() < kMaxSavedStates) saved_.push_back(state_);
    } else if (op == "Q") {
      if (!saved_.empty()) {
        state_ = saved_.back();
        saved_.pop_back();
      }
    } else if (op == "cm" && numbers(6)) {
      state_.ctm = MatrixOf(operands).Then(state_.ctm);
    } else if (op == "Do" && last_is(Object::Kind::kName)) {
      DrawForm(resources, operands.back().text, depth);
    } else if (op == "ID") {
      // An inline image's data runs to "EI" standing alone.
      std::size_t at = lexer.Pos() + 1;
      for (;;) {
        at = content.find("EI", at);
        if (at == std::string::npos) {
          at = content.size();
          break;
        }
        const bool before_ok = IsPdfSpace(static_cast<unsigned char>(content[at - 1]));
        const bool after_ok = at + 2 >= content.size() ||
                              IsPdfSpace(static_cast<unsigned char>(content[at + 2])) ||
                              IsPdfDelimiter(static_cast<unsigned char>(content[at + 2]));
        if (before_ok && after_ok) {
          at += 2;
          break;
        }
        at += 2;
      }
      lexer.Seek(at);
    }
    operands.clear();
  }
}

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
    std::vector<PlacedChar> line(chars.begin() + static_cast<std::ptrdiff_t>(start),
                                 chars.begin() + static_cast<std::ptrdiff_t>(stop));
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
