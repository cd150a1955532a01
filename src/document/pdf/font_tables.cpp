#include "document/pdf/font_tables.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace kelvaro::pdf {

namespace {

// Codes 0x80 to 0xFF; below, all three encodings are ASCII but for two quotes of the
// standard one.
constexpr char16_t kWinAnsiHigh[128] = {
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0x0000, 0x017D, 0x0000, 0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3,
    0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB,
    0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, 0x00D0, 0x00D1, 0x00D2, 0x00D3,
    0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB,
    0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};
constexpr char16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x00A4, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0x0000, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,
};
constexpr char16_t kStandardHigh[128] = {
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x00A1, 0x00A2, 0x00A3,
    0x2044, 0x00A5, 0x0192, 0x00A7, 0x00A4, 0x0027, 0x201C, 0x00AB, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x0000, 0x2013, 0x2020, 0x2021, 0x00B7, 0x0000, 0x00B6, 0x2022, 0x201A, 0x201E, 0x201D, 0x00BB,
    0x2026, 0x2030, 0x0000, 0x00BF, 0x0000, 0x0060, 0x00B4, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9,
    0x00A8, 0x0000, 0x02DA, 0x00B8, 0x0000, 0x02DD, 0x02DB, 0x02C7, 0x2014, 0x0000, 0x0000, 0x0000,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,
    0x0000, 0x00C6, 0x0000, 0x00AA, 0x0000, 0x0000, 0x0000, 0x0000, 0x0141, 0x00D8, 0x0152, 0x00BA,
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x00E6, 0x0000, 0x0000, 0x0000, 0x0131, 0x0000, 0x0000,
    0x0142, 0x00F8, 0x0153, 0x00DF, 0x0000, 0x0000, 0x0000, 0x0000,
};

