#pragma once

#include <QImage>
#include <functional>
#include <memory>

#include "Bitmap.h"
#include "brisko/ErroreControllo.h"
#include "brisko/Tipi.h"
#include "brisko/xpVantelTab.h"

namespace brisko::test {

/// The plain colour of pixel (x, y).
inline COLORREF Colore(const QImage& immagine, int x, int y) {
  return ColoreDi(immagine.pixel(x, y) & 0x00FFFFFFU);
}

/// The number of the control error that `chiamata` raises, 0 for none.
inline long NumeroErrore(const std::function<void()>& chiamata) {
  try {
    chiamata();
  } catch (const ErroreControllo& e) {
    return e.Numero();
  }
  return 0;
}

/// The updater's tab strip: one tab "Principale" 75 pixels wide, TabHeight
/// 22, on a 300 by 100 control.
inline std::unique_ptr<xpVantelTab> StrisciaTervan() {
  auto tab = std::make_unique<xpVantelTab>();
  tab->InitProperties();
  tab->SetBackColor(RGB(236, 233, 216));
  tab->SetTabCaption(1, "Principale");
  tab->SetTabWidth(1, 75);
  tab->SetTabHeight(22);
  tab->resize(300, 100);
  tab->DrawTab();
  return tab;
}

/// A bitmap picture of w by h pixels in `colore`, its four corners in
/// `angoli`.
inline std::shared_ptr<Immagine> Figura(int w, int h, QRgb colore, QRgb angoli) {
  QImage pixel(w, h, QImage::Format_RGB32);
  pixel.fill(colore);
  for (const auto& [x, y] : {std::pair{0, 0}, {w - 1, 0}, {0, h - 1}, {w - 1, h - 1}}) {
    pixel.setPixel(x, y, angoli);
  }
  return std::make_shared<Immagine>(pixel, TipoImmagine::Bitmap);
}

}  // namespace brisko::test
