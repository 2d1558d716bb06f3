#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "AlberoRegistro.h"
#include "ManiglieRegistro.h"
#include "platform/Registro.h"

namespace platform::registro {

/// Where the values of a key live. For every key they are the key's node in
/// its root's tree, but for the autostart Run key, whose string values are
/// XDG autostart entries (RegistroAutostart). The entry points ask ValoriDi
/// for the key's values and never ask which key it is.
class ValoriChiave {
 public:
  virtual ~ValoriChiave() = default;

  /// The value `nome` of the key (ERROR_FILE_NOT_FOUND when none).
  virtual LSTATUS Leggi(const Nodo& nodo, std::string_view nome, ValoreNodo& out) const = 0;
  /// The value at `indice` in the key's order (ERROR_NO_MORE_ITEMS past the end).
  virtual LSTATUS Elenca(const Nodo& nodo, std::uint32_t indice, ValoreNodo& out) const = 0;
  /// Every value of the key, as an export writes them.
  [[nodiscard]] virtual std::vector<ValoreNodo> Esportati(const Nodo& nodo) const = 0;
  /// Sets and deletes a value of the key `r` (a whole operation: lock,
  /// read, change, write).
  virtual LSTATUS Imposta(const Riferimento& r, std::string_view nome, std::uint32_t tipo,
                          std::string dati, Contesto& c) const = 0;
  virtual LSTATUS Cancella(const Riferimento& r, std::string_view nome, Contesto& c) const = 0;
  /// Whether the key itself may be deleted (the Run key always exists).
  [[nodiscard]] virtual bool ChiaveCancellabile() const = 0;
};

/// The values of the key `percorso` of the root `radice`.
[[nodiscard]] const ValoriChiave& ValoriDi(std::size_t radice, const Percorso& percorso);

}  // namespace platform::registro
