#include "document/markers/docx_mark.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "document/containers/package_edit.h"
#include "document/containers/xml_reader.h"
#include "document/containers/zip_reader.h"
#include "document/containers/zip_writer.h"
#include "document/markers/read_back.h"
#include "document/readers/docx_walk.h"

namespace kelvaro {

namespace {

using package::Ns;
using Event = XmlReader::Event;

constexpr char kWordUri[] = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr std::int32_t kNoFill = -1;

// The verdict's colour as shading behind text, taken towards white in twentieths until it is
// light enough that a tracked change's own colour still reads on it (LibreOffice draws the
// first author's changes in a dark amber, lost on the table's amber).
std::uint32_t TextShading(std::uint32_t rgb) {
  const auto linear = [](unsigned c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  for (unsigned step = 0;; ++step) {
    unsigned channel[3];
    for (int i = 0; i < 3; ++i) {
      const unsigned c = (rgb >> (16 - 8 * i)) & 0xFF;
      channel[i] = c + ((0xFF - c) * step + 10) / 20;
    }
    const double luminance =
        0.2126 * linear(channel[0]) + 0.7152 * linear(channel[1]) + 0.0722 * linear(channel[2]);
    if (luminance >= 0.8 || step == 20) return channel[0] << 16 | channel[1] << 8 | channel[2];
  }
}

std::string Escape(std::string_view text) {
  std::string out;
  AppendXmlEscaped(out, text);
  return out;
}

std::string Hex(std::uint32_t rgb) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%06X", static_cast<unsigned>(rgb & 0xFFFFFF));
  return buffer;
}

// Word's ids are 32-bit; larger ones only push ours further up.
std::int64_t IdValue(const std::string* text) {
  std::int64_t value = -1;
  if (text != nullptr) std::from_chars(text->data(), text->data() + text->size(), value);
  return std::min<std::int64_t>(value, std::int64_t{1} << 40);
}

// Something put between the runs: a comment's range and reference, or a replacement. Ids are
// counted from zero here and moved past the document's own when written.
struct Marker {
  enum class Kind { kCommentStart, kInsert, kCommentEnd };
  Kind kind;
  std::int64_t id;
  std::string text;  // kInsert: the new text
  std::int32_t fill = kNoFill;
};

// A piece of a unit's text as it came from one event: a w:t's text, a tab or a break.
struct Segment {
  std::size_t at = 0;
  std::size_t size = 0;
  std::uint64_t begin = 0;  // the event's offset in the part
  int run = -1;             // in Tracer::runs_; -1 outside a run
};

// The marks on one segment's bytes.
struct SegmentPlan {
  std::size_t size = 0;
  std::vector<std::int32_t> fill;
  std::vector<std::uint8_t> deleted;
  std::multimap<std::size_t, Marker> before, after;  // by the byte they stand at
};

// A run to be written anew, its bytes read again from the part.
struct RunPlan {
  std::uint64_t begin = 0, end = 0;
  std::string prefix;     // of the run's name: the Word namespace as the part spells it
  bool inserted = false;  // inside a revision that inserted it
  std::map<std::uint64_t, SegmentPlan> segments;
};

struct CommentText {
  std::int64_t id;
  std::string text;
};

class Tracer : public formats::DocxTrace {
 public:
  explicit Tracer(const MarkDecider& decide) : decide_(decide) {}

  void Part(std::string_view name, bool comments) override {
    if (main_.empty()) main_ = name;
    plans_ = &parts_[std::string(name)];
    comments_allowed_ = comments;
    Reset();
    open_runs_.clear();
    stories_.clear();
    inserted_ = 0;
  }

