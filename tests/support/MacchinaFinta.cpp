#include "tests/support/MacchinaFinta.h"

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "common/ChiaveRegistro.h"
#include "common/basUtilxx.h"
#include "platform/RegistroFormato.h"
#include "platform/RigaDiComando.h"

namespace orvane::test {

MacchinaFinta::MacchinaFinta() {
  Imposta("ORVANE_REGISTRY", Registro().string());
  Imposta("XDG_CONFIG_HOME", Configurazione().string());
  Imposta("XDG_DATA_HOME", Dati().string());
  Imposta("XDG_CONFIG_DIRS", ConfigurazioneSistema().string());
  // Where the program folder is not the user's alone (a umask that lets the
  // group write, a folder of another user) the store and the log go to the
  // user's state folder: never the real one of whoever runs the tests.
  Imposta("XDG_STATE_HOME", (Percorso() / "stato").string());
  Imposta("ORVANE_DRIVE_C", std::nullopt);
  // No Wine prefix of the user running the tests: one is used only where a
  // test makes it, in Wine().
  Imposta("ORVANE_WINEPREFIX", std::nullopt);
  Imposta("WINEPREFIX", Wine().string());
  // The runtime folder is the user's alone, as the session makes it.
  std::filesystem::create_directory(Esecuzione());
  std::filesystem::permissions(Esecuzione(), std::filesystem::perms::owner_all);
  Imposta("XDG_RUNTIME_DIR", Esecuzione().string());
  // Nor the session bus of a developer's desktop: a bus is there only where
  // a test starts one (none, in the runtime folder, otherwise).
  Imposta("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
  platform::SostituisciRigaDiComando("DEBUG");
  std::filesystem::remove(FileLogErrori());
}

MacchinaFinta::~MacchinaFinta() {
  // Each name is known by now: Imposta only puts its first value back.
  for (const auto& [nome, valore] : originali_)
    Imposta(nome, valore);
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

void ScriviTesto(platform::HKEY radice, std::string_view chiave, std::string_view nome,
                 std::string_view valore) {
  ChiaveRegistro aperta;
  if (ChiaveRegistro::Crea(radice, chiave, aperta) != platform::ERROR_SUCCESS ||
      aperta.ScriviTesto(nome, valore) != platform::ERROR_SUCCESS) {
    throw std::runtime_error("impossibile scrivere nel registro: " + std::string(chiave));
  }
}

std::optional<std::string> LeggiTesto(platform::HKEY radice, std::string_view chiave,
                                      std::string_view nome) {
  ChiaveRegistro aperta;
  if (ChiaveRegistro::Apri(radice, chiave, platform::KEY_READ, aperta) != platform::ERROR_SUCCESS) {
    return std::nullopt;
  }
  return aperta.LeggiTesto(nome);
}

void ImportaReg(std::string_view righe) {
  std::vector<platform::ProblemaRegistro> problemi;
  if (platform::ImportaRegistro("Windows Registry Editor Version 5.00\n\n" + std::string(righe),
                                problemi) != platform::ERROR_SUCCESS) {
    throw std::runtime_error("importazione non riuscita");
  }
}

std::string EsportaReg(platform::HKEY radice, std::string_view chiave) {
  std::string testo;
  if (platform::EsportaRegistro(radice, chiave, testo) != platform::ERROR_SUCCESS) {
    throw std::runtime_error("esportazione non riuscita");
  }
  return platform::TestoUtf8DelFileRegistro(testo);
}

}  // namespace orvane::test