struct GlyphName {
  std::string_view name;
  char32_t code_point;
};
// Sorted by name.
constexpr GlyphName kGlyphNames[] = {
    {"A", 0x0041},
    {"AE", 0x00C6},
    {"Aacute", 0x00C1},
    {"Acircumflex", 0x00C2},
    {"Adieresis", 0x00C4},
    {"Agrave", 0x00C0},
    {"Aring", 0x00C5},
    {"Atilde", 0x00C3},
    {"B", 0x0042},
    {"C", 0x0043},
    {"Ccedilla", 0x00C7},
    {"D", 0x0044},
    {"Delta", 0x2206},
    {"E", 0x0045},
    {"Eacute", 0x00C9},
    {"Ecircumflex", 0x00CA},
    {"Edieresis", 0x00CB},
    {"Egrave", 0x00C8},
    {"Eth", 0x00D0},
    {"Euro", 0x20AC},
    {"F", 0x0046},
    {"G", 0x0047},
    {"Gamma", 0x0393},
    {"H", 0x0048},
    {"I", 0x0049},
    {"Iacute", 0x00CD},
    {"Icircumflex", 0x00CE},
    {"Idieresis", 0x00CF},
    {"Igrave", 0x00CC},
    {"J", 0x004A},
    {"K", 0x004B},
    {"L", 0x004C},
    {"Lambda", 0x039B},
    {"Lslash", 0x0141},
    {"M", 0x004D},
    {"N", 0x004E},
    {"Ntilde", 0x00D1},
    {"O", 0x004F},
    {"OE", 0x0152},
    {"Oacute", 0x00D3},
    {"Ocircumflex", 0x00D4},
    {"Odieresis", 0x00D6},
    {"Ograve", 0x00D2},
    {"Omega", 0x2126},
    {"Oslash", 0x00D8},
    {"Otilde", 0x00D5},
    {"P", 0x0050},
    {"Phi", 0x03A6},
    {"Pi", 0x03A0},
    {"Psi", 0x03A8},
    {"Q", 0x0051},
    {"R", 0x0052},
    {"S", 0x0053},
    {"Scaron", 0x0160},
    {"Sigma", 0x03A3},
    {"T", 0x0054},
    {"Theta", 0x0398},
    {"Thorn", 0x00DE},
    {"U", 0x0055},
    {"Uacute", 0x00DA},
    {"Ucircumflex", 0x00DB},
    {"Udieresis", 0x00DC},
    {"Ugrave", 0x00D9},
    {"V", 0x0056},
    {"W", 0x0057},
    {"X", 0x0058},
    {"Xi", 0x039E},
    {"Y", 0x0059},
    {"Yacute", 0x00DD},
    {"Ydieresis", 0x0178},
    {"Z", 0x005A},
    {"Zcaron", 0x017D},
    {"a", 0x0061},
    {"aacute", 0x00E1},
    {"acircumflex", 0x00E2},
    {"acute", 0x00B4},
    {"adieresis", 0x00E4},
    {"ae", 0x00E6},
    {"agrave", 0x00E0},
    {"alpha", 0x03B1},
    {"ampersand", 0x0026},
    {"apple", 0xF8FF},
    {"approxequal", 0x2248},
    {"aring", 0x00E5},
    {"arrowdown", 0x2193},
    {"arrowleft", 0x2190},
    {"arrowright", 0x2192},
    {"arrowup", 0x2191},
    {"asciicircum", 0x005E},
    {"asciitilde", 0x007E},
    {"asterisk", 0x002A},
    {"at", 0x0040},
    {"atilde", 0x00E3},
    {"b", 0x0062},
    {"backslash", 0x005C},
    {"bar", 0x007C},
    {"beta", 0x03B2},
    {"braceleft", 0x007B},
    {"braceright", 0x007D},
    {"bracketleft", 0x005B},
    {"bracketright", 0x005D},
    {"breve", 0x02D8},
    {"brokenbar", 0x00A6},
    {"bullet", 0x2022},
    {"c", 0x0063},
    {"caron", 0x02C7},
    {"ccedilla", 0x00E7},
    {"cedilla", 0x00B8},
    {"cent", 0x00A2},
    {"chi", 0x03C7},
    {"circumflex", 0x02C6},
    {"colon", 0x003A},
    {"comma", 0x002C},
    {"copyright", 0x00A9},
    {"copyrightserif", 0x00A9},
    {"currency", 0x00A4},
    {"d", 0x0064},
    {"dagger", 0x2020},
    {"daggerdbl", 0x2021},
    {"degree", 0x00B0},
    {"degreecentigrade", 0x2103},
    {"delta", 0x03B4},
    {"dieresis", 0x00A8},
    {"divide", 0x00F7},
    {"dollar", 0x0024},
    {"dotaccent", 0x02D9},
    {"dotlessi", 0x0131},
    {"e", 0x0065},
    {"eacute", 0x00E9},
    {"ecircumflex", 0x00EA},
    {"edieresis", 0x00EB},
    {"egrave", 0x00E8},
    {"eight", 0x0038},
    {"ellipsis", 0x2026},
    {"emdash", 0x2014},
    {"endash", 0x2013},
    {"epsilon", 0x03B5},
    {"equal", 0x003D},
    {"eta", 0x03B7},
    {"eth", 0x00F0},
    {"exclam", 0x0021},
    {"exclamdbl", 0x203C},
    {"exclamdown", 0x00A1},
    {"f", 0x0066},
    {"ff", 0xFB00},
    {"ffi", 0xFB03},
    {"ffl", 0xFB04},
    {"fi", 0xFB01},
    {"figuredash", 0x2012},
    {"five", 0x0035},
    {"fl", 0xFB02},
    {"florin", 0x0192},
    {"four", 0x0034},
    {"fraction", 0x2044},
    {"g", 0x0067},
    {"gamma", 0x03B3},
    {"germandbls", 0x00DF},
    {"grave", 0x0060},
    {"greater", 0x003E},
    {"greaterequal", 0x2265},
    {"guillemotleft", 0x00AB},
    {"guillemotright", 0x00BB},
    {"guilsinglleft", 0x2039},
    {"guilsinglright", 0x203A},
    {"h", 0x0068},
    {"hungarumlaut", 0x02DD},
    {"hyphen", 0x002D},
    {"i", 0x0069},
    {"iacute", 0x00ED},
    {"icircumflex", 0x00EE},
    {"idieresis", 0x00EF},
    {"igrave", 0x00EC},
    {"infinity", 0x221E},
    {"integral", 0x222B},
    {"iota", 0x03B9},
    {"j", 0x006A},
    {"k", 0x006B},
    {"kappa", 0x03BA},
    {"l", 0x006C},
    {"lambda", 0x03BB},
    {"less", 0x003C},
    {"lessequal", 0x2264},
    {"logicalnot", 0x00AC},
    {"lozenge", 0x25CA},
    {"lslash", 0x0142},
    {"m", 0x006D},
    {"macron", 0x00AF},
    {"middot", 0x00B7},
    {"minus", 0x2212},
    {"mu", 0x00B5},
    {"mu1", 0x00B5},
    {"multiplication", 0x00D7},
    {"multiply", 0x00D7},
    {"n", 0x006E},
    {"nbspace", 0x00A0},
    {"nine", 0x0039},
    {"notequal", 0x2260},
    {"ntilde", 0x00F1},
    {"nu", 0x03BD},
    {"numbersign", 0x0023},
    {"o", 0x006F},
    {"oacute", 0x00F3},
    {"ocircumflex", 0x00F4},
    {"odieresis", 0x00F6},
    {"oe", 0x0153},
    {"ogonek", 0x02DB},
    {"ograve", 0x00F2},
    {"omega", 0x03C9},
    {"omicron", 0x03BF},
    {"one", 0x0031},
    {"onedotenleader", 0x2024},
    {"onehalf", 0x00BD},
    {"onequarter", 0x00BC},
    {"onesuperior", 0x00B9},
    {"ordfeminine", 0x00AA},
    {"ordmasculine", 0x00BA},
    {"oslash", 0x00F8},
    {"otilde", 0x00F5},
    {"p", 0x0070},
    {"paragraph", 0x00B6},
    {"parenleft", 0x0028},
    {"parenright", 0x0029},
    {"partialdiff", 0x2202},
    {"percent", 0x0025},
    {"period", 0x002E},
    {"periodcentered", 0x00B7},
    {"perthousand", 0x2030},
    {"phi", 0x03C6},
    {"pi", 0x03C0},
    {"plus", 0x002B},
    {"plusminus", 0x00B1},
    {"product", 0x220F},
    {"psi", 0x03C8},
    {"q", 0x0071},
    {"question", 0x003F},
    {"questiondown", 0x00BF},
    {"quotedbl", 0x0022},
    {"quotedblbase", 0x201E},
    {"quotedblleft", 0x201C},
    {"quotedblright", 0x201D},
    {"quoteleft", 0x2018},
    {"quotereversed", 0x201B},
    {"quoteright", 0x2019},
    {"quotesinglbase", 0x201A},
    {"quotesingle", 0x0027},
    {"r", 0x0072},
    {"radical", 0x221A},
    {"registered", 0x00AE},
    {"registerserif", 0x00AE},
    {"rho", 0x03C1},
    {"ring", 0x02DA},
    {"s", 0x0073},
    {"scaron", 0x0161},
    {"section", 0x00A7},
    {"semicolon", 0x003B},
    {"seven", 0x0037},
    {"sfthyphen", 0x00AD},
    {"sigma", 0x03C3},
    {"six", 0x0036},
    {"slash", 0x002F},
    {"space", 0x0020},
    {"sterling", 0x00A3},
    {"summation", 0x2211},
    {"t", 0x0074},
    {"tau", 0x03C4},
    {"theta", 0x03B8},
    {"thorn", 0x00FE},
    {"three", 0x0033},
    {"threequarters", 0x00BE},
    {"threesuperior", 0x00B3},
    {"tilde", 0x02DC},
    {"trademark", 0x2122},
    {"two", 0x0032},
    {"twodotenleader", 0x2025},
    {"twosuperior", 0x00B2},
    {"u", 0x0075},
    {"uacute", 0x00FA},
    {"ucircumflex", 0x00FB},
    {"udieresis", 0x00FC},
    {"ugrave", 0x00F9},
    {"underscore", 0x005F},
    {"underscoredbl", 0x2017},
    {"upsilon", 0x03C5},
    {"v", 0x0076},
    {"w", 0x0077},
    {"x", 0x0078},
    {"xi", 0x03BE},
    {"y", 0x0079},
    {"yacute", 0x00FD},
    {"ydieresis", 0x00FF},
    {"yen", 0x00A5},
    {"z", 0x007A},
    {"zcaron", 0x017E},
    {"zero", 0x0030},
    {"zeta", 0x03B6},
};