  void Event(const package::PartReader& reader, XmlReader::Event e) override {
    last_begin_ = e == Event::kText ? reader.Reader().TextBegin() : reader.Reader().TagBegin();
    if (e == Event::kStart) {
      largest_id_ = std::max(largest_id_, IdValue(reader.Attribute(Ns::kWord, "id")));
      if (reader.ElementNs() != Ns::kWord) return;
      // Where Word is the default namespace some producers leave its attributes unprefixed.
      largest_id_ = std::max(largest_id_, IdValue(reader.Attribute(Ns::kOther, "id")));
      const std::string_view local = reader.Local();
      if (local == "txbxContent") {
        stories_.push_back({++story_count_, open_runs_.size()});
      } else if (local == "r") {
        if (!open_runs_.empty() && open_runs_.back() >= 0)
          runs_[open_runs_.back()].holds_run = true;
        const std::string_view name = reader.Reader().Name();
        const std::size_t colon = name.find(':');
        Run run;
        run.begin = last_begin_;
        run.prefix = colon == std::string_view::npos ? "" : name.substr(0, colon);
        run.inserted = inserted_ > 0;
        // A text box's run stands inside the run of its drawing, yet in a story of its own.
        const Story story = stories_.empty() ? Story{} : stories_.back();
        run.story = story.id;
        run.nested = open_runs_.size() > story.runs_open;
        runs_.push_back(std::move(run));
        open_runs_.push_back(static_cast<int>(runs_.size() - 1));
      } else if (local == "ins" || local == "moveTo") {
        ++inserted_;
      }
    } else if (e == Event::kEnd && reader.ElementNs() == Ns::kWord) {
      const std::string_view local = reader.Local();
      if (local == "r" && !open_runs_.empty()) {
        const int index = open_runs_.back();
        open_runs_.pop_back();
        if (index < 0) return;
        runs_[index].end = reader.Reader().TagEnd();
        // Runs without text are not kept, so that what is held stays within the text's size.
        if (!runs_[index].has_text && index + 1 == static_cast<int>(runs_.size())) runs_.pop_back();
      } else if ((local == "ins" || local == "moveTo") && inserted_ > 0) {
        --inserted_;
      } else if (local == "txbxContent" && !stories_.empty()) {
        stories_.pop_back();
      }
    }
  }

  void Appended(std::size_t at, std::size_t size) override {
    const int run = open_runs_.empty() ? -1 : open_runs_.back();
    if (run >= 0) runs_[run].has_text = true;
    segments_.push_back({at, size, last_begin_, run});
  }

  void Unit(const std::string& text) override {
    if (!text.empty()) Mark(text);
    Reset();
  }

  const std::string& Main() const { return main_; }
  std::map<std::string, std::vector<RunPlan>>& Parts() { return parts_; }
  const std::vector<CommentText>& Comments() const { return comments_; }
  std::int64_t LargestId() const { return largest_id_; }
  std::int64_t IdsTaken() const { return next_id_; }
  int Marked() const { return marked_; }

 private:
  struct Run {
    std::uint64_t begin = 0, end = 0;
    std::string prefix;
    bool inserted = false;
    int story = 0;           // 0: the part's own text; else the text box it stands in
    bool nested = false;     // inside another run of its story
    bool holds_run = false;  // holding one (a drawing's text box)
    bool has_text = false;
  };

  // A text box's content, and how many runs were open where it began.
  struct Story {
    int id = 0;
    std::size_t runs_open = 0;
  };

  void Reset() {
    segments_.clear();
    runs_.clear();
    // Runs still open belong to no unit now.
    std::fill(open_runs_.begin(), open_runs_.end(), -1);
  }

  // The segment holding byte `at` of the unit, or -1.
  int SegmentAt(std::size_t at) const {
    const auto after = std::upper_bound(segments_.begin(), segments_.end(), at,
                                        [](std::size_t a, const Segment& s) { return a < s.at; });
    if (after == segments_.begin()) return -1;
    const auto found = std::prev(after);
    return at < found->at + found->size ? static_cast<int>(found - segments_.begin()) : -1;
  }

  // Whether every piece of [begin, end) stands in a plain run of one story (a comment's
  // range cannot leave a text box), and both ends in text.
  bool Markable(std::size_t begin, std::size_t end) const {
    const int first = SegmentAt(begin);
    if (begin >= end || first < 0 || SegmentAt(end - 1) < 0) return false;
    const int story = segments_[first].run < 0 ? -1 : runs_[segments_[first].run].story;
    for (auto s = segments_.begin() + first; s != segments_.end() && s->at < end; ++s) {
      if (s->run < 0) return false;
      const Run& run = runs_[s->run];
      if (run.nested || run.holds_run || run.end <= run.begin || run.story != story) return false;
    }
    return true;
  }

