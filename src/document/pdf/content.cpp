#include "document/pdf/content.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>
#include <utility>

#include "text/encoding.h"

namespace kelvaro::pdf {

namespace {

constexpr std::size_t kMaxOperands = 1024;
constexpr std::size_t kMaxSavedStates = 4096;
// Glyphs shown between counts of the text given.
constexpr std::size_t kGlyphBatch = 4096;

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

// Characters a string shows on one baseline held one by one; a longer run is kept as the
// string and placed again when lines are made.
constexpr std::size_t kHeldRun = 4;

// What places a string's glyphs besides the text matrix; fixed while one string is shown.
struct Pen {
  std::shared_ptr<const Font> font;
  Matrix ctm;
  Matrix page;
  double size = 0;
  double char_spacing = 0;
  double word_spacing = 0;
  double scale = 1;
  double rise = 0;
  bool vertical = false;
};

// Where `glyph` lands with the text matrix at `text`, which then moves past it. False when it
// places no character (no text, or a place that is not a point on the page).
bool PlaceGlyph(const Glyph& glyph, const Pen& pen, Matrix& text, PlacedChar& placed) {
  const Matrix m = text.Then(pen.ctm).Then(pen.page);
  const double spacing = pen.char_spacing + (glyph.word_space ? pen.word_spacing : 0);
  const double advance =
      pen.vertical ? pen.size + spacing : (glyph.advance * pen.size + spacing) * pen.scale;
  const double dx = pen.vertical ? -m.c : m.a;
  const double dy = pen.vertical ? -m.d : m.b;
  const double length = std::hypot(dx, dy);
  bool shown = false;
  std::string clean = CleanText(glyph.text);
  if (!clean.empty() && length > 0 && std::isfinite(length) && Finite(m)) {
    double ox = 0;
    double oy = 0;
    m.Apply(0, pen.rise, ox, oy);
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
    placed.size =
        std::fabs(pen.size) * (pen.vertical ? std::hypot(m.a, m.b) : std::hypot(m.c, m.d));
    placed.x = ox;
    placed.y = oy;
    // Lines are ordered by these: a place that is not a number (infinity times nought, from
    // a rise past the range of doubles) has no order, and the character no place.
    shown = !std::isnan(placed.along) && !std::isnan(placed.across);
    if (shown) placed.text = std::move(clean);
  }
  if (pen.vertical) {
    text = Matrix{1, 0, 0, 1, 0, -advance}.Then(text);
  } else {
    text = Matrix{1, 0, 0, 1, advance, 0}.Then(text);
  }
  return shown;
}

// A run of a string's characters placed again from the string's bytes, glyph by glyph, as
// they were placed the first time.
class Replay final : public ShownRun {
 public:
  Replay(Pen pen, const Matrix& text, std::shared_ptr<const std::string> bytes, std::size_t begin,
         std::size_t end)
      : pen_(std::move(pen)), text_(text), bytes_(std::move(bytes)), at_(begin), end_(end) {}

  bool Next(PlacedChar& c) override {
    while (at_ < end_) {
      // The string's whole rest, as the first time: a code's length may look past the run.
      const std::size_t read = pen_.font->Decode(std::string_view(*bytes_).substr(at_), 1, glyphs_);
      if (read == 0 || glyphs_.empty()) break;
      at_ += read;
      if (PlaceGlyph(glyphs_.front(), pen_, text_, c)) return true;
    }
    at_ = end_;
    return false;
  }

