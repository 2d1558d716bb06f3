#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::test {

/// A fresh folder under the system's temporary folder, removed with
/// everything in it when the object goes.
class CartellaTemporanea {
 public:
  CartellaTemporanea();
  ~CartellaTemporanea();
  CartellaTemporanea(const CartellaTemporanea&) = delete;
  CartellaTemporanea& operator=(const CartellaTemporanea&) = delete;

  [[nodiscard]] const std::filesystem::path& Percorso() const { return percorso_; }
  [[nodiscard]] std::filesystem::path operator/(std::string_view nome) const {
    return percorso_ / nome;
  }

 private:
  std::filesystem::path percorso_;
};

/// The whole content of a file as bytes (empty when it cannot be read).
[[nodiscard]] std::string LeggiFile(const std::filesystem::path& file);

/// Writes `contenuto` to `file`, creating the folders above it.
void ScriviFile(const std::filesystem::path& file, std::string_view contenuto);

/// `testo` written `volte` times over.
[[nodiscard]] std::string Ripeti(std::string_view testo, std::size_t volte);

/// The names in a folder, in the order the folder lists them (none when it
/// cannot be read).
[[nodiscard]] std::vector<std::string> NomiInCartella(const std::filesystem::path& cartella);

}  // namespace orvane::test