  void Mark(const std::string& text) {
    const std::vector<Citation> citations = FindCitations(text);
    if (citations.empty()) return;
    std::vector<std::int32_t> fill;
    std::vector<std::uint8_t> deleted;
    std::vector<std::pair<std::size_t, Marker>> before, after;
    for (const Citation& c : citations) {
      const std::optional<CitationMark> mark = decide_(c);
      if (!mark || !Markable(c.begin, c.end)) continue;
      if (fill.empty()) {
        fill.assign(text.size(), kNoFill);
        deleted.assign(text.size(), 0);
      }
      bool marked = false;
      std::int32_t rgb = kNoFill;
      if (const auto colour = FillRgb(mark->fill)) {
        rgb = static_cast<std::int32_t>(TextShading(*colour));
        std::fill(fill.begin() + c.begin, fill.begin() + c.end, rgb);
        marked = true;
      }
      // The old text goes as a deletion, the new one comes in after its last character.
      auto replace = [&](std::size_t begin, std::size_t end, const std::string& by) {
        if (begin >= end || end > c.end || SegmentAt(end - 1) < 0) return;
        if (std::any_of(deleted.begin() + begin, deleted.begin() + end, [](auto d) { return d; }))
          return;  // a range's citations share their number
        std::fill(deleted.begin() + begin, deleted.begin() + end, 1);
        after.push_back({end - 1, {Marker::Kind::kInsert, next_id_++, by, rgb}});
        marked = true;
      };
      if (!mark->number.empty() && !c.number_as_written.empty()) {
        const std::size_t at = c.written.find(c.number_as_written);
        if (at != std::string::npos) {
          replace(c.begin + at, c.begin + at + c.number_as_written.size(), mark->number);
        }
      }
      if (!mark->title.empty() && !c.title.empty()) {
        const std::string quoted = "《" + c.title + "》";
        const std::size_t at = c.written.find(quoted);
        if (at != std::string::npos) {
          const std::size_t begin = c.begin + at + std::string_view("《").size();
          replace(begin, begin + c.title.size(), mark->title);
        }
      }
      if (comments_allowed_ && !mark->comment.empty()) {
        const std::int64_t id = next_id_++;
        before.push_back({c.begin, {Marker::Kind::kCommentStart, id, {}, kNoFill}});
        after.push_back({c.end - 1, {Marker::Kind::kCommentEnd, id, {}, kNoFill}});
        comments_.push_back({id, mark->comment});
        marked = true;
      }
      if (marked) ++marked_;
    }
    if (fill.empty()) return;
    Plan(fill, deleted, before, after);
  }

  // Every run that has a marked byte or a marker is written anew.
  void Plan(const std::vector<std::int32_t>& fill, const std::vector<std::uint8_t>& deleted,
            const std::vector<std::pair<std::size_t, Marker>>& before,
            const std::vector<std::pair<std::size_t, Marker>>& after) {
    std::vector<bool> touched(runs_.size(), false);
    for (const Segment& s : segments_) {
      if (s.run < 0) continue;
      for (std::size_t i = s.at; i < s.at + s.size; ++i) {
        if (fill[i] != kNoFill || deleted[i] != 0) touched[s.run] = true;
      }
    }
    for (const auto* markers : {&before, &after}) {
      for (const auto& [at, marker] : *markers) touched[segments_[SegmentAt(at)].run] = true;
    }
    std::map<int, RunPlan> plans;
    for (const Segment& s : segments_) {
      if (s.run < 0 || !touched[s.run]) continue;
      RunPlan& plan = plans[s.run];
      const Run& run = runs_[s.run];
      plan.begin = run.begin;
      plan.end = run.end;
      plan.prefix = run.prefix;
      plan.inserted = run.inserted;
      SegmentPlan& segment = plan.segments[s.begin];
      segment.size = s.size;
      segment.fill.assign(fill.begin() + s.at, fill.begin() + s.at + s.size);
      segment.deleted.assign(deleted.begin() + s.at, deleted.begin() + s.at + s.size);
    }
    auto place = [&](const std::vector<std::pair<std::size_t, Marker>>& markers, bool is_after) {
      for (const auto& [at, marker] : markers) {
        const Segment& s = segments_[SegmentAt(at)];
        SegmentPlan& segment = plans[s.run].segments[s.begin];
        (is_after ? segment.after : segment.before).emplace(at - s.at, marker);
      }
    };
    place(before, false);
    place(after, true);
    for (auto& [index, plan] : plans) {
      if (!plans_->empty() && plans_->back().end > plan.begin) continue;  // cannot happen
      plans_->push_back(std::move(plan));
    }
  }

