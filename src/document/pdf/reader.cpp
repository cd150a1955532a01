#include "document/pdf/reader.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "document/errors.h"
#include "document/pdf/content.h"

namespace kelvaro {

namespace {

using pdf::Object;

struct PageNode {
  Object page;
  Object resources;
  Object box;
  std::int64_t rotate = 0;
};

// What a page takes from the nodes above it.
struct Inherited {
  Object resources;
  Object media_box;
  Object crop_box;
  std::int64_t rotate = 0;
};

class PageTree {
 public:
  PageTree(pdf::File& file, std::vector<PageNode>& pages) : file_(file), pages_(pages) {}

  // Depth first with a stack of its own, one entry a level: a tree as deep as it has nodes
  // is read whole.
  void Walk(const Object& root) {
    std::vector<Level> levels;
    Visit(root, Inherited(), levels);
    while (!levels.empty() && file_.Failure() == DocumentError::kNone) {
      Level& level = levels.back();
      if (level.next >= level.kids.Items().size()) {
        levels.pop_back();
        continue;
      }
      const Object kid = level.kids.Items()[level.next++];
      const Inherited inherited = level.inherited;
      Visit(kid, inherited, levels);
    }
  }

 private:
  struct Level {
    Object kids;
    std::size_t next = 0;
    Inherited inherited;
  };

  // A page is taken; a node of the tree gives its kids a level of their own.
  void Visit(const Object& node_ref, Inherited inherited, std::vector<Level>& levels) {
    if (node_ref.Is(Object::Kind::kRef) && !seen_.insert(node_ref.ref.num).second) return;
    const Object node = file_.Resolve(node_ref);
    if (!node.Is(Object::Kind::kDict)) return;
    const Object resources = file_.Resolve(node.Get("Resources"));
    if (resources.Is(Object::Kind::kDict)) inherited.resources = resources;
    const Object media = file_.Resolve(node.Get("MediaBox"));
    if (media.Items().size() == 4) inherited.media_box = media;
    const Object crop = file_.Resolve(node.Get("CropBox"));
    if (crop.Items().size() == 4) inherited.crop_box = crop;
    const Object rotate = file_.Resolve(node.Get("Rotate"));
    if (rotate.IsNumber()) inherited.rotate = rotate.Integer();
    const Object kids = file_.Resolve(node.Get("Kids"));
    if (kids.Is(Object::Kind::kArray) && !node.Get("Type").IsName("Page")) {
      levels.push_back({kids, 0, std::move(inherited)});
      return;
    }
    if (pages_.size() >= file_.GetLimits().max_objects) {
      file_.Fail(DocumentError::kPdfTooComplex);
      return;
    }
    PageNode page;
    page.page = node;
    page.resources = inherited.resources;
    page.box =
        inherited.crop_box.Is(Object::Kind::kNull) ? inherited.media_box : inherited.crop_box;
    page.rotate = inherited.rotate;
    pages_.push_back(std::move(page));
  }

  pdf::File& file_;
  std::vector<PageNode>& pages_;
  std::unordered_set<int> seen_;
};

std::string PageContent(pdf::File& file, const Object& page) {
  const Object contents = file.Resolve(page.Get("Contents"));
  std::string all;
  std::string part;
  if (contents.Is(Object::Kind::kStream)) {
    file.StreamData(contents, all);
  } else {
    // Parts of one content stream: joined at token boundaries.
    for (const Object& item : contents.Items()) {
      if (file.StreamData(file.Resolve(item), part)) {
        all += part;
        all += '\n';
      }
    }
  }
  return all;
}

PdfPage ReadPage(pdf::File& file, const PageNode& node, bool& cut_short) {
  double x0 = 0, y0 = 0, x1 = 612, y1 = 792;
  if (node.box.Items().size() == 4) {
    const pdf::Array& b = node.box.Items();
    const double v[4] = {b[0].Number(), b[1].Number(), b[2].Number(), b[3].Number()};
    if (std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]) && std::isfinite(v[3])) {
      x0 = std::min(v[0], v[2]);
      x1 = std::max(v[0], v[2]);
      y0 = std::min(v[1], v[3]);
      y1 = std::max(v[1], v[3]);
    }
  }
  const double w = x1 - x0;
  const double h = y1 - y0;
  const std::int64_t turns = ((node.rotate / 90) % 4 + 4) % 4;
  // User space to the page as shown, origin at its lower left corner.
  pdf::Matrix shown{1, 0, 0, 1, -x0, -y0};
  PdfPage page;
  page.width = w;
  page.height = h;
  if (turns == 1) {
    shown = shown.Then({0, -1, 1, 0, 0, w});
    page.width = h;
    page.height = w;
  } else if (turns == 2) {
    shown = shown.Then({-1, 0, 0, -1, w, h});
  } else if (turns == 3) {
    shown = shown.Then({0, 1, -1, 0, h, 0});
    page.width = h;
    page.height = w;
  }
  std::vector<pdf::PlacedRun> chars;
  pdf::ContentReader reader(file, shown, chars);
  reader.Run(PageContent(file, node.page), node.resources);
  cut_short = reader.CutShort();
  page.lines = pdf::BuildLines(std::move(chars));
  return page;
}

