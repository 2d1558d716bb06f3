#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/BloccoCartella.h"
#include "platform/Registro.h"

namespace platform {

/// An exclusive advisory lock (flock) on the registry folder, held for the
/// life of the object; the folder is created when missing. Every process
/// that changes a registry file, or an autostart entry, holds it from reading
/// the file to renaming the new one in place. Throws std::system_error.
class BloccoCartellaRegistro {
 public:
  explicit BloccoCartellaRegistro(const std::filesystem::path& cartella);

 private:
  BloccoCartella blocco_;
};

/// A file read whole: whether it exists, its bytes, the errno of a failed
/// read (0 when it was read) and a signature that changes whenever the file
/// is replaced or changed.
struct LetturaFileRegistro {
  bool esiste = false;
  std::string contenuto;
  int errore = 0;
  std::string firma;
};

/// The signature LeggiFileRegistro would give the file as it is now; ""
/// when it cannot be looked at.
[[nodiscard]] std::string FirmaFileRegistro(const std::filesystem::path& file);

/// Reads a file of at most `limite` bytes (a larger one reads as EFBIG).
[[nodiscard]] LetturaFileRegistro LeggiFileRegistro(const std::filesystem::path& file,
                                                    std::size_t limite);

}  // namespace platform
