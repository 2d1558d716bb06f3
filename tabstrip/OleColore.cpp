#include "OleColore.h"

#include <array>
#include <cstddef>

namespace brisko {
namespace {

// The default scheme of the platform's desktop, by system colour index.
constexpr std::array<COLORREF, 31> kColoriSistema{{
    RGB(212, 208, 200),  // 0 scroll bar
    RGB(0, 78, 152),     // 1 desktop
    RGB(0, 84, 227),     // 2 active caption
    RGB(122, 150, 223),  // 3 inactive caption
    RGB(255, 255, 255),  // 4 menu
    RGB(255, 255, 255),  // 5 window
    RGB(0, 0, 0),        // 6 window frame
    RGB(0, 0, 0),        // 7 menu text
    RGB(0, 0, 0),        // 8 window text
    RGB(255, 255, 255),  // 9 caption text
    RGB(212, 208, 200),  // 10 active border
    RGB(212, 208, 200),  // 11 inactive border
    RGB(128, 128, 128),  // 12 application workspace
    RGB(49, 106, 197),   // 13 highlight
    RGB(255, 255, 255),  // 14 highlight text
    RGB(236, 233, 216),  // 15 button face
    RGB(172, 168, 153),  // 16 button shadow
    RGB(172, 168, 153),  // 17 grey text
    RGB(0, 0, 0),        // 18 button text
    RGB(216, 228, 248),  // 19 inactive caption text
    RGB(255, 255, 255),  // 20 button highlight
    RGB(113, 111, 100),  // 21 3D dark shadow
    RGB(241, 239, 226),  // 22 3D light
    RGB(0, 0, 0),        // 23 tooltip text
    RGB(255, 255, 225),  // 24 tooltip background
    RGB(181, 181, 181),  // 25 (no name)
    RGB(0, 102, 204),    // 26 hot-tracked item
    RGB(61, 149, 255),   // 27 active caption gradient
    RGB(157, 185, 235),  // 28 inactive caption gradient
    RGB(49, 106, 197),   // 29 menu highlight
    RGB(236, 233, 216),  // 30 menu bar
}};

}  // namespace

bool OleTranslateColor(OLE_COLOR colore, COLORREF& risultato) noexcept {
  if ((colore & 0x80000000U) == 0) {
    risultato = colore & 0x00FFFFFFU;
    return true;
  }
  const std::size_t indice = colore & 0xFFU;
  if (indice >= kColoriSistema.size()) {
    return false;
  }
  risultato = kColoriSistema[indice];
  return true;
}

COLORREF ColoreRisolto(OLE_COLOR colore) noexcept {
  COLORREF risultato = 0;
  OleTranslateColor(colore, risultato);
  return risultato;
}

}  // namespace brisko
