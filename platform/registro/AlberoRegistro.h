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

  Nodo() = default;
  Nodo(Nodo&&) = default;
  Nodo& operator=(Nodo&& altro) noexcept;
  Nodo(const Nodo&) = delete;
  Nodo& operator=(const Nodo&) = delete;
  /// Frees the keys below one by one: a prefix's keys may go thousands of
  /// levels deep, too deep for a recursion of destructors on the stack.
  ~Nodo();

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

/// The most levels of a key's path in the store's files, the root's name
/// included: Windows' own limit.
inline constexpr std::size_t kProfonditaMassima = 512;
/// The most levels of a key's path in a Wine prefix's files. Wine goes
/// deeper than Windows (its editor makes keys over 16,000 levels deep,
/// as deep as a command line can name); this is the deepest a full key name
/// of 32767 UTF-16 units can reach, and it keeps the recursive work on a
/// hostile file's tree within the stack.
inline constexpr std::size_t kProfonditaWine = 16384;

/// Splits a subkey path; a single trailing "\" is allowed, a leading one or
/// an empty name between two is not, nor more than `profondita` levels
/// (ERROR_BAD_PATHNAME).
LSTATUS DividiPercorso(std::string_view testo, Percorso& out,
                       std::size_t profondita = kProfonditaMassima);

/// A key name the store can hold: Windows' limits, and no line break, which
/// the lines of its files cannot carry.
[[nodiscard]] bool NomeChiaveValido(std::string_view nome);
/// A key name as Wine takes it: up to 256 UTF-16 units (one more than
/// Windows), any character but the zero.
[[nodiscard]] bool NomeChiaveWineValido(std::string_view nome);
/// Whether the store's files can hold a key at `percorso` below a root:
/// every name valid, and room for the root's name within
/// kProfonditaMassima.
[[nodiscard]] bool ChiaveConservabile(const Percorso& percorso);
[[nodiscard]] bool NomeValoreValido(std::string_view nome);
[[nodiscard]] Percorso Unisci(const Percorso& a, const Percorso& b);

}  // namespace platform::registro
