#include "ContestoGrafico.h"

#include <QColor>
#include <QFontMetrics>
#include <QPainter>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>

namespace brisko {
namespace {

// The bounds of a context's bitmap; an empty range without one.
struct Limiti {
  std::int64_t larghezza = 0;
  std::int64_t altezza = 0;
};

Limiti LimitiDi(const std::shared_ptr<Bitmap>& bitmap) {
  if (!bitmap || !bitmap->Valida()) {
    return {};
  }
  return {bitmap->Larghezza(), bitmap->Altezza()};
}

// A colour drawn into a monochrome bitmap: white when it is nearer white.
QRgb Monocromo(COLORREF colore) noexcept {
  const unsigned somma = (colore & 0xFFU) + ((colore >> 8U) & 0xFFU) + ((colore >> 16U) & 0xFFU);
  return somma >= 384 ? 0xFFFFFFU : 0U;
}

QRgb Combina(QRgb sorgente, QRgb destinazione, std::uint32_t rop) noexcept {
  switch (rop) {
    case SRCAND:
      return sorgente & destinazione;
    case SRCPAINT:
      return sorgente | destinazione;
    case SRCERASE_INVERSO:
      return destinazione & ~sorgente & 0x00FFFFFFU;
    case SRCCOPY:
    default:
      return sorgente;
  }
}

int ClampaInt(std::int64_t valore) noexcept {
  return static_cast<int>(std::clamp<std::int64_t>(valore, -(1LL << 30), 1LL << 30));
}

}  // namespace

std::shared_ptr<const Tavolozza> CreateHalftonePalette() {
  return std::make_shared<const Tavolozza>();
}

ContestoGrafico::ContestoGrafico() : bitmap_(std::make_shared<Bitmap>(1, 1, true)) {}

std::shared_ptr<Bitmap> ContestoGrafico::SelectObject(std::shared_ptr<Bitmap> bitmap) {
  return std::exchange(bitmap_, std::move(bitmap));
}

Penna ContestoGrafico::SelectObject(const Penna& penna) {
  return std::exchange(penna_, penna);
}

std::shared_ptr<const Tavolozza> ContestoGrafico::SelectPalette(
    std::shared_ptr<const Tavolozza> tavolozza) {
  return std::exchange(tavolozza_, std::move(tavolozza));
}

COLORREF ContestoGrafico::SetTextColor(COLORREF colore) noexcept {
  return std::exchange(testo_, colore & 0x00FFFFFFU);
}

COLORREF ContestoGrafico::SetBkColor(COLORREF colore) noexcept {
  return std::exchange(sfondo_, colore & 0x00FFFFFFU);
}

QRgb ContestoGrafico::ValorePixel(COLORREF colore) const noexcept {
  return Monocromatico() ? Monocromo(colore) : PixelDi(colore & 0x00FFFFFFU);
}

void ContestoGrafico::FillRect(const RECT& r, COLORREF colore) {
  const Limiti limiti = LimitiDi(bitmap_);
  const std::int64_t x0 = std::max<std::int64_t>(r.left, 0);
  const std::int64_t y0 = std::max<std::int64_t>(r.top, 0);
  const std::int64_t x1 = std::min<std::int64_t>(r.right, limiti.larghezza);
  const std::int64_t y1 = std::min<std::int64_t>(r.bottom, limiti.altezza);
  if (x0 >= x1 || y0 >= y1) {
    return;
  }
  const QRgb valore = ValorePixel(colore) | 0xFF000000U;
  QImage& pixel = bitmap_->Pixel();
  for (std::int64_t y = y0; y < y1; ++y) {
    auto* riga = reinterpret_cast<QRgb*>(pixel.scanLine(static_cast<int>(y)));
    std::fill(riga + x0, riga + x1, valore);
  }
}

void ContestoGrafico::FrameRect(const RECT& r, COLORREF colore) {
  if (r.right <= r.left || r.bottom <= r.top) {
    return;
  }
  FillRect({r.left, r.top, r.right, r.top + 1}, colore);
  FillRect({r.left, r.bottom - 1, r.right, r.bottom}, colore);
  FillRect({r.left, r.top, r.left + 1, r.bottom}, colore);
  FillRect({r.right - 1, r.top, r.right, r.bottom}, colore);
}

void ContestoGrafico::MoveToEx(std::int32_t x, std::int32_t y) noexcept {
  posX_ = x;
  posY_ = y;
}

void ContestoGrafico::Punto(std::int64_t x, std::int64_t y, COLORREF colore) {
  const std::int64_t lato = std::max(penna_.larghezza, 1);
  const std::int64_t inizio = (lato - 1) / 2;
  FillRect({ClampaInt(x - inizio), ClampaInt(y - inizio), ClampaInt(x - inizio + lato),
            ClampaInt(y - inizio + lato)},
           colore);
}

void ContestoGrafico::LineTo(std::int32_t x, std::int32_t y) {
  const std::int64_t xa = posX_;
  const std::int64_t ya = posY_;
  posX_ = x;
  posY_ = y;
  const Limiti limiti = LimitiDi(bitmap_);
  if (limiti.larghezza == 0) {
    return;
  }
  const COLORREF colore = penna_.colore;
  const std::int64_t dx = x - xa;
  const std::int64_t dy = y - ya;
  if (penna_.larghezza <= 1 && (dx == 0 || dy == 0)) {
    // Along a row or a column: one span, the end point left out.
    const std::int64_t x0 = dx >= 0 ? xa : x + 1;
    const std::int64_t x1 = dx > 0 ? x : dx < 0 ? xa + 1 : xa + (dy != 0 ? 1 : 0);
    const std::int64_t y0 = dy >= 0 ? ya : y + 1;
    const std::int64_t y1 = dy > 0 ? y : dy < 0 ? ya + 1 : ya + (dx != 0 ? 1 : 0);
    FillRect({ClampaInt(x0), ClampaInt(y0), ClampaInt(x1), ClampaInt(y1)}, colore);
    return;
  }
  const std::int64_t margine = std::max(penna_.larghezza, 1);
  // Step along the longer axis; the other coordinate is the nearest pixel
  // to the ideal line. Only the steps that can touch the bitmap are taken,
  // so a line of any length costs no more than the bitmap's size.
  const bool lungoX = std::llabs(dx) >= std::llabs(dy);
  const std::int64_t passi = lungoX ? std::llabs(dx) : std::llabs(dy);
  const std::int64_t inizioAsse = lungoX ? xa : ya;
  const std::int64_t verso = (lungoX ? dx : dy) < 0 ? -1 : 1;
  const std::int64_t limiteAsse = lungoX ? limiti.larghezza : limiti.altezza;
  std::int64_t primo = 0;
  std::int64_t ultimo = passi;  // excluded: the end point is not painted
  if (verso > 0) {
    primo = std::max<std::int64_t>(primo, -margine - inizioAsse);
    ultimo = std::min<std::int64_t>(ultimo, limiteAsse + margine - inizioAsse);
  } else {
    primo = std::max<std::int64_t>(primo, inizioAsse - limiteAsse - margine);
    ultimo = std::min<std::int64_t>(ultimo, inizioAsse + margine + 1);
  }
  const long double pendenza =
      passi == 0 ? 0.0L
                 : static_cast<long double>(lungoX ? dy : dx) / static_cast<long double>(passi);
  for (std::int64_t i = primo; i < ultimo; ++i) {
    const std::int64_t asse = inizioAsse + verso * i;
    const std::int64_t altro =
        (lungoX ? ya : xa) + static_cast<std::int64_t>(std::floor(pendenza * i + 0.5L));
    if (lungoX) {
      Punto(asse, altro, colore);
    } else {
      Punto(altro, asse, colore);
    }
  }
}

void ContestoGrafico::SetPixelV(std::int32_t x, std::int32_t y, COLORREF colore) {
  const Limiti limiti = LimitiDi(bitmap_);
  if (x >= 0 && y >= 0 && x < limiti.larghezza && y < limiti.altezza) {
    bitmap_->Scrivi(x, y, ValorePixel(colore));
  }
}

void ContestoGrafico::BitBlt(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                             const ContestoGrafico& sorgente, std::int32_t xs, std::int32_t ys,
                             std::uint32_t rop) {
  const Limiti dest = LimitiDi(bitmap_);
  const Limiti sorg = LimitiDi(sorgente.bitmap_);
  if (w <= 0 || h <= 0 || dest.larghezza == 0 || sorg.larghezza == 0) {
    return;
  }
  // The block's offsets that fall inside both bitmaps.
  const std::int64_t i0 =
      std::max({std::int64_t{0}, -static_cast<std::int64_t>(x), -static_cast<std::int64_t>(xs)});
  const std::int64_t j0 =
      std::max({std::int64_t{0}, -static_cast<std::int64_t>(y), -static_cast<std::int64_t>(ys)});
  const std::int64_t i1 =
      std::min({static_cast<std::int64_t>(w), dest.larghezza - x, sorg.larghezza - xs});
  const std::int64_t j1 =
      std::min({static_cast<std::int64_t>(h), dest.altezza - y, sorg.altezza - ys});
  const bool daColore = !sorgente.Monocromatico();
  const bool aColore = !Monocromatico();
  const QRgb sfondoSorgente = PixelDi(sorgente.sfondo_);
  const QRgb testo = PixelDi(testo_);
  const QRgb sfondo = PixelDi(sfondo_);
  // A block copied within one bitmap reads from a copy of it.
  std::optional<QImage> copia;
  if (bitmap_ == sorgente.bitmap_) {
    copia = sorgente.bitmap_->Pixel().copy();
  }
  const QImage& origine = copia ? *copia : sorgente.bitmap_->Pixel();
  QImage& destinazione = bitmap_->Pixel();
  for (std::int64_t j = j0; j < j1; ++j) {
    const auto* da = reinterpret_cast<const QRgb*>(origine.constScanLine(static_cast<int>(ys + j)));
    auto* a = reinterpret_cast<QRgb*>(destinazione.scanLine(static_cast<int>(y + j)));
    for (std::int64_t i = i0; i < i1; ++i) {
      QRgb s = da[xs + i] & 0x00FFFFFFU;
      if (daColore && !aColore) {
        s = s == sfondoSorgente ? 0xFFFFFFU : 0U;
      } else if (!daColore && aColore) {
        s = s != 0 ? sfondo : testo;
      }
      QRgb& d = a[x + i];
      d = Combina(s, d & 0x00FFFFFFU, rop) | 0xFF000000U;
    }
  }
}

namespace {

// `testo` without the single "&" before each character outside the Basic
// Multilingual Plane: Qt would underline one half of its surrogate pair and
// draw the two halves as two broken glyphs. No access key is made of such a
// character, so it is drawn plain; "&&" stays for Qt to show as "&".
QString SenzaPrefissiSpezzati(const QString& testo) {
  QString risultato;
  risultato.reserve(testo.size());
  for (qsizetype i = 0; i < testo.size(); ++i) {
    if (testo[i] == u'&' && i + 1 < testo.size()) {
      if (testo[i + 1] == u'&') {
        risultato += u"&&";
        ++i;
        continue;
      }
      if (testo[i + 1].isHighSurrogate()) {
        continue;
      }
    }
    risultato += testo[i];
  }
  return risultato;
}

}  // namespace

int ContestoGrafico::DrawTextA(const QString& testoDato, RECT& r, std::uint32_t formato) {
  const bool prefissi = (formato & DT_NOPREFIX) == 0;
  const QString testo = prefissi ? SenzaPrefissiSpezzati(testoDato) : testoDato;
  int bandiere = prefissi ? static_cast<int>(Qt::TextShowMnemonic) : 0;
  const bool unaRiga = (formato & DT_SINGLELINE) != 0;
  if (unaRiga) {
    bandiere |= Qt::TextSingleLine;
  } else if ((formato & DT_WORDBREAK) != 0) {
    bandiere |= Qt::TextWordWrap;
  }
  if ((formato & DT_CALCRECT) != 0) {
    if (testo.isEmpty()) {
      r.right = r.left;
      r.bottom = r.top;
      return 0;
    }
    const QFontMetrics metriche(carattere_);
    const int larghezza = std::max(ClampaInt(static_cast<std::int64_t>(r.right) - r.left), 1);
    const QRect misura = metriche.boundingRect(QRect(0, 0, larghezza, 1 << 20), bandiere, testo);
    r.right = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        static_cast<std::int64_t>(r.left) + misura.width(), INT32_MIN, INT32_MAX));
    r.bottom = static_cast<std::int32_t>(std::clamp<std::int64_t>(
        static_cast<std::int64_t>(r.top) + misura.height(), INT32_MIN, INT32_MAX));
    return misura.height();
  }
  if (!bitmap_ || !bitmap_->Valida() || testo.isEmpty()) {
    return 0;
  }
  bandiere |= Qt::TextDontClip;
  bandiere |= (formato & DT_CENTER) != 0 ? Qt::AlignHCenter : Qt::AlignLeft;
  bandiere |= unaRiga && (formato & DT_VCENTER) != 0 ? Qt::AlignVCenter : Qt::AlignTop;
  const QRect area(ClampaInt(r.left), ClampaInt(r.top),
                   ClampaInt(static_cast<std::int64_t>(r.right) - r.left),
                   ClampaInt(static_cast<std::int64_t>(r.bottom) - r.top));
  QPainter pittore(&bitmap_->Pixel());
  pittore.setFont(carattere_);
  pittore.setPen(QColor::fromRgb(ValorePixel(testo_) | 0xFF000000U));
  QRect occupato;
  pittore.drawText(area, bandiere, testo, &occupato);
  return occupato.height();
}

}  // namespace brisko
