#pragma once

#include <QImage>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "brisko/Esporta.h"

namespace brisko {

/// Kind of a picture object, numbered as the platform numbers them.
enum class TipoImmagine : std::int16_t {
  Nessuna = 0,
  Bitmap = 1,
  Metafile = 2,
  Icona = 3,
  MetafileEsteso = 4,
};

/// A picture object: its kind, its size in HIMETRIC units (0.01 mm) and its
/// pixels. Pictures are shared by reference between a tab, the host and the
/// property page, and never change once made. A picture of kind Nessuna
/// with an origin stands for a picture file that could not be loaded: it
/// paints nothing, measures 0 by 0 and is saved under its file's name.
class BRISKO_API Immagine {
 public:
  /// A picture of kind `tipo` with the pixels of `pixel`, whose size is
  /// taken at 96 pixels per inch. `origine` is the file it came from, if any.
  Immagine(QImage pixel, TipoImmagine tipo, std::filesystem::path origine = {});

  /// Loads a picture file: icons (.ico, .cur) are icon pictures, every
  /// other readable image (BMP, GIF, PNG, JPEG) a bitmap. Throws
  /// ErroreControllo 53 for a missing file, 481 for one that holds no
  /// readable picture.
  [[nodiscard]] static std::shared_ptr<Immagine> LoadPicture(const std::filesystem::path& file);

  [[nodiscard]] TipoImmagine Type() const noexcept { return tipo_; }
  /// Width and height in HIMETRIC units.
  [[nodiscard]] std::int32_t Width() const noexcept { return larghezza_; }
  [[nodiscard]] std::int32_t Height() const noexcept { return altezza_; }
  /// The pixels, 32-bit.
  [[nodiscard]] const QImage& Pixel() const noexcept { return pixel_; }
  /// The file the picture was loaded from; empty for one made in memory.
  [[nodiscard]] const std::filesystem::path& Origine() const noexcept { return origine_; }

 private:
  QImage pixel_;
  TipoImmagine tipo_;
  std::int32_t larghezza_;
  std::int32_t altezza_;
  std::filesystem::path origine_;
};

}  // namespace brisko
