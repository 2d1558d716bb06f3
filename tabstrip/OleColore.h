#pragma once

#include "brisko/Esporta.h"
#include "brisko/Tipi.h"

namespace brisko {

/// Resolves an OLE colour to a plain colour into `risultato`. A system
/// colour (high bit set) takes its value from the fixed table of the
/// platform's default scheme (indices 0 to 30); with the high bit clear the
/// low three bytes are the colour. Returns false, leaving `risultato` as it
/// was, for a system colour outside the table.
bool OleTranslateColor(OLE_COLOR colore, COLORREF& risultato) noexcept;

/// The plain colour of `colore`; black for a system colour outside the table.
[[nodiscard]] BRISKO_API COLORREF ColoreRisolto(OLE_COLOR colore) noexcept;

}  // namespace brisko
