#include "common/ChiaveRegistro.h"

#include <utility>

namespace orvane {

ChiaveRegistro::~ChiaveRegistro() {
  if (h_ != 0) (void)platform::RegCloseKey(h_);
}

ChiaveRegistro::ChiaveRegistro(ChiaveRegistro&& altra) noexcept : h_(std::exchange(altra.h_, 0)) {}

ChiaveRegistro& ChiaveRegistro::operator=(ChiaveRegistro&& altra) noexcept {
  if (this != &altra) {
    if (h_ != 0) (void)platform::RegCloseKey(h_);
    h_ = std::exchange(altra.h_, 0);
  }
  return *this;
}

platform::LSTATUS ChiaveRegistro::Apri(platform::HKEY radice, std::string_view sottochiave,
                                       std::uint32_t accesso, ChiaveRegistro& chiave) noexcept {
  platform::HKEY h = 0;
  const platform::LSTATUS esito = platform::RegOpenKeyEx(radice, sottochiave, 0, accesso, h);
  chiave = ChiaveRegistro();
  if (esito == platform::ERROR_SUCCESS) chiave.h_ = h;
  return esito;
}

platform::LSTATUS ChiaveRegistro::Crea(platform::HKEY radice, std::string_view sottochiave,
                                       ChiaveRegistro& chiave) noexcept {
  platform::HKEY h = 0;
  const platform::LSTATUS esito =
      platform::RegCreateKeyEx(radice, sottochiave, 0, platform::KEY_ALL_ACCESS, h);
  chiave = ChiaveRegistro();
  if (esito == platform::ERROR_SUCCESS) chiave.h_ = h;
  return esito;
}

std::optional<std::string> ChiaveRegistro::LeggiTesto(std::string_view nome) const {
  std::uint32_t tipo = platform::REG_NONE;
  std::string dati;
  if (platform::LeggiValoreRegistro(h_, nome, tipo, dati) != platform::ERROR_SUCCESS ||
      tipo != platform::REG_SZ) {
    return std::nullopt;
  }
  dati.resize(dati.find('\0') == std::string::npos ? dati.size() : dati.find('\0'));
  return dati;
}

platform::LSTATUS ChiaveRegistro::ScriviTesto(std::string_view nome, std::string_view testo) const {
  std::string dati(testo);
  dati += '\0';
  return platform::RegSetValueEx(h_, nome, platform::REG_SZ, dati.data(),
                                 static_cast<std::uint32_t>(dati.size()));
}

bool ChiaveRegistro::Vuota() const noexcept {
  std::string nome;
  return platform::RegEnumKeyEx(h_, 0, nome) == platform::ERROR_NO_MORE_ITEMS &&
         platform::RegEnumValue(h_, 0, nome, nullptr, nullptr) == platform::ERROR_NO_MORE_ITEMS;
}

}  // namespace orvane
