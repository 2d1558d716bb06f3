#pragma once

#include <array>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "AlberoRegistro.h"
#include "platform/Registro.h"

namespace platform::registro {

inline constexpr std::array<std::string_view, 7> kNomiRadici{
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};

/// The index of a root handle in kNomiRadici, and back.
[[nodiscard]] std::optional<std::size_t> IndiceRadice(HKEY h);
[[nodiscard]] HKEY HandleRadice(std::size_t indice);
/// The file that holds a root's tree.
[[nodiscard]] std::filesystem::path FileRadice(std::size_t radice);

/// What a handle stands for: a key of one root and what it may do.
struct Riferimento {
  std::size_t radice = 0;
  Percorso percorso;
  std::uint32_t accesso = 0;
};

/// The process-wide state of the registry: the handle table, the files
/// already reported, the ports. Guarded by `mutex`.
struct Stato {
  std::mutex mutex;
  std::unordered_map<HKEY, Riferimento> handle;
  HKEY prossimo = 0;
  std::set<std::string> fileSegnalati;
  PortaSegnalazioniRegistro porta;
};

/// The one state of the process, never destroyed (registry calls may come
/// from other static destructors).
[[nodiscard]] Stato& S();

/// The key a handle stands for: a root handle stands for its whole root
/// with every access; nullopt for an unknown handle.
[[nodiscard]] std::optional<Riferimento> Risolvi(HKEY h);
/// A new handle for a key, never one in use nor a root's.
[[nodiscard]] HKEY NuovoHandle(std::size_t radice, Percorso percorso, std::uint32_t accesso);
/// Closes a handle: ERROR_INVALID_HANDLE for one not open (a root's is
/// always closed successfully).
LSTATUS ChiudiHandle(HKEY h);

/// What one operation has to report once the registry lock is released.
struct Contesto {
  std::vector<SegnalazioneRegistro> segnalazioni;
};

/// Queues the report of an unusable file, once per state of the file: a
/// file that is mended and breaks again is reported again.
void Segnala(Contesto& c, const std::string& firma, SegnalazioneRegistro s);

/// The registry error code of errno `errore`.
[[nodiscard]] LSTATUS CodiceDaErrno(int errore);
/// The registry error code of a failure thrown by an operation.
[[nodiscard]] LSTATUS CodiceDaEccezione(const std::exception_ptr& errore) noexcept;
/// Delivers the reports of an operation to the port (standard error when
/// none is set); a report that cannot be made changes nothing.
void ConsegnaSegnalazioni(const Contesto& c) noexcept;

/// Runs one registry operation under the process's registry lock, turns any
/// failure into an error code, and reports unusable files afterwards.
template <class Corpo>
LSTATUS Esegui(Corpo&& corpo) noexcept {
  Contesto c;
  LSTATUS r = ERROR_REGISTRY_IO_FAILED;
  try {
    const std::scoped_lock lock(S().mutex);
    r = corpo(c);
  } catch (...) {
    r = CodiceDaEccezione(std::current_exception());
  }
  if (!c.segnalazioni.empty()) ConsegnaSegnalazioni(c);
  return r;
}

}  // namespace platform::registro
