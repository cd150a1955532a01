// The fills a verdict paints a cell or a citation with, and their colours: the workbook's
// cells, the windows' status cells and the Word copy's shading all take them from here.
#pragma once

#include <cstdint>
#include <optional>

namespace kelvaro {

enum class CellFill { kNone, kLightGreen, kAmber, kGrey, kRose, kLightBlue, kViolet };

// Every fill but kNone with its colour (0xRRGGBB), so a new fill is one more entry.
struct FillColour {
  CellFill fill;
  std::uint32_t rgb;
};
inline constexpr FillColour kFillColours[] = {
    {CellFill::kLightGreen, 0xC6EFCE}, {CellFill::kAmber, 0xFFC000},
    {CellFill::kGrey, 0xD9D9D9},       {CellFill::kRose, 0xFFC7CE},
    {CellFill::kLightBlue, 0xBDD7EE},  {CellFill::kViolet, 0xCCC0DA},
};

// Nothing for kNone.
constexpr std::optional<std::uint32_t> FillRgb(CellFill fill) {
  for (const FillColour& colour : kFillColours) {
    if (colour.fill == fill) return colour.rgb;
  }
  return std::nullopt;
}

}  // namespace kelvaro