  const MarkDecider& decide_;
  std::string main_;
  std::map<std::string, std::vector<RunPlan>> parts_;
  std::vector<RunPlan>* plans_ = nullptr;
  bool comments_allowed_ = false;
  std::vector<Segment> segments_;
  std::vector<Run> runs_;
  std::vector<int> open_runs_;
  std::vector<Story> stories_;
  int story_count_ = 0;
  int inserted_ = 0;
  std::uint64_t last_begin_ = 0;
  std::int64_t largest_id_ = -1;
  std::int64_t next_id_ = 0;
  std::vector<CommentText> comments_;
  int marked_ = 0;
};

// Writes the planned runs of one part, each as the runs it splits into, with the markers
// between them.
class RunWriter {
 public:
  RunWriter(const MarkAuthor& author, const XmlLimits& limits, std::int64_t id_base,
            std::int64_t& next_id)
      : author_(author), limits_(limits), id_base_(id_base), next_id_(next_id) {}

  // False when the run's bytes do not read again as an element (then it is left as it was).
  bool Write(std::string_view bytes, const RunPlan& plan, std::string& out) {
    plan_ = &plan;
    p_ = plan.prefix.empty() ? "" : plan.prefix + ":";
    // Word's attributes are in its namespace: where the part has it as the default one, an
    // unprefixed attribute would be in none, so ours carry a prefix declared on the element.
    a_ = plan.prefix.empty() ? "w:" : p_;
    declare_ = plan.prefix.empty() ? std::string(" xmlns:w=\"") + kWordUri + "\"" : "";
    out_.clear();
    rpr_.clear();
    shaded_.clear();
    open_ = false;
    XmlReader reader(bytes, limits_);
    std::uint64_t child = 0;
    std::string child_name;
    std::vector<std::pair<std::uint64_t, std::string>> texts;
    for (;;) {
      const Event e = reader.Next();
      if (e == Event::kError) return false;
      if (e == Event::kDone) break;
      if (e == Event::kStart && reader.Depth() == 1) {
        start_tag_ = bytes.substr(0, reader.TagEnd());
      } else if (e == Event::kStart && reader.Depth() == 2) {
        child = reader.TagBegin();
        child_name = LocalName(reader.Name());
        texts.clear();
      } else if (e == Event::kText && reader.Depth() == 2 && child_name == "t") {
        texts.emplace_back(plan.begin + reader.TextBegin(), reader.Text());
      } else if (e == Event::kEnd && reader.Depth() == 1) {
        Child(child_name, bytes.substr(child, reader.TagEnd() - child), plan.begin + child, texts);
      }
    }
    Close();
    out += out_;
    return true;
  }

  const std::string& Shaded(std::int32_t fill) {
    auto [at, added] = shaded_.try_emplace(fill);
    if (added) at->second = Shade(fill);
    return at->second;
  }

  // The run properties with the shading set: in the place the schema gives it, or in place of
  // the one there was.
  std::string Shade(std::int32_t fill) const {
    const std::string shd = "<" + p_ + "shd" + declare_ + " " + a_ + "val=\"clear\" " + a_ +
                            "color=\"auto\" " + a_ + "fill=\"" +
                            Hex(static_cast<std::uint32_t>(fill)) + "\"/>";
    if (rpr_.empty()) return "<" + p_ + "rPr>" + shd + "</" + p_ + "rPr>";
    static constexpr std::string_view kAfter[] = {
        "shd",  "fitText",         "vertAlign",  "rtl",   "cs",       "em",
        "lang", "eastAsianLayout", "specVanish", "oMath", "rPrChange"};
    XmlReader reader(rpr_, limits_);
    std::string name;
    std::size_t root = 0;
    for (;;) {
      const Event e = reader.Next();
      if (e == Event::kError || e == Event::kDone) return rpr_;
      if (e == Event::kStart && reader.Depth() == 1) {
        name = reader.Name();
        root = reader.TagBegin();
      } else if (e == Event::kStart && reader.Depth() == 2) {
        const std::string_view local = LocalName(reader.Name());
        if (std::find(std::begin(kAfter), std::end(kAfter), local) == std::end(kAfter)) continue;
        const std::size_t at = reader.TagBegin();
        if (local != "shd") return rpr_.substr(0, at) + shd + rpr_.substr(at);
        for (Event skip = reader.Next(); skip != Event::kEnd || reader.Depth() > 1;
             skip = reader.Next()) {
          if (skip == Event::kError || skip == Event::kDone) return rpr_;
        }
        return rpr_.substr(0, at) + shd + rpr_.substr(reader.TagEnd());
      } else if (e == Event::kEnd && reader.Depth() == 0) {
        const std::size_t at = reader.TagBegin();
        if (at == root) {  // <w:rPr/>
          std::string open = rpr_.substr(0, rpr_.rfind("/>"));
          return open + ">" + shd + "</" + name + ">";
        }
        return rpr_.substr(0, at) + shd + rpr_.substr(at);
      }
    }
  }