// Advances of the printable ASCII characters (0x20 to 0x7E) in the regular faces.
constexpr std::uint16_t kHelveticaWidths[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333,  278, 278, 556, 556, 556,
    556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556, 1015, 667, 667, 722, 722, 667,
    611, 778, 722, 278, 500, 667, 556, 833, 722, 778, 667, 778, 722, 667,  611, 722, 667, 944, 667,
    667, 611, 278, 278, 278, 469, 556, 333, 556, 556, 500, 556, 556, 278,  556, 556, 222, 222, 500,
    222, 833, 556, 556, 556, 556, 333, 500, 278, 556, 500, 722, 500, 500,  500, 334, 260, 334, 584};
constexpr std::uint16_t kTimesWidths[95] = {
    250, 333, 408, 500, 500, 833, 778, 180, 333, 333, 500, 564, 250, 333, 250, 278, 500, 500, 500,
    500, 500, 500, 500, 500, 500, 500, 278, 278, 564, 564, 564, 444, 921, 722, 667, 667, 722, 611,
    556, 722, 722, 333, 389, 722, 611, 889, 722, 722, 556, 722, 667, 556, 611, 722, 722, 944, 722,
    722, 611, 333, 278, 333, 469, 500, 333, 444, 500, 444, 500, 444, 333, 500, 500, 278, 278, 500,
    278, 778, 500, 500, 500, 500, 333, 389, 278, 500, 500, 722, 500, 500, 444, 480, 200, 480, 541};

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Hex digits as a code point; 0 for anything else or a value no character has.
char32_t HexCodePoint(std::string_view hex) {
  char32_t value = 0;
  for (const char c : hex) {
    const int d = HexDigitValue(c);
    if (d < 0) return 0;
    value = value * 16 + static_cast<char32_t>(d);
  }
  if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return value;
}

}  // namespace

