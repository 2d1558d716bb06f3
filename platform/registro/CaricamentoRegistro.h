#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "AlberoRegistro.h"
#include "ManiglieRegistro.h"
#include "platform/Registro.h"

namespace platform::registro {

/// A registry file as read: its tree, or why it cannot be used.
struct Alveare {
  Nodo radice;
  LSTATUS errore = ERROR_SUCCESS;  // the root cannot be used at all
  bool riscrivibile = true;        // false: parts could not be read, never overwrite
};

/// Reads the file of a root into a tree (with the autostart key always
/// present); an unreadable or broken file is reported through `c`.
[[nodiscard]] Alveare Carica(std::size_t radice, Contesto& c);

/// Puts the (virtual) autostart key into a root's tree when the root has one.
void AggiungiChiaveAutostart(std::size_t radice, Nodo& albero);

/// A key opened for one operation: what it is, the tree read for it and the
/// key's node in that tree. Not movable: `nodo` points into `alveare`.
struct ChiaveAperta {
  ChiaveAperta() = default;
  ChiaveAperta(const ChiaveAperta&) = delete;
  ChiaveAperta& operator=(const ChiaveAperta&) = delete;

  Riferimento chiave;  // the root, the whole path of the key, the handle's access
  Alveare alveare;
  std::shared_ptr<const Nodo> wine;  // the Wine prefix's tree below the root, if any
  Nodo vista;                        // the key as seen through both, when the prefix has it
  Percorso nomi;                     // the key's path as spelt where it was found
  Nodo* nodo = nullptr;
};

/// The sequence every entry point that reads a key starts with: resolves
/// the handle (ERROR_INVALID_HANDLE), checks that it grants `accesso`
/// (ERROR_ACCESS_DENIED), splits `sottochiave` (ERROR_BAD_PATHNAME), reads
/// the root's file (its failure), finds the handle's key
/// (ERROR_KEY_DELETED) and the subkey below it (ERROR_FILE_NOT_FOUND). A
/// key is found in the store or in the Wine prefix below it; where the
/// prefix has it, `nodo` is the view of both (the store's values win), with
/// the subkeys as names only unless `profondo` (then views too, as deep as
/// the store's files go).
LSTATUS ApriChiave(HKEY h, std::string_view sottochiave, std::uint32_t accesso, Contesto& c,
                   ChiaveAperta& out, bool profondo = false);
/// The same, for a key already resolved.
LSTATUS ApriChiave(const Riferimento& r, std::string_view sottochiave, std::uint32_t accesso,
                   Contesto& c, ChiaveAperta& out, bool profondo = false);

}  // namespace platform::registro
