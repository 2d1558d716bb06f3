#pragma once

#include <sys/types.h>

#include <filesystem>

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

}  // namespace orvane::servizio
