#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Registro.h"

namespace orvane {

/// An open key of the registry store, closed when the object goes.
class ChiaveRegistro {
 public:
  ChiaveRegistro() = default;
  ~ChiaveRegistro();
  ChiaveRegistro(ChiaveRegistro&& altra) noexcept;
  ChiaveRegistro& operator=(ChiaveRegistro&& altra) noexcept;
  ChiaveRegistro(const ChiaveRegistro&) = delete;
  ChiaveRegistro& operator=(const ChiaveRegistro&) = delete;

  /// Opens the existing key `sottochiave` below `radice`.
  static platform::LSTATUS Apri(platform::HKEY radice, std::string_view sottochiave,
                                std::uint32_t accesso, ChiaveRegistro& chiave) noexcept;
  /// Opens the key `sottochiave` below `radice`, creating it and the keys
  /// above it when missing.
  static platform::LSTATUS Crea(platform::HKEY radice, std::string_view sottochiave,
                                ChiaveRegistro& chiave) noexcept;

  [[nodiscard]] platform::HKEY H() const noexcept { return h_; }

  /// The text of the REG_SZ value `nome` up to its first zero byte;
  /// std::nullopt when there is no such value or it has another type.
  [[nodiscard]] std::optional<std::string> LeggiTesto(std::string_view nome) const;
  /// Writes `testo` as the REG_SZ value `nome`, with its terminating zero.
  platform::LSTATUS ScriviTesto(std::string_view nome, std::string_view testo) const;
  /// True when the key holds neither values nor subkeys.
  [[nodiscard]] bool Vuota() const noexcept;

 private:
  platform::HKEY h_ = 0;
};

}  // namespace orvane
