#pragma once

#include <sys/types.h>

#include <filesystem>
#include <vector>

#include "service/ArchivioServizio.h"

namespace orvane::servizio {

/// Mode of the data folder the service creates: only it reads its database.
inline constexpr mode_t kModoCartellaDati = 0700;
/// Mode of the package folders the service creates.
inline constexpr mode_t kModoCartellaDownload = 0755;

/// Creates `cartella` with mode `modo` (whatever the umask) when it is
/// missing, with the folders above it, then checks that it is the
/// service's own: a folder, not a link, owned by the effective user, that
/// neither its group nor others may write. Gives its absolute path with the
/// links above it resolved (SQLite opens no path that holds one). Throws
/// std::runtime_error naming the folder and the reason otherwise.
[[nodiscard]] std::filesystem::path CartellaPropria(const std::filesystem::path& cartella,
                                                    mode_t modo);

/// Swaps two folders of the same file system in one step: each takes the
/// other's name. Throws std::runtime_error when the file system cannot.
void ScambiaCartelle(const std::filesystem::path& una, const std::filesystem::path& altra);

/// Copies into `a` the signature (".minisig") found in `da` of each package
/// listed, as a plain file; a signature that is not a plain file stays out.
void CopiaFirme(const std::filesystem::path& da, const std::filesystem::path& a,
                const std::vector<Pacchetto>& pacchetti);

/// Checks that `cartella` holds, as a plain file, the package file of every
/// package the database lists, with the size the database records for it.
/// Throws std::runtime_error naming the first that does not.
void VerificaPacchetti(const std::filesystem::path& cartella, const ArchivioServizio& archivio);

}  // namespace orvane::servizio
