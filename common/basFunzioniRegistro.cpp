#include "common/basFunzioniRegistro.h"

#include <array>
#include <string_view>
#include <utility>

#include "common/Errore.h"
#include "common/Routine.h"
#include "platform/TestoUtf8.h"

namespace orvane {
namespace {

constexpr std::string_view kModulo = "basFunzioniRegistro";

constexpr std::array<std::pair<std::string_view, platform::HKEY>, 7> kRadici{{
    {"HKEY_CLASSES_ROOT", platform::HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", platform::HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", platform::HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", platform::HKEY_USERS},
    {"HKEY_PERFORMANCE_DATA", platform::HKEY_PERFORMANCE_DATA},
    {"HKEY_CURRENT_CONFIG", platform::HKEY_CURRENT_CONFIG},
    {"HKEY_DYN_DATA", platform::HKEY_DYN_DATA},
}};

constexpr std::uint32_t kAccessoLettura = platform::KEY_QUERY_VALUE;
constexpr std::uint32_t kAccessoScrittura = platform::KEY_SET_VALUE;

// Closes a key when the routine that opened it ends, however it ends.
class ChiaveAperta {
 public:
  ChiaveAperta() = default;
  ~ChiaveAperta() {
    if (aperta_) platform::RegCloseKey(h_);
  }
  ChiaveAperta(const ChiaveAperta&) = delete;
  ChiaveAperta& operator=(const ChiaveAperta&) = delete;

  bool Apri(const std::string& chiave, std::uint32_t accesso) {
    aperta_ = ApriChiave(chiave, h_, accesso);
    return aperta_;
  }
  bool Chiudi() {
    aperta_ = false;
    return ChiudiChiave(h_);
  }
  [[nodiscard]] platform::HKEY H() const { return h_; }

 private:
  platform::HKEY h_ = 0;
  bool aperta_ = false;
};

}  // namespace

platform::HKEY TrovaBase(std::string& Chiave) {
  return Routine(kModulo, "TrovaBase", [&](int& linea) -> platform::HKEY {
    linea = 10;
    const std::size_t barra = Chiave.find('\\');
    if (barra == std::string::npos) {
      throw Errore(kChiamataNonValida, "Chiamata di routine o argomento non validi");
    }
    const std::string nome = platform::MaiuscoloAscii(std::string_view(Chiave).substr(0, barra));
    linea = 20;
    Chiave = Chiave.substr(barra + 1);
    linea = 30;
    for (const auto& [radice, h] : kRadici) {
      if (nome == radice) return h;
    }
    return kRadiceSconosciuta;
  });
}

bool ApriChiave(std::string Chiave, platform::HKEY& hChiave, std::uint32_t Accesso) {
  return Routine(kModulo, "ApriChiave", [&](int& linea) {
    linea = 10;
    const platform::HKEY radice = TrovaBase(Chiave);
    linea = 20;
    return platform::RegOpenKeyEx(radice, Chiave, 0, Accesso, hChiave) == platform::ERROR_SUCCESS;
  });
}

bool ChiudiChiave(platform::HKEY hChiave) {
  return Routine(kModulo, "ChiudiChiave", [&](int& linea) {
    linea = 10;
    return platform::RegCloseKey(hChiave) == platform::ERROR_SUCCESS;
  });
}

bool LeggiChiaveStringa(std::string Chiave, std::string NomeValore, std::string& Risultato,
                        std::string Predefinito) {
  bool riuscito = false;
  Tacitamente([&] {
    ChiaveAperta chiave;
    if (chiave.Apri(Chiave, kAccessoLettura)) {
      std::uint32_t tipo = platform::REG_NONE;
      std::uint32_t dimensione = 0;
      if (platform::RegQueryValueEx(chiave.H(), NomeValore, &tipo, nullptr, &dimensione) ==
              platform::ERROR_SUCCESS &&
          tipo == platform::REG_SZ) {
        std::string dati(dimensione, '\0');
        if (platform::RegQueryValueEx(chiave.H(), NomeValore, &tipo, dati.data(), &dimensione) ==
                platform::ERROR_SUCCESS &&
            tipo == platform::REG_SZ) {
          dati.resize(dimensione);
          Risultato = dati.substr(0, dati.find('\0'));
          riuscito = true;
        }
      }
      chiave.Chiudi();
    }
    if (!riuscito) Risultato = Predefinito;
  });
  return riuscito;
}

bool ScriviChiaveStringa(std::string Chiave, std::string NomeValore, std::string Valore,
                         std::string ValoreCancella) {
  return Routine(kModulo, "ScriviChiaveStringa", [&](int& linea) {
    linea = 10;
    ChiaveAperta chiave;
    if (!chiave.Apri(Chiave, kAccessoScrittura)) return false;
    bool risultato = false;
    linea = 20;
    if (Valore != ValoreCancella) {
      // The text and its terminating zero byte.
      risultato = platform::RegSetValueEx(chiave.H(), NomeValore, platform::REG_SZ, Valore.c_str(),
                                          static_cast<std::uint32_t>(Valore.size() + 1)) ==
                  platform::ERROR_SUCCESS;
    } else {
      linea = 30;
      risultato = CancellaValore(chiave.H(), NomeValore);
    }
    linea = 40;
    chiave.Chiudi();
    return risultato;
  });
}

bool CancellaValore(platform::HKEY hChiave, std::string NomeValore) {
  return Routine(kModulo, "CancellaValore", [&](int& linea) {
    linea = 10;
    return platform::RegDeleteValue(hChiave, NomeValore) == platform::ERROR_SUCCESS;
  });
}

}  // namespace orvane
