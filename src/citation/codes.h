// The letter codes that open a standard's number, as the standardisation bodies publish them.
// Local, group and enterprise numbers follow rules instead of a list (see citation.cpp).
#pragma once

#include <span>
#include <string_view>

namespace kelvaro {

enum class CodeFamily {
  kNational,          // GB, GB/T, GB/Z; occupational health, military, metrology
  kEngineering,       // engineering construction codes: JGJ, CJJ, JTG, JTS, JTJ, CECS
  kIndustry,          // the two-letter industry codes, each with /T and /Z
  kOlder,             // codes of the ministries before 1990, still cited: GBJ, TJ, SDJ
  kSpecialEquipment,  // TSG, the safety technical codes of special equipment
};

struct KnownCode {
  std::string_view name;      // "GB", "NB", "TSG"
  std::string_view suffixes;  // the letters it takes after a slash: "TZ" for GB/T and GB/Z
  CodeFamily family;
};

// Every known code, sorted by name, each once.
std::span<const KnownCode> KnownCodes();

// The code named `name` in capitals, or null.
const KnownCode* FindKnownCode(std::string_view name);

// The provinces' two-digit administrative division numbers, which follow "DB" in a local
// standard's code (DB11 Beijing … DB82 Macao), sorted.
std::span<const std::string_view> ProvinceNumbers();

}  // namespace kelvaro
