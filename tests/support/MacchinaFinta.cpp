#include "tests/support/MacchinaFinta.h"

#include <cstdlib>

#include "common/basUtilxx.h"
#include "platform/RigaDiComando.h"

namespace orvane::test {

MacchinaFinta::MacchinaFinta() {
  Imposta("ORVANE_REGISTRY", Registro().string());
  Imposta("XDG_CONFIG_HOME", Configurazione().string());
  Imposta("XDG_DATA_HOME", Dati().string());
  Imposta("ORVANE_DRIVE_C", std::nullopt);
  platform::SostituisciRigaDiComando("DEBUG");
  std::filesystem::remove(FileLogErrori());
}

MacchinaFinta::~MacchinaFinta() {
  for (const auto& [nome, valore] : originali_) {
    if (valore) {
      ::setenv(nome.c_str(), valore->c_str(), 1);
    } else {
      ::unsetenv(nome.c_str());
    }
  }
  platform::SostituisciRigaDiComando(std::nullopt);
  std::filesystem::remove(FileLogErrori());
}

void MacchinaFinta::Imposta(const std::string& nome, const std::optional<std::string>& valore) {
  if (originali_.count(nome) == 0) {
    const char* attuale = std::getenv(nome.c_str());
    originali_[nome] = attuale == nullptr ? std::nullopt : std::optional<std::string>(attuale);
  }
  if (valore) {
    ::setenv(nome.c_str(), valore->c_str(), 1);
  } else {
    ::unsetenv(nome.c_str());
  }
}

std::string MacchinaFinta::Log() {
  return LeggiFile(FileLogErrori());
}

std::size_t RecordNelLog(const std::string& log) {
  std::size_t n = 0;
  for (std::size_t pos = log.find(" Errore numero   : "); pos != std::string::npos;
       pos = log.find(" Errore numero   : ", pos + 1)) {
    ++n;
  }
  return n;
}

}  // namespace orvane::test
