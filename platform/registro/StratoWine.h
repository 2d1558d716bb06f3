#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>

#include "AlberoRegistro.h"
#include "ManiglieRegistro.h"

namespace platform::registro {

/// The registry file of a Wine prefix that lies below a root of the store:
/// "user.reg" below HKEY_CURRENT_USER, "system.reg" below
/// HKEY_LOCAL_MACHINE; nullopt for other roots or without a prefix.
[[nodiscard]] std::optional<std::filesystem::path> FileWine(std::size_t radice);

/// The tree of that file, read only and shared while the file stays the
/// same; nullptr when there is none. A file that cannot be read, or that
/// AnalizzaFileRegistroWine does not recognise (cut short, too large), is
/// reported once through `c` and counts as empty; lines it skips are
/// reported once and the rest is read.
[[nodiscard]] std::shared_ptr<const Nodo> AlberoWine(std::size_t radice, Contesto& c);

/// The view of one key: the values and subkeys of `sotto` (the prefix's)
/// with those of `sopra` (the store's) over them, value by value; either
/// may be null. The subkeys are views as well down to `livelli` levels
/// below, names only beyond (0: names only).
void Sovrapponi(const Nodo* sotto, const Nodo* sopra, std::size_t livelli, Nodo& out);

/// The store's key at `percorso` in `albero`, in `out`; a key that only
/// the prefix holds is made in the store first (with the prefix's
/// spelling), so a write lands in the store. ERROR_KEY_DELETED when neither
/// holds it, ERROR_ACCESS_DENIED when only the prefix does and the store's
/// files cannot hold it (ChiaveConservabile).
[[nodiscard]] LSTATUS TrovaOCopia(Nodo& albero, std::size_t radice, const Percorso& percorso,
                                  Contesto& c, bool& cambiato, Nodo*& out);

/// The prefix's key at `percorso` of a root, if it has one.
[[nodiscard]] const Nodo* NodoWine(const std::shared_ptr<const Nodo>& albero,
                                   const Percorso& percorso);

}  // namespace platform::registro
