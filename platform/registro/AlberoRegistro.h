#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registro.h"
#include "platform/RegistroFormato.h"

namespace platform::registro {

/// The path of a key below its root: one name per level.
using Percorso = std::vector<std::string>;

struct ValoreNodo {
  std::string nome;
  std::uint32_t tipo = REG_NONE;
  std::string dati;
};

/// One key of a root's tree, as read from its file. Names of subkeys and
/// values compare without regard to UTF-8 case and keep the spelling they
/// were created with.
struct Nodo {
  std::string nome;
  // Stands only for the path of the autostart key, which always exists;
  // not written to the file unless something real is put in it.
  bool virtuale = false;
  std::vector<ValoreNodo> valori;
  std::map<std::string, std::unique_ptr<Nodo>> figli;  // by MaiuscoloPerConfrontoUtf8

  [[nodiscard]] Nodo* Figlio(std::string_view n);
  [[nodiscard]] const Nodo* Figlio(std::string_view n) const;
  Nodo& FiglioOCrea(std::string_view n, bool virt, bool* creato = nullptr);
  /// The subkey that a key creation goes through or creates: a key that
  /// only stood for the autostart path becomes real, with the caller's
  /// spelling.
  Nodo& FiglioReale(std::string_view n, bool& creato, bool& cambiato);
  /// Removes the subkey `n` with everything below it.
  void CancellaFiglio(std::string_view n);
  [[nodiscard]] ValoreNodo* Valore(std::string_view n);
  [[nodiscard]] const ValoreNodo* Valore(std::string_view n) const;
  /// Whether the value changed.
  bool ImpostaValore(std::string_view n, std::uint32_t tipo, std::string dati);
  /// Whether there was such a value.
  bool CancellaValore(std::string_view n);
};

/// Applies the values of one section of a file to `nodo`, in their order:
/// each sets its value (in place, or appended when new), or removes it when
/// `cancella` says so, as ImpostaValore and CancellaValore would one by
/// one, but in time linear in their number: one search of the key's values
/// for each would take minutes for a hostile file's 100,000 values.
void ApplicaValori(Nodo& nodo, const std::vector<ValoreFileRegistro>& valori);

/// The key at `percorso` (only its first `quanti` names), or nullptr.
[[nodiscard]] Nodo* Trova(Nodo& radice, const Percorso& percorso, std::size_t quanti = SIZE_MAX);
[[nodiscard]] const Nodo* Trova(const Nodo& radice, const Percorso& percorso,
                                std::size_t quanti = SIZE_MAX);

/// Splits a subkey path; a single trailing "\" is allowed, a leading one or
/// an empty name between two is not, nor more than 512 levels, Windows'
/// own limit, which also keeps the recursive work on a tree shallow
/// (ERROR_BAD_PATHNAME).
LSTATUS DividiPercorso(std::string_view testo, Percorso& out);

[[nodiscard]] bool NomeChiaveValido(std::string_view nome);
[[nodiscard]] bool NomeValoreValido(std::string_view nome);
[[nodiscard]] Percorso Unisci(const Percorso& a, const Percorso& b);

}  // namespace platform::registro
