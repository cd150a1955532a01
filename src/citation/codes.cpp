#include "citation/codes.h"

#include <algorithm>
#include <array>

namespace kelvaro {

namespace {

using enum CodeFamily;

// Where these come from:
// - The industry codes (行业标准代号) are the table the Standardization Administration of
//   China publishes with the rules for industry standards (行业标准管理办法), as reprinted by
//   its committees (全国钟表标准化技术委员会《标准代号》, 2013) and in the metanorma
//   gb-agencies data; and the codes it approved later: NB 能源 (国家能源局, 2009), RB 认证认可,
//   SF 司法行政 (SF/T 0154—2023), SW 税务, XF 消防救援, YJ 应急管理, KA 矿山安全 (in use from
//   2023-10-01, 国家矿山安全监察局). DB is also 地震's industry code: "DB/T 15-2009".
// - National codes: GB, GB/T, GB/Z (国家标准化管理委员会); GBZ and GBZ/T 国家职业卫生标准;
//   GJB, GJB/Z, GJB/J 国家军用标准; JJF and JJG 国家计量技术规范 and 检定规程; GHZB, GWKB,
//   GWPB, the environmental standards of 1999-2001.
// - Engineering construction: JGJ 建筑工程, CJJ 城镇建设工程, JTG 公路工程, JTS 水运工程,
//   JTJ 交通工程 (before JTG and JTS), CECS 中国工程建设标准化协会, each with /T or /Z.
// - Codes of the ministries before the standardisation law of 1988, still cited: GBJ
//   (国家工程建设标准), TJ (国家建委), SDJ (水利电力部), SYJ (石油工业部), YBJ (冶金), YSJ (有色),
//   HGJ (化工), SHJ (石化), TBJ (铁道), JBJ (机械), SBJ (商业).
// - TSG, the safety technical codes of special equipment (特种设备安全技术规范).
constexpr std::array kCodes = {
    KnownCode{"AQ", "TZ", kIndustry},
    KnownCode{"BB", "TZ", kIndustry},
    KnownCode{"CB", "TZ", kIndustry},
    KnownCode{"CECS", "TZ", kEngineering},
    KnownCode{"CH", "TZ", kIndustry},
    KnownCode{"CJ", "TZ", kIndustry},
    KnownCode{"CJJ", "TZ", kEngineering},
    KnownCode{"CY", "TZ", kIndustry},
    KnownCode{"DA", "TZ", kIndustry},
    KnownCode{"DB", "TZ", kIndustry},
    KnownCode{"DL", "TZ", kIndustry},
    KnownCode{"DZ", "TZ", kIndustry},
    KnownCode{"EJ", "TZ", kIndustry},
    KnownCode{"FZ", "TZ", kIndustry},
    KnownCode{"GA", "TZ", kIndustry},
    KnownCode{"GB", "TZ", kNational},
    KnownCode{"GBJ", "", kOlder},
    KnownCode{"GBZ", "T", kNational},
    KnownCode{"GH", "TZ", kIndustry},
    KnownCode{"GHZB", "", kNational},
    KnownCode{"GJB", "ZJ", kNational},
    KnownCode{"GM", "TZ", kIndustry},
    KnownCode{"GWKB", "", kNational},
    KnownCode{"GWPB", "", kNational},
    KnownCode{"GY", "TZ", kIndustry},
    KnownCode{"HB", "TZ", kIndustry},
    KnownCode{"HG", "TZ", kIndustry},
    KnownCode{"HGJ", "", kOlder},
    KnownCode{"HJ", "TZ", kIndustry},
    KnownCode{"HS", "TZ", kIndustry},
    KnownCode{"HY", "TZ", kIndustry},
    KnownCode{"JB", "TZ", kIndustry},
    KnownCode{"JBJ", "", kOlder},
    KnownCode{"JC", "TZ", kIndustry},
    KnownCode{"JG", "TZ", kIndustry},
    KnownCode{"JGJ", "TZ", kEngineering},
    KnownCode{"JJF", "", kNational},
    KnownCode{"JJG", "", kNational},
    KnownCode{"JR", "TZ", kIndustry},
    KnownCode{"JT", "TZ", kIndustry},
    KnownCode{"JTG", "TZ", kEngineering},
    KnownCode{"JTJ", "TZ", kEngineering},
    KnownCode{"JTS", "TZ", kEngineering},
    KnownCode{"JY", "TZ", kIndustry},
    KnownCode{"KA", "TZ", kIndustry},
    KnownCode{"LB", "TZ", kIndustry},
    KnownCode{"LD", "TZ", kIndustry},
    KnownCode{"LS", "TZ", kIndustry},
    KnownCode{"LY", "TZ", kIndustry},
    KnownCode{"MH", "TZ", kIndustry},
    KnownCode{"MT", "TZ", kIndustry},
    KnownCode{"MZ", "TZ", kIndustry},
    KnownCode{"NB", "TZ", kIndustry},
    KnownCode{"NY", "TZ", kIndustry},
    KnownCode{"QB", "TZ", kIndustry},
    KnownCode{"QC", "TZ", kIndustry},
    KnownCode{"QJ", "TZ", kIndustry},
    KnownCode{"QX", "TZ", kIndustry},
    KnownCode{"RB", "TZ", kIndustry},
    KnownCode{"SB", "TZ", kIndustry},
    KnownCode{"SBJ", "", kOlder},
    KnownCode{"SC", "TZ", kIndustry},
    KnownCode{"SDJ", "", kOlder},
    KnownCode{"SF", "TZ", kIndustry},
    KnownCode{"SH", "TZ", kIndustry},
    KnownCode{"SHJ", "", kOlder},
    KnownCode{"SJ", "TZ", kIndustry},
    KnownCode{"SL", "TZ", kIndustry},
    KnownCode{"SN", "TZ", kIndustry},
    KnownCode{"SW", "TZ", kIndustry},
    KnownCode{"SY", "TZ", kIndustry},
    KnownCode{"SYJ", "", kOlder},
    KnownCode{"TB", "TZ", kIndustry},
    KnownCode{"TBJ", "", kOlder},
    KnownCode{"TD", "TZ", kIndustry},
    KnownCode{"TJ", "", kOlder},
    KnownCode{"TSG", "", kSpecialEquipment},
    KnownCode{"TY", "TZ", kIndustry},
    KnownCode{"WB", "TZ", kIndustry},
    KnownCode{"WH", "TZ", kIndustry},
    KnownCode{"WJ", "TZ", kIndustry},
    KnownCode{"WM", "TZ", kIndustry},
    KnownCode{"WS", "TZ", kIndustry},
    KnownCode{"WW", "TZ", kIndustry},
    KnownCode{"XB", "TZ", kIndustry},
    KnownCode{"XF", "TZ", kIndustry},
    KnownCode{"YB", "TZ", kIndustry},
    KnownCode{"YBJ", "", kOlder},
    KnownCode{"YC", "TZ", kIndustry},
    KnownCode{"YD", "TZ", kIndustry},
    KnownCode{"YJ", "TZ", kIndustry},
    KnownCode{"YS", "TZ", kIndustry},
    KnownCode{"YSJ", "", kOlder},
    KnownCode{"YY", "TZ", kIndustry},
    KnownCode{"YZ", "TZ", kIndustry},
    KnownCode{"ZY", "TZ", kIndustry},
};

constexpr bool ByName(const KnownCode& a, const KnownCode& b) { return a.name < b.name; }
static_assert(std::ranges::is_sorted(kCodes, ByName) &&
                  std::ranges::adjacent_find(kCodes,
                                             [](const KnownCode& a, const KnownCode& b) {
                                               return a.name == b.name;
                                             }) == kCodes.end(),
              "the codes are looked up by binary search");

// GB/T 2260, the administrative divisions: provinces, autonomous regions, municipalities and
// the special administrative regions (71 Taiwan included).
constexpr std::array<std::string_view, 34> kProvinces = {
    "11", "12", "13", "14", "15", "21", "22", "23", "31", "32", "33", "34",
    "35", "36", "37", "41", "42", "43", "44", "45", "46", "50", "51", "52",
    "53", "54", "61", "62", "63", "64", "65", "71", "81", "82"};
static_assert(std::ranges::is_sorted(kProvinces));

}  // namespace

std::span<const KnownCode> KnownCodes() { return kCodes; }

const KnownCode* FindKnownCode(std::string_view name) {
  const auto it = std::ranges::lower_bound(kCodes, name, {}, &KnownCode::name);
  return it != kCodes.end() && it->name == name ? &*it : nullptr;
}

std::span<const std::string_view> ProvinceNumbers() { return kProvinces; }

}  // namespace kelvaro
