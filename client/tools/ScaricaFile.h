#pragma once

#include <filesystem>
#include <string>

#include "quomaro/FirmaMinisign.h"
#include "quomaro/Scaricamento.h"

namespace quomaro::strumento {

/// How a download into a file ended.
struct EsitoScaricaFile {
  bool riuscito = false;
  /// What went wrong (in Italian, for the user); empty on success.
  std::string errore;
  long long byte = 0;  ///< bytes written on success
};

/// Downloads `url` into `file`. The file is replaced, atomically, only by a
/// whole body (as long as the server declared) of a 2xx answer; on any other
/// outcome it stays as it was. With a `chiave`, the body must also carry
/// the maker's signature for its published name (`url`.minisig) or nothing
/// is written. Temporary files of `file` left by runs that were killed are
/// removed first, under a lock on the file's folder.
[[nodiscard]] EsitoScaricaFile ScaricaFile(const std::string& url,
                                           const std::filesystem::path& file,
                                           const Scaricamento& scaricamento,
                                           const ChiavePubblica* chiave = nullptr);

}  // namespace quomaro::strumento
