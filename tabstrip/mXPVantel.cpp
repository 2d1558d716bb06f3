#include "mXPVantel.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <limits>

#include "OleColore.h"
#include "brisko/ErroreControllo.h"

namespace brisko::mXPVantel {
namespace {

std::array<std::int32_t, 3> Canali(COLORREF colore) {
  return {static_cast<std::int32_t>(colore & 0xFFU),
          static_cast<std::int32_t>((colore >> 8U) & 0xFFU),
          static_cast<std::int32_t>((colore >> 16U) & 0xFFU)};
}

COLORREF DaCanali(const std::array<std::int32_t, 3>& c) {
  return RGB(static_cast<std::uint8_t>(c[0]), static_cast<std::uint8_t>(c[1]),
             static_cast<std::uint8_t>(c[2]));
}

}  // namespace

std::int32_t CLng(double valore) {
  // nearbyint rounds with the current mode, which is to nearest, halves
  // to even, unless someone changed it.
  const double intero = std::nearbyint(valore);
  if (!(intero >= std::numeric_limits<std::int32_t>::min() &&
        intero <= std::numeric_limits<std::int32_t>::max())) {
    throw ErroreControllo(ErroreControllo::kOverflow);
  }
  return static_cast<std::int32_t>(intero);
}

std::int32_t Somma(std::int64_t a, std::int64_t b) {
  const std::int64_t somma = a + b;
  if (somma < std::numeric_limits<std::int32_t>::min() ||
      somma > std::numeric_limits<std::int32_t>::max()) {
    throw ErroreControllo(ErroreControllo::kOverflow);
  }
  return static_cast<std::int32_t>(somma);
}

COLORREF ShiftColor(OLE_COLOR colore, std::int32_t quanto, std::int32_t& rosso, std::int32_t& verde,
                    std::int32_t& blu) {
  const auto canali = Canali(ColoreRisolto(colore));
  const auto sposta = [quanto](std::int32_t c) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(std::int64_t{c} + quanto, 0, 255));
  };
  rosso = sposta(canali[0]);
  verde = sposta(canali[1]);
  blu = sposta(canali[2]);
  return DaCanali({rosso, verde, blu});
}

COLORREF ShiftColor(OLE_COLOR colore, std::int32_t quanto) {
  std::int32_t r = 0;
  std::int32_t g = 0;
  std::int32_t b = 0;
  return ShiftColor(colore, quanto, r, g, b);
}

void FillGradient(ContestoGrafico& dc, OLE_COLOR fine, OLE_COLOR inizio, RECT& rect,
                  std::int32_t passi, std::int32_t direzione) {
  if (passi < 0) {
    return;
  }
  const auto partenza = Canali(ColoreRisolto(inizio));
  const auto arrivo = Canali(ColoreRisolto(fine));
  std::int32_t banda = passi / 255;
  if (banda == 0) {
    banda = 1;
  }
  auto corrente = partenza;
  for (std::int64_t j = passi; j >= 0; j -= banda) {
    if (direzione == 0) {
      rect.top = Somma(rect.bottom, -std::int64_t{banda});
    } else {
      rect.left = Somma(rect.right, -std::int64_t{banda});
    }
    dc.FillRect(rect, DaCanali(corrente));
    if (direzione == 0) {
      rect.bottom = rect.top;
    } else {
      rect.right = rect.left;
    }
    if (passi == 0) {
      // One band is all a step count of 0 has: the next colour would
      // divide by zero.
      break;
    }
    for (std::size_t c = 0; c < corrente.size(); ++c) {
      const double delta = arrivo[c] - partenza[c];
      corrente[c] = CLng(static_cast<double>(passi - j) * delta / passi + partenza[c]);
    }
  }
}

void PaintRect(ContestoGrafico& dc, const RECT& rect, OLE_COLOR& colore, bool riempi) {
  colore = ShiftColor(colore, 0);
  if (riempi) {
    dc.FillRect(rect, colore);
  } else {
    dc.FrameRect(rect, colore);
  }
}

void DrawLine(ContestoGrafico& dc, std::int32_t x1, std::int32_t y1, std::int32_t x2,
              std::int32_t y2, COLORREF colore, int larghezza) {
  const Penna precedente = dc.SelectObject(Penna{colore, larghezza});
  dc.MoveToEx(x1, y1);
  dc.LineTo(x2, y2);
  dc.SelectObject(precedente);
}

void PutPixel(ContestoGrafico& dc, std::int32_t x, std::int32_t y, COLORREF colore) {
  dc.SetPixelV(x, y, colore);
}

bool IsPointerOverWindow(const QWidget* finestra) {
  return finestra != nullptr && QApplication::widgetAt(QCursor::pos()) == finestra;
}

QString GetAccessChar(const QString& testo) {
  const auto dopo = [&testo](qsizetype p) -> QString {
    // The character after position p, when it is not another "&".
    if (p + 1 >= testo.size() || testo[p + 1] == u'&') {
      return {};
    }
    const qsizetype lunghezza = testo[p + 1].isHighSurrogate() && p + 2 < testo.size() ? 2 : 1;
    return testo.mid(p + 1, lunghezza).toLower();
  };
  const qsizetype p = testo.indexOf(u'&');
  if (p < 0 || p + 1 >= testo.size()) {
    return {};
  }
  if (testo[p + 1] != u'&') {
    return dopo(p);
  }
  const qsizetype q = testo.indexOf(u'&', p + 2);
  return q < 0 ? QString() : dopo(q);
}

void SetTextColor(ContestoGrafico& dc, OLE_COLOR colore) {
  dc.SetTextColor(ColoreRisolto(colore));
}

void DrawCaption(ContestoGrafico& dc, const QString& testo, RECT& rect, std::uint32_t formato) {
  dc.DrawTextA(testo, rect, formato);
}

void CalcTextRect(ContestoGrafico& dc, const QString& testo, RECT& rect) {
  dc.DrawTextA(testo, rect, DT_CALCRECT | DT_WORDBREAK);
}

void CopyRect(RECT& destinazione, const RECT& sorgente) noexcept {
  destinazione = sorgente;
}

void OffsetRect(RECT& rect, std::int32_t dx, std::int32_t dy) {
  rect = {Somma(rect.left, dx), Somma(rect.top, dy), Somma(rect.right, dx), Somma(rect.bottom, dy)};
}

RECT InflateRect(const RECT& rect, std::int32_t dx, std::int32_t dy) {
  return {Somma(rect.left, -std::int64_t{dx}), Somma(rect.top, -std::int64_t{dy}),
          Somma(rect.right, dx), Somma(rect.bottom, dy)};
}

void SetRectEmpty(RECT& rect) noexcept {
  rect = {};
}

bool PtInRect(const RECT& rect, std::int32_t x, std::int32_t y) noexcept {
  return rect.left <= x && x < rect.right && rect.top <= y && y < rect.bottom;
}

}  // namespace brisko::mXPVantel
