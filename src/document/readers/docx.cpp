// Word: the body's paragraphs and table cells, then headers, footers, footnotes, endnotes.
#include <algorithm>
#include <charconv>
#include <string>
#include <unordered_map>

#include "document/containers/package.h"
#include "document/errors.h"
#include "document/readers/docx_walk.h"
#include "document/readers/formats.h"
#include "text/text.h"

namespace kelvaro::formats {

namespace {

using package::Ns;
using Event = XmlReader::Event;

int IntValue(const std::string* text, int fallback) {
  if (text == nullptr) return fallback;
  int value = 0;
  const auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  if (ec != std::errc() || end != text->data() + text->size() || value < 0) return fallback;
  return std::min(value, 1 << 14);  // Word's widest grid
}

bool StartsWithDigit(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  if (!s.empty() && s.front() >= '0' && s.front() <= '9') return true;
  // ０ to ９
  return s.size() >= 3 && s.starts_with("\xEF\xBC") && static_cast<unsigned char>(s[2]) >= 0x90 &&
         static_cast<unsigned char>(s[2]) <= 0x99;
}

// Word's own names of its heading styles, in English, as ids, and in a Chinese Word or WPS.
bool IsHeadingName(std::string_view name) {
  const std::string lower = LowerAscii(name);
  for (const std::string_view prefix : {"heading", "标题"}) {
    if (lower.starts_with(prefix) &&
        StartsWithDigit(std::string_view(lower).substr(prefix.size()))) {
      return true;
    }
  }
  return false;
}

bool IsCaptionName(std::string_view name) {
  const std::string lower = LowerAscii(name);
  return lower == "caption" || lower == "题注";
}

// The paragraph styles of styles.xml, by id.
class Styles {
 public:
  bool Read(package::PartReader& reader, formats::Budget& held, DocumentError& error) {
    Style* style = nullptr;
    for (;;) {
      const Event e = reader.Next();
      if (e == Event::kDone) return true;
      if (e == Event::kError) {
        error = reader.ErrorReason();
        return false;
      }
      if (e == Event::kEnd && reader.Is(Ns::kWord, "style")) style = nullptr;
      if (e != Event::kStart || reader.ElementNs() != Ns::kWord) continue;
      const std::string* val = reader.Attribute(Ns::kWord, "val");
      if (reader.Local() == "style") {
        const std::string* id = reader.Attribute(Ns::kWord, "styleId");
        if (id == nullptr || !held.Take(id->size())) continue;
        style = &styles_[*id];
        style->heading = IsHeadingName(*id);
        style->caption = IsCaptionName(*id);
      } else if (style == nullptr || val == nullptr) {
        continue;
      } else if (reader.Local() == "name") {
        style->heading = style->heading || IsHeadingName(*val);
        style->caption = style->caption || IsCaptionName(*val);
      } else if (reader.Local() == "basedOn" && held.Take(val->size())) {
        style->based_on = *val;
      } else if (reader.Local() == "outlineLvl") {
        style->outline = IntValue(val, -1);
      }
    }
  }

  // Whether a paragraph of style `id` is a heading: an outline level of 0 to 8 (9 is body
  // text) or a heading's name, its own or of the style it is based on.
  bool Heading(const std::string& id) const {
    return Find(id, [](const Style& s) {
      if (s.outline >= 0) return s.outline < 9 ? 1 : 0;
      return s.heading ? 1 : -1;
    });
  }
  bool Caption(const std::string& id) const {
    return Find(id, [](const Style& s) { return s.caption ? 1 : -1; });
  }

 private:
  struct Style {
    std::string based_on;
    int outline = -1;
    bool heading = false;
    bool caption = false;
  };

  // Up the styles it is based on until `says` gives 1 (yes) or 0 (no); a loop says no.
  template <typename Says>
  bool Find(const std::string& id, Says says) const {
    const std::string* at = &id;
    for (int depth = 0; depth < 16; ++depth) {
      const auto found = styles_.find(*at);
      if (found == styles_.end()) return false;
      const int said = says(found->second);
      if (said >= 0) return said == 1;
      at = &found->second.based_on;
    }
    return false;
  }

