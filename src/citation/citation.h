// Standard citations in running text, as people copy them out of design notes, reports and
// drawings: "《建筑设计防火规范》GB 50016-2014（2018年版）", "GB/T 50001—2017", "CECS 102:2002".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro {

struct Citation {
  std::string number;     // canonical, ASCII: "GB 50016-2014", "GB 50016" (no year)
  std::string code;       // canonical code: "GB", "GB/T", "JTG", "DB11/T", "DG/TJ", "T/CECS"
  std::string serial;     // "50016", "D60", "15629.11", "08-11"
  std::string year;       // as written, in ASCII digits: "2014", "95"; empty when none
  int full_year = 0;      // 2014, 1995; 0 when none
  std::string edition;    // UTF-8 "2018年版"; empty when none
  std::string amendment;  // "XG1-2006"; empty when none
  std::string note;       // UTF-8 "局部修订"; empty when none
  std::string title;      // the cited title without 《》 (UTF-8, as written); empty when none
  std::size_t begin = 0;  // byte offsets into the input: [begin, end) is the citation as
  std::size_t end = 0;    // written, title and edition note included when present
  std::string written;    // input.substr(begin, end - begin)
  // The number with its amendment and edition note as written, e.g.
  // "GB 50016-2014（2018年版）" as it stood in the text (no title, no note).
  std::string number_as_written;

  bool operator==(const Citation&) const = default;
};

// Every citation in `utf8`, in text order, non-overlapping but for a range's citations, one
// per serial, which share its place ("GB 50254~50259-96"). Invalid UTF-8 never crashes;
// it only never matches. Every dash, and a run of dashes, reads as "-". A number may wrap
// over one line break (LF or CR LF, spaces around it; not a blank line, a lone CR or a form
// feed) after a slash of its code, an inner dash or the year's "-" or ":", and between code
// and serial when a year follows; `written` keeps the break.
std::vector<Citation> FindCitations(std::string_view utf8);

// An edition note in a text: "（2018年版）", "(2015版)", "(2015)" all read "2018年版", "2015年版".
struct EditionNote {
  std::string edition;    // "2018年版"; empty when the text holds none
  std::size_t begin = 0;  // byte offsets: [begin, end) is the note as written
  std::size_t end = 0;
};
// The first edition note in `utf8`, read as one after a citation's number.
EditionNote FindEdition(std::string_view utf8);

// The full year of a year as written: "2014" -> 2014, "95" -> 1995, "07" -> 2007; 0 otherwise
// (also for four digits outside 1950-2099).
int FullYear(std::string_view year);

}  // namespace kelvaro
