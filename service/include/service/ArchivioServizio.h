#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "quomaro/Recordset.h"
#include "service/ConnessioneSqlite.h"
#include "service/DatiServizio.h"

namespace orvane::servizio {

/// The service's database: customers, packages (with the programs they are
/// offered for and the customers that see them) and the table `download`.
/// Safe to use from several request threads at once.
class ArchivioServizio {
 public:
  /// Opens the database file, creating it and its tables when missing.
  /// Throws std::runtime_error when it cannot.
  explicit ArchivioServizio(const std::filesystem::path& file);

  /// Replaces customers and packages with these, in one transaction; the
  /// download records stay.
  void Semina(const std::vector<Cliente>& clienti, const std::vector<Pacchetto>& pacchetti);

  /// Whether the customer may use the service; nothing for an unknown one.
  [[nodiscard]] std::optional<bool> Abilitato(std::string_view userid) const;

  /// The packages the customer sees and has not taken yet (no download
  /// record of theirs names its code, unless the package is `ripeti`), one
  /// record per package and program, with the typed columns dataxx, codice,
  /// progra, TipoXx, Filexx, dimens, notexx.
  [[nodiscard]] quomaro::Recordset PacchettiVisibili(std::string_view userid) const;

  /// The code and the recorded size (`dimens`) of every package, by code.
  [[nodiscard]] std::vector<std::pair<long long, long long>> Dimensioni() const;

  /// Appends one download record.
  void RegistraDownload(const RecordDownload& record);

  /// The download records of a session, oldest first.
  [[nodiscard]] std::vector<RecordDownload> DownloadDellaSessione(std::string_view session) const;

  [[nodiscard]] const std::filesystem::path& File() const noexcept { return file_; }

 private:
  std::filesystem::path file_;
  mutable std::mutex mutex_;
  ConnessioneSqlite connessione_;
};

}  // namespace orvane::servizio