 private:
  using Texts = std::vector<std::pair<std::uint64_t, std::string>>;

  void Child(std::string_view name, std::string_view bytes, std::uint64_t begin,
             const Texts& texts) {
    if (name == "rPr") {
      rpr_ = bytes;
      shaded_.clear();
      return;
    }
    const auto& segments = plan_->segments;
    if (name == "t" && !texts.empty() && std::all_of(texts.begin(), texts.end(), [&](auto& t) {
          const auto found = segments.find(t.first);
          return found != segments.end() && found->second.size == t.second.size();
        })) {
      for (const auto& [at, text] : texts) Text(segments.at(at), text, nullptr);
      return;
    }
    const auto found = segments.find(begin);
    if (found != segments.end() && found->second.size == 1) {
      Text(found->second, {}, &bytes);  // a tab or a break
      return;
    }
    // Anything else stays in a run of its own kind; never in a deletion, which would take
    // a field's character or a bookmark with it.
    Put(open_ && !deleted_ ? fill_ : kNoFill, false, bytes);
  }

  // The segment's bytes in pieces of one state, the markers between them; `element`, when
  // given, stands for the one character.
  void Text(const SegmentPlan& s, std::string_view text, const std::string_view* element) {
    std::size_t from = 0;
    for (std::size_t i = 0; i < s.size; ++i) {
      const auto [b, b_end] = s.before.equal_range(i);
      if (b != b_end && from < i) Piece(s, text, from, i, element);
      if (b != b_end) from = i;
      for (auto m = b; m != b_end; ++m) Markers(m->second);
      const bool cut = i + 1 == s.size || s.after.count(i) != 0 || s.fill[i + 1] != s.fill[i] ||
                       s.deleted[i + 1] != s.deleted[i];
      if (!cut) continue;
      Piece(s, text, from, i + 1, element);
      from = i + 1;
      std::vector<const Marker*> due;
      const auto [a, a_end] = s.after.equal_range(i);
      for (auto m = a; m != a_end; ++m) due.push_back(&m->second);
      // The new text inside the comment's range, which closes last.
      std::stable_sort(due.begin(), due.end(),
                       [](const Marker* x, const Marker* y) { return x->kind < y->kind; });
      for (const Marker* m : due) Markers(*m);
    }
  }

  void Piece(const SegmentPlan& s, std::string_view text, std::size_t from, std::size_t to,
             const std::string_view* element) {
    if (from >= to) return;
    if (element != nullptr) {
      Put(s.fill[from], s.deleted[from] != 0, *element);
      return;
    }
    const std::string tag = p_ + (s.deleted[from] != 0 ? "delText" : "t");
    Put(s.fill[from], s.deleted[from] != 0,
        "<" + tag + " xml:space=\"preserve\">" + Escape(text.substr(from, to - from)) + "</" + tag +
            ">");
  }

  void Put(std::int32_t fill, bool deleted, std::string_view content) {
    if (open_ && (fill != fill_ || deleted != deleted_)) Close();
    if (!open_) {
      open_ = true;
      fill_ = fill;
      deleted_ = deleted;
      run_.clear();
    }
    run_ += content;
  }

  void Close() {
    if (!open_) return;
    open_ = false;
    std::string run = std::string(start_tag_) + (fill_ == kNoFill ? rpr_ : Shaded(fill_)) + run_ +
                      "</" + p_ + "r>";
    out_ += deleted_ ? Revision("del", run) : run;
  }

  std::string Attributes(std::int64_t id) const {
    std::string out = declare_ + " " + a_ + "id=\"" + std::to_string(id) + "\" " + a_ +
                      "author=\"" + Escape(author_.name) + "\"";
    if (!author_.date.empty()) out += " " + a_ + "date=\"" + Escape(author_.date) + "\"";
    return out;
  }

  std::string Revision(const char* kind, const std::string& inside) {
    return "<" + p_ + kind + Attributes(id_base_ + next_id_++) + ">" + inside + "</" + p_ + kind +
           ">";
  }

