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

  [[nodiscard]] bool Caricata() const noexcept { return handle_ != nullptr; }
  /// Address of an exported symbol, or nullptr.
  [[nodiscard]] void* Simbolo(const char* nome) const noexcept;

  /// The reason the last load failed, as the loader gave it.
  [[nodiscard]] const std::string& Errore() const noexcept { return errore_; }

 private:
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
