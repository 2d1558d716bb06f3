#pragma once

#include <sys/types.h>

#include <filesystem>

#include "platform/Descrittore.h"
#include "service/ArchivioServizio.h"
#include "service/CatalogoServizio.h"

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

/// Takes `cartella` (a data folder CartellaPropria gave) for this process
/// until the descriptor returned is closed or the process ends: a second
/// service on the same folder would remove or swap the packages being built
/// or served and seed the database under the first. Throws
/// std::runtime_error naming the folder when another process holds it, or
/// when it cannot be held.
[[nodiscard]] platform::Descrittore BloccaCartella(const std::filesystem::path& cartella);

/// Removes what a seed that stopped halfway left beside `cartellaDownload`.
/// Stopped before its swap, that is packages never served; stopped between
/// the swap and the commit, the packages `archivio` still lists are the ones
/// beside, and they are swapped back in first, signatures included.
void RimuoviPubblicazioneInterrotta(const std::filesystem::path& cartellaDownload,
                                    const ArchivioServizio& archivio);

/// Builds the packages of `catalogo` beside those served from
/// `cartellaDownload`, with the signatures (".minisig", plain files) of the
/// packages still listed, and swaps them in with the seeding of `archivio`:
/// a seed that fails or stops on the way leaves the files the database
/// lists, and one killed between the swap and the commit has them put back
/// by RimuoviPubblicazioneInterrotta at the next start. Throws what the
/// build, the swap (a file system that cannot swap folders) or the seeding
/// throws.
void PubblicaCatalogo(CatalogoServizio& catalogo, ArchivioServizio& archivio,
                      const std::filesystem::path& cartellaDownload);

/// Checks that `cartella` holds, as a plain file, the package file of every
/// package the database lists, with the size the database records for it.
/// Throws std::runtime_error naming the first that does not.
void VerificaPacchetti(const std::filesystem::path& cartella, const ArchivioServizio& archivio);

}  // namespace orvane::servizio