  void Markers(const Marker& m) {
    Close();
    const std::string id = std::to_string(id_base_ + m.id);
    switch (m.kind) {
      case Marker::Kind::kCommentStart:
        out_ += "<" + p_ + "commentRangeStart" + declare_ + " " + a_ + "id=\"" + id + "\"/>";
        break;
      case Marker::Kind::kCommentEnd:
        out_ += "<" + p_ + "commentRangeEnd" + declare_ + " " + a_ + "id=\"" + id + "\"/><" + p_ +
                "r><" + p_ + "commentReference" + declare_ + " " + a_ + "id=\"" + id + "\"/></" +
                p_ + "r>";
        break;
      case Marker::Kind::kInsert: {
        const std::string run = "<" + p_ + "r>" + (m.fill == kNoFill ? rpr_ : Shaded(m.fill)) +
                                "<" + p_ + "t xml:space=\"preserve\">" + Escape(m.text) + "</" +
                                p_ + "t></" + p_ + "r>";
        // Inside a revision that inserted the old text the new one is part of it: rejected
        // with it, kept with it.
        out_ += plan_->inserted ? run
                                : "<" + p_ + "ins" + Attributes(id_base_ + m.id) + ">" + run +
                                      "</" + p_ + "ins>";
        break;
      }
    }
  }

  const MarkAuthor& author_;
  XmlLimits limits_;
  std::int64_t id_base_;
  std::int64_t& next_id_;
  const RunPlan* plan_ = nullptr;
  std::string p_;        // the Word namespace's prefix of elements, with its colon
  std::string a_;        // and of attributes
  std::string declare_;  // a declaration of a_, when the part has none
  std::string_view start_tag_;
  std::string rpr_;
  std::map<std::int32_t, std::string> shaded_;  // rpr_ with each fill
  std::string out_;
  std::string run_;
  bool open_ = false;
  std::int32_t fill_ = kNoFill;
  bool deleted_ = false;
};

// `xml` with `insert` put before the root's end tag; false when it does not read.
bool InsertBeforeRootEnd(std::string& xml, const std::string& insert, const XmlLimits& limits) {
  XmlReader reader(xml, limits);
  std::size_t root = 0;
  for (;;) {
    const Event e = reader.Next();
    if (e == Event::kError || e == Event::kDone) return false;
    if (e == Event::kStart && reader.Depth() == 1) root = reader.TagBegin();
    if (e == Event::kEnd && reader.Depth() == 0) {
      const std::size_t at = reader.TagBegin();
      if (at == root) return false;  // an empty root: never a part we write to
      xml.insert(at, insert);
      return true;
    }
  }
}

// Each start tag's attribute `name`, of elements named `local`.
std::vector<std::string> AttributeValues(std::string_view xml, std::string_view local,
                                         std::string_view name, const XmlLimits& limits) {
  std::vector<std::string> out;
  XmlReader reader(xml, limits);
  for (Event e = reader.Next(); e != Event::kDone && e != Event::kError; e = reader.Next()) {
    if (e != Event::kStart || LocalName(reader.Name()) != local) continue;
    for (const XmlAttribute& a : reader.Attributes()) {
      if (LocalName(a.name) == name) out.push_back(a.value);
    }
  }
  return out;
}

std::string CommentsXml(const std::vector<CommentText>& comments, const MarkAuthor& author,
                        std::int64_t id_base) {
  std::string out;
  for (const CommentText& c : comments) {
    out += std::string("<w:comment xmlns:w=\"") + kWordUri + "\" w:id=\"" +
           std::to_string(id_base + c.id) + "\" w:author=\"" + Escape(author.name) + "\"";
    if (!author.date.empty()) out += " w:date=\"" + Escape(author.date) + "\"";
    out += ">";
    std::size_t from = 0;
    for (;;) {
      const std::size_t line = c.text.find('\n', from);
      out += "<w:p><w:r><w:t xml:space=\"preserve\">" +
             Escape(std::string_view(c.text).substr(from, line - from)) + "</w:t></w:r></w:p>";
      if (line == std::string::npos) break;
      from = line + 1;
    }
    out += "</w:comment>";
  }
  return out;
}

constexpr std::string_view kCommentsContentType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.comments+xml";

// Whether `xml` is a comments part by its root: w:comments.
bool CommentsRoot(std::string_view xml, const XmlLimits& limits) {
  XmlReader reader(xml, limits);
  XmlNamespaces namespaces;
  for (Event e = reader.Next(); e != Event::kDone && e != Event::kError; e = reader.Next()) {
    if (e != Event::kStart) continue;
    namespaces.Push(reader);
    return LocalName(reader.Name()) == "comments" &&
           package::NamespaceOf(namespaces.Uri(reader.Name())) == Ns::kWord;
  }
  return false;
}

// The comments' part, its relationship and its content type, created or added to. A part
// the relationships call the comments that is none (the styles, the document itself) is
// never written into: ours get a part of their own, and the relationship points at it.
class CommentParts {
 public:
  bool Prepare(const ZipReader& zip, const std::string& main, const DocumentLimits& limits,
               DocumentError& error) {
    limits_ = package::PartLimits(limits);
    rels_name_ = package::RelationshipsPart(main);
    std::string rels;
    if (const ZipMember* member = zip.Find(rels_name_)) {
      rels_name_ = member->name;
      if (!zip.Extract(*member, rels, error)) return false;
      has_rels_ = true;
    }
    if (!relationships_.Read(main, has_rels_ ? &rels : nullptr, limits, error)) return false;
    if (const ZipMember* member = zip.Find("[Content_Types].xml")) {
      std::string xml;
      DocumentError types_error = DocumentError::kNone;
      types_read_ = zip.Extract(*member, xml, error) && types_.Read(xml, limits, types_error);
      if (error != DocumentError::kNone) return false;
    }
    const std::size_t slash = main.rfind('/');
    const std::string folder = main.substr(0, slash == std::string::npos ? 0 : slash + 1);
    const auto relative = [&](const std::string& part) {
      return part.starts_with(folder) ? part.substr(folder.size()) : "/" + part;
    };
    const package::Relationship* related = relationships_.Find("comments");
    if (related != nullptr) {
      name_ = related->part;
      if (const ZipMember* comments = zip.Find(name_)) {
        name_ = comments->name;
        if (!zip.Extract(*comments, comments_, error)) return false;
        exists_ = IsComments(name_, comments_);
      } else {
        exists_ = false;
        comments_.clear();
        if (!types_.TypeOf(name_).empty() && types_.TypeOf(name_) != kCommentsContentType) {
          name_.clear();
        }
      }
      if (!exists_ && zip.Find(name_) != nullptr) name_.clear();
    }
    if (name_.empty()) name_ = UnusedPart(zip, folder);
    if (related == nullptr) {
      relationships_.Add("comments", relative(name_));
    } else if (name_ != related->part) {
      relationships_.Retarget(related->id, relative(name_));
    }
    if (!exists_) comments_.clear();
    for (const std::string& id : AttributeValues(comments_, "comment", "id", limits_)) {
      largest_id_ = std::max(largest_id_, IdValue(&id));
    }
    return true;
  }