  std::unordered_map<std::string, Style> styles_;
};

}  // namespace

std::string PlaceName(std::string_view text) {
  std::string name;
  for (const char c : text) {
    if (c == '\n' || c == '\t' || c == '\r') {
      if (!name.empty() && name.back() != ' ') name += ' ';
    } else if (c != ' ' || (!name.empty() && name.back() != ' ')) {
      name += c;
    }
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  constexpr std::size_t kLongest = 120;  // bytes: forty Chinese characters
  if (name.size() > kLongest) {
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
    name += "…";
  }
  return name;
}

namespace {

// "表 2 主要规范", "表3.1-2 …": a table's caption by its words.
bool CaptionWords(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text.starts_with("表") && StartsWithDigit(text.substr(std::string_view("表").size()));
}

// One part's paragraphs. In the body, paragraphs outside tables and the cells of top-level
// tables are numbered, and each is also counted from the nearest heading above (`styles`
// says which paragraphs are headings and captions); in the other parts every paragraph,
// table or not, counts within `part_name` with the counter the caller keeps for that kind
// of part.
class Walker {
 public:
  Walker(formats::Budget& budget, std::vector<TextPiece>& pieces, Location::Part part,
         int& paragraphs, DocxTrace* trace, const Styles* styles = nullptr)
      : budget_(budget),
        pieces_(pieces),
        part_(part),
        paragraphs_(paragraphs),
        trace_(trace),
        styles_(styles) {}

  // False with the reason; `root` is the element the part must start with.
  bool Walk(package::PartReader& reader, std::string_view root, DocumentError& error,
            DocumentError wrong_root) {
    bool first = true;
    for (;;) {
      if (too_large_) {
        error = DocumentError::kContentTooLarge;
        return false;
      }
      const Event e = reader.Next();
      if (e == Event::kDone) return true;
      if (e == Event::kError) {
        error = reader.ErrorReason();
        return false;
      }
      if (first && e == Event::kStart) {
        first = false;
        if (!reader.Is(Ns::kWord, root)) {
          error = wrong_root;
          return false;
        }
      }
      if (trace_ != nullptr) trace_->Event(reader, e);
      if (e == Event::kStart) {
        Start(reader);
      } else if (e == Event::kEnd) {
        End(reader);
      } else if (e == Event::kText && skip_ == 0 && in_text_ && hidden_fields_ == 0) {
        Append(reader.Reader().Text());
      }
    }
  }

 private:
  bool CountsTables() const { return part_ == Location::Part::kNone; }
  bool AtCountedTable() const { return counted_depth_ > 0 && tables_ == counted_depth_; }

  void Append(std::string_view s) {
    if (s.empty()) return;
    if (!budget_.Fits(text_.size() + 1 + s.size())) {
      too_large_ = true;
      return;
    }
    if (pending_break_ && !text_.empty()) text_ += '\n';
    pending_break_ = false;
    text_ += s;
    if (trace_ != nullptr) trace_->Appended(text_.size() - s.size(), s.size());
  }

  void Emit(Location location) {
    if (trace_ != nullptr) trace_->Unit(text_);
    if (!text_.empty() && !budget_.Add(pieces_, {std::move(text_), std::move(location)})) {
      too_large_ = true;
    }
    text_.clear();
    pending_break_ = false;
  }

  static bool IsSkippedNote(const package::PartReader& r) {
    if (!r.Is(Ns::kWord, "footnote") && !r.Is(Ns::kWord, "endnote")) return false;
    const std::string* type = r.Attribute(Ns::kWord, "type");
    return type != nullptr && (*type == "separator" || *type == "continuationSeparator" ||
                               *type == "continuationNotice");
  }

  void Start(const package::PartReader& r) {
    if (skip_ > 0) {
      ++skip_;
      return;
    }
    const Ns ns = r.ElementNs();
    const std::string_view local = r.Local();
    if (ns == Ns::kCompatibility && local == "Fallback") {
      skip_ = 1;  // the same content as the Choice before it
      return;
    }
    if (ns == Ns::kMath && local == "t") {
      in_text_ = true;
      return;
    }
    if (ns != Ns::kWord) return;
    // Deleted and moved-away revisions and ruby annotations are not shown as text.
    if (local == "del" || local == "moveFrom" || local == "rt" || IsSkippedNote(r)) {
      skip_ = 1;
    } else if (local == "pPrChange") {
      skip_ = 1;  // the properties before a revision
    } else if (!StartParagraphElement(r, local) && !StartTableElement(r, local) && run_depth_ > 0) {
      StartInRun(r, local);
    }
  }

  // A paragraph, its style and outline level, a run or its text; false for anything else.
  bool StartParagraphElement(const package::PartReader& r, std::string_view local) {
    if (local == "p") {
      run_depths_.push_back(run_depth_);
      run_depth_ = 0;
      if (++paragraph_level_ > 1) pending_break_ = true;  // a text box's paragraph
      if (AtBodyParagraph()) {
        style_.clear();
        outline_ = -1;
      }
    } else if (local == "pStyle" && AtBodyParagraph() && run_depth_ == 0) {
      if (const std::string* id = r.Attribute(Ns::kWord, "val")) style_ = *id;
    } else if (local == "outlineLvl" && AtBodyParagraph() && run_depth_ == 0) {
      outline_ = IntValue(r.Attribute(Ns::kWord, "val"), -1);
    } else if (local == "r") {
      ++run_depth_;
    } else if (local == "t") {
      in_text_ = run_depth_ > 0;
    } else {
      return local == "pStyle" || local == "outlineLvl";
    }
    return true;
  }

  // A table, its rows and cells where they are counted; false for anything else.
  bool StartTableElement(const package::PartReader& r, std::string_view local) {
    if (local == "tbl") {
      ++tables_;
      if (CountsTables() && tables_ == 1 && paragraph_level_ == 0) {
        counted_depth_ = 1;
        ++table_;
        ++tables_under_;
        row_ = 0;
        caption_ = std::move(caption_before_);
        caption_before_.clear();
        awaiting_caption_ = false;
        table_pieces_ = pieces_.size();
      }
      return true;
    }
    if (!AtCountedTable() || paragraph_level_ != 0) return false;
    if (local == "tr") {
      ++row_;
      next_column_ = 1;
    } else if (local == "gridBefore") {
      next_column_ += IntValue(r.Attribute(Ns::kWord, "val"), 0);
    } else if (local == "tc") {
      in_cell_ = true;
      column_ = next_column_;
      span_ = 1;
      if (trace_ != nullptr) trace_->Unit({});
      text_.clear();
      pending_break_ = false;
    } else if (local == "gridSpan" && in_cell_) {
      span_ = std::max(1, IntValue(r.Attribute(Ns::kWord, "val"), 1));
    }
    return true;
  }

  // What stands for a character inside a run, and fields.
  void StartInRun(const package::PartReader& r, std::string_view local) {
    if (local == "tab") {
      Append("\t");
    } else if (local == "br" || local == "cr") {
      Append("\n");
    } else if (local == "noBreakHyphen") {
      Append("-");
    } else if (local == "fldChar") {
      Field(r.Attribute(Ns::kWord, "fldCharType"));
    }
  }

  // Complex fields: only what lies between `separate` and `end` is shown; an instruction
  // may hold fields of its own, whose results are part of it.
  void Field(const std::string* type) {
    if (type == nullptr) return;
    if (*type == "begin") {
      fields_.push_back(false);
      ++hidden_fields_;
    } else if (*type == "separate" && !fields_.empty() && !fields_.back()) {
      fields_.back() = true;
      --hidden_fields_;
    } else if (*type == "end" && !fields_.empty()) {
      if (!fields_.back()) --hidden_fields_;
      fields_.pop_back();
    }
  }

  void End(const package::PartReader& r) {
    if (skip_ > 0) {
      --skip_;
      return;
    }
    const Ns ns = r.ElementNs();
    const std::string_view local = r.Local();
    if (local == "t" && (ns == Ns::kWord || ns == Ns::kMath)) {
      in_text_ = false;
      return;
    }
    if (ns != Ns::kWord) return;
    if (local == "r") {
      if (run_depth_ > 0) --run_depth_;
    } else if (local == "p" && paragraph_level_ > 0) {
      run_depth_ = run_depths_.back();
      run_depths_.pop_back();
      if (--paragraph_level_ > 0) {
        pending_break_ = true;
      } else if (in_cell_) {
        pending_break_ = true;  // the cell's next paragraph goes on a line of its own
      } else {
        ++paragraphs_;
        Location at;
        at.paragraph = paragraphs_;
        if (part_ == Location::Part::kNone) {
          at.kind = Location::Kind::kParagraph;
          BodyParagraph(at);
        } else {
          at.kind = Location::Kind::kPart;
          at.part = part_;
        }
        Emit(std::move(at));
      }
    } else if (local == "tc" && AtCountedTable() && paragraph_level_ == 0 && in_cell_) {
      Location at;
      at.kind = Location::Kind::kTableCell;
      at.table = table_;
      at.row = row_;
      at.column = column_;
      at.heading = heading_;
      at.under_heading = tables_under_;
      at.caption = caption_;
      Emit(std::move(at));
      in_cell_ = false;
      next_column_ += span_;
    } else if (local == "tbl" && tables_ > 0) {
      if (tables_ == counted_depth_) {
        counted_depth_ = 0;
        awaiting_caption_ = caption_.empty();
        caption_.clear();
      }
      --tables_;
    }
  }

  bool AtBodyParagraph() const {
    return styles_ != nullptr && paragraph_level_ == 1 && tables_ == 0;
  }

  // A body paragraph outside tables: a heading names the paragraphs and tables below it,
  // counted from it; a caption names the table just before or after it (empty paragraphs
  // between do not part them).
  void BodyParagraph(Location& at) {
    if (!text_.empty() && (outline_ >= 0 ? outline_ < 9 : styles_->Heading(style_))) {
      heading_ = PlaceName(text_);
      paragraphs_under_ = tables_under_ = 0;
      at.heading = heading_;
    } else if (!heading_.empty()) {
      at.heading = heading_;
      at.under_heading = ++paragraphs_under_;
    }
    if (text_.empty()) return;
    const bool caption = CaptionWords(text_) || styles_->Caption(style_);
    caption_before_.clear();
    if (caption && awaiting_caption_) {
      NameTable(PlaceName(text_));
    } else if (caption) {
      caption_before_ = PlaceName(text_);
    }
    awaiting_caption_ = false;
  }

  // The caption below a table, given to the cells read before it.
  void NameTable(const std::string& caption) {
    for (std::size_t i = table_pieces_; i < pieces_.size(); ++i) {
      if (!budget_.Grow(caption.size())) {
        too_large_ = true;
        return;
      }
      pieces_[i].location.caption = caption;
    }
  }

  formats::Budget& budget_;
  bool too_large_ = false;
  std::vector<TextPiece>& pieces_;
  Location::Part part_;  // kNone for the body
  int& paragraphs_;
  DocxTrace* trace_;
  std::string text_;
  bool pending_break_ = false;
  int skip_ = 0;
  bool in_text_ = false;
  int run_depth_ = 0;
  std::vector<int> run_depths_;
  int paragraph_level_ = 0;
  int tables_ = 0;
  int counted_depth_ = 0;
  int table_ = 0, row_ = 0, column_ = 0, next_column_ = 1, span_ = 1;
  bool in_cell_ = false;
  std::vector<bool> fields_;
  int hidden_fields_ = 0;
  const Styles* styles_;  // null but in the body
  std::string style_;     // of the body paragraph being read
  int outline_ = -1;      // its own outline level
  std::string heading_;
  int paragraphs_under_ = 0;  // since the heading
  int tables_under_ = 0;
  std::string caption_before_;  // the last body paragraph's text when it is a caption
  std::string caption_;         // of the table being read
  bool awaiting_caption_ = false;
  std::size_t table_pieces_ = 0;  // where the last table's cells start in `pieces_`
};

// Headers by their number (header2 before header10), each part once.
void SortParts(std::vector<std::string>& parts) {
  std::sort(parts.begin(), parts.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  parts.erase(std::unique(parts.begin(), parts.end()), parts.end());
}

}  // namespace

bool ReadDocx(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
              DocumentError& error) {
  return WalkDocx(bytes, budget, pieces, error, nullptr);
}

namespace {

// The paragraph styles the main part's relationships name. Damaged styles cost only the
// headings; a limit reached is the document's.
bool ReadStyles(package::Package& package, const std::vector<package::Relationship>& relationships,
                Styles& styles, DocumentError& error) {
  for (const package::Relationship& r : relationships) {
    const ZipMember* member = r.Kind() == "styles" ? package.Find(r.part) : nullptr;
    if (member == nullptr || !package.FirstRead(*member)) continue;
    package::PartReader reader(package, *member);
    DocumentError styles_error = DocumentError::kNone;
    if (!styles.Read(reader, package.Held(), styles_error)) {
      if (styles_error == DocumentError::kTooLarge ||
          styles_error == DocumentError::kContentTooLarge) {
        return Fail(error, styles_error);
      }
      styles = Styles();
    }
  }
  return true;
}

// The parts beside the body: headers, footers, footnotes and endnotes, each kind counted on
// its own, its parts in their number's order.
bool WalkOtherParts(package::Package& package,
                    const std::vector<package::Relationship>& relationships, Budget& budget,
                    std::vector<TextPiece>& pieces, DocumentError& error, DocxTrace* trace) {
  struct PartKind {
    const char* type;
    const char* root;
    Location::Part part;
    // Word allows none in headers and footers; LibreOffice (7.4) refuses to open a document
    // with a comment in a footnote or an endnote, which Word allows.
    bool comments;
  };
  const PartKind kinds[] = {{"header", "hdr", Location::Part::kHeader, false},
                            {"footer", "ftr", Location::Part::kFooter, false},
                            {"footnotes", "footnotes", Location::Part::kFootnote, false},
                            {"endnotes", "endnotes", Location::Part::kEndnote, false}};
  for (const PartKind& kind : kinds) {
    std::vector<std::string> parts;
    for (const package::Relationship& r : relationships) {
      if (r.Kind() == kind.type) parts.push_back(r.part);
    }
    SortParts(parts);
    int paragraphs = 0;
    for (const std::string& part : parts) {
      // Named but missing: nothing to read there; named again: read once.
      const ZipMember* member = package.Find(part);
      if (member == nullptr || !package.FirstRead(*member)) continue;
      package::PartReader reader(package, *member);
      if (trace != nullptr) trace->Part(member->name, kind.comments);
      if (!Walker(budget, pieces, kind.part, paragraphs, trace)
               .Walk(reader, kind.root, error, DocumentError::kDamaged)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

bool WalkDocx(const Bytes& bytes, Budget& budget, std::vector<TextPiece>& pieces,
              DocumentError& error, DocxTrace* trace) {
  package::Package package(budget.Limits());
  if (!package.Open(bytes, DocumentError::kNotWord, error)) return false;
  std::vector<package::Relationship> relationships;
  if (!package::ReadRelationships(package, "", relationships, error)) return false;
  std::string main = package::MainPart(relationships, "word/document.xml");
  if (package.Find(main) == nullptr) main = "word/document.xml";
  const ZipMember* body = package.Find(main);
  if (body == nullptr) return Fail(error, DocumentError::kNotWord);
  package.FirstRead(*body);
  if (!package::ReadRelationships(package, main, relationships, error)) return false;
  Styles styles;
  if (!ReadStyles(package, relationships, styles, error)) return false;
  int body_paragraphs = 0;
  package::PartReader body_reader(package, *body);
  if (trace != nullptr) trace->Part(body->name, true);
  if (!Walker(budget, pieces, Location::Part::kNone, body_paragraphs, trace, &styles)
           .Walk(body_reader, "document", error, DocumentError::kNotWord)) {
    return false;
  }
  return WalkOtherParts(package, relationships, budget, pieces, error, trace);
}

}  // namespace kelvaro::formats
