#pragma once

#include <QImage>
#include <QRgb>

#include "brisko/Tipi.h"

namespace brisko {

/// A bitmap that device contexts draw into: 32-bit colour, or monochrome
/// (every pixel black, which is 0, or white, which is 1).
class Bitmap {
 public:
  /// A black bitmap of the given size; an empty one (Valida() false) when a
  /// side is not positive or the memory cannot be had.
  Bitmap(int larghezza, int altezza, bool monocromatica);
  /// A colour bitmap holding `pixel` (shared until drawn into).
  explicit Bitmap(const QImage& pixel);

  [[nodiscard]] bool Valida() const noexcept { return !pixel_.isNull(); }
  [[nodiscard]] bool Monocromatica() const noexcept { return monocromatica_; }
  [[nodiscard]] int Larghezza() const noexcept { return pixel_.width(); }
  [[nodiscard]] int Altezza() const noexcept { return pixel_.height(); }
  [[nodiscard]] const QImage& Pixel() const noexcept { return pixel_; }
  [[nodiscard]] QImage& Pixel() noexcept { return pixel_; }

  /// The pixel (x, y), which must lie inside, as 0x00RRGGBB.
  [[nodiscard]] QRgb Leggi(int x, int y) const noexcept {
    return reinterpret_cast<const QRgb*>(pixel_.constScanLine(y))[x] & 0x00FFFFFFU;
  }
  /// Writes 0x00RRGGBB at (x, y), which must lie inside.
  void Scrivi(int x, int y, QRgb valore) noexcept {
    reinterpret_cast<QRgb*>(pixel_.scanLine(y))[x] = valore | 0xFF000000U;
  }

 private:
  QImage pixel_;
  bool monocromatica_;
};

/// A plain colour as a pixel value 0x00RRGGBB.
[[nodiscard]] constexpr QRgb PixelDi(COLORREF colore) noexcept {
  return ((colore & 0xFFU) << 16U) | (colore & 0xFF00U) | ((colore >> 16U) & 0xFFU);
}

/// A pixel value as a plain colour.
[[nodiscard]] constexpr COLORREF ColoreDi(QRgb pixel) noexcept {
  return ((pixel >> 16U) & 0xFFU) | (pixel & 0xFF00U) | ((pixel & 0xFFU) << 16U);
}

}  // namespace brisko
