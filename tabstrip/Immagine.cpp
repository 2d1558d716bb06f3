#include "brisko/Immagine.h"

#include <QByteArray>
#include <QImageReader>
#include <QString>
#include <cmath>
#include <system_error>
#include <utility>

#include "brisko/ErroreControllo.h"

namespace brisko {
namespace {

// Pixels at 96 per inch to HIMETRIC units (0.01 mm), rounded.
std::int32_t Himetric(int pixel) {
  return static_cast<std::int32_t>(std::lround(static_cast<double>(pixel) * 2540.0 / 96.0));
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
  QImageReader lettore(QString::fromStdString(file.string()));
  lettore.setDecideFormatFromContent(true);
  const QByteArray formato = lettore.format();
  QImage pixel = lettore.read();
  if (pixel.isNull()) {
    throw ErroreControllo(ErroreControllo::kImmagineNonValida);
  }
  const bool icona = formato == "ico" || formato == "cur";
  return std::make_shared<Immagine>(std::move(pixel),
                                    icona ? TipoImmagine::Icona : TipoImmagine::Bitmap, file);
}

}  // namespace brisko
