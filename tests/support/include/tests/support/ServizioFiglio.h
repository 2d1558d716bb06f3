#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/CartellaTemporanea.h"
#include "tests/support/Processo.h"

namespace orvane::test {

/// The test catalogue: ROSSI (enabled) sees packages of TARVIK, SELVOR and
/// PANELAA; BIANCHI (enabled) has a SELVOR package of its own; VERDI is
/// refused.
extern const char* const kCatalogoProva;

/// The reference update service started as a child process on 127.0.0.1
/// and a free port, seeded with a catalogue in a temporary data folder, and
/// stopped with SIGTERM at the latest when the object goes.
class ServizioFiglio {
 public:
  explicit ServizioFiglio(std::string_view catalogo = kCatalogoProva);
  ~ServizioFiglio();
  ServizioFiglio(const ServizioFiglio&) = delete;
  ServizioFiglio& operator=(const ServizioFiglio&) = delete;

  /// Scheme, host and port, as ORVANE_UPDATE_SERVER takes them.
  [[nodiscard]] const std::string& Server() const { return server_; }
  /// A package file as the service serves it.
  [[nodiscard]] std::filesystem::path FilePacchetto(std::string_view nome) const;
  /// The download records the service took, oldest first, each as
  /// "utente|codzip|descri|session".
  [[nodiscard]] std::vector<std::string> Registrati() const;
  /// The package codes of those records, oldest first.
  [[nodiscard]] std::vector<std::string> CodiciRegistrati() const;
  /// Stops the service with SIGTERM: its exit code.
  int Ferma();
  /// What the service printed on its standard output, and on its error
  /// output (its log).
  [[nodiscard]] std::string Uscita() const;
  [[nodiscard]] std::string Errori() const;
  /// The service's process (to stop it for a while with SIGSTOP).
  [[nodiscard]] pid_t Pid() const { return processo_->Pid(); }
  /// The service's SQLite store.
  [[nodiscard]] std::filesystem::path FileArchivio() const;

 private:
  CartellaTemporanea cartella_;
  std::unique_ptr<Processo> processo_;
  std::string server_;
};

/// The first column of every row `sql` gives on an SQLite store, waiting
/// for a running writer's lock (none when the store cannot be opened).
std::vector<std::string> RigheSql(const std::filesystem::path& archivio, const std::string& sql);

}  // namespace orvane::test
