#pragma once

#include <cstdint>

namespace brisko {

/// An OLE colour: with the high bit clear it is 0x00BBGGRR (red in the low
/// byte); with the high bit set its low byte selects a system colour, so
/// 0x80000012 is system colour 18 (button text).
using OLE_COLOR = std::uint32_t;

/// A plain colour as the drawing operations take it: 0x00BBGGRR.
using COLORREF = std::uint32_t;

/// The plain colour of the channels r, g and b: r + 256 * g + 65536 * b.
[[nodiscard]] constexpr COLORREF RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) noexcept {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8U) |
         (static_cast<COLORREF>(b) << 16U);
}

/// A rectangle in pixels: the right column and the bottom row lie outside it.
struct RECT {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  friend bool operator==(const RECT&, const RECT&) = default;
};

}  // namespace brisko
