#pragma once

#include <cstdint>
#include <memory>

#include "ContestoGrafico.h"
#include "brisko/Immagine.h"
#include "brisko/Tipi.h"

namespace brisko {

/// Paints a picture onto a device context with one colour treated as
/// transparent. One painter serves one paint pass.
class cImageManipulation {
 public:
  cImageManipulation();

  /// Paints a `Width` by `Height` block of a bitmap picture from (xSrc,
  /// ySrc) at (xDest, yDest), leaving the destination as it was where the
  /// picture has `clrMask`. No picture, or an icon or metafile, paints
  /// nothing. `hPal` null means the halftone palette.
  void PaintTransparentPicture(ContestoGrafico& hDCDest, const Immagine* picSource,
                               std::int32_t xDest, std::int32_t yDest, std::int32_t Width,
                               std::int32_t Height, std::int32_t xSrc, std::int32_t ySrc,
                               OLE_COLOR clrMask, std::shared_ptr<const Tavolozza> hPal = {});

  /// The same from a source device context, through a monochrome mask:
  /// the destination block is copied once, the picture's opaque pixels are
  /// put into the copy, and the copy goes back in one step.
  void PaintTransparentDC(ContestoGrafico& hDCDest, std::int32_t xDest, std::int32_t yDest,
                          std::int32_t Width, std::int32_t Height, const ContestoGrafico& hdcSrc,
                          std::int32_t xSrc, std::int32_t ySrc, OLE_COLOR clrMask,
                          std::shared_ptr<const Tavolozza> hPal = {});

 private:
  std::shared_ptr<const Tavolozza> mezzetinte_;
};

}  // namespace brisko