  std::int64_t LargestId() const { return largest_id_; }
  const std::string& Name() const { return name_; }
  const std::string& RelsName() const { return rels_name_; }
  bool Exists() const { return exists_; }
  bool HasRels() const { return has_rels_; }

  std::string Comments(const std::string& ours) const {
    std::string xml = comments_;
    if (exists_ && InsertBeforeRootEnd(xml, ours, limits_)) return xml;
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n") +
           "<w:comments xmlns:w=\"" + kWordUri + "\">" + ours + "</w:comments>";
  }

  std::string Relationships() const { return relationships_.Xml(); }

  // Content types that do not read are left as they were, as the rest of the package is.
  std::string ContentTypes(std::string xml) const {
    if (!types_read_) return xml;
    package::ContentTypes types = types_;
    types.Add(name_, kCommentsContentType);
    return types.Xml();
  }

 private:
  // A comments part by its root, and by its content type when the package gives it one.
  bool IsComments(const std::string& name, std::string_view xml) const {
    const std::string type = types_.TypeOf(name);
    if (!type.empty() && type != kCommentsContentType) return false;
    return CommentsRoot(xml, limits_);
  }

  // "word/comments.xml", else "word/comments2.xml", ...: a name no part has or is typed as.
  std::string UnusedPart(const ZipReader& zip, const std::string& folder) const {
    for (int n = 1;; ++n) {
      const std::string name =
          folder + "comments" + (n == 1 ? std::string() : std::to_string(n)) + ".xml";
      if (zip.Find(name) == nullptr && types_.TypeOf(name).empty()) return name;
    }
  }