// How often a page draws forms, a form inside forms counted as often as they are drawn:
// found from the "Do" operators of the content, without running it. Counts stop past the
// limit.
class FormDraws {
 public:
  explicit FormDraws(pdf::File& file) : file_(file), cap_(file.GetLimits().max_form_draws + 1) {}

  std::uint64_t Of(const std::string& content, const Object& resources, int depth) {
    pdf::Lexer lexer(content);
    pdf::Parser parser(lexer, false, file_.GetLimits().max_nesting);
    Object object;
    std::string op;
    std::string name;  // the operand before the operator
    std::uint64_t total = 0;
    while (total < cap_) {
      const std::size_t before = lexer.Pos();
      if (parser.Read(object, op)) {
        name = object.Is(Object::Kind::kName) ? object.text : std::string();
        continue;
      }
      if (op.empty() && (lexer.Pos() >= content.size() || lexer.Pos() == before)) break;
      if (op == "Do" && !name.empty())
        total = std::min(cap_, total + OfForm(resources, name, depth));
      name.clear();
    }
    return total;
  }

 private:
  std::uint64_t OfForm(const Object& resources, const std::string& name, int depth) {
    const Object xobjects = file_.Resolve(resources.Get("XObject"));
    const Object& entry = xobjects.Get(name);
    if (!entry.Is(Object::Kind::kRef) || depth + 1 > file_.GetLimits().max_form_depth) return 0;
    const int num = entry.ref.num;
    if (const auto found = known_.find(num); found != known_.end()) return found->second;
    if (!open_.insert(num).second) return 0;  // a form that draws itself
    std::uint64_t draws = 0;
    const Object form = file_.Resolve(entry);
    std::string content;
    if (form.Is(Object::Kind::kStream) && file_.Resolve(form.Get("Subtype")).IsName("Form") &&
        file_.StreamData(form, content)) {
      const Object own = file_.Resolve(form.Get("Resources"));
      draws =
          std::min(cap_, 1 + Of(content, own.Is(Object::Kind::kDict) ? own : resources, depth + 1));
    }
    open_.erase(num);
    known_[num] = draws;
    return draws;
  }

  pdf::File& file_;
  std::uint64_t cap_;
  std::unordered_map<int, std::uint64_t> known_;  // by object number
  std::unordered_set<int> open_;
};

}  // namespace

std::vector<int> PagesPastFormBounds(std::span<const std::uint8_t> pdf, int& page_count,
                                     const PdfLimits& limits) {
  page_count = 0;
  pdf::File file;
  const std::string_view data(reinterpret_cast<const char*>(pdf.data()), pdf.size());
  DocumentError unread = DocumentError::kNone;
  if (!file.Open(data, limits, unread)) return {};
  std::vector<PageNode> nodes;
  PageTree(file, nodes).Walk(file.Catalog().Get("Pages"));
  page_count = static_cast<int>(nodes.size());
  FormDraws draws(file);
  std::vector<int> past;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (file.Failure() != DocumentError::kNone) break;
    if (draws.Of(PageContent(file, nodes[i].page), nodes[i].resources, 0) > limits.max_form_draws) {
      past.push_back(static_cast<int>(i) + 1);
    }
  }
  return past;
}

std::string PdfPage::Text() const {
  std::string out;
  for (const PdfLine& line : lines) {
    if (!out.empty()) out += '\n';
    out += line.text;
  }
  return out;
}

bool ReadPdfText(std::span<const std::uint8_t> pdf, std::vector<PdfPage>& pages,
                 DocumentError& error, const PdfLimits& limits, std::vector<int>* cut_short) {
  pages.clear();
  if (cut_short != nullptr) cut_short->clear();
  error = DocumentError::kNone;
  pdf::File file;
  const std::string_view data(reinterpret_cast<const char*>(pdf.data()), pdf.size());
  if (!file.Open(data, limits, error)) return false;
  std::vector<PageNode> nodes;
  const Object& root = file.Catalog().Get("Pages");
  PageTree(file, nodes).Walk(root);
  if (nodes.empty() && file.Failure() == DocumentError::kNone &&
      !file.Resolve(root).Is(Object::Kind::kDict)) {
    error = DocumentError::kDamaged;
    return false;
  }
  for (const PageNode& node : nodes) {
    if (file.Failure() != DocumentError::kNone) break;
    bool cut = false;
    pages.push_back(ReadPage(file, node, cut));
    if (cut && cut_short != nullptr) cut_short->push_back(static_cast<int>(pages.size()));
  }
  if (file.Failure() != DocumentError::kNone) {
    pages.clear();
    if (cut_short != nullptr) cut_short->clear();
    error = file.Failure();
    return false;
  }
  return true;
}

}  // namespace kelvaro