 private:
  Pen pen_;
  Matrix text_;
  std::shared_ptr<const std::string> bytes_;
  std::size_t at_;
  std::size_t end_;
  std::vector<Glyph> glyphs_;
};

}  // namespace

Matrix Matrix::Then(const Matrix& t) const {
  return {a * t.a + b * t.c, a * t.b + b * t.d,       c * t.a + d * t.c,
          c * t.b + d * t.d, e * t.a + f * t.c + t.e, e * t.b + f * t.d + t.f};
}

void Matrix::Apply(double x, double y, double& out_x, double& out_y) const {
  out_x = x * a + y * c + e;
  out_y = x * b + y * d + f;
}

ContentReader::ContentReader(File& file, const Matrix& page, std::vector<PlacedRun>& out)
    : file_(file), page_(page), out_(out) {}

void ContentReader::Run(const std::string& content, const Object& resources) {
  state_ = State();
  saved_.clear();
  text_matrix_ = line_matrix_ = Matrix();
  forms_drawn_ = 0;
  cut_short_ = false;
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
  const Pen pen{.font = t.font,
                .ctm = state_.ctm,
                .page = page_,
                .size = t.size,
                .char_spacing = t.char_spacing,
                .word_spacing = t.word_spacing,
                .scale = t.scale,
                .rise = t.rise,
                .vertical = t.font->Vertical()};
  // The run being read: its first characters held, or from the `kHeldRun + 1`th the place in
  // the string it starts from.
  struct Run {
    std::vector<PlacedChar> held;
    PlacedChar first;
    bool replayed = false;
    Matrix text;
    std::size_t begin = 0;
    std::size_t end = 0;
    double along = 0;  // of its last character
  } run;
  std::shared_ptr<const std::string> kept;
  const auto close = [&] {
    if (run.replayed) {
      if (!kept) kept = std::make_shared<const std::string>(bytes);
      out_.push_back({std::move(run.first),
                      std::make_unique<Replay>(pen, run.text, kept, run.begin, run.end)});
    } else {
      for (PlacedChar& c : run.held) out_.push_back({std::move(c), nullptr});
    }
    run.held.clear();
    run.replayed = false;
  };
  const std::string_view view(bytes);
  std::size_t text_bytes = 0;
  std::size_t decoded = 0;
  PlacedChar placed;
  for (std::size_t at = 0; at < view.size();) {
    const std::size_t read = t.font->Decode(view.substr(at), 1, glyphs_);
    if (read == 0 || glyphs_.empty()) break;
    const Matrix before = text_matrix_;
    if (PlaceGlyph(glyphs_.front(), pen, text_matrix_, placed)) {
      text_bytes += placed.text.size();
      const PlacedChar& key = run.replayed ? run.first : run.held.empty() ? placed : run.held[0];
      const bool open = run.replayed || !run.held.empty();
      if (open && placed.rotation == key.rotation && placed.across == key.across &&
          placed.size == key.size && placed.along >= run.along) {
        if (!run.replayed && run.held.size() == kHeldRun) {
          run.first = std::move(run.held[0]);
          run.held.clear();
          run.replayed = true;
        }
        if (!run.replayed) run.held.push_back(placed);
      } else {
        if (open) close();
        run.text = before;
        run.begin = at;
        run.held.push_back(placed);
      }
      run.end = at + read;
      run.along = placed.along;
    }
    at += read;
    if (++decoded % kGlyphBatch == 0 && !file_.Spend(0, std::exchange(text_bytes, 0))) break;
  }
  close();
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
  // Forms that fan out cost this page what it has left, not the document.
  if (++forms_drawn_ > file_.GetLimits().max_form_draws) {
    cut_short_ = true;
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

bool ContentReader::Call::Numbers(std::size_t count) const {
  const std::size_t n = operands.size();
  if (n < count) return false;
  for (std::size_t i = n - count; i < n; ++i) {
    if (!operands[i].IsNumber() || !std::isfinite(operands[i].Number())) return false;
  }
  return true;
}

bool ContentReader::Call::LastIs(Object::Kind kind) const {
  return !operands.empty() && operands.back().Is(kind);
}

double ContentReader::Call::Number(std::size_t count, std::size_t i) const {
  return Operand(operands, count, i);
}

const ContentReader::Operator* ContentReader::OperatorNamed(std::string_view name) {
  static const std::unordered_map<std::string_view, Operator> kOperators = {
      {"BT", &ContentReader::BeginText},
      {"Tj", &ContentReader::ShowText},
      {"TJ", &ContentReader::ShowTextArray},
      {"Td", &ContentReader::MoveText},
      {"TD", &ContentReader::MoveTextSetLeading},
      {"Tm", &ContentReader::SetTextMatrix},
      {"T*", &ContentReader::NextLineOperator},
      {"'", &ContentReader::NextLineShowText},
      {"\"", &ContentReader::NextLineSpacedText},
      {"Tf", &ContentReader::SetFont},
      {"TL", &ContentReader::SetLeading},
      {"Tc", &ContentReader::SetCharSpacing},
      {"Tw", &ContentReader::SetWordSpacing},
      {"Tz", &ContentReader::SetHorizontalScale},
      {"Ts", &ContentReader::SetRise},
      {"q", &ContentReader::SaveState},
      {"Q", &ContentReader::RestoreState},
      {"cm", &ContentReader::ConcatMatrix},
      {"Do", &ContentReader::DrawObject},
      {"ID", &ContentReader::SkipInlineImage},
  };
  const auto found = kOperators.find(name);
  return found == kOperators.end() ? nullptr : &found->second;
}

void ContentReader::Execute(const std::string& content, const Object& resources, int depth) {
  Lexer lexer(content);
  Parser parser(lexer, false, file_.GetLimits().max_nesting);
  std::vector<Object> operands;
  Object object;
  std::string op;
  while (file_.Failure() == DocumentError::kNone && !cut_short_) {
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
    if (const Operator* handler = OperatorNamed(op)) {
      (this->**handler)(Call{operands, resources, depth, lexer, content});
    }
    operands.clear();
  }
}

void ContentReader::BeginText(const Call&) { text_matrix_ = line_matrix_ = Matrix(); }

void ContentReader::ShowText(const Call& call) {
  if (call.LastIs(Object::Kind::kString)) Show(call.operands.back().text);
}

void ContentReader::ShowTextArray(const Call& call) {
  if (call.LastIs(Object::Kind::kArray)) ShowArray(call.operands.back().Items());
}

void ContentReader::MoveText(const Call& call) {
  if (call.Numbers(2)) NextLine(call.Number(2, 0), call.Number(2, 1));
}

void ContentReader::MoveTextSetLeading(const Call& call) {
  if (!call.Numbers(2)) return;
  state_.text.leading = -call.Number(2, 1);
  NextLine(call.Number(2, 0), call.Number(2, 1));
}

void ContentReader::SetTextMatrix(const Call& call) {
  if (call.Numbers(6)) text_matrix_ = line_matrix_ = MatrixOf(call.operands);
}

void ContentReader::NextLineOperator(const Call&) { NextLine(0, -state_.text.leading); }

void ContentReader::NextLineShowText(const Call& call) {
  if (!call.LastIs(Object::Kind::kString)) return;
  NextLine(0, -state_.text.leading);
  Show(call.operands.back().text);
}

void ContentReader::NextLineSpacedText(const Call& call) {
  const std::size_t n = call.operands.size();
  if (n < 3 || !call.LastIs(Object::Kind::kString)) return;
  state_.text.word_spacing = call.operands[n - 3].Number();
  state_.text.char_spacing = call.operands[n - 2].Number();
  NextLine(0, -state_.text.leading);
  Show(call.operands.back().text);
}

void ContentReader::SetFont(const Call& call) {
  const std::size_t n = call.operands.size();
  if (n < 2 || !call.operands[n - 2].Is(Object::Kind::kName)) return;
  state_.text.font = FontOf(call.resources, call.operands[n - 2].text);
  state_.text.size = call.operands[n - 1].Number();
}

void ContentReader::SetLeading(const Call& call) {
  if (call.Numbers(1)) state_.text.leading = call.operands.back().Number();
}

void ContentReader::SetCharSpacing(const Call& call) {
  if (call.Numbers(1)) state_.text.char_spacing = call.operands.back().Number();
}

void ContentReader::SetWordSpacing(const Call& call) {
  if (call.Numbers(1)) state_.text.word_spacing = call.operands.back().Number();
}

void ContentReader::SetHorizontalScale(const Call& call) {
  if (call.Numbers(1)) state_.text.scale = call.operands.back().Number() / 100;
}

void ContentReader::SetRise(const Call& call) {
  if (call.Numbers(1)) state_.text.rise = call.operands.back().Number();
}

void ContentReader::SaveState(const Call&) {
  if (saved_.size() < kMaxSavedStates) saved_.push_back(state_);
}

void ContentReader::RestoreState(const Call&) {
  if (saved_.empty()) return;
  state_ = saved_.back();
  saved_.pop_back();
}

void ContentReader::ConcatMatrix(const Call& call) {
  if (call.Numbers(6)) state_.ctm = MatrixOf(call.operands).Then(state_.ctm);
}

void ContentReader::DrawObject(const Call& call) {
  if (call.LastIs(Object::Kind::kName)) {
    DrawForm(call.resources, call.operands.back().text, call.depth);
  }
}

void ContentReader::SkipInlineImage(const Call& call) {
  // An inline image's data runs to "EI" standing alone.
  const std::string& content = call.content;
  std::size_t at = call.lexer.Pos() + 1;
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
  call.lexer.Seek(at);
}

}  // namespace kelvaro::pdf