char32_t EncodingCodePoint(BaseEncoding encoding, unsigned char code) {
  if (code < 0x20) return 0;
  if (code < 0x7F) {
    if (encoding == BaseEncoding::kStandard && code == 0x27) return 0x2019;
    if (encoding == BaseEncoding::kStandard && code == 0x60) return 0x2018;
    return code;
  }
  if (code < 0x80) return 0;
  switch (encoding) {
    case BaseEncoding::kStandard:
      return kStandardHigh[code - 0x80];
    case BaseEncoding::kWinAnsi:
      return kWinAnsiHigh[code - 0x80];
    case BaseEncoding::kMacRoman:
      return kMacRomanHigh[code - 0x80];
  }
  return 0;
}

char32_t GlyphNameCodePoint(std::string_view name) {
  // "a.sc", "f_i" and the like: the part before the period names the character.
  const std::size_t dot = name.find('.');
  if (dot != std::string_view::npos && dot > 0) name = name.substr(0, dot);
  const auto found = std::lower_bound(
      std::begin(kGlyphNames), std::end(kGlyphNames), name,
      [](const GlyphName& entry, std::string_view key) { return entry.name < key; });
  if (found != std::end(kGlyphNames) && found->name == name) return found->code_point;
  if (name.size() == 7 && name.substr(0, 3) == "uni") return HexCodePoint(name.substr(3));
  if ((name.size() == 5 || name.size() == 6 || name.size() == 7) && name[0] == 'u') {
    return HexCodePoint(name.substr(1));
  }
  return 0;
}

int StandardWidth(StandardFont font, char32_t c) {
  if (font == StandardFont::kCourier) return 600;
  const bool times = font == StandardFont::kTimes;
  if (c >= 0x20 && c <= 0x7E) {
    return times ? kTimesWidths[c - 0x20] : kHelveticaWidths[c - 0x20];
  }
  if (c == 0x2019 || c == 0x2018) return times ? 333 : 222;
  return times ? 500 : 556;
}

}  // namespace kelvaro::pdf
