#include "cImageManipulation.h"

#include <utility>

#include "OleColore.h"

namespace brisko {

cImageManipulation::cImageManipulation() : mezzetinte_(CreateHalftonePalette()) {}

void cImageManipulation::PaintTransparentPicture(ContestoGrafico& hDCDest,
                                                 const Immagine* picSource, std::int32_t xDest,
                                                 std::int32_t yDest, std::int32_t Width,
                                                 std::int32_t Height, std::int32_t xSrc,
                                                 std::int32_t ySrc, OLE_COLOR clrMask,
                                                 std::shared_ptr<const Tavolozza> hPal) {
  if (picSource == nullptr || picSource->Type() != TipoImmagine::Bitmap) {
    return;
  }
  ContestoGrafico memoria;
  auto bitmapPrima = memoria.SelectObject(std::make_shared<Bitmap>(picSource->Pixel()));
  auto tavolozzaPrima = memoria.SelectPalette(hPal ? hPal : mezzetinte_);
  memoria.RealizePalette();
  PaintTransparentDC(hDCDest, xDest, yDest, Width, Height, memoria, xSrc, ySrc, clrMask,
                     std::move(hPal));
  memoria.SelectObject(std::move(bitmapPrima));
  memoria.SelectPalette(std::move(tavolozzaPrima));
  memoria.RealizePalette();
}

void cImageManipulation::PaintTransparentDC(ContestoGrafico& hDCDest, std::int32_t xDest,
                                            std::int32_t yDest, std::int32_t Width,
                                            std::int32_t Height, const ContestoGrafico& hdcSrc,
                                            std::int32_t xSrc, std::int32_t ySrc, OLE_COLOR clrMask,
                                            std::shared_ptr<const Tavolozza> hPal) {
  const auto tavolozza = hPal ? hPal : mezzetinte_;
  const COLORREF maschera = ColoreRisolto(clrMask);

  // The work image: a copy of the destination block.
  ContestoGrafico lavoro;
  auto bitmapLavoro = lavoro.SelectObject(std::make_shared<Bitmap>(Width, Height, false));
  auto tavolozzaLavoro = lavoro.SelectPalette(tavolozza);
  lavoro.RealizePalette();
  lavoro.BitBlt(0, 0, Width, Height, hDCDest, xDest, yDest, SRCCOPY);

  // The source block, with the source's colours.
  ContestoGrafico copia;
  auto bitmapCopia = copia.SelectObject(std::make_shared<Bitmap>(Width, Height, false));
  auto tavolozzaCopia = copia.SelectPalette(tavolozza);
  copia.RealizePalette();
  copia.SetBkColor(hdcSrc.GetBkColor());
  copia.SetTextColor(hdcSrc.GetTextColor());
  copia.BitBlt(0, 0, Width, Height, hdcSrc, xSrc, ySrc, SRCCOPY);

  // The mask: 1 where the source has the mask colour.
  ContestoGrafico mascherina;
  auto bitmapMaschera = mascherina.SelectObject(std::make_shared<Bitmap>(Width, Height, true));
  copia.SetBkColor(maschera);
  copia.SetTextColor(RGB(255, 255, 255));
  mascherina.BitBlt(0, 0, Width, Height, copia, 0, 0, SRCCOPY);

  // Transparent pixels of the source turn black...
  copia.SetTextColor(RGB(0, 0, 0));
  copia.SetBkColor(RGB(255, 255, 255));
  copia.BitBlt(0, 0, Width, Height, mascherina, 0, 0, SRCERASE_INVERSO);
  // ... the work image turns black where the picture is opaque ...
  lavoro.BitBlt(0, 0, Width, Height, mascherina, 0, 0, SRCAND);
  // ... the picture goes in, and the block back in one step.
  lavoro.BitBlt(0, 0, Width, Height, copia, 0, 0, SRCPAINT);
  hDCDest.BitBlt(xDest, yDest, Width, Height, lavoro, 0, 0, SRCCOPY);

  lavoro.SelectObject(std::move(bitmapLavoro));
  lavoro.SelectPalette(std::move(tavolozzaLavoro));
  copia.SelectObject(std::move(bitmapCopia));
  copia.SelectPalette(std::move(tavolozzaCopia));
  mascherina.SelectObject(std::move(bitmapMaschera));
}

}  // namespace brisko
