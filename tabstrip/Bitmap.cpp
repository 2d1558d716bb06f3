#include "Bitmap.h"

namespace brisko {
namespace {

// Beyond this many pixels a bitmap is refused rather than attempted.
constexpr long long kPixelMassimi = 1LL << 28;

QImage NuovaImmagine(int larghezza, int altezza) {
  if (larghezza <= 0 || altezza <= 0 ||
      static_cast<long long>(larghezza) * altezza > kPixelMassimi) {
    return {};
  }
  QImage immagine(larghezza, altezza, QImage::Format_RGB32);
  if (!immagine.isNull()) {
    immagine.fill(0xFF000000U);
  }
  return immagine;
}

}  // namespace

Bitmap::Bitmap(int larghezza, int altezza, bool monocromatica)
    : pixel_(NuovaImmagine(larghezza, altezza)), monocromatica_(monocromatica) {}

Bitmap::Bitmap(const QImage& pixel)
    : pixel_(pixel.format() == QImage::Format_RGB32 ? pixel
                                                    : pixel.convertToFormat(QImage::Format_RGB32)),
      monocromatica_(false) {}

}  // namespace brisko
