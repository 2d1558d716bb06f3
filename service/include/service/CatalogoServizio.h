#pragma once

#include <filesystem>
#include <vector>

#include "service/DatiServizio.h"

namespace orvane::servizio {

/// The seed catalogue of the service: a JSON file listing the customers and
/// the update packages (see docs/servizio.md for its format). The service builds
/// each package's zip file from the entries the catalogue gives and records
/// the file's real size as the package's `dimens`.
class CatalogoServizio {
 public:
  /// Reads and checks the catalogue file; throws std::runtime_error naming
  /// the file and the first fault found.
  [[nodiscard]] static CatalogoServizio Leggi(const std::filesystem::path& file);

  /// Writes "AggiornamentoNNNNN.zip" for every package into `cartella`, an
  /// existing folder of the service's own (a fresh one: the files of
  /// packages no longer listed are not looked for), and sets each package's
  /// `dimens` to its file's size. Building the same catalogue twice gives the
  /// same files.
  void CostruisciPacchetti(const std::filesystem::path& cartella);

  [[nodiscard]] const std::vector<Cliente>& Clienti() const noexcept { return clienti_; }
  [[nodiscard]] const std::vector<Pacchetto>& Pacchetti() const noexcept { return pacchetti_; }

  /// The download name of a package: "Aggiornamento" + code in five digits
  /// (or more) + ".zip".
  [[nodiscard]] static std::string NomeFile(long long codice);

 private:
  std::vector<Cliente> clienti_;
  std::vector<Pacchetto> pacchetti_;
};

}  // namespace orvane::servizio
