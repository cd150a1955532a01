// A standard's detail page on the national site, as far as Kelvaro reads it: the label
// "替代情况：" (in a <strong> or a <span class="sh14">) and the statements after it, separated
// by ";": "被GB 50016-2014代替" names the standard that replaces this one; "代替GB 50045-95"
// and "自2015-05-01起部分代替…" name ones it replaces, and say nothing of a successor.
#pragma once

#include <vector>

#include "text/text.h"

namespace kelvaro {

struct DetailRecords {
  bool labelled = false;  // the page holds "替代情况："; a page without it cannot be read
  bool refused = false;   // a page without the label saying "无权访问": the site refused
  Text replacements;      // the text after the label, tags dropped, spaces trimmed (GBK)
  std::vector<Text> replaced_by;  // X of every "被X代替", trimmed, in page order
  bool operator==(const DetailRecords&) const = default;
};

// The page cut at its first zero byte, read in linear time; the text after the label is read
// up to the end of its block (</td>, </p>, </div>, </li>, </tr>, <br>, the next label) and at
// most 4,096 bytes.
DetailRecords ReadDetailPage(const Text& body_text);

}  // namespace kelvaro
