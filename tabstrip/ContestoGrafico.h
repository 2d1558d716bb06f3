#pragma once

#include <QFont>
#include <QString>
#include <cstdint>
#include <memory>

#include "Bitmap.h"
#include "brisko/Tipi.h"

namespace brisko {

/// A colour palette. On the 32-bit surfaces of the control every colour
/// maps to itself, so a palette only travels with the context that holds it.
struct Tavolozza {};

/// The halftone palette of the screen.
[[nodiscard]] std::shared_ptr<const Tavolozza> CreateHalftonePalette();

/// A solid pen: colour and width in pixels.
struct Penna {
  COLORREF colore = 0;
  int larghezza = 1;
};

// Text format flags.
inline constexpr std::uint32_t DT_CENTER = 0x1;
inline constexpr std::uint32_t DT_VCENTER = 0x4;
inline constexpr std::uint32_t DT_WORDBREAK = 0x10;
inline constexpr std::uint32_t DT_SINGLELINE = 0x20;
inline constexpr std::uint32_t DT_CALCRECT = 0x400;
inline constexpr std::uint32_t DT_NOPREFIX = 0x800;

// Raster operations of BitBlt.
inline constexpr std::uint32_t SRCCOPY = 0x00CC0020;
inline constexpr std::uint32_t SRCPAINT = 0x00EE0086;
inline constexpr std::uint32_t SRCAND = 0x008800C6;
/// Destination AND NOT source.
inline constexpr std::uint32_t SRCERASE_INVERSO = 0x00220326;

/// A device context: the drawing state (selected bitmap and palette, pen,
/// text and background colours, font, current position) and the drawing
/// operations on the selected bitmap. Every operation is clipped to the
/// bitmap; a context without a usable bitmap draws nothing.
class ContestoGrafico {
 public:
  /// A memory context holding a 1 by 1 monochrome bitmap.
  ContestoGrafico();

  /// Selects `bitmap`, returning the one selected before.
  std::shared_ptr<Bitmap> SelectObject(std::shared_ptr<Bitmap> bitmap);
  /// Selects `penna`, returning the pen selected before.
  Penna SelectObject(const Penna& penna);
  std::shared_ptr<const Tavolozza> SelectPalette(std::shared_ptr<const Tavolozza> tavolozza);
  /// Maps the selected palette's colours; nothing to do on 32-bit surfaces.
  int RealizePalette() noexcept { return 0; }
  void SelectFont(const QFont& carattere) { carattere_ = carattere; }

  [[nodiscard]] const std::shared_ptr<Bitmap>& BitmapSelezionata() const noexcept {
    return bitmap_;
  }
  [[nodiscard]] bool Monocromatico() const noexcept { return bitmap_ && bitmap_->Monocromatica(); }

  COLORREF SetTextColor(COLORREF colore) noexcept;
  [[nodiscard]] COLORREF GetTextColor() const noexcept { return testo_; }
  COLORREF SetBkColor(COLORREF colore) noexcept;
  [[nodiscard]] COLORREF GetBkColor() const noexcept { return sfondo_; }

  /// Fills `r` with a solid brush of `colore`.
  void FillRect(const RECT& r, COLORREF colore);
  /// A 1-pixel outline just inside `r`.
  void FrameRect(const RECT& r, COLORREF colore);
  void MoveToEx(std::int32_t x, std::int32_t y) noexcept;
  /// A line with the selected pen from the current position to (x, y),
  /// which is not painted and becomes the current position.
  void LineTo(std::int32_t x, std::int32_t y);
  void SetPixelV(std::int32_t x, std::int32_t y, COLORREF colore);
  /// Combines a `w` by `h` block of `sorgente` at (xs, ys) into this context
  /// at (x, y) with `rop` (SRCCOPY, SRCAND, SRCPAINT, SRCERASE_INVERSO).
  /// Colour to monochrome: pixels of the source's background colour become 1
  /// (white), all others 0. Monochrome to colour: 0 becomes this context's
  /// text colour, 1 its background colour.
  void BitBlt(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
              const ContestoGrafico& sorgente, std::int32_t xs, std::int32_t ys, std::uint32_t rop);
  /// Draws or (with DT_CALCRECT) measures `testo` in `r` with the selected
  /// font and text colour, without filling the text background. Measuring
  /// keeps r's left and top and sets its right and bottom to the text's
  /// extent. Unless DT_NOPREFIX is given, "&" underlines the next character
  /// (one outside the Basic Multilingual Plane, such as an emoji, is drawn
  /// plain, the "&" dropped) and "&&" stands for one "&". Returns the text's
  /// height.
  int DrawTextA(const QString& testo, RECT& r, std::uint32_t formato);

 private:
  void Punto(std::int64_t x, std::int64_t y, COLORREF colore);
  [[nodiscard]] QRgb ValorePixel(COLORREF colore) const noexcept;

  std::shared_ptr<Bitmap> bitmap_;
  std::shared_ptr<const Tavolozza> tavolozza_;
  Penna penna_;
  COLORREF testo_ = 0;
  COLORREF sfondo_ = 0xFFFFFF;
  QFont carattere_;
  std::int32_t posX_ = 0;
  std::int32_t posY_ = 0;
};

}  // namespace brisko
