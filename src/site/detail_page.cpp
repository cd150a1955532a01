#include "site/detail_page.h"

#include <string>
#include <string_view>

namespace kelvaro {
namespace {

const std::string_view kLabel = "\xCC\xE6\xB4\xFA\xC7\xE9\xBF\xF6\xA3\xBA";  // 替代情况：
const std::string_view kBy = "\xB1\xBB";                                     // 被
const std::string_view kReplaced = "\xB4\xFA\xCC\xE6";                       // 代替
const std::string_view kPartly = "\xB2\xBF\xB7\xD6";                         // 部分
const std::string_view kWideSemicolon = "\xA3\xBB";                          // ；
const std::string_view kRefusal = "\xCE\xDE\xC8\xA8\xB7\xC3\xCE\xCA";        // 无权访问
const std::string_view kWideStop = "\xA1\xA3";                               // 。
// What a label stands in; the page's other text does not.
const std::string_view kLabelTags[] = {"<strong>", "<span class=\"sh14\">"};
constexpr std::size_t kMaxText = 4096;
constexpr std::size_t kMaxEntity = 10;

std::size_t NextChar(std::string_view text, std::size_t i) {
  return i + (static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1);
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool LabelTagEndsAt(std::string_view text, std::size_t end) {
  for (const std::string_view tag : kLabelTags) {
    if (end >= tag.size() && text.substr(end - tag.size(), tag.size()) == tag) return true;
  }
  return false;
}

// Just after the first label in a label's tag, else after the first label at all.
std::size_t AfterLabel(std::string_view text) {
  std::size_t first = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); i = NextChar(text, i)) {
    if (text[i] != kLabel[0] || text.compare(i, kLabel.size(), kLabel) != 0) continue;
    if (LabelTagEndsAt(text, i)) return i + kLabel.size();
    if (first == std::string_view::npos) first = i + kLabel.size();
  }
  return first;
}

// The tag's name, lower case, with its "/" ("/td", "br", "span").
std::string TagName(std::string_view tag) {
  std::string name;
  std::size_t i = 1;
  if (i < tag.size() && tag[i] == '/') name += tag[i++];
  while (i < tag.size() && ((tag[i] >= 'a' && tag[i] <= 'z') || (tag[i] >= 'A' && tag[i] <= 'Z') ||
                            (tag[i] >= '0' && tag[i] <= '9'))) {
    name += Lower(tag[i++]);
  }
  return name;
}

bool EndsBlock(const std::string& name) {
  static const std::string_view kEnds[] = {"/td", "/p", "/div", "/li", "/tr", "br", "/table"};
  for (const std::string_view end : kEnds) {
    if (name == end) return true;
  }
  return false;
}

bool StartsLabel(std::string_view tag) {
  for (const std::string_view label : kLabelTags) {
    if (tag == label) return true;
  }
  return false;
}

// The character an entity stands for ("" to drop it).
std::string_view EntityText(std::string_view entity) {
  struct Known {
    std::string_view entity;
    std::string_view text;
  };
  static constexpr Known kKnown[] = {{"&nbsp;", " "}, {"&#160;", " "},  {"&#xa0;", " "},
                                     {"&#xA0;", " "}, {"&amp;", "&"},   {"&lt;", "<"},
                                     {"&gt;", ">"},   {"&quot;", "\""}, {"&#59;", ";"}};
  for (const Known& known : kKnown) {
    if (entity == known.entity) return known.text;
  }
  return {};
}

// The text after the label up to the end of its block; a block that ends before any text
// (the label's own cell) does not count.
Text TextAfter(std::string_view text, std::size_t i) {
  Text out;
  while (i < text.size() && out.size() < kMaxText) {
    const char c = text[i];
    if (c == '<') {
      const std::size_t close = text.find('>', i);
      const std::size_t end = close == std::string_view::npos ? text.size() : close + 1;
      const std::string_view tag = text.substr(i, end - i);
      if (StartsLabel(tag)) break;
      if (EndsBlock(TagName(tag)) && TrimSpaces(out).size() > 0) break;
      out += ' ';
      i = end;
    } else if (c == '&') {
      const std::size_t semicolon = text.substr(i, kMaxEntity).find(';');
      if (semicolon == std::string_view::npos) {
        out += c;
        ++i;
      } else {
        out += EntityText(text.substr(i, semicolon + 1));
        i += semicolon + 1;
      }
    } else if (c == '\r' || c == '\n' || c == '\t') {
      out += ' ';
      ++i;
    } else {
      const std::size_t next = NextChar(text, i);
      out.append(text.substr(i, next - i));
      i = next;
    }
  }
  return TrimSpaces(out);
}

bool StartsWith(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && text.substr(0, start.size()) == start;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// "被X代替" gives X; "被X部分代替", "代替X" and anything else nothing.
Text SuccessorIn(const Text& statement) {
  std::string_view said = statement;
  if (EndsWith(said, kWideStop)) said.remove_suffix(kWideStop.size());
  if (!StartsWith(said, kBy) || !EndsWith(said, kReplaced)) return {};
  const Text named =
      TrimSpaces(Text(said.substr(kBy.size(), said.size() - kBy.size() - kReplaced.size())));
  if (EndsWith(named, kPartly)) return {};
  return named;
}

// The statements of `text`, split at ";" and "；" (whole characters only).
std::vector<Text> Statements(const Text& text) {
  std::vector<Text> statements;
  Text current;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t next = NextChar(text, i);
    const std::string_view character = std::string_view(text).substr(i, next - i);
    if (character == ";" || character == kWideSemicolon) {
      statements.push_back(TrimSpaces(current));
      current.clear();
    } else {
      current.append(character);
    }
    i = next;
  }
  statements.push_back(TrimSpaces(current));
  return statements;
}

}  // namespace

DetailRecords ReadDetailPage(const Text& body_text) {
  const std::string_view text(body_text.data(), body_text.find('\0') == Text::npos
                                                    ? body_text.size()
                                                    : body_text.find('\0'));
  DetailRecords records;
  const std::size_t after = AfterLabel(text);
  if (after == std::string_view::npos) {
    for (std::size_t i = 0; i < text.size() && !records.refused; i = NextChar(text, i)) {
      records.refused = text.compare(i, kRefusal.size(), kRefusal) == 0;
    }
    return records;
  }
  records.labelled = true;
  records.replacements = TextAfter(text, after);
  for (const Text& statement : Statements(records.replacements)) {
    Text successor = SuccessorIn(statement);
    if (!successor.empty()) records.replaced_by.push_back(std::move(successor));
  }
  return records;
}

}  // namespace kelvaro
