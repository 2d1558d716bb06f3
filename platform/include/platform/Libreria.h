#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace platform {

/// A shared library loaded with dlopen, unloaded when the last owner lets
/// go of it.
class Libreria {
 public:
  /// Loads the library; an empty object when it cannot be loaded (missing
  /// file, not a library, unresolved symbols).
  [[nodiscard]] static Libreria Carica(const std::filesystem::path& file);

  /// Loads a library of the system by its run-time name ("libcurl.so.4"),
  /// looked up where the dynamic linker looks, for a dependency that a
  /// program's start need not pay for. It stays loaded until the process
  /// ends, whatever its owners do: libraries such as the TLS ones do not
  /// survive being unloaded. An empty object when it cannot be loaded.
  [[nodiscard]] static Libreria CaricaDiSistema(const char* nome);

  [[nodiscard]] bool Caricata() const noexcept { return handle_ != nullptr; }
  /// Address of an exported symbol, or nullptr.
  [[nodiscard]] void* Simbolo(const char* nome) const noexcept;

  /// Points `funzione` at the exported function `nome`; false, leaving it
  /// as it was, when there is none.
  template <class Funzione>
  [[nodiscard]] bool Risolvi(Funzione& funzione, const char* nome) const noexcept {
    void* simbolo = Simbolo(nome);
    if (simbolo == nullptr) return false;
    // POSIX guarantees that a function's address survives the trip through void*.
    funzione = reinterpret_cast<Funzione>(simbolo);
    return true;
  }

  /// The reason the last load failed, as the loader gave it.
  [[nodiscard]] const std::string& Errore() const noexcept { return errore_; }

 private:
  static Libreria Apri(const char* nome, int opzioni);

  struct Scarica {
    void operator()(void* handle) const noexcept;
  };
  std::shared_ptr<void> handle_;
  std::string errore_;
};

/// The file that stands on this platform for a component named in the
/// Windows way: "Quomaro.dll" or "brisko.ocx" is looked up as "Quomaro.so"
/// or "brisko.so" in the same folder, the name matched case-insensitively
/// (an exact match preferred). Other names are returned unchanged.
[[nodiscard]] std::filesystem::path FileComponente(const std::filesystem::path& componente);

}  // namespace platform
