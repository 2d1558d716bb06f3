#include "brisko/Immagine.h"

#include <QByteArray>
#include <QImageIOHandler>
#include <QImageReader>
#include <QString>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <system_error>
#include <utility>

#include "brisko/ErroreControllo.h"

namespace brisko {
namespace {

// Pixels at 96 per inch to HIMETRIC units (0.01 mm), rounded.
std::int32_t Himetric(int pixel) {
  return static_cast<std::int32_t>(std::lround(static_cast<double>(pixel) * 2540.0 / 96.0));
}

// Decodes `file` into an image first filled with `fondo`. A reader keeps
// the image it is given when its size and format are those of the file,
// so a pixel the file does not define stays `fondo` instead of whatever the
// memory held before.
QImage Decodifica(const std::filesystem::path& file, uint fondo, QByteArray& formato) {
  QImageReader lettore(QString::fromStdString(file.string()));
  lettore.setDecideFormatFromContent(true);
  formato = lettore.format();
  QImage pixel;
  if (QImageIOHandler::allocateImage(lettore.size(), lettore.imageFormat(), &pixel)) {
    pixel.fill(fondo);
  }
  if (!lettore.read(&pixel)) return {};
  return pixel;
}

// Whether two readings of a file gave the same pixels. Compared byte by
// byte within each row (the padding at its end is not the file's), or by
// colour index below 8 bits a pixel, never through the colour table, which
// an index the file left undefined may run past.
bool StessiPixel(const QImage& a, const QImage& b) {
  if (a.size() != b.size() || a.format() != b.format()) return false;
  const auto byte = static_cast<std::size_t>(a.width()) * static_cast<std::size_t>(a.depth()) / 8;
  for (int y = 0; y < a.height(); ++y) {
    if (a.depth() >= 8) {
      if (std::memcmp(a.constScanLine(y), b.constScanLine(y), byte) != 0) return false;
      continue;
    }
    for (int x = 0; x < a.width(); ++x) {
      if (a.pixelIndex(x, y) != b.pixelIndex(x, y)) return false;
    }
  }
  return true;
}

}  // namespace

Immagine::Immagine(QImage pixel, TipoImmagine tipo, std::filesystem::path origine)
    : pixel_(pixel.isNull() ? QImage() : std::move(pixel).convertToFormat(QImage::Format_RGB32)),
      tipo_(tipo),
      larghezza_(Himetric(pixel_.width())),
      altezza_(Himetric(pixel_.height())),
      origine_(std::move(origine)) {}

std::shared_ptr<Immagine> Immagine::LoadPicture(const std::filesystem::path& file) {
  std::error_code errore;
  if (!std::filesystem::is_regular_file(file, errore)) {
    throw ErroreControllo(ErroreControllo::kFileNonTrovato);
  }
  // Read twice over two different fillings: a file cut short, or one
  // whose pixels stop early, leaves some pixels undefined, and the two
  // readings differ there. Such a file holds no whole picture.
  QByteArray formato;
  QImage pixel = Decodifica(file, 0, formato);
  if (pixel.isNull() || !StessiPixel(pixel, Decodifica(file, ~0U, formato))) {
    throw ErroreControllo(ErroreControllo::kImmagineNonValida);
  }
  const bool icona = formato == "ico" || formato == "cur";
  return std::make_shared<Immagine>(std::move(pixel),
                                    icona ? TipoImmagine::Icona : TipoImmagine::Bitmap, file);
}

}  // namespace brisko
