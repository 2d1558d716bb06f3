#pragma once

#include <QString>
#include <cstdint>

#include "ContestoGrafico.h"
#include "brisko/Tipi.h"

class QWidget;

// The drawing and pointer operations the tab strip is built from. Every
// operation draws into a device context with rectangles whose right column
// and bottom row lie outside.
namespace brisko::mXPVantel {

/// A whole number from a computed one, halves going to the even neighbour
/// (4.5 gives 4, 5.5 gives 6). Fails with 6 beyond the 32-bit range.
[[nodiscard]] std::int32_t CLng(double valore);
/// A 32-bit sum; fails with 6 beyond the range.
[[nodiscard]] std::int32_t Somma(std::int64_t a, std::int64_t b);

/// `colore` resolved, with `quanto` added to each channel (clamped to 0 to
/// 255); the channels are also given back one by one.
COLORREF ShiftColor(OLE_COLOR colore, std::int32_t quanto, std::int32_t& rosso, std::int32_t& verde,
                    std::int32_t& blu);
[[nodiscard]] COLORREF ShiftColor(OLE_COLOR colore, std::int32_t quanto);

/// Fills `rect` with bands running from its bottom edge up (direction 0) or
/// from its right edge leftward (any other direction), from `inizio` towards
/// `fine` in `passi` steps; a band is passi / 255 pixels (at least 1). The
/// first two bands have the start colour and the end colour itself is never
/// reached. `rect` is consumed: its moving edge ends where the last band
/// ended. A step count of 0 paints one band in the start colour; a negative
/// one paints nothing.
void FillGradient(ContestoGrafico& dc, OLE_COLOR fine, OLE_COLOR inizio, RECT& rect,
                  std::int32_t passi, std::int32_t direzione);

/// Resolves `colore` (the resolved value is written back) and fills `rect`
/// with it, or outlines it when `riempi` is false.
void PaintRect(ContestoGrafico& dc, const RECT& rect, OLE_COLOR& colore, bool riempi);

/// A line of pen width `larghezza` in `colore` (not resolved) from (x1, y1)
/// up to but not including (x2, y2).
void DrawLine(ContestoGrafico& dc, std::int32_t x1, std::int32_t y1, std::int32_t x2,
              std::int32_t y2, COLORREF colore, int larghezza);

void PutPixel(ContestoGrafico& dc, std::int32_t x, std::int32_t y, COLORREF colore);

/// Whether the window under the screen cursor is `finestra` itself (a child
/// window there does not count).
[[nodiscard]] bool IsPointerOverWindow(const QWidget* finestra);

/// The access character of a caption in lower case ("&Principale" gives
/// "p"), or empty: a "&" marks the character after it, "&&" is a literal
/// "&" and only the first two ampersands are looked at.
[[nodiscard]] QString GetAccessChar(const QString& testo);

// Thin wrappers.
void SetTextColor(ContestoGrafico& dc, OLE_COLOR colore);
void DrawCaption(ContestoGrafico& dc, const QString& testo, RECT& rect, std::uint32_t formato);
/// DT_CALCRECT | DT_WORDBREAK: the caption's extent with word wrapping
/// inside rect's width.
void CalcTextRect(ContestoGrafico& dc, const QString& testo, RECT& rect);
void CopyRect(RECT& destinazione, const RECT& sorgente) noexcept;
/// Fails with 6 when a side leaves the 32-bit range.
void OffsetRect(RECT& rect, std::int32_t dx, std::int32_t dy);
[[nodiscard]] RECT InflateRect(const RECT& rect, std::int32_t dx, std::int32_t dy);
void SetRectEmpty(RECT& rect) noexcept;
/// Whether the point lies in the rectangle, whose right and bottom edges
/// are outside it.
[[nodiscard]] bool PtInRect(const RECT& rect, std::int32_t x, std::int32_t y) noexcept;

}  // namespace brisko::mXPVantel