  XmlLimits limits_;
  std::string rels_name_;
  package::Relationships relationships_;
  std::string name_;
  std::string comments_;
  package::ContentTypes types_;
  bool types_read_ = false;
  bool has_rels_ = false;
  bool exists_ = false;
  std::int64_t largest_id_ = -1;
};

}  // namespace

namespace {

// `data` with its planned runs written anew; a run that does not read again stays as it was.
std::string MarkedPart(const std::string& data, const std::vector<RunPlan>& plans,
                       RunWriter& writer) {
  std::string marked;
  std::size_t copied = 0;
  for (const RunPlan& plan : plans) {
    if (plan.begin < copied || plan.end > data.size()) continue;
    marked.append(data, copied, plan.begin - copied);
    copied = plan.begin;
    const std::string_view run(data.data() + plan.begin, plan.end - plan.begin);
    if (writer.Write(run, plan, marked)) copied = plan.end;
  }
  marked.append(data, copied);
  return marked;
}

// Every member of `zip` into `out`, in its order: marked where the tracer planned runs, the
// comments' parts edited when there are comments (`comments` not null).
bool CopyMembers(const ZipReader& zip, Tracer& tracer, RunWriter& writer,
                 const CommentParts* comments, const std::string& comments_xml, ZipWriter& out,
                 DocumentError& error) {
  std::string data;
  for (const ZipMember& member : zip.Members()) {
    if (!zip.Extract(member, data, error)) return false;
    const auto plans = tracer.Parts().find(member.name);
    if (plans != tracer.Parts().end() && !plans->second.empty()) {
      data = MarkedPart(data, plans->second, writer);
    }
    if (comments != nullptr && member.name == comments->Name()) {
      data = comments->Comments(comments_xml);
    } else if (comments != nullptr && member.name == comments->RelsName()) {
      data = comments->Relationships();
    } else if (comments != nullptr && member.name == "[Content_Types].xml") {
      data = comments->ContentTypes(std::move(data));
    }
    out.Add(member.name, data, member.method != 0);
  }
  return true;
}

}  // namespace

bool MarkDocx(const Bytes& docx, const MarkDecider& decide, const MarkAuthor& author,
              MarkedDocument& out, DocumentError& error, const DocumentLimits& limits) {
  out = {};
  error = DocumentError::kNone;
  Tracer tracer(decide);
  {
    formats::Budget budget(limits);
    std::vector<TextPiece> pieces;
    if (!formats::WalkDocx(docx, budget, pieces, error, &tracer)) return false;
  }
  ZipReader zip;
  if (!zip.Open(docx, error)) return false;
  CommentParts comments;
  const bool commented = !tracer.Comments().empty();
  if (commented && !comments.Prepare(zip, tracer.Main(), limits, error)) return false;
  const std::int64_t id_base = std::max(tracer.LargestId(), comments.LargestId()) + 1;
  std::int64_t next_id = tracer.IdsTaken();
  RunWriter writer(author, package::PartLimits(limits), id_base, next_id);
  const std::string comments_xml =
      commented ? CommentsXml(tracer.Comments(), author, id_base) : std::string();
  try {
    ZipWriter zip_out;
    if (!CopyMembers(zip, tracer, writer, commented ? &comments : nullptr, comments_xml, zip_out,
                     error)) {
      return false;
    }
    if (commented && !comments.Exists()) {
      zip_out.Add(comments.Name(), comments.Comments(comments_xml));
    }
    if (commented && !comments.HasRels()) {
      zip_out.Add(comments.RelsName(), comments.Relationships());
    }
    out.bytes = zip_out.Finish();
  } catch (const std::length_error&) {  // past what a zip without zip64 holds
    out = {};
    return Fail(error, DocumentError::kTooLarge);
  }
  WrittenParts written;
  for (const auto& [name, plans] : tracer.Parts()) {
    if (!plans.empty()) written.parts.push_back(name);
  }
  if (commented) {
    written.comments = comments.Name();
    written.commentable = tracer.Main();
    written.parts.insert(written.parts.end(),
                         {comments.Name(), comments.RelsName(), "[Content_Types].xml"});
  }
  if (!CopyReadsBack(out.bytes, docx, DocumentKind::kDocx, written, limits)) {
    out = {};
    return Fail(error, DocumentError::kCopyUnreadable);
  }
  out.marked = tracer.Marked();
  return true;
}

}  // namespace kelvaro
